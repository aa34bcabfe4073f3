#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

class QSettings;

namespace zartav::settings {

// The per-user store could not be written (no access, a damaged file ...).
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Named text values under key paths ("Software\Farm\Window": levels split by backslashes), as
// in the Windows registry under HKEY_CURRENT_USER. On Windows it is that registry; elsewhere a
// per-user file with the same keys, values and subkeys. Every call opens the store and closes it
// again, so several instances may share it.
class Registry {
public:
    // An empty file means the user's own store; tests give a file of their own.
    explicit Registry(QString file = {});

    // A value name that is empty, "Default" (any letter case) or holds "/" or "\" would reach
    // another value: read and write refuse it with RegistryError.
    // The value, or `defaultValue` when there is none. The key is created when missing.
    QString read(const QString& keyPath, const QString& valueName, const QString& defaultValue) const;
    // Creates the key when missing and replaces the value. Throws RegistryError when the store
    // cannot be written.
    void write(const QString& keyPath, const QString& valueName, const QString& value) const;
    // Removes the key with its subkeys (deepest first) and values. An empty path (the whole
    // user's store) is refused and does nothing. Throws RegistryError when the store cannot be
    // written.
    void clear(const QString& keyPath) const;
    bool keyExists(const QString& keyPath) const;

private:
    std::unique_ptr<QSettings> open() const;
    bool isSystemRegistry() const;
    void ensureKey(QSettings& store, const QString& key) const;

    QString file_;
};

}  // namespace zartav::settings
