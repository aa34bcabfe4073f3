#include "app/message_board_form.h"
#include "util/about_text.h"
#include "util/dialog_services.h"
#include "util/ui/program_fonts.h"
#include "util/ui/tclock.h"
#include "util/ui/widget_message_sink.h"
#include "util/world_clock_services.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace zartav;

namespace {

// Runs `action` on the modal window once it is up (the box runs its own loop meanwhile).
void whenModal(std::function<void(QWidget*)> action) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start();
}

void keyClick(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

struct SinkGuard {
    WidgetMessageSink sink;
    SinkGuard() { setMessageSink(&sink); }
    ~SinkGuard() { setMessageSink(nullptr); }
};

}  // namespace

TEST(MessageBoardForm, AboutFillsTwentyRowsAndEnablesButtons) {
    TMessageBoardForm form;
    EXPECT_EQ(&messageBoard(), static_cast<MessageBoard*>(&form));
    form.StartRecording(true, kAboutCaption);
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.dxButton1->isEnabled());
    EXPECT_FALSE(form.dxButton2->isEnabled());
    form.reject();  // Escape while recording keeps the window
    EXPECT_TRUE(form.isVisible());
    for (const BoardPost& p : aboutPosts()) form.PostThisMessage(p.key, p.value);
    EXPECT_TRUE(form.Label1->text().isEmpty());
    form.StopRecording();
    EXPECT_EQ(form.MessageList->topLevelItemCount(), 20);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("تعداد سطر : 20"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("درباره..."));
    EXPECT_EQ(form.MessageList->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(form.MessageList->topLevelItem(8)->text(0), QStringLiteral("...."));
    EXPECT_EQ(form.MessageList->columnWidth(0), 188);
    EXPECT_EQ(form.MessageList->columnWidth(1), 357);
    EXPECT_TRUE(form.dxButton2->isEnabled());

    // A second sequence reuses the window and replaces the lines.
    form.StartRecording(false, QStringLiteral("x"));
    form.PostThisMessage(QStringLiteral("a"), QStringLiteral("b"));
    form.StopRecording();
    EXPECT_EQ(form.MessageList->topLevelItemCount(), 1);
    EXPECT_EQ(form.MessageList->layoutDirection(), Qt::LeftToRight);

    form.dxButton1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.lines().count(), 1);  // hiding keeps the lines
}

// With the program's fonts every About line shows at once: no scrolling either way.
TEST(MessageBoardForm, AboutShowsAllTwentyLinesWithoutScrolling) {
    installProgramFonts();
    TMessageBoardForm form;
    showAbout(form);
    QApplication::processEvents();
    QTreeWidget* list = form.MessageList;
    ASSERT_EQ(list->topLevelItemCount(), 20);
    int rows = 0;
    for (int i = 0; i < 20; ++i) rows += list->visualItemRect(list->topLevelItem(i)).height();
    EXPECT_LE(rows, list->viewport()->height());
    EXPECT_FALSE(list->verticalScrollBar()->isVisible());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->geometry().size(), QSize(547, 441));
    // A place to look at it: ZARTAV_SCREENS=folder keeps a picture.
    if (const QString folder = qEnvironmentVariable("ZARTAV_SCREENS"); !folder.isEmpty())
        form.grab().save(folder + QStringLiteral("/about-board.png"));
    form.hide();
}

TEST(MessageBoardForm, SaveButtonWritesTheReport) {
    QTemporaryDir dir;
    TMessageBoardForm form;
    QString offered;
    form.setSavePathChooser([&](const QString& suggested) {
        offered = suggested;
        return dir.filePath(QStringLiteral("about"));
    });
    showAbout(form);
    form.dxButton2->click();
    EXPECT_EQ(offered, QStringLiteral("درباره... گروه پرسوگ"));
    QFile file(dir.filePath(QStringLiteral("about.Txt")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("\r\n"), 20);
    EXPECT_TRUE(bytes.startsWith(QByteArray("=\x90\xD1\xE6\xE5 \x81\xD1\xD3\xE6\x90\r\n"))) << bytes.left(20).toHex().toStdString();
}

TEST(MessageBoardForm, WorldClockGoesToTheWindow) {
    TMessageBoardForm form;
    WorldClockServices::setClockForTesting([] { return QTime(12, 0); });
    WorldClockServices().ShowTimes();
    WorldClockServices::setClockForTesting({});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ساعتهاي جهان"));
    EXPECT_GT(form.MessageList->topLevelItemCount(), 50);
    EXPECT_EQ(form.MessageList->topLevelItem(0)->text(0), QStringLiteral("Iran(Tehran)"));
}

TEST(TClockWidget, RunsShiftedAndRaisesEvents) {
    TClock clock;
    EXPECT_EQ(clock.size(), QSize(66, 66));
    EXPECT_TRUE(clock.SecArrow());
    clock.resize(93, 143);
    clock.setClkFaceColor(QColor(0xE1, 0xFF, 0xE1));
    QTime time(10, 4, 59);
    clock.setTimeSource([&] { return time; });
    int seconds = 0, minutes = 0, hours = 0;
    QObject::connect(&clock, &TClock::OnSecond, [&](QObject* sender) { seconds += sender == &clock; });
    QObject::connect(&clock, &TClock::OnMinute, [&](QObject*) { ++minutes; });
    QObject::connect(&clock, &TClock::OnHour, [&](QObject*) { ++hours; });
    clock.tick();  // first tick compares against midnight
    EXPECT_EQ(std::tuple(seconds, minutes, hours), std::tuple(1, 0, 0));
    time = QTime(10, 5, 0);
    clock.tick();
    EXPECT_EQ(std::tuple(seconds, minutes, hours), std::tuple(2, 1, 0));
    time = QTime(10, 59, 59);
    clock.tick();
    time = QTime(11, 0, 0);  // seconds and minutes both go down
    clock.tick();
    EXPECT_EQ(std::tuple(seconds, minutes, hours), std::tuple(4, 2, 1));

    clock.setDifHour(-13);
    EXPECT_EQ(clock.DifHour(), -1);
    clock.setDifMinute(75);
    EXPECT_EQ(clock.DifMinute(), 15);
    const QImage image = clock.currentImage();
    ASSERT_EQ(image.size(), QSize(93, 143));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0xE1, 0xFF, 0xE1));
}

TEST(WidgetSink, QuestionEscapeAnswersNoAndButtonsAreFarsi) {
    SinkGuard guard;
    QStringList captions;
    QString title;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    bool plain = false;
    whenModal([&](QWidget* modal) {
        title = modal->windowTitle();
        direction = modal->layoutDirection();
        for (auto* b : modal->findChildren<QPushButton*>()) captions.append(b->text());
        // A server's words or a file's name may hold markup: the box shows it as written.
        for (const auto* label : modal->findChildren<QLabel*>())
            if (label->text().contains(QLatin1String("<img"))) plain = label->textFormat() == Qt::PlainText;
        keyClick(modal, Qt::Key_Escape);
    });
    DialogServices tools;
    EXPECT_EQ(tools.AskYesNo(QStringLiteral("<img src=x><b>R-1</b> حذف شود؟")), 7);
    EXPECT_TRUE(plain);
    EXPECT_EQ(title, QStringLiteral("سوال"));
    EXPECT_EQ(direction, Qt::RightToLeft);
    captions.sort();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("بله"), QStringLiteral("خير")}));

    whenModal([](QWidget* modal) { keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(tools.AskYesNo(QStringLiteral("؟")), 6);
}

TEST(WidgetSink, InputDialogAsksAgainOnBlanksAndCutsLongValues) {
    SinkGuard guard;
    QStringList seen;
    QSize clientSize;
    std::function<void(QWidget*)> second = [&](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>();
        seen.append(edit->text());
        edit->setText(QStringLiteral("  مقدار "));
        keyClick(edit, Qt::Key_Return);
    };
    whenModal([&](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>();
        clientSize = modal->size();
        seen.append(edit->text());
        edit->setText(QStringLiteral("    "));
        QTimer::singleShot(50, [&] { whenModal(second); });
        keyClick(edit, Qt::Key_Return);
    });
    DialogServices tools;
    QString value(300, QLatin1Char('x'));
    EXPECT_TRUE(tools.InQuery(QStringLiteral("نام را وارد كنيد"), value));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].size(), 255);
    EXPECT_EQ(seen[1], QStringLiteral("    "));  // asked again with the text unchanged
    EXPECT_EQ(value, QStringLiteral("  مقدار "));
    EXPECT_GT(clientSize.width(), 200);

    whenModal([](QWidget* modal) { keyClick(modal, Qt::Key_Escape); });
    QString kept = QStringLiteral("قبلي");
    EXPECT_FALSE(tools.PassInQuery(QStringLiteral("رمز"), kept));
    EXPECT_EQ(kept, QStringLiteral("قبلي"));
}
