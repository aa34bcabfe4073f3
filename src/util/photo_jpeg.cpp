#include "util/photo_jpeg.h"

#include <QtEndian>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace zartav::photo {

namespace {

// Beyond any camera in use; refusing them keeps a forged header from asking for gigabytes.
constexpr unsigned long long kMaxSourcePixels = 200ull * 1000 * 1000;
constexpr unsigned long long kMaxDecodedPixels = 40ull * 1000 * 1000;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void leaveDecoder(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings that mean the picture data is damaged or cut short: libjpeg would carry on and fill
// the rest with grey, which must never end up on a certificate.
bool isDamageWarning(int code) {
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

void onMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && isDamageWarning(cinfo->err->msg_code)) leaveDecoder(cinfo);
}

void onOutput(j_common_ptr) {}  // nothing goes to stderr

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
};

void cmykRowToRgb32(const JSAMPLE* in, QRgb* out, JDIMENSION width) {
    // Photo editors write CMYK JPEGs inverted (Adobe convention).
    for (JDIMENSION x = 0; x < width; ++x, in += 4) {
        const int k = in[3];
        out[x] = qRgb(in[0] * k / 255, in[1] * k / 255, in[2] * k / 255);
    }
}

// A libjpeg failure leaves this function through longjmp, so no object with a destructor may
// be created in its frame; the image lives in the caller.
bool decodeInto(Decoder& d, const unsigned char* data, unsigned long size, int targetSide,
                QImage& out, int& orientation) {
    jpeg_decompress_struct& cinfo = d.cinfo;
    cinfo.err = jpeg_std_error(&d.err.base);
    d.err.base.error_exit = leaveDecoder;
    d.err.base.emit_message = onMessage;
    d.err.base.output_message = onOutput;
    if (setjmp(d.err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);

    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            orientation = exifOrientationFromApp1(m->data, m->data_length);
            break;
        }
    }

    if (static_cast<unsigned long long>(cinfo.image_width) * cinfo.image_height > kMaxSourcePixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif

    cinfo.scale_denom = 8;
    for (unsigned num = 1; num <= 8; ++num) {
        cinfo.scale_num = num;
        jpeg_calc_output_dimensions(&cinfo);
        if (static_cast<int>(std::max(cinfo.output_width, cinfo.output_height)) >= targetSide) break;
    }
    if (static_cast<unsigned long long>(cinfo.output_width) * cinfo.output_height > kMaxDecodedPixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }

    jpeg_start_decompress(&cinfo);
    out = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                 QImage::Format_RGB32);
    if (out.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Scratch rows from libjpeg's own pool: freed by jpeg_destroy_decompress on every path.
    JSAMPARRAY cmykRows = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                           JPOOL_IMAGE, cinfo.output_width * 4, 1)
                               : nullptr;
    constexpr int kBatch = 8;
    JSAMPROW rows[kBatch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        if (cmyk) {
            rows[0] = cmykRows[0];
            jpeg_read_scanlines(&cinfo, rows, 1);
            cmykRowToRgb32(cmykRows[0], reinterpret_cast<QRgb*>(out.scanLine(static_cast<int>(first))),
                           cinfo.output_width);
        } else {
            const int n = static_cast<int>(std::min<JDIMENSION>(kBatch, cinfo.output_height - first));
            for (int i = 0; i < n; ++i) rows[i] = out.scanLine(static_cast<int>(first) + i);
            jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

quint16 read16(const unsigned char* p, bool bigEndian) {
    return bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

quint32 read32(const unsigned char* p, bool bigEndian) {
    return bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

}  // namespace

int exifOrientationFromApp1(const unsigned char* data, std::size_t size) {
    constexpr std::size_t kExifHeader = 6;
    if (!data || size < kExifHeader + 8 || std::memcmp(data, "Exif\0\0", kExifHeader) != 0) return 1;
    const unsigned char* tiff = data + kExifHeader;
    const std::size_t tiffSize = size - kExifHeader;
    bool bigEndian;
    if (tiff[0] == 'M' && tiff[1] == 'M') bigEndian = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I') bigEndian = false;
    else return 1;
    if (read16(tiff + 2, bigEndian) != 42) return 1;
    const quint32 ifd = read32(tiff + 4, bigEndian);
    if (ifd < 8 || ifd > tiffSize - 2) return 1;
    const quint16 count = read16(tiff + ifd, bigEndian);
    for (quint32 i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + std::size_t(i) * 12;
        if (entry + 12 > tiffSize) return 1;
        const quint16 tag = read16(tiff + entry, bigEndian);
        if (tag != 0x0112) continue;
        const quint16 type = read16(tiff + entry + 2, bigEndian);
        if (type != 3 || read32(tiff + entry + 4, bigEndian) < 1) return 1;  // SHORT
        const quint16 value = read16(tiff + entry + 8, bigEndian);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

std::optional<DecodedJpeg> decodeJpeg(const QByteArray& data, int targetSide) {
    if (data.isEmpty()) return std::nullopt;
    Decoder decoder{};
    DecodedJpeg result;
    if (!decodeInto(decoder, reinterpret_cast<const unsigned char*>(data.constData()),
                    static_cast<unsigned long>(data.size()), std::max(1, targetSide), result.image,
                    result.orientation))
        return std::nullopt;
    return result;
}

}  // namespace zartav::photo
