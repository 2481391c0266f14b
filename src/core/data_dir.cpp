#include "core/data_dir.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "core/resolver.h"
#include "core/text.h"

namespace zq {

namespace fs = std::filesystem;

std::string DataDirSearch::NotFoundMessage() const {
    std::string text = "no data folder found (looked in";
    for (std::size_t i = 0; i < tried.size(); ++i) text += (i == 0 ? " " : ", ") + tried[i].string();
    return text + "); give one with --data DIR or ZQ_DATA";
}

std::string NoGameDataMessage(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return "the data folder " + dir.string() + " does not exist";
    return "the data folder " + dir.string() + " holds no game data (no Standard.bnk)";
}

bool IsDataDir(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return false;
    const auto bank = DataResolver(dir).Find("Standard.bnk");
    return bank && fs::is_regular_file(*bank, ec);
}

DataDirSearch FindDataDir(const std::optional<std::string>& explicitDir, const std::optional<std::string>& envDir,
                          const fs::path& programPath) {
    DataDirSearch search;
    if (explicitDir) {
        search.found = fs::path(*explicitDir);
        search.tried.push_back(*search.found);
        return search;
    }
    std::vector<fs::path> candidates;
    if (envDir && !envDir->empty()) candidates.emplace_back(*envDir);
    const fs::path bin = programPath.parent_path();
    if (!bin.empty()) {
        candidates.push_back(bin / "data");
        // PREFIX/bin/game_soft reads PREFIX/share/zorvoquib.
        candidates.push_back((bin / ".." / kInstalledDataDir).lexically_normal());
    }
    for (const fs::path& dir : candidates) {
        search.tried.push_back(dir);
        if (IsDataDir(dir)) {
            search.found = dir;
            break;
        }
    }
    return search;
}

DataDirSearch FindDataDir(const std::optional<std::string>& explicitDir, const fs::path& programPath) {
    std::optional<std::string> env;
    if (const char* value = std::getenv("ZQ_DATA")) env = value;
    return FindDataDir(explicitDir, env, programPath);
}

fs::path ProgramPath(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self;
    if (!argv0 || !*argv0) return {};
    return fs::absolute(argv0, ec);
}

namespace {

// The value of XDG_PICTURES_DIR in a user-dirs.dirs file: a quoted path that
// may start with $HOME.  Nothing when the file or the line is missing.
std::optional<fs::path> PicturesFromUserDirs(const fs::path& file, const fs::path& home) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::string text = Trim(line);
        const std::string key = "XDG_PICTURES_DIR=";
        if (text.compare(0, key.size(), key) != 0) continue;
        std::string value = text.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0) {
            std::string rest = value.substr(5);
            while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
            // "$HOME/" alone is the home folder itself, which holds no pictures folder.
            if (rest.empty()) return std::nullopt;
            return home / rest;
        }
        if (!value.empty() && value.front() == '/') return fs::path(value);
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

fs::path PicturesDir(const char* xdgPicturesDir, const fs::path& home, const fs::path& userDirsFile) {
    if (xdgPicturesDir && *xdgPicturesDir) return xdgPicturesDir;
    if (auto dir = PicturesFromUserDirs(userDirsFile, home)) return *dir;
    return home / "Pictures";
}

std::optional<fs::path> HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home == '/') return fs::path(home);
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return fs::path(found->pw_dir);
    return std::nullopt;
}

std::optional<fs::path> AbsoluteXdgFolder(const char* variable) {
    if (const char* value = std::getenv(variable); value && *value == '/') return fs::path(value);
    return std::nullopt;
}

fs::path PicturesDir() {
    const fs::path home = HomeFolder().value_or(fs::current_path());
    const fs::path configDir = AbsoluteXdgFolder("XDG_CONFIG_HOME").value_or(home / ".config");
    const auto pictures = AbsoluteXdgFolder("XDG_PICTURES_DIR");
    return PicturesDir(pictures ? pictures->c_str() : nullptr, home, configDir / "user-dirs.dirs");
}

}  // namespace zq
