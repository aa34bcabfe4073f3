#include "cli/date_lines.h"

#include "cli/command.h"

#include <cstdio>
#include <iostream>
#include <string>
#ifdef _WIN32
#include <io.h>
#define ZARTAV_ISATTY _isatty
#else
#include <unistd.h>
#define ZARTAV_ISATTY isatty
#endif

namespace zartav::cli {
namespace {

class Output {
public:
    explicit Output(bool interactive) : interactive_(interactive) { buffer_.reserve(1 << 16); }
    ~Output() { flush(); }

    void line(const QString& text) {
        buffer_ += text.toStdString();
        buffer_ += '\n';
        if (interactive_ || buffer_.size() >= (1 << 16)) flush();
    }
    void flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        std::fflush(stdout);
        buffer_.clear();
    }

private:
    bool interactive_;
    std::string buffer_;
};

void printMessages(Output& out, const QStringList& messages) {
    if (messages.isEmpty()) return;
    out.flush();  // keep standard error in step with standard output
    for (QString m : messages) {
        m.replace(u'\r', u'\n');  // the box's line break
        std::fprintf(stderr, "%s\n", m.toUtf8().constData());
    }
}

}  // namespace

int runDateLines(const char* command, const QStringList& args, const LineConverter& convert) {
    for (const QString& a : args) {
        if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "zartav-cli %s: unknown option '%s'\n", command,
                         a.toUtf8().constData());
            return kUsage;
        }
    }
    bool allConverted = true;
    QStringList messages;
    const auto one = [&](Output& out, const QString& text) {
        messages.clear();
        const QString result = text.isEmpty() ? QString() : convert(text, &messages);
        if (result.isEmpty()) allConverted = false;
        out.line(result);
        printMessages(out, messages);
    };

    if (!args.isEmpty()) {
        Output out(false);
        for (const QString& a : args) one(out, a);
        return allConverted ? kOk : kFailed;
    }

    std::ios::sync_with_stdio(false);
    Output out(ZARTAV_ISATTY(0) != 0);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        one(out, QString::fromUtf8(line.data(), qsizetype(line.size())));
    }
    return allConverted ? kOk : kFailed;
}

}  // namespace zartav::cli
