#include "util/ui/tclock.h"

#include <QPainter>
#include <QTimer>

namespace zartav {

TClock::TClock(QWidget* owner) : QWidget(owner), timer_(new QTimer(this)) {
    resize(66, 66);
    faceColor_ = palette().color(QPalette::Button);
    setAttribute(Qt::WA_OpaquePaintEvent);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TClock::tick);
    timer_->start();
}

TClock::~TClock() = default;

void TClock::setClkArrowColor(const QColor& color) {
    arrowColor_ = color;
    faceStale_ = true;
    update();
}

void TClock::setClkFaceColor(const QColor& color) {
    faceColor_ = color;
    faceStale_ = true;
    update();
}

void TClock::setDifHour(int hours) {
    difHour_ = clock::hourRemainder(hours);
    drawHands();
}

void TClock::setDifMinute(int minutes) {
    difMinute_ = clock::minuteRemainder(minutes);
    drawHands();
}

void TClock::setSecArrow(bool shown) {
    secArrow_ = shown;
    previous_ = QTime(0, 0);
    faceStale_ = true;
    update();
}

void TClock::setTimeSource(std::function<QTime()> source) { timeSource_ = std::move(source); }

QTime TClock::now() const { return timeSource_ ? timeSource_() : QTime::currentTime(); }

clock::Colors TClock::colors() const {
    clock::Colors c;
    c.face = faceColor_;
    c.hands = arrowColor_;
    c.highlight = palette().color(QPalette::Light);
    c.shadow = palette().color(QPalette::Dark);
    return c;
}

void TClock::rebuildFace() {
    face_ = clock::renderFace(size(), colors());
    faceStale_ = false;
}

void TClock::composeHands() {
    if (faceStale_ || face_.size() != size()) rebuildFace();
    shown_ = clock::composeClock(face_, colors(), clock::shiftTime(now(), difHour_, difMinute_), secArrow_);
}

void TClock::drawHands() {
    composeHands();
    update();
}

void TClock::tick() {
    const clock::ShiftedTime present = clock::shiftTime(now(), difHour_, difMinute_);
    const clock::ShiftedTime before = clock::shiftTime(previous_, difHour_, difMinute_);
    const clock::TickEvents events = clock::tickEvents(present, before, secArrow_);
    emit OnSecond(this);
    if (events.minute) emit OnMinute(this);
    if (events.hour) emit OnHour(this);
    previous_ = now();
    if (events.redraw) drawHands();
}

void TClock::resizeEvent(QResizeEvent* event) {
    faceStale_ = true;
    QWidget::resizeEvent(event);
}

void TClock::paintEvent(QPaintEvent*) {
    // A repaint after a change of size or colours rebuilds the cached face; otherwise only the
    // composed picture of the last tick is copied to the screen, in one piece.
    if (faceStale_ || face_.size() != size() || shown_.size() != size()) {
        rebuildFace();
        previous_ = QTime(0, 0);  // the next tick compares against (shifted) midnight
        composeHands();
    }
    QPainter painter(this);
    painter.drawImage(0, 0, shown_);
}

}  // namespace zartav
