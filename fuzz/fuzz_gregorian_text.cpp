// Gregorian date text read and turned into a Solar Hijri date.
#include "dates/date_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString typed = zartav::fuzz::text(data, size);
    const QString solar = zartav::dates::gregorianTextToSolar(typed);
    const auto gregorian = zartav::dates::readGregorian(typed);
    if (gregorian && !gregorian->isValid()) __builtin_trap();
    (void)solar;
    zartav::dates::readInteger(typed);
    zartav::dates::completeYearText(typed, 1405);
    return 0;
}
