#include "util/ui/dialog_helpers.h"

#include <QGuiApplication>
#include <QProgressDialog>
#include <QScreen>
#include <QWidget>

namespace zartav {

std::unique_ptr<QProgressDialog> progressWindow(const QString& title, const QString& label, const QString& cancel,
                                                int maximum, QWidget* parent) {
    auto window = std::make_unique<QProgressDialog>(label, cancel, 0, maximum, parent);
    window->setWindowTitle(title);
    window->setLayoutDirection(Qt::RightToLeft);
    window->setWindowModality(Qt::WindowModal);
    window->setMinimumDuration(0);
    return window;
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace zartav
