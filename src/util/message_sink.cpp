#include "util/message_sink.h"

#include <cstdio>

namespace zartav {
namespace {

class StderrSink final : public MessageSink {
public:
    int show(const MessageBox& box) override {
        std::fprintf(stderr, "%s\n", box.text.toUtf8().constData());
        // Nobody is there to answer: take the cautious one, as Escape would.
        return box.escapeButton;
    }
    bool input(const InputRequest&, QString&) override { return false; }
};

StderrSink defaultSink;
MessageSink* current = &defaultSink;

}  // namespace

MessageSink& messageSink() { return *current; }

void setMessageSink(MessageSink* sink) { current = sink ? sink : &defaultSink; }

}  // namespace zartav
