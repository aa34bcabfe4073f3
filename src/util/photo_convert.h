#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace zartav::photo {

// The certificate prints a photo 62 x 59 mm: 1600 px on the longest side is plenty and keeps a
// phone photo from becoming a 36 MB bitmap per column.
inline constexpr int kMaxStoredSide = 1600;

enum class PictureKind { Jpeg, Bitmap, Unsupported };

// The kind of a picture file is taken from its extension, as the picture dialog offers them.
PictureKind pictureKindFromFileName(const QString& fileName);

// Turns a picture as stored under EXIF orientation 1..8 upright.
QImage applyExifOrientation(const QImage& image, int orientation);

// Smoothly shrinks a picture whose longest side exceeds `maxSide`; smaller ones are unchanged.
QImage boundToSide(const QImage& image, int maxSide);

// A Windows bitmap stream (BITMAPFILEHEADER + BITMAPINFOHEADER, 24 bits, bottom-up rows).
QByteArray encodeBmp24(const QImage& image);

// A stored photo made ready to draw `fitting` a box of that many pixels: shrunk by the largest
// whole step that keeps it at least as large as it will be drawn. A 24-bit bitmap, the form the
// entry form stores, is shrunk while it is read, at a fraction of the cost of decoding it whole;
// any other picture is decoded and shrunk smoothly. Null when the bytes are no picture.
QImage decodeStoredPhoto(const QByteArray& bytes, const QSize& fitting);

// Reads a picture file (JPEG or BMP) and gives the bitmap stream to store in a photo column:
// upright, at most kMaxStoredSide px on its longest side. A BMP file already within bounds is
// kept byte for byte. Unsupported kinds, damaged or truncated files give nothing.
std::optional<QByteArray> storedBitmapFromFile(const QString& fileName);

// The same picture as an image (upright and bounded), or nothing.
std::optional<QImage> pictureFromFile(const QString& fileName);

}  // namespace zartav::photo
