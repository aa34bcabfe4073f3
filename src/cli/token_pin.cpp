#include "cli/token_pin.h"

#include <QByteArray>

#include <sodium.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace zartav::cli {

namespace {

constexpr size_t kMostPinBytes = 256;

// One line typed on the controlling terminal with echo off; nothing without a terminal.
std::optional<print::TokenPin> askOnTerminal(const print::TokenKeyPlace& place) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    termios saved{};
    const bool quiet = ::tcgetattr(fd, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        silent.c_lflag |= ECHONL;
        if (::tcsetattr(fd, TCSAFLUSH, &silent) != 0) {
            ::close(fd);
            return std::nullopt;
        }
    }
    const QByteArray prompt = QStringLiteral("PIN of token %1: ").arg(place.token).toUtf8();
    bool ok = quiet && ::write(fd, prompt.constData(), size_t(prompt.size())) == prompt.size();
    char line[kMostPinBytes + 1];
    size_t size = 0;
    for (char c = 0; ok && size <= kMostPinBytes;) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got != 1)
            ok = false;
        else if (c == '\n' || c == '\r')
            break;
        else
            line[size++] = c;
    }
    if (quiet) (void)::tcsetattr(fd, TCSAFLUSH, &saved);
    ::close(fd);
    ok = ok && size > 0 && size <= kMostPinBytes;
    std::optional<print::TokenPin> pin;
    if (ok) pin.emplace(line, qsizetype(size));
    sodium_memzero(line, sizeof line);
    return pin;
}

}  // namespace

std::optional<print::TokenPin> tokenPin(const print::TokenKeyPlace& place) {
    if (const char* given = std::getenv(kTokenPinVariable)) {
        print::TokenPin pin(given, qsizetype(std::strlen(given)));
        // The programs this one starts need not see it.
        ::unsetenv(kTokenPinVariable);
        return pin;
    }
    return askOnTerminal(place);
}

}  // namespace zartav::cli
