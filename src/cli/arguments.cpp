#include "cli/arguments.h"

namespace zartav::cli {

Arguments::Arguments(const char* command, const char* usageLine, std::initializer_list<Option> options,
                     const char* lacking)
    : command_(command), usageLine_(usageLine) {
    for (const Option& o : options) {
        if (o.valueName) valued_.insert(QStringLiteral("--") + QLatin1String(o.name), o.lacking ? o.lacking : lacking);
        parser_.addOption(o.valueName ? QCommandLineOption(QLatin1String(o.name), {}, QLatin1String(o.valueName))
                                      : QCommandLineOption(QLatin1String(o.name)));
    }
}

bool Arguments::parse(const QStringList& args, qsizetype words) {
    // The parser takes the program's name first; "--db=FILE" is read as "--db FILE".
    const bool ok = parser_.parse(QStringList{QStringLiteral("zartav-cli")} + args);
    const bool fewWords = parser_.positionalArguments().size() <= words;
    // Only the last word can lack its value: a word out of place comes before it, and counts first.
    lacking_ = !ok && fewWords && parser_.unknownOptionNames().isEmpty() && !args.isEmpty() ? valued_.value(args.last())
                                                                                            : nullptr;
    return ok && fewWords;
}

}  // namespace zartav::cli
