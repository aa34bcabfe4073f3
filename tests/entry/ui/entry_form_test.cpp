#include "date_edges.h"
#include "link_cutter.h"
#include "fixtures.h"
#include "entry_fixture.h"
#include "sql_test_database.h"

#include "data/certificates/certificate_register.h"
#include "data/history/record_history.h"
#include "data/schema/record_schema.h"
#include "dates/date_picker_hook.h"
#include "entry/ui/picture_box.h"
#include "entry/ui/picture_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QSqlDatabase>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

using namespace zartav;
using namespace zartav::test;

namespace {

const QString kPrintDate = QStringLiteral("تاريخ چاپ");
const QString kBirthDate = QStringLiteral("تاريخ تولد");
const QString kServiceDate = QStringLiteral("تاريخ منجر به باروري");
const QString kHerd = QStringLiteral("كد گله");
const QString kCalvingManner = QStringLiteral("چگونگي زايمان");
const QString kCalvingCode = QStringLiteral("كد نحوه زايش");
const QString kSaveFailure = QStringLiteral("خطا در ذخيره سازي اطلاعات ");
const QString kPhotoFailure = QStringLiteral("خطا در ساخت فايل موقت تصوير");

QString photoFile(const char* name) { return test::fixturePath(QStringLiteral("photos/") + QString::fromUtf8(name)); }

void doubleClick(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &release);
    QCoreApplication::sendEvent(w, &dbl);
    QCoreApplication::sendEvent(w, &release);
}

void click(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &release);
}

// A user's pick in a pick list.
void pick(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

class FakeDatePicker final : public DatePicker {
public:
    void setDate(const QString& text) override { presetWith = text; }
    std::optional<QString> pick() override {
        ++picks;
        return answer;
    }
    QString presetWith;
    std::optional<QString> answer;
    int picks = 0;
};

class EntryFormTest : public EntryFixture {};

}  // namespace

TEST_F(EntryFormTest, NewThenOkStoresTheRecordWithTodaysPrintDateAndRebuildsTabs) {
    whenShown(*form2, [this] {
        EXPECT_EQ(form2->DBEdit50->text(), QStringLiteral("1405/09/17"));
        form2->DBEdit1->setText(QStringLiteral("IR-1405-77"));
        form2->DBComboBox5->setEditText(QStringLiteral("120"));
        form2->DBComboBox2->setEditText(QStringLiteral("تهران"));
        form2->DBComboBox8->setCurrentIndex(0);
        fillCheckedDates();
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();

    RecordTable& t = dm->TVascor;
    ASSERT_EQ(t.rowCount(), 1);
    t.first();
    EXPECT_EQ(t.value(kPrintDate), QStringLiteral("1405/09/17"));
    EXPECT_EQ(t.value(QStringLiteral("شماره ثبت")), QStringLiteral("IR-1405-77"));
    EXPECT_EQ(t.value(QStringLiteral("نام استان")), QStringLiteral("تهران"));
    EXPECT_EQ(t.value(QStringLiteral("جنس گوساله")), QStringLiteral("ماده"));
    EXPECT_EQ(t.value(kHerd), QStringLiteral("120"));
    EXPECT_EQ(t.state(), RecordState::Browse);
    EXPECT_EQ(tabs(), QStringList({"همه", "120"}));
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join("|").toStdString();
}

TEST_F(EntryFormTest, CancelAfterNewStoresNothingAndStillRebuildsTabs) {
    addRecord({{kHerd, "7"}});
    form1->TabControl1->removeTab(1);  // stale strip: the rebuild must bring the herd back
    whenShown(*form2, [this] {
        form2->DBComboBox5->setEditText(QStringLiteral("8"));
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
    EXPECT_EQ(dm->TVascor.rowCount(), 1);
    EXPECT_EQ(dm->TVascor.state(), RecordState::Browse);
    EXPECT_EQ(tabs(), QStringList({"همه", "7"}));
}

TEST_F(EntryFormTest, EditOnAnEmptyTableDoesNothing) {
    bool shown = false;
    whenShown(*form2, [&] {
        shown = true;
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items1Click();
    EXPECT_FALSE(shown);
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_EQ(dm->TVascor.state(), RecordState::Browse);
}

TEST_F(EntryFormTest, EditChangesTheCurrentRecordAndItsHerdTabs) {
    // As an import may leave it: no service date.
    addRecord({{kHerd, "7"}, {kBirthDate, "1400/01/01"}, {kPrintDate, "1400/02/02"}});
    form1->FillTabIt();
    whenShown(*form2, [this] {
        EXPECT_EQ(form2->DBEdit10->text(), QStringLiteral("1400/01/01"));
        EXPECT_EQ(form2->DBEdit50->text(), QStringLiteral("1400/02/02"));  // not restamped
        form2->DBComboBox5->setEditText(QStringLiteral("9"));
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items1Click();
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join("|").toStdString();
    dm->TVascor.first();
    EXPECT_EQ(dm->TVascor.value(kHerd), QStringLiteral("9"));
    EXPECT_EQ(dm->TVascor.value(kPrintDate), QStringLiteral("1400/02/02"));
    EXPECT_EQ(tabs(), QStringList({"همه", "9"}));  // herd 7 had no other record
}

// Another desk saves while this one types: the list behind the form shows it, for New and Edit.
TEST_F(EntryFormTest, TheListBehindAnOpenFormShowsAnotherDesksChanges) {
    addRecord({{kHerd, "7"}, {kBirthDate, "1400/01/01"}, {kPrintDate, "1400/02/02"}});
    TDM other;
    ASSERT_TRUE(other.Maincon.open(dir.filePath("Data.db")) && other.TVascor.open());
    for (const bool isNew : {true, false}) {
        SCOPED_TRACE(isNew ? "new" : "edit");
        const int before = dm->TVascor.rowCount();
        int shown = 0;
        whenShown(*form2, [&] {
            ASSERT_TRUE(other.TVascor.insert());
            other.TVascor.setValue(kHerd, QStringLiteral("8"));
            ASSERT_TRUE(other.TVascor.post()) << other.TVascor.errorText().toStdString();
            emit dm->Maincon.changedElsewhere();
            EXPECT_TRUE(QTest::qWaitFor([&] { return dm->TVascor.rowCount() > before; }, 5000));
            shown = dm->TVascor.rowCount();
            form2->dxButton2->click();
        });
        if (isNew) form1->dxWinXPBar1Items0Click();
        else form1->dxWinXPBar1Items1Click();
        EXPECT_EQ(shown, before + 1);
    }
}

TEST_F(EntryFormTest, FailedSaveCancelsAndShowsTheMessage) {
    addRecord({{kHerd, "7"}, {kBirthDate, "1400/01/01"}, {kServiceDate, "1399/04/01"}, {kPrintDate, "1400/02/02"}});
    // The database refuses every save from here on.
    QSqlQuery q(dm->Maincon.database());
    ASSERT_TRUE(q.exec("CREATE TRIGGER refuse_insert BEFORE INSERT ON VaskorTemp BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    ASSERT_TRUE(q.exec("CREATE TRIGGER refuse_update BEFORE UPDATE ON VaskorTemp BEGIN SELECT RAISE(ABORT, 'refused'); END"));

    for (const bool isNew : {true, false}) {
        SCOPED_TRACE(isNew ? "new" : "edit");
        messages.clear();
        whenShown(*form2, [this] {
            form2->DBComboBox5->setEditText(QStringLiteral("8"));
            fillCheckedDates();
            form2->reasonBox->setText(QStringLiteral("كد گله"));
            form2->dxButton1->click();
        });
        if (isNew) form1->dxWinXPBar1Items0Click();
        else form1->dxWinXPBar1Items1Click();
        ASSERT_EQ(messages.boxes().size(), 1);
        EXPECT_EQ(messages.boxes()[0].text, kSaveFailure);
        EXPECT_EQ(messages.boxes()[0].icon, MessageIcon::Critical);  // a failure, not news
        EXPECT_EQ(dm->TVascor.state(), RecordState::Browse);
        EXPECT_EQ(dm->TVascor.rowCount(), 1);
        dm->TVascor.first();
        EXPECT_EQ(dm->TVascor.value(kHerd), QStringLiteral("7"));
    }
}

// Real faults under a save from the form: the disk is full, or another program holds the
// database. The user sees the Farsi save-failure box, the stored records stay as they were, and
// once the fault is gone the next save works on the same connection.
TEST_F(EntryFormTest, ASaveThatMeetsAFaultShowsTheMessageAndTheProgramGoesOn) {
    addRecord({{kHerd, "7"}, {kBirthDate, "1400/01/01"}, {kServiceDate, "1399/04/01"}, {kPrintDate, "1400/02/02"}});
    const QString path = dir.filePath("Data.db");
    const struct {
        const char* fault;
        std::function<void()> begin;
        std::function<void()> end;
    } cases[] = {
        {"disk full",
         [this] {
             QSqlQuery q(dm->Maincon.database());
             ASSERT_TRUE(q.exec("PRAGMA page_count") && q.next());
             const qint64 pages = q.value(0).toLongLong();
             ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
         },
         [this] { QSqlQuery(dm->Maincon.database()).exec("PRAGMA max_page_count = 1073741823"); }},
        {"database held by another program",
         [path] {
             QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
             other.setDatabaseName(path);
             ASSERT_TRUE(other.open());
             ASSERT_TRUE(QSqlQuery(other).exec("BEGIN EXCLUSIVE"));
         },
         [] {
             {
                 QSqlDatabase other = QSqlDatabase::database(QStringLiteral("other"));
                 QSqlQuery(other).exec("ROLLBACK");
                 other.close();
             }
             QSqlDatabase::removeDatabase(QStringLiteral("other"));
         }},
    };
    int stored = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        auto saveNew = [this](const QByteArray& photo) {
            whenShown(*form2, [this, photo] {
                form2->DBComboBox5->setEditText(QStringLiteral("8"));
                fillCheckedDates();
                dm->TVascor.setPhoto(QStringLiteral("عكس 1"), photo);
                form2->dxButton1->click();
            });
            form1->dxWinXPBar1Items0Click();
        };
        c.begin();
        messages.clear();
        saveNew(QByteArray(256 * 1024, 'p'));  // bigger than any free room in the file
        c.end();
        ASSERT_EQ(messages.boxes().size(), 1);
        EXPECT_EQ(messages.boxes()[0].text, kSaveFailure);
        EXPECT_EQ(dm->TVascor.state(), RecordState::Browse);
        ASSERT_EQ(dm->TVascor.rowCount(), stored);
        dm->TVascor.first();
        EXPECT_EQ(dm->TVascor.value(kHerd), QStringLiteral("7"));

        messages.clear();
        saveNew(QByteArray(1024, 'p'));
        EXPECT_TRUE(messages.boxes().isEmpty());
        EXPECT_EQ(dm->TVascor.rowCount(), ++stored);
    }
}

TEST_F(EntryFormTest, EachCalvingMannerGivesItsCode) {
    whenShown(*form2, [this] {
        const QStringList items = TForm2::calvingMannerItems();
        ASSERT_EQ(form2->DBComboBox14->count(), 5);
        EXPECT_FALSE(form2->DBComboBox14->isEditable());
        EXPECT_FALSE(form2->DBEdit48->isEnabled());
        for (int i = 0; i < items.size(); ++i) {
            pick(form2->DBComboBox14, i);
            EXPECT_EQ(dm->TVascor.value(kCalvingManner), items[i]);
            EXPECT_EQ(dm->TVascor.value(kCalvingCode), QString::number(i + 1));
            EXPECT_EQ(form2->DBEdit48->text(), QString::number(i + 1));
        }
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
}

TEST_F(EntryFormTest, UnknownStoredCalvingMannerOpensEmptyAndKeepsItsCode) {
    addRecord({{kCalvingManner, "نامعلوم"}, {kCalvingCode, "9"}});
    whenShown(*form2, [this] {
        EXPECT_EQ(form2->DBComboBox14->currentIndex(), -1);
        EXPECT_EQ(form2->DBEdit48->text(), QStringLiteral("9"));
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items1Click();
}

TEST_F(EntryFormTest, CataloguePickWritesTheFourSireColumns) {
    whenShown(*form2, [this] {
        form2->DBEdit20->setText(QStringLiteral("75"));
        form2->DBEdit17->setText(QStringLiteral("typed"));
        // Cancelling the picker leaves the sire as typed.
        whenShown(*picker, [this] {
            picker->Edit1->setText(QStringLiteral("CAN"));
            picker->dxButton1->click();
        });
        form2->dxToolButton1->click();
        EXPECT_EQ(form2->DBEdit20->text(), QStringLiteral("75"));
        EXPECT_EQ(form2->DBEdit17->text(), QStringLiteral("typed"));

        whenShown(*picker, [this] {
            EXPECT_EQ(picker->Edit1->text(), QStringLiteral("CAN"));  // kept from the last showing
            picker->dxButton2->click();
        });
        form2->dxToolButton1->click();
        EXPECT_EQ(form2->DBEdit17->text(), QStringLiteral("Bravo"));
        EXPECT_EQ(form2->DBEdit18->text(), QStringLiteral("IR200"));
        EXPECT_EQ(form2->DBEdit19->text(), QStringLiteral("CAN000222"));
        EXPECT_EQ(form2->DBEdit20->text(), QStringLiteral("100"));
        fillCheckedDates();
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();
    dm->TVascor.first();
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("نام")), QStringLiteral("Bravo"));
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("ثبت داخلي")), QStringLiteral("IR200"));
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("ثبت خارجي")), QStringLiteral("CAN000222"));
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("HFپدر")), QStringLiteral("100"));
}

class EmptyCatalogueTest : public EntryFixture {
protected:
    void SetUp() override { open({}); }
};

TEST_F(EmptyCatalogueTest, ConfirmingGivesHundredAndThreeEmptyColumns) {
    whenShown(*form2, [this] {
        form2->DBEdit17->setText(QStringLiteral("typed"));
        form2->DBEdit18->setText(QStringLiteral("1"));
        form2->DBEdit19->setText(QStringLiteral("2"));
        whenShown(*picker, [this] { picker->dxButton2->click(); });
        form2->dxToolButton1->click();
        EXPECT_EQ(form2->DBEdit20->text(), QStringLiteral("100"));
        for (QLineEdit* box : {form2->DBEdit17, form2->DBEdit18, form2->DBEdit19}) EXPECT_TRUE(box->text().isEmpty());
        EXPECT_TRUE(dm->TVascor.value(QStringLiteral("نام")).isEmpty());
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
}

TEST_F(EntryFormTest, OkWithEmptyBirthDateIsRefusedWithFocusThere) {
    bool stillOpen = false;
    whenShown(*form2, [&] {
        form2->DBEdit44->setText(QStringLiteral("not a date"));
        form2->dxButton1->click();
        stillOpen = form2->isVisible();
        EXPECT_EQ(form2->focusWidget(), form2->DBEdit10);
        EXPECT_EQ(messages.boxes().size(), 1);  // the service date is not looked at
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(dm->TVascor.rowCount(), 0);
}

// A refused date names its field in the message box's caption, and its box stays marked until
// it is typed in again.
TEST_F(EntryFormTest, ARefusedDateNamesItsFieldAndMarksItsBox) {
    const struct {
        const char* name;
        QString birth, service, print;
        QLineEdit* TForm2::*box;
        const char* caption;
    } cases[] = {
        {"no birth date", "", "1404/12/01", "1405/09/17", &TForm2::DBEdit10, "پيام - تاريخ تولد"},
        {"a service date of another shape", "1405/09/01", "1404-12-01", "1405/09/17", &TForm2::DBEdit44, "پيام - تاريخ منجر به باروري"},
        {"a print date that never was", "1405/09/01", "1404/12/01", "1404/12/30", &TForm2::DBEdit50, "پيام - تاريخ چاپ"},
    };
    const auto backgroundOf = [](QLineEdit* box) { return box->grab().toImage().pixelColor(4, box->height() / 2); };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        whenShown(*form2, [&] {
            QLineEdit* box = form2.get()->*c.box;
            const QColor unmarked = backgroundOf(box);
            form2->DBEdit10->setText(c.birth);
            form2->DBEdit44->setText(c.service);
            form2->DBEdit50->setText(c.print);
            form2->dxButton1->click();
            ASSERT_TRUE(form2->isVisible());
            ASSERT_EQ(messages.boxes().size(), 1);
            EXPECT_EQ(messages.boxes()[0].caption, QString::fromUtf8(c.caption));
            EXPECT_EQ(form2->focusWidget(), box);
            EXPECT_EQ(backgroundOf(box), TForm2::wrongBoxColour());
            EXPECT_NE(unmarked, TForm2::wrongBoxColour());
            QTest::keyClicks(box, QStringLiteral("1"));
            EXPECT_EQ(backgroundOf(box), unmarked);
            form2->dxButton2->click();
        });
        form1->dxWinXPBar1Items0Click();
        EXPECT_EQ(dm->TVascor.rowCount(), 0);
    }
    EXPECT_EQ(TForm2::wrongBoxColour(), QColor(0xFF, 0xD6, 0xD6));
}

// A list of stored values that cannot be read keeps what it offered, and the form says which.
TEST_F(EntryFormTest, AListThatCannotBeReadKeepsItsItemsAndIsNamed) {
    addRecord({{QStringLiteral("نام استان"), "تهران"}, {kHerd, "7"}});
    form2->FillLists();
    ASSERT_EQ(form2->DBComboBox5->count(), 1);
    messages.clear();
    dm->Maincon.database().close();  // every read fails from here on
    emit dm->Maincon.changedElsewhere();  // and the lists held are let go, as after another desk's save
    form2->FillLists();
    ASSERT_EQ(form2->DBComboBox5->count(), 1);
    EXPECT_EQ(form2->DBComboBox5->itemText(0), QStringLiteral("7"));
    ASSERT_EQ(form2->DBComboBox2->count(), 1);
    EXPECT_EQ(form2->DBComboBox2->itemText(0), QStringLiteral("تهران"));
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes()[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(messages.boxes()[0].text.startsWith(QStringLiteral(
        "فهرست مقدارهاي «كد استان»، «نام استان»، «نام شهرستان»، «نام گاوداري»، «كد گله»، «نام گوساله» از فايل اطلاعات "
        "خوانده نشد؛ آنچه پيش از اين در فهرست بود مانده است.")))
        << messages.boxes()[0].text.toStdString();
}

TEST_F(EntryFormTest, ShortDatesAreCompletedAndInseminationDatesPassUnchecked) {
    whenShown(*form2, [this] {
        form2->DBEdit10->setText(QStringLiteral("1385/1/5"));
        form2->DBEdit44->setText(QStringLiteral("84/4/1"));
        form2->DBEdit50->setText(QStringLiteral("1405/9/7"));
        form2->DBEdit37->setText(QStringLiteral("hello"));
        form2->DBEdit40->setText(QStringLiteral("1385/1/1"));
        form2->DBEdit43->setText(QStringLiteral("1385/13/40"));
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();
    ASSERT_EQ(dm->TVascor.rowCount(), 1);
    dm->TVascor.first();
    const QList<std::pair<QString, QString>> expected = {
        {kBirthDate, "1385/01/05"},       {kServiceDate, "1384/04/01"},     {kPrintDate, "1405/09/07"},
        {"تاريخ  تلقيح 1", "hello"},      {"تاريخ  تلقيح 2", "1385/1/1"},   {"تاريخ  تلقيح 3", "1385/13/40"},
    };
    for (const auto& [column, value] : expected) EXPECT_EQ(dm->TVascor.value(column), value) << column.toStdString();
    EXPECT_TRUE(messages.boxes().isEmpty());
}

TEST_F(EntryFormTest, OkRefusesADayThatNeverOccursAndEditAsksForACorrectOne) {
    int saved = 0;
    for (const DateEdge& edge : kDateEdges) {
        SCOPED_TRACE(edge.date);
        messages.clear();
        whenShown(*form2, [&] {
            fillCheckedDates();
            form2->DBEdit10->setText(QString::fromLatin1(edge.date));
            // A conception 280 days before a real birth date, so that nothing else is said.
            if (exists(edge)) {
                const QStringList d = QString::fromLatin1(edge.date).split('/');
                const calendar::SolarDate c = calendar::fromDayNumber(
                    calendar::toDayNumber({d[0].toInt(), d[1].toInt(), d[2].toInt()}) - 280);
                form2->DBEdit44->setText(QStringLiteral("%1/%2/%3").arg(c.year).arg(c.month).arg(c.day));
            }
            form2->dxButton1->click();
            if (!form2->isVisible()) return;
            EXPECT_EQ(form2->focusWidget(), form2->DBEdit10);
            form2->dxButton2->click();
        });
        form1->dxWinXPBar1Items0Click();
        EXPECT_EQ(messages.texts(), exists(edge) ? QStringList() : QStringList(refusalOf(edge)));
        EXPECT_EQ(dm->TVascor.rowCount(), saved += exists(edge) ? 1 : 0);
        if (exists(edge)) {
            EXPECT_EQ(dm->TVascor.value(kBirthDate), QString::fromLatin1(edge.date));
        }
    }

    // A record stored with such a date by an earlier version opens as it is; OK wants a real day.
    addRecord({{kBirthDate, "1404/12/30"}, {kServiceDate, "1404/03/05"}, {kPrintDate, "1405/01/05"}});
    messages.clear();
    whenShown(*form2, [this] {
        EXPECT_EQ(form2->DBEdit10->text(), QStringLiteral("1404/12/30"));
        form2->reasonBox->setText(QStringLiteral("تاريخ تولد"));
        form2->dxButton1->click();
        EXPECT_TRUE(form2->isVisible());
        form2->DBEdit10->setText(QStringLiteral("1404/12/29"));
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items1Click();
    EXPECT_EQ(messages.texts(), QStringList(refusalOf(kDateEdges[10])));
    EXPECT_EQ(dm->TVascor.value(kBirthDate), QStringLiteral("1404/12/29"));
}

TEST_F(EntryFormTest, AnInvisibleCharacterInANumberIsRefusedNamingItsField) {
    const QString reason = QStringLiteral("نويسه نامرئي دارد (مانند فاصله بي عرض يا نيم فاصله) كه در شماره و كد جايي "
                                          "ندارد و آن را با شماره ديگري يكسان نشان مي دهد؛ آن را پاك كنيد و دوباره بنويسيد");
    // Zero-width space, zero-width non-joiner, right-to-left mark, word joiner, byte order mark, soft hyphen.
    for (const char16_t c : {u'\u200B', u'\u200C', u'\u200F', u'\u2060', u'\uFEFF', u'\u00AD'}) {
        SCOPED_TRACE(int(c));
        messages.clear();
        whenShown(*form2, [&] {
            fillCheckedDates();
            form2->DBEdit1->setText(QStringLiteral("IR98") + QChar(c) + QStringLiteral("123"));
            form2->dxButton1->click();
            EXPECT_TRUE(form2->isVisible());
            EXPECT_EQ(form2->focusWidget(), form2->DBEdit1);
            form2->dxButton2->click();
        });
        form1->dxWinXPBar1Items0Click();
        EXPECT_EQ(messages.texts(), QStringList(QStringLiteral("«شماره ثبت»: ") + reason));
        EXPECT_EQ(dm->TVascor.rowCount(), 0);
    }
}

TEST_F(EntryFormTest, AValueHoldingADirectionControlIsRefusedNamingItsField) {
    const QString reason = QStringLiteral("نويسه نامرئي تغيير جهت متن دارد كه ترتيب نوشته را در چاپ بر هم مي زند؛ "
                                          "آن را پاك كنيد و دوباره بنويسيد");
    const struct {
        const char* box;
        QString value;
        const char* field;
    } cases[] = {
        {"DBEdit1", QStringLiteral("\u202E32100089"), "شماره ثبت"},        // right-to-left override
        {"DBEdit24", QStringLiteral("98\u2066123\u2069"), "ثبت مادر تني"},  // an isolate
        {"DBComboBox6", QStringLiteral("\u202Aستاره"), "نام گوساله"},      // an embedding
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        messages.clear();
        whenShown(*form2, [&] {
            fillCheckedDates();
            QWidget* box = form2->findChild<QWidget*>(QString::fromLatin1(c.box));
            if (auto* line = qobject_cast<QLineEdit*>(box)) line->setText(c.value);
            else qobject_cast<QComboBox*>(box)->setEditText(c.value);
            form2->dxButton1->click();
            EXPECT_TRUE(form2->isVisible());
            EXPECT_TRUE(form2->focusWidget() == box || box->isAncestorOf(form2->focusWidget()));
            form2->dxButton2->click();
        });
        form1->dxWinXPBar1Items0Click();
        EXPECT_EQ(messages.texts(), QStringList(QStringLiteral("«%1»: %2").arg(QString::fromUtf8(c.field), reason)));
        EXPECT_EQ(dm->TVascor.rowCount(), 0);
    }
    // The zero-width non-joiner is part of Persian spelling and stays.
    whenShown(*form2, [this] {
        fillCheckedDates();
        form2->DBComboBox6->setEditText(QStringLiteral("مي\u200Cرود"));
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();
    ASSERT_EQ(dm->TVascor.rowCount(), 1);
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("نام گوساله")), QStringLiteral("مي\u200Cرود"));
}

TEST_F(EntryFormTest, CodesAndNumbersAreStoredInLatinDigitsOnNewAndEdit) {
    addRecord({{kHerd, "1207"}});
    addRecord({{kHerd, "۱۲۰۷"}});  // an earlier version stored what was typed
    whenShown(*form2, [this] {
        QStringList herds;
        for (int i = 0; i < form2->DBComboBox5->count(); ++i) herds << form2->DBComboBox5->itemText(i);
        EXPECT_EQ(herds, QStringList{"1207"});
        fillCheckedDates();
        form2->DBComboBox5->setEditText(QStringLiteral("۱۲۰۷"));
        form2->DBEdit1->setText(QStringLiteral("IR-۹۸۰۰۰۱۲۳"));
        form2->DBEdit8->setText(QStringLiteral("٤٥٦"));  // Arabic-Indic
        form2->DBEdit34->setText(QStringLiteral("۱۲"));
        form2->DBEdit16->setText(QStringLiteral("۳۵"));  // a weight is a quantity, not a code
        form2->DBComboBox6->setEditText(QStringLiteral("ستاره ۲"));
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();
    RecordTable& t = dm->TVascor;
    ASSERT_EQ(t.rowCount(), 3);
    ASSERT_TRUE(t.setCurrentRow(2));
    const QList<std::pair<QString, QString>> stored = {
        {kHerd, "1207"}, {"شماره ثبت", "IR-98000123"}, {"گوش ف", "456"}, {"شماره گل مادر ناتني", "12"},
        {"وزن", "۳۵"},   {"نام گوساله", "ستاره ۲"},
    };
    for (const auto& [column, value] : stored) EXPECT_EQ(t.value(column), value) << column.toStdString();
    EXPECT_EQ(tabs(), QStringList({"همه", "1207"}));

    whenShown(*form2, [this] {
        form2->DBEdit21->setText(QStringLiteral("۷۷"));
        form2->reasonBox->setText(QStringLiteral("بدن مادر تني"));
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items1Click();
    EXPECT_EQ(t.value(QStringLiteral("بدن مادر تني")), QStringLiteral("77"));
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join("|").toStdString();
}

TEST_F(EntryFormTest, ListsOfStoredValuesAreRefilledBeforeEveryShowing) {
    addRecord({{QStringLiteral("نام استان"), "تهران"}, {kHerd, "7"}});
    addRecord({{QStringLiteral("نام استان"), "تهران"}, {kHerd, " "}});
    addRecord({{QStringLiteral("نام استان"), "قم"}});
    auto items = [](QComboBox* c) {
        QStringList r;
        for (int i = 0; i < c->count(); ++i) r << c->itemText(i);
        r.sort();
        return r;
    };
    whenShown(*form2, [&] {
        EXPECT_EQ(items(form2->DBComboBox2), QStringList({"تهران", "قم"}));
        EXPECT_EQ(items(form2->DBComboBox5), QStringList({"7"}));
        EXPECT_EQ(form2->DBComboBox2->currentText(), QString());  // the new record is empty
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
    addRecord({{QStringLiteral("نام استان"), "يزد"}});
    whenShown(*form2, [&] {
        EXPECT_EQ(items(form2->DBComboBox2), QStringList({"تهران", "قم", "يزد"}));
        EXPECT_EQ(form2->DBComboBox2->currentText(), QStringLiteral("يزد"));  // the current record's
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items1Click();
}

TEST_F(EntryFormTest, PhotosAreStoredAsBitmapsAndBadFilesChangeNothing) {
    QStringList offered;
    QStringList chosen;
    form2->OpenPictureDialog1->chooser = [&]() -> std::optional<QString> {
        if (chosen.isEmpty()) return std::nullopt;
        offered << chosen.first();
        return chosen.takeFirst();
    };
    whenShown(*form2, [&] {
        chosen = {photoFile("small-800x500.jpg")};
        form2->dxToolButton2->click();
        EXPECT_TRUE(form2->DBImage1->hasPicture());

        // The three boxes alike: a single click opens nothing, a double-click the file chooser.
        const std::pair<PictureBox*, const char*> boxes[] = {{form2->DBImage1, "small-800x500.jpg"},
                                                             {form2->DBImage2, "exif-orientation-6.jpg"},
                                                             {form2->DBImage3, "wallpaper-3840x2400.jpg"}};
        for (const auto& [box, file] : boxes) {
            SCOPED_TRACE(file);
            chosen = {photoFile(file)};
            const qsizetype before = offered.size();
            click(box);
            EXPECT_EQ(offered.size(), before);
            doubleClick(box);
            EXPECT_EQ(offered.size(), before + 1);
            EXPECT_TRUE(box->hasPicture());
        }

        const QByteArray photo3 = dm->TVascor.photo(QStringLiteral("عكس 3"));
        for (const char* bad : {"icon-32.ico", "truncated.jpg", "not-a-picture.jpg"}) {
            messages.clear();
            chosen = {photoFile(bad)};
            form2->dxToolButton4->click();
            ASSERT_EQ(messages.boxes().size(), 1) << bad;
            EXPECT_EQ(messages.boxes()[0].text, kPhotoFailure);
            EXPECT_EQ(dm->TVascor.photo(QStringLiteral("عكس 3")), photo3);
        }
        messages.clear();
        chosen.clear();  // the user cancels the dialog
        form2->dxToolButton3->click();
        EXPECT_TRUE(messages.boxes().isEmpty());

        fillCheckedDates();
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();
    dm->TVascor.first();
    const QSize sizes[3] = {{800, 500}, {200, 400}, {1600, 1000}};
    for (int i = 0; i < 3; ++i) {
        QImage stored;
        const QByteArray bytes = dm->TVascor.photo(QString::fromUtf8(schema::kPhotoColumns[i]));
        EXPECT_TRUE(bytes.startsWith("BM"));
        ASSERT_TRUE(stored.loadFromData(bytes, "BMP"));
        EXPECT_EQ(stored.size(), sizes[i]);
    }
}

TEST_F(EntryFormTest, DoubleClickOnADateBoxPicksADate) {
    FakeDatePicker datePicker;
    setDatePicker(&datePicker);
    whenShown(*form2, [&] {
        datePicker.answer = QStringLiteral("1400/01/01");
        for (QLineEdit* box : {form2->DBEdit10, form2->DBEdit37, form2->DBEdit40, form2->DBEdit43, form2->DBEdit44,
                               form2->DBEdit50}) {
            doubleClick(box);
            EXPECT_EQ(box->text(), QStringLiteral("1400/01/01")) << box->objectName().toStdString();
        }
        EXPECT_EQ(datePicker.picks, 6);
        datePicker.answer.reset();  // Cancel in the picker leaves the box alone
        form2->DBEdit37->setText(QStringLiteral("1399/1/1"));
        doubleClick(form2->DBEdit37);
        EXPECT_EQ(form2->DBEdit37->text(), QStringLiteral("1399/1/1"));
        doubleClick(form2->DBEdit1);  // not a date box
        EXPECT_EQ(datePicker.picks, 7);
        form2->dxButton2->click();
    });
    form1->dxWinXPBar1Items0Click();
    setDatePicker(nullptr);
}

TEST_F(EntryFormTest, ControlsCarryTheirNamesColumnsCaptionsAndColours) {
    struct Case {
        const char* name;
        const char* column;
        const char* caption;
        QColor colour;  // as the record list colours the column's group; invalid: the normal background
    };
    const QColor none;
    const Case cases[] = {
        {"DBEdit1", "شماره ثبت", "شماره ثبت", QColor(0xE8, 0xFF, 0xF3)},
        {"DBComboBox4", "نام گاوداري", "نام گاوداري ", QColor(0xE8, 0xFF, 0xF3)},
        {"DBEdit13", "HFگوساله", " گوساله%HF ", QColor(0xFF, 0xF5, 0xEC)},
        {"DBEdit16", "وزن", "وزن", QColor(0xFF, 0xF5, 0xEC)},
        {"DBEdit18", "ثبت داخلي", "ثبت داخلي ", QColor(0xF2, 0xF2, 0xFF)},
        {"DBEdit30", "گوش ف مادر ناتني", "گوش فلزي ", QColor(0xFF, 0xFF, 0xF2)},
        {"DBComboBox9", "نوع تلقيح  1", "نوع تلقيح 1", QColor(0xE8, 0xE8, 0xFF)},
        {"DBEdit43", "تاريخ  تلقيح 3", "تاريخ تلقيح 3", QColor(0xE8, 0xE8, 0xFF)},
        {"DBEdit44", "تاريخ منجر به باروري", "تاريخ منجر به باروري", QColor(0xE8, 0xE8, 0xFF)},
        {"DBEdit48", "كد نحوه زايش", "كد نحوه زايش", none},
        {"DBComboBox14", "چگونگي زايمان", "چگونگي زايمان", none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget* box = form2->findChild<QWidget*>(c.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(form2->columnOf(box), QString::fromUtf8(c.column));
        if (c.colour.isValid()) {
            EXPECT_EQ(box->palette().color(QPalette::Base), c.colour);
        }
        QLabel* caption = nullptr;
        for (QLabel* l : form2->findChildren<QLabel*>()) {
            if (l->buddy() == box) caption = l;
        }
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->text(), QString::fromUtf8(c.caption));
    }
    // Every bound column is a real column of the record table, and boxes hold no more than it.
    for (QWidget* box : form2->findChildren<QWidget*>()) {
        const QString column = form2->columnOf(box);
        if (column.isEmpty()) continue;
        EXPECT_GE(RecordTable::columnIndex(column), 0) << column.toStdString();
        if (auto* line = qobject_cast<QLineEdit*>(box)) {
            EXPECT_EQ(line->maxLength(), RecordTable::maxLength());
        }
        if (auto* combo = qobject_cast<QComboBox*>(box); combo && combo->lineEdit()) {
            EXPECT_EQ(combo->lineEdit()->maxLength(), RecordTable::maxLength());
        }
    }
    EXPECT_EQ(form2->dxButton1->text(), QStringLiteral("قبول"));
    EXPECT_EQ(form2->dxButton2->text(), QStringLiteral("انصراف"));
    EXPECT_EQ(form2->dxButton1->size(), QSize(161, 33));
    EXPECT_EQ(form2->layoutDirection(), Qt::RightToLeft);
}

TEST_F(EntryFormTest, TabOrderFollowsTheFormRows) {
    const QStringList order =
        kTypingOrder + QStringList{"DBEdit48", "dxButton1", "dxButton2", "DBImage1", "DBImage2", "DBImage3"};
    QStringList seen;
    QWidget* w = form2->DBEdit1;
    for (int guard = 0; guard < 500 && seen.size() < order.size(); ++guard) {
        QWidget* named = w;
        // An editable list's line edit stands for its list.
        if (!order.contains(named->objectName()) && named->parentWidget() &&
            order.contains(named->parentWidget()->objectName()))
            named = named->parentWidget();
        if (order.contains(named->objectName()) && (seen.isEmpty() || seen.last() != named->objectName()))
            seen << named->objectName();
        w = w->nextInFocusChain();
        if (w == form2->DBEdit1) break;
    }
    EXPECT_EQ(seen, order);

    // The picture boxes are real tab stops: Tab walks from Cancel through the three photos.
    form2->show();
    form2->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form2.get()));
    form2->dxButton2->setFocus();
    for (QWidget* next : std::initializer_list<QWidget*>{form2->DBImage1, form2->DBImage2, form2->DBImage3}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    int asked = 0;
    form2->OpenPictureDialog1->chooser = [&]() -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    };
    QTest::keyClick(form2->DBImage3, Qt::Key_Space);  // the keyboard's way to load a photo
    EXPECT_EQ(asked, 1);
    form2->hide();
}

// A catalogue written elsewhere may hold a longer value than a record column: it is cut to fit
// as it is copied, the user is told once, and everything typed is saved.
TEST_F(EntryFormTest, ALongCatalogueValueIsCutOnceAndTheRecordIsKept) {
    const QString longName = QString(60, QLatin1Char('N'));
    QSqlQuery q(dm->Maincon.database());
    ASSERT_TRUE(q.exec(QStringLiteral("UPDATE DosSperm SET Name_Sp = '%1', RegNo_Sp = '%2' WHERE RegNo_SPF = 'CAN000222'")
                           .arg(longName, QString(55, QLatin1Char('7')))));
    dm->TDosSperm.close();
    ASSERT_TRUE(dm->TDosSperm.open());
    whenShown(*form2, [this] {
        form2->DBEdit1->setText(QStringLiteral("IR-1405-77"));
        whenShown(*picker, [this] {
            picker->Edit1->setText(QStringLiteral("CAN"));
            picker->dxButton2->click();
        });
        form2->dxToolButton1->click();
        EXPECT_EQ(form2->DBEdit17->text(), QString(50, QLatin1Char('N')));
        EXPECT_EQ(messages.texts(),
                  QStringList{QStringLiteral("اطلاعات اين گاو در كاتالوگ از 50 حرف بلندتر است؛ "
                                             "فقط 50 حرف اول آن در شناسنامه ثبت مي شود.")});
        fillCheckedDates();
        form2->dxButton1->click();
    });
    form1->dxWinXPBar1Items0Click();
    // No save failure; the domestic number as cut to fit is no bull's, which the checks say.
    ASSERT_EQ(messages.boxes().size(), 2);
    EXPECT_TRUE(messages.boxes()[1].text.contains(QStringLiteral("«%1»").arg(QString(50, QLatin1Char('7')))));
    ASSERT_EQ(dm->TVascor.rowCount(), 1);
    dm->TVascor.first();
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("شماره ثبت")), QStringLiteral("IR-1405-77"));
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("نام")), QString(50, QLatin1Char('N')));
    EXPECT_EQ(dm->TVascor.value(QStringLiteral("ثبت داخلي")), QString(50, QLatin1Char('7')));
}

// Another desk saved the record while this desk had it open: the form stays open over a
// question; the user keeps their version, reads the record again, or goes back to the form.
TEST_F(EntryFormTest, ARecordChangedAtAnotherDeskAsksBeforeItIsSaved) {
    const QString farm = QStringLiteral("نام گاوداري");
    struct Case {
        const char* name;
        int answer;  // -1: the box closed through its title bar
        QString stored;
    };
    const Case cases[] = {
        {"keep mine", 0, "mine"}, {"read again, then OK", 1, "other desk"}, {"back to the form, then cancel", 2, "other desk"},
        {"closed, then cancel", -1, "other desk"},
    };
    TDM other;
    ASSERT_TRUE(other.Maincon.open(dir.filePath("Data.db")));
    ASSERT_TRUE(other.TVascor.open());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        addRecord({{farm, "first"}, {kHerd, "7"}, {kBirthDate, "1400/01/01"}, {kServiceDate, "1399/04/01"},
                   {kPrintDate, "1400/02/02"}});
        const qint64 id = dm->TVascor.id();
        other.TVascor.refresh();
        messages.clear();
        whenShown(*form2, [&] {
            form2->DBComboBox4->setEditText(QStringLiteral("mine"));
            ASSERT_TRUE(other.TVascor.locateId(id));
            ASSERT_TRUE(other.TVascor.edit());
            other.TVascor.setValue(farm, QStringLiteral("other desk"));
            other.TVascor.setChangeReason(QStringLiteral("نام گاوداري"));
            ASSERT_TRUE(other.TVascor.post());
            form2->reasonBox->setText(QStringLiteral("نام گاوداري"));
            messages.answerNext(c.answer);
            form2->dxButton1->click();
            ASSERT_EQ(messages.boxes().size(), 1);
            EXPECT_EQ(messages.boxes()[0].text, changedElsewhereText());
            EXPECT_EQ(messages.boxes()[0].buttons,
                      QStringList({"ذخيره نسخه من", "خواندن دوباره", "بازگشت به فرم"}));
            if (c.answer == 0) {
                EXPECT_FALSE(form2->isVisible());
                return;
            }
            ASSERT_TRUE(form2->isVisible());
            EXPECT_EQ(form2->DBComboBox4->currentText(), c.answer == 1 ? "other desk" : "mine");
            (c.answer == 1 ? form2->dxButton1 : form2->dxButton2)->click();
        });
        form1->dxWinXPBar1Items1Click();
        EXPECT_FALSE(form2->isVisible());
        EXPECT_EQ(dm->TVascor.state(), RecordState::Browse);
        ASSERT_TRUE(dm->TVascor.locateId(id));
        EXPECT_EQ(dm->TVascor.value(farm), c.stored);
        EXPECT_EQ(messages.boxes().size(), 1) << messages.texts().join("|").toStdString();
    }
}

namespace {

// On the server, through a relay that can lose an answer on its way back.
class ServerEntryTest : public EntryFixture {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(server, test::Engine::PostgreSQL, true);
        const QString port = qEnvironmentVariable("ZARTAV_PG_PORT");
        cutter = std::make_unique<test::LinkCutter>(qEnvironmentVariable("ZARTAV_PG_HOST"), port.toUShort());
        ASSERT_NE(cutter->port(), 0);
        // In clear, so the relay can see the commit go by.
        address = server->addressFor({}, QStringLiteral("sslmode=disable"));
        address.replace(QLatin1Char(':') + port + QLatin1Char('/'), QStringLiteral(":%1/").arg(cutter->port()));
        open(kCatalogueCsv);
    }
    // Nobody may connect to the store's database (and whoever is connected is dropped), or
    // everybody may again.
    void shutOut(bool out) {
        const QString database = server->databaseName();
        QStringList statements{
            QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS %2").arg(database, out ? "false" : "true")};
        if (out)
            statements << QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '%1'")
                              .arg(database);
        ASSERT_TRUE(test::serverAdminExec(statements).isEmpty());
    }

    std::unique_ptr<test::TestStore> server;
    std::unique_ptr<test::LinkCutter> cutter;
};

}  // namespace

// The first OK fails with the server: out of reach, or its answer to the commit lost. The form
// keeps everything typed, and the next OK saves the record once, never warning that its "شماره
// ثبت" is taken by the record the first OK made.
TEST_F(ServerEntryTest, AFailedOkKeepsTheFormAndTheNextOkSavesTheRecordOnce) {
    server->closeSide();
    const struct {
        const char* name;
        const char* number;
        std::function<void()> fail, mend;
        bool toldUnreachable;
    } cases[] = {
        {"out of reach", "IR-77", [&] { shutOut(true); }, [&] { shutOut(false); }, true},
        {"the commit's answer lost", "IR-78", [&] { cutter->cutAnswerAfter("COMMIT"); }, [] {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        int oks = 0;
        whenShown(*form2, [&] {
            form2->DBEdit1->setText(QString::fromLatin1(c.number));
            form2->DBComboBox5->setEditText(QStringLiteral("120"));
            fillCheckedDates();
            c.fail();
            form2->dxButton1->click();
            ++oks;
            ASSERT_TRUE(form2->isVisible());
            ASSERT_EQ(messages.boxes().size(), 1);
            if (c.toldUnreachable) {
                EXPECT_EQ(messages.boxes()[0].text, unreachableText(dm->Maincon.displayName()));
            }
            EXPECT_EQ(messages.boxes()[0].icon, MessageIcon::Critical);
            EXPECT_TRUE(messages.boxes()[0].text.startsWith(QStringLiteral("خطا در ذخيره سازي اطلاعات ")));
            EXPECT_EQ(form2->DBEdit1->text(), QString::fromLatin1(c.number));
            c.mend();
            form2->dxButton1->click();
            ++oks;
            EXPECT_FALSE(form2->isVisible());
        });
        form1->dxWinXPBar1Items0Click();
        EXPECT_EQ(oks, 2);
        EXPECT_EQ(messages.boxes().size(), 1) << messages.texts().join("|").toStdString();
        EXPECT_EQ(server->scalar(QStringLiteral("SELECT count(*) FROM \"VaskorTemp\" WHERE \"شماره ثبت\" = '%1'")
                                     .arg(QString::fromLatin1(c.number)))
                      .toInt(),
                  1);
        EXPECT_EQ(tabs(), QStringList({"همه", "120"}));
    }
}

namespace {

class EngineEntryTest : public EntryFixture, public testing::WithParamInterface<test::Engine> {
protected:
    void SetUp() override {
        ZARTAV_REQUIRE_STORE(store, GetParam(), true);
        address = store->address();
        open(kCatalogueCsv);
    }
    std::unique_ptr<test::TestStore> store;
};

}  // namespace

// A record whose certificate the register holds is corrected with a reason, which its history
// keeps. The print date New fills in asks for none, nor does an issued record left as it was.
TEST_P(EngineEntryTest, EditAsksForTheReasonOnlyOfAnIssuedRecordThatChanged) {
    struct Case {
        const char* name;
        bool issued;
        QString herd;  // typed over the stored 7
        QString reason;
        bool saves;
    };
    const QList<Case> cases = {
        {"printed but never issued, no reason", false, QStringLiteral("9"), {}, true},
        {"issued, no reason", true, QStringLiteral("9"), {}, false},
        {"issued, blanks", true, QStringLiteral("9"), QStringLiteral("  "), false},
        {"issued, a reason", true, QStringLiteral("9"), QStringLiteral("شماره گوش اشتباه بود"), true},
        {"issued, nothing changed", true, QStringLiteral("7"), {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        addRecord({{kHerd, "7"}, {kBirthDate, "1400/01/01"}, {kServiceDate, "1399/04/01"}, {kPrintDate, "1405/09/01"}});
        const qint64 id = dm->TVascor.id();
        if (c.issued) {
            QSqlDatabase db = dm->Maincon.database();
            ASSERT_TRUE(certificates::issue(db, {{id, QByteArray(32, 'c'), QStringLiteral("R"), QStringLiteral("owner"),
                                                  QStringLiteral("desk"), QString()}}));
        }
        messages.clear();
        bool stayed = false;
        whenShown(*form2, [&] {
            EXPECT_TRUE(form2->reasonBox->isVisible());
            form2->DBComboBox5->setEditText(c.herd);
            form2->reasonBox->setText(c.reason);
            form2->dxButton1->click();
            if (!form2->isVisible()) return;
            stayed = true;
            EXPECT_EQ(form2->focusWidget(), form2->reasonBox);
            form2->dxButton2->click();
        });
        form1->dxWinXPBar1Items1Click();
        EXPECT_EQ(stayed, !c.saves);
        EXPECT_EQ(messages.texts(),
                  c.saves ? QStringList() : QStringList(QStringLiteral("گواهي اين ركورد چاپ شده است؛ براي اصلاح آن «علت اصلاح» را بنويسيد.")));
        const std::optional<QList<history::Entry>> entries = history::recordHistory(dm->Maincon.database(), id);
        ASSERT_TRUE(entries && !entries->isEmpty());
        const bool changed = c.saves && c.herd != QStringLiteral("7");
        EXPECT_EQ(entries->first().action, changed ? QStringLiteral("update") : QStringLiteral("insert"));
        if (changed) {
            EXPECT_EQ(entries->first().reason, c.reason.trimmed());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineEntryTest, testing::Values(test::Engine::SQLite, test::Engine::PostgreSQL),
                         test::engineName);
