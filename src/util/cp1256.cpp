#include "util/cp1256.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace zartav {
namespace {

// One open iconv descriptor per call keeps this thread-safe without locks; files are small.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts `in`; on a sequence the target cannot hold, writes `replacement` and skips one
    // input character of `inCharLength(...)` bytes.
    template <typename SkipLength>
    QByteArray run(const QByteArray& in, const QByteArray& replacement, SkipLength skip) {
        QByteArray out;
        out.reserve(in.size() * 2 + 16);
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = static_cast<size_t>(in.size());
        char buffer[4096];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<qsizetype>(dst - buffer));
            if (rc != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: a character the target lacks, or a truncated sequence.
            out.append(replacement);
            const size_t n = std::min(srcLeft, skip(src, srcLeft));
            src += n;
            srcLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

size_t utf8SequenceLength(const char* p, size_t left) {
    const auto lead = static_cast<unsigned char>(*p);
    size_t n = 1;
    if (lead >= 0xF0) n = 4;
    else if (lead >= 0xE0) n = 3;
    else if (lead >= 0xC0) n = 2;
    return std::max<size_t>(1, std::min(n, left));
}

char16_t foldChar(char16_t c) {
    switch (c) {
    case u'\u06CC':  // Persian yeh
    case u'\u06D0':  // yeh (e)
        return u'\u064A';
    case u'\u06C0':  // heh with yeh above
    case u'\u06D5':  // ae
    case u'\u06C2':  // heh goal with hamza above (heh goal itself is in the code page)
        return u'\u0647';
    case u'\u06CB':  // ve
        return u'\u0648';
    case u'\u06AA':  // swash kaf
        return u'\u0643';
    case u'\u066B':  // Arabic decimal separator
        return u'.';
    case u'\u066C':  // Arabic thousands separator
        return u',';
    case u'\u066A':  // Arabic percent sign
        return u'%';
    default:
        break;
    }
    if (c >= u'\u06F0' && c <= u'\u06F9') return static_cast<char16_t>(u'0' + (c - u'\u06F0'));
    if (c >= u'\u0660' && c <= u'\u0669') return static_cast<char16_t>(u'0' + (c - u'\u0660'));
    return c;
}

bool isPresentationForm(char16_t c) {
    return (c >= u'\uFB50' && c <= u'\uFDFF') || (c >= u'\uFE70' && c <= u'\uFEFF');
}

}  // namespace

QString foldForCp1256(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (isPresentationForm(c)) {
            // Shaped glyph forms (pasted from PDFs and old programs) stand for ordinary letters.
            const QString base = QString(qc).normalized(QString::NormalizationForm_KC);
            for (const QChar b : base) out.append(QChar(foldChar(b.unicode())));
            continue;
        }
        out.append(QChar(foldChar(c)));
    }
    return out;
}

QByteArray encodeCp1256(const QString& text) {
    if (text.isEmpty()) return {};
    Converter converter("CP1256", "UTF-8");
    const QByteArray utf8 = foldForCp1256(text).toUtf8();
    if (!converter.ok()) return utf8;  // glibc always ships CP1256; this is only a safeguard
    return converter.run(utf8, QByteArrayLiteral("?"), utf8SequenceLength);
}

QString decodeCp1256(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    Converter converter("UTF-8", "CP1256");
    if (!converter.ok()) return QString::fromLatin1(bytes);
    const QByteArray utf8 = converter.run(bytes, QByteArrayLiteral("\xEF\xBF\xBD"),
                                          [](const char*, size_t) -> size_t { return 1; });
    return QString::fromUtf8(utf8);
}

}  // namespace zartav
