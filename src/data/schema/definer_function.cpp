#include "data/schema/definer_function.h"

namespace zartav::schema {

QString catalogFunction(const char* name) { return QStringLiteral("pg_catalog.") + QLatin1String(name); }

QString pinnedSearchPath() { return QStringLiteral("pg_catalog, %1, pg_temp").arg(QLatin1String(kSchemaMark)); }

QString madeInStoreSchema(const QString& createFunction) {
    return QStringLiteral("DO $zartav$ BEGIN EXECUTE pg_catalog.replace(pg_catalog.replace($body$%1$body$, '%2', "
                          "pg_catalog.quote_ident(pg_catalog.current_schema())), '%3', "
                          "pg_catalog.quote_literal(pg_catalog.current_schema())); END $zartav$")
        .arg(createFunction, QLatin1String(kSchemaMark), QLatin1String(kSchemaNameMark));
}

}  // namespace zartav::schema
