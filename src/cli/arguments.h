#pragma once

#include <QCommandLineParser>
#include <QHash>
#include <initializer_list>

namespace zartav::cli {

// One option of a command: "--name", or "--name VALUE" when it has a value's name; what to say
// when its value is missing.
struct Option {
    const char* name;
    const char* valueName = nullptr;
    const char* lacking = "an option lacks its value";
};

// A command's arguments read the one way for all: long options, each value the next word
// (whatever it is), other words kept in order wherever they stand, the last of a repeated
// option winning. A wrong line answers the command's usage error (exit status 2).
class Arguments {
public:
    Arguments(const char* command, const char* usageLine, std::initializer_list<Option> options);

    // False when a word is no option of the command, or the last option lacks its value.
    bool parse(const QStringList& args);
    // When the parse failed only for want of the last option's value, what to say of it.
    const char* lacking() const { return lacking_; }

    bool isSet(const char* name) const { return parser_.isSet(QLatin1String(name)); }
    QString value(const char* name) const { return parser_.value(QLatin1String(name)); }
    QStringList values(const char* name) const { return parser_.values(QLatin1String(name)); }
    qsizetype count(const char* name) const;
    QStringList words() const { return parser_.positionalArguments(); }

    int usage(const char* why = nullptr) const;

private:
    const char* command_;
    const char* usageLine_;
    QHash<QString, const char*> valued_;
    QCommandLineParser parser_;
    const char* lacking_ = nullptr;
};

}  // namespace zartav::cli
