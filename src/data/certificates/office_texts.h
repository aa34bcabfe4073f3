#pragma once

// The issuing office's own texts, kept in the store's office table: the lines of a certificate's
// header and footer, the office's name and address, and who signs.

#include "data/schema/register_schema.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zartav::certificates {

// Their names in the office table, each with the text printed until the office sets its own.
// The source layout's header and footer lines hold stand-in words, which no official page may
// print: until the office has set each of those, only draft pages print.
struct OfficeText {
    const char* name;
    const char* defaultText;
    bool standIn = false;  // the default is stand-in words (or nothing) and must be set to issue
};
const QList<OfficeText>& officeTexts();
// The names of the texts that still print stand-in words; none when the office may issue.
QStringList standInTexts(const QHash<QString, QString>& texts);
// Farsi: why an official page does not print yet, naming the window where the texts are set.
QString standInTextsReason();
// Every text, the defaults for those never set; nothing when the store cannot be read. A store
// without the table (an older file opened for reading) answers the defaults.
std::optional<QHash<QString, QString>> readOfficeTexts(QSqlDatabase& db, QString* error = nullptr);
// Sets the given texts in one transaction; an empty text goes back to the default.
bool writeOfficeTexts(QSqlDatabase& db, const QHash<QString, QString>& texts, QString* error = nullptr);

// Names in the office table.
inline constexpr const char* kMinistryLine = "ministry";
inline constexpr const char* kDeputyLine = "deputy";
inline constexpr const char* kCentreLine = "centre";
inline constexpr const char* kUnionLine = "union";
inline constexpr const char* kRegistryLine = "registry";
inline constexpr const char* kOfficeName = "office";
inline constexpr const char* kOfficeAddress = "address";
inline constexpr const char* kOfficeContact = "contact";
inline constexpr const char* kSignatoryName = "signatory";
inline constexpr const char* kSignatoryRole = "role";

}  // namespace zartav::certificates
