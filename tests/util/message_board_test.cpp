#include "message_recorder.h"
#include "util/about_text.h"
#include "util/cp1256.h"
#include "util/message_board_lines.h"
#include "util/program_info.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace zartav;
using zartav::test::MessageRecorder;

TEST(MessageBoardLines, LongValuesSplitIntoSeventyCharacterPieces) {
    struct Case { qsizetype length; QStringList expected; };
    const QString a70(70, QLatin1Char('a'));
    const Case cases[] = {
        {0, {QStringLiteral("k=")}},
        {70, {QStringLiteral("k=") + a70}},
        {71, {QStringLiteral("k=") + a70, QStringLiteral("....=a")}},
        {141, {QStringLiteral("k=") + a70, QStringLiteral("....=") + a70, QStringLiteral("....=a")}},
    };
    for (const auto& c : cases) {
        MessageBoardLines lines;
        lines.post(QStringLiteral("k"), QString(c.length, QLatin1Char('a')));
        EXPECT_EQ(lines.lines(), c.expected) << c.length;
    }
    // Words are not cut: a piece ends after the last blank it holds.
    MessageBoardLines words;
    words.post(QStringLiteral("k"), QString(66, QLatin1Char('a')) + QLatin1Char(' ') + QString(10, QLatin1Char('b')));
    EXPECT_EQ(words.lines(), QStringList({QStringLiteral("k=") + QString(66, QLatin1Char('a')) + QLatin1Char(' '),
                                          QStringLiteral("....=") + QString(10, QLatin1Char('b'))}));
}

TEST(MessageBoardLines, KeyAndValueSplitAtFirstEquals) {
    MessageBoardLines lines;
    lines.post(QString(), QStringLiteral("a=b"));
    EXPECT_EQ(lines.lines().front(), QStringLiteral("=a=b"));
    EXPECT_EQ(MessageBoardLines::keyOf(lines.lines().front()), QString());
    EXPECT_EQ(MessageBoardLines::valueOf(lines.lines().front()), QStringLiteral("a=b"));
}

TEST(MessageBoardLines, SuggestedNameDropsFirstEqualsAndEverySlash) {
    struct Case { QString caption; QString key; QString value; QString expected; };
    const Case cases[] = {
        {kAboutCaption, QString(), QStringLiteral("گروه پرسوگ"), QStringLiteral("درباره... گروه پرسوگ")},
        {QStringLiteral("گزارش/روز"), QStringLiteral("تاريخ"), QStringLiteral("1405/09/17=x"),
         QStringLiteral("گزارشروز تاريخ14050917=x")},
        {QStringLiteral("  c "), QStringLiteral(" k "), QStringLiteral(" v  "), QStringLiteral("c   k  v")},
    };
    for (const auto& c : cases) {
        MessageBoardLines lines;
        lines.post(c.key, c.value);
        EXPECT_EQ(lines.suggestedFileName(c.caption), c.expected);
    }
}

TEST(MessageBoardLines, ReportExtensionIsNotDoubled) {
    EXPECT_EQ(withReportExtension(QStringLiteral("/tmp/a")), QStringLiteral("/tmp/a.Txt"));
    EXPECT_EQ(withReportExtension(QStringLiteral("/tmp/a.Txt")), QStringLiteral("/tmp/a.Txt"));
    EXPECT_EQ(withReportExtension(QStringLiteral("/tmp/a.txt")), QStringLiteral("/tmp/a.txt"));
    EXPECT_EQ(withReportExtension(QStringLiteral("/tmp/a.Txt.bak")), QStringLiteral("/tmp/a.Txt.bak.Txt"));
}

// The office's own details, where its desk has set them, take the contact lines.
TEST(About, TheOfficesDetailsAreItsContacts) {
    HeadlessMessageBoard board;
    showAbout(board, {{QStringLiteral("صادر كننده"), QStringLiteral("اتحاديه دامداران استان مركزي")},
                      {QStringLiteral("تماس"), QStringLiteral("086-32221234")}});
    const QStringList& l = board.lines().lines();
    ASSERT_EQ(l.size(), 20);
    EXPECT_EQ(l[11], QStringLiteral("صادر كننده=اتحاديه دامداران استان مركزي"));
    EXPECT_EQ(l[12], QStringLiteral("تماس=086-32221234"));
    EXPECT_EQ(l[14], QStringLiteral(" = "));
}

TEST(About, TwentyLinesAndCount) {
    HeadlessMessageBoard board;
    showAbout(board);
    EXPECT_EQ(aboutPosts().size(), 18);
    EXPECT_EQ(board.caption(), QStringLiteral("درباره..."));
    EXPECT_TRUE(board.rightToLeft());
    ASSERT_EQ(board.lines().count(), 20);
    EXPECT_EQ(board.label(), QStringLiteral("تعداد سطر : 20"));
    const QStringList& l = board.lines().lines();
    EXPECT_EQ(l[0], QStringLiteral("=گروه پرسوگ"));
    EXPECT_EQ(l[3], QStringLiteral("هدف نرم افزار=چاپ شناسنامه رسمي گاو هلشتاين "));
    EXPECT_EQ(l[4], QStringLiteral("نسخه=") + programVersion());  // as --version says
    EXPECT_TRUE(l[7].startsWith(QStringLiteral("توضيح=")));
    EXPECT_TRUE(l[8].startsWith(QStringLiteral("....=")));
    // The description's lines break between words, and read as one text again.
    EXPECT_TRUE(l[7].endsWith(QLatin1Char(' ')) && l[8].endsWith(QLatin1Char(' '))) << l[7].toStdString();
    EXPECT_EQ(MessageBoardLines::valueOf(l[7]) + MessageBoardLines::valueOf(l[8]) + MessageBoardLines::valueOf(l[9]),
              aboutPosts()[7].value);
    // No contact is made up: not a site, an address or a number of anyone's.
    for (const QString& line : l)
        for (const char* invented : {"example", "@", "021-", "00000"}) EXPECT_FALSE(line.contains(QLatin1String(invented))) << line.toStdString();
    EXPECT_EQ(l[11], QStringLiteral(" = "));
    EXPECT_EQ(l[18], QStringLiteral(" =") + QString(36, QLatin1Char(' ')) + QStringLiteral("با تشكر "));
    EXPECT_EQ(l[19], QStringLiteral("=") + QString(34, QLatin1Char(' ')) + QStringLiteral("گروه پرسوگ"));
    EXPECT_EQ(board.lines().suggestedFileName(board.caption()), QStringLiteral("درباره... گروه پرسوگ"));
}

TEST(SaveMessageBoard, EmptyListWritesNothing) {
    MessageRecorder recorder;
    MessageBoardLines lines;
    bool asked = false;
    EXPECT_FALSE(saveMessageBoard(lines, QStringLiteral("c"), [&](const QString&) {
        asked = true;
        return QStringLiteral("/tmp/never");
    }));
    EXPECT_FALSE(asked);
    EXPECT_EQ(recorder.texts(), QStringList{QStringLiteral("ليست خال است")});
    // The plain box speaks Farsi too: its one button is not an English "OK".
    EXPECT_EQ(recorder.boxes().front().buttons, QStringList{QStringLiteral("تأييد")});
}

TEST(SaveMessageBoard, WritesCp1256WithCrLfAndFoldsPersianLetters) {
    QTemporaryDir dir;
    MessageBoardLines lines;
    lines.post(QStringLiteral("کی"), QStringLiteral("ی۱"));  // Persian yeh and digit have no code
    lines.post(QString(), QStringLiteral("ab"));
    QString suggested;
    QString written;
    ASSERT_TRUE(saveMessageBoard(lines, QStringLiteral("t"), [&](const QString& name) {
        suggested = name;
        return dir.filePath(QStringLiteral("r.Txt"));
    }, &written));
    EXPECT_EQ(suggested, QStringLiteral("t کیی۱"));
    EXPECT_EQ(written, dir.filePath(QStringLiteral("r.Txt")));
    QFile file(written);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("\x98\xED=\xED" "1\r\n=ab\r\n"));
    EXPECT_FALSE(QFile::exists(written + QStringLiteral(".Txt")));

    // Cancelling the dialog writes nothing.
    EXPECT_FALSE(saveMessageBoard(lines, QStringLiteral("t"), [](const QString&) { return QString(); }));
}

TEST(SaveMessageBoard, UnwritablePlaceIsReportedNotSilent) {
    MessageRecorder recorder;
    MessageBoardLines lines;
    lines.post(QStringLiteral("a"), QStringLiteral("b"));
    EXPECT_FALSE(saveMessageBoard(lines, QStringLiteral("c"), [](const QString&) {
        return QStringLiteral("/nonexistent-folder/x/report");
    }));
    ASSERT_EQ(recorder.boxes().size(), 1);
    EXPECT_EQ(recorder.boxes().front().icon, MessageIcon::Critical);
    const QStringList told = recorder.boxes().front().text.split('\n');
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told[0], QStringLiteral("گزارش در فايل \u2068/nonexistent-folder/x/report.Txt\u2069 ذخيره نشد."));
    EXPECT_TRUE(told[1].startsWith(QChar(0x2068))) << told[1].toStdString();
    EXPECT_EQ(lines.count(), 1);
}
