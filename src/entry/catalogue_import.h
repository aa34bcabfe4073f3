#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace zartav::catalogue {

// Offices receive the bull catalogue as a spreadsheet export; this loads it into "DosSperm".

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
// `progress` hears the rows stored and the rows in all now and then while they are written.
using ImportProgress = std::function<void(int done, int total)>;
ImportResult importCatalogueCsv(QSqlDatabase db, const QByteArray& csv, const ImportProgress& progress = {});

}  // namespace zartav::catalogue
