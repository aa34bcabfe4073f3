#pragma once

#include <QByteArray>

namespace zartav::legacy {

// The Windows bitmap held in a stored photo value: either the value is a plain BMP stream, or
// an OLE object wraps one (the stream starts at its "BM" signature somewhere inside). The
// stream's length comes from its own header; bytes after it (OLE trailers) are dropped.
// Returns an empty array when the value holds no complete, plausible bitmap.
QByteArray extractBitmap(const QByteArray& stored);

}  // namespace zartav::legacy
