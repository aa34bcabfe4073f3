// The bull catalogue spreadsheet export (CSV), parsed and loaded into a scratch database.
#include "data/tdm.h"
#include "entry/catalogue_import.h"
#include "fuzz_support.h"

#include <QSqlDatabase>

namespace {
QSqlDatabase* scratch = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    scratch = new QSqlDatabase(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz")));
    scratch->setDatabaseName(QStringLiteral(":memory:"));
    if (!scratch->open() || !zartav::createRecordSchema(*scratch)) __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray csv = zartav::fuzz::bytes(data, size);
    const QString text = zartav::catalogue::decodeCsvBytes(csv);
    for (QChar delimiter : {QChar(u','), QChar(u';'), QChar(u'\t')}) zartav::catalogue::parseCsv(text, delimiter);
    zartav::catalogue::importCatalogueCsv(*scratch, csv);
    return 0;
}
