#pragma once

// Which store the program opens: the address given with --store, else the per-user setting
// Store/Address, else the Data.db of the data folder.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;

namespace zartav::store {

// The names the program and zartav-cli give themselves in main, so that their settings are one
// file (~/.config/Zartav/Zartav.conf).
inline constexpr const char* kSettingsOrganisation = "Zartav";
inline constexpr const char* kSettingsApplication = "Zartav";

// The desk's settings, the one place every reader and writer of them opens: the store's address,
// the signing key file. Tests name a file of their own (setSettingsFileForTesting).
std::unique_ptr<QSettings> deskSettings();

// The address after "--store" (or in "--store=ADDRESS") among the program's arguments, if any.
std::optional<QString> addressArgument(const QStringList& arguments);

// The address the program opens, from its arguments, the setting and the data folder.
QString chosenAddress(const QStringList& arguments);

// The saved setting (empty when none). Saving keeps no password: a server address is saved in
// its display form, and an empty address removes the setting (back to the Data.db).
QString savedAddress();
bool saveAddress(const QString& address);

// Tests keep the setting in a file of their own; std::nullopt restores the user's.
void setSettingsFileForTesting(std::optional<QString> file);

}  // namespace zartav::store
