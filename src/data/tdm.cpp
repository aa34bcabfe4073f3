#include "data/tdm.h"

#include "data/record_schema.h"
#include "data/store_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace zartav {

using schema::kRecordColumns;
using schema::isListedColumn;
using schema::textOf;


TDM::TDM()
    : TVascor(Maincon), DVascor(TVascor), TDosSperm(Maincon), DDosSperm(TDosSperm), QAsk(Maincon),
      storedValues_(TVascor) {
    // The names the program knows them by; the field default files are named after them.
    TVascor.setObjectName(QStringLiteral("TVascor"));
    DVascor.setObjectName(QStringLiteral("DVascor"));
    TDosSperm.setObjectName(QStringLiteral("TDosSperm"));
    DDosSperm.setObjectName(QStringLiteral("DDosSperm"));
}

TDM::~TDM() {
    QAsk.close();
    TDosSperm.close();
    TVascor.cancel();
    TVascor.close();
}

bool TDM::FillCombo(const QString& statement, QStringList& items, QString* error) {
    if (Maincon.isLost()) Maincon.reconnect();
    // A query of its own, freed on every way out, so the scratch query keeps its state.
    QSqlQuery query(Maincon.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        if (error) *error = query.lastError().text();
        return false;
    };
    if (!query.prepare(Maincon.dialect().translate(statement)) || !query.exec()) return failed();
    // Read in full before the list is touched: a statement failing half-way leaves it whole.
    QStringList read;
    while (query.next()) {
        const int index = query.record().indexOf(QStringLiteral("Res"));
        if (index < 0) return failed();
        const QString text = textOf(query.value(index));
        if (!text.trimmed().isEmpty()) read << text;
    }
    if (query.lastError().isValid()) return failed();
    items = std::move(read);
    return true;
}

bool TDM::FillStoredValues(const QString& column, QStringList& items, QString* error) {
    const int index = RecordTable::columnIndex(column);
    if (const QStringList* held = storedValues_.find(index)) {
        items = *held;
        return true;
    }
    if (!readStoredValues(column, items, error)) return false;
    if (index >= 0) storedValues_.hold(index, items);
    return true;
}

bool TDM::readStoredValues(const QString& column, QStringList& items, QString* error) {
    const QString distinct = QStringLiteral("Select Distinct [%1] as Res From VaskorTemp ").arg(column);
    const int index = RecordTable::columnIndex(column);
    if (!isListedColumn(index)) return FillCombo(distinct, items, error);
    if (Maincon.isLost()) Maincon.reconnect();
    // Each step asks the index for the first value past the last one: a lookup per distinct
    // value. Without the index every step would read the whole table, so then DISTINCT it is.
    QSqlDatabase db = Maincon.database();
    const QString stored = QString::fromUtf8(kRecordColumns[index]);
    if (hasLeadingIndex(db, stored)) {
        const QString c = QLatin1Char('[') + stored + QLatin1Char(']');
        const QString steps =
            QStringLiteral("WITH RECURSIVE v(Res) AS ("
                           "SELECT (SELECT %1 FROM [VaskorTemp] WHERE %1 IS NOT NULL ORDER BY %1 LIMIT 1) "
                           "UNION ALL SELECT (SELECT %1 FROM [VaskorTemp] WHERE %1 > v.Res ORDER BY %1 LIMIT 1) "
                           "FROM v WHERE v.Res IS NOT NULL) "
                           "SELECT Res FROM v WHERE Res IS NOT NULL")
                .arg(c);
        QStringList values;
        if (FillCombo(steps, values)) {
            items = values;
            return true;
        }
    }
    return FillCombo(distinct, items, error);
}

}  // namespace zartav
