#include "util/clock_face.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace zartav::clock;

TEST(ClockFace, GeometryOfTheMainWindowAndDefaultClocks) {
    const Geometry big = geometryFor(QSize(93, 143));
    EXPECT_EQ(big.centre, QPoint(46, 71));
    EXPECT_EQ(big.tickSize, 6);
    EXPECT_EQ(big.radius, 38);
    const QList<QRect> marks = tickMarks(big);
    ASSERT_EQ(marks.size(), 12);
    EXPECT_EQ(marks[0].topLeft(), QPoint(43, 27));
    EXPECT_EQ(marks[0].bottomRight(), QPoint(49, 33));
    EXPECT_EQ(marks[1].width(), 5);   // (x-2 .. x+2) for the hours between the quarters
    EXPECT_EQ(marks[3].center().y(), 71);  // 3 o'clock level with the centre

    const Geometry small = geometryFor(QSize(66, 66));
    EXPECT_EQ(small.centre, QPoint(33, 33));
    EXPECT_EQ(small.tickSize, 6);
    EXPECT_EQ(small.radius, 25);

    const Geometry large = geometryFor(QSize(400, 400));
    EXPECT_EQ(large.tickSize, 25);
    EXPECT_EQ(large.radius, 200 - 27);
}

TEST(ClockFace, HandLengthsAndWidths) {
    const Geometry g = geometryFor(QSize(93, 143));
    // 00:00:00 all hands point up: lengths 38, 36.1 → 36 and 22.8 → 22.
    const QList<Hand> h = hands(g, {0, 0, 0}, true);
    ASSERT_EQ(h.size(), 3);
    EXPECT_EQ(h[0].line.p2(), QPoint(46, 71 - 38));
    EXPECT_EQ(h[1].line.p2(), QPoint(46, 71 - 36));
    EXPECT_EQ(h[2].line.p2(), QPoint(46, 71 - 22));
    EXPECT_EQ(h[0].width, 1);
    EXPECT_EQ(h[1].width, 3);
    EXPECT_EQ(h[2].width, 6);
    EXPECT_EQ(hands(g, {3, 15, 30}, false).size(), 2);
    // 03:15: minute hand to the right, hour hand a quarter past three.
    const QList<Hand> q = hands(g, {3, 15, 0}, false);
    EXPECT_EQ(q[0].line.p2(), QPoint(46 + 36, 71));
    EXPECT_NEAR(hourAngle(3, 15), 3.25 * 2 * std::numbers::pi / 12, 1e-12);
}

TEST(ClockFace, ShiftedTimeAndRemainders) {
    struct Case { QTime time; int difHour; int difMinute; int hour; int minute; };
    const Case cases[] = {
        {QTime(0, 10), -1, 0, 23, 10},
        {QTime(23, 50), 11, 30, 35, 20},
        {QTime(12, 0, 7), 0, 0, 12, 0},
        {QTime(0, 0), 0, -1, 23, 59},
    };
    for (const auto& c : cases) {
        const ShiftedTime s = shiftTime(c.time, c.difHour, c.difMinute);
        EXPECT_EQ(s.hour, c.hour) << c.time.toString().toStdString();
        EXPECT_EQ(s.minute, c.minute);
        EXPECT_EQ(s.second, c.time.second());
    }
    EXPECT_EQ(hourRemainder(13), 1);
    EXPECT_EQ(hourRemainder(-13), -1);
    EXPECT_EQ(minuteRemainder(75), 15);
    EXPECT_EQ(minuteRemainder(-75), -15);
}

TEST(ClockFace, TickEventRules) {
    struct Case { ShiftedTime now; ShiftedTime prev; bool sec; bool minute; bool hour; bool redraw; };
    const Case cases[] = {
        {{10, 5, 0}, {10, 4, 59}, true, true, false, true},    // seconds wrap
        {{11, 0, 0}, {10, 59, 59}, false, true, true, true},   // minutes wrap too
        {{10, 4, 30}, {10, 4, 29}, false, false, false, false}, // no second hand: still
        {{10, 4, 30}, {0, 0, 0}, true, false, false, true},    // first tick after a repaint
        {{10, 4, 30}, {23, 30, 0}, true, false, true, true},   // offset midnight's minute above now
    };
    for (const auto& c : cases) {
        const TickEvents e = tickEvents(c.now, c.prev, c.sec);
        EXPECT_TRUE(e.second);
        EXPECT_EQ(e.minute, c.minute);
        EXPECT_EQ(e.hour, c.hour);
        EXPECT_EQ(e.redraw, c.redraw);
    }
}

TEST(ClockFace, FaceHasRaisedTickOutlines) {
    Colors colors;
    colors.face = QColor(0xE1, 0xFF, 0xE1);
    const QImage face = renderFace(QSize(93, 143), colors);
    EXPECT_EQ(face.pixelColor(0, 0), colors.face);
    EXPECT_EQ(face.pixelColor(43, 27), colors.highlight);   // top-left corner of 12 o'clock
    EXPECT_EQ(face.pixelColor(48, 32), colors.shadow);      // inner bottom-right
    EXPECT_EQ(face.pixelColor(46, 30), colors.face);        // inside stays face-coloured
    EXPECT_EQ(face.pixelColor(49, 33), colors.face);        // far bounds are left alone
    const QImage clock = composeClock(face, colors, {0, 0, 0}, true);
    EXPECT_EQ(clock.pixelColor(46, 50), QColor(Qt::black)); // the hands cover the centre line
    EXPECT_EQ(face.pixelColor(46, 50), colors.face);        // and never touch the cached face
}
