#include "util/bidi_text.h"

#include <QDir>

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

}  // namespace zartav
