#pragma once

// Base45 (RFC 9285): bytes as letters of a QR code's alphanumeric set, so a binary payload
// fills a code at 5.5 bits a letter instead of 8 bits a byte.

#include <QByteArray>
#include <optional>

namespace zartav::print {

QByteArray toBase45(const QByteArray& bytes);
// Nothing when `text` is not Base45: a letter outside the set, a length of 3n + 1, or a group
// whose value is too large for its bytes.
std::optional<QByteArray> fromBase45(const QByteArray& text);

}  // namespace zartav::print
