#pragma once

#include <QImage>
#include <QString>

#include <memory>
#include <stdexcept>

namespace zartav {

// Raised when a picture file cannot be read or turned into a bitmap.
class PhotoConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The photo conversion of TTools.
class PhotoServices {
public:
    // Reads a picture file (JPEG or BMP) and hands back a new bitmap, upright and at most 1600 px
    // on its longest side; the caller owns it. Writes no file. Throws PhotoConversionError.
    std::unique_ptr<QImage> ConvertJPG2BMP(const QString& fileName) const;
};

}  // namespace zartav
