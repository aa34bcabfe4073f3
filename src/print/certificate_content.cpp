#include "print/certificate_content.h"

#include "data/schema/record_schema.h"
#include "print/certificate_layout.h"

#include <QHash>
#include <QSet>

#include <openssl/evp.h>

namespace zartav::print {

namespace {

QString escaped(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\')) out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n')) out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r')) out += QLatin1String("\\r");
        else out += c;
    }
    return out;
}

bool isPhoto(const QString& column) {
    for (const char* p : schema::kPhotoColumns)
        if (column == QString::fromUtf8(p)) return true;
    return false;
}

// Column name -> its whole line, for texts made by certificateContentText.
QHash<QString, QString> linesByColumn(const QString& text) {
    QHash<QString, QString> lines;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        lines.insert(eq < 0 ? line : line.left(eq), line);
    }
    return lines;
}

}  // namespace

const QStringList& certificateContentColumns() {
    static const QStringList columns = [] {
        QSet<QString> printed;
        for (const Element& e : builtinCertificateLayout().elements) {
            if (e.kind == ElementKind::Field || e.kind == ElementKind::Picture) printed.insert(e.column);
            if (e.kind == ElementKind::Text)
                replaceColumnReferences(e.text, [&](const QString& c) {
                    printed.insert(c);
                    return QString();
                });
        }
        QStringList ordered;
        for (const char* name : schema::kRecordColumns)
            if (printed.contains(QString::fromUtf8(name))) ordered << QString::fromUtf8(name);
        return ordered;
    }();
    return columns;
}

QString certificateContentText(const CertificateRecord& record) {
    QString text;
    for (const QString& column : certificateContentColumns()) {
        text += column + QLatin1Char('=');
        if (isPhoto(column)) {
            const QByteArray bytes = record.pictures.value(column);
            if (!bytes.isEmpty()) text += QString::fromLatin1(sha256(bytes).toHex());
        } else {
            text += escaped(record.value(column));
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QByteArray certificateContentHash(const QString& contentText) { return sha256(contentText.toUtf8()); }

QStringList changedContentColumns(const QString& before, const QString& after) {
    const QHash<QString, QString> a = linesByColumn(before);
    const QHash<QString, QString> b = linesByColumn(after);
    QStringList changed;
    for (const char* name : schema::kRecordColumns) {
        const QString column = QString::fromUtf8(name);
        if ((a.contains(column) || b.contains(column)) && a.value(column) != b.value(column)) changed << column;
    }
    return changed;
}

QByteArray sha256(const QByteArray& bytes) {
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int size = 0;
    if (EVP_Digest(bytes.constData(), size_t(bytes.size()), reinterpret_cast<unsigned char*>(digest.data()), &size,
                   EVP_sha256(), nullptr) != 1 ||
        size != 32)
        return {};
    return digest;
}

}  // namespace zartav::print
