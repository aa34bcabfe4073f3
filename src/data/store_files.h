#pragma once

// A store file on disk with the journal files SQLite keeps beside it ("-wal", "-shm" and
// "-journal"): reading one without leaving any of them, removing one with all of them, and
// making a new one that only its owner may read.

#include <QString>

namespace zartav::storefile {

// What the file is opened by when it is only to be read (by SQLite with URI names, QSQLITE with
// QSQLITE_OPEN_URI). A file whose header asks for the write-ahead journal while none is beside
// it would otherwise get fresh "-wal" and "-shm" files that a reader cannot take away again: it
// is read as a file nothing else writes. (A program that has the file open keeps its journal
// beside it; the file is then read through that journal, as usual.)
struct ReadName {
    QString name;
    bool uri = false;
};
ReadName forReading(const QString& path);

// Removes the file and its journal files, or its journal files alone; false when one stays.
bool remove(const QString& path);
bool removeJournals(const QString& path);

// Makes the empty file `path` with mode 0600 (a new one only); false with the system's words.
bool createPrivate(const QString& path, QString* error);

}  // namespace zartav::storefile
