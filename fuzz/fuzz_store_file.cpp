// A store file made elsewhere (a Data.db, a backup, a copy to restore): checked as a backup is,
// then opened for reading and read as the program reads it. Nothing in it may crash the reader,
// keep it at work without end, or change the file or leave a file beside it.
#include "data/transfer/store_backup.h"
#include "fuzz_support.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = zartav::fuzz::bytes(data, size);
    auto file = zartav::fuzz::asFile(bytes, QStringLiteral(".db"));
    if (!file) return 0;
    file->close();
    const QString path = file->fileName();
    zartav::checkBackupFile(path);
    {
        zartav::TDM dm;
        if (dm.Maincon.open(path, zartav::StoreAccess::ReadOnly) && dm.TVascor.open()) {
            for (int row = 0; row < std::min(dm.TVascor.rowCount(), 3); ++row) {
                dm.TVascor.setCurrentRow(row);
                for (int column = 0; column < zartav::schema::kListedColumnCount; ++column) dm.TVascor.listValue(row, column);
                dm.TVascor.photo(QStringLiteral("عكس 1"));
            }
            dm.TDosSperm.open();
        }
    }
    QFile after(path);
    if (!after.open(QIODevice::ReadOnly) || after.readAll() != bytes) __builtin_trap();
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        if (QFileInfo::exists(path + QLatin1String(suffix))) __builtin_trap();
    return 0;
}
