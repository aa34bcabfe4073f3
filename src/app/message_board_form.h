#pragma once

#include "util/message_board_lines.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace zartav {

// The report window: a producer opens a sequence with a caption, posts key/value lines and
// closes it; the user reads, counts and saves them. One instance, hidden until used.
class TMessageBoardForm : public QDialog, public MessageBoard {
    Q_OBJECT
public:
    explicit TMessageBoardForm(QWidget* parent = nullptr);
    ~TMessageBoardForm() override;

    void StartRecording(bool rightToLeft, const QString& caption) override;
    void PostThisMessage(const QString& key, const QString& value) override;
    void StopRecording() override;

    const MessageBoardLines& lines() const { return lines_; }
    QTreeWidget* MessageList = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* dxButton1 = nullptr;  // back
    QPushButton* dxButton2 = nullptr;  // save report

    // The file chooser of the save command (tests replace it); answers a path or nothing.
    void setSavePathChooser(std::function<QString(const QString&)> chooser);

public slots:
    void dxButton1Click();
    void dxButton2Click();
    // Escape acts as the back button, and like it does nothing while a sequence is open.
    void reject() override;

private:
    void appendRows(qsizetype from);

    MessageBoardLines lines_;
    std::function<QString(const QString&)> choosePath_;
};

}  // namespace zartav
