#pragma once

// Records typed in a spreadsheet, brought in from its CSV file: a header row naming record
// columns (any of them, in any order, by their exact names), then one record a row. The file is
// read as it is inserted, in one transaction; the first row at fault undoes every row before it,
// so a file comes in whole or not at all. New records take new "ID"s from the store.

#include <QIODevice>
#include <QString>
#include <functional>

namespace zartav {

class Connection;

struct RecordImportReport {
    bool ok = false;
    bool cancelled = false;
    qint64 records = 0;  // records added
    int line = 0;        // the file's line at fault, 0 when the fault is not one line's
    QString column;      // the column at fault, when it is one column's
    QString reason;      // Farsi: why nothing was added
    QString engineWords; // the store's own words, when the store refused

    // "سطر 12، ستون «تاريخ تولد»: ..." (line, column and reason, as far as they are known).
    QString refusal() const;
};

// Bytes of the file read and in all, now and then; answering false cancels (nothing is added).
using RecordImportProgress = std::function<bool(qint64 done, qint64 total)>;

RecordImportReport importRecordsCsv(Connection& store, QIODevice& file, const RecordImportProgress& progress = {});
RecordImportReport importRecordsCsvFile(Connection& store, const QString& path,
                                        const RecordImportProgress& progress = {});

// What the user is told after an import of `path`: how many records came in, or why none did.
QString recordImportSummary(const RecordImportReport& report, const QString& path);

}  // namespace zartav
