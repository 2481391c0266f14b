// The include table in docs/layers.md says which folder may include which;
// this reads every #include in src/ and apps/ and names each one it forbids.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"

namespace zq {
namespace {

namespace fs = std::filesystem;

struct FolderRow {
    std::set<std::string> headers;  // folders and libraries its headers may include
    std::set<std::string> sources;  // what its .cpp files may include besides
};

struct IncludeTable {
    std::map<std::string, FolderRow> folders;
    std::map<std::string, std::set<std::string>> exceptions;  // file -> folders it may also include
};

std::string Trim(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != '`') out += c;
    const auto first = out.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(" \t") - first + 1);
}

std::set<std::string> Tokens(const std::string& cell) {
    std::set<std::string> out;
    std::stringstream in(cell);
    std::string token;
    while (std::getline(in, token, ','))
        if (!Trim(token).empty()) out.insert(Trim(token));
    return out;
}

// Rows are the table lines whose first cell names a folder or a file under
// src/ or apps/ in backticks; a name ending in .h or .cpp is an exception.
IncludeTable ReadTable(const fs::path& doc) {
    IncludeTable table;
    std::ifstream in(doc);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| `", 0) != 0) continue;
        std::vector<std::string> cells;
        std::stringstream row(line.substr(1));
        std::string cell;
        while (std::getline(row, cell, '|')) cells.push_back(cell);
        if (cells.size() < 2) continue;
        const std::string name = Trim(cells[0]);
        if (name.rfind("src/", 0) != 0 && name.rfind("apps/", 0) != 0) continue;
        const fs::path path(name);
        if (path.extension() == ".h" || path.extension() == ".cpp") {
            table.exceptions[name] = Tokens(cells[1]);
        } else {
            table.folders[name] = {Tokens(cells[1]), cells.size() > 2 ? Tokens(cells[2]) : std::set<std::string>{}};
        }
    }
    return table;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The library an angle-bracket include belongs to; empty for the C++ library
// and the system's own headers, which every file may include.
std::string LibraryOf(const std::string& header) {
    if (StartsWith(header, "SDL")) return "SDL";
    if (StartsWith(header, "GL/") || StartsWith(header, "OpenGL/")) return "GL";
    if (StartsWith(header, "enet/")) return "ENet";
    if (StartsWith(header, "mpv/")) return "mpv";
    if (StartsWith(header, "miniupnpc/")) return "miniupnpc";
    if (header == "natpmp.h") return "libnatpmp";
    if (header == "png.h" || header == "pngconf.h") return "libpng";
    if (StartsWith(header, "emscripten")) return "emscripten";
    if (StartsWith(header, "nlohmann/")) return "JSON";
    if (StartsWith(header, "Qt") || (header.size() > 1 && header[0] == 'Q' && std::isupper(header[1]) != 0))
        return "Qt";
    return {};
}

std::string Relative(const fs::path& path, const fs::path& root) {
    return path.lexically_relative(root).generic_string();
}

// Every include the table forbids, one line each: "file:line: what and why".
std::vector<std::string> ForbiddenIncludes(const fs::path& root, const IncludeTable& table) {
    std::vector<std::string> problems;
    std::set<std::string> exceptionsUsed;
    const std::regex includeLine(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<fs::path> files;
    for (const char* top : {"src", "apps"}) {
        if (!fs::is_directory(root / top)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".h" || ext == ".hpp" || ext == ".cpp" || ext == ".cc"))
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string name = Relative(file, root);
        const std::string folder = Relative(file.parent_path(), root);
        const auto row = table.folders.find(folder);
        if (row == table.folders.end()) {
            problems.push_back(name + ": its folder " + folder + " has no row in the table");
            continue;
        }
        const bool header = file.extension() == ".h" || file.extension() == ".hpp";
        std::set<std::string> allowed = row->second.headers;
        if (!header) allowed.insert(row->second.sources.begin(), row->second.sources.end());
        const auto exception = table.exceptions.find(name);
        const auto allows = [&](const std::string& what, bool isFolder) {
            if (allowed.count(what) != 0) return true;
            if (isFolder && StartsWith(what, "src/") && allowed.count("src/*") != 0) return true;
            if (exception != table.exceptions.end() && exception->second.count(what) != 0) {
                exceptionsUsed.insert(name);
                return true;
            }
            return false;
        };
        const std::string kind = header ? "headers" : ".cpp files";
        std::ifstream in(file);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            std::smatch m;
            if (!std::regex_search(line, m, includeLine)) continue;
            const std::string included = m[2];
            const std::string where = name + ":" + std::to_string(number) + ": ";
            if (m[1] == "<") {
                const std::string library = LibraryOf(included);
                if (!library.empty() && !allows(library, false))
                    problems.push_back(where + "<" + included + "> (" + library + ") is not allowed in " + kind +
                                       " of " + folder);
                continue;
            }
            fs::path target;
            for (const fs::path& candidate :
                 {file.parent_path() / included, root / "src" / included, root / "apps" / included})
                if (fs::is_regular_file(candidate)) {
                    target = candidate.lexically_normal();
                    break;
                }
            if (target.empty()) {
                problems.push_back(where + "\"" + included + "\" is no file under src/ or apps/");
                continue;
            }
            const std::string targetFolder = Relative(target.parent_path(), root);
            if (targetFolder != folder && !allows(targetFolder, true))
                problems.push_back(where + "\"" + included + "\" (" + targetFolder + ") is not allowed in " + kind +
                                   " of " + folder);
        }
    }
    for (const auto& [file, what] : table.exceptions)
        if (exceptionsUsed.count(file) == 0)
            problems.push_back(file + ": its exception is no longer needed; remove its line from the table");
    return problems;
}

std::string Lines(const std::vector<std::string>& problems) {
    std::string out;
    for (const std::string& p : problems) out += p + "\n";
    return out;
}

TEST(IncludeTable, SourcesKeepToTheTable) {
    const fs::path root = ZQ_SOURCE_DIR;
    const IncludeTable table = ReadTable(root / "docs" / "layers.md");
    ASSERT_TRUE(table.folders.count("src/core") != 0 && table.folders.count("apps/zqtool") != 0)
        << "docs/layers.md lost its table";
    const std::vector<std::string> problems = ForbiddenIncludes(root, table);
    EXPECT_TRUE(problems.empty()) << Lines(problems);
}

// The check itself, on a tree of its own: a header is held to the header
// column, a .cpp file gets the extra column, an exception covers only its
// own file, and each refusal names the file and the line.
TEST(IncludeTable, EachForbiddenIncludeIsNamedByFileAndLine) {
    test::TempDir dir;
    dir.Write("docs/layers.md",
              "| Folder | Headers | .cpp files |\n|---|---|---|\n"
              "| `src/core` | | |\n"
              "| `src/world` | `src/core` | `SDL` |\n"
              "| `src/shell` | `src/core` | |\n"
              "| `src/shell/old.cpp` | `src/world` | for now |\n");
    dir.Write("src/core/a.h", "#pragma once\n#include <vector>\n#include \"world/w.h\"\n");
    dir.Write("src/world/w.h", "#pragma once\n#include \"core/a.h\"\n#include <SDL.h>\n");
    dir.Write("src/world/w.cpp", "#include \"world/w.h\"\n#include <SDL.h>\n#include <QWidget>\n");
    dir.Write("src/shell/old.cpp", "#include \"world/w.h\"\n");
    dir.Write("src/shell/new.cpp", "#include \"core/a.h\"\n  #  include \"world/w.h\"\n#include \"gone.h\"\n");
    const std::vector<std::string> problems = ForbiddenIncludes(dir.Path(), ReadTable(dir / "docs/layers.md"));
    const std::vector<std::string> expected = {
        "src/core/a.h:3: \"world/w.h\" (src/world) is not allowed in headers of src/core",
        "src/shell/new.cpp:2: \"world/w.h\" (src/world) is not allowed in .cpp files of src/shell",
        "src/shell/new.cpp:3: \"gone.h\" is no file under src/ or apps/",
        "src/world/w.cpp:3: <QWidget> (Qt) is not allowed in .cpp files of src/world",
        "src/world/w.h:3: <SDL.h> (SDL) is not allowed in headers of src/world",
    };
    EXPECT_EQ(problems, expected) << Lines(problems);

    // An exception whose include is gone is reported, so the debt is paid off in the table too.
    dir.Write("src/shell/old.cpp", "#include \"core/a.h\"\n");
    const std::vector<std::string> after = ForbiddenIncludes(dir.Path(), ReadTable(dir / "docs/layers.md"));
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), "src/shell/old.cpp: its exception is no longer needed; remove its line from the table");
}

}  // namespace
}  // namespace zq
