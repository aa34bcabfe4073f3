#pragma once

// A store opened for the records import's tests, those of the module and those of its command,
// and the list's rows as the export writes them.

#include "data/transfer/record_import.h"
#include "data/schema/record_schema.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "dates/date_text.h"
#include "sql_test_database.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSqlQuery>

#include <gtest/gtest.h>

namespace zartav::test {

inline const QString kHeader = QStringLiteral("شماره ثبت,تاريخ تولد,نام گوساله");

// A field as a spreadsheet writes it: quoted when it holds a delimiter, a quote or a line break.
inline QString csvField(const QString& value) {
    if (!value.contains(QRegularExpression(QStringLiteral("[,\"\r\n]")))) return value;
    return QLatin1Char('"') + QString(value).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// The list's rows, as the list shows them.
inline QList<QStringList> listRows(const QString& address) {
    TDM dm;
    EXPECT_TRUE(dm.Maincon.open(address));
    EXPECT_TRUE(dm.TVascor.open());
    QList<QStringList> rows;
    for (int r = 0; r < dm.TVascor.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < schema::kListedColumnCount; ++c) row << dm.TVascor.listValue(r, c);
        rows << row;
    }
    return rows;
}

// The list as the export writes it: UTF-8 with a byte-order mark, the list's titles, CR LF.
inline QByteArray exportedCsv(const QList<QStringList>& rows) {
    QStringList lines;
    QStringList titles;
    for (int c = 0; c < schema::kListedColumnCount; ++c) titles << csvField(QString::fromUtf8(schema::kRecordColumns[c]));
    lines << titles.join(QLatin1Char(','));
    for (const QStringList& row : rows) {
        QStringList fields;
        for (const QString& v : row) fields << csvField(v);
        lines << fields.join(QLatin1Char(','));
    }
    return "\xEF\xBB\xBF" + (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// Today as the import stamps an empty print date.
inline QString importDay() { return dates::formatSolar(calendar::fromGregorian(QDate::currentDate())); }

class RecordImportTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(connection.open(store->address())) << connection.technicalError().toStdString();
    }

    RecordImportReport load(QByteArray bytes) {
        QBuffer file(&bytes);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return importRecordsCsv(connection, file);
    }
    qint64 count() const { return store->scalar(QStringLiteral("SELECT COUNT(*) FROM \"VaskorTemp\"")).toLongLong(); }
    QStringList column(const QString& name) const {
        QStringList values;
        QSqlQuery q(store->side());
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT \"%1\" FROM \"VaskorTemp\" ORDER BY \"ID\"").arg(name)));
        while (q.next()) values << (q.value(0).isNull() ? QStringLiteral("<null>") : q.value(0).toString());
        return values;
    }

    Connection connection;
};

}  // namespace zartav::test

using zartav::test::exportedCsv;
using zartav::test::importDay;
using zartav::test::kHeader;
using zartav::test::listRows;
using zartav::test::RecordImportTest;
