#pragma once

// Where the program's files are. The program folder is the folder of the running executable.
// A portable install keeps everything there; when that folder cannot be written (an install
// under /usr or Program Files) the data goes to the per-user data folder instead.

#include <QString>
#include <optional>

namespace zartav::paths {

// Folder of the running executable (no trailing separator).
QString programFolder();

// Per-user data folder (~/.local/share/Zartav/Zartav on Linux); created on demand by callers.
QString userDataFolder();

// Folder that holds Data.db and ini/: the program folder when it is writable or already holds a
// Data.db (a portable copy), otherwise the per-user data folder. An installed copy (under /usr)
// always uses the per-user data folder.
QString dataFolder();

// Full path of the database file, "Data.db" in dataFolder().
QString databasePath();

// Full path of a legacy database "Data.mdb" beside the program, or in the per-user data folder
// for an installed copy (it may not exist).
QString legacyDatabasePath();

// The "ini" folder of the field default files, in dataFolder() (it may not exist yet).
QString iniFolder();

// The certificate template "Center.Fr3": the program folder's copy if there is one, else the
// per-user data folder's; empty text when neither exists.
QString templatePath();

// Folder for the trace files of the SQL toolkit: the per-user data folder.
QString traceFolder();

// Tests point the folders at temporary ones; std::nullopt restores the real folders.
void setProgramFolderForTesting(std::optional<QString> folder);
void setUserDataFolderForTesting(std::optional<QString> folder);

}  // namespace zartav::paths
