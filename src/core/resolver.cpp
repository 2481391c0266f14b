#include "core/resolver.h"

#include <system_error>
#include <vector>

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

}  // namespace

bool IsConfinedName(std::string_view name) {
    if (IsAbsolute(name)) return false;
    for (const std::string& part : SplitDataPath(name))
        if (part == "..") return false;
    return true;
}

std::optional<fs::path> DataResolver::Find(std::string_view name) const {
    if (!IsConfinedName(name)) return std::nullopt;
    return Resolve(root_, name);
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
    return current;
}

}  // namespace zq
