#pragma once

// The records a list shows, written to a spreadsheet: an .xlsx workbook (a right-to-left sheet
// named after the herd the list shows, a header row of the column names, the quantities as
// numbers and every other value as the text the program shows, dates included)
// or a .csv file (UTF-8 with a byte order mark, RFC 4180 quoting, CR LF line ends), chosen by
// the file name's extension. Rows are read in one statement and written as they come, so a
// million records never sit in memory. The file appears only when it is whole: a cancelled or
// failed export leaves none (and an older file of that name as it was).

#include <QString>
#include <functional>

namespace zartav {

class RecordTable;

enum class ExportColumns {
    Listed,  // the 51 columns of the record list, in its order
    All,     // those and "ID", the one other column that is not a photo
};

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    qint64 rows = 0;
    QString error;  // Farsi, for the user, when neither ok nor cancelled
};

// Rows written and rows in all; answering false cancels.
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

// True when `path` names an .xlsx or a .csv file (letter case aside).
bool isExportFileName(const QString& path);

// Writes the rows `shown` shows (its filter and find; only its connection need be open).
ExportResult exportRecords(const RecordTable& shown, const QString& path, ExportColumns columns,
                           const ExportProgress& progress = {});

}  // namespace zartav
