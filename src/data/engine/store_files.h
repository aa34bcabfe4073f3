#pragma once

// A store file on disk with the journal files SQLite keeps beside it ("-wal", "-shm" and
// "-journal"): reading one without leaving any of them, removing one with all of them, making a
// new one that only its owner may read, and telling a write-ahead journal that is the file's own
// from one that is not.

#include <QString>

struct sqlite3;

namespace zartav::storefile {

// What the file is opened by when it is only to be read (by SQLite with URI names, QSQLITE with
// QSQLITE_OPEN_URI). A file whose header asks for the write-ahead journal while no journal with
// anything in it is beside it would otherwise get fresh "-wal" and "-shm" files that a reader
// cannot take away again: it is read as a file nothing else writes. A journal that holds saves
// is read through (SQLite never checkpoints on a read-only connection); `makesShm` tells that
// the reading makes the "-shm" SQLite needs for it, which the reader removes when it is done.
struct ReadName {
    QString name;
    bool uri = false;
    bool makesShm = false;
};
ReadName forReading(const QString& path);

// SQLite applies whatever valid saves a "-wal" beside a file holds, whoever wrote them: a journal
// of another database would put that database's pages into this one, and the next checkpoint
// would write them into the file. A journal is the file's own when it holds no save SQLite would
// read (empty, cut short before its first save, torn), or when its pages are of the file's size
// and the header page as the journal shows it carries the file's own mark (application_id, given
// to every store on its first writable open) and the journal's own stamp (user_version: its
// salt, written by every writable connection of this program as the first save of each new
// journal, see stampJournals()). A file from before the mark was given has nothing to compare.
// What this cannot tell: a journal of an older copy of the same store, or one whose first save
// was cut off before its stamp; such a journal is refused too when it lacks the stamp.
struct JournalCheck {
    bool ok = true;
    QString refusal;  // Farsi, naming the "-wal"
};
// A journal in use (the file open through SQLite in this process, see holdOpen(), or in another)
// is not read: it is that connection's.
JournalCheck checkJournal(const QString& path);

// Tells checkJournal() that this process has the file open through SQLite, or no longer.
void holdOpen(const QString& path, bool open);

// On a writable connection to `db`: every journal it starts gets the stamp above, and the
// journal is checkpointed as SQLite's own hook does (at 1000 pages). Gives the store its mark
// when it has none. False when the mark could not be written.
bool stampJournals(sqlite3* db);

// Removes the file and its journal files, or its journal files alone; false when one stays.
bool remove(const QString& path);
bool removeJournals(const QString& path);

// Makes the empty file `path` with mode 0600 (a new one only); false with the system's words.
bool createPrivate(const QString& path, QString* error);

// A path that is a symbolic link to nothing: opening it would make a file wherever it points.
bool isDanglingLink(const QString& path);

}  // namespace zartav::storefile
