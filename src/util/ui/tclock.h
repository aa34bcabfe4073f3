#pragma once

#include "util/clock_face.h"

#include <QColor>
#include <QImage>
#include <QTime>
#include <QWidget>
#include <functional>

class QTimer;

namespace zartav {

// A small analog clock that keeps running from a one-second timer, optionally shifted by a fixed
// number of hours and minutes, and tells when a second, a minute or an hour has passed.
class TClock : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor ClkArrowColor READ ClkArrowColor WRITE setClkArrowColor)
    Q_PROPERTY(QColor ClkFaceColor READ ClkFaceColor WRITE setClkFaceColor)
    Q_PROPERTY(int DifHour READ DifHour WRITE setDifHour)
    Q_PROPERTY(int DifMinute READ DifMinute WRITE setDifMinute)
    Q_PROPERTY(bool SecArrow READ SecArrow WRITE setSecArrow)

public:
    explicit TClock(QWidget* owner = nullptr);
    ~TClock() override;

    QColor ClkArrowColor() const { return arrowColor_; }
    void setClkArrowColor(const QColor& color);
    QColor ClkFaceColor() const { return faceColor_; }
    void setClkFaceColor(const QColor& color);
    int DifHour() const { return difHour_; }
    void setDifHour(int hours);
    int DifMinute() const { return difMinute_; }
    void setDifMinute(int minutes);
    bool SecArrow() const { return secArrow_; }
    void setSecArrow(bool shown);

    // The clock it reads (tests pin it); an empty function returns to the local time.
    void setTimeSource(std::function<QTime()> source);
    // One timer tick, as the timer runs it.
    void tick();
    // What is on the screen now (face and hands), for tests and screenshots.
    QImage currentImage() const { return shown_; }

signals:
    void OnSecond(QObject* sender);
    void OnMinute(QObject* sender);
    void OnHour(QObject* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTime now() const;
    clock::Colors colors() const;
    void rebuildFace();
    void composeHands();
    void drawHands();

    QTimer* timer_ = nullptr;
    QImage face_;
    QImage shown_;
    QTime previous_ = QTime(0, 0);
    bool faceStale_ = true;
    bool secArrow_ = true;
    QColor arrowColor_ = Qt::black;
    QColor faceColor_;
    int difHour_ = 0;
    int difMinute_ = 0;
    std::function<QTime()> timeSource_;
};

}  // namespace zartav
