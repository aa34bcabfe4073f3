#pragma once

// What the user is shown of the history: who wrote an entry, its action, its time and values, and
// the message that asks for the reason of a correction.

#include "data/history/record_history.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace zartav::history {

// A record whose certificate has been printed ("تاريخ چاپ" filled as stored) is corrected only
// with a reason; the message that asks for one.
bool needsReason(const QString& storedPrintDate);
QString reasonRequiredText();

// Farsi for the user.
QString actionName(const QString& action);
// Who wrote an entry, as a line shows it. On the server the role the server authenticated comes
// first, and the computer's name as the desk gave it is marked as its own word for itself.
QString whoText(const Entry& e);
// "1405/09/18 14:32:05": the Solar Hijri date and time in Tehran of a UTC time.
QString tehranTime(const QDateTime& utc);
// A before or after value as a line shows it: a photo by its size.
QString shownValue(const QString& column, const QVariant& value);

}  // namespace zartav::history
