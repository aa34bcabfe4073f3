#pragma once

#include <QSqlDatabase>
#include <QString>

namespace zartav {

// Named text values in the user's registry (a per-user file where there is none) and in the
// settings table Dbo.Info on the server connection it is given. Failures are not caught here: they reach the caller as
// settings::RegistryError or DatabaseError.
class SettingsStore {
public:
    // Reading creates the key when it is missing; the value or `defaultValue` is returned.
    QString ReadRegistery(const QString& keyPath, const QString& valueName, const QString& defaultValue) const;
    void WriteRegistery(const QString& keyPath, const QString& valueName, const QString& value) const;
    // Removes the key, its subkeys and its values.
    void ClearRegistery(const QString& keyPath) const;

    // Stores the value under (group, name); a blank group is "DEFAULT", and the description is
    // only written when the setting is new.
    void WriteInformation(const QString& group, const QString& name, const QString& value,
                          const QString& description);
    // The stored value, or "NOTANSWER" when the setting is not stored.
    QString ReadInformation(const QString& group, const QString& name);

    // A file of its own instead of the user's store (tests, a portable install).
    void setRegistryFile(const QString& file) { registryFile_ = file; }

protected:
    // `table` is the connection that holds Dbo.Info; it outlives this object.
    explicit SettingsStore(QSqlDatabase& table) : table_(table) {}

private:
    QSqlDatabase& table_;
    QString registryFile_;
};

}  // namespace zartav
