#include "util/bidi_text.h"

#include <QDir>

#include <algorithm>

namespace zartav {

QString isolated(const QString& run) {
    if (run.isEmpty()) return run;
    return QChar(0x2068) + run + QChar(0x2069);
}

QString isolatedPath(const QString& path) { return isolated(QDir::toNativeSeparators(path)); }

QString withEngineWords(const QString& farsi, const QString& engineWords) {
    const QString words = engineWords.trimmed();
    if (words.isEmpty()) return farsi;
    return farsi + QLatin1Char('\n') + isolated(words);
}

bool isDirectionControl(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

bool holdsDirectionControl(const QString& text) { return std::any_of(text.begin(), text.end(), isDirectionControl); }

QString withoutDirectionControls(QString text) {
    if (holdsDirectionControl(text)) text.removeIf(isDirectionControl);
    return text;
}

QString directionControlReason() {
    return QStringLiteral("نويسه نامرئي تغيير جهت متن دارد كه ترتيب نوشته را در چاپ بر هم مي زند؛ آن را پاك كنيد و دوباره بنويسيد");
}

}  // namespace zartav
