#include "data/store_files.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace zartav::storefile {
namespace {

// Bytes 18 and 19 of the header: 2 when the file is kept with a write-ahead journal.
bool asksForJournal(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && (header.at(18) == 2 || header.at(19) == 2);
}

}  // namespace

ReadName forReading(const QString& path) {
    if (!asksForJournal(path) || QFileInfo::exists(path + QStringLiteral("-wal"))) return {path, false};
    return {QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                QStringLiteral("?mode=ro&immutable=1"),
            true};
}

bool removeJournals(const QString& path) {
    bool gone = true;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const QString name = path + QLatin1String(suffix);
        if (QFileInfo::exists(name) && !QFile::remove(name)) gone = false;
    }
    return gone;
}

bool remove(const QString& path) {
    const bool journals = removeJournals(path);
    return (!QFileInfo::exists(path) || QFile::remove(path)) && journals;
}

bool createPrivate(const QString& path, QString* error) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) return true;
    *error = file.errorString();
    return false;
}

}  // namespace zartav::storefile
