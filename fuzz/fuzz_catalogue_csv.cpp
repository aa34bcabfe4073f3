// The bull catalogue spreadsheet export (CSV), parsed and loaded into a scratch database.
#include "entry/catalogue_import.h"
#include "fuzz_support.h"


extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    zartav::fuzz::scratchDatabase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray csv = zartav::fuzz::bytes(data, size);
    const QString text = zartav::catalogue::decodeCsvBytes(csv);
    for (QChar delimiter : {QChar(u','), QChar(u';'), QChar(u'\t')}) zartav::catalogue::parseCsv(text, delimiter);
    zartav::catalogue::importCatalogueCsv(zartav::fuzz::scratchDatabase(), csv);
    return 0;
}
