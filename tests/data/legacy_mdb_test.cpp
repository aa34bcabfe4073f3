// Reading real Access files through the libmdb wrapper.
#include "fixtures.h"
#include "data/legacy/legacy_mdb.h"
#include "data/legacy/legacy_photo.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace zartav::legacy;

namespace {

QString legacyFile(const char* name) {
    return zartav::test::fixturePath(QStringLiteral("legacy/") + QString::fromUtf8(name));
}

// Reads every row of every table; answers the first error, or empty text when all read.
QString readEverything(MdbFile& file) {
    for (const QString& table : file.tableNames()) {
        QString error;
        auto rows = file.rows(table, &error);
        if (!rows) return error;
        Row row;
        RowSource::Fetch fetch;
        while ((fetch = rows->next(&row, &error)) == RowSource::Fetch::Row) {
        }
        if (fetch == RowSource::Fetch::Error) return error;
    }
    return {};
}

QByteArray legacyBytes(const char* name) {
    QFile source(legacyFile(name));
    EXPECT_TRUE(source.open(QIODevice::ReadOnly));
    return source.readAll();
}

// Writes `bytes` as `name` in `dir`, replacing an earlier copy; answers its path.
QString writeCopy(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(bytes);
    return path;
}

QString truncatedCopy(const QTemporaryDir& dir, const char* name, qint64 length) {
    return writeCopy(dir, QStringLiteral("cut-%1.mdb").arg(length), legacyBytes(name).left(length));
}

}  // namespace

TEST(LegacyMdb, Jet3ListsTablesWithUnicodeNames) {
    QString error;
    auto file = MdbFile::open(legacyFile("nwind.mdb"), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->jetVersion(), 3);
    const QStringList tables = file->tableNames();
    EXPECT_TRUE(tables.contains(QStringLiteral("Umsätze"))) << tables.join(',').toStdString();
    EXPECT_TRUE(tables.contains(QStringLiteral("Employees")));
    EXPECT_FALSE(tables.contains(QStringLiteral("MSysObjects")));  // system tables stay hidden
    // Latin letters fold, the rest must match.
    EXPECT_EQ(file->findTable(QStringLiteral("UMSäTZE")), QStringLiteral("Umsätze"));
    EXPECT_EQ(file->findTable(QStringLiteral("Umsatze")), QString());

    MdbTableInfo info;
    ASSERT_TRUE(file->describe(QStringLiteral("Employees"), &info, &error));
    EXPECT_EQ(info.rowCount, 9);
    ASSERT_EQ(info.columns.size(), 17);
    EXPECT_EQ(info.columns.at(0).name, QStringLiteral("EmployeeID"));
    EXPECT_EQ(info.columns.at(14).name, QStringLiteral("Photo"));
    EXPECT_EQ(info.columns.at(14).typeName, QStringLiteral("OLE"));
    EXPECT_TRUE(info.columns.at(14).binary);
}

TEST(LegacyMdb, Jet3TextIsConvertedFromItsCodePage) {
    QString error;
    auto file = MdbFile::open(legacyFile("nwind.mdb"), &error);
    ASSERT_TRUE(file);
    auto rows = file->rows(QStringLiteral("Customers"), &error);
    ASSERT_TRUE(rows);
    Row row;
    QStringList cities;
    while (rows->next(&row, &error) == RowSource::Fetch::Row) {
        for (const Field& f : row)
            if (f.name == QLatin1String("City")) cities << f.value.toString();
    }
    EXPECT_EQ(cities.size(), 91);
    EXPECT_TRUE(cities.contains(QStringLiteral("México D.F.")));
}

TEST(LegacyMdb, OleWrappedEmployeePhotosDecodeToTheirSizes) {
    QString error;
    auto file = MdbFile::open(legacyFile("nwind.mdb"), &error);
    ASSERT_TRUE(file);
    auto rows = file->rows(QStringLiteral("Employees"), &error);
    ASSERT_TRUE(rows) << error.toStdString();
    Row row;
    int seen = 0;
    while (rows->next(&row, &error) == RowSource::Fetch::Row) {
        QString id;
        QByteArray stored;
        for (const Field& f : row) {
            if (f.name == QLatin1String("EmployeeID")) id = f.value.toString();
            if (f.name == QLatin1String("Photo")) stored = f.value.toByteArray();
        }
        SCOPED_TRACE(id.toStdString());
        ASSERT_FALSE(stored.startsWith("BM"));  // wrapped, not plain
        const QByteArray bitmap = extractBitmap(stored);
        ASSERT_TRUE(bitmap.startsWith("BM"));
        EXPECT_LT(bitmap.size(), stored.size());
        const QImage image = QImage::fromData(bitmap, "BMP");
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), id == QLatin1String("3") ? QSize(192, 224) : QSize(192, 223));
        ++seen;
    }
    EXPECT_EQ(seen, 9);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
}

TEST(LegacyMdb, Jet4ReadsRowsWithUnicodeText) {
    QString error;
    auto file = MdbFile::open(legacyFile("DateTestDatabase.mdb"), &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_EQ(file->jetVersion(), 4);
    EXPECT_EQ(file->tableNames(), QStringList{QStringLiteral("DateTest")});
    auto rows = file->rows(QStringLiteral("DateTest"), &error);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->columns(),
              (QStringList{"IDCol", "DateTimeCol", "DateCol", "TimeCol", "LongTextCol", "ShortTextCol"}));
    QStringList longText, shortText;
    Row row;
    while (rows->next(&row, &error) == RowSource::Fetch::Row) {
        ASSERT_EQ(row.size(), 6);
        longText << row.at(4).value.toString();
        shortText << row.at(5).value.toString();
    }
    ASSERT_EQ(longText.size(), 6);
    EXPECT_EQ(longText.at(0), QStringLiteral("Hello"));
    EXPECT_EQ(shortText.at(1), QStringLiteral("Year 1999"));
    EXPECT_TRUE(longText.at(5).startsWith(QStringLiteral("New line")));
    EXPECT_TRUE(longText.at(5).endsWith(QStringLiteral("in field")));
    EXPECT_EQ(shortText.at(5), QStringLiteral("No new line"));
}

TEST(LegacyMdb, RefusesWhatIsNotAnAccessFile) {
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.mdb"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("Standard text, not a database\n").repeated(200));
    f.close();
    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    QFile(empty).open(QIODevice::WriteOnly);

    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {text, "is not a Microsoft Access database"},
        {empty, "is not a Microsoft Access database"},
        {dir.filePath(QStringLiteral("missing.mdb")), "no such file"},
        {dir.path(), "no such file"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(MdbFile::open(c.path, &error)) << c.path.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    }
}

// Damaged files must be refused, never half-read as if whole, and never crash: cut inside a
// page, at page boundaries before the catalogue, inside table data and inside photo pages.
TEST(LegacyMdb, TruncatedCopiesAreRefused) {
    QTemporaryDir dir;
    const struct {
        const char* file;
        qint64 length;
    } cases[] = {
        {"nwind.mdb", 100},           {"nwind.mdb", 8192},          {"nwind.mdb", 1500000},
        {"nwind.mdb", 445 * 2048},    {"nwind.mdb", 485 * 2048},    {"nwind.mdb", 805 * 2048},
        {"nwind.mdb", 3002368 - 1},   {"DateTestDatabase.mdb", 12288},
        {"DateTestDatabase.mdb", 40960}, {"DateTestDatabase.mdb", 200000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " cut at " + std::to_string(c.length));
        const QString path = truncatedCopy(dir, c.file, c.length);
        QString error;
        auto file = MdbFile::open(path, &error);
        if (!file) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        // Opened: then some table must fail to read, or the catalogue lost its tables.
        const QString readError = readEverything(*file);
        EXPECT_TRUE(!readError.isEmpty() || file->tableNames().isEmpty())
            << "read to the end without noticing";
    }
}

// Every table's stored properties are length-prefixed records; a damaged length once sent the
// reader into an endless loop that ate all memory. A damaged property block must cost only the
// properties: the tables and their rows still read.
TEST(LegacyMdb, DamagedPropertyBlocksAreLeftOut) {
    const QByteArray whole = legacyBytes("DateTestDatabase.mdb");
    const QByteArray magic("MR2\0", 4);
    ASSERT_TRUE(whole.contains(magic));

    auto setLe16 = [](QByteArray& b, qsizetype at, quint16 v) {
        b[at] = char(v & 0xff);
        b[at + 1] = char(v >> 8);
    };
    auto le16 = [](const QByteArray& b, qsizetype at) {
        return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
    };
    // Applied to every block in the file: `at` is where the block's magic starts.
    const struct {
        const char* damage;
        std::function<void(QByteArray&, qsizetype)> apply;
    } cases[] = {
        {"first record of length zero", [&](QByteArray& b, qsizetype at) { setLe16(b, at + 4, 0); }},
        {"first record longer than the block",
         [&](QByteArray& b, qsizetype at) { setLe16(b, at + 4, 0xfff0); }},
        {"a name longer than its record",
         [&](QByteArray& b, qsizetype at) { setLe16(b, at + 10, 0x7000); }},
        {"a value entry of length zero",
         [&](QByteArray& b, qsizetype at) {
             const qsizetype values = at + 4 + le16(b, at + 4);  // record after the names
             const qsizetype entry = values + 6 + 6 + le16(b, values + 6 + 4);
             setLe16(b, entry, 0);
         }},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        QByteArray bytes = whole;
        for (qsizetype at = bytes.indexOf(magic); at >= 0; at = bytes.indexOf(magic, at + 4))
            c.apply(bytes, at);
        const QString path = writeCopy(dir, QStringLiteral("props.mdb"), bytes);
        QString error;
        auto file = MdbFile::open(path, &error);
        ASSERT_TRUE(file) << error.toStdString();
        EXPECT_EQ(file->tableNames(), QStringList{QStringLiteral("DateTest")});
        EXPECT_EQ(readEverything(*file), QString());
    }
}

// A table definition points at the map of the pages its rows are on. When that pointer leads
// nowhere, the file must be refused as damaged, not walked through a missing map.
TEST(LegacyMdb, ATableWhoseMapIsMissingIsRefused) {
    const QByteArray whole = legacyBytes("DateTestDatabase.mdb");
    constexpr qsizetype kCatalogueMapPointer = 2 * 4096 + 55;  // Jet 4: page 2, offset 55
    // Row and page of the map: rows past the end of real pages, and a page past the file.
    const quint32 pointers[] = {0x000001ff, 0x000006ff, 0x7fffff01, 0};
    QTemporaryDir dir;
    for (quint32 pointer : pointers) {
        SCOPED_TRACE(pointer);
        QByteArray bytes = whole;
        for (int i = 0; i < 4; ++i) bytes[kCatalogueMapPointer + i] = char(pointer >> (8 * i));
        const QString path = writeCopy(dir, QStringLiteral("map.mdb"), bytes);
        QString error;
        EXPECT_FALSE(MdbFile::open(path, &error));
        EXPECT_TRUE(error.contains(QLatin1String("damaged"))) << error.toStdString();
    }
}
