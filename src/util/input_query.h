#pragma once

#include <QRect>
#include <QString>

namespace zartav {

inline constexpr int kInputMaxLength = 255;

// Asks for one line of text through the message sink (caption "سوال", at most 255 characters,
// starting with the first 255 of `value`). An accepted text that is empty after trimming blanks
// and control characters asks again with the same text; a password query only asks again on a
// truly empty text. Returns false, leaving `value` alone, when the user cancels.
bool runInputQuery(const QString& prompt, QString& value, bool password);

// scale(n, u, d): n × u / d to the nearest integer, halves away from zero.
int scaleMetric(int n, int u, int d);

// Where the input dialog's controls go, from the font's average letter width and height and the
// heights the wrapped prompt and the edit box turn out to need. Left positions are measured from
// the left edge of the client area, in either layout direction.
struct InputDialogLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    QRect prompt;   // width is the wrap limit
    QRect edit;
    QRect okButton;
    QRect cancelButton;
};
InputDialogLayout layoutInputDialog(int letterWidth, int letterHeight, int promptHeight,
                                    int editHeight);

}  // namespace zartav
