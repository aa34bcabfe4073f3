#include "util/digits.h"

namespace zartav {

namespace {
inline int foreignDigitValue(char16_t u) {
    if (u >= 0x06F0 && u <= 0x06F9) return u - 0x06F0;
    if (u >= 0x0660 && u <= 0x0669) return u - 0x0660;
    return -1;
}
}  // namespace

QString normalizeDigits(QString text) {
    // Only touch (and detach) the string when there is something to change.
    const qsizetype n = text.size();
    const QChar* src = text.constData();
    qsizetype i = 0;
    while (i < n && foreignDigitValue(src[i].unicode()) < 0) ++i;
    if (i == n) return text;
    QChar* dst = text.data();
    for (; i < n; ++i) {
        const int v = foreignDigitValue(dst[i].unicode());
        if (v >= 0) dst[i] = QChar(u'0' + v);
    }
    return text;
}

bool isAnyDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || foreignDigitValue(u) >= 0;
}

}  // namespace zartav
