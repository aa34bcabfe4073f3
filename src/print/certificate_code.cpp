#include "print/certificate_code.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <poppler-qt6.h>
#include <qrencode.h>
#include <zbar.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zartav::print {

QrModules qrModules(const QByteArray& payload) {
    QrModules m;
    // Split into the modes that fit each run of letters: the compact code is all alphanumeric.
    if (payload.contains('\0')) return m;
    QRcode* code = QRcode_encodeString(payload.constData(), 0, QR_ECLEVEL_Q, QR_MODE_8, 1);
    if (!code) return m;
    m.width = code->width;
    m.dark.resize(qsizetype(code->width) * code->width);
    for (qsizetype i = 0; i < m.dark.size(); ++i) m.dark[i] = code->data[i] & 1;
    QRcode_free(code);
    return m;
}

namespace {

QList<QByteArray> scanGrey(const QImage& grey) {
    QList<QByteArray> found;
    std::unique_ptr<zbar::zbar_image_scanner_t, void (*)(zbar::zbar_image_scanner_t*)> scanner(
        zbar::zbar_image_scanner_create(), zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    // The payload's bytes as they are: no guessing of a text encoding.
    zbar::zbar_image_scanner_set_config(scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, 1);
    std::unique_ptr<zbar::zbar_image_t, void (*)(zbar::zbar_image_t*)> image(zbar::zbar_image_create(),
                                                                             zbar::zbar_image_destroy);
    // zbar wants the rows packed: copy them out of the QImage's padded lines.
    QByteArray pixels(qsizetype(grey.width()) * grey.height(), Qt::Uninitialized);
    for (int y = 0; y < grey.height(); ++y)
        memcpy(pixels.data() + qsizetype(y) * grey.width(), grey.constScanLine(y), size_t(grey.width()));
    zbar::zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image.get(), unsigned(grey.width()), unsigned(grey.height()));
    zbar::zbar_image_set_data(image.get(), pixels.constData(), size_t(pixels.size()), nullptr);
    if (zbar::zbar_scan_image(scanner.get(), image.get()) > 0) {
        for (const zbar::zbar_symbol_t* s = zbar::zbar_image_first_symbol(image.get()); s; s = zbar::zbar_symbol_next(s))
            if (zbar::zbar_symbol_get_type(s) == zbar::ZBAR_QRCODE)
                found << QByteArray(zbar::zbar_symbol_get_data(s), int(zbar::zbar_symbol_get_data_length(s)));
    }
    return found;
}

// Black and white by each pixel's neighbourhood: a photo out of focus, or lit unevenly, has
// no one grey that parts the modules from the paper, and zbar's own threshold then loses them.
QImage localThreshold(const QImage& grey) {
    const int w = grey.width(), h = grey.height();
    const int radius = std::max(7, std::min(w, h) / 100);
    // Sums over the rectangle from the corner, one row and column of zeros ahead.
    std::vector<quint64> sums(size_t(w + 1) * size_t(h + 1), 0);
    for (int y = 0; y < h; ++y) {
        const uchar* row = grey.constScanLine(y);
        quint64 line = 0;
        for (int x = 0; x < w; ++x) {
            line += row[x];
            sums[size_t(y + 1) * (w + 1) + x + 1] = sums[size_t(y) * (w + 1) + x + 1] + line;
        }
    }
    QImage out(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        const uchar* in = grey.constScanLine(y);
        uchar* o = out.scanLine(y);
        const int y0 = std::max(0, y - radius), y1 = std::min(h, y + radius + 1);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - radius), x1 = std::min(w, x + radius + 1);
            const quint64 total = sums[size_t(y1) * (w + 1) + x1] - sums[size_t(y0) * (w + 1) + x1] -
                                  sums[size_t(y1) * (w + 1) + x0] + sums[size_t(y0) * (w + 1) + x0];
            const quint64 area = quint64(y1 - y0) * quint64(x1 - x0);
            // Darker than 95 % of the mean around it is ink.
            o[x] = quint64(in[x]) * 100 * area < total * 95 ? 0 : 255;
        }
    }
    return out;
}

// The reading's deadline: kMaxReadMillis from now, or sooner when the environment asks (tests).
QDeadlineTimer readDeadline() {
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("ZARTAV_READ_BUDGET_MS", &ok);
    return QDeadlineTimer(ok && asked > 0 ? std::min(asked, kMaxReadMillis) : kMaxReadMillis);
}

bool pastDeadline(const QVariant& deadline) {
    return QDeadlineTimer::current().deadlineNSecs() >= deadline.toLongLong();
}

// The format the content shows, when it is one of the raster formats read here.
QByteArray pictureFormat(QIODevice& file) {
    const QByteArray format = QImageReader::imageFormat(&file).toLower();
    for (const char* allowed : kPictureFormats)
        if (format == allowed) return format;
    return {};
}

}  // namespace

QList<QByteArray> readCodes(const QImage& image) {
    if (image.isNull()) return {};
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    // A sharp page reads fastest at half size; a blurred photo or a small code needs every
    // pixel, and then its own black and white.
    if (grey.width() >= 1600 && grey.height() >= 1600) {
        const QList<QByteArray> half =
            scanGrey(grey.scaled(grey.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        if (!half.isEmpty()) return half;
    }
    QList<QByteArray> found = scanGrey(grey);
    if (found.isEmpty()) found = scanGrey(localThreshold(grey));
    // A tilted, blurred photo of a small code leaves a module two or three pixels: enlarged, the
    // scanner finds its edges again. Which enlargement lands the modules on whole pixels depends
    // on the code's own pattern, so more than one is tried.
    for (const double factor : {1.5, 2.0}) {
        if (!found.isEmpty() || grey.width() > 4000 || grey.height() > 4000) break;
        const QImage larger = grey.scaled(grey.size() * factor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        found = scanGrey(larger);
        if (found.isEmpty()) found = scanGrey(localThreshold(larger));
    }
    return found;
}

CodeReading readCodesFromFile(const QString& path) {
    CodeReading r;
    const QFileInfo info(path);
    if (!info.isFile()) {
        r.failure = ReadFailure::NoFile;
        return r;
    }
    if (info.size() > kMaxFileBytes) {
        r.failure = ReadFailure::TooLarge;
        return r;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        r.failure = ReadFailure::NoFile;
        r.detail = file.errorString();
        return r;
    }
    const QDeadlineTimer deadline = readDeadline();
    auto tooComplex = [&] {
        r.codes.clear();
        r.failure = ReadFailure::TooComplex;
        return r;
    };
    if (file.peek(5) == QByteArrayLiteral("%PDF-")) {
        file.close();
        std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
        if (!pdf || pdf->isLocked()) {
            r.failure = ReadFailure::NotAPicture;
            return r;
        }
        pdf->setRenderHint(Poppler::Document::Antialiasing, false);
        for (int i = 0; i < std::min(pdf->numPages(), kMaxPdfPages) && r.codes.isEmpty(); ++i) {
            std::unique_ptr<Poppler::Page> page = pdf->page(i);
            if (!page) continue;
            // A page of absurd size is refused as a picture of that size would be.
            const QSizeF points = page->pageSizeF();
            if (points.width() * points.height() * (200.0 / 72) * (200.0 / 72) > double(kMaxPicturePixels)) {
                r.failure = ReadFailure::TooLarge;
                return r;
            }
            // Drawing stops at the deadline: a page may hold millions of drawing operations.
            const QImage image = page->renderToImage(200, 200, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr, nullptr,
                                                     pastDeadline, QVariant(deadline.deadlineNSecs()));
            if (deadline.hasExpired()) return tooComplex();
            r.codes = readCodes(image);
            if (deadline.hasExpired()) return tooComplex();
        }
        if (r.codes.isEmpty()) r.failure = ReadFailure::NoCode;
        return r;
    }
    const QByteArray format = pictureFormat(file);
    if (format.isEmpty()) {
        r.failure = ReadFailure::NotAPicture;
        return r;
    }
    QImageReader reader(&file, format);
    // That format's reader alone, whatever else the content might pass for.
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid()) {
        r.failure = ReadFailure::NotAPicture;
        r.detail = reader.errorString();
        return r;
    }
    if (qint64(size.width()) * size.height() > kMaxPicturePixels) {
        r.failure = ReadFailure::TooLarge;
        return r;
    }
    if (std::max(size.width(), size.height()) > kMaxReadSide)
        reader.setScaledSize(size.scaled(kMaxReadSide, kMaxReadSide, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull()) {
        r.failure = ReadFailure::NotAPicture;
        r.detail = reader.errorString();
        return r;
    }
    if (deadline.hasExpired()) return tooComplex();
    r.codes = readCodes(image);
    if (deadline.hasExpired()) return tooComplex();
    if (r.codes.isEmpty()) r.failure = ReadFailure::NoCode;
    return r;
}

}  // namespace zartav::print
