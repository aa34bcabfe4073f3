#pragma once

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <optional>

namespace zartav::photo {

// EXIF orientation tag (1..8) of an APP1 segment payload ("Exif\0\0" then a TIFF header);
// 1 (as stored) when the payload has no readable orientation.
int exifOrientationFromApp1(const unsigned char* data, std::size_t size);

struct DecodedJpeg {
    QImage image;         // Format_RGB32, as stored in the file (not yet turned upright)
    int orientation = 1;  // EXIF orientation, 1..8
};

// Decodes a JPEG stream with libjpeg. The DCT scaling is chosen so the decoded picture is the
// smallest one whose longest side is not below `targetSide` (full size for small pictures), so a
// large photo is never decoded larger than needed. Damaged or truncated data, and pictures too
// large to be real photos, give nothing; the decoder never aborts the process.
std::optional<DecodedJpeg> decodeJpeg(const QByteArray& data, int targetSide);

}  // namespace zartav::photo
