#pragma once

#include "util/message_sink.h"

#include <QString>

namespace zartav {

// The two Farsi boxes every subsystem uses; they go through the message sink.
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;
inline constexpr int kAnswerClosed = 2;

// Information box: caption "پيام", one button "بازگشت" (default and Escape). A box about one
// field of a form names it in its caption: "پيام - تاريخ تولد".
void showMessage(const QString& text, const QString& about = {});
// Question box: caption "سوال", buttons "بله" and "خير" (Escape); the default is "بله" unless
// `defaultAnswer` is kAnswerNo (a question whose hasty Enter would lose something). Answers 6,
// 7, or 2 when the box was closed through its title bar.
int askYesNo(const QString& text, int defaultAnswer = kAnswerYes);
// The platform's plain box: the program's title as caption, one button "تأييد" (OK).
void showPlainBox(MessageIcon icon, const QString& text);
// The platform's standard error box: a plain box with the error icon.
void showError(const QString& text);

}  // namespace zartav
