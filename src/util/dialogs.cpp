#include "util/dialogs.h"

#include "util/message_sink.h"

namespace zartav {

void showMessage(const QString& text) {
    MessageBox box;
    box.icon = MessageIcon::Information;
    box.caption = QStringLiteral("پيام");
    box.text = text;
    box.buttons = {QStringLiteral("بازگشت")};
    box.escapeButton = 0;
    messageSink().show(box);
}

int askYesNo(const QString& text) {
    MessageBox box;
    box.icon = MessageIcon::Question;
    box.caption = QStringLiteral("سوال");
    box.text = text;
    box.buttons = {QStringLiteral("بله"), QStringLiteral("خير")};
    box.escapeButton = 1;
    switch (messageSink().show(box)) {
    case 0: return kAnswerYes;
    case 1: return kAnswerNo;
    default: return kAnswerClosed;
    }
}

}  // namespace zartav
