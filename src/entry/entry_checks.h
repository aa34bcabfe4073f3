#pragma once

// The checks the entry form makes when OK is pressed, on what was typed as plain text: the three
// checked dates, the texts of every field, and the reason of a correction. The window shows the
// message and puts the focus in the box of the field named.

#include <QHash>
#include <QString>

#include <optional>

namespace zartav::entry {

// What was typed, by record column.
using Typed = QHash<QString, QString>;

// The field the reason of a correction is typed in (it is no record column).
QString reasonField();

struct OkRefusal {
    QString message;  // Farsi, for the message box
    QString caption;  // what the message box's caption names; empty for the plain caption
    QString field;    // the column (or reasonField()) whose box takes the focus
};

struct OkOutcome {
    // Values as they are to be saved, where they differ from the typed ones: dates completed,
    // codes and numbers in 0-9. Made as far as the checks went, a refusal included.
    Typed corrected;
    std::optional<OkRefusal> refusal;
};

struct OkInput {
    Typed typed;              // every field's column; the fields missing count as empty
    bool editing = false;     // a stored record is being corrected
    bool reasonRequired = false;  // it has an issued certificate and something was changed
    QString reason;           // as typed (blanks around it do not count)
    int todayYear = 0;        // Solar Hijri: short years are completed around it
};

// Only the first refusal is answered: the dates in tab order, then the fields' texts in tab
// order, then the reason.
OkOutcome checkOk(const OkInput& input);

}  // namespace zartav::entry
