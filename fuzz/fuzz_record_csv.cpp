// A spreadsheet's CSV file of records, read and checked into a scratch store, whole or not at all.
#include "data/transfer/record_import.h"
#include "fuzz_support.h"

#include <QBuffer>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

zartav::Connection& scratchStore() {
    static QTemporaryDir* dir = new QTemporaryDir;
    static zartav::Connection* store = [] {
        auto* made = new zartav::Connection;
        if (!dir->isValid() || !made->open(dir->filePath(QStringLiteral("Data.db")))) __builtin_trap();
        // Nothing here needs to survive a crash: commits need not wait for the disk.
        QSqlQuery(made->database()).exec(QStringLiteral("PRAGMA synchronous=OFF"));
        return made;
    }();
    return *store;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    scratchStore();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray csv = zartav::fuzz::bytes(data, size);
    QBuffer file(&csv);
    file.open(QIODevice::ReadOnly);
    const zartav::RecordImportReport report = zartav::importRecordsCsv(scratchStore(), file);
    // A refused file leaves nothing; one taken is emptied again for the next input.
    QSqlQuery count(scratchStore().database());
    if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM VaskorTemp")) || !count.next()) __builtin_trap();
    if (count.value(0).toLongLong() != report.records) __builtin_trap();
    count.finish();
    QSqlQuery(scratchStore().database()).exec(QStringLiteral("DELETE FROM VaskorTemp"));
    return 0;
}
