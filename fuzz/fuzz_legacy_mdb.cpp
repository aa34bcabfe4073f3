// A legacy Access file offered for import (libmdb reads it from a path).
#include "data/legacy/legacy_import.h"
#include "fuzz_support.h"

#include <QSqlQuery>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    zartav::fuzz::scratchDatabase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto file = zartav::fuzz::asFile(zartav::fuzz::bytes(data, size), QStringLiteral(".mdb"));
    if (!file) return 0;
    QString error;
    if (!zartav::legacy::checkMdbFile(file->fileName(), &error)) return 0;
    const auto report = zartav::legacy::importMdbFile(file->fileName(), zartav::fuzz::scratchDatabase());
    zartav::legacy::farsiSummary(report);
    QSqlQuery(zartav::fuzz::scratchDatabase()).exec(QStringLiteral("DELETE FROM VaskorTemp"));
    QSqlQuery(zartav::fuzz::scratchDatabase()).exec(QStringLiteral("DELETE FROM DosSperm"));
    return 0;
}
