#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace zartav::cli {

// Converts one text; answers the result (empty when it did not convert) and may add messages
// for standard error.
using LineConverter = std::function<QString(const QString& text, QStringList* messages)>;

// Runs a converter over the arguments, or over standard input line by line when there are none:
// one result per line, an empty line for a text that did not convert, its messages on standard
// error. Exit status: 0 when every text converted, 1 otherwise, 2 for an unknown option.
int runDateLines(const char* command, const QStringList& args, const LineConverter& convert);

}  // namespace zartav::cli
