#pragma once

#include "util/message_board.h"

#include <QList>
#include <QString>

namespace zartav {

// The About text as the 18 posts the board shows (the long description takes three lines).
QList<BoardPost> aboutPosts();
inline const QString kAboutCaption = QStringLiteral("درباره...");

// Fills `board` with the About text, right to left.
void showAbout(MessageBoard& board);

}  // namespace zartav
