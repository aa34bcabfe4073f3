#pragma once

#include <QString>
#include <QStringList>

namespace zartav {

// The calendar's holiday list: "OffDays.Txt" in the current working directory, one date per line
// written exactly as YYYY/MM/DD. It is only ever read; marks made in the calendar are not saved.

// The file's path in the current working directory. The exact name is preferred; otherwise a
// name differing only in letter case is taken (the list usually comes from a Windows machine).
QString holidayFilePath();

// The lines that are exact, real dates; every other line is skipped. A missing or unreadable file
// gives an empty list.
QStringList readHolidayFile(const QString& path);

}  // namespace zartav
