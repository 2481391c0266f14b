// The one way every program finds its data files.  Names come from level
// files, bank files and code written for a case-insensitive system with "\"
// separators ("LEVEL\a.lev", "3do\Game\Transi1.3do", "INTERF/CLIC.WAV"), so
// each part of a name is matched against the folder's entries ignoring case.
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

    // The existing file or folder that `name` means, relative to the data folder
    // (or from "/" when `name` is absolute), or nothing when there is none.
    // An exact match wins over a match that differs only in case.
    std::optional<std::filesystem::path> Find(std::string_view name) const;

    // Where to write `name`: every part that exists is matched as by Find, the
    // rest is kept as written (with "/" separators).
    std::filesystem::path ForWrite(std::string_view name) const;

private:
    std::filesystem::path root_ = ".";
};

// Splits a data-file name at "/" and "\" (empty parts dropped).
std::vector<std::string> SplitDataPath(std::string_view name);

}  // namespace zq
