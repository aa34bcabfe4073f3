// zartav-cli to-gregorian: Solar Hijri date text (any accepted typed form) to Gregorian DD/MM/YYYY.
#include "cli/command.h"
#include "cli/date_lines.h"
#include "dates/date_arithmetic.h"
#include "dates/date_text.h"

namespace {

int run(const QStringList& args) {
    // Short years are completed around today's year, fixed for the whole run.
    const int todayYear = zartav::dates::currentSolarYear();
    return zartav::cli::runDateLines(
        "to-gregorian", args, [todayYear](const QString& text, QStringList* messages) {
            return zartav::dates::solarToGregorianText(text, todayYear, messages);
        });
}

const bool registered = zartav::cli::registerCommand({"to-gregorian", "[DATE ...]", run,
                                                           "turns Solar Hijri dates (one a line on standard input without any) into Gregorian dates"});

}  // namespace
