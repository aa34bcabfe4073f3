#pragma once

// The certificate entry form's fields as data: which box shows which record column, what kind
// of box it is and its caption, in tab order. The window builds its boxes from this table.

#include <QStringList>

#include <span>

namespace zartav::entry {

enum class Kind { Edit, Date, CheckedDate, List, PickList, ShowOnly };
enum class Group { None, Registration, Calf, Sire, Dams, Inseminations };

struct Field {
    const char* name;     // the box's object name, as the rest of the program knows it
    Kind kind;
    const char* caption;  // blanks included: they are part of the caption
    const char* column;   // two blanks inside some names: part of the name
    Group group;
    char items;  // fixed item list A-E (itemsOf), 0 for none
};

// In tab order.
std::span<const Field> fields();

// The three photo columns, in the order of their boxes.
extern const char* const kPhotoColumns[3];

// The lists of stored values, refilled before every showing, in this order.
struct StoredValueList {
    const char* box;
    const char* column;
};
std::span<const StoredValueList> storedValueLists();
// Their columns as indexes into the record's columns.
QList<int> storedValueColumns();

// The fixed item lists by their letter; empty for 0 or an unknown letter.
QStringList itemsOf(char list);
QStringList mannerOfBirthItems();  // A
QStringList calfSexItems();        // B
QStringList serviceTypeItems();    // C
QStringList calvingMannerItems();  // D
QStringList patchColourItems();    // E

}  // namespace zartav::entry
