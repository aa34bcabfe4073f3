#include "util/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zartav::paths {
namespace {

std::optional<QString>& programOverride() {
    static std::optional<QString> folder;
    return folder;
}

std::optional<QString>& userOverride() {
    static std::optional<QString> folder;
    return folder;
}

bool isWritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

// An installed copy (PREFIX/bin beside PREFIX/share/applications holding our desktop entry)
// keeps no data beside itself, even for a user who may write there.
bool isInstalledCopy(const QString& program) {
    return QFileInfo::exists(program + QStringLiteral("/../share/applications/") + QStringLiteral(ZARTAV_APP_ID) +
                             QStringLiteral(".desktop"));
}

}  // namespace

QString programFolder() {
    if (programOverride()) return *programOverride();
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString userDataFolder() {
    if (userOverride()) return *userOverride();
    // Fixed names rather than the application's, so the program and zartav-cli agree.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Zartav/Zartav");
}

QString dataFolder() {
    const QString program = programFolder();
    if (isInstalledCopy(program)) return userDataFolder();
    // A Data.db already beside the program stays the one in use even when the folder has become
    // read-only: starting a second, empty database elsewhere would hide every stored record.
    if (isWritableFolder(program) || QFileInfo(program + QStringLiteral("/Data.db")).isFile())
        return program;
    return userDataFolder();
}

QString databasePath() { return dataFolder() + QStringLiteral("/Data.db"); }

QString legacyDatabasePath() {
    const QString program = programFolder();
    return (isInstalledCopy(program) ? userDataFolder() : program) + QStringLiteral("/Data.mdb");
}

QString iniFolder() { return dataFolder() + QStringLiteral("/ini"); }

QString templatePath() {
    for (const QString& folder : {programFolder(), userDataFolder()}) {
        const QString path = folder + QStringLiteral("/Center.Fr3");
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

QString traceFolder() { return userDataFolder(); }

void setProgramFolderForTesting(std::optional<QString> folder) {
    programOverride() = std::move(folder);
}

void setUserDataFolderForTesting(std::optional<QString> folder) {
    userOverride() = std::move(folder);
}

}  // namespace zartav::paths
