#include "data/engine/pg_values.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <QUuid>

#include <cmath>

namespace zartav::pg {
namespace {

// As Qt's own drivers take it: a null or invalid value of these types binds NULL.
bool boundNull(const QVariant& v) {
    if (v.isNull()) return true;
    switch (v.typeId()) {
    case QMetaType::QString: return v.toString().isNull();
    case QMetaType::QByteArray: return v.toByteArray().isNull();
    case QMetaType::QDate: return v.toDate().isNull();
    case QMetaType::QTime: return !v.toTime().isValid();
    case QMetaType::QDateTime: return !v.toDateTime().isValid();
    case QMetaType::QUuid: return v.toUuid().isNull();
    default: return false;
    }
}

QVariant number(const QByteArray& text, bool numeric, QSql::NumericalPrecisionPolicy precision) {
    if (numeric && precision == QSql::HighPrecision) return QString::fromLatin1(text);
    bool ok = false;
    double value = text.toDouble(&ok);
    if (!ok) {
        if (text == "NaN") value = qQNaN();
        else if (text == "Infinity") value = qInf();
        else if (text == "-Infinity") value = -qInf();
        else return {};
    }
    if (numeric && precision == QSql::LowPrecisionInt64) return qlonglong(value);
    if (numeric && precision == QSql::LowPrecisionInt32) return int(value);
    return value;
}

}  // namespace

QMetaType typeOf(Oid oid) {
    switch (oid) {
    case kBool: return QMetaType(QMetaType::Bool);
    case kInt2:
    case kInt4: return QMetaType(QMetaType::Int);
    case kInt8: return QMetaType(QMetaType::LongLong);
    case kOid: return QMetaType(QMetaType::UInt);
    case kFloat4:
    case kFloat8:
    case kNumeric: return QMetaType(QMetaType::Double);
    case kDate: return QMetaType(QMetaType::QDate);
    case kTime:
    case kTimeTz: return QMetaType(QMetaType::QTime);
    case kTimestamp:
    case kTimestampTz: return QMetaType(QMetaType::QDateTime);
    case kBytea: return QMetaType(QMetaType::QByteArray);
    default: return QMetaType(QMetaType::QString);
    }
}

// Values go as text of no stated type, so the server types each by where it stands, as it does
// a literal; bytes go as they are.
Param paramOf(const QVariant& v) {
    if (boundNull(v)) return {{}, true};
    switch (v.typeId()) {
    case QMetaType::QByteArray: return {v.toByteArray(), false, true};
    case QMetaType::Bool: return {v.toBool() ? "true" : "false"};
    case QMetaType::Float:
    case QMetaType::Double: {
        const double d = v.toDouble();
        if (qIsNaN(d)) return {"NaN"};
        if (qIsInf(d)) return {d < 0 ? "-Infinity" : "Infinity"};
        return {QByteArray::number(d, 'g', QLocale::FloatingPointShortest)};
    }
    case QMetaType::QDate: return {v.toDate().toString(Qt::ISODate).toLatin1()};
    case QMetaType::QTime: return {v.toTime().toString(QStringLiteral("HH:mm:ss.zzz")).toLatin1()};
    case QMetaType::QDateTime: return {v.toDateTime().toUTC().toString(Qt::ISODateWithMs).toLatin1()};
    default: return {v.toString().toUtf8()};
    }
}

QVariant valueOf(Oid oid, const char* text, int length, QSql::NumericalPrecisionPolicy precision) {
    const QByteArray raw = QByteArray::fromRawData(text, length);
    switch (typeOf(oid).id()) {
    case QMetaType::Bool: return raw == "t";
    case QMetaType::Int: return raw.toInt();
    case QMetaType::UInt: return raw.toUInt();
    case QMetaType::LongLong: return raw.toLongLong();
    case QMetaType::Double: return number(raw, oid == kNumeric, precision);
    case QMetaType::QDate: return QDate::fromString(QString::fromLatin1(raw), Qt::ISODate);
    case QMetaType::QTime: return QTime::fromString(QString::fromLatin1(raw), Qt::ISODate);
    case QMetaType::QDateTime: return QDateTime::fromString(QString::fromLatin1(raw), Qt::ISODate).toLocalTime();
    case QMetaType::QByteArray: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        const QByteArray value(reinterpret_cast<const char*>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return value;
    }
    default: return QString::fromUtf8(raw);
    }
}

}  // namespace zartav::pg
