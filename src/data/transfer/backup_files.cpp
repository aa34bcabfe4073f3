#include "data/transfer/backup_files.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>

namespace zartav::backups {

BackupReport failure(const QString& reason, const QString& engineWords) {
    BackupReport report;
    report.reason = reason;
    report.engineWords = engineWords;
    return report;
}

BackupReport stopped() {
    BackupReport report;
    report.cancelled = true;
    return report;
}

BackupProgress share(const BackupProgress& whole, int part, int parts) {
    if (!whole) return {};
    return [whole, part, parts](qint64 done, qint64 total) {
        return whole(part * 1000 + done * 1000 / std::max<qint64>(1, total), qint64(parts) * 1000);
    };
}

const QString kDiskFault = QStringLiteral("پشتيبان روي ديسك نوشته نشد؛ ديسك پر است يا در آن نمي توان نوشت.");

QString dayText(calendar::SolarDate day) {
    return QStringLiteral("%1-%2-%3")
        .arg(day.year, 4, 10, QLatin1Char('0'))
        .arg(day.month, 2, 10, QLatin1Char('0'))
        .arg(day.day, 2, 10, QLatin1Char('0'));
}

bool sameFile(const QString& a, const QString& b) {
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

PartFile::PartFile(const QString& target) {
    const QFileInfo info(target);
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral("-XXXXXX.part"));
    file.setAutoRemove(false);
    if (file.open()) path_ = file.fileName();
    else error_ = file.errorString();
}

PartFile::~PartFile() {
    if (path_.isEmpty()) return;
    if (moved_) storefile::removeJournals(path_);
    else storefile::remove(path_);
}

bool PartFile::moveTo(const QString& target, bool replace, QString* error) {
    if (!replace) {
        QFile part(path_);
        if (!part.rename(target)) {
            *error = part.errorString();
            return false;
        }
    } else {
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(path_).toStdString(), QFile::encodeName(target).toStdString(), ec);
        if (ec) {
            *error = QString::fromLocal8Bit(ec.message());
            return false;
        }
    }
    moved_ = true;
    return true;
}

}  // namespace zartav::backups
