#pragma once

#include <memory>

class QProgressDialog;
class QString;
class QWidget;

namespace zartav {

// Puts a window in the middle of the screen it is on (or the primary one).
void centreOnScreen(QWidget* window);

// A progress window over `parent` that reads right to left, shows at once and holds the
// window beneath it: no cancel button when `cancel` is empty, a busy bar when `maximum` is 0.
std::unique_ptr<QProgressDialog> progressWindow(const QString& title, const QString& label, const QString& cancel,
                                                int maximum, QWidget* parent);

}  // namespace zartav
