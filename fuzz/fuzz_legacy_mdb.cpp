// A legacy Access file offered for import (libmdb reads it from a path).
#include "data/legacy_import.h"
#include "data/tdm.h"
#include "fuzz_support.h"

#include <QSqlDatabase>
#include <QSqlQuery>

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
    auto file = zartav::fuzz::asFile(zartav::fuzz::bytes(data, size), QStringLiteral(".mdb"));
    if (!file) return 0;
    QString error;
    if (!zartav::legacy::checkMdbFile(file->fileName(), &error)) return 0;
    const auto report = zartav::legacy::importMdbFile(file->fileName(), *scratch);
    zartav::legacy::farsiSummary(report);
    QSqlQuery(*scratch).exec(QStringLiteral("DELETE FROM VaskorTemp"));
    QSqlQuery(*scratch).exec(QStringLiteral("DELETE FROM DosSperm"));
    return 0;
}
