#pragma once

// Brings the records, photos and bull catalogue of a legacy Access "Data.mdb" into our
// database, all or nothing.

#include "data/legacy/legacy_rows.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

namespace zartav::legacy {

// Something the import left out, and why.
struct Skip {
    enum class Kind {
        OtherTable,      // a table that is neither the records nor the catalogue
        MissingTable,    // the file lacks one of the two tables
        UnknownColumn,   // a source column that matches none of ours
        DuplicateColumn, // a second source column matching one already taken
        MissingColumn,   // one of our columns the source lacks: left empty
        NotABitmap,      // a photo value holding no complete bitmap: left empty
        NotText,         // a binary value in a text column: left empty
    };
    Kind kind;
    QString table;
    QString column;
    qint64 recordId = 0;  // the source "ID" for per-record skips (0 when it had none)
};

struct ImportReport {
    bool ok = false;
    QString error;  // why nothing was imported, when !ok
    bool cancelled = false;  // the user stopped it
    int records = 0;
    int photos = 0;
    int catalogueRows = 0;
    // The target already held records, so every imported record got a new "ID".
    bool idsRenumbered = false;
    // Records that got a new "ID" although the target was empty: theirs was missing, not a
    // positive whole number, or already taken by an earlier record of the file.
    int recordsGivenNewIds = 0;
    QList<Skip> skipped;

    // One English line per fact, for the command-line tool.
    QStringList lines() const;
};

// Called after each row with rows done and the rows expected; answering false cancels the
// import (nothing is kept).
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// Imports the rows of `records` into VaskorTemp and of `catalogue` into DosSperm (either may be
// null) in one transaction of `db`, whose tables must exist. On any failure the transaction is
// rolled back: the target is as it was and the report says why.
ImportReport importRows(QSqlDatabase& db, RowSource* records, RowSource* catalogue,
                        const ImportProgress& progress = {});

// Checks, without touching any target, that the Access file opens and holds at least one of
// the two tables; false with the reason in `error`.
bool checkMdbFile(const QString& mdbPath, QString* error);

// Opens the Access file read-only and imports its VaskorTemp and DosSperm tables (names
// matched without Latin letter case). A file that is not an Access database, is damaged, or
// holds neither table is refused before the target is touched.
ImportReport importMdbFile(const QString& mdbPath, QSqlDatabase& db,
                           const ImportProgress& progress = {});

// What the import brought and left out, in Farsi for the user (at most `detailLines` lines of
// detail about what was left out). A report that is not ok gives farsiRefusal's text.
QString farsiSummary(const ImportReport& report, int detailLines = 12);

// Why nothing came over from the file at `mdbPath` (may be empty), in Farsi for the user: what
// happened and what follows, then the reader's or the database's own words on a line of their own.
QString farsiRefusal(const QString& mdbPath, const ImportReport& report);

}  // namespace zartav::legacy
