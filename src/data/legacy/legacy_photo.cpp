#include "data/legacy/legacy_photo.h"

#include <QtEndian>

namespace zartav::legacy {

namespace {

constexpr qsizetype kFileHeader = 14;

// Is there a believable BMP stream at `at`? Its header must describe a stream that fits in
// what is left, whose pixel data starts after the headers and whose info header has a known
// size. "BM" occurs by chance in OLE headers and pixel data; these checks tell those apart.
qsizetype bitmapLengthAt(const QByteArray& data, qsizetype at) {
    const qsizetype left = data.size() - at;
    if (left < kFileHeader + 12) return 0;
    const auto* p = reinterpret_cast<const uchar*>(data.constData() + at);
    if (p[0] != 'B' || p[1] != 'M') return 0;
    const quint32 length = qFromLittleEndian<quint32>(p + 2);
    const quint32 pixels = qFromLittleEndian<quint32>(p + 10);
    const quint32 info = qFromLittleEndian<quint32>(p + 14);
    const bool knownInfo = info == 12 || info == 40 || info == 52 || info == 56 || info == 64 ||
                           info == 108 || info == 124;
    if (!knownInfo || length < kFileHeader + info || qsizetype(length) > left) return 0;
    if (pixels < kFileHeader + info || pixels >= length) return 0;
    return qsizetype(length);
}

}  // namespace

QByteArray extractBitmap(const QByteArray& stored) {
    for (qsizetype at = stored.indexOf("BM"); at >= 0; at = stored.indexOf("BM", at + 1)) {
        if (const qsizetype length = bitmapLengthAt(stored, at)) return stored.mid(at, length);
    }
    return {};
}

}  // namespace zartav::legacy
