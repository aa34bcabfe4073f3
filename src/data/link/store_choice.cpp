#include "data/link/store_choice.h"

#include "data/engine/store_address.h"
#include "util/app_paths.h"

#include <QSettings>
#include <memory>

namespace zartav::store {
namespace {

const QString kKey = QStringLiteral("Store/Address");
const QString kOption = QStringLiteral("--store");

std::optional<QString>& settingsFileOverride() {
    static std::optional<QString> file;
    return file;
}

}  // namespace

std::unique_ptr<QSettings> deskSettings() {
    if (settingsFileOverride()) return std::make_unique<QSettings>(*settingsFileOverride(), QSettings::IniFormat);
    // The names themselves rather than the application's, so that a caller before main has named
    // the program (or a test, which never does) reads the same file.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganisation),
                                       QString::fromLatin1(kSettingsApplication));
}

std::optional<QString> addressArgument(const QStringList& arguments) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == kOption && i + 1 < arguments.size()) return arguments.at(i + 1);
        if (a.startsWith(kOption + QLatin1Char('='))) return a.mid(kOption.size() + 1);
    }
    return std::nullopt;
}

QString chosenAddress(const QStringList& arguments) {
    if (const std::optional<QString> given = addressArgument(arguments); given && !given->trimmed().isEmpty())
        return *given;
    const QString saved = savedAddress();
    return saved.trimmed().isEmpty() ? paths::databasePath() : saved;
}

QString savedAddress() { return deskSettings()->value(kKey).toString(); }

bool saveAddress(const QString& address) {
    const auto store = deskSettings();
    const std::optional<StoreAddress> parsed = StoreAddress::parse(address);
    if (address.trimmed().isEmpty()) {
        store->remove(kKey);
    } else if (!parsed) {
        return false;
    } else {
        store->setValue(kKey, parsed->isServer() ? parsed->display() : parsed->filePath());
    }
    store->sync();
    return store->status() == QSettings::NoError;
}

void setSettingsFileForTesting(std::optional<QString> file) { settingsFileOverride() = std::move(file); }

}  // namespace zartav::store
