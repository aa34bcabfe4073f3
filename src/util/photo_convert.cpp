#include "util/photo_convert.h"

#include "util/photo_jpeg.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace zartav::photo {

namespace {

// No photo file comes near this; a larger one is not read into memory at all.
constexpr qint64 kMaxFileBytes = 256ll * 1024 * 1024;

std::optional<QByteArray> readWholeFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    if (file.size() > kMaxFileBytes) return std::nullopt;
    QByteArray data = file.readAll();
    if (data.isEmpty()) return std::nullopt;
    return data;
}

// True when the pixel array of an uncompressed BMP is wholly present; compressed and unknown
// layouts are left to the decoder.
bool bmpPixelDataComplete(const QByteArray& data) {
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const qint64 size = data.size();
    if (size < 26 || p[0] != 'B' || p[1] != 'M') return false;
    const quint32 offBits = qFromLittleEndian<quint32>(p + 10);
    const quint32 headerSize = qFromLittleEndian<quint32>(p + 14);
    qint64 width = 0, height = 0, bpp = 0;
    quint32 compression = 0;
    if (headerSize == 12) {
        width = qFromLittleEndian<quint16>(p + 18);
        height = qFromLittleEndian<quint16>(p + 20);
        bpp = qFromLittleEndian<quint16>(p + 24);
    } else if (headerSize >= 40 && size >= 34) {
        width = qFromLittleEndian<qint32>(p + 18);
        height = qFromLittleEndian<qint32>(p + 22);
        bpp = qFromLittleEndian<quint16>(p + 28);
        compression = qFromLittleEndian<quint32>(p + 30);
    } else {
        return false;
    }
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed) return true;
    if (width <= 0 || bpp <= 0) return false;
    const qint64 rowBytes = ((width * bpp + 31) / 32) * 4;
    // A row longer than the file cannot be complete; checking it first keeps the product below
    // from overflowing on a forged header.
    if (rowBytes > size) return false;
    return size >= qint64(offBits) + rowBytes * std::abs(height);
}

struct Loaded {
    QImage image;         // upright and bounded
    QByteArray original;  // the file itself when it can be stored as it is
};

std::optional<Loaded> loadBitmap(const QByteArray& data) {
    if (!bmpPixelDataComplete(data)) return std::nullopt;
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly)) return std::nullopt;
    QImageReader reader(&buffer, "bmp");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    Loaded loaded;
    loaded.image = reader.read();
    if (loaded.image.isNull()) return std::nullopt;
    if (std::max(loaded.image.width(), loaded.image.height()) <= kMaxStoredSide) {
        loaded.original = data;
    } else {
        loaded.image = boundToSide(loaded.image, kMaxStoredSide);
    }
    return loaded;
}

std::optional<Loaded> loadJpeg(const QByteArray& data) {
    std::optional<DecodedJpeg> decoded = decodeJpeg(data, kMaxStoredSide);
    if (!decoded) return std::nullopt;
    Loaded loaded;
    // Shrink before turning: the same result, on fewer pixels.
    loaded.image = applyExifOrientation(boundToSide(decoded->image, kMaxStoredSide), decoded->orientation);
    if (loaded.image.isNull()) return std::nullopt;
    return loaded;
}

std::optional<Loaded> load(const QString& fileName) {
    const PictureKind kind = pictureKindFromFileName(fileName);
    if (kind == PictureKind::Unsupported) return std::nullopt;
    std::optional<QByteArray> data = readWholeFile(fileName);
    if (!data) return std::nullopt;
    return kind == PictureKind::Jpeg ? loadJpeg(*data) : loadBitmap(*data);
}

}  // namespace

PictureKind pictureKindFromFileName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg" || suffix == u"jpe" || suffix == u"jfif")
        return PictureKind::Jpeg;
    if (suffix == u"bmp" || suffix == u"dib") return PictureKind::Bitmap;
    return PictureKind::Unsupported;
}

QImage applyExifOrientation(const QImage& image, int orientation) {
    switch (orientation) {
    case 2: return image.mirrored(true, false);
    case 3: return image.mirrored(true, true);
    case 4: return image.mirrored(false, true);
    case 5: return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6: return image.transformed(QTransform().rotate(90));
    case 7: return image.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8: return image.transformed(QTransform().rotate(270));
    default: return image;
    }
}

QImage boundToSide(const QImage& image, int maxSide) {
    const int w = image.width();
    const int h = image.height();
    if (image.isNull() || std::max(w, h) <= maxSide) return image;
    QSize target;
    if (w >= h) target = QSize(maxSide, std::max(1, qRound(double(h) * maxSide / w)));
    else target = QSize(std::max(1, qRound(double(w) * maxSide / h)), maxSide);
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray encodeBmp24(const QImage& image) {
    if (image.isNull()) return {};
    const QImage src = (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    const int w = src.width();
    const int h = src.height();
    constexpr int kHeaders = 14 + 40;
    const qint64 rowBytes = (qint64(w) * 3 + 3) & ~qint64(3);
    const qint64 pixelBytes = rowBytes * h;
    QByteArray out(kHeaders + pixelBytes, '\0');
    auto* p = reinterpret_cast<uchar*>(out.data());
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(quint32(kHeaders + pixelBytes), p + 2);
    qToLittleEndian<quint32>(kHeaders, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(w, p + 18);
    qToLittleEndian<qint32>(h, p + 22);  // positive: rows bottom-up
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    qToLittleEndian<quint32>(0, p + 30);  // BI_RGB
    qToLittleEndian<quint32>(quint32(pixelBytes), p + 34);
    qToLittleEndian<qint32>(2835, p + 38);  // 72 dpi
    qToLittleEndian<qint32>(2835, p + 42);
    for (int y = 0; y < h; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* row = p + kHeaders + rowBytes * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const QRgb c = in[x];
            row[0] = uchar(qBlue(c));
            row[1] = uchar(qGreen(c));
            row[2] = uchar(qRed(c));
            row += 3;
        }
    }
    return out;
}

namespace {

// The whole shrink step from an image of `size` down to what fills `fitting`, keeping its shape.
int shrinkStep(const QSize& size, const QSize& fitting) {
    if (fitting.isEmpty() || size.isEmpty()) return 1;
    const QSize fitted = size.scaled(fitting, Qt::KeepAspectRatio);
    return std::max(1, std::min(size.width() / std::max(1, fitted.width()), size.height() / std::max(1, fitted.height())));
}

// In blocks of a fixed length, which the compiler turns into vector additions even at -O2.
void addRow(quint32* __restrict sum, const uchar* __restrict in, int count) {
    constexpr int kBlock = 16;
    int i = 0;
    for (; i + kBlock <= count; i += kBlock)
        for (int j = 0; j < kBlock; ++j) sum[i + j] += in[i + j];
    for (; i < count; ++i) sum[i] += in[i];
}

// A 24-bit uncompressed bitmap, each output pixel the mean of a step x step block. Null for any
// other kind of bitmap.
QImage readBmp24Shrunk(const QByteArray& data, const QSize& fitting) {
    if (!bmpPixelDataComplete(data) || data.size() < 54) return {};
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const quint32 offBits = qFromLittleEndian<quint32>(p + 10);
    const quint32 headerSize = qFromLittleEndian<quint32>(p + 14);
    const qint32 width = qFromLittleEndian<qint32>(p + 18);
    const qint32 rawHeight = qFromLittleEndian<qint32>(p + 22);
    if (headerSize < 40 || qFromLittleEndian<quint16>(p + 28) != 24 || qFromLittleEndian<quint32>(p + 30) != 0 ||
        width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<qint32>::min())
        return {};
    const bool bottomUp = rawHeight > 0;
    const int height = std::abs(rawHeight);
    const int step = std::min(16, shrinkStep(QSize(width, height), fitting));
    const int outW = width / step, outH = height / step;
    if (outW <= 0 || outH <= 0) return {};
    QImage out(outW, outH, QImage::Format_RGB32);
    if (out.isNull()) return {};
    const qint64 rowBytes = (qint64(width) * 3 + 3) & ~qint64(3);
    const int usedBytes = outW * step * 3;
    // The mean of a block as a multiplication: a division per channel costs more than the rest.
    const quint32 reciprocal = ((1u << 22) + quint32(step * step) - 1) / quint32(step * step);
    // Rows are summed whole first (a loop the compiler vectorises), then each run of `step`
    // pixels of the summed row.
    std::vector<quint32> columns(static_cast<size_t>(usedBytes));
    for (int y = 0; y < outH; ++y) {
        std::fill(columns.begin(), columns.end(), 0u);
        for (int dy = 0; dy < step; ++dy) {
            const int row = y * step + dy;
            addRow(columns.data(), p + offBits + rowBytes * (bottomUp ? height - 1 - row : row), usedBytes);
        }
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const quint32* sum = columns.data();
        for (int x = 0; x < outW; ++x) {
            quint32 b = 0, g = 0, r = 0;
            for (int dx = 0; dx < step; ++dx, sum += 3) {
                b += sum[0];
                g += sum[1];
                r += sum[2];
            }
            line[x] = qRgb(int((r * reciprocal) >> 22), int((g * reciprocal) >> 22), int((b * reciprocal) >> 22));
        }
    }
    return out;
}

}  // namespace

QImage decodeStoredPhoto(const QByteArray& bytes, const QSize& fitting) {
    if (bytes.isEmpty()) return {};
    QImage image = readBmp24Shrunk(bytes, fitting);
    if (!image.isNull()) return image;
    image = QImage::fromData(bytes);
    if (image.isNull()) return image;
    const int step = shrinkStep(image.size(), fitting);
    if (step > 1)
        image = image.scaled(image.width() / step, image.height() / step, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

std::optional<QByteArray> storedBitmapFromFile(const QString& fileName) {
    std::optional<Loaded> loaded = load(fileName);
    if (!loaded) return std::nullopt;
    if (!loaded->original.isEmpty()) return loaded->original;
    QByteArray bmp = encodeBmp24(loaded->image);
    if (bmp.isEmpty()) return std::nullopt;
    return bmp;
}

std::optional<QImage> pictureFromFile(const QString& fileName) {
    std::optional<Loaded> loaded = load(fileName);
    if (!loaded) return std::nullopt;
    return loaded->image;
}

}  // namespace zartav::photo
