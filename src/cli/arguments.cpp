#include "cli/arguments.h"

#include "cli/command.h"

namespace zartav::cli {

Arguments::Arguments(const char* command, const char* usageLine, std::initializer_list<Option> options)
    : command_(command), usageLine_(usageLine) {
    for (const Option& o : options) {
        if (o.valueName) valued_.insert(QStringLiteral("--") + QLatin1String(o.name), o.lacking);
        parser_.addOption(o.valueName ? QCommandLineOption(QLatin1String(o.name), {}, QLatin1String(o.valueName))
                                      : QCommandLineOption(QLatin1String(o.name)));
    }
}

bool Arguments::parse(const QStringList& args) {
    // The parser takes the program's name first; "--db=FILE" is read as "--db FILE".
    const bool ok = parser_.parse(QStringList{QStringLiteral("zartav-cli")} + args);
    // Only the last word can lack its value; a word no option knows counts first, as it comes first.
    lacking_ = !ok && parser_.unknownOptionNames().isEmpty() && !args.isEmpty() ? valued_.value(args.last()) : nullptr;
    return ok;
}

qsizetype Arguments::count(const char* name) const {
    const QString option = QLatin1String(name);
    qsizetype n = 0;
    for (const QString& found : parser_.optionNames()) n += found == option;
    return n;
}

int Arguments::usage(const char* why) const { return usageError(command_, usageLine_, why); }

}  // namespace zartav::cli
