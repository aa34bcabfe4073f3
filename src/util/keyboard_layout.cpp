#include "util/keyboard_layout.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace zartav {
namespace {
QString& requested() {
    static QString name;
    return name;
}
}  // namespace

void activateKeyboardLayout(const QString& layoutName) {
    requested() = layoutName;
#ifdef Q_OS_WIN
    if (HKL layout = LoadKeyboardLayoutW(reinterpret_cast<LPCWSTR>(layoutName.utf16()), KLF_ACTIVATE))
        ActivateKeyboardLayout(layout, 0);
#endif
}

QString activeKeyboardLayout() { return requested(); }

}  // namespace zartav
