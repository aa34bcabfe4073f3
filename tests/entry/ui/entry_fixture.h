#pragma once

// The objects of a run, in their start-up order, over a throw-away Data.db.

#include "app/main_window.h"
#include "data/tdm.h"
#include "dates/calendar.h"
#include "entry/catalogue_import.h"
#include "entry/ui/dos_sperm_form.h"
#include "entry/ui/entry_commands.h"
#include "entry/ui/entry_form.h"
#include "message_recorder.h"
#include "util/dialogs.h"
#include "services/ttools.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QStringList>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

// The main window's pictures are compiled into the widget library; the program registers them.
inline void registerEntryTestPictures() { Q_INIT_RESOURCE(zartav_assets); }

namespace zartav::test {

inline const QByteArray kCatalogueCsv =
    "Name_Sp,Code_Sp,RegNo_SPF,RegNo_Sp,Breeder\n"
    "Alpha,A1,USA000111,IR100,Farm A\n"
    "Bravo,B2,CAN000222,IR200,Farm B\n"
    "Charlie,C3,USA000333,IR300,Farm C\n";

// The entry form's boxes a clerk types into, in tab order (the calving code after them only shows).
inline const QStringList kTypingOrder = {
    "DBEdit1",      "DBComboBox1",  "DBComboBox2",  "DBComboBox3",  "DBComboBox4", "DBComboBox5", "DBEdit7",
    "DBEdit8",      "DBEdit9",      "DBEdit10",     "DBComboBox6",  "DBEdit12",    "DBEdit13",    "DBComboBox7",
    "DBComboBox8",  "DBEdit16",     "DBEdit17",     "DBEdit18",     "DBEdit19",    "DBEdit20",    "DBEdit21",
    "DBEdit22",     "DBEdit23",     "DBEdit24",     "DBEdit25",     "DBEdit26",    "DBEdit27",    "DBEdit28",
    "DBEdit29",     "DBEdit30",     "DBEdit31",     "DBEdit32",     "DBEdit33",    "DBEdit34",    "DBComboBox13",
    "DBEdit44",     "DBEdit35",     "DBComboBox9",  "DBEdit37",     "DBEdit38",    "DBComboBox10", "DBEdit40",
    "DBEdit41",     "DBComboBox11", "DBEdit43",     "DBEdit46",     "DBComboBox12", "DBComboBox14", "DBEdit50",
    "DBComboBox15",
};

// Runs `action` once `dialog` is showing modally; a dialog the action leaves open is closed
// with Cancel after a while, so a failing test never hangs.
inline void whenShown(QDialog& dialog, std::function<void()> action) {
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        if (!dialog.isVisible()) {
            ADD_FAILURE() << "the dialog was not showing";
            return;
        }
        action();
    });
    QTimer::singleShot(10000, &dialog, [&dialog] {
        if (!dialog.isVisible()) return;
        ADD_FAILURE() << "the dialog was left open";
        dialog.done(2);
    });
}

class EntryFixture : public ::testing::Test {
protected:
    void SetUp() override { open(kCatalogueCsv); }
    void TearDown() override { calendar::setTodayForTesting(std::nullopt); }

    void open(const QByteArray& catalogue) {
        ASSERT_TRUE(dir.isValid());
        registerEntryTestPictures();
        calendar::setTodayForTesting(QDate(2026, 12, 8));  // 1405/09/17
        dm = std::make_unique<TDM>();
        form1 = std::make_unique<TForm1>(*dm);
        form2 = std::make_unique<TForm2>(*dm);
        picker = std::make_unique<TDosSperm>(*dm);
        form2->setCataloguePicker(picker.get());
        tools = std::make_unique<TTools>();
        ASSERT_TRUE(dm->Maincon.open(address.isEmpty() ? dir.filePath("Data.db") : address))
            << dm->Maincon.technicalError().toStdString();
        if (!catalogue.isEmpty()) {
            const catalogue::ImportResult r = catalogue::importCatalogueCsv(dm->Maincon.database(), catalogue);
            ASSERT_TRUE(r.ok()) << r.error.toStdString();
        }
        ASSERT_TRUE(dm->TVascor.open());
        ASSERT_TRUE(dm->TDosSperm.open());
        form1->NewCommand = [this] { newRecord(*form2, showError); };
        form1->EditCommand = [this] { editRecord(*form2, showError); };
        form1->FillTabIt();
    }

    // Stores a record directly, as an earlier session would have.
    void addRecord(const QList<std::pair<QString, QString>>& values) {
        RecordTable& t = dm->TVascor;
        ASSERT_TRUE(t.insert());
        for (const auto& [column, value] : values) t.setValue(column, value);
        ASSERT_TRUE(t.post()) << t.errorText().toStdString();
    }

    QStringList tabs() const {
        QStringList result;
        for (int i = 0; i < form1->TabControl1->count(); ++i) result << form1->TabControl1->tabText(i);
        return result;
    }

    // Fills the three dates OK checks with valid values.
    void fillCheckedDates() {
        form2->DBEdit10->setText(QStringLiteral("1405/09/01"));
        form2->DBEdit44->setText(QStringLiteral("1404/12/01"));
    }

    QTemporaryDir dir;
    QString address;  // of the store, when not a Data.db in `dir`
    MessageRecorder messages;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TDosSperm> picker;
    std::unique_ptr<TTools> tools;
};

}  // namespace zartav::test
