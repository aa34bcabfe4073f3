#include "entry_fixture.h"

#include "app/message_board_form.h"
#include "app/splash_form.h"

#include "entry/default_file.h"
#include "entry/ui/control_kinds.h"
#include "util/app_paths.h"
#include "util/cp1256.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using namespace zartav;
using namespace zartav::test;

namespace {

// The entry form as the program builds it, plus a check box and two radio groups of the kinds
// the defaults know (the form itself has none).
class DefaultsOnEntryForm : public EntryFixture {
protected:
    void SetUp() override {
        EntryFixture::SetUp();
        installWidgetControlAccess();
        paths::setProgramFolderForTesting(dir.path());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("ini")));

        check = new QCheckBox(form2.get());
        check->setObjectName(QStringLiteral("DBCheckBox1"));
        check->setProperty("zartavColumn", QStringLiteral("x"));
        boundRadio = radioGroup(QStringLiteral("DBRadioGroup1"), true);
        radio = radioGroup(QStringLiteral("RadioGroup1"), false);
    }
    void TearDown() override {
        paths::setProgramFolderForTesting(std::nullopt);
        defaults::setControlAccess(nullptr);
        EntryFixture::TearDown();
    }

    QGroupBox* radioGroup(const QString& name, bool bound) {
        auto* group = new QGroupBox(form2.get());
        group->setObjectName(name);
        if (bound) group->setProperty("zartavColumn", QStringLiteral("x"));
        for (const char* caption : {"a", "b", "c"}) new QRadioButton(QString::fromUtf8(caption), group);
        return group;
    }
    QRadioButton* button(QGroupBox* group, int i) const {
        return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly).at(i);
    }
    int selected(QGroupBox* group) const {
        for (int i = 0; i < 3; ++i) {
            if (button(group, i)->isChecked()) return i;
        }
        return -1;
    }

    QString ini(const QString& file) const { return dir.filePath(QStringLiteral("ini/") + file); }
    QStringList fileLines(const QString& file) const {
        QFile f(ini(file));
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n"));
        return decodeCp1256(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    void writeFile(const QString& file, const QString& text) {
        QFile f(ini(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(encodeCp1256(text));
    }

    // Puts a value into every kind of control.
    void fillEverything() {
        for (QLineEdit* e : form2->findChildren<QLineEdit*>()) e->setText(QStringLiteral("پر"));
        for (QComboBox* c : form2->findChildren<QComboBox*>()) {
            if (c->count() > 0) c->setCurrentIndex(c->count() - 1);
            else if (c->isEditable()) c->setEditText(QStringLiteral("پر"));
        }
        check->setChecked(true);
        button(boundRadio, 1)->setChecked(true);
        button(radio, 2)->setChecked(true);
    }

    QCheckBox* check = nullptr;
    QGroupBox* boundRadio = nullptr;
    QGroupBox* radio = nullptr;
};

}  // namespace

TEST_F(DefaultsOnEntryForm, TemplateListsEveryComponentWithABlankValue) {
    tools->SaveTempleateForDef(form2.get());
    const QStringList lines = fileLines(QStringLiteral("1Form2.Ini"));
    for (const QString& line : lines) EXPECT_TRUE(line.endsWith(QStringLiteral("~ "))) << line.toStdString();
    for (const char* expected :
         {"TDBEdit~DBEdit1~ ", "TDBEdit~DBEdit10~ ", "TDBComboBox~DBComboBox14~ ", "TDBComboBox~DBComboBox1~ ",
          "TButton~dxButton1~ ", "TButton~dxButton2~ ", "TToolButton~dxToolButton1~ ",
          "TOpenPictureDialog~OpenPictureDialog1~ ", "TPictureBox~DBImage2~ ",
          "TDBCheckBox~DBCheckBox1~ ", "TDBRadioGroup~DBRadioGroup1~ ", "TRadioGroup~RadioGroup1~ "}) {
        EXPECT_TRUE(lines.contains(QString::fromUtf8(expected))) << expected;
    }
    // Every box, button, picture and caption of the form is there, each once.
    const int boxes = form2->findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^DBEdit"))).size() +
                      form2->findChildren<QComboBox*>(QRegularExpression(QStringLiteral("^DBComboBox"))).size();
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^TDB(Edit|ComboBox)~"))).size(), boxes);
    EXPECT_EQ(lines.filter(QStringLiteral("~DBImage")).size(), 3);
    int captions = 0;
    for (const QLabel* l : form2->findChildren<QLabel*>()) captions += qstrcmp(l->metaObject()->className(), "QLabel") == 0;
    EXPECT_GT(captions, 50);
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^TLabel~"))).size(), captions);
    // The drop-down boxes' own line edits are not components of the window.
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^TEdit~"))).size(), 0);
}

TEST_F(DefaultsOnEntryForm, AFreshTemplateAsDefaultsEmptiesEveryControl) {
    tools->SaveTempleateForDef(form2.get());
    ASSERT_TRUE(QFile::copy(ini(QStringLiteral("1Form2.Ini")), ini(QStringLiteral("Form2.Ini"))));
    fillEverything();
    tools->LoadDef(form2.get());
    for (QLineEdit* e : form2->findChildren<QLineEdit*>(QRegularExpression(QStringLiteral("^DBEdit")))) {
        EXPECT_EQ(e->text(), QStringLiteral(" ")) << e->objectName().toStdString();
    }
    for (QComboBox* c : form2->findChildren<QComboBox*>()) {
        EXPECT_EQ(c->currentIndex(), -1) << c->objectName().toStdString();
        EXPECT_EQ(c->currentText(), QString()) << c->objectName().toStdString();
    }
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(selected(boundRadio), -1);
    EXPECT_EQ(selected(radio), -1);
}

TEST_F(DefaultsOnEntryForm, LoadDefValueRules) {
    writeFile(QStringLiteral("Form2.Ini"),
              QStringLiteral("TDBEdit~DBEdit1~123~4\r\n"
                             "tdbedit~dbedit10~1405/01/02\n"
                             "TDBComboBox~DBComboBox8~نر\r"
                             "TDBComboBox~DBComboBox7~چهار قلو\r\n"
                             "TDBComboBox~DBComboBox14~سزارين\r\n"
                             "TDBRadioGroup~DBRadioGroup1~7\r\n"
                             "TRadioGroup~RadioGroup1~1\r\n"
                             "TLabel~DBEdit12~ignored\r\n"
                             "TDBComboBox~DBEdit13~ignored\r\n"
                             "TDBEdit~NoSuchBox~x\r\n"
                             "TDBEdit~~x\r\n"));
    form2->DBComboBox7->setCurrentIndex(0);
    form2->DBEdit12->setText(QStringLiteral("12"));
    form2->DBEdit13->setText(QStringLiteral("13"));
    tools->LoadDef(form2.get());
    EXPECT_EQ(form2->DBEdit1->text(), QStringLiteral("123~4"));
    EXPECT_EQ(form2->DBEdit10->text(), QStringLiteral("1405/01/02"));
    EXPECT_EQ(form2->DBComboBox8->currentText(), QStringLiteral("نر"));
    EXPECT_EQ(form2->DBComboBox7->currentIndex(), -1);  // not an item: empty
    EXPECT_EQ(form2->DBComboBox7->currentText(), QString());
    EXPECT_EQ(form2->DBComboBox14->currentIndex(), 4);
    EXPECT_EQ(selected(boundRadio), 2);  // past the last button: the last
    EXPECT_EQ(selected(radio), 1);
    EXPECT_EQ(form2->DBEdit12->text(), QStringLiteral("12"));  // other kinds do nothing
    EXPECT_EQ(form2->DBEdit13->text(), QStringLiteral("13"));  // a kind that is not the box's

    const struct {
        const char* value;
        bool checked;
    } checks[] = {{"-1", true}, {"0", false}, {"True", true}, {"", false}, {"tRUE", true}, {"Yes", false}};
    for (const auto& c : checks) {
        SCOPED_TRACE(c.value);
        check->setChecked(!c.checked);
        writeFile(QStringLiteral("Form2.Ini"), QStringLiteral("TDBCheckBox~DBCheckBox1~") + QString::fromUtf8(c.value));
        tools->LoadDef(form2.get());
        EXPECT_EQ(check->isChecked(), c.checked);
    }
}

TEST_F(DefaultsOnEntryForm, SaveDefStoresPresentValuesAndKeepsOtherLines) {
    writeFile(QStringLiteral("Form2.Ini"),
              QStringLiteral("TDBEdit~DBEdit10~old\r\n"
                             "TDBEdit~DBEdit1~old\r\n"
                             "\r\n"
                             "TDBComboBox~DBComboBox8~\r\n"
                             "TDBCheckBox~DBCheckBox1~0\r\n"
                             "TDBRadioGroup~DBRadioGroup1~0\r\n"
                             "TRadioGroup~RadioGroup1~0\r\n"
                             "TLabel~dxButton1~kept\r\n"
                             "TDBEdit~Gone~kept~too\r\n"
                             "a line of its own\r\n"));
    form2->DBEdit10->setText(QStringLiteral("1405/09/17"));
    form2->DBEdit1->setText(QStringLiteral("ثبت ی"));
    form2->DBComboBox8->setCurrentIndex(1);
    check->setChecked(true);
    button(boundRadio, 2)->setChecked(true);
    tools->SaveDef(form2.get());
    EXPECT_EQ(fileLines(QStringLiteral("Form2.Ini")),
              QStringList({QStringLiteral("TDBEdit~DBEdit10~1405/09/17"), QStringLiteral("TDBEdit~DBEdit1~ثبت ي"),
                           QStringLiteral("TDBComboBox~DBComboBox8~نر"), QStringLiteral("TDBCheckBox~DBCheckBox1~-1"),
                           QStringLiteral("TDBRadioGroup~DBRadioGroup1~2"), QStringLiteral("TRadioGroup~RadioGroup1~-1"),
                           QStringLiteral("TButton~dxButton1~kept"), QStringLiteral("TDBEdit~Gone~kept~too"),
                           QStringLiteral("a line of its own")}));

    // What was stored comes back.
    fillEverything();
    tools->LoadDef(form2.get());
    EXPECT_EQ(form2->DBEdit10->text(), QStringLiteral("1405/09/17"));
    EXPECT_EQ(form2->DBComboBox8->currentIndex(), 1);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(selected(boundRadio), 2);
    EXPECT_EQ(selected(radio), -1);
}

TEST_F(DefaultsOnEntryForm, FieldDefaultsOnTheRecordTable) {
    RecordTable& t = dm->TVascor;
    writeFile(QStringLiteral("TVascor.Ini"),
              QStringLiteral("hfگوساله~75\r\nشماره ثبت~IR-1\r\nنا شناخته~x\r\n"));
    ASSERT_TRUE(t.insert());
    tools->LoadDefField(t, QStringLiteral("TVascor"));
    EXPECT_EQ(t.value(QStringLiteral("HFگوساله")), QStringLiteral("75"));
    EXPECT_EQ(t.value(QStringLiteral("شماره ثبت")), QStringLiteral("IR-1"));
    ASSERT_TRUE(t.post());

    ASSERT_TRUE(t.edit());
    t.setValue(QStringLiteral("HFگوساله"), QStringLiteral("100"));
    tools->SaveDefField(t, QStringLiteral("TVascor"));
    t.cancel();
    EXPECT_EQ(fileLines(QStringLiteral("TVascor.Ini")),
              QStringList({QStringLiteral("hfگوساله~100"), QStringLiteral("شماره ثبت~IR-1"), QStringLiteral("نا شناخته~x")}));

    // Not in insert or edit mode: the first field line fails and the caller hears of it.
    EXPECT_THROW(tools->LoadDefField(t, QStringLiteral("TVascor")), defaults::DefaultFileError);
}

TEST_F(DefaultsOnEntryForm, WithoutIniFolderOnlyTheTemplateFails) {
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("ini"))).removeRecursively());
    try {
        tools->SaveTempleateForDef(form2.get());
        ADD_FAILURE() << "no error";
    } catch (const defaults::DefaultFileError& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("No such file or directory"))) << e.what();
    }
    form2->DBEdit1->setText(QStringLiteral("kept"));
    ASSERT_TRUE(dm->TVascor.insert());
    EXPECT_NO_THROW(tools->LoadDef(form2.get()));
    EXPECT_NO_THROW(tools->SaveDef(form2.get()));
    EXPECT_NO_THROW(tools->LoadDefField(dm->TVascor, QStringLiteral("TVascor")));
    EXPECT_NO_THROW(tools->SaveDefField(dm->TVascor, QStringLiteral("TVascor")));
    dm->TVascor.cancel();
    EXPECT_EQ(form2->DBEdit1->text(), QStringLiteral("kept"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("ini"))));
}

// A value typed with the Persian keyboard (ی, Persian digits) is folded in the file; loading
// compares it folded with the items folded, so it comes back.
TEST_F(DefaultsOnEntryForm, PersianKeyboardDropDownValuesComeBack) {
    addRecord({{QStringLiteral("نام استان"), QStringLiteral("یزد")}, {QStringLiteral("كد گله"), QStringLiteral("۱۲")}});
    form2->FillLists();
    writeFile(QStringLiteral("Form2.Ini"), QStringLiteral("TDBComboBox~DBComboBox2~ \r\nTDBComboBox~DBComboBox5~ \r\n"));
    for (QComboBox* box : {form2->DBComboBox2, form2->DBComboBox5}) box->setCurrentIndex(0);
    tools->SaveDef(form2.get());
    for (QComboBox* box : {form2->DBComboBox2, form2->DBComboBox5}) box->setCurrentIndex(-1);
    tools->LoadDef(form2.get());
    EXPECT_EQ(form2->DBComboBox2->currentText(), QStringLiteral("یزد"));
    EXPECT_EQ(form2->DBComboBox5->currentText(), QStringLiteral("12"));  // the list offers a code in 0-9
}

// A line whose kind changes to one the defaults handle takes the control's present value; a
// handled line naming a control without a value stays as it was; a value keeps to one line.
TEST_F(DefaultsOnEntryForm, SaveDefRewritesAChangedKindWithThePresentValue) {
    writeFile(QStringLiteral("Form2.Ini"),
              QStringLiteral("TLabel~DBEdit12~old\r\n"
                             "TDBComboBox~DBEdit13~stale\r\n"
                             "TDBEdit~dxButton1~live\r\n"
                             "TDBEdit~DBEdit16~x\r\n"));
    form2->DBEdit12->setText(QStringLiteral("12"));
    form2->DBEdit13->setText(QStringLiteral("13"));
    form2->DBEdit16->setText(QStringLiteral("a\r\nb\nc"));
    tools->SaveDef(form2.get());
    EXPECT_EQ(fileLines(QStringLiteral("Form2.Ini")),
              QStringList({QStringLiteral("TDBEdit~DBEdit12~12"), QStringLiteral("TDBEdit~DBEdit13~13"),
                           QStringLiteral("TDBEdit~dxButton1~live"), QStringLiteral("TDBEdit~DBEdit16~a b c")}));

    RecordTable& t = dm->TVascor;
    writeFile(QStringLiteral("TVascor.Ini"), QStringLiteral("شماره ثبت~\r\nوزن~1\r\n"));
    ASSERT_TRUE(t.insert());
    t.setValue(QStringLiteral("شماره ثبت"), QStringLiteral("IR\r\n1\r2"));
    tools->SaveDefField(t, QStringLiteral("TVascor"));
    t.cancel();
    EXPECT_EQ(fileLines(QStringLiteral("TVascor.Ini")), QStringList({QStringLiteral("شماره ثبت~IR 1 2"), QStringLiteral("وزن~")}));
}

// Windows and data sets carry the names the program gives them, so their files are named after
// them; an object without a name is refused with a message instead of reaching "1.Ini".
TEST_F(DefaultsOnEntryForm, ObjectsCarryTheirNamesAndAnUnnamedOneIsRefused) {
    TForm3 splash;
    TMessageBoardForm board;
    const std::pair<QObject*, const char*> named[] = {
        {form1.get(), "Form1"},          {form2.get(), "Form2"},       {picker.get(), "DosSperm"},
        {&splash, "Form3"},              {&board, "MessageBoardForm"}, {&dm->TVascor, "TVascor"},
        {&dm->TDosSperm, "TDosSperm"},
    };
    for (const auto& [object, name] : named) EXPECT_EQ(object->objectName(), QString::fromLatin1(name));
    for (QObject* window : {static_cast<QObject*>(form1.get()), static_cast<QObject*>(&splash),
                            static_cast<QObject*>(&board)}) {
        tools->SaveTempleateForDef(window);
        EXPECT_TRUE(QFileInfo::exists(ini(QStringLiteral("1") + window->objectName() + QStringLiteral(".Ini"))));
    }
    EXPECT_TRUE(messages.boxes().isEmpty());

    QWidget unnamed;
    writeFile(QStringLiteral(".Ini"), QStringLiteral("TDBEdit~x~y\r\n"));
    ASSERT_TRUE(dm->TVascor.insert());
    tools->SaveTempleateForDef(&unnamed);
    tools->LoadDef(&unnamed);
    tools->SaveDef(&unnamed);
    tools->LoadDefField(dm->TVascor, QString());
    tools->SaveDefField(dm->TVascor, QString());
    dm->TVascor.cancel();
    EXPECT_EQ(messages.texts(),
              QStringList(5, QStringLiteral("اين پنجره يا جدول نامي ندارد؛ مقادير پيش فرض آن خوانده و ذخيره نمي شود.")));
    EXPECT_FALSE(QFileInfo::exists(ini(QStringLiteral("1.Ini"))));
    EXPECT_EQ(fileLines(QStringLiteral(".Ini")), QStringList{QStringLiteral("TDBEdit~x~y")});
}
