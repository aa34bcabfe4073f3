#include "util/app_paths.h"

#include "unprivileged.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace zartav;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths::setProgramFolderForTesting(program.path());
        paths::setUserDataFolderForTesting(user.path());
    }
    void TearDown() override {
        paths::setProgramFolderForTesting(std::nullopt);
        paths::setUserDataFolderForTesting(std::nullopt);
    }
    static void touch(const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir program;
    QTemporaryDir user;
};

}  // namespace

TEST_F(PathsTest, AWritableProgramFolderHoldsTheData) {
    EXPECT_EQ(paths::dataFolder(), program.path());
    EXPECT_EQ(paths::databasePath(), program.filePath("Data.db"));
    EXPECT_EQ(paths::iniFolder(), program.filePath("ini"));
    EXPECT_EQ(paths::legacyDatabasePath(), program.filePath("Data.mdb"));
    EXPECT_EQ(paths::traceFolder(), user.path());
}

TEST_F(PathsTest, AMissingProgramFolderSendsTheDataToTheUserFolder) {
    paths::setProgramFolderForTesting(program.filePath("gone"));
    EXPECT_EQ(paths::databasePath(), user.filePath("Data.db"));
    EXPECT_EQ(paths::legacyDatabasePath(), program.filePath("gone/Data.mdb"));
}

TEST_F(PathsTest, AReadOnlyProgramFolderKeepsTheDatabaseItHolds) {
    ZARTAV_RUN_UNPRIVILEGED();
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
    const auto writable = readOnly | QFileDevice::WriteOwner;
    // A fresh install in a folder the user cannot write: the data goes to the user's folder.
    ASSERT_TRUE(QFile::setPermissions(program.path(), readOnly));
    EXPECT_EQ(paths::databasePath(), user.filePath("Data.db"));
    // A folder that already holds the records keeps them in use, read-only or not.
    ASSERT_TRUE(QFile::setPermissions(program.path(), writable));
    touch(program.filePath("Data.db"));
    ASSERT_TRUE(QFile::setPermissions(program.path(), readOnly));
    EXPECT_EQ(paths::databasePath(), program.filePath("Data.db"));
    EXPECT_EQ(paths::iniFolder(), program.filePath("ini"));
    QFile::setPermissions(program.path(), writable);
}

TEST_F(PathsTest, TemplateIsLookedForBesideTheProgramFirst) {
    EXPECT_TRUE(paths::templatePath().isEmpty());
    touch(user.filePath("Center.Fr3"));
    EXPECT_EQ(paths::templatePath(), user.filePath("Center.Fr3"));
    touch(program.filePath("Center.Fr3"));
    EXPECT_EQ(paths::templatePath(), program.filePath("Center.Fr3"));
}

TEST(Paths, TheRealProgramFolderIsTheExecutablesFolder) {
    EXPECT_EQ(QDir(paths::programFolder()), QDir(QCoreApplication::applicationDirPath()));
}

TEST_F(PathsTest, AnInstalledCopyKeepsItsDataInTheUserFolderEvenWhenItsFolderIsWritable) {
    // PREFIX/bin beside PREFIX/share/applications/<our desktop entry>, as the package lays it out.
    QDir prefix(program.path());
    ASSERT_TRUE(prefix.mkpath("bin") && prefix.mkpath("share/applications"));
    touch(program.filePath("share/applications/ir.zartav.Zartav.desktop"));
    paths::setProgramFolderForTesting(program.filePath("bin"));
    EXPECT_EQ(paths::databasePath(), user.filePath("Data.db"));
    EXPECT_EQ(paths::iniFolder(), user.filePath("ini"));
    EXPECT_EQ(paths::legacyDatabasePath(), user.filePath("Data.mdb"));
    // Even a Data.db left beside the installed program is not the one used.
    touch(program.filePath("bin/Data.db"));
    EXPECT_EQ(paths::databasePath(), user.filePath("Data.db"));
    // A layout file beside the program is still found first.
    touch(program.filePath("bin/Center.Fr3"));
    EXPECT_EQ(paths::templatePath(), program.filePath("bin/Center.Fr3"));
}
