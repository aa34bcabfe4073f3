#include "cli_run.h"

#include <QProcess>

namespace zartav::test {

CliRun runCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(ZARTAV_CLI), args);
    CliRun r;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

}  // namespace zartav::test
