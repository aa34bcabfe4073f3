#include "print/certificate_source.h"

#include "data/record_schema.h"
#include "data/tdm.h"

#include <algorithm>

namespace zartav::print {

CertificateRecord certificateRecordFromTable(const RecordTable& table) {
    CertificateRecord record;
    for (const char* name : schema::kRecordColumns) {
        const QString column = schema::column(name);
        const bool photo = std::any_of(schema::kPhotoColumns.begin(), schema::kPhotoColumns.end(),
                                       [&](const char* p) { return column == QString::fromUtf8(p); });
        if (photo) record.pictures.insert(column, table.photo(column));
        else record.values.insert(column, table.value(column));
    }
    record.values.insert(schema::column(schema::kId), QString::number(table.id()));
    return record;
}

}  // namespace zartav::print
