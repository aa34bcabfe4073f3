// The export command: a store or a herd into a CSV file, a wrong file name refused.
#include "../data/record_export_fixture.h"
#include "cli_run.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace zartav;

TEST_P(ExportTest, CommandLineExportsAStoreOrAHerd) {
    struct Case {
        QStringList options;
        QString lastTitle;
        int records;
    };
    const Case cases[] = {
        {{}, QStringLiteral("نوع باروري"), 4},
        {{QStringLiteral("--herd"), QStringLiteral("10")}, QStringLiteral("نوع باروري"), 3},
        {{QStringLiteral("--herd"), QStringLiteral("۱۰")}, QStringLiteral("نوع باروري"), 3},  // the same herd
        {{QStringLiteral("--columns"), QStringLiteral("all")}, QStringLiteral("ID"), 4},
    };
    for (const Case& c : cases) {
        QFile::remove(file("cli.csv"));
        const test::CliRun run =
            test::runCli(QStringList{QStringLiteral("export"), QStringLiteral("--db"), store->address()} + c.options +
                         QStringList{file("cli.csv")});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const QString text = QString::fromUtf8(readAll(file("cli.csv")));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        EXPECT_TRUE(lines.first().endsWith(QLatin1Char(',') + c.lastTitle)) << c.options.join(' ').toStdString();
        // The header, the records (one holds a line break inside quotes) and the empty end.
        EXPECT_EQ(lines.size(), 1 + c.records + 1) << c.options.join(' ').toStdString();
    }
    const test::CliRun wrong = test::runCli({QStringLiteral("export"), QStringLiteral("--db"), store->address(), file("cli.txt")});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_FALSE(QFile::exists(file("cli.txt")));
}

INSTANTIATE_TEST_SUITE_P(Engines, ExportTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
