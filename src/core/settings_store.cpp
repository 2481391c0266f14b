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

namespace {

WriteResult NoSettingsFolder() {
    WriteResult nowhere;
    nowhere.code = "NO SETTINGS FOLDER";
    nowhere.reason = "no settings folder: HOME and XDG_CONFIG_HOME are not absolute paths and the user has no "
                     "home folder";
    return nowhere;
}

WriteResult CannotRead(const std::filesystem::path& path, const std::string& why) {
    WriteResult unread;
    unread.code = "CANNOT READ SETTINGS";
    unread.reason = "cannot read " + path.string() + " (" + why + "): it was left as it was";
    return unread;
}

// A file that is there (not a folder in its place, which the writer reports
// as "IS A FOLDER") but could not be read: what we write is what we read
// plus our changes, so writing it would wipe the rest.
bool InTheWay(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto type = fs::status(path, ec).type();
    return type != fs::file_type::not_found && type != fs::file_type::directory;
}

// Makes the file's folder and writes the file through the safe writer.
WriteResult MakeFolderAndWrite(const SettingsFile& file, const std::filesystem::path& path) {
    if (!path.parent_path().empty()) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        // The folder's own failure is the real cause (a read-only file
        // system), not the "no folder" the write would then report.
        if (ec) return WriteFailure(path.parent_path(), ec.value());
    }
    return file.Save(path);
}

}  // namespace

WriteResult WriteSettingsFile(const SettingsFile& file, const std::filesystem::path& path) {
    if (path.empty()) return NoSettingsFolder();
    if (InTheWay(path)) {
        const BoundedRead read = ReadRegularFile(path, kMaxSectionedFileBytes);
        if (!read.bytes) return CannotRead(path, read.why.empty() ? "not a regular file" : read.why);
    }
    return MakeFolderAndWrite(file, path);
}

SettingsStore::SettingsStore(std::filesystem::path path) : path_(std::move(path)), kept_(true) {
    if (path_.empty()) return;
    readOnly_ = SettingsFileReadOnly(path_);
    const BoundedRead read = ReadRegularFile(path_, kMaxSectionedFileBytes);
    if (read.bytes) {
        existed_ = true;
        file_ = SettingsFile::FromText(
            std::string_view(reinterpret_cast<const char*>(read.bytes->data()), read.bytes->size()));
    } else if (InTheWay(path_)) {
        existed_ = true;
        unreadable_ = read.why.empty() ? "not a regular file" : read.why;
    }
}

WriteResult SettingsStore::Write() const {
    if (!kept_) {
        WriteResult none;
        none.code = "NO SETTINGS FILE";
        none.reason = "this run keeps no settings file";
        return none;
    }
    if (path_.empty()) return NoSettingsFolder();
    if (!unreadable_.empty()) return CannotRead(path_, unreadable_);
    return MakeFolderAndWrite(file_, path_);
}

}  // namespace zq
