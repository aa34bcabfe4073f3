#include "entry/default_file.h"

#include "util/app_paths.h"
#include "util/cp1256.h"
#include "util/digits.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cmath>

namespace zartav::defaults {

namespace {

const QChar kSeparator = QLatin1Char('~');

QString foldLatin(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
    }
    return folded;
}

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw DefaultFileError((path + QStringLiteral(": ") + reason).toStdString());
}

}  // namespace

QString templateFilePath(const QString& windowName) {
    return paths::iniFolder() + QStringLiteral("/1") + windowName + QStringLiteral(".Ini");
}

QString defaultsFilePath(const QString& name) {
    return paths::iniFolder() + QLatin1Char('/') + name + QStringLiteral(".Ini");
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    QString current;
    bool open = false;  // a line has begun since the last ending
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << current;
            current.clear();
            open = false;
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) ++i;
        } else {
            current += c;
            open = true;
        }
    }
    if (open) lines << current;
    return lines;
}

std::optional<QStringList> readLines(const QString& path) {
    if (!QFileInfo::exists(path)) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) fail(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) fail(path, file.errorString());
    return splitLines(decodeCp1256(bytes));
}

void writeLines(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty()) continue;
        bytes += encodeCp1256(line);
        bytes += "\r\n";
    }
    // A read-only file stays read-only: the replacing write below would otherwise get round it.
    const QFileInfo info(path);
    if (info.exists() && !info.isWritable()) {
        QFile probe(path);
        probe.open(QIODevice::ReadWrite);
        fail(path, probe.errorString());
    }
    // Written aside and renamed over the old file, so a failed write never leaves half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // The platform's words about creating the file itself (a missing folder, say).
        QFile direct(path);
        if (!direct.open(QIODevice::WriteOnly | QIODevice::Append)) fail(path, direct.errorString());
        direct.close();
        if (!info.exists()) direct.remove();
        fail(path, file.errorString());
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) fail(path, file.errorString());
}

ControlLine splitControlLine(const QString& line) {
    ControlLine parts;
    const qsizetype first = line.indexOf(kSeparator);
    if (first < 0) return parts;
    parts.kind = line.left(first);
    const qsizetype second = line.indexOf(kSeparator, first + 1);
    if (second < 0) return parts;
    parts.name = line.mid(first + 1, second - first - 1);
    parts.value = line.mid(second + 1);
    return parts;
}

QString joinControlLine(const ControlLine& line) {
    return line.kind + kSeparator + line.name + kSeparator + line.value;
}

QString templateLine(const QString& kind, const QString& name) {
    return kind + kSeparator + name + kSeparator + QLatin1Char(' ');
}

FieldLine splitFieldLine(const QString& line) {
    FieldLine parts;
    const qsizetype first = line.indexOf(kSeparator);
    if (first < 0) {
        parts.name = line;
        return parts;
    }
    parts.name = line.left(first);
    parts.value = line.mid(first + 1);
    parts.hasSeparator = true;
    return parts;
}

ControlRole roleOfKind(const QString& kind) {
    const QString k = kind.toUpper();
    if (k == QLatin1String("TDBEDIT")) return ControlRole::TextBox;
    if (k == QLatin1String("TDBCOMBOBOX")) return ControlRole::DropDown;
    if (k == QLatin1String("TDBRADIOGROUP") || k == QLatin1String("TRADIOGROUP")) return ControlRole::RadioGroup;
    if (k == QLatin1String("TDBCHECKBOX")) return ControlRole::CheckBox;
    return ControlRole::Other;
}

int radioIndexFromText(const QString& value, int buttonCount) {
    bool ok = false;
    const qlonglong n = normalizeDigits(value).trimmed().toLongLong(&ok);
    if (!ok || n < 0 || buttonCount <= 0) return -1;
    return n >= buttonCount ? buttonCount - 1 : static_cast<int>(n);
}

QString radioIndexText(int index) { return QString::number(index < 0 ? -1 : index); }

bool checkedFromText(const QString& value) {
    const QString v = normalizeDigits(value).trimmed();
    if (v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    bool ok = false;
    const double n = v.toDouble(&ok);
    return ok && std::isfinite(n) && n != 0.0;
}

QString checkedText(bool checked) { return checked ? QStringLiteral("-1") : QStringLiteral("0"); }

int dropDownIndexOf(const QStringList& items, const QString& value) {
    const QString wanted = foldForCp1256(value);
    for (int i = 0; i < items.size(); ++i) {
        if (foldForCp1256(items.at(i)).compare(wanted, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QString oneLine(const QString& value) {
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|\\r|\\n"));
    return QString(value).replace(lineBreak, QStringLiteral(" "));
}

bool sameLatinName(const QString& a, const QString& b) { return foldLatin(a) == foldLatin(b); }

}  // namespace zartav::defaults
