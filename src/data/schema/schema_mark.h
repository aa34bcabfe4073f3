#pragma once

// Server functions that run as the tables' owner name every table by the store's schema. The
// store lives in whatever schema the owner's session creates in, so their text carries a mark
// that is replaced by that schema, quoted, where they are made.

#include <QString>

namespace zartav::schema {

// Stands for the store's schema in a statement given to inStoreSchema().
inline const QString kSchemaMark = QStringLiteral("@zartav_schema@");

// One statement that runs `statement` with every kSchemaMark replaced by the current schema.
QString inStoreSchema(const QString& statement);

}  // namespace zartav::schema
