#include "fixtures.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace zartav::test {
namespace {

[[noreturn]] void unreadable(const QString& path, const char* why) {
    throw std::runtime_error(QStringLiteral("test file %1 %2").arg(path, QLatin1String(why)).toStdString());
}

}  // namespace

QString fixturePath(const QString& relative) {
    const QString path = QStringLiteral(ZARTAV_FIXTURES "/") + relative;
    const QFileInfo info(path);
    if (!info.isFile()) unreadable(path, "is missing");
    if (!info.isReadable()) unreadable(path, "cannot be read");
    return path;
}

QByteArray fixtureBytes(const QString& relative) {
    const QString path = fixturePath(relative);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) unreadable(path, "cannot be opened");
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) unreadable(path, "is empty");
    return bytes;
}

}  // namespace zartav::test
