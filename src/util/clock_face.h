#pragma once

#include <QColor>
#include <QImage>
#include <QLine>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QTime>

class QPainter;

// The analog clock's arithmetic and drawing, apart from the widget that runs it.
namespace zartav::clock {

// The offsets are kept as remainders that keep the sign of the value given (-13 h → -1).
int hourRemainder(int hours);
int minuteRemainder(int minutes);

// Local time moved by the offsets. The hour may pass 23: it is only used modulo 12 and in
// comparisons; a negative sum wraps once by a day.
struct ShiftedTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};
ShiftedTime shiftTime(QTime time, int difHour, int difMinute);

// Radians clockwise from 12 o'clock.
double minuteAngle(int value);
double hourAngle(int hour, int minute);
QPoint pointAt(QPoint centre, double angle, double distance);

struct Geometry {
    QPoint centre;
    int radius = 0;    // length of a full-length hand
    int tickSize = 0;
};
Geometry geometryFor(QSize size);

// The twelve tick squares, as inclusive corner-to-corner rectangles, 12 o'clock first.
QList<QRect> tickMarks(const Geometry& geometry);

struct Hand {
    QLine line;
    int width = 1;
};
// Second (if shown), minute and hour hand, in drawing order.
QList<Hand> hands(const Geometry& geometry, const ShiftedTime& time, bool secondHand);

// What a timer tick raises, from the shifted present and previous times.
struct TickEvents {
    bool second = true;
    bool minute = false;
    bool hour = false;
    bool redraw = false;
};
TickEvents tickEvents(const ShiftedTime& now, const ShiftedTime& previous, bool secondHand);

struct Colors {
    QColor face;
    QColor hands = Qt::black;
    QColor highlight = Qt::white;
    QColor shadow = Qt::gray;
};

// The face with its raised tick outlines, drawn once per repaint and cached.
QImage renderFace(QSize size, const Colors& colors);
// The cached face with the hands on top.
QImage composeClock(const QImage& face, const Colors& colors, const ShiftedTime& time,
                    bool secondHand);

}  // namespace zartav::clock
