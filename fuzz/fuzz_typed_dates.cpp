// Typed dates and times: the checks and completions behind every date and time box.
#include "dates/date_validation.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString typed = zartav::fuzz::text(data, size);
    const auto date = zartav::dates::checkDate(typed);
    const QString completed = zartav::dates::completeDate(date, 1405);
    if (date.ok && completed.isEmpty()) __builtin_trap();
    if (!date.ok && date.message.isEmpty()) __builtin_trap();
    zartav::dates::completeDate(date, 1);
    zartav::dates::completeDate(date, 9999);
    // Held against the month's length, a date can only lose its acceptance, never gain one.
    const auto existing = zartav::dates::checkExistingDate(typed, 1405);
    if (existing.ok && !date.ok) __builtin_trap();
    if (!existing.ok && existing.message.isEmpty()) __builtin_trap();
    for (bool seconds : {false, true}) {
        const auto time = zartav::dates::checkTime(typed, seconds);
        const QString hhmm = zartav::dates::completeTime(time);
        if (time.ok && hhmm.size() != 5) __builtin_trap();
    }
    return 0;
}
