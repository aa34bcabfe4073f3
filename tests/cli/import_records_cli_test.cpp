// The records import command: the exported list comes back equal, a refused file says why.
#include "../data/record_import_fixture.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace zartav;

TEST_P(RecordImportTest, TheExportedListComesBackEqualThroughTheCommandLine) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.db"));
    {
        TDM dm;
        ASSERT_TRUE(dm.Maincon.open(source));
        ASSERT_TRUE(dm.TVascor.open());
        const QStringList awkward = {QStringLiteral("با ويرگول، و , كاما"), QStringLiteral("\"نقل\" قول"),
                                     QStringLiteral(" فاصله ها  ")};
        for (int n = 0; n < 3; ++n) {
            ASSERT_TRUE(dm.TVascor.insert());
            for (int c = 0; c < schema::kListedColumnCount; ++c) {
                const QString name = QString::fromUtf8(schema::kRecordColumns[c]);
                const QString value = name.startsWith(QStringLiteral("تاريخ")) ? QStringLiteral("1405/0%1/1%2").arg(n + 1).arg(c % 10)
                                                                              : awkward[(n + c) % 3] + QString::number(c);
                if ((n + c) % 7 != 0) {
                    ASSERT_TRUE(dm.TVascor.setValue(name, value));
                }
            }
            ASSERT_TRUE(dm.TVascor.post()) << dm.TVascor.errorText().toStdString();
        }
    }
    const QList<QStringList> before = listRows(source);
    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    {
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(exportedCsv(before));
    }
    connection.close();
    const test::CliRun run = test::runCli({QStringLiteral("import-records"), QStringLiteral("--db"), store->address(), csv});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("3 records added to "))) << run.out.toStdString();
    // The one record the source left without a print date comes in with the day of the import.
    QList<QStringList> after = before;
    const int printDate = RecordTable::columnIndex(QStringLiteral("تاريخ چاپ"));
    for (QStringList& row : after)
        if (row[printDate].isEmpty()) row[printDate] = importDay();
    EXPECT_NE(after, before);
    EXPECT_EQ(listRows(store->address()), after);

    // A refused file says why on the error stream, in Farsi, and fails.
    {
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((kHeader + "\n1,1405/01/32,a\n").toUtf8());
    }
    const test::CliRun refused = test::runCli({QStringLiteral("import-records"), QStringLiteral("--db"), store->address(), csv});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("سطر 2، ستون «تاريخ تولد»: تاريخ 1405/01/32 صحيح نمي باشد؛ روز صحيح نيست")))
        << refused.err.toStdString();
    EXPECT_EQ(listRows(store->address()).size(), 3);
}

INSTANTIATE_TEST_SUITE_P(Engines, RecordImportTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
