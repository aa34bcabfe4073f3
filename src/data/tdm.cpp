#include "data/tdm.h"

#include "data/schema/record_schema.h"
#include "data/schema/store_schema.h"
#include "data/schema/stored_names.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace zartav {

using schema::kRecordColumns;
using schema::isListedColumn;
using schema::textOf;


TDM::TDM(StoreWorker::Mode mode)
    : worker_(Maincon, mode), TVascor(worker_), TDosSperm(worker_), QAsk(Maincon),
      storedValues_(TVascor) {
    // The names the program knows them by; the field default files are named after them.
    TVascor.setObjectName(QStringLiteral("TVascor"));
    TDosSperm.setObjectName(QStringLiteral("TDosSperm"));
}

TDM::~TDM() {
    QAsk.close();
    TDosSperm.close();
    TVascor.cancel();
    TVascor.close();
}

bool TDM::FillCombo(const QString& statement, QStringList& items, QString* error) {
    // Read by the worker, the window waiting but still painting; the list is touched only here.
    std::optional<QStringList> read;
    QString why;
    worker_.call([&](StoreLink& link) {
        read = withLink(link, [&]() -> std::optional<QStringList> {
            // A query of its own, freed on every way out, so the scratch query keeps its state.
            QSqlQuery query(link.database());
            query.setForwardOnly(true);
            const auto failed = [&]() -> std::optional<QStringList> {
                why = query.lastError().text();
                return std::nullopt;
            };
            if (!query.prepare(link.dialect().translate(statement, schema::storedNames())) || !query.exec()) return failed();
            // Read in full before the list is touched: a statement failing half-way leaves it whole.
            QStringList values;
            while (query.next()) {
                const int index = query.record().indexOf(QStringLiteral("Res"));
                if (index < 0) return failed();
                const QString text = textOf(query.value(index));
                if (!text.trimmed().isEmpty()) values << text;
            }
            if (query.lastError().isValid()) return failed();
            return values;
        });
    });
    if (!read) {
        if (error) *error = why;
        return false;
    }
    items = std::move(*read);
    return true;
}

bool TDM::FillStoredValues(const QString& column, QStringList& items, QString* error) {
    const int index = RecordTable::columnIndex(column);
    if (!schema::isListedColumn(index))
        return FillCombo(QStringLiteral("Select Distinct [%1] as Res From VaskorTemp ").arg(column), items, error);
    return storedValues_.values(index, items, error);
}

}  // namespace zartav
