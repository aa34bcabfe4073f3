// A picture file chosen for a photo column: JPEG through libjpeg (EXIF orientation included) or
// BMP, bounded and stored as a bitmap stream.
#include "util/photo_convert.h"
#include "util/photo_jpeg.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zartav::fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = zartav::fuzz::bytes(data, size);
    zartav::photo::exifOrientationFromApp1(data, size);
    zartav::photo::decodeJpeg(input, 64);
    // The file path takes the kind from the extension; try the bytes as both kinds.
    const bool bmpFirst = size > 0 && data[0] == 'B';
    for (const char* suffix : bmpFirst ? std::initializer_list<const char*>{".bmp", ".jpg"}
                                       : std::initializer_list<const char*>{".jpg", ".bmp"}) {
        auto file = zartav::fuzz::asFile(input, QString::fromLatin1(suffix));
        if (!file) return 0;
        const auto stored = zartav::photo::storedBitmapFromFile(file->fileName());
        if (stored && !stored->startsWith("BM")) __builtin_trap();
    }
    return 0;
}
