#include "data/schema/schema_mark.h"

namespace zartav::schema {

QString inStoreSchema(const QString& statement) {
    return QStringLiteral("DO $zartav$ BEGIN EXECUTE pg_catalog.replace($body$%1$body$, '%2', "
                          "pg_catalog.quote_ident(pg_catalog.current_schema())); END $zartav$")
        .arg(statement, kSchemaMark);
}

}  // namespace zartav::schema
