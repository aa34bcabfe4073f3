#pragma once

// The store as the windows see it through TDM, on either engine: the fixture the store's test
// files share (one instantiation, in tdm_store_test.cpp, runs them all on both engines).

#include "data/tdm.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

#include <utility>

namespace zartav::test {

inline const QString kHerd = QStringLiteral("كد گله");
inline const QString kFarm = QStringLiteral("نام گاوداري");
inline const QString kPrintDate = QStringLiteral("تاريخ چاپ");
inline const QString kRegistration = QStringLiteral("شماره ثبت");

class StoreTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        ASSERT_TRUE(dm.TVascor.open());
        ASSERT_TRUE(dm.TDosSperm.open());
    }

    bool server() const { return GetParam() == test::Engine::PostgreSQL; }

    qint64 addRecord(const QList<std::pair<QString, QString>>& values, TDM* desk = nullptr) {
        RecordTable& t = (desk ? *desk : dm).TVascor;
        EXPECT_TRUE(t.insert());
        for (const auto& [column, text] : values) EXPECT_TRUE(t.setValue(column, text));
        EXPECT_TRUE(t.post()) << t.errorText().toStdString();
        return t.id();
    }

    // Many rows at once, in one statement, straight into the store: "ID" and registration number
    // from 1 and 0 up, herd codes the registration number's remainder by `herds`.
    void addRows(int count, int herds) {
        ASSERT_TRUE(store->exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                               "INSERT INTO \"VaskorTemp\" (\"ID\", \"شماره ثبت\", \"كد گله\") "
                                               "SELECT i + 1, CAST(i AS TEXT), CAST(i % %2 AS TEXT) FROM n")
                                    .arg(count - 1)
                                    .arg(herds)));
        if (!server()) return;
        ASSERT_TRUE(store->exec("SELECT setval(pg_get_serial_sequence('\"VaskorTemp\"', 'ID'), "
                                "(SELECT max(\"ID\") FROM \"VaskorTemp\"))"));
    }

    QString stored(qint64 id, const QString& column) const {
        return store->scalar(QStringLiteral("SELECT \"%1\" FROM \"VaskorTemp\" WHERE \"ID\" = %2").arg(column).arg(id)).toString();
    }

    QStringList tableColumns(const QString& table) const {
        QSqlQuery q(store->side());
        q.exec(server() ? QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = '\"%1\"'::regclass "
                                         "AND attnum > 0 AND NOT attisdropped ORDER BY attnum").arg(table)
                        : QStringLiteral("PRAGMA table_info([%1])").arg(table));
        QStringList names;
        while (q.next()) names << q.value(server() ? 0 : 1).toString();
        return names;
    }

    TDM dm;
};

}  // namespace zartav::test

using zartav::test::kFarm;
using zartav::test::kHerd;
using zartav::test::kPrintDate;
using zartav::test::kRegistration;
using zartav::test::StoreTest;
