#include "unprivileged.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>

namespace zartav::test {

namespace {
constexpr const char* kNobody = "65534";
// The child's answers when it cannot run the program at all.
constexpr int kCannotExecute = 126;
constexpr int kNotFound = 127;
}  // namespace

Rerun rerunCurrentTestAsUnprivilegedUser() {
    Rerun rerun;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (setpriv.isEmpty() || !info) return rerun;
    const QString filter = QStringLiteral("--gtest_filter=%1.%2")
                               .arg(QString::fromUtf8(info->test_suite_name()),
                                    QString::fromUtf8(info->name()));
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(QStringLiteral("/"));
    child.start(setpriv, {QStringLiteral("--reuid=%1").arg(kNobody), QStringLiteral("--regid=%1").arg(kNobody),
                          QStringLiteral("--clear-groups"), QStringLiteral("--"),
                          QCoreApplication::applicationFilePath(), filter});
    if (!child.waitForFinished(120000)) return rerun;
    const QByteArray output = child.readAll();
    const int code = child.exitCode();
    if (child.exitStatus() != QProcess::NormalExit || code == kCannotExecute || code == kNotFound)
        return rerun;
    rerun.ran = true;
    rerun.passed = code == 0 && output.contains("[  PASSED  ] 1 test");
    if (!rerun.passed) std::fprintf(stderr, "unprivileged run:\n%s\n", output.constData());
    return rerun;
}

}  // namespace zartav::test
