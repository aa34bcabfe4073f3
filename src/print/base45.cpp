#include "print/base45.h"

#include <cstring>

namespace zartav::print {

namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

int letterValue(char c) {
    const char* at = c ? std::strchr(kAlphabet, c) : nullptr;
    return at ? int(at - kAlphabet) : -1;
}

}  // namespace

QByteArray toBase45(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size() / 2 * 3 + 2);
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const bool pair = i + 1 < bytes.size();
        int n = quint8(bytes[i]);
        if (pair) n = n * 256 + quint8(bytes[i + 1]);
        out += kAlphabet[n % 45];
        out += kAlphabet[n / 45 % 45];
        if (pair) out += kAlphabet[n / 2025];
    }
    return out;
}

std::optional<QByteArray> fromBase45(const QByteArray& text) {
    if (text.size() % 3 == 1) return std::nullopt;
    QByteArray out;
    out.reserve(text.size() / 3 * 2 + 1);
    for (qsizetype i = 0; i < text.size(); i += 3) {
        const bool triple = i + 2 < text.size();
        int n = 0, weight = 1;
        for (qsizetype j = i; j < i + (triple ? 3 : 2); ++j, weight *= 45) {
            const int v = letterValue(text[j]);
            if (v < 0) return std::nullopt;
            n += v * weight;
        }
        if (n > (triple ? 0xFFFF : 0xFF)) return std::nullopt;
        if (triple) out += char(n >> 8);
        out += char(n & 0xFF);
    }
    return out;
}

}  // namespace zartav::print
