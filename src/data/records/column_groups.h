#pragma once

// The record's columns in groups, and the one colour each group has wherever its columns show:
// the record list and the entry form.

#include <QColor>

namespace zartav {

enum class ColumnGroup { HerdAndPlace, Calf, Sire, Dams, Inseminations };

// The group of a column of the record list (in the record's column order); the calving and the
// print follow the inseminations.
ColumnGroup columnGroupOf(int column);

QColor columnGroupColour(ColumnGroup group);

}  // namespace zartav
