// zartav-cli issuer: the issuing office's texts (the header's and footer's lines, the office's
// name and contacts, the signatory), as "مشخصات صادر كننده" sets them, without a window.
#include "cli/arguments.h"
#include "cli/command.h"
#include "data/certificates/certificate_register.h"
#include "data/certificates/office_texts.h"
#include "data/tdm.h"
#include "util/bidi_text.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

using namespace zartav;

const char* kUsageLine = "--db STORE [--keys | FILE]";

// As long as the window's boxes take.
constexpr int kMaxText = 120;

int usage(const char* why) { return cli::usageError("issuer", kUsageLine, why); }

int failed(const QString& why) { return cli::failure("issuer", why); }

QHash<QString, const certificates::OfficeText*> byName() {
    QHash<QString, const certificates::OfficeText*> all;
    for (const certificates::OfficeText& t : certificates::officeTexts()) all.insert(QString::fromLatin1(t.name), &t);
    return all;
}

int listKeys() {
    for (const certificates::OfficeText& t : certificates::officeTexts())
        std::printf("%s\t%s\n", t.name,
                    t.standIn ? "stand-in words until set" : *t.defaultText ? qPrintable(QStringLiteral("default: ") + QString::fromUtf8(t.defaultText)) : "empty until set");
    return cli::kOk;
}

// The texts the office set, one "key=text" line each (empty: not set), then the stand-ins
// still to set as a comment: the output is itself a file this command reads.
int printTexts(Connection& store) {
    QSqlDatabase db = store.database();
    QString error;
    const std::optional<QHash<QString, QString>> texts = certificates::readOfficeTexts(db, &error);
    if (!texts) return failed(QStringLiteral("the office's texts cannot be read: %1").arg(error));
    for (const certificates::OfficeText& t : certificates::officeTexts()) {
        const QString value = texts->value(QString::fromLatin1(t.name));
        std::printf("%s=%s\n", t.name, value == QString::fromUtf8(t.defaultText) ? "" : value.toUtf8().constData());
    }
    if (const QStringList unset = certificates::standInTexts(*texts); !unset.isEmpty())
        std::printf("# not set, so only draft certificates print: %s\n", qPrintable(unset.join(QStringLiteral(", "))));
    return cli::kOk;
}

int setTexts(Connection& store, const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return failed(QStringLiteral("%1: %2").arg(file, in.errorString()));
    const QByteArray bytes = in.readAll();
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes) return failed(QStringLiteral("%1 is not UTF-8 text").arg(file));
    const auto known = byName();
    QHash<QString, QString> texts;
    int number = 0;
    // Every line is checked before anything is set: a bad line sets nothing.
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++number;
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (number == 1 && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#'))) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return usage(QStringLiteral("line %1 of %2 is not key=text").arg(number).arg(file).toUtf8().constData());
        const QString key = line.left(equals).trimmed();
        if (!known.contains(key))
            return usage(QStringLiteral("line %1 of %2: unknown key \"%3\" (--keys lists them)").arg(number).arg(file, key)
                             .toUtf8()
                             .constData());
        const QString value = line.mid(equals + 1).trimmed();
        if (holdsDirectionControl(value))
            return failed(QStringLiteral("line %1 of %2 (%3) holds a direction control, which would print its words "
                                         "reordered")
                              .arg(number)
                              .arg(file, key));
        if (value.size() > kMaxText)
            return failed(QStringLiteral("line %1 of %2 (%3) has %4 characters; at most %5")
                              .arg(number)
                              .arg(file, key)
                              .arg(value.size())
                              .arg(kMaxText));
        texts.insert(key, value);
    }
    if (store.isReadOnly()) return failed(QStringLiteral("the store can only be read: its texts cannot be set"));
    QSqlDatabase db = store.database();
    QString error;
    if (!certificates::writeOfficeTexts(db, texts, &error))
        return failed(QStringLiteral("the office's texts cannot be saved: %1").arg(error));
    std::printf("%lld texts set\n", static_cast<long long>(texts.size()));
    return cli::kOk;
}

int run(const QStringList& args) {
    cli::Arguments line("issuer", kUsageLine, {{"db", "STORE"}, {"keys"}});
    if (!line.parse(args, 1)) return usage("unknown argument or missing value");
    const QString db = line.value("db"), file = line.words().value(0);
    const bool keys = line.isSet("keys");
    if (db.isEmpty()) return usage("--db is required");
    if (keys && !file.isEmpty()) return usage("--keys takes no file");
    if (keys) return listKeys();
    if (!cli::isServerAddress(db) && !QFileInfo(db).isFile()) return failed(QStringLiteral("no database file %1").arg(db));
    Connection store;
    if (!store.open(db, file.isEmpty() ? StoreAccess::ReadOnly : StoreAccess::ReadWrite))
        return failed(QStringLiteral("%1: %2").arg(store.displayName(), store.technicalError()));
    return file.isEmpty() ? printTexts(store) : setTexts(store, file);
}

const bool registered = cli::registerCommand(
    {"issuer", kUsageLine, run,
     "the issuing office's texts on every certificate: --keys lists their keys, FILE (UTF-8 key=text lines) sets "
     "them, nothing else prints them"});

}  // namespace
