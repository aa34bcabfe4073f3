#pragma once

#include <QString>

class QWidget;

namespace zartav {

// First start beside a legacy database: when `dbPath` does not exist yet and `mdbPath` does,
// imports the Access file's records, photos and catalogue into a new database at `dbPath`,
// showing progress, then tells the user what it brought. The Access file is only read.
// Answers true when `dbPath` now holds the imported data. When the file cannot be imported the
// user is told why and no `dbPath` is left behind, so the program starts with a new database.
bool importLegacyDatabaseIfPresent(QWidget* parent, const QString& mdbPath, const QString& dbPath);

}  // namespace zartav
