// zartav-cli to-farsi: Gregorian DD/MM/YYYY to Solar Hijri YYYY/MM/DD.
#include "cli/command.h"
#include "cli/date_lines.h"
#include "dates/date_text.h"

namespace {

int run(const QStringList& args) {
    return zartav::cli::runDateLines("to-farsi", args, [](const QString& text, QStringList*) {
        return zartav::dates::gregorianTextToSolar(text);
    });
}

const bool registered = zartav::cli::registerCommand({"to-farsi", "[DD/MM/YYYY ...]", run,
                                                           "turns Gregorian dates (one a line on standard input without any) into Solar Hijri dates"});

}  // namespace
