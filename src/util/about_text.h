#pragma once

#include "util/message_board.h"

#include <QList>
#include <QString>

namespace zartav {

// The About text as the 18 posts the board shows (the long description takes three lines).
QList<BoardPost> aboutPosts();
inline const QString kAboutCaption = QStringLiteral("درباره...");

// Fills `board` with the About text, right to left, and after it `more` (the issuing office's
// name, address and contact lines).
void showAbout(MessageBoard& board, const QList<BoardPost>& more = {});

}  // namespace zartav
