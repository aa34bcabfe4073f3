#include "fixtures.h"
#include "util/photo_convert.h"
#include "util/photo_jpeg.h"
#include "entry/photo_services.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace zartav;
using namespace zartav::photo;

namespace {

QString testPhoto(const char* name) { return zartav::test::fixturePath(QStringLiteral("photos/") + QString::fromUtf8(name)); }

// A stored value must be a plain Windows bitmap stream that a BMP reader accepts.
QImage readStoredBitmap(const QByteArray& stream) {
    EXPECT_GE(stream.size(), 54);
    EXPECT_TRUE(stream.startsWith("BM"));
    QImage image;
    EXPECT_TRUE(image.loadFromData(stream, "BMP"));
    return image;
}

bool isWhite(QRgb c) { return qRed(c) > 230 && qGreen(c) > 230 && qBlue(c) > 230; }

}  // namespace

TEST(PhotoConversion, ReadablePicturesBecomeBoundedBitmaps) {
    struct Case {
        const char* file;
        QSize size;
    };
    const Case cases[] = {
        {"small-800x500.jpg", {800, 500}},
        {"small-800x500.bmp", {800, 500}},
        {"wallpaper-3840x2400.jpg", {1600, 1000}},
        {"exif-orientation-6.jpg", {200, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::optional<QByteArray> stored = storedBitmapFromFile(testPhoto(c.file));
        ASSERT_TRUE(stored.has_value());
        const QImage image = readStoredBitmap(*stored);
        EXPECT_EQ(image.size(), c.size);
        EXPECT_LE(std::max(image.width(), image.height()), kMaxStoredSide);
    }
}

TEST(PhotoConversion, BitmapWithinBoundsIsKeptByteForByte) {
    QFile file(testPhoto("small-800x500.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(storedBitmapFromFile(file.fileName()), file.readAll());
}

TEST(PhotoConversion, ExifOrientationSixIsTurnedClockwise) {
    // As stored the white block sits top-left of a 400x200 picture, red above, blue below.
    std::optional<QByteArray> stored = storedBitmapFromFile(testPhoto("exif-orientation-6.jpg"));
    ASSERT_TRUE(stored);
    const QImage image = readStoredBitmap(*stored).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(200, 400));
    EXPECT_TRUE(isWhite(image.pixel(175, 25)));   // top-right
    EXPECT_FALSE(isWhite(image.pixel(25, 25)));   // top-left
    EXPECT_FALSE(isWhite(image.pixel(175, 375))); // bottom-right
    EXPECT_GT(qRed(image.pixel(190, 200)), qBlue(image.pixel(190, 200)));   // red on the right
    EXPECT_GT(qBlue(image.pixel(10, 200)), qRed(image.pixel(10, 200)));    // blue on the left
}

TEST(PhotoConversion, UnreadablePicturesGiveNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A real picture under a name whose kind the loader does not know, and an empty JPEG.
    QFile::copy(testPhoto("small-800x500.jpg"), dir.filePath("photo.png"));
    QFile::copy(testPhoto("small-800x500.jpg"), dir.filePath("photo.wmf"));
    QFile(dir.filePath("empty.jpg")).open(QIODevice::WriteOnly);
    // A JPEG named as a bitmap, and a bitmap cut short in its pixel rows.
    QFile::copy(testPhoto("small-800x500.jpg"), dir.filePath("jpeg.bmp"));
    {
        QFile in(testPhoto("small-800x500.bmp"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QFile out(dir.filePath("cut.bmp"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(in.readAll().left(600000));
    }
    const QString files[] = {
        testPhoto("icon-32.ico"),      testPhoto("not-a-picture.jpg"), testPhoto("truncated.jpg"),
        dir.filePath("photo.png"),     dir.filePath("photo.wmf"),      dir.filePath("empty.jpg"),
        dir.filePath("jpeg.bmp"),      dir.filePath("cut.bmp"),        dir.filePath("missing.jpg"),
    };
    for (const QString& f : files) {
        SCOPED_TRACE(f.toStdString());
        EXPECT_FALSE(storedBitmapFromFile(f).has_value());
        EXPECT_FALSE(pictureFromFile(f).has_value());
    }
}

TEST(PhotoConversion, DamagedJpegDataNeverAborts) {
    QFile file(testPhoto("small-800x500.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    // Cut at many places, and scribble over the header and the entropy-coded data.
    for (qsizetype cut : {qsizetype(2), qsizetype(20), qsizetype(200), qsizetype(600), qsizetype(2000), qsizetype(30000), good.size() - 2}) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(decodeJpeg(good.left(cut), kMaxStoredSide).has_value());
    }
    for (int at : {4, 25, 100, 170, 400}) {
        QByteArray bad = good;
        for (int i = at; i < at + 16 && i < bad.size(); ++i) bad[i] = char(0xFF - i);
        (void)decodeJpeg(bad, kMaxStoredSide);  // may or may not decode; must not crash
    }
    EXPECT_TRUE(decodeJpeg(good, kMaxStoredSide).has_value());
}

TEST(PhotoConversion, DctScalingPicksSmallestScaleNotBelowTarget) {
    QFile file(testPhoto("wallpaper-3840x2400.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    struct Case {
        int target;
        QSize decoded;
    };
    const Case cases[] = {
        {1600, {1920, 1200}},  // 4/8: 3/8 would be 1440
        {480, {480, 300}},     // 1/8
        {481, {960, 600}},     // 2/8
        {5000, {3840, 2400}},  // never enlarged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        std::optional<DecodedJpeg> d = decodeJpeg(data, c.target);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->image.size(), c.decoded);
        EXPECT_EQ(d->orientation, 1);
    }
}

TEST(PhotoConversion, ExifOrientationParsing) {
    auto app1 = [](bool bigEndian, quint16 tag, quint16 type, quint16 value, int entries = 1) {
        QByteArray b("Exif\0\0", 6);
        b += bigEndian ? "MM" : "II";
        auto put16 = [&](quint16 v) {
            uchar x[2];
            bigEndian ? qToBigEndian(v, x) : qToLittleEndian(v, x);
            b.append(reinterpret_cast<char*>(x), 2);
        };
        auto put32 = [&](quint32 v) {
            uchar x[4];
            bigEndian ? qToBigEndian(v, x) : qToLittleEndian(v, x);
            b.append(reinterpret_cast<char*>(x), 4);
        };
        put16(42);
        put32(8);
        put16(quint16(entries));
        put16(0x010F);  // Make, skipped
        put16(2);
        put32(1);
        put32(0);
        put16(tag);
        put16(type);
        put32(1);
        put16(value);
        put16(0);
        return b;
    };
    struct Case {
        QByteArray data;
        int expected;
    };
    const Case cases[] = {
        {app1(true, 0x0112, 3, 6, 2), 6},
        {app1(false, 0x0112, 3, 8, 2), 8},
        {app1(false, 0x0112, 3, 9, 2), 1},     // out of range
        {app1(false, 0x0112, 4, 6, 2), 1},     // wrong type
        {app1(false, 0x0113, 3, 6, 2), 1},     // no orientation tag
        {app1(false, 0x0113, 3, 6, 900), 1},   // entry count runs past the end
        {app1(true, 0x0112, 3, 3, 2).left(30), 1},
        {QByteArray("Exif\0\0XX", 8), 1},
        {QByteArray("http://ns.adobe.com/"), 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(exifOrientationFromApp1(reinterpret_cast<const unsigned char*>(c.data.constData()),
                                          std::size_t(c.data.size())),
                  c.expected);
    }
}

TEST(PhotoConversion, OrientationsTurnAMarkedCornerToTopLeft) {
    // A 4x2 picture with one red pixel where each orientation stores the visual top-left.
    struct Case {
        int orientation;
        QPoint stored;
        QSize upright;
    };
    const Case cases[] = {
        {1, {0, 0}, {4, 2}}, {2, {3, 0}, {4, 2}}, {3, {3, 1}, {4, 2}}, {4, {0, 1}, {4, 2}},
        {5, {0, 0}, {2, 4}}, {6, {0, 1}, {2, 4}}, {7, {3, 1}, {2, 4}}, {8, {3, 0}, {2, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        QImage image(4, 2, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixel(c.stored, qRgb(255, 0, 0));
        const QImage upright = applyExifOrientation(image, c.orientation);
        ASSERT_EQ(upright.size(), c.upright);
        EXPECT_EQ(upright.pixel(0, 0), qRgb(255, 0, 0));
    }
}

TEST(PhotoConversion, Bmp24RoundTripsOddWidths) {
    QImage image(7, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) image.setPixel(x, y, qRgb(x * 30, y * 80, 200 - x * 10));
    const QByteArray bmp = encodeBmp24(image);
    EXPECT_EQ(bmp.size(), 54 + 24 * 3);  // rows padded to 4 bytes
    EXPECT_EQ(qFromLittleEndian<quint16>(bmp.constData() + 28), 24);
    const QImage back = readStoredBitmap(bmp).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(back, image);
}

TEST(PhotoServicesTest, ToolsConversionHandsOverImageOrThrows) {
    PhotoServices services;
    std::unique_ptr<QImage> image = services.ConvertJPG2BMP(testPhoto("wallpaper-3840x2400.jpg"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(1600, 1000));
    EXPECT_THROW(services.ConvertJPG2BMP(testPhoto("icon-32.ico")), PhotoConversionError);
    EXPECT_THROW(services.ConvertJPG2BMP(testPhoto("truncated.jpg")), PhotoConversionError);
}

TEST(PhotoConversion, StoredPhotosAreShrunkByWholeStepsToTheSizeTheyAreDrawnAt) {
    // 2 x 2 blocks of four colours whose mean is known; odd sizes leave a ragged edge.
    QImage image(9, 7, QImage::Format_RGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) image.setPixel(x, y, (x + y) % 2 ? qRgb(200, 0, 100) : qRgb(0, 100, 50));
    const QByteArray bmp = encodeBmp24(image);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");  // not a bitmap: decoded whole, then shrunk
    const struct {
        const char* what;
        QByteArray bytes;
        QSize fitting, expected;
    } cases[] = {
        {"bitmap, box as large as the photo", bmp, QSize(9, 7), QSize(9, 7)},
        {"bitmap, box twice too small", bmp, QSize(4, 3), QSize(4, 3)},
        {"bitmap, box not quite half", bmp, QSize(5, 5), QSize(9, 7)},  // a step of 2 would be smaller
        {"bitmap, tiny box", bmp, QSize(1, 1), QSize(1, 1)},
        {"other picture, box twice too small", png, QSize(4, 3), QSize(4, 3)},
        {"no picture", QByteArray("BM not a bitmap"), QSize(4, 3), QSize(0, 0)},
        {"empty column", QByteArray(), QSize(4, 3), QSize(0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage photo = decodeStoredPhoto(c.bytes, c.fitting);
        EXPECT_EQ(photo.size(), c.expected);
        if (c.expected == image.size()) {
            EXPECT_EQ(photo.convertToFormat(QImage::Format_RGB32), image);
        }
    }
    const QImage half = decodeStoredPhoto(bmp, QSize(4, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(half.pixel(x, y), qRgb(100, 50, 75)) << x << "," << y;
}
