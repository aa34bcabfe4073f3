#pragma once

#include "util/message_sink.h"

namespace zartav {

// The program's message sink: real modal boxes and the run-time input dialog, right to left.
class WidgetMessageSink final : public MessageSink {
public:
    int show(const MessageBox& box) override;
    bool input(const InputRequest& request, QString& value) override;
};

}  // namespace zartav
