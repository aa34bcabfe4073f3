#include "data/settings_store.h"

#include "data/settings_registry.h"
#include "data/settings_table.h"
#include "util/ttools.h"

namespace zartav {

QString SettingsStore::ReadRegistery(const QString& keyPath, const QString& valueName,
                                     const QString& defaultValue) const {
    return settings::Registry(registryFile_).read(keyPath, valueName, defaultValue);
}

void SettingsStore::WriteRegistery(const QString& keyPath, const QString& valueName, const QString& value) const {
    settings::Registry(registryFile_).write(keyPath, valueName, value);
}

void SettingsStore::ClearRegistery(const QString& keyPath) const { settings::Registry(registryFile_).clear(keyPath); }

// The settings table lives on the SQL toolkit's connection, a sibling part of TTools.
void SettingsStore::WriteInformation(const QString& group, const QString& name, const QString& value,
                                     const QString& description) {
    settings::writeInformation(static_cast<TTools&>(*this).ServerConnection, group, name, value, description);
}

QString SettingsStore::ReadInformation(const QString& group, const QString& name) {
    return settings::readInformation(static_cast<TTools&>(*this).ServerConnection, group, name);
}

}  // namespace zartav
