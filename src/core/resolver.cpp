#include "core/resolver.h"

#include <system_error>
#include <vector>

#include "core/file_io.h"
#include "core/text.h"

namespace zq {

namespace fs = std::filesystem;

std::vector<std::string> SplitDataPath(std::string_view name) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

namespace {

bool IsAbsolute(std::string_view name) { return !name.empty() && (name[0] == '/' || name[0] == '\\'); }

// The entry of `dir` called `part`, ignoring case; nothing when there is none.
std::optional<fs::path> MatchEntry(const fs::path& dir, const std::string& part) {
    std::error_code ec;
    fs::path exact = dir / part;
    if (fs::exists(exact, ec)) return exact;
    if (part == "." || part == "..") return std::nullopt;
    fs::directory_iterator it(dir, ec), end;
    if (ec) return std::nullopt;
    std::optional<fs::path> found;
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        std::string entry = it->path().filename().string();
        if (EqualsNoCase(entry, part)) {
            // Directory order is arbitrary; pick the smallest name so the choice
            // between "A.lev" and "a.LEV" is the same on every machine.
            if (!found || entry < found->filename().string()) found = it->path();
        }
    }
    return found;
}

// Follows `name` part by part from the root ("/" for an absolute name).
std::optional<fs::path> Resolve(const fs::path& root, std::string_view name) {
    fs::path current = IsAbsolute(name) ? fs::path("/") : root;
    for (const std::string& part : SplitDataPath(name)) {
        auto next = MatchEntry(current, part);
        if (!next) return std::nullopt;
        current = *next;
    }
    std::error_code ec;
    if (!fs::exists(current, ec)) return std::nullopt;
    return current;
}

// True when `path`, its links resolved, lies inside `root` (its links resolved too).
bool StaysInside(const fs::path& root, const fs::path& path) {
    std::error_code ec;
    const fs::path realRoot = fs::canonical(root, ec);
    if (ec) return false;
    const fs::path real = fs::weakly_canonical(path, ec);
    if (ec) return false;
    auto r = realRoot.begin(), p = real.begin();
    for (; r != realRoot.end(); ++r, ++p)
        if (p == real.end() || *p != *r) return false;
    return true;
}

}  // namespace

bool IsConfinedName(std::string_view name) {
    if (IsAbsolute(name)) return false;
    for (const std::string& part : SplitDataPath(name))
        if (part == "..") return false;
    return true;
}

std::optional<fs::path> DataResolver::Find(std::string_view name) const {
    if (!IsConfinedName(name)) return std::nullopt;
    auto found = Resolve(root_, name);
    if (found && !StaysInside(root_, *found)) return std::nullopt;
    return found;
}

std::optional<fs::path> DataResolver::FindGiven(std::string_view path) const { return Resolve(root_, path); }

std::optional<fs::path> DataResolver::ForWrite(std::string_view name) const {
    if (!IsConfinedName(name)) return std::nullopt;
    fs::path current = root_;
    bool matching = true;
    for (const std::string& part : SplitDataPath(name)) {
        if (matching) {
            if (auto next = MatchEntry(current, part)) {
                current = *next;
                continue;
            }
            matching = false;
        }
        current /= part;
    }
    // A link in the file's place is written through (WriteFileSafe), so the
    // file it finally names must be inside too, even when it does not exist yet.
    const auto target = FinalWriteTarget(current);
    if (!target || !StaysInside(root_, current) || !StaysInside(root_, *target)) return std::nullopt;
    return current;
}

}  // namespace zq
