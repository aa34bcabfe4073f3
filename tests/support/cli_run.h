#pragma once

// zartav-cli run as a program by the tests: its exit status and what it printed.

#include <QString>
#include <QStringList>

namespace zartav::test {

struct CliRun {
    int status = -1;  // -1 when it did not end normally within two minutes
    QString out;
    QString err;
};

// `args` begins with the command's name.
CliRun runCli(const QStringList& args);

}  // namespace zartav::test
