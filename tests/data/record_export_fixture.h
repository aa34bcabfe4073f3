#pragma once

// A store of four records, the list showing two of them, for the export's tests: those of the
// module and those of its command.

#include "data/tdm.h"

#include "sql_test_database.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace zartav::test {

// The record list's titles, in its order, as the program's users know them.
inline const QString kTitles = QStringLiteral("شماره ثبت,كد استان,نام استان,كد گله,نام گاوداري,نام شهرستان,بدن,گوش ف,گوش پ,تاريخ تولد,نام گوساله,شماره گل,HFگوساله,نحوه تولد,جنس گوساله,وزن,نام,ثبت داخلي,ثبت خارجي,HFپدر,بدن مادر تني,گوش ف مادر تني,گوش پ مادر تني,ثبت مادر تني,نام گل مادر تني,شماره گل مادر تني,دوره زايش,HFمادر تني,بدن مادر ناتني,گوش ف مادر ناتني,گوش پ مادر ناتني,ثبت مادر ناتني,نام گل مادر ناتني,شماره گل مادر ناتني,اسپرم تلقيح 1,نوع تلقيح  1,تاريخ  تلقيح 1,اسپرم تلقيح 2,نوع تلقيح  2,تاريخ  تلقيح 2,اسپرم تلقيح 3,نوع تلقيح  3,تاريخ  تلقيح 3,تاريخ منجر به باروري,نوع منجر به باروري,تعداد تلقيح,چگونگي زايمان,كد نحوه زايش,رنگ لكه ها,تاريخ چاپ,نوع باروري");

class ExportTest : public test::StoreEngineTest {
protected:
    void SetUp() override {
        StoreEngineTest::SetUp();
        if (!store) return;
        ASSERT_TRUE(dm.Maincon.open(store->address())) << dm.Maincon.technicalError().toStdString();
        const QStringList rows = {
            "1, '10', '98001', 'مزرعه, شمالي', 'نازي', '1403/01/15'",
            "2, '10', '98002', 'گفت \"بله\"', 'سطر اول' || CHAR(10) || 'سطر دوم', NULL",
            "3, '20', '98003', 'ديگر', NULL, NULL",
            "4, '10', '12345', NULL, NULL, NULL",
        };
        QStringList values = rows;
        if (GetParam() == test::Engine::PostgreSQL) values.replaceInStrings(QStringLiteral("CHAR(10)"), QStringLiteral("chr(10)"));
        ASSERT_TRUE(store->insertRecords({"ID", "كد گله", "شماره ثبت", "نام گاوداري", "نام گوساله", "تاريخ تولد"}, values));
        // What the list shows: herd 10, numbers beginning with 98.
        list.setFilter(QStringLiteral("كد گله"), QStringLiteral("10"));
        list.setFiltered(true);
        list.setFind(QStringLiteral("۹۸"));
    }

    // A row of the sheet: the values under the titles named, empty elsewhere.
    static QStringList row(const QList<std::pair<QString, QString>>& values) {
        const QStringList titles = kTitles.split(QLatin1Char(','));
        QStringList cells(titles.size());
        for (const auto& [title, value] : values) cells[titles.indexOf(title)] = value;
        return cells;
    }
    static QList<QStringList> expectedRows() {
        return {kTitles.split(QLatin1Char(',')),
                row({{"كد گله", "10"}, {"شماره ثبت", "98001"}, {"نام گاوداري", "مزرعه, شمالي"}, {"نام گوساله", "نازي"},
                     {"تاريخ تولد", "1403/01/15"}}),
                row({{"كد گله", "10"}, {"شماره ثبت", "98002"}, {"نام گاوداري", "گفت \"بله\""}, {"نام گوساله", "سطر اول\nسطر دوم"}})};
    }
    QString file(const QString& name) const { return QDir(store->folder()).filePath(name); }
    QStringList filesInFolder() const {
        return QDir(store->folder()).entryList(QStringList{QStringLiteral("*.csv"), QStringLiteral("*.xlsx"), QStringLiteral(".*-*")},
                                               QDir::Files | QDir::Hidden);
    }

    TDM dm;
    RecordTable list{dm.Maincon};
};

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace zartav::test

using zartav::test::ExportTest;
using zartav::test::kTitles;
using zartav::test::readAll;
