#include "data/records/column_groups.h"

namespace zartav {

ColumnGroup columnGroupOf(int column) {
    if (column < 6) return ColumnGroup::HerdAndPlace;
    if (column < 16) return ColumnGroup::Calf;
    if (column < 20) return ColumnGroup::Sire;
    if (column < 34) return ColumnGroup::Dams;
    return ColumnGroup::Inseminations;
}

QColor columnGroupColour(ColumnGroup group) {
    switch (group) {
    case ColumnGroup::HerdAndPlace: return QColor(0xE8, 0xFF, 0xF3);
    case ColumnGroup::Calf: return QColor(0xFF, 0xF5, 0xEC);
    case ColumnGroup::Sire: return QColor(0xF2, 0xF2, 0xFF);
    case ColumnGroup::Dams: return QColor(0xFF, 0xFF, 0xF2);
    case ColumnGroup::Inseminations: break;
    }
    return QColor(0xE8, 0xE8, 0xFF);
}

}  // namespace zartav
