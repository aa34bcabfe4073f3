#include "data/schema/stored_names.h"

#include "data/schema/record_schema.h"

namespace zartav::schema {

const QHash<QString, QString>& storedNames() {
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> all;
        auto add = [&all](const char* name) {
            const QString text = QString::fromUtf8(name);
            all.insert(text.toCaseFolded(), text);
        };
        add(kRecordTable);
        add(kCatalogueTable);
        for (const char* name : kRecordColumns) add(name);
        for (const char* name : kCatalogueColumns) add(name);
        return all;
    }();
    return names;
}

QString catalogueOrder(const SqlDialect& d) {
    return d.isServer() ? d.quote(kServerCatalogueOrderColumn) : QStringLiteral("rowid");
}

}  // namespace zartav::schema
