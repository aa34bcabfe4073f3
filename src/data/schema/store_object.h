#pragma once

// One object of a store (a table, an index, a function or a trigger) as the program makes it.

#include <QString>
#include <QStringList>

namespace zartav {

enum class StoreObjectKind { Table, Index, Function, Trigger };

struct StoreObject {
    StoreObjectKind kind;
    QString name;
    QString table;             // the table an index or a trigger is on; a table's own name
    QString create;            // makes it where it is missing and leaves it be where it is
    QStringList bringUp = {};  // run after `create`: brings the form an earlier version made up to today's
    QStringList earlier = {};  // the forms earlier versions made, which the file's check takes until a
                               // writable open brings them up
    int since = 1;             // the store version that added it (data/schema/store_versions.h)
};

}  // namespace zartav
