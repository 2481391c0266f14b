// Where settings files live and how they are written: through the safe
// writer, never over a file that could not be read first.
#pragma once

#include <filesystem>

#include "core/file_io.h"
#include "core/settings_file.h"

namespace zq {

// $XDG_CONFIG_HOME when it is absolute, else ~/.config (the home folder from
// $HOME when absolute, else from the user database): the folder the per-user
// settings live in.  Empty when there is no such folder.
std::filesystem::path UserConfigDir();

// A settings file that exists without any write bit: its settings are used,
// but neither the settings nor a saved game are written into it.
bool SettingsFileReadOnly(const std::filesystem::path& path);
// Makes the file's folder and writes it through the safe writer; a read-only
// file is refused as "READ-ONLY" without touching it, an existing file that
// cannot be read as "CANNOT READ SETTINGS" (writing would wipe what it holds),
// an empty path as "NO SETTINGS FOLDER", and a folder that cannot be made
// with that folder's own reason ("READ-ONLY FILE SYSTEM").
WriteResult WriteSettingsFile(const SettingsFile& file, const std::filesystem::path& path);

}  // namespace zq
