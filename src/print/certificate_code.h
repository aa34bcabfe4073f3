#pragma once

// The QR code of a certificate: made for the page, and read back from a scan, a phone's photo or
// a PDF of the certificate.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <optional>

namespace zartav::print {

// The modules of a QR code holding `payload` (error correction level Q, each run of letters in
// the densest mode that holds it), row by row, true for dark; empty when the payload is too long
// for any QR code or holds a NUL.
struct QrModules {
    int width = 0;
    QList<bool> dark;

    bool at(int x, int y) const { return dark.value(qsizetype(y) * width + x); }
};
QrModules qrModules(const QByteArray& payload);

// Why nothing was read.
enum class ReadFailure { None, NoFile, NotAPicture, TooLarge, TooComplex, NoCode };

struct CodeReading {
    QList<QByteArray> codes;  // every QR code found, as its raw bytes
    ReadFailure failure = ReadFailure::None;
    QString detail;           // the file's or the library's words
};

// The QR codes in a picture (converted to grey).
QList<QByteArray> readCodes(const QImage& image);

// A picture file of a raster format (kPictureFormats, told by its content, never its name) or a
// PDF, whose first pages are drawn at 200 dpi first. A picture larger than kMaxPicturePixels, or
// a file larger than kMaxFileBytes, is refused before it is decoded; a large one is scaled down
// to kMaxReadSide on its long side. A file that takes longer than kMaxReadMillis to read (a PDF
// of endless drawing) is given up as too complex; ZARTAV_READ_BUDGET_MS may only lower that.
CodeReading readCodesFromFile(const QString& path);
// Raster formats only: a drawing format such as SVG may name other files for Qt to read.
inline constexpr const char* kPictureFormats[] = {"png", "jpeg", "jpg", "bmp", "tiff", "tif", "pbm", "pgm", "ppm", "webp"};
inline constexpr int kMaxReadMillis = 8'000;
inline constexpr qint64 kMaxPicturePixels = 120'000'000;
inline constexpr qint64 kMaxFileBytes = 200'000'000;
inline constexpr int kMaxReadSide = 5000;
inline constexpr int kMaxPdfPages = 4;

}  // namespace zartav::print
