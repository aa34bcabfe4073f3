#include "data/toolkit/settings_registry.h"
#include "data/toolkit/settings_table.h"
#include "data/toolkit/sql_error.h"
#include "sql_test_database.h"
#include "services/ttools.h"

#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zartav::test {
namespace {

class RegistryTest : public testing::Test {
protected:
    QTemporaryDir folder;
    settings::Registry registry{folder.filePath(QStringLiteral("registry.ini"))};
};

TEST_F(RegistryTest, ReadOfAMissingValueGivesTheDefaultAndLeavesTheKey) {
    const QString key = QStringLiteral("Software\\Farm\\Window");
    EXPECT_FALSE(registry.keyExists(key));
    EXPECT_EQ(registry.read(key, QStringLiteral("Left"), QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_TRUE(registry.keyExists(key));
    EXPECT_TRUE(registry.keyExists(QStringLiteral("Software\\Farm")));
    EXPECT_EQ(registry.read(key, QStringLiteral("Left"), QStringLiteral("7")), QStringLiteral("7"));
}

TEST_F(RegistryTest, WrittenValuesReadBack) {
    const QString key = QStringLiteral("Software\\Farm");
    for (const QString& value : {QStringLiteral("گله ی یک"), QStringLiteral("a, b = c"), QStringLiteral(""),
                                 QStringLiteral("  spaced  "), QStringLiteral("true")}) {
        registry.write(key, QStringLiteral("Herd"), value);
        EXPECT_EQ(registry.read(key, QStringLiteral("Herd"), QStringLiteral("none")), value);
        // another instance, as after a restart
        EXPECT_EQ(settings::Registry(folder.filePath(QStringLiteral("registry.ini")))
                      .read(QStringLiteral("Software/Farm/"), QStringLiteral("Herd"), QStringLiteral("none")),
                  value);
    }
}

TEST_F(RegistryTest, ClearRemovesTwoLevelsOfSubkeys) {
    registry.write(QStringLiteral("Software\\Farm"), QStringLiteral("Top"), QStringLiteral("1"));
    registry.write(QStringLiteral("Software\\Farm\\A"), QStringLiteral("x"), QStringLiteral("2"));
    registry.write(QStringLiteral("Software\\Farm\\A\\Deep"), QStringLiteral("y"), QStringLiteral("3"));
    registry.read(QStringLiteral("Software\\Farm\\B\\Empty"), QStringLiteral("z"), QString());
    registry.write(QStringLiteral("Software\\Other"), QStringLiteral("keep"), QStringLiteral("4"));

    registry.clear(QStringLiteral("Software\\Farm"));
    for (const char* key : {"Software\\Farm", "Software\\Farm\\A", "Software\\Farm\\A\\Deep", "Software\\Farm\\B"})
        EXPECT_FALSE(registry.keyExists(QLatin1String(key))) << key;
    EXPECT_EQ(registry.read(QStringLiteral("Software\\Farm\\A\\Deep"), QStringLiteral("y"), QStringLiteral("gone")),
              QStringLiteral("gone"));
    EXPECT_EQ(registry.read(QStringLiteral("Software\\Other"), QStringLiteral("keep"), QString()), QStringLiteral("4"));

    // The whole store is never cleared through an empty path.
    registry.clear(QStringLiteral("\\"));
    EXPECT_EQ(registry.read(QStringLiteral("Software\\Other"), QStringLiteral("keep"), QString()), QStringLiteral("4"));
}

// Clearing a key takes the key and what is under it, never a value of the same name beside it;
// value names that would reach another value are refused.
TEST_F(RegistryTest, ClearTakesOnlyTheKeyAndOddValueNamesAreRefused) {
    registry.write(QStringLiteral("Software"), QStringLiteral("Farm"), QStringLiteral("beside"));
    registry.write(QStringLiteral("Software\\Farm"), QStringLiteral("x"), QStringLiteral("under"));
    registry.clear(QStringLiteral("Software\\Farm"));
    EXPECT_FALSE(registry.keyExists(QStringLiteral("Software\\Farm")));
    EXPECT_EQ(registry.read(QStringLiteral("Software"), QStringLiteral("Farm"), QString()), QStringLiteral("beside"));

    registry.write(QStringLiteral("Software\\Farm\\A"), QStringLiteral("y"), QStringLiteral("kept"));
    for (const char* name : {"", "Default", "DEFAULT", "A/y", "A\\y"}) {
        SCOPED_TRACE(name);
        const QString valueName = QString::fromLatin1(name);
        EXPECT_THROW(registry.write(QStringLiteral("Software\\Farm"), valueName, QStringLiteral("over")),
                     settings::RegistryError);
        EXPECT_THROW(registry.read(QStringLiteral("Software\\Farm"), valueName, QString()), settings::RegistryError);
    }
    EXPECT_EQ(registry.read(QStringLiteral("Software\\Farm\\A"), QStringLiteral("y"), QString()), QStringLiteral("kept"));
}

TEST_F(RegistryTest, AStoreThatCannotBeWrittenIsAnError) {
    const QString blocked = folder.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkdir(blocked));  // a folder where the file should be
    const settings::Registry unwritable(blocked);
    EXPECT_THROW(unwritable.write(QStringLiteral("Software\\Farm"), QStringLiteral("a"), QStringLiteral("b")),
                 settings::RegistryError);
    EXPECT_EQ(unwritable.read(QStringLiteral("Software\\Farm"), QStringLiteral("a"), QStringLiteral("d")),
              QStringLiteral("d"));
}

class SettingsTableTest : public EngineTest {
protected:
    QString description(const QString& group, const QString& name) const {
        QSqlQuery query(db->connection());
        query.prepare(QStringLiteral("SELECT Discription FROM Dbo.Info WHERE GroupSec = ? AND KeyName = ?"));
        query.addBindValue(group);
        query.addBindValue(name);
        return query.exec() && query.next() ? query.value(0).toString() : QStringLiteral("<no row>");
    }
    int rows() const { return db->scalar(QStringLiteral("SELECT COUNT(*) FROM Dbo.Info")).toInt(); }
};

TEST_P(SettingsTableTest, BlankGroupIsDefault) {
    QSqlDatabase connection = db->connection();
    settings::writeInformation(connection, QStringLiteral("   "), QStringLiteral("Printer"), QStringLiteral("HP"),
                               QStringLiteral("the printer"));
    EXPECT_EQ(description(QStringLiteral("DEFAULT"), QStringLiteral("Printer")), QStringLiteral("the printer"));
    EXPECT_EQ(settings::readInformation(connection, QString(), QStringLiteral("Printer")), QStringLiteral("HP"));
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("DEFAULT"), QStringLiteral("Printer")),
              QStringLiteral("HP"));
}

TEST_P(SettingsTableTest, ExistingPairKeepsItsDescription) {
    QSqlDatabase connection = db->connection();
    settings::writeInformation(connection, QStringLiteral("Print"), QStringLiteral("Copies"), QStringLiteral("1"),
                               QStringLiteral("first"));
    settings::writeInformation(connection, QStringLiteral("Print"), QStringLiteral("Copies"), QStringLiteral("2"),
                               QStringLiteral("second"));
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("Print"), QStringLiteral("Copies")), QStringLiteral("2"));
    EXPECT_EQ(description(QStringLiteral("Print"), QStringLiteral("Copies")), QStringLiteral("first"));
}

TEST_P(SettingsTableTest, NewPairWithoutDescriptionKeepsTheColumnDefault) {
    QSqlDatabase connection = db->connection();
    settings::writeInformation(connection, QStringLiteral("Print"), QStringLiteral("Tray"), QStringLiteral("A4"), QString());
    EXPECT_EQ(description(QStringLiteral("Print"), QStringLiteral("Tray")), kDefaultDescription);
}

TEST_P(SettingsTableTest, MissingPairAndValuesThatLookLikeSql) {
    QSqlDatabase connection = db->connection();
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("Print"), QStringLiteral("Nothing")),
              QStringLiteral("NOTANSWER"));
    // Values are bound: quotes and Farsi text are stored as they are.
    const QString tricky = QStringLiteral("O'Neil'); DELETE FROM Dbo.Info; --");
    settings::writeInformation(connection, QStringLiteral("گله"), tricky, QStringLiteral("مقدار 'ی'"), tricky);
    settings::writeInformation(connection, QStringLiteral("گله"), QStringLiteral("other"), QStringLiteral("x"), QString());
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("گله"), tricky), QStringLiteral("مقدار 'ی'"));
    // Whole, case-sensitive names.
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("گله"), QStringLiteral("OTHER")),
              QStringLiteral("NOTANSWER"));
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("گله"), QStringLiteral("othe")),
              QStringLiteral("NOTANSWER"));
    // A NULL value reads as empty text.
    ASSERT_TRUE(db->exec(QStringLiteral("UPDATE Dbo.Info SET KeyValue = NULL WHERE KeyName = 'other'")));
    EXPECT_EQ(settings::readInformation(connection, QStringLiteral("گله"), QStringLiteral("other")), QString());
}

TEST_P(SettingsTableTest, MissingTableReachesTheCaller) {
    ASSERT_TRUE(db->exec(QStringLiteral("DROP TABLE Dbo.Info")));
    QSqlDatabase connection = db->connection();
    EXPECT_THROW(settings::writeInformation(connection, QString(), QStringLiteral("a"), QStringLiteral("b"), QString()),
                 DatabaseError);
    EXPECT_THROW(settings::readInformation(connection, QString(), QStringLiteral("a")), DatabaseError);
}

TEST_P(SettingsTableTest, TToolsUsesItsServerConnection) {
    TTools tools;
    tools.ServerConnection = db->connection();
    tools.WriteInformation(QString(), QStringLiteral("Herd"), QStringLiteral("12"), QString());
    EXPECT_EQ(tools.ReadInformation(QStringLiteral(" "), QStringLiteral("Herd")), QStringLiteral("12"));
    tools.ServerConnection = QSqlDatabase();

    QTemporaryDir folder;
    tools.setRegistryFile(folder.filePath(QStringLiteral("r.ini")));
    tools.WriteRegistery(QStringLiteral("Software\\Farm"), QStringLiteral("Herd"), QStringLiteral("12"));
    EXPECT_EQ(tools.ReadRegistery(QStringLiteral("Software\\Farm"), QStringLiteral("Herd"), QString()), QStringLiteral("12"));
    tools.ClearRegistery(QStringLiteral("Software"));
    EXPECT_EQ(tools.ReadRegistery(QStringLiteral("Software\\Farm"), QStringLiteral("Herd"), QStringLiteral("-")), QStringLiteral("-"));
}

INSTANTIATE_TEST_SUITE_P(Engines, SettingsTableTest, testing::Values(Engine::SQLite, Engine::PostgreSQL), engineName);

}  // namespace
}  // namespace zartav::test
