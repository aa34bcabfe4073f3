#pragma once

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace zartav::catalogue {

// Offices receive the bull catalogue as a spreadsheet export; this loads it into "DosSperm".

// A CSV file's text: UTF-8 (with or without a byte-order mark) when the bytes are valid UTF-8,
// otherwise Windows-1256, the code page Farsi spreadsheets save in.
QString decodeCsvBytes(const QByteArray& bytes);

struct CsvRecord {
    int line = 0;  // line of the file where the record starts (1 = first)
    QStringList fields;
};

struct CsvParse {
    QList<CsvRecord> records;  // blank lines are skipped
    int errorLine = 0;         // 0 when the text parsed
    QString error;
};

// Quoted fields may hold the delimiter, line breaks and doubled quotes. A quote inside an
// unquoted field, text after a closing quote, or a quote left open are errors.
CsvParse parseCsv(const QString& text, QChar delimiter);

struct ImportResult {
    int rows = 0;       // rows loaded
    int errorLine = 0;  // line of the file at fault, 0 when the fault is not one line's
    QString error;      // empty on success
    bool ok() const { return error.isEmpty(); }
};

// Replaces the whole catalogue in `db` by the rows of a CSV file, in one transaction. The header
// row names catalogue columns in any letter case (comma, semicolon or tab separated); columns
// it does not know are ignored, catalogue columns it does not name are left empty. A file with
// a wrong line, a value longer than a catalogue column holds, or no catalogue column at all
// changes nothing.
ImportResult importCatalogueCsv(QSqlDatabase db, const QByteArray& csv);

}  // namespace zartav::catalogue
