#include "util/dialog_services.h"

#include "util/dialogs.h"
#include "util/format_patterns.h"
#include "util/input_query.h"
#include "util/keyboard_layout.h"
#include "util/text_services.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace zartav {

void DialogServices::FormCreate() {
    applyProgramFormatPatterns();
    activateKeyboardLayout(QString::fromLatin1(kPersianLayout));
}

void DialogServices::SetConfigAgain() { applyProgramFormatPatterns(); }

void DialogServices::ShowMsg(const QString& text) { showMessage(text); }

int DialogServices::AskYesNo(const QString& text) { return askYesNo(text); }

bool DialogServices::InQuery(const QString& prompt, QString& value) {
    return runInputQuery(prompt, value, false);
}

bool DialogServices::PassInQuery(const QString& prompt, QString& value) {
    return runInputQuery(prompt, value, true);
}

void DialogServices::SwitchToFarsi() { activateKeyboardLayout(QString::fromLatin1(kPersianLayout)); }

void DialogServices::SwitchToEnglish() { activateKeyboardLayout(QString::fromLatin1(kEnglishLayout)); }

void DialogServices::ExecuteFile(const QString& path) {
    // The shell's "open" also takes web addresses; a one-letter scheme is a Windows drive.
    const QUrl url(path, QUrl::StrictMode);
    if (url.isValid() && url.scheme().size() > 1) {
        QDesktopServices::openUrl(url);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DialogServices::IsBlank(const QString& text) const { return isBlank(text); }
bool DialogServices::IsValidNum(const QString& text) const { return isValidNum(text); }
std::int32_t DialogServices::ToInt(double x) const { return toInt(x); }
double DialogServices::To2DigitFloat(double x) const { return to2DigitFloat(x); }

}  // namespace zartav
