#pragma once

#include <QString>
#include <QStringList>

namespace zartav {

struct BoardPost {
    QString key;
    QString value;
};

// A producer of a report opens a sequence, posts key/value lines and closes it; the message board
// window shows them. Core services post through this interface so they run without windows too.
class MessageBoard {
public:
    virtual ~MessageBoard() = default;
    // rightToLeft chooses the list's reading direction; caption becomes the window's caption.
    virtual void StartRecording(bool rightToLeft, const QString& caption) = 0;
    virtual void PostThisMessage(const QString& key, const QString& value) = 0;
    virtual void StopRecording() = 0;
};

// The board in force: the window once the program has created it, otherwise a headless board
// that only keeps the lines.
MessageBoard& messageBoard();
// Installs `board` (not owned); nullptr restores the headless default.
void setMessageBoard(MessageBoard* board);

}  // namespace zartav
