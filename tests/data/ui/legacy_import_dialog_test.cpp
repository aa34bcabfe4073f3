// The first-start import: when it runs, and what the user is told when it cannot.
#include "fixtures.h"
#include "app/legacy_import_dialog.h"
#include "message_recorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zartav;

namespace {

QString copyInto(const QTemporaryDir& dir, const char* name, qint64 length = -1) {
    const QByteArray bytes = test::fixtureBytes(QStringLiteral("legacy/") + QString::fromLatin1(name));
    const QString path = dir.filePath(QStringLiteral("Data.mdb"));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(length < 0 ? bytes : bytes.left(length));
    return path;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(LegacyImportDialog, DoesNothingWithoutALegacyFileOrWhenADatabaseExists) {
    QTemporaryDir dir;
    test::MessageRecorder messages;
    const QString db = dir.filePath(QStringLiteral("Data.db"));
    EXPECT_FALSE(importLegacyDatabaseIfPresent(nullptr, dir.filePath(QStringLiteral("Data.mdb")), db));
    EXPECT_FALSE(QFileInfo::exists(db));

    const QString mdb = copyInto(dir, "nwind.mdb");
    QFile existing(db);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept as it is");
    existing.close();
    EXPECT_FALSE(importLegacyDatabaseIfPresent(nullptr, mdb, db));
    EXPECT_EQ(contents(db), QByteArray("kept as it is"));
    EXPECT_TRUE(messages.boxes().isEmpty());
}

TEST(LegacyImportDialog, ExplainsARefusalAndLeavesNeitherFileChanged) {
    const struct {
        const char* file;
        qint64 length;
        const char* reason;
    } cases[] = {
        {"nwind.mdb", -1, "Data.mdb: holds neither a VaskorTemp nor a DosSperm table: nothing to import"},
        {"nwind.mdb", 1000000, "Data.mdb: is damaged or truncated"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        test::MessageRecorder messages;
        const QString mdb = copyInto(dir, c.file, c.length);
        const QByteArray before = contents(mdb);
        const QString db = dir.filePath(QStringLiteral("Data.db"));
        EXPECT_FALSE(importLegacyDatabaseIfPresent(nullptr, mdb, db));
        EXPECT_FALSE(QFileInfo::exists(db));
        EXPECT_EQ(contents(mdb), before);
        ASSERT_EQ(messages.boxes().size(), 1);
        EXPECT_EQ(messages.boxes().at(0).caption, QStringLiteral("پيام"));
        // Farsi first, the path isolated so it keeps its order; the reader's words last.
        const QStringList lines = messages.boxes().at(0).text.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 3) << messages.boxes().at(0).text.toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("اطلاعات فايل قديمي \u2068%1\u2069 منتقل نشد.").arg(QDir::toNativeSeparators(mdb)));
        EXPECT_EQ(lines[1], QStringLiteral("برنامه با فايل اطلاعات خالي كار را شروع مي كند؛ فايل قديمي دست نخورده مي ماند."));
        EXPECT_TRUE(lines[2].startsWith(QChar(0x2068) + QString::fromLatin1(c.reason))) << lines[2].toStdString();
        EXPECT_TRUE(lines[2].endsWith(QChar(0x2069)));
    }
}
