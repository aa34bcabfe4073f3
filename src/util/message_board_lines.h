#pragma once

#include "util/message_board.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace zartav {

// The message board's line list: "key=value" lines in posting order, long values split into
// pieces of 70 characters whose continuation lines carry the key "....".
class MessageBoardLines {
public:
    static constexpr qsizetype kPieceLength = 70;

    void clear() { lines_.clear(); }
    // Appends one line, or several for a value longer than 70 characters.
    void post(const QString& key, const QString& value);

    const QStringList& lines() const { return lines_; }
    qsizetype count() const { return lines_.size(); }
    bool isEmpty() const { return lines_.isEmpty(); }

    // The key is the text before the first "=", the value all after it.
    static QString keyOf(const QString& line);
    static QString valueOf(const QString& line);

    // "تعداد سطر : " and the number of lines.
    QString countText() const;
    // Caption, a blank and the first line, without its first "=" and without any "/", trimmed.
    QString suggestedFileName(const QString& caption) const;
    // Windows-1256, every line ended by CR LF.
    QByteArray fileBytes() const;

private:
    QStringList lines_;
};

// Appends ".Txt" unless the chosen name already ends in it (in any letter case).
QString withReportExtension(const QString& chosenName);

inline const QString kReportFileFilter = QStringLiteral("فايلهاي گزارش (*.Txt);;همه فايلها (*)");

// The save command: an empty list shows "ليست خال است"; otherwise `choosePath` is offered the
// suggested name and answers the chosen path (empty when cancelled); the file is written whole or
// not at all, and a write failure is reported in a box. Returns true when a file was written.
bool saveMessageBoard(const MessageBoardLines& lines, const QString& caption,
                      const std::function<QString(const QString& suggestedName)>& choosePath,
                      QString* writtenPath = nullptr);

// A board without a window: keeps what was posted (the command-line tool and tests use it).
class HeadlessMessageBoard final : public MessageBoard {
public:
    void StartRecording(bool rightToLeft, const QString& caption) override;
    void PostThisMessage(const QString& key, const QString& value) override;
    void StopRecording() override;

    const MessageBoardLines& lines() const { return lines_; }
    const QString& caption() const { return caption_; }
    bool rightToLeft() const { return rightToLeft_; }
    bool recording() const { return recording_; }
    // Empty while a sequence is open, the count line once it is closed.
    const QString& label() const { return label_; }

private:
    MessageBoardLines lines_;
    QString caption_;
    QString label_;
    bool rightToLeft_ = true;
    bool recording_ = false;
};

}  // namespace zartav
