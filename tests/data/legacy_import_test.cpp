// The mapping of legacy rows into our tables, through the row-source seam, and the refusal of
// files that cannot be imported.
#include "fixtures.h"
#include "data/legacy/legacy_import.h"
#include "data/legacy/legacy_mdb.h"
#include "data/schema/record_schema.h"
#include "data/schema/store_upgrade.h"
#include "data/tdm.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::legacy;

namespace {

QString col(const char* name) { return QString::fromUtf8(name); }

QByteArray bitmap(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

// An OLE object as Access stores a "Bitmap Image": a header naming the server, then the BMP
// stream, then a trailer. The header holds a stray "BM" that is not a bitmap.
QByteArray oleWrapped(const QByteArray& bmp) {
    QByteArray header("\x15\x1c\x2f\x00\x02\x00\x00\x00", 8);
    header += "BMP Paintbrush Picture";
    header += QByteArray("\x00\x01\x05\x00\x00\x00\x02\x00\x00\x00\x07\x00\x00\x00PBrush\x00", 21);
    return header + bmp + QByteArray("\x01\x05\x00\x00\x00\x00\x00\x00trailer", 15);
}

class LegacyImport : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        name_ = QUuid::createUuid().toString();
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(dir_.filePath(QStringLiteral("Data.db")));
        ASSERT_TRUE(db_.open());
        QString error;
        ASSERT_TRUE(createRecordSchema(db_, &error)) << error.toStdString();
    }
    void TearDown() override {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }

    // Every row of a table as text (photos as hex), ordered by rowid: the target's whole state.
    QStringList dump(const char* table) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(col(table))))
            << q.lastError().text().toStdString();
        QStringList rows;
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                values << (v.isNull() ? QStringLiteral("<null>")
                           : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                 : v.toString());
            }
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }

    QVariant value(qint64 id, const QString& column) {
        QSqlQuery q(db_);
        q.prepare(QStringLiteral("SELECT \"%1\" FROM \"VaskorTemp\" WHERE \"ID\" = ?").arg(column));
        q.addBindValue(id);
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        return q.next() ? q.value(0) : QVariant();
    }

    QList<qint64> ids() {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT \"ID\" FROM \"VaskorTemp\" ORDER BY \"ID\"")));
        QList<qint64> out;
        while (q.next()) out << q.value(0).toLongLong();
        return out;
    }

    QTemporaryDir dir_;
    QString name_;
    QSqlDatabase db_;
};

Row recordRow(const QVariant& id, const QString& registration) {
    return {{QStringLiteral("ID"), id}, {col("شماره ثبت"), registration}};
}

bool hasSkip(const ImportReport& r, Skip::Kind kind, const QString& column) {
    for (const Skip& s : r.skipped)
        if (s.kind == kind && s.column == column) return true;
    return false;
}

}  // namespace

TEST_F(LegacyImport, MapsFarsiNamesExactlyAndLatinLettersWithoutCase) {
    const QString twoBlanks = col("نوع تلقيح  1");
    const QString oneBlank = col("تاريخ تلقيح 1");  // ours has two blanks: a different column
    MemoryRowSource records(
        {QStringLiteral("id"), col("شماره ثبت"), twoBlanks, oneBlank, col("hfگوساله"), QStringLiteral("Extra")},
        {{{QStringLiteral("id"), QStringLiteral("7")},
          {col("شماره ثبت"), col("۱۲۳-الف")},
          {twoBlanks, col("مصنوعي")},
          {oneBlank, QStringLiteral("1385/01/01")},
          {col("hfگوساله"), QStringLiteral("75")},
          {QStringLiteral("Extra"), QStringLiteral("x")}}});
    MemoryRowSource catalogue({QStringLiteral("NAME_SP"), QStringLiteral("regno_spf"), QStringLiteral("bp")},
                              {{{QStringLiteral("NAME_SP"), QStringLiteral("Goldwyn")},
                                {QStringLiteral("regno_spf"), QStringLiteral("HOCAN 7")},
                                {QStringLiteral("bp"), QStringLiteral("12")}}});

    const ImportReport r = importRows(db_, &records, &catalogue);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.records, 1);
    EXPECT_EQ(r.catalogueRows, 1);
    EXPECT_EQ(ids(), QList<qint64>{7});
    EXPECT_EQ(value(7, col("شماره ثبت")).toString(), col("123-الف"));  // a number's digits as 0-9
    EXPECT_EQ(value(7, twoBlanks).toString(), col("مصنوعي"));
    EXPECT_EQ(value(7, col("HFگوساله")).toString(), QStringLiteral("75"));
    EXPECT_TRUE(value(7, col("تاريخ  تلقيح 1")).isNull());
    EXPECT_TRUE(hasSkip(r, Skip::Kind::UnknownColumn, oneBlank));
    EXPECT_TRUE(hasSkip(r, Skip::Kind::UnknownColumn, QStringLiteral("Extra")));
    EXPECT_TRUE(hasSkip(r, Skip::Kind::MissingColumn, col("تاريخ  تلقيح 1")));
    EXPECT_TRUE(hasSkip(r, Skip::Kind::MissingColumn, QStringLiteral("Code_Sp")));
    EXPECT_FALSE(hasSkip(r, Skip::Kind::MissingColumn, QStringLiteral("RegNo_SPF")));

    QSqlQuery q(db_);
    ASSERT_TRUE(q.exec(QStringLiteral("SELECT \"Name_Sp\", \"RegNo_SPF\", \"BP\", \"Code_Sp\" FROM \"DosSperm\"")));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("Goldwyn"));
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("HOCAN 7"));
    EXPECT_EQ(q.value(2).toString(), QStringLiteral("12"));
    EXPECT_TRUE(q.value(3).isNull());
}

TEST_F(LegacyImport, CodesTakeLatinDigitsAndADirectionControlRefusesTheFile) {
    const QStringList columns{QStringLiteral("ID"), col("كد گله"), col("گوش ف مادر ناتني"), col("دوره زايش")};
    MemoryRowSource records(columns, {{{QStringLiteral("ID"), QStringLiteral("1")},
                                       {col("كد گله"), col("۱۲۰۷")},
                                       {col("گوش ف مادر ناتني"), col("٩٩")},
                                       {col("دوره زايش"), col("۲")}}});
    ASSERT_TRUE(importRows(db_, &records, nullptr).ok);
    EXPECT_EQ(value(1, col("كد گله")).toString(), QStringLiteral("1207"));
    EXPECT_EQ(value(1, col("گوش ف مادر ناتني")).toString(), QStringLiteral("99"));
    EXPECT_EQ(value(1, col("دوره زايش")).toString(), col("۲"));  // a count, not a code

    const QString reason = col("نويسه نامرئي تغيير جهت متن دارد كه ترتيب نوشته را در چاپ بر هم مي زند؛ "
                               "آن را پاك كنيد و دوباره بنويسيد");
    const QStringList before = dump("VaskorTemp");
    MemoryRowSource spoofed(columns, {{{QStringLiteral("ID"), QStringLiteral("5")}},
                                      {{QStringLiteral("ID"), QStringLiteral("6")}, {col("كد گله"), col("12\u202E07")}}});
    ImportReport r = importRows(db_, &spoofed, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, col("ركورد 2 فايل، ستون «كد گله»: ") + reason);
    MemoryRowSource catalogue({QStringLiteral("Name_Sp")}, {{{QStringLiteral("Name_Sp"), col("\u2067Goldwyn")}}});
    r = importRows(db_, nullptr, &catalogue);
    EXPECT_EQ(r.error, col("رديف 1 كاتالوگ فايل، ستون «Name_Sp»: ") + reason);
    EXPECT_EQ(dump("VaskorTemp"), before);
    EXPECT_TRUE(dump("DosSperm").isEmpty());
}

TEST_F(LegacyImport, TakesPhotosPlainOrWrappedAndSkipsWhatIsNoBitmap) {
    const QByteArray plain = bitmap(30, 20, Qt::red);
    const QByteArray wrapped = bitmap(17, 9, Qt::blue);
    QByteArray cut = bitmap(40, 40, Qt::green);
    cut.chop(100);  // its header promises more than there is
    const QString p1 = col("عكس 1"), p2 = col("عكس 2"), p3 = col("عكس 3");
    MemoryRowSource records({QStringLiteral("ID"), p1, p2, p3},
                            {{{QStringLiteral("ID"), 1}, {p1, plain}, {p2, oleWrapped(wrapped)}, {p3, QVariant()}},
                             {{QStringLiteral("ID"), 2}, {p1, oleWrapped(cut)}, {p2, QByteArray("GIF89a....")},
                              {p3, QStringLiteral("not bytes")}}});
    const ImportReport r = importRows(db_, &records, nullptr);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.records, 2);
    EXPECT_EQ(r.photos, 2);
    EXPECT_EQ(value(1, p1).toByteArray(), plain);
    EXPECT_EQ(value(1, p2).toByteArray(), wrapped);  // exactly the stream, no OLE bytes
    EXPECT_EQ(QImage::fromData(value(1, p2).toByteArray()).size(), QSize(17, 9));
    EXPECT_TRUE(value(1, p3).isNull());
    for (const QString& p : {p1, p2, p3}) {
        EXPECT_TRUE(value(2, p).isNull());
        EXPECT_TRUE(hasSkip(r, Skip::Kind::NotABitmap, p)) << p.toStdString();
    }
    EXPECT_EQ(r.skipped.last().recordId, 2);
}

TEST_F(LegacyImport, KeepsIdsInAnEmptyTargetAndRenumbersOnlyWhatItMust) {
    MemoryRowSource records({QStringLiteral("ID"), col("شماره ثبت")},
                            {recordRow(40, "a"), recordRow(QStringLiteral("41"), "b"),
                             recordRow(40, "duplicate"), recordRow(QVariant(), "none"),
                             recordRow(QStringLiteral("-3"), "negative"), recordRow(5, "c")});
    const ImportReport r = importRows(db_, &records, nullptr);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_FALSE(r.idsRenumbered);
    EXPECT_EQ(r.recordsGivenNewIds, 3);
    const QList<qint64> got = ids();
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(value(40, col("شماره ثبت")).toString(), QStringLiteral("a"));
    EXPECT_EQ(value(41, col("شماره ثبت")).toString(), QStringLiteral("b"));
    EXPECT_EQ(value(5, col("شماره ثبت")).toString(), QStringLiteral("c"));
    EXPECT_EQ(QSet<qint64>(got.begin(), got.end()).size(), 6);  // all distinct
}

TEST_F(LegacyImport, RenumbersEveryRecordWhenTheTargetHoldsRecords) {
    MemoryRowSource first({QStringLiteral("ID"), col("شماره ثبت")}, {recordRow(1, "old")});
    ASSERT_TRUE(importRows(db_, &first, nullptr).ok);
    MemoryRowSource second({QStringLiteral("ID"), col("شماره ثبت")},
                           {recordRow(1, "new one"), recordRow(100, "new hundred")});
    const ImportReport r = importRows(db_, &second, nullptr);
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_TRUE(r.idsRenumbered);
    EXPECT_EQ(r.records, 2);
    EXPECT_EQ(value(1, col("شماره ثبت")).toString(), QStringLiteral("old"));
    EXPECT_TRUE(value(100, col("شماره ثبت")).isNull());
    EXPECT_EQ(ids().size(), 3);
    EXPECT_TRUE(r.lines().join('\n').contains(QLatin1String("got a new ID")));
}

// Whatever stops an import part-way, the target is exactly as it was before.
TEST_F(LegacyImport, AFailureMidwayLeavesTheTargetAsItWas) {
    MemoryRowSource seed({QStringLiteral("ID"), col("شماره ثبت")}, {recordRow(9, "kept")});
    MemoryRowSource seedCatalogue({QStringLiteral("Name_Sp")}, {{{QStringLiteral("Name_Sp"), QStringLiteral("Seed")}}});
    ASSERT_TRUE(importRows(db_, &seed, &seedCatalogue).ok);
    const QStringList records = dump("VaskorTemp"), catalogue = dump("DosSperm");

    QSqlQuery trigger(db_);
    ASSERT_TRUE(trigger.exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE INSERT ON \"DosSperm\" WHEN NEW.\"Name_Sp\" = 'boom' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END")));

    const auto rows = [] {
        return QList<Row>{recordRow(1, "x"), recordRow(2, "y"), recordRow(3, "z")};
    };
    struct Case {
        const char* what;
        int sourceFailsAt;      // -1: the source reads to its end
        bool catalogueFails;    // a catalogue row the database refuses, after all records
        bool cancelAfterTwo;
        const char* error;
    } cases[] = {
        {"source fails at its second row", 1, false, false, "page 17 unreadable"},
        {"database refuses a row", -1, true, false, "cannot be saved"},
        {"user cancels", -1, false, true, "cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRowSource source({QStringLiteral("ID"), col("شماره ثبت")}, rows());
        if (c.sourceFailsAt >= 0) source.failAt(c.sourceFailsAt, QStringLiteral("page 17 unreadable"));
        MemoryRowSource cat({QStringLiteral("Name_Sp")},
                            {{{QStringLiteral("Name_Sp"), QStringLiteral("fine")}},
                             {{QStringLiteral("Name_Sp"), QString::fromLatin1(c.catalogueFails ? "boom" : "ok")}}});
        const ImportReport r = importRows(db_, &source, &cat, [&](qint64 done, qint64 total) {
            EXPECT_EQ(total, 5);
            return !(c.cancelAfterTwo && done == 2);
        });
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.error))) << r.error.toStdString();
        EXPECT_EQ(r.records, 0);
        // The user reads Farsi; the engine's words follow on a line of their own, never for a cancel.
        const QStringList told = farsiRefusal(QStringLiteral("/old/Data.mdb"), r).split('\n');
        ASSERT_EQ(told.size(), c.cancelAfterTwo ? 2 : 3);
        EXPECT_EQ(told[0], c.cancelAfterTwo ? QStringLiteral("انتقال اطلاعات فايل قديمي \u2068/old/Data.mdb\u2069 لغو شد.")
                                            : QStringLiteral("اطلاعات فايل قديمي \u2068/old/Data.mdb\u2069 منتقل نشد."));
        if (!c.cancelAfterTwo) {
            EXPECT_EQ(told[2], QChar(0x2068) + r.error + QChar(0x2069));
        }
        EXPECT_EQ(dump("VaskorTemp"), records);
        EXPECT_EQ(dump("DosSperm"), catalogue);
    }
}

TEST_F(LegacyImport, RefusesFilesWithoutTheTablesOrDamagedWithoutTouchingTheTarget) {
    MemoryRowSource seed({QStringLiteral("ID"), col("شماره ثبت")}, {recordRow(9, "kept")});
    ASSERT_TRUE(importRows(db_, &seed, nullptr).ok);
    const QStringList before = dump("VaskorTemp");

    const QByteArray bytes = test::fixtureBytes(QStringLiteral("legacy/nwind.mdb"));
    const QString halfFile = dir_.filePath(QStringLiteral("half.mdb"));
    QFile half(halfFile);
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(bytes.left(bytes.size() / 2 + 7));
    half.close();

    const struct {
        QString path;
        const char* error;
    } cases[] = {
        {test::fixturePath(QStringLiteral("legacy/nwind.mdb")), "holds neither a VaskorTemp nor a DosSperm table"},
        {test::fixturePath(QStringLiteral("legacy/DateTestDatabase.mdb")), "holds neither"},
        {halfFile, "damaged or truncated"},
    };
    for (const auto& c : cases) {
        const ImportReport r = importMdbFile(c.path, db_);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.error.contains(QLatin1String(c.error))) << r.error.toStdString();
        EXPECT_EQ(dump("VaskorTemp"), before);
    }
}

// A real damaged file read part-way through libmdb, fed as the record source: the rows read
// before the damage must not stay behind.
TEST_F(LegacyImport, RowsFromADamagedFileAreRolledBack) {
    QByteArray bytes = test::fixtureBytes(QStringLiteral("legacy/nwind.mdb"));
    // Pages 485-519 zeroed: the list of tables stays whole, Orders loses some of its rows.
    bytes.replace(485 * 2048, 35 * 2048, QByteArray(35 * 2048, '\0'));
    const QString damagedFile = dir_.filePath(QStringLiteral("damaged.mdb"));
    QFile damaged(damagedFile);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(bytes);
    damaged.close();

    QString error;
    auto file = MdbFile::open(damagedFile, &error);
    ASSERT_TRUE(file) << error.toStdString();
    auto orders = file->rows(QStringLiteral("Orders"), &error);
    ASSERT_TRUE(orders) << error.toStdString();
    const ImportReport r = importRows(db_, orders.get(), nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QLatin1String("damaged"))) << r.error.toStdString();
    EXPECT_TRUE(dump("VaskorTemp").isEmpty());
}

TEST(LegacyImportSummary, TellsTheUserWhatCameAndWhatDidNot) {
    ImportReport r;
    r.ok = true;
    r.records = 120;
    r.photos = 300;
    r.catalogueRows = 45;
    r.recordsGivenNewIds = 2;
    r.skipped = {{Skip::Kind::MissingTable, QStringLiteral("DosSperm"), {}},
                 {Skip::Kind::NotABitmap, QStringLiteral("VaskorTemp"), col("عكس 1"), 4},
                 {Skip::Kind::NotABitmap, QStringLiteral("VaskorTemp"), col("عكس 2"), 4},
                 {Skip::Kind::UnknownColumn, QStringLiteral("VaskorTemp"), QStringLiteral("Old")},
                 {Skip::Kind::MissingColumn, QStringLiteral("VaskorTemp"), col("وزن")}};
    EXPECT_EQ(farsiSummary(r),
              col("اطلاعات فايل قديمي منتقل شد: 120 ركورد، 300 عكس و 45 رديف كاتالوگ اسپرم.\n"
                  "2 ركورد شماره (ID) نداشت يا شماره آن تكراري بود و شماره تازه گرفت.\n"
                  "2 عكس، تصوير بيت مپ سالم نداشت و خالي ماند.\n"
                  "جدول DosSperm در فايل نبود.\n"
                  "ستون «Old» از جدول VaskorTemp منتقل نشد.\n"
                  "ستون «وزن» از جدول VaskorTemp در فايل نبود و خالي ماند."));
    // Long lists of details are cut, saying how many more there were.
    const QStringList cut = farsiSummary(r, 1).split('\n');
    EXPECT_EQ(cut.last(), col("و 2 مورد ديگر."));

    const QStringList english = r.lines();
    EXPECT_EQ(english.first(), QStringLiteral("imported 120 records, 300 photos, 45 catalogue rows"));
    EXPECT_TRUE(english.contains(QStringLiteral("record ID 4: photo %1 holds no complete bitmap: left empty")
                                     .arg(col("عكس 2"))));
}
