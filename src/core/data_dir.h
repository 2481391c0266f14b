// Where a program finds its data folder, and where the player's own files
// (screenshots) go.  Shared by the games, the editor and zqtool; no toolkit.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zq {

// The folder the installed data lives in, relative to the install prefix.
inline constexpr const char* kInstalledDataDir = "share/zorvoquib";

struct DataDirSearch {
    std::optional<std::filesystem::path> found;
    std::vector<std::filesystem::path> tried;  // every candidate, in the order looked at

    // One line naming every place that was tried, for the "no data" message.
    std::string NotFoundMessage() const;
};

// For a folder given with --data that holds no game data: one line naming it.
std::string NoGameDataMessage(const std::filesystem::path& dir);

// True when `dir` looks like a data folder: it holds "Standard.bnk" (any case).
bool IsDataDir(const std::filesystem::path& dir);

// Finds the data folder.  An explicit --data folder is taken as given (the
// loaders report what is missing in it).  Otherwise the first that holds data
// of: `envDir` ($ZQ_DATA), "data" beside the program (a build tree), and
// PREFIX/share/zorvoquib where the program is PREFIX/bin/NAME, so an installed
// copy still works after it has been moved.
DataDirSearch FindDataDir(const std::optional<std::string>& explicitDir, const std::optional<std::string>& envDir,
                          const std::filesystem::path& programPath);
// The same with $ZQ_DATA from the environment.
DataDirSearch FindDataDir(const std::optional<std::string>& explicitDir, const std::filesystem::path& programPath);

// The running program's own file (/proc/self/exe), else `argv0` made absolute.
std::filesystem::path ProgramPath(const char* argv0);

// The player's pictures folder: $XDG_PICTURES_DIR, else the one named in
// `userDirsFile` (~/.config/user-dirs.dirs), else ~/Pictures.
std::filesystem::path PicturesDir();
// The user's home folder: $HOME when it is an absolute path, else the home
// folder the user database gives, when that is absolute; nothing otherwise.
std::optional<std::filesystem::path> HomeFolder();
// An XDG base-folder variable's value, only when it is an absolute path (the
// XDG rules say a relative one is ignored).
std::optional<std::filesystem::path> AbsoluteXdgFolder(const char* variable);
std::filesystem::path PicturesDir(const char* xdgPicturesDir, const std::filesystem::path& home,
                                  const std::filesystem::path& userDirsFile);

}  // namespace zq
