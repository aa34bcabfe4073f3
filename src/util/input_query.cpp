#include "util/input_query.h"

#include "util/keyboard_layout.h"
#include "util/message_sink.h"

#include <cstdlib>

namespace zartav {
namespace {

// Blanks and control characters at either end do not make an answer.
QString trimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20) ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

bool runInputQuery(const QString& prompt, QString& value, bool password) {
    InputRequest request;
    request.caption = QStringLiteral("سوال");
    request.prompt = prompt;
    request.password = password;
    request.maxLength = kInputMaxLength;
    activateKeyboardLayout(QString::fromLatin1(kPersianLayout));

    QString text = value.left(kInputMaxLength);
    for (;;) {
        QString edited = text;
        if (!messageSink().input(request, edited)) return false;
        edited.truncate(kInputMaxLength);
        const bool accepted = password ? !edited.isEmpty() : !trimControls(edited).isEmpty();
        if (accepted) {
            value = edited;
            return true;
        }
        text = edited;
    }
}

int scaleMetric(int n, int u, int d) {
    const long long num = static_cast<long long>(n) * u;
    const long long den = d;
    // Round half away from zero, whatever the signs.
    const long long magnitude = (std::llabs(num) * 2 + std::llabs(den)) / (2 * std::llabs(den));
    return static_cast<int>(((num < 0) != (den < 0)) ? -magnitude : magnitude);
}

InputDialogLayout layoutInputDialog(int w, int h, int promptHeight, int editHeight) {
    InputDialogLayout l;
    l.clientWidth = scaleMetric(180, w, 4);
    const int left = scaleMetric(8, w, 4);
    const int controlWidth = scaleMetric(164, w, 4);
    l.prompt = QRect(left, scaleMetric(8, h, 8), controlWidth, promptHeight);
    l.edit = QRect(left, l.prompt.top() + promptHeight + 5, controlWidth, editHeight);
    const int buttonTop = l.edit.top() + editHeight + 15;
    const int buttonWidth = scaleMetric(50, w, 4);
    const int buttonHeight = scaleMetric(14, h, 8);
    l.okButton = QRect(scaleMetric(38, w, 4), buttonTop, buttonWidth, buttonHeight);
    l.cancelButton = QRect(scaleMetric(92, w, 4), buttonTop, buttonWidth, buttonHeight);
    l.clientHeight = buttonTop + buttonHeight + 13;
    return l;
}

}  // namespace zartav
