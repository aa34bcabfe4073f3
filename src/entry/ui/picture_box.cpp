#include "entry/ui/picture_box.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionFocusRect>

namespace zartav {

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setFixedSize(73, 65);
    setScaledContents(true);
    setFrameShape(QFrame::Box);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureBox::showPhoto(const QByteArray& bitmap) {
    QImage image;
    hasPicture_ = !bitmap.isEmpty() && image.loadFromData(bitmap) && !image.isNull();
    if (!hasPicture_) {
        clear();
        return;
    }
    // Only a thumbnail is kept for the screen; the stored bytes stay untouched.
    setPixmap(QPixmap::fromImage(image.scaled(size() * devicePixelRatioF(), Qt::IgnoreAspectRatio,
                                              Qt::SmoothTransformation)));
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        emit activated();
        return;
    }
    QLabel::keyPressEvent(event);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect().adjusted(2, 2, -2, -2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

}  // namespace zartav
