#pragma once

class QKeyEvent;
class QWidget;

namespace zartav {

// Puts a window in the middle of the screen it is on (or the primary one).
void centreOnScreen(QWidget* window);

// For windows whose buttons must be clicked: takes Enter and Escape away from the dialog's
// default handling. Answers true when the key was swallowed.
bool swallowEnterAndEscape(QKeyEvent* event);

}  // namespace zartav
