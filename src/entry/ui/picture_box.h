#pragma once

#include <QByteArray>
#include <QLabel>

namespace zartav {

// A photo column's picture box: shows the stored bitmap stretched to the box and reports
// double-clicks.
// It is a tab stop and shows when it has the focus.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Shows a stored photo; empty or unreadable bytes show an empty box.
    void showPhoto(const QByteArray& bitmap);
    bool hasPicture() const { return hasPicture_; }

signals:
    void doubleClicked();
    // Space on the focused box: the keyboard's way to load a photo.
    void activated();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool hasPicture_ = false;
};

}  // namespace zartav
