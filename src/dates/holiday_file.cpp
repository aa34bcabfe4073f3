#include "dates/holiday_file.h"

#include "dates/calendar_date_text.h"

#include <QDir>
#include <QFile>

namespace zartav {

QString holidayFilePath() {
    static const QString kName = QStringLiteral("OffDays.Txt");
    const QDir dir = QDir::current();
    if (QFile::exists(dir.filePath(kName))) return dir.filePath(kName);
    // Name filters match without regard to case unless asked otherwise.
    const QStringList found = dir.entryList({kName}, QDir::Files | QDir::Readable, QDir::Name);
    return dir.filePath(found.isEmpty() ? kName : found.front());
}

QStringList readHolidayFile(const QString& path) {
    QFile file(path);
    QStringList dates;
    if (!file.open(QIODevice::ReadOnly)) return dates;
    // A holiday list is a few dozen lines; anything vastly larger is not one.
    constexpr qint64 kLimit = 4 * 1024 * 1024;
    QByteArray bytes = file.read(kLimit);
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const QString text = QString::fromLatin1(line);
        if (calendar_text::isNormalisedText(text)) dates.append(text);
    }
    return dates;
}

}  // namespace zartav
