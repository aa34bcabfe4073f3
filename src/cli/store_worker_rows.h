#pragma once

// The rows the hidden store-worker command saves, made from (tag, number) alone, so a test in
// another process can tell exactly what every acknowledged save must have left in the file.

#include "data/schema/record_schema.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>

namespace zartav::storeworker {

// Text for listed column `column` of row `n`: Farsi and Latin letters, within the 50 characters
// a text column holds.
inline QString rowText(const QString& tag, int n, int column) {
    return QStringLiteral("%1 گوساله %2 ستون %3").arg(tag).arg(n).arg(column).left(schema::kTextColumnSize);
}

// A photo of about `size` bytes for row `n`, photo column `slot`; deterministic pseudo-random
// bytes (xorshift) so a torn write cannot look right by chance.
inline QByteArray rowPhoto(const QString& tag, int n, int slot, int size) {
    QByteArray bytes(size + (n % 97), Qt::Uninitialized);
    std::uint64_t x = 0x9E3779B97F4A7C15ull ^ (std::uint64_t(n) << 8) ^ std::uint64_t(slot) ^
                      std::uint64_t(qHash(tag));
    for (char& b : bytes) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = char(x >> 32);
    }
    return bytes;
}

}  // namespace zartav::storeworker
