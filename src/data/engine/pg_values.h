#pragma once

// Values between Qt and the server's client library: what a bound QVariant is sent as, and what
// a column's text in an answer is read back as, by the column's type.

#include <QByteArray>
#include <QMetaType>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>

namespace zartav::pg {

// Type OIDs of the server's built-in types.
enum : Oid {
    kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
    kDate = 1082, kTime = 1083, kTimestamp = 1114, kTimestampTz = 1184, kTimeTz = 1266, kNumeric = 1700,
};

// The Qt type a column of the server's type `oid` is read as.
QMetaType typeOf(Oid oid);

// One bound value as it goes to the server.
struct Param {
    QByteArray bytes;
    bool null = false;
    bool binary = false;
};

Param paramOf(const QVariant& v);

// A column's value (not NULL) from the text the server sent for it.
QVariant valueOf(Oid oid, const char* text, int length, QSql::NumericalPrecisionPolicy precision);

}  // namespace zartav::pg
