// A Data.db damaged behind its first page (a disk error, a half-copied file): the program must
// not write into it, and must say which file is at fault.
#include "cli/store_worker_rows.h"
#include "data/tdm.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace zartav;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A closed store file of `records` records with photos, its journal folded in.
void makeStore(const QString& path, int records) {
    TDM dm;
    ASSERT_TRUE(dm.Maincon.open(path));
    ASSERT_TRUE(dm.TVascor.open());
    for (int n = 0; n < records; ++n) {
        ASSERT_TRUE(dm.TVascor.insert());
        for (int c = 0; c < schema::kListedColumnCount; ++c)
            dm.TVascor.setValue(QString::fromUtf8(schema::kRecordColumns[c]), storeworker::rowText("x", n, c));
        dm.TVascor.setPhoto(QStringLiteral("عكس 1"), storeworker::rowPhoto("x", n, 0, 3000));
        ASSERT_TRUE(dm.TVascor.post());
    }
}

}  // namespace

TEST(DamagedFile, TheStoreNeverWritesIntoADamagedFile) {
    struct Case {
        const char* name;
        std::function<QByteArray(const QByteArray&)> damage;
    };
    // Damage the very first reads run into. (A file damaged only in pages the first reads do not
    // touch opens; its later reads and saves are up to the database engine's own checks.)
    const QList<Case> cases = {
        {"cut in half", [](const QByteArray& good) { return good.left(good.size() / 2); }},
        {"pages after the first zeroed",
         [](const QByteArray& good) { return good.left(4096) + QByteArray(good.size() - 4096, '\0'); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("Data.db");
        makeStore(path, 60);
        const QByteArray damaged = c.damage(readAll(path));
        writeAll(path, damaged);

        TDM dm;
        const bool connected = dm.Maincon.open(path);
        if (!connected) {
            EXPECT_TRUE(dm.Maincon.errorText().contains(path)) << dm.Maincon.errorText().toStdString();
        }
        EXPECT_FALSE(connected && dm.TVascor.open() && dm.TVascor.rowCount() == 60);
        dm.Maincon.close();
        EXPECT_EQ(readAll(path), damaged);
    }
}
