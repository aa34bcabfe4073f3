#include "data/toolkit/settings_store.h"

#include "data/toolkit/settings_registry.h"
#include "data/toolkit/settings_table.h"

namespace zartav {

QString SettingsStore::ReadRegistery(const QString& keyPath, const QString& valueName,
                                     const QString& defaultValue) const {
    return settings::Registry(registryFile_).read(keyPath, valueName, defaultValue);
}

void SettingsStore::WriteRegistery(const QString& keyPath, const QString& valueName, const QString& value) const {
    settings::Registry(registryFile_).write(keyPath, valueName, value);
}

void SettingsStore::ClearRegistery(const QString& keyPath) const { settings::Registry(registryFile_).clear(keyPath); }

void SettingsStore::WriteInformation(const QString& group, const QString& name, const QString& value,
                                     const QString& description) {
    settings::writeInformation(table_, group, name, value, description);
}

QString SettingsStore::ReadInformation(const QString& group, const QString& name) {
    return settings::readInformation(table_, group, name);
}

}  // namespace zartav
