#include "entry/photo_services.h"

#include "util/photo_convert.h"

namespace zartav {

std::unique_ptr<QImage> PhotoServices::ConvertJPG2BMP(const QString& fileName) const {
    std::optional<QImage> image = photo::pictureFromFile(fileName);
    if (!image) throw PhotoConversionError("cannot convert picture file: " + fileName.toStdString());
    return std::make_unique<QImage>(std::move(*image));
}

}  // namespace zartav
