#include "util/dialogs.h"

#include "util/message_sink.h"

#include <QGuiApplication>

namespace zartav {

void showMessage(const QString& text, const QString& about) {
    MessageBox box;
    box.icon = MessageIcon::Information;
    box.caption = QStringLiteral("پيام");
    if (!about.isEmpty()) box.caption += QStringLiteral(" - ") + about;
    box.text = text;
    box.buttons = {QStringLiteral("بازگشت")};
    box.escapeButton = 0;
    messageSink().show(box);
}

int askYesNo(const QString& text, int defaultAnswer) {
    MessageBox box;
    box.icon = MessageIcon::Question;
    box.caption = QStringLiteral("سوال");
    box.text = text;
    box.buttons = {QStringLiteral("بله"), QStringLiteral("خير")};
    box.defaultButton = defaultAnswer == kAnswerNo ? 1 : 0;
    box.escapeButton = 1;
    switch (messageSink().show(box)) {
    case 0: return kAnswerYes;
    case 1: return kAnswerNo;
    default: return kAnswerClosed;
    }
}

void showPlainBox(MessageIcon icon, const QString& text) {
    MessageBox box;
    box.icon = icon;
    box.caption = QGuiApplication::applicationDisplayName();
    if (box.caption.isEmpty()) box.caption = QStringLiteral("زرتاو");
    box.text = text;
    // Qt's own boxes read "تأیید" under its Farsi translation; ours say the same.
    box.buttons = {QStringLiteral("تأييد")};
    box.escapeButton = 0;
    messageSink().show(box);
}

void showError(const QString& text) { showPlainBox(MessageIcon::Critical, text); }

}  // namespace zartav
