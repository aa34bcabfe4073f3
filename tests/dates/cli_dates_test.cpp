#include "date_edges.h"

#include <QDate>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(ZARTAV_CLI), args);
    EXPECT_TRUE(p.waitForStarted());
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(CliDates, ToFarsiConvertsArguments) {
    const CliRun r = runCli({"to-farsi", "08/12/2026", "1/2/2006", "20/03/2025"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "1405/09/17\n1384/11/12\n1403/12/30\n");

    const CliRun bad = runCli({"to-farsi", "08/12/2026", "31/02/2006"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "1405/09/17\n\n");
}

TEST(CliDates, ToFarsiReadsStandardInput) {
    const CliRun r = runCli({"to-farsi"}, "08/12/2026\r\n\n01-02-2006\n۰۱/۰۲/۲۰۰۶\n21/03/2006");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "1405/09/17\n\n\n1384/11/12\n1385/01/01\n");

    const CliRun ok = runCli({"to-farsi"}, "08/12/2026\n21/03/2006\n");
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.out, "1405/09/17\n1385/01/01\n");
}

TEST(CliDates, ToGregorianReportsRejectedTextOnStandardError) {
    const CliRun r = runCli({"to-gregorian", "1405/09/17", "1385/01/32"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "08/12/2026\n\n");
    EXPECT_TRUE(r.err.contains(QStringLiteral(" تاريخ  1385/01/32  صحيح نمي باشد\nروز صحيح نيست\n")))
        << r.err.toStdString();

    const CliRun in = runCli({"to-gregorian"}, "1385/13/01\n1403/12/30\n");
    EXPECT_EQ(in.exitCode, 1);
    EXPECT_EQ(in.out, "\n20/03/2025\n");
    EXPECT_TRUE(in.err.contains(QStringLiteral("ماه صحيح نيست")));
}

TEST(CliDates, ToGregorianTakesTheLastDaysOfMonthsAndRefusesDaysThatNeverOccur) {
    QStringList args{"to-gregorian"};
    QString out, err;
    for (const zartav::test::DateEdge& edge : zartav::test::kDateEdges) {
        args << QString::fromLatin1(edge.date);
        out += QString::fromLatin1(edge.gregorian) + QLatin1Char('\n');
        if (!zartav::test::exists(edge)) err += zartav::test::refusalOf(edge).replace(u'\r', u'\n') + QLatin1Char('\n');
    }
    const CliRun r = runCli(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, out);
    EXPECT_TRUE(r.err.contains(err)) << r.err.toStdString();  // every refusal, in order
}

TEST(CliDates, RoundTripThroughBothCommands) {
    QByteArray gregorian;
    for (QDate d(1990, 1, 1); d < QDate(2030, 1, 1); d = d.addDays(1))
        gregorian += d.toString(QStringLiteral("dd/MM/yyyy")).toLatin1() + '\n';
    const CliRun farsi = runCli({"to-farsi"}, gregorian);
    ASSERT_EQ(farsi.exitCode, 0);
    const CliRun back = runCli({"to-gregorian"}, farsi.out.toUtf8());
    EXPECT_EQ(back.exitCode, 0);
    EXPECT_EQ(back.out.toLatin1(), gregorian);
}

TEST(CliDates, UnknownOptionIsAUsageError) {
    EXPECT_EQ(runCli({"to-farsi", "--fast"}).exitCode, 2);
}

}  // namespace
