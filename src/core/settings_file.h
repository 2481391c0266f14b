// Sectioned settings files ("[Section]" lines, then "key=value" lines): the
// bank file, behaviour scripts and "quib.ini" all use this layout.
//
// Reading follows the usual profile-file rules: section and key names match
// without regard to case, the first of several equal keys wins, values are
// trimmed, lines outside sections and comment lines (";" or "#") are ignored,
// CR LF and LF both end a line.  Writing a key changes that one line (or adds
// it at the end of its section) and keeps everything else as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/file_io.h"

namespace zq {

// Behaviour scripts, bank files and settings files larger than this are not
// read: the largest valid script (256 behaviours of 256 steps) is under 4 MB,
// a bank of 257 object types and 65 clips a few hundred kilobytes.
inline constexpr std::uintmax_t kMaxSectionedFileBytes = 16u << 20;

class SettingsFile {
public:
    SettingsFile() = default;

    // Parses `text`; any text is accepted.
    static SettingsFile FromText(std::string_view text);
    // Reads the file at `path`; nothing when it cannot be read or is larger
    // than kMaxSectionedFileBytes.
    static std::optional<SettingsFile> Load(const std::filesystem::path& path);

    // The trimmed value, or nothing when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback = "") const;
    // A decimal integer; a missing key or a value that is not a number gives `fallback`.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const;
    // A flag is set only when its value, upper-cased, is "TRUE".
    bool GetFlag(std::string_view section, std::string_view key, bool fallback = false) const;
    // True when the section exists and holds at least one key.
    bool SectionHasKeys(std::string_view section) const;

    void SetString(std::string_view section, std::string_view key, std::string_view value);
    void SetInt(std::string_view section, std::string_view key, std::int32_t value);

    // The file as text, lines ended as the original file ended them (CR LF
    // when it had none).
    std::string ToText() const;
    // Writes through WriteFileSafe; the result says why when it could not.
    WriteResult Save(const std::filesystem::path& path) const;

private:
    // One entry per section header and per key line; every other line (blank,
    // comment, stray text, a key repeated in its section, which is never read)
    // joins the run of plain lines around it.  A file of a million blank lines
    // is one entry, so memory follows the text, not the number of lines.
    struct Line {
        std::string text;        // the line as read, without its end; a run's lines joined by '\n'
        int section = -1;        // index into sections_ of the section it belongs to
        bool isKey = false;
        bool isHeader = false;
        std::uint32_t keyBegin = 0, keyLength = 0;      // the trimmed key within text, when isKey
        std::uint32_t valueBegin = 0, valueLength = 0;  // the trimmed value within text, when isKey
        std::string_view Key() const { return std::string_view(text).substr(keyBegin, keyLength); }
        std::string_view Value() const { return std::string_view(text).substr(valueBegin, valueLength); }
        bool IsRun() const { return !isKey && !isHeader; }
    };
    static Line PlainLine(std::string text, int section) {
        Line line;
        line.text = std::move(text);
        line.section = section;
        return line;
    }
    static Line KeyLine(std::string_view key, std::string_view value, int section);
    struct Section {
        std::string name;
        std::size_t headerLine = 0;  // index of its "[name]" line
    };

    int FindSection(std::string_view name) const;
    const Line* FindKey(std::string_view section, std::string_view key) const;
    // Rebuilds the look-up tables from lines_ and sections_.
    void Reindex();
    // Splits the run at `index` after its last line with text, so that a key
    // can go between that text and the blank lines after it.
    void SplitRunAfterText(std::size_t index);

    std::vector<Line> lines_;
    std::vector<Section> sections_;
    // Look-ups go through these, built once, so reading a file with many keys
    // stays linear: upper-cased section name -> its first section, and
    // upper-cased "section\nkey" -> the line of its first key.
    std::unordered_map<std::string, int> sectionIndex_;
    std::unordered_map<std::string, std::size_t> keyIndex_;
    std::unordered_set<int> sectionsWithKeys_;
    std::string newline_ = "\r\n";
};

}  // namespace zq
