// Inputs the fuzz targets found faults with, kept so the faults stay fixed. Run under the
// sanitizers in CI, where the undefined behaviour itself fails the test.
#include "util/photo_convert.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace zartav;

TEST(FuzzRegression, ForgedBitmapHeadersAreRefusedWithoutOverflow) {
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const QList<Case> cases = {
        // Width 16 M pixels of 16 bits and height 2^31: the row-size times height product overflowed.
        {"huge width and height",
         QByteArray::fromBase64("Qk1mAAAAAAAAADYQAAUAKAABABgAIQAAAICAAP8AAAAAAAAAAAAIEBAQEBA=")},
        {"most negative height",
         QByteArray::fromHex("424d4600000000000000360000002800000001000000000000800100180000000000") +
             QByteArray(16, '\x7f')},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + ".bmp");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        EXPECT_FALSE(photo::storedBitmapFromFile(path).has_value());
    }
}
