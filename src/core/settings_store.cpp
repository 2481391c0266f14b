// Where settings files live and how they are written without losing what
// they hold.
#include "core/settings_store.h"

#include <system_error>

#include "core/data_dir.h"

namespace zq {

std::filesystem::path UserConfigDir() {
    if (auto xdg = AbsoluteXdgFolder("XDG_CONFIG_HOME")) return *xdg;
    if (auto home = HomeFolder()) return *home / ".config";
    return {};  // nowhere: the settings are never written into whatever folder the game started in
}

bool SettingsFileReadOnly(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    auto status = fs::status(path, ec);
    if (ec || !fs::is_regular_file(status)) return false;
    constexpr fs::perms kAnyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    return (status.permissions() & kAnyWrite) == fs::perms::none;
}

WriteResult WriteSettingsFile(const SettingsFile& file, const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    if (path.empty()) {
        WriteResult nowhere;
        nowhere.code = "NO SETTINGS FOLDER";
        nowhere.reason = "no settings folder: HOME and XDG_CONFIG_HOME are not absolute paths and the user has no "
                         "home folder";
        return nowhere;
    }
    // What we write is what we read plus our changes; a file that is there
    // but could not be read (no read permission, larger than the ceiling, not
    // a regular file) would be replaced by our changes alone, wiping the rest.
    std::error_code ec;
    const auto status = fs::status(path, ec);
    const bool missing = status.type() == fs::file_type::not_found;
    // A folder in its place is the writer's to report ("IS A FOLDER").
    if (!missing && status.type() != fs::file_type::directory) {
        const BoundedRead read = ReadRegularFile(path, kMaxSectionedFileBytes);
        if (!read.bytes) {
            WriteResult unread;
            unread.code = "CANNOT READ SETTINGS";
            unread.reason = "cannot read " + path.string() + " (" + (read.why.empty() ? ec.message() : read.why) +
                            "): it was left as it was";
            return unread;
        }
    }
    if (!path.parent_path().empty()) {
        fs::create_directories(path.parent_path(), ec);
        // The folder's own failure is the real cause (a read-only file
        // system), not the "no folder" the write would then report.
        if (ec) return WriteFailure(path.parent_path(), ec.value());
    }
    return file.Save(path);
}

}  // namespace zq
