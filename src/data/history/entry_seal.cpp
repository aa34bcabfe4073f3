#include "data/history/entry_seal.h"

#include "data/engine/sql_dialect.h"

#include <QCryptographicHash>
#include <QStringList>
#include <QVariant>

namespace zartav::history {
namespace {

void addField(QByteArray& text, const QString& field, bool absent) {
    if (absent) {
        text += '-';
        return;
    }
    const QByteArray bytes = field.toUtf8();
    text += QByteArray::number(bytes.size()) + ':' + bytes;
}

QString photoHash(const QVariant& photo) {
    if (photo.isNull()) return {};
    return QString::fromLatin1(QCryptographicHash::hash(photo.toByteArray(), QCryptographicHash::Sha256).toHex());
}

// A photo as its hash where the server computes it.
QString photoText(const SqlDialect& d, const QString& column) {
    return d.isServer() ? QStringLiteral("encode(sha256(%1), 'hex')").arg(column) : column;
}

constexpr rows::Columns<SealedReader::Kept, 4> kKeptColumns = {{
    {"Photo1", [](SealedReader::Kept& k, const QVariant& v) { k.photos[0] = v; }, photoText},
    {"Photo2", [](SealedReader::Kept& k, const QVariant& v) { k.photos[1] = v; }, photoText},
    {"Photo3", [](SealedReader::Kept& k, const QVariant& v) { k.photos[2] = v; }, photoText},
    {"Hash", [](SealedReader::Kept& k, const QVariant& v) { k.hash = v; }},
}};

}  // namespace

QString sealedColumns(const QSqlDatabase& db) {
    const SqlDialect& d = SqlDialect::of(db);
    return rows::selectText(d, kEntryColumns) + QStringLiteral(", ") + rows::selectText(d, kKeptColumns);
}

SealedReader::SealedReader(const QSqlDatabase& db)
    : server_(SqlDialect::of(db).isServer()), entry_(kEntryColumns), kept_(kKeptColumns) {}

Sealed SealedReader::read(const QSqlQuery& row, const QString& previous) {
    Sealed s;
    s.previous = previous;
    entry_.fill(s, row);
    const Kept kept = kept_.read(row);
    for (int slot = 0; slot < 3; ++slot) {
        const QVariant& v = kept.photos[slot];
        s.photoHashes[slot] = server_ ? (v.isNull() ? QString() : v.toString()) : photoHash(v);
    }
    s.storedHash = kept.hash;
    return s;
}

QByteArray entryHash(const Sealed& f) {
    QByteArray text;
    addField(text, f.previous, f.previous.isEmpty());
    addField(text, QString::number(f.entry), false);
    addField(text, QString::number(f.recordId), false);
    addField(text, f.action, false);
    addField(text, f.at, false);
    addField(text, f.desk, f.desk.isEmpty());
    addField(text, f.role, f.role.isEmpty());
    addField(text, f.reason, f.reason.isEmpty());
    addField(text, f.changes, false);
    for (const QString& photo : f.photoHashes) addField(text, photo, photo.isEmpty());
    return QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex();
}
}  // namespace zartav::history
