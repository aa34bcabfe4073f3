#include "entry/default_file.h"
#include "entry/default_file_services.h"
#include "util/app_paths.h"
#include "util/cp1256.h"

#include "unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

using namespace zartav;
using namespace zartav::defaults;

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class IniFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        paths::setProgramFolderForTesting(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ini")));
    }
    void TearDown() override { paths::setProgramFolderForTesting(std::nullopt); }
    QString ini(const QString& file) const { return dir.filePath(QStringLiteral("ini/") + file); }
    QTemporaryDir dir;
};

// A record of named text fields, Latin names matching in any case.
class FakeFields : public FieldSet {
public:
    QHash<QString, QString> values;  // keyed by the upper-case name
    bool hasField(const QString& name) const override { return values.contains(name.toUpper()); }
    QString fieldText(const QString& name) const override { return values.value(name.toUpper()); }
    void setFieldText(const QString& name, const QString& value) override {
        if (value == QLatin1String("bad")) throw DefaultFileError("rejected");
        values[name.toUpper()] = value;
    }
};

}  // namespace

TEST(DefaultFileLines, AnyLineEndingEndsALine) {
    const struct {
        const char* text;
        QStringList lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR: two endings
        {"", {}},
        {"\r\n", {""}},
        {"x~y~ ", {"x~y~ "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(splitLines(QString::fromUtf8(c.text)), c.lines);
    }
}

TEST(DefaultFileLines, ControlAndFieldLineForms) {
    const struct {
        const char* line;
        const char* kind;
        const char* name;
        const char* value;
    } controls[] = {
        {"TDBEdit~DBEdit1~ ", "TDBEdit", "DBEdit1", " "},
        {"TDBEdit~DBEdit1~a~b~", "TDBEdit", "DBEdit1", "a~b~"},  // the value keeps its "~"
        {"TDBEdit~DBEdit1~", "TDBEdit", "DBEdit1", ""},
        {"TDBEdit~DBEdit1", "TDBEdit", "", ""},  // no second separator: no name
        {"TDBEdit", "", "", ""},
        {"~~x", "", "", "x"},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.line);
        const ControlLine l = splitControlLine(QString::fromUtf8(c.line));
        EXPECT_EQ(l.kind, QString::fromUtf8(c.kind));
        EXPECT_EQ(l.name, QString::fromUtf8(c.name));
        EXPECT_EQ(l.value, QString::fromUtf8(c.value));
    }
    EXPECT_EQ(templateLine(QStringLiteral("TLabel"), QStringLiteral("Label1")), QStringLiteral("TLabel~Label1~ "));

    const FieldLine f = splitFieldLine(QStringLiteral("نام~a~b"));
    EXPECT_EQ(f.name, QStringLiteral("نام"));
    EXPECT_EQ(f.value, QStringLiteral("a~b"));
    const FieldLine bare = splitFieldLine(QStringLiteral("نام"));
    EXPECT_EQ(bare.name, QStringLiteral("نام"));
    EXPECT_FALSE(bare.hasSeparator);
}

TEST(DefaultFileValues, KindsAndValueRules) {
    EXPECT_EQ(roleOfKind(QStringLiteral("tdbedit")), ControlRole::TextBox);
    EXPECT_EQ(roleOfKind(QStringLiteral("TDBComboBox")), ControlRole::DropDown);
    EXPECT_EQ(roleOfKind(QStringLiteral("TRadioGroup")), ControlRole::RadioGroup);
    EXPECT_EQ(roleOfKind(QStringLiteral("TDBRADIOGROUP")), ControlRole::RadioGroup);
    EXPECT_EQ(roleOfKind(QStringLiteral("TdbCheckBox")), ControlRole::CheckBox);
    EXPECT_EQ(roleOfKind(QStringLiteral("TEdit")), ControlRole::Other);
    EXPECT_EQ(roleOfKind(QStringLiteral("TLabel")), ControlRole::Other);

    const struct {
        const char* value;
        int index;  // of three buttons
    } radios[] = {{"0", 0}, {"2", 2}, {"3", 2}, {"99", 2}, {"-1", -1}, {"-5", -1}, {" ", -1},
                  {"", -1}, {"x", -1}, {"1.5", -1}, {"۱", 1}, {"99999999999999999999", -1}};
    for (const auto& r : radios) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(radioIndexFromText(QString::fromUtf8(r.value), 3), r.index);
    }
    EXPECT_EQ(radioIndexFromText(QStringLiteral("0"), 0), -1);  // no buttons at all

    const struct {
        const char* value;
        bool checked;
    } checks[] = {{"-1", true}, {"1", true}, {"2.5", true}, {"True", true}, {"TRUE", true}, {"true", true},
                  {"0", false}, {"0.0", false}, {"", false}, {" ", false}, {"False", false}, {"yes", false},
                  {"nan", false}, {"inf", false}};
    for (const auto& c : checks) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(checkedFromText(QString::fromUtf8(c.value)), c.checked);
    }
    EXPECT_EQ(checkedText(true), QStringLiteral("-1"));
    EXPECT_EQ(checkedText(false), QStringLiteral("0"));
    EXPECT_EQ(radioIndexText(-3), QStringLiteral("-1"));

    const QStringList items = {QStringLiteral("Alpha"), QStringLiteral("alpha"), QStringLiteral("نر")};
    EXPECT_EQ(dropDownIndexOf(items, QStringLiteral("ALPHA")), 0);
    EXPECT_EQ(dropDownIndexOf(items, QStringLiteral("نر")), 2);
    EXPECT_EQ(dropDownIndexOf(items, QStringLiteral("نر ")), -1);

    EXPECT_TRUE(sameLatinName(QStringLiteral("HFگوساله"), QStringLiteral("hfگوساله")));
    EXPECT_FALSE(sameLatinName(QStringLiteral("ي"), QStringLiteral("ی")));
}

TEST_F(IniFolder, WritesCp1256WithCrLfAndDropsBlankLines) {
    const QString path = ini(QStringLiteral("Form9.Ini"));
    writeLines(path, {QStringLiteral("TDBEdit~DBEdit1~نام ی"), QStringLiteral("   "), QString(),
                      QStringLiteral("TLabel~Label1~ ")});
    const QByteArray expected = "TDBEdit~DBEdit1~\xE4\xC7\xE3 \xED\r\nTLabel~Label1~ \r\n";
    EXPECT_EQ(readBytes(path), expected);
    // Reading gives Unicode back (with the Persian yeh folded to its code-page twin).
    EXPECT_EQ(readLines(path), QStringList({QStringLiteral("TDBEdit~DBEdit1~نام ي"), QStringLiteral("TLabel~Label1~ ")}));
    EXPECT_EQ(templateFilePath(QStringLiteral("Form2")), dir.filePath(QStringLiteral("ini/1Form2.Ini")));
    EXPECT_EQ(defaultsFilePath(QStringLiteral("Form2")), dir.filePath(QStringLiteral("ini/Form2.Ini")));
}

TEST_F(IniFolder, ReadsCp1256BytesWithAnyLineEnding) {
    const QString path = ini(QStringLiteral("Any.Ini"));
    writeBytes(path, "\xE4\xC7\xE3~\xD1\xE4\xDF\rx~1\ny~2");
    EXPECT_EQ(readLines(path), QStringList({QStringLiteral("نام~رنك"), QStringLiteral("x~1"), QStringLiteral("y~2")}));
    EXPECT_EQ(readLines(ini(QStringLiteral("Missing.Ini"))), std::nullopt);
}

TEST_F(IniFolder, AMissingFolderReachesTheCallerWithThePlatformsWords) {
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("ini"))).removeRecursively());
    try {
        writeLines(ini(QStringLiteral("1Form2.Ini")), {QStringLiteral("a~b~ ")});
        FAIL() << "no error";
    } catch (const DefaultFileError& e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(QStringLiteral("No such file or directory")), -1) << e.what();
    }
}

TEST_F(IniFolder, AReadOnlyFileIsNotReplaced) {
    ZARTAV_RUN_UNPRIVILEGED();
    const QString path = ini(QStringLiteral("Form2.Ini"));
    writeBytes(path, "TDBEdit~DBEdit1~old\r\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
    ASSERT_FALSE(QFileInfo(path).isWritable());
    EXPECT_THROW(writeLines(path, {QStringLiteral("TDBEdit~DBEdit1~new")}), DefaultFileError);
    EXPECT_EQ(readBytes(path), QByteArray("TDBEdit~DBEdit1~old\r\n"));
}

TEST_F(IniFolder, FieldDefaultsApplyAndStoreByNameInAnyLatinCase) {
    FakeFields fields;
    fields.values = {{QStringLiteral("HFگوساله"), QStringLiteral("50")}, {QStringLiteral("نام"), QStringLiteral("x")},
                     {QStringLiteral("وزن"), QString()}};
    const QString path = ini(QStringLiteral("TVascor.Ini"));
    // Missing file: nothing happens on either side.
    applyFieldDefaults(fields, QStringLiteral("TVascor"));
    storeFieldDefaults(fields, QStringLiteral("TVascor"));
    EXPECT_FALSE(QFile::exists(path));

    writeBytes(path, encodeCp1256(QStringLiteral("hfگوساله~75\r\nبيگانه~keep~me\r\n\r\nنام~a~b\nوزن\r\n")));
    applyFieldDefaults(fields, QStringLiteral("TVascor"));
    EXPECT_EQ(fields.values.value(QStringLiteral("HFگوساله")), QStringLiteral("75"));
    EXPECT_EQ(fields.values.value(QStringLiteral("نام")), QStringLiteral("a~b"));

    fields.values[QStringLiteral("HFگوساله")] = QStringLiteral("100");
    fields.values[QStringLiteral("وزن")] = QStringLiteral("42");
    storeFieldDefaults(fields, QStringLiteral("TVascor"));
    // The name as the line had it; unknown lines untouched; the blank line gone.
    EXPECT_EQ(decodeCp1256(readBytes(path)),
              QStringLiteral("hfگوساله~100\r\nبيگانه~keep~me\r\nنام~a~b\r\nوزن~42\r\n"));
}

TEST_F(IniFolder, FieldDefaultsStopAtTheFirstRejectedValue) {
    FakeFields fields;
    fields.values = {{QStringLiteral("A"), QString()}, {QStringLiteral("B"), QString()}, {QStringLiteral("C"), QString()}};
    writeBytes(ini(QStringLiteral("T.Ini")), "a~1\r\nb~bad\r\nc~3\r\n");
    EXPECT_THROW(applyFieldDefaults(fields, QStringLiteral("T")), DefaultFileError);
    EXPECT_EQ(fields.values.value(QStringLiteral("A")), QStringLiteral("1"));
    EXPECT_EQ(fields.values.value(QStringLiteral("C")), QString());
}
