#include "util/format_patterns.h"
#include "util/message_board_lines.h"
#include "util/system_report.h"
#include "util/world_clock.h"
#include "util/world_clock_services.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::world_clock;

TEST(WorldClock, ZoneTimeFromTehranClock) {
    struct Case { QTime clock; const char* display; const char* expected; };
    const Case cases[] = {
        {QTime(12, 0), "(GMT+03:30) Tehran", "12:00:00"},
        {QTime(12, 0), "(GMT+04:30) Kabul", "13:00:00"},
        {QTime(12, 0), "(GMT-05:00) Eastern Time (US & Canada)", "03:30:00"},
        {QTime(12, 0), "(GMT+12:00) Auckland, Wellington", "20:30:00"},
        {QTime(1, 0), "(GMT-05:00) Bogota", "16:30:00"},
    };
    for (const auto& c : cases) {
        const auto line = zoneLine({QStringLiteral("X Standard Time"), QString::fromLatin1(c.display)}, c.clock);
        ASSERT_TRUE(line) << c.display;
        EXPECT_EQ(line->value, QString::fromLatin1(c.expected)) << c.display;
    }
}

TEST(WorldClock, LineKeyFormat) {
    const auto line = zoneLine({QStringLiteral("Iran Standard Time"), QStringLiteral("(GMT+03:30) Tehran")},
                               QTime(12, 0));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->key, QStringLiteral("Iran ( Tehran)[+03:30]"));
    // No "Standard Time" in the name: empty name part. No offset: no line.
    EXPECT_EQ(zoneLine({QStringLiteral("UTC-02"), QStringLiteral("(GMT-02:00) Noronha")}, QTime(12, 0))->key,
              QStringLiteral("( Noronha)[-02:00]"));
    EXPECT_FALSE(zoneLine({QStringLiteral("Morocco Standard Time"), QStringLiteral("(GMT) Casablanca")}, QTime(12, 0)));
    EXPECT_FALSE(zoneLine({QStringLiteral("Odd Standard Time"), QString()}, QTime(12, 0)));
}

TEST(WorldClock, LeftOutZonesNeverAppear) {
    for (const char* name : {"GMT Standard Time", "Greenwich Standard Time", " greenland Standard Time",
                             "GTB Standard Time"}) {
        EXPECT_TRUE(isLeftOut(QString::fromLatin1(name))) << name;
        EXPECT_FALSE(zoneLine({QString::fromLatin1(name), QStringLiteral("(GMT+02:00) Athens")}, QTime(12, 0)));
    }
    EXPECT_FALSE(isLeftOut(QStringLiteral("GMT Daylight Time")));  // no "Standard Time": empty part
    EXPECT_FALSE(isLeftOut(QStringLiteral("Iran Standard Time")));
}

TEST(WorldClock, PlatformZonesUnderWindowsNames) {
    const QList<Zone> zones = platformZones(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));
    ASSERT_GT(zones.size(), 50);
    const auto find = [&](const QString& name) {
        return std::find_if(zones.begin(), zones.end(), [&](const Zone& z) { return z.name == name; });
    };
    const auto iran = find(QStringLiteral("Iran Standard Time"));
    ASSERT_NE(iran, zones.end());
    EXPECT_EQ(iran->display, QStringLiteral("(GMT+03:30) Tehran"));
    const auto eastern = find(QStringLiteral("Eastern Standard Time"));
    ASSERT_NE(eastern, zones.end());
    EXPECT_TRUE(eastern->display.startsWith(QStringLiteral("(GMT-05:00) New York"))) << eastern->display.toStdString();
    for (int i = 1; i < zones.size(); ++i)
        EXPECT_LT(zones[i - 1].name.compare(zones[i].name, Qt::CaseInsensitive), 0);
    // Zones the database lists under newer ids than Qt's Windows table knows still appear, and
    // "Etc/" ids, whose sign is the reverse of the offset, name no place.
    const struct {
        const char* name;
        const char* display;
    } known[] = {
        {"India Standard Time", "(GMT+05:30) Calcutta"},
        {"Nepal Standard Time", "(GMT+05:45) Katmandu"},
        {"Dateline Standard Time", "(GMT-12:00)"},
        {"UTC+12", "(GMT+12:00)"},
    };
    for (const auto& k : known) {
        const auto zone = find(QString::fromLatin1(k.name));
        ASSERT_NE(zone, zones.end()) << k.name;
        EXPECT_TRUE(zone->display.startsWith(QString::fromLatin1(k.display))) << zone->display.toStdString();
    }
    for (const Zone& z : zones) EXPECT_FALSE(z.display.mid(z.display.indexOf(')')).contains("GMT")) << z.display.toStdString();

    const QList<BoardPost> posts = worldClockPosts(QTime(12, 0), zones);
    EXPECT_EQ(posts.front().key, QStringLiteral("Iran(Tehran)"));
    EXPECT_EQ(posts.front().value, QStringLiteral("12:00"));
    static const QRegularExpression keyForm(QStringLiteral(R"(^.*\(.*\)\[[+-]\d\d:\d\d\]$)"));
    for (int i = 1; i < posts.size(); ++i) {
        EXPECT_TRUE(keyForm.match(posts[i].key).hasMatch()) << posts[i].key.toStdString();
        for (const char* out : {"GMT ", "Greenwich ", "Greenland ", "GTB "})
            EXPECT_FALSE(posts[i].key.startsWith(QString::fromLatin1(out))) << posts[i].key.toStdString();
    }
    const auto tehran = std::find_if(posts.begin(), posts.end(),
                                     [](const BoardPost& p) { return p.key == QStringLiteral("Iran ( Tehran)[+03:30]"); });
    ASSERT_NE(tehran, posts.end());
    EXPECT_EQ(tehran->value, QStringLiteral("12:00:00"));
}

TEST(WorldClock, ShowTimesFillsTheBoard) {
    HeadlessMessageBoard board;
    setMessageBoard(&board);
    WorldClockServices::setClockForTesting([] { return QTime(12, 0); });
    WorldClockServices().ShowTimes();
    WorldClockServices::setClockForTesting({});
    setMessageBoard(nullptr);
    EXPECT_EQ(board.caption(), QStringLiteral("ساعتهاي جهان"));
    EXPECT_FALSE(board.rightToLeft());
    EXPECT_EQ(board.lines().lines().front(), QStringLiteral("Iran(Tehran)=12:00"));
    EXPECT_TRUE(board.lines().lines().contains(QStringLiteral("Iran ( Tehran)[+03:30]=12:00:00")));
    EXPECT_EQ(board.label(), board.lines().countText());
}

TEST(SystemReport, LinesInOrder) {
    applyProgramFormatPatterns();
    system_report::Facts f;
    f.screenHeight = 768;
    f.screenWidth = 1024;
    f.majorVersion = 6;
    f.minorVersion = 1;
    f.buildNumber = 7601;
    f.platformId = QStringLiteral("2");
    f.keyboardLanguages = {QStringLiteral("Persian"), QStringLiteral("English")};
    f.computerName = QStringLiteral("farm-pc");
    f.memoryLoadPercent = 42;
    f.totalPhysicalKb = 4194304;
    f.totalVirtualKb = 2097024;
    const QList<BoardPost> posts = system_report::reportPosts(f, QStringLiteral("1405/09/17"));
    ASSERT_EQ(posts.size(), 8 + 2 + 8);
    EXPECT_EQ(posts[0].value, QStringLiteral("1405/09/17"));
    EXPECT_EQ(posts[5].key, QStringLiteral("Windows Beuild Number"));
    EXPECT_EQ(posts[7].value, QStringLiteral("Not Detect"));
    EXPECT_EQ(posts[8].key, QStringLiteral("زبان"));
    EXPECT_EQ(posts[10].value, QStringLiteral("farm-pc"));
    EXPECT_EQ(posts[12].value, QStringLiteral("4194304  كيلو بايت  "));
    EXPECT_EQ(posts[17].key, QStringLiteral("فرمت ساعت بلند"));
    EXPECT_EQ(posts[17].value, QStringLiteral("HH:mm:ss"));

    f.volumeSerial = 4294967295u;
    f.keyboardLanguages = QStringList(20, QStringLiteral("L"));
    const QList<BoardPost> many = system_report::reportPosts(f, QString());
    EXPECT_EQ(many[7].value, QStringLiteral("4294967295"));
    EXPECT_EQ(many.size(), 8 + 16 + 8);
}

TEST(SystemReport, CollectsThisComputer) {
    const system_report::Facts f = system_report::collectFacts();
    EXPECT_GT(f.totalPhysicalKb, 0u);
    EXPECT_LE(f.memoryLoadPercent, 100u);
    EXPECT_FALSE(f.computerName.isEmpty());
    EXPECT_FALSE(f.keyboardLanguages.isEmpty());
}

TEST(SystemReport, KeyboardLayoutsByLanguage) {
    EXPECT_EQ(system_report::languagesOfLayouts(QStringLiteral("\"us,ir\"")),
              (QStringList{QStringLiteral("English"), QStringLiteral("Persian")}));
    // One line per layout, not per language.
    EXPECT_EQ(system_report::languagesOfLayouts(QStringLiteral("gb,us")),
              (QStringList{QStringLiteral("English"), QStringLiteral("English")}));
    EXPECT_EQ(system_report::languagesOfLayouts(QStringLiteral("ara")), QStringList{QStringLiteral("Arabic")});
    EXPECT_EQ(system_report::languagesOfLayouts(QString()), QStringList());
}
