// Both programs answer --help and --version in the usual GNU form, without a display, and
// zartav-cli reports a wrong command line on standard error with status 2.
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

ProgramRun run(const char* program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // --help must not need any display
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(QString::fromUtf8(program), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST(CommandLine, HelpAndVersionInGnuForm) {
    const struct {
        const char* program;
        QStringList args;
        const char* firstLine;  // of standard output
    } cases[] = {
        {ZARTAV_PROGRAM, {"--help"}, "Usage: zartav [OPTION]..."},
        {ZARTAV_PROGRAM, {"--version"}, "zartav (Zartav) "},
        {ZARTAV_CLI, {"--help"}, "Usage: zartav-cli COMMAND [ARGUMENT]..."},
        {ZARTAV_CLI, {"--version"}, "zartav-cli (Zartav) "},
        {ZARTAV_CLI, {"to-gregorian", "--help"}, "Usage: zartav-cli to-gregorian [DATE ...]"},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(c.program, c.args);
        const QString what = c.args.join(' ');
        EXPECT_EQ(r.status, 0) << what.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(QString::fromUtf8(c.firstLine))) << what.toStdString() << ": " << r.out.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << what.toStdString() << ": " << r.err.toStdString();
    }
    const ProgramRun help = run(ZARTAV_PROGRAM, {"--help"});
    EXPECT_TRUE(help.out.contains("--help     display this help and exit"));
    EXPECT_TRUE(help.out.contains("--version  output version information and exit"));
    EXPECT_TRUE(run(ZARTAV_CLI, {"--version"}).out.contains("Copyright (C) "));
}

TEST(CommandLine, WrongCliCommandLinesPrintUsageOnStandardErrorAndExitTwo) {
    const struct {
        QStringList args;
        const char* reason;
    } cases[] = {
        {{}, "a command is needed"},
        {{"no-such-command"}, "unknown command 'no-such-command'"},
        {{"--frobnicate"}, "unrecognized option '--frobnicate'"},
    };
    for (const auto& c : cases) {
        const ProgramRun r = run(ZARTAV_CLI, c.args);
        EXPECT_EQ(r.status, 2) << c.reason;
        EXPECT_TRUE(r.out.isEmpty()) << c.reason;
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.reason))) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Usage: zartav-cli COMMAND")) << c.reason;
    }
}
