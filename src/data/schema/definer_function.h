#pragma once

// A server function that runs as the tables' owner whoever calls it (SECURITY DEFINER). Nothing of
// the caller's session may stand in for what it reads or calls: every table is named by the
// store's schema (written into the text where it is made), every function by pg_catalog, and its
// search path is pinned with pg_temp last, where a caller's temporary table or function cannot
// come first.

#include <QString>

namespace zartav::schema {

// Stands for the store's schema, quoted as a name, in a function's text until it is made.
inline constexpr const char* kSchemaMark = "@zartav_schema@";
// Stands for the schema's name as a string (what the change notice carries).
inline constexpr const char* kSchemaNameMark = "@zartav_schema_name@";

// "pg_catalog.name".
QString catalogFunction(const char* name);
// The search path such a function pins: pg_catalog, the store's schema, pg_temp.
QString pinnedSearchPath();

// The statement that makes `createFunction` (a CREATE OR REPLACE FUNCTION whose text names the
// store's schema by the marks above) in the schema the owner's session creates in.
QString madeInStoreSchema(const QString& createFunction);

}  // namespace zartav::schema
