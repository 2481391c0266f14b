// Where settings files live and how they are written: through the safe
// writer, never over a file that could not be read first.
#pragma once

#include <filesystem>
#include <string>

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

// A program's settings file, read once when the store is made and from then
// on only written.  Every part of the program reads and changes the copy held
// here, so a write holds what was read plus this run's changes, and a file
// that was there but could not be read is never written over.
class SettingsStore {
public:
    // Keeps no file: nothing is read, and a write is refused as "NO SETTINGS
    // FILE" (headless runs without --settings).
    SettingsStore() = default;
    // Reads `path` now.  An empty path is a store without a folder: its
    // writes are refused as "NO SETTINGS FOLDER".
    explicit SettingsStore(std::filesystem::path path);

    bool Kept() const { return kept_; }
    const std::filesystem::path& Path() const { return path_; }
    // There was a file when the store was made (a first start has none).
    bool Existed() const { return existed_; }
    // The file had no write bit: its settings are used, but nothing is written into it.
    bool ReadOnly() const { return readOnly_; }
    const SettingsFile& File() const { return file_; }
    SettingsFile& File() { return file_; }
    // Writes the copy as it is now, refused as WriteSettingsFile refuses.
    WriteResult Write() const;

private:
    std::filesystem::path path_;
    SettingsFile file_;
    bool kept_ = false;
    bool existed_ = false;
    bool readOnly_ = false;
    std::string unreadable_;  // why the file could not be read; empty when it was (or was not there)
};

}  // namespace zq
