#include "core/settings_file.h"

#include <utility>

#include "core/file_io.h"
#include "core/text.h"

namespace zq {

SettingsFile::Line SettingsFile::KeyLine(std::string_view key, std::string_view value, int section) {
    Line line;
    line.isKey = true;
    line.section = section;
    line.text.reserve(key.size() + 1 + value.size());
    line.text += key;
    line.text += '=';
    line.text += value;
    line.keyLength = static_cast<std::uint32_t>(key.size());
    line.valueBegin = line.keyLength + 1;
    line.valueLength = static_cast<std::uint32_t>(value.size());
    return line;
}

namespace {

std::string KeyIndexName(std::string_view section, std::string_view key) {
    std::string name = ToUpper(section);
    name += '\n';  // never part of a name: lines end there
    name += ToUpper(key);
    return name;
}

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool Blank(std::string_view line) {
    for (char c : line)
        if (!IsBlankChar(c)) return false;
    return true;
}

// Where `text` less the blanks at both ends (as Trim counts them) begins, and its length.
std::pair<std::size_t, std::size_t> TrimmedRange(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlankChar(text[begin])) ++begin;
    while (end > begin && IsBlankChar(text[end - 1])) --end;
    return {begin, end - begin};
}

}  // namespace

SettingsFile SettingsFile::FromText(std::string_view text) {
    SettingsFile file;
    if (text.find('\n') != std::string_view::npos && text.find("\r\n") == std::string_view::npos) file.newline_ = "\n";
    int section = -1;
    std::size_t pos = 0;
    // Plain lines gather into one run: the span of the text they cover is
    // remembered, and the run is made in one piece when a header or key line
    // (or the end) closes it, so a long run is never grown step by step.
    std::size_t runBegin = std::string_view::npos, runEnd = 0;
    auto addPlain = [&runBegin, &runEnd, &text](std::string_view raw) {
        const std::size_t begin = static_cast<std::size_t>(raw.data() - text.data());
        if (runBegin == std::string_view::npos) runBegin = begin;
        runEnd = begin + raw.size();
    };
    auto closeRun = [&file, &section, &runBegin, &runEnd, &text] {
        if (runBegin == std::string_view::npos) return;
        std::string_view span = text.substr(runBegin, runEnd - runBegin);
        std::string run;
        run.reserve(span.size());
        while (true) {
            const std::size_t newline = span.find('\n');
            std::string_view line = span.substr(0, newline);
            while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            run += line;
            if (newline == std::string_view::npos) break;
            run += '\n';
            span.remove_prefix(newline + 1);
        }
        file.lines_.push_back(PlainLine(std::move(run), section));
        runBegin = std::string_view::npos;
    };
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        // Every CR before the LF goes: a line kept ending in CR would write
        // back as CR LF and read back differently.
        while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (Blank(raw)) {
            addPlain(raw);
            continue;
        }

        const auto [trimBegin, trimLength] = TrimmedRange(raw);
        std::string_view trimmed = raw.substr(trimBegin, trimLength);
        if (trimmed.front() == '[') {
            std::size_t close = trimmed.find(']');
            std::string name = Trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            closeRun();
            Line line = PlainLine(std::string(raw), static_cast<int>(file.sections_.size()));
            line.isHeader = true;
            file.sections_.push_back({name, file.lines_.size()});
            section = line.section;
            file.sectionIndex_.emplace(ToUpper(name), section);
            file.lines_.push_back(std::move(line));
            continue;
        }
        const bool comment = trimmed.front() == ';' || trimmed.front() == '#';
        const std::size_t eq = trimmed.find('=');
        if (section < 0 || comment || eq == std::string_view::npos) {
            addPlain(raw);
            continue;
        }
        const auto [keyBegin, keyLength] = TrimmedRange(trimmed.substr(0, eq));
        const auto [valueBegin, valueLength] = TrimmedRange(trimmed.substr(eq + 1));
        // A section that appears twice is one section: its keys are searched
        // in file order, under the first header's name.
        const std::string& sectionName = file.sections_[static_cast<std::size_t>(section)].name;
        std::string indexName = KeyIndexName(sectionName, trimmed.substr(keyBegin, keyLength));
        if (file.keyIndex_.count(indexName) > 0) {  // the first of equal keys wins: a later one is never read
            addPlain(raw);
            continue;
        }
        closeRun();
        file.keyIndex_.emplace(std::move(indexName), file.lines_.size());
        Line line = PlainLine(std::string(raw), section);
        line.isKey = true;
        line.keyBegin = static_cast<std::uint32_t>(trimBegin + keyBegin);
        line.keyLength = static_cast<std::uint32_t>(keyLength);
        line.valueBegin = static_cast<std::uint32_t>(trimBegin + eq + 1 + valueBegin);
        line.valueLength = static_cast<std::uint32_t>(valueLength);
        file.sectionsWithKeys_.insert(file.sectionIndex_.at(ToUpper(sectionName)));
        file.lines_.push_back(std::move(line));
    }
    closeRun();
    return file;
}

void SettingsFile::Reindex() {
    sectionIndex_.clear();
    keyIndex_.clear();
    sectionsWithKeys_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) sectionIndex_.emplace(ToUpper(sections_[i].name), static_cast<int>(i));
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (!line.isKey) continue;
        // A section that appears twice is one section: its keys are searched
        // in file order, under the first header's name.
        const std::string& section = sections_[static_cast<std::size_t>(line.section)].name;
        keyIndex_.emplace(KeyIndexName(section, line.Key()), i);  // the first of equal keys wins
        sectionsWithKeys_.insert(sectionIndex_.at(ToUpper(section)));
    }
}

std::optional<SettingsFile> SettingsFile::Load(const std::filesystem::path& path) {
    auto bytes = ReadFileBytes(path, kMaxSectionedFileBytes);
    if (!bytes) return std::nullopt;
    return FromText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

int SettingsFile::FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(ToUpper(name));
    return it == sectionIndex_.end() ? -1 : it->second;
}

const SettingsFile::Line* SettingsFile::FindKey(std::string_view section, std::string_view key) const {
    auto it = keyIndex_.find(KeyIndexName(section, key));
    return it == keyIndex_.end() ? nullptr : &lines_[it->second];
}

std::optional<std::string> SettingsFile::Find(std::string_view section, std::string_view key) const {
    if (const Line* line = FindKey(section, key)) return std::string(line->Value());
    return std::nullopt;
}

std::string SettingsFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
    if (const Line* line = FindKey(section, key)) return std::string(line->Value());
    return std::string(fallback);
}

std::int32_t SettingsFile::GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const {
    const Line* line = FindKey(section, key);
    if (!line) return fallback;
    std::string_view v = line->Value();
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    if (auto n = ParseNumber(v)) return *n;
    return fallback;
}

bool SettingsFile::GetFlag(std::string_view section, std::string_view key, bool fallback) const {
    const Line* line = FindKey(section, key);
    if (!line) return fallback;
    return ToUpper(line->Value()) == "TRUE";
}

bool SettingsFile::SectionHasKeys(std::string_view section) const {
    int s = FindSection(section);
    return s >= 0 && sectionsWithKeys_.count(s) > 0;
}

void SettingsFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    if (const Line* found = FindKey(section, key)) {
        Line& line = lines_[static_cast<std::size_t>(found - lines_.data())];
        // The key keeps its spelling as written in the file.
        line = KeyLine(std::string(line.Key()), value, line.section);
        return;
    }
    int s = FindSection(section);
    if (s < 0) {
        // A new section goes at the end, after a blank line when the file has text.
        if (!lines_.empty() && !Blank(lines_.back().text.substr(lines_.back().text.rfind('\n') + 1)))
            lines_.push_back(PlainLine("", lines_.back().section));
        sections_.push_back({std::string(section), lines_.size()});
        s = static_cast<int>(sections_.size()) - 1;
        // Appended piece by piece: GCC 12 misreads "[" + std::string as an
        // overlapping copy (-Wrestrict) in optimised builds.
        std::string header = "[";
        header += section;
        header += ']';
        Line headerLine = PlainLine(header, s);
        headerLine.isHeader = true;
        lines_.push_back(std::move(headerLine));
        lines_.push_back(KeyLine(key, value, s));
        Reindex();
        return;
    }
    // After the last key of the section (or its header), before trailing blanks.
    std::size_t insertAt = sections_[static_cast<std::size_t>(s)].headerLine + 1;
    for (std::size_t i = insertAt; i < lines_.size() && lines_[i].section == s; ++i)
        if (!Blank(lines_[i].text)) insertAt = i + 1;
    if (insertAt > 0 && lines_[insertAt - 1].IsRun()) {
        SplitRunAfterText(insertAt - 1);
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), KeyLine(key, value, s));
    for (Section& other : sections_)
        if (other.headerLine >= insertAt) ++other.headerLine;
    Reindex();
}

void SettingsFile::SplitRunAfterText(std::size_t index) {
    Line& run = lines_[index];
    // The run's blank lines at its end move into a run of their own.
    std::size_t cut = run.text.size();  // the end of the last line with text
    while (true) {
        const std::size_t newline = cut == 0 ? std::string::npos : run.text.rfind('\n', cut - 1);
        const std::size_t from = newline == std::string::npos ? 0 : newline + 1;
        if (!Blank(std::string_view(run.text).substr(from, cut - from))) break;
        if (newline == std::string::npos) return;  // all blank: nothing to split
        cut = newline;
    }
    if (cut == run.text.size()) return;
    Line tail = PlainLine(run.text.substr(cut + 1), run.section);
    run.text.resize(cut);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index) + 1, std::move(tail));
    for (Section& other : sections_)
        if (other.headerLine > index) ++other.headerLine;
}

void SettingsFile::SetInt(std::string_view section, std::string_view key, std::int32_t value) {
    SetString(section, key, std::to_string(value));
}

std::string SettingsFile::ToText() const {
    std::string out;
    for (const Line& line : lines_) {
        if (line.IsRun() && newline_ != "\n") {
            for (char c : line.text) {
                if (c == '\n') out += newline_;
                else out += c;
            }
        } else {
            out += line.text;
        }
        out += newline_;
    }
    return out;
}

WriteResult SettingsFile::Save(const std::filesystem::path& path) const { return WriteFileSafe(path, ToText()); }

}  // namespace zq
