#pragma once

#include "cli/command.h"

#include <QCommandLineParser>
#include <QHash>
#include <initializer_list>

namespace zartav::cli {

// One option of a command: "--name", or "--name VALUE" when it has a value's name, and what to
// say when it is last without one (the command's own words for it otherwise).
struct Option {
    const char* name;
    const char* valueName = nullptr;
    const char* lacking = nullptr;
};

// A command's arguments read the one way for all: long options, each value the next word
// (whatever it is), other words kept in order wherever they stand, the last of a repeated
// option winning. A wrong line answers the command's usage error (exit status 2).
class Arguments {
public:
    Arguments(const char* command, const char* usageLine, std::initializer_list<Option> options,
              const char* lacking = nullptr);

    // False when a word is no option of the command, more than `words` other words are given, or
    // the last option lacks its value.
    bool parse(const QStringList& args, qsizetype words = 0);

    bool isSet(const char* name) const { return parser_.isSet(QLatin1String(name)); }
    QString value(const char* name) const { return parser_.value(QLatin1String(name)); }
    QStringList values(const char* name) const { return parser_.values(QLatin1String(name)); }
    qsizetype count(const char* name) const { return parser_.optionNames().count(QLatin1String(name)); }
    QStringList words() const { return parser_.positionalArguments(); }

    int usage(const char* why = nullptr) const { return usageError(command_, usageLine_, why); }
    // The usage error of a line parse() refused: what the missing value's option says, or `why`.
    int refuse(const char* why) const { return usage(lacking_ ? lacking_ : why); }

private:
    const char* command_;
    const char* usageLine_;
    QHash<QString, const char*> valued_;
    QCommandLineParser parser_;
    const char* lacking_ = nullptr;
};

}  // namespace zartav::cli
