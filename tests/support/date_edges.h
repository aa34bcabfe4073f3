#pragma once

// The last days of months 6, 7 and 12 in a leap year (1403) and a common one (1404): every way a
// date is typed or imported must take the real ones and refuse the ones that never occur.

#include <QString>

namespace zartav::test {

struct DateEdge {
    const char* date;
    const char* gregorian;  // empty: the day never occurs
    int daysInMonth;        // what the refusal says the month has
};

inline constexpr DateEdge kDateEdges[] = {
    {"1403/06/30", "20/09/2024", 31}, {"1403/06/31", "21/09/2024", 31}, {"1403/07/30", "21/10/2024", 30},
    {"1403/07/31", "", 30},           {"1403/12/30", "20/03/2025", 30}, {"1403/12/31", "", 30},
    {"1404/06/30", "21/09/2025", 31}, {"1404/06/31", "22/09/2025", 31}, {"1404/07/30", "22/10/2025", 30},
    {"1404/07/31", "", 30},           {"1404/12/30", "", 29},           {"1404/12/31", "", 29},
};

inline bool exists(const DateEdge& edge) { return *edge.gregorian != '\0'; }

// The message box's text for a refused edge (the line break is a carriage return).
inline QString refusalOf(const DateEdge& edge) {
    return QStringLiteral(" تاريخ  %1  صحيح نمي باشد\rاين ماه بيش از %2 روز ندارد")
        .arg(QString::fromLatin1(edge.date))
        .arg(edge.daysInMonth);
}

}  // namespace zartav::test
