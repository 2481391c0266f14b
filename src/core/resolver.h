// The one way every program finds its data files.  Names come from level
// files, bank files and code written for a case-insensitive system with "\"
// separators ("LEVEL\a.lev", "3do\Game\Transi1.3do", "INTERF/CLIC.WAV"), so
// each part of a name is matched against the folder's entries ignoring case.
//
// A name read from a data file is confined to the data folder: an absolute
// name or one with a ".." part means no file at all, so a downloaded level or
// bank cannot make the game read or write elsewhere.  Symbolic links inside
// the data folder are followed only while they stay inside it: a name whose
// link (or linked folder) leads out of the folder counts as missing, for
// reading and for writing alike.  Paths the player gives
// (the command line, a file dialog) go through FindGiven, which takes them as
// they are.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zq {

class DataResolver {
public:
    DataResolver() = default;
    explicit DataResolver(std::filesystem::path root) : root_(std::move(root)) {}

    const std::filesystem::path& Root() const { return root_; }

    // The existing file or folder inside the data folder that the data-file
    // name `name` means, or nothing when there is none, when the name is
    // absolute or climbs out with "..", or when a link takes it outside.  An exact match wins over a match that
    // differs only in case.
    std::optional<std::filesystem::path> Find(std::string_view name) const;

    // A path the player gave: absolute, or relative to the data folder, ".."
    // allowed; parts are still matched ignoring case.
    std::optional<std::filesystem::path> FindGiven(std::string_view path) const;

    // Where to write the data-file name `name`: every part that exists is
    // matched as by Find, the rest is kept as written (with "/" separators).
    // Nothing for a name that Find would refuse, or whose existing part (a
    // linked folder, a link in the file's place) leads out of the data folder.
    std::optional<std::filesystem::path> ForWrite(std::string_view name) const;

private:
    std::filesystem::path root_ = ".";
};

// Splits a data-file name at "/" and "\" (empty parts dropped).
std::vector<std::string> SplitDataPath(std::string_view name);

// True when the data-file name stays inside its folder: not absolute and no
// ".." part.  "." parts and empty parts are harmless.
bool IsConfinedName(std::string_view name);

}  // namespace zq
