#include "message_recorder.h"

namespace zartav::test {

MessageRecorder::MessageRecorder() { setMessageSink(this); }

MessageRecorder::~MessageRecorder() { setMessageSink(nullptr); }

int MessageRecorder::show(const MessageBox& box) {
    boxes_.append(box);
    if (answers_.empty()) return 0;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

bool MessageRecorder::input(const InputRequest& request, QString& value) {
    inputRequests_.append(request);
    if (inputs_.empty()) return false;
    std::optional<QString> reply = inputs_.front();
    inputs_.pop_front();
    if (!reply) return false;
    value = *reply;
    return true;
}

QStringList MessageRecorder::texts() const {
    QStringList result;
    for (const MessageBox& box : boxes_) result.append(box.text);
    return result;
}

}  // namespace zartav::test
