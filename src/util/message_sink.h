#pragma once

#include <QString>
#include <QStringList>

namespace zartav {

// Every service that "shows a message" goes through one sink: the program shows real modal
// boxes, the command-line tool writes to standard error, tests record the exact Farsi text.
enum class MessageIcon { Information, Question, Warning, Critical };

struct MessageBox {
    MessageIcon icon = MessageIcon::Information;
    QString caption;
    QString text;
    QStringList buttons;     // right to left as read
    int defaultButton = 0;   // index Enter answers
    int escapeButton = 0;    // index answered by Escape
};

struct InputRequest {
    QString caption;
    QString prompt;
    bool password = false;
    int maxLength = 255;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the box modally; answers the index of the chosen button, or -1 when it was closed
    // through its title bar.
    virtual int show(const MessageBox& box) = 0;
    // Asks for one line of text; `value` holds the starting text and receives the accepted one.
    virtual bool input(const InputRequest& request, QString& value) = 0;
};

// The sink in force; by default it writes to standard error and answers the Escape button (a
// question asked with no one to answer it is not confirmed).
MessageSink& messageSink();
// Installs `sink` (not owned); nullptr restores the default.
void setMessageSink(MessageSink* sink);

}  // namespace zartav
