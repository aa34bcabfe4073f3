#pragma once

// What both programs say about themselves on the command line, in the usual GNU form.

#include <QString>
#include <optional>

namespace zartav {

// The version the build was made from, e.g. "1.0.0".
QString programVersion();

// The text of `PROGRAM --version`.
QString versionText(const QString& program);

// When the arguments (argv[1..]) hold "--help" or "--version", prints `help` or the version text
// on standard output and answers the exit status; std::nullopt otherwise. Runs before any
// application object exists, so it needs no display.
std::optional<int> answerHelpOrVersion(int argc, char** argv, const QString& program, const QString& help);

}  // namespace zartav
