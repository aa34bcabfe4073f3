#pragma once

// A store file is data, never code. Whoever made a file (a backup sent by another office, a copy
// passed round on a stick) may have added triggers that rewrite records on the next save, views
// that never end, or columns of another type; none of that may run here. Every connection to a
// store file is hardened before its first statement, and the file's schema is compared with the
// program's own (storeObjects() of data/store_schema.h) before anything in it is read or written.

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace zartav::integrity {

struct SchemaCheck {
    bool ok = false;
    // Farsi, naming the first object found that is not the program's own or not made as the
    // program makes it; empty when the schema itself could not be read.
    QString foreign;
    QString engineWords;  // the engine's words when the schema could not be read
};

// SQLite's defensive settings: no statement through this connection can rewrite the file's
// schema by hand, and no function or virtual table that a schema names runs unless SQLite
// knows it to be harmless. False when the connection does not take them.
bool harden(sqlite3* db);

// Every object of the file's schema is one of the program's, made exactly as the program makes
// it (its statement compared word for word, blanks, comments, letter case of names and the
// quoting of names aside), or one SQLite keeps for itself. An object of the program that is
// missing is no fault: a writable open makes it.
SchemaCheck checkSchema(sqlite3* db);

// True when `made`, a statement as the file keeps it, is `ours` as checkSchema compares them.
bool sameStatement(const QString& made, const QString& ours);

// The SQLite connection under a QSQLITE one; null when `db` is not an open SQLite connection.
sqlite3* handleOf(const QSqlDatabase& db);

// Both, on an open connection of the QSQLITE driver.
SchemaCheck checkOpened(const QSqlDatabase& db);

// While it lives, statements on a file connection stop once they have taken `steps` steps of
// SQLite's machine, and fail as interrupted; so a damaged file cannot keep a reading at work
// without end. The default is about a second's work: a catalogue of a million bulls reads
// within it. Does nothing on the server.
class ReadBudget {
public:
    static constexpr qint64 kDefaultSteps = 50'000'000;
    explicit ReadBudget(const QSqlDatabase& db, qint64 steps = kDefaultSteps);
    ~ReadBudget();
    ReadBudget(const ReadBudget&) = delete;
    ReadBudget& operator=(const ReadBudget&) = delete;

    bool spent() const { return left_ <= 0; }

private:
    static constexpr int kStepsPerCall = 1000;
    static int step(void* budget);

    sqlite3* handle_ = nullptr;
    qint64 left_;
};

}  // namespace zartav::integrity
