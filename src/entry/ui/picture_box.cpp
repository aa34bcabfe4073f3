#include "entry/ui/picture_box.h"

#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

namespace zartav {

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setFixedSize(73, 65);
    setScaledContents(true);
    setFrameShape(QFrame::Box);
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
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

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked();
    QLabel::mousePressEvent(event);
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

}  // namespace zartav
