// The bull catalogue spreadsheet export (CSV), parsed and loaded into a scratch database.
#include "entry/catalogue_import.h"
#include "fuzz_support.h"
#include "util/csv_reader.h"


extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    zartav::fuzz::scratchDatabase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray csv = zartav::fuzz::bytes(data, size);
    const QString text = zartav::csv::decode(csv);
    for (QChar delimiter : {QChar(u','), QChar(u';'), QChar(u'\t')}) {
        zartav::csv::Reader reader(text, delimiter);
        for (zartav::csv::Row row; reader.next(&row);) {
        }
    }
    zartav::catalogue::importCatalogueCsv(zartav::fuzz::scratchDatabase(), csv);
    return 0;
}
