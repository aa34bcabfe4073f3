#pragma once

// A step timed to "the screen drawn" lets the window paint as it would for the user: the
// watched widget is painted by the step's own posted events, and only when they did not paint
// it is it painted at once. Painting it besides (a grab, a forced repaint) would count a second
// drawing no user waits for.

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace zartav::bench {

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) : widget_(widget) { widget_->installEventFilter(this); }
    ~PaintWatch() override { widget_->removeEventFilter(this); }
    PaintWatch(const PaintWatch&) = delete;
    PaintWatch& operator=(const PaintWatch&) = delete;

    // Before the step.
    void mark() { painted_ = false; }
    // After it: handles what the step posted, then makes sure the widget was drawn.
    void finish() {
        QCoreApplication::processEvents();
        if (!painted_) widget_->repaint();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted_ = true;
        return false;
    }

private:
    QWidget* widget_;
    bool painted_ = false;
};

}  // namespace zartav::bench
