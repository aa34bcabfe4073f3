#pragma once

#include "util/message_sink.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <optional>

namespace zartav::test {

// Installs itself as the message sink for its lifetime; records every box and input request and
// answers from scripted replies (the first button when none is scripted).
class MessageRecorder final : public MessageSink {
public:
    MessageRecorder();
    ~MessageRecorder() override;
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    int show(const MessageBox& box) override;
    bool input(const InputRequest& request, QString& value) override;

    void answerNext(int buttonIndex) { answers_.push_back(buttonIndex); }
    void inputNext(std::optional<QString> value) { inputs_.push_back(std::move(value)); }

    const QList<MessageBox>& boxes() const { return boxes_; }
    QStringList texts() const;
    const QList<InputRequest>& inputRequests() const { return inputRequests_; }
    void clear() { boxes_.clear(); inputRequests_.clear(); }

private:
    QList<MessageBox> boxes_;
    QList<InputRequest> inputRequests_;
    std::deque<int> answers_;
    std::deque<std::optional<QString>> inputs_;
};

}  // namespace zartav::test
