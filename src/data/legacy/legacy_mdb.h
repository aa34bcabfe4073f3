#pragma once

// Read-only access to legacy Microsoft Access (.mdb, Jet 3 and Jet 4) files through libmdb.
// Used once, to bring an office's existing records over; nothing here ever writes the file.

#include "data/legacy/legacy_rows.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace zartav::legacy {

struct MdbColumnInfo {
    QString name;
    QString typeName;  // "Text", "Memo", "OLE", "Long Integer" ...
    int size = 0;      // declared size: characters for text, bytes otherwise
    bool binary = false;
};

struct MdbTableInfo {
    QString name;
    qint64 rowCount = 0;  // as recorded in the table definition
    QList<MdbColumnInfo> columns;
};

class MdbFile {
public:
    ~MdbFile();
    MdbFile(const MdbFile&) = delete;
    MdbFile& operator=(const MdbFile&) = delete;

    // Opens `path` read-only. On failure returns nullptr and puts a sentence naming the file and
    // the reason into `error` (not an Access file, damaged, unreadable).
    static std::unique_ptr<MdbFile> open(const QString& path, QString* error);

    QString path() const { return path_; }
    int jetVersion() const;  // 3 or 4 (Access 2000 and later files count as 4)

    // The user tables, in catalogue order, names converted to Unicode.
    QStringList tableNames() const;
    // Finds a table by name, Latin letters compared without case; empty when there is none.
    QString findTable(const QString& name) const;
    // Columns of `table`; false with `error` when the definition cannot be read.
    bool describe(const QString& table, MdbTableInfo* info, QString* error) const;
    // A row source over `table`; nullptr with `error` when the definition cannot be read. The
    // source borrows this file: it must not outlive it, and only one may read at a time.
    std::unique_ptr<RowSource> rows(const QString& table, QString* error);

private:
    MdbFile() = default;
    struct Handle;
    std::unique_ptr<Handle> h_;
    QString path_;
};

}  // namespace zartav::legacy
