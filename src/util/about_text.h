#pragma once

#include "util/message_board.h"

#include <QList>
#include <QString>

namespace zartav {

// The About text as the 18 posts the board shows (the long description takes three lines).
// `office`: the issuing office's name, address and contact lines, at most three, shown as its
// contacts; the lines it has not set stay blank.
QList<BoardPost> aboutPosts(const QList<BoardPost>& office = {});
inline const QString kAboutCaption = QStringLiteral("درباره...");

// Fills `board` with the About text, right to left, with `office`'s lines as its contacts.
void showAbout(MessageBoard& board, const QList<BoardPost>& office = {});

}  // namespace zartav
