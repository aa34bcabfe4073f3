// A clerk's day without the mouse: the main window's keys open the form, Enter walks the boxes
// and ends in OK, Escape cancels (asking when something was typed), Enter and a double-click
// choose in the sire picker.
#include "entry_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace zartav;
using namespace zartav::test;

namespace {

const QString kHerd = QStringLiteral("كد گله");

// Where the form's keys go: its focus widget.
QWidget* typing(QWidget& window) { return window.focusWidget(); }

// The box with the keyboard focus; an editable list's text box stands for its list.
QWidget* focusedBox(QWidget& window) {
    QWidget* w = typing(window);
    if (w && qobject_cast<QComboBox*>(w->parentWidget())) return w->parentWidget();
    return w;
}

// A modal window over the main window is the active one, as on a desktop: the keys typed are its.
void activate(QWidget& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// A double-click as the platform delivers it: press, release, double-click, release.
void doubleClick(QWidget* w, QPoint at) {
    const QPointF p(at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                                    QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, p, w->mapToGlobal(p), Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &event);
    }
}

QString nameOf(const QWidget* w) { return w ? w->objectName() : QStringLiteral("(none)"); }

class KeyboardTest : public EntryFixture {
protected:
    void showMainWindow() {
        // Showing the window runs the start-up, which opens the store it is given.
        form1->setStoreAddress(dir.filePath("Data.db"));
        form1->resize(900, 700);
        form1->show();
        form1->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form1.get()));
    }
    // A key on the list that opens the form, and what is done in the form once it shows. The
    // window is active again first, as it is on a desktop once a dialog over it has closed.
    void pressInList(Qt::Key key, const std::function<void()>& inForm) {
        activate(*form1);
        form1->DBGrid1->setFocus();
        whenShown(*form2, [&] {
            activate(*form2);
            inForm();
        });
        QTest::keyClick(form1->DBGrid1, key);
    }
};

}  // namespace

TEST_F(KeyboardTest, NewTypedThroughWithEnterIsSavedAndGetsItsTab) {
    // Enter visits the boxes a clerk types into in tab order (the calving code only shows).
    const QStringList& order = kTypingOrder;
    const QHash<QString, QString> typed = {
        {"DBEdit1", "IR-77"}, {"DBComboBox5", "3300"}, {"DBEdit10", "1405/9/1"}, {"DBEdit44", "1404/12/1"},
    };
    showMainWindow();
    QStringList visited;
    bool closedByEnter = false;
    pressInList(Qt::Key_Insert, [&] {  // New, from the list
        for (const QString& name : order) {
            QWidget* box = focusedBox(*form2);
            visited << nameOf(box);
            if (nameOf(box) != name) return;  // the walk went astray; the failure shows below
            if (typed.contains(name)) QTest::keyClicks(typing(*form2), typed.value(name));
            QTest::keyClick(typing(*form2), Qt::Key_Return);
        }
        closedByEnter = !form2->isVisible();
    });
    EXPECT_EQ(visited.join(" "), order.join(" "));
    EXPECT_TRUE(closedByEnter);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join("|").toStdString();
    RecordTable& t = dm->TVascor;
    ASSERT_EQ(t.rowCount(), 1);
    t.first();
    EXPECT_EQ(t.value(QStringLiteral("شماره ثبت")), QStringLiteral("IR-77"));
    EXPECT_EQ(t.value(kHerd), QStringLiteral("3300"));
    EXPECT_EQ(t.value(QStringLiteral("تاريخ تولد")), QStringLiteral("1405/09/01"));
    EXPECT_EQ(t.value(QStringLiteral("تاريخ چاپ")), QStringLiteral("1405/09/17"));
    EXPECT_EQ(tabs(), QStringList({"همه", "3300"}));

    // Edit from the list with Enter: the first box has the focus, whatever had it last time;
    // the only record of herd 3300 moves to 1207, and the strip follows.
    pressInList(Qt::Key_Return, [&] {
        EXPECT_EQ(nameOf(focusedBox(*form2)), QStringLiteral("DBEdit1"));
        form2->DBComboBox5->setFocus();
        QTest::keyClick(typing(*form2), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(typing(*form2), QStringLiteral("1207"));
        form2->reasonBox->setText(QStringLiteral("گله اشتباه بود"));  // its certificate was printed at New
        form2->dxButton1->setFocus();
        QTest::keyClick(form2->dxButton1, Qt::Key_Return);  // Enter on OK is OK
    });
    EXPECT_FALSE(form2->isVisible());
    t.first();
    EXPECT_EQ(t.value(kHerd), QStringLiteral("1207"));
    EXPECT_EQ(tabs(), QStringList({"همه", "1207"}));
    form1->hide();
}

TEST_F(KeyboardTest, EscapeCancelsAndAsksOnlyWhenSomethingWasTyped) {
    addRecord({{kHerd, "7"}, {QStringLiteral("نام گاوداري"), QStringLiteral("stored")}});
    showMainWindow();
    const struct {
        const char* name;
        const char* type;        // typed into the first box before Escape
        QList<int> answers;      // to the question, one per Escape: 0 "بله", 1 "خير"
        int questions;
    } cases[] = {
        {"nothing typed: no question", "", {}, 0},
        {"typed, yes: dropped", "X", {0}, 1},
        {"typed, no, then yes", "X", {1, 0}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        int stillOpenAfterNo = 0;
        pressInList(Qt::Key_F2, [&] {
            QTest::keyClicks(typing(*form2), QString::fromLatin1(c.type));
            for (const int answer : c.answers) {
                messages.answerNext(answer);
                QTest::keyClick(typing(*form2), Qt::Key_Escape);
                if (answer == 1 && form2->isVisible()) ++stillOpenAfterNo;
            }
            if (c.answers.isEmpty()) QTest::keyClick(typing(*form2), Qt::Key_Escape);
        });
        EXPECT_FALSE(form2->isVisible());
        EXPECT_EQ(stillOpenAfterNo, int(c.answers.count(1)));
        EXPECT_EQ(messages.texts(), QStringList(c.questions, TForm2::dropTypedQuestion()));
        dm->TVascor.first();
        EXPECT_EQ(dm->TVascor.value(QStringLiteral("شماره ثبت")), QString());  // nothing saved
        EXPECT_EQ(dm->TVascor.state(), RecordState::Browse);
    }
    EXPECT_EQ(TForm2::dropTypedQuestion(), QStringLiteral("آنچه در اين فرم نوشته ايد ذخيره نمي شود. فرم بسته شود؟"));
    form1->hide();
}

TEST_F(KeyboardTest, EnterAndDoubleClickChooseInThePickerAndEscapeCancels) {
    const struct {
        const char* name;
        std::function<void()> act;
        int result;
        const char* bull;  // current after it
    } cases[] = {
        {"type the start, Enter", [this] {
             QTest::keyClicks(picker->Edit1, QStringLiteral("CAN"));
             // A place to look at it: ZARTAV_SCREENS=folder keeps a picture.
             if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty())
                 picker->grab().save(folder + QStringLiteral("/picker-before-enter.png"));
             QTest::keyClick(picker->Edit1, Qt::Key_Return);
         }, TDosSperm::kOk, "Bravo"},
        {"arrow down from the search box, keypad Enter", [this] {
             picker->Edit1->clear();
             QTest::keyClick(picker->Edit1, Qt::Key_Down);
             QTest::keyClick(picker->Edit1, Qt::Key_Enter, Qt::KeypadModifier);
         }, TDosSperm::kOk, "Bravo"},
        {"double-click a row", [this] {
             QTableView* grid = picker->DBGrid1;
             const QRect cell = grid->visualRect(grid->model()->index(2, 0));
             doubleClick(grid->viewport(), cell.center());
         }, TDosSperm::kOk, "Charlie"},
        {"Escape", [this] {
             picker->Edit1->setText(QStringLiteral("USA000111"));
             QTest::keyClick(picker->Edit1, Qt::Key_Escape);
         }, TDosSperm::kCancel, "Alpha"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        whenShown(*picker, [&] {
            activate(*picker);
            c.act();
        });
        const int result = picker->exec();
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(dm->TDosSperm.value(QStringLiteral("Name_Sp")), QString::fromLatin1(c.bull));
    }
}

// F4 or Alt+Down in a sire's box opens the catalogue, as a list box opens its list; elsewhere
// they do not.
TEST_F(KeyboardTest, F4OrAltDownInASiresBoxOpensThePicker) {
    const struct {
        const char* name;
        QLineEdit* TForm2::*box;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool opens;
    } cases[] = {
        {"F4 in the sire's name", &TForm2::DBEdit17, Qt::Key_F4, Qt::NoModifier, true},
        {"Alt+Down in the foreign number", &TForm2::DBEdit19, Qt::Key_Down, Qt::AltModifier, true},
        {"F4 in the sire's HF", &TForm2::DBEdit20, Qt::Key_F4, Qt::NoModifier, true},
        {"F4 in the weight", &TForm2::DBEdit16, Qt::Key_F4, Qt::NoModifier, false},
        {"Down alone in the sire's name", &TForm2::DBEdit17, Qt::Key_Down, Qt::NoModifier, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool opened = false;
        whenShown(*form2, [&] {
            activate(*form2);
            QLineEdit* box = form2.get()->*c.box;
            box->setFocus();
            QTimer::singleShot(0, picker.get(), [&] {
                opened = picker->isVisible();
                picker->dxButton2->click();  // OK: the current bull, Alpha
            });
            QTest::keyClick(box, c.key, c.modifiers);
            QCoreApplication::processEvents();
            form2->dxButton2->click();
        });
        form1->dxWinXPBar1Items0Click();
        EXPECT_EQ(opened, c.opens);
    }
}
