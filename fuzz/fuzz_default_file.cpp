// The field default files of the ini folder (Windows-1256 lines "kind~name~value").
#include "entry/default_file.h"
#include "fuzz_support.h"
#include "util/cp1256.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList lines = zartav::defaults::splitLines(zartav::decodeCp1256(zartav::fuzz::bytes(data, size)));
    for (const QString& line : lines) {
        const auto control = zartav::defaults::splitControlLine(line);
        zartav::defaults::roleOfKind(control.kind);
        zartav::defaults::radioIndexFromText(control.value, 3);
        zartav::defaults::checkedFromText(control.value);
        zartav::defaults::dropDownIndexOf(lines, control.value);
        zartav::defaults::joinControlLine(control);
        zartav::defaults::splitFieldLine(line);
    }
    return 0;
}
