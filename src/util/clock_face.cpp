#include "util/clock_face.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace zartav::clock {

int hourRemainder(int hours) { return hours % 12; }
int minuteRemainder(int minutes) { return minutes % 60; }

ShiftedTime shiftTime(QTime time, int difHour, int difMinute) {
    const int h = time.isValid() ? time.hour() : 0;
    const int m = time.isValid() ? time.minute() : 0;
    const int s = time.isValid() ? time.second() : 0;
    int t = h * 60 + m + difHour * 60 + difMinute;
    if (t < 0) t += 1440;
    return {t / 60, t % 60, s};
}

double minuteAngle(int value) {
    const long double a = static_cast<long double>(value) * 2.0L * std::numbers::pi_v<long double> / 60.0L;
    return static_cast<double>(a);
}

double hourAngle(int hour, int minute) {
    constexpr long double pi = std::numbers::pi_v<long double>;
    const long double a = (static_cast<long double>(minute) * 2.0L * pi / 60.0L) / 12.0L +
                          (static_cast<long double>(hour % 12) * 2.0L) * pi / 12.0L;
    return static_cast<double>(a);
}

QPoint pointAt(QPoint centre, double angle, double distance) {
    return {centre.x() + static_cast<int>(std::trunc(std::sin(angle) * distance)),
            centre.y() + static_cast<int>(std::trunc(-std::cos(angle) * distance))};
}

Geometry geometryFor(QSize size) {
    Geometry g;
    g.centre = QPoint(size.width() / 2, size.height() / 2);
    const int radius = std::min(g.centre.x(), g.centre.y());
    g.tickSize = std::max(radius / 8, 6);
    g.radius = radius - (g.tickSize + 2);
    return g;
}

QList<QRect> tickMarks(const Geometry& g) {
    QList<QRect> marks;
    const int half = g.tickSize / 2;
    for (int v = 0; v < 60; v += 5) {
        const QPoint p = pointAt(g.centre, minuteAngle(v), g.radius + half);
        const int r = (v % 15 == 0) ? half : 2;  // the quarters get the larger squares
        marks.append(QRect(QPoint(p.x() - r, p.y() - r), QPoint(p.x() + r, p.y() + r)));
    }
    return marks;
}

QList<Hand> hands(const Geometry& g, const ShiftedTime& t, bool secondHand) {
    QList<Hand> result;
    if (secondHand)
        result.append({QLine(g.centre, pointAt(g.centre, minuteAngle(t.second), g.radius * 1.0)), 1});
    result.append({QLine(g.centre, pointAt(g.centre, minuteAngle(t.minute), g.radius * 0.95)), 3});
    result.append({QLine(g.centre, pointAt(g.centre, hourAngle(t.hour, t.minute), g.radius * 0.6)), 6});
    return result;
}

TickEvents tickEvents(const ShiftedTime& now, const ShiftedTime& previous, bool secondHand) {
    TickEvents e;
    e.second = true;
    e.minute = now.second < previous.second;
    e.hour = now.minute < previous.minute;
    e.redraw = secondHand || e.minute;
    return e;
}

QImage renderFace(QSize size, const Colors& colors) {
    QImage face(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    face.fill(colors.face);
    QPainter p(&face);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const QRect& mark : tickMarks(geometryFor(size))) {
        // A raised one-pixel frame: light top and left, dark right and bottom edge one pixel in
        // from the square's far bounds; the inside keeps the face colour.
        const int l = mark.left();
        const int t = mark.top();
        const int r = mark.right();   // inclusive bound of the square
        const int b = mark.bottom();
        p.setPen(colors.highlight);
        p.drawLine(l, t, r - 1, t);
        p.drawLine(l, t, l, b - 1);
        p.setPen(colors.shadow);
        p.drawLine(r - 1, t, r - 1, b - 1);
        p.drawLine(l, b - 1, r - 1, b - 1);
    }
    return face;
}

QImage composeClock(const QImage& face, const Colors& colors, const ShiftedTime& time,
                    bool secondHand) {
    QImage scratch = face.copy();
    QPainter p(&scratch);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const Hand& hand : hands(geometryFor(face.size()), time, secondHand)) {
        p.setPen(QPen(colors.hands, hand.width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(hand.line);
    }
    return scratch;
}

}  // namespace zartav::clock
