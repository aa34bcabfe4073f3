#include "data/toolkit/settings_registry.h"

#include <QSettings>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace zartav::settings {
namespace {

// A file store cannot hold a key without values, so an existing key keeps this entry. It is the
// name QSettings gives to a registry key's own (default) value.
const QString kKeyMarker = QStringLiteral(".");

// "Software\\Farm\\" and "Software/Farm" name the same key.
QString normalise(const QString& keyPath) {
    QStringList parts;
    for (const QString& part : QString(keyPath).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/')))
        if (!part.isEmpty()) parts.append(part);
    return parts.join(QLatin1Char('/'));
}

// A value name is one plain name: empty, "Default" (the store's name for a key's own value)
// or one with a separator would reach another value or a subkey.
void checkValueName(const QString& valueName, const char* what) {
    if (valueName.isEmpty() || valueName.compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0 ||
        valueName.contains(QLatin1Char('/')) || valueName.contains(QLatin1Char('\\')))
        throw RegistryError(std::string(what) + ": \"" + valueName.toStdString() + "\" is not a value name");
}

QString valueKey(const QString& key, const QString& valueName) {
    return key.isEmpty() ? valueName : key + QLatin1Char('/') + valueName;
}

void removeDepthFirst(QSettings& store, const QString& key) {
    store.beginGroup(key);
    const QStringList subkeys = store.childGroups();
    store.endGroup();
    for (qsizetype i = subkeys.size() - 1; i >= 0; --i) removeDepthFirst(store, key + QLatin1Char('/') + subkeys.at(i));
    // Value by value: removing the key's own name would also take a value of that name beside it.
    store.beginGroup(key);
    for (const QString& value : store.childKeys()) store.remove(value);
    store.endGroup();
}

void syncOrThrow(QSettings& store, const char* what) {
    store.sync();
    if (store.status() != QSettings::NoError)
        throw RegistryError(std::string(what) + ": the settings store " + store.fileName().toStdString() +
                            " cannot be written");
}

}  // namespace

Registry::Registry(QString file) : file_(std::move(file)) {}

bool Registry::isSystemRegistry() const {
#ifdef Q_OS_WIN
    return file_.isEmpty();
#else
    return false;
#endif
}

std::unique_ptr<QSettings> Registry::open() const {
    if (!file_.isEmpty()) return std::make_unique<QSettings>(file_, QSettings::IniFormat);
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER"), QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Zartav"),
                                       QStringLiteral("registry"));
#endif
}

void Registry::ensureKey(QSettings& store, const QString& key) const {
    if (key.isEmpty()) return;
#ifdef Q_OS_WIN
    if (isSystemRegistry()) {
        const std::wstring path = QString(key).replace(QLatin1Char('/'), QLatin1Char('\\')).toStdWString();
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                            nullptr) == ERROR_SUCCESS)
            RegCloseKey(handle);
        return;
    }
#endif
    const QString marker = valueKey(key, kKeyMarker);
    if (!store.contains(marker)) store.setValue(marker, QString());
}

QString Registry::read(const QString& keyPath, const QString& valueName, const QString& defaultValue) const {
    checkValueName(valueName, "ReadRegistery");
    const auto store = open();
    const QString key = normalise(keyPath);
    ensureKey(*store, key);
    store->sync();  // a read-only store still answers; only the new key is lost then
    const QString name = valueKey(key, valueName);
    return store->contains(name) ? store->value(name).toString() : defaultValue;
}

void Registry::write(const QString& keyPath, const QString& valueName, const QString& value) const {
    checkValueName(valueName, "WriteRegistery");
    const auto store = open();
    const QString key = normalise(keyPath);
    ensureKey(*store, key);
    store->setValue(valueKey(key, valueName), value);
    syncOrThrow(*store, "WriteRegistery");
}

void Registry::clear(const QString& keyPath) const {
    const QString key = normalise(keyPath);
    if (key.isEmpty()) return;
#ifdef Q_OS_WIN
    if (isSystemRegistry()) {
        // The key with its subkeys and values, and nothing beside it.
        const std::wstring path = QString(key).replace(QLatin1Char('/'), QLatin1Char('\\')).toStdWString();
        const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            throw RegistryError("ClearRegistery: the key cannot be deleted");
        RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
        return;
    }
#endif
    const auto store = open();
    removeDepthFirst(*store, key);
    syncOrThrow(*store, "ClearRegistery");
}

bool Registry::keyExists(const QString& keyPath) const {
    const auto store = open();
    const QString key = normalise(keyPath);
    if (key.isEmpty()) return true;
    if (isSystemRegistry()) {
        const qsizetype cut = key.lastIndexOf(QLatin1Char('/'));
        store->beginGroup(cut < 0 ? QString() : key.left(cut));
        return store->childGroups().contains(key.mid(cut + 1));
    }
    store->beginGroup(key);
    return !store->childKeys().isEmpty() || !store->childGroups().isEmpty();
}

}  // namespace zartav::settings
