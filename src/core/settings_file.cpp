#include "core/settings_file.h"

#include "core/file_io.h"
#include "core/text.h"

namespace zq {

SettingsFile SettingsFile::FromText(std::string_view text) {
    SettingsFile file;
    if (text.find('\n') != std::string_view::npos && text.find("\r\n") == std::string_view::npos) file.newline_ = "\n";
    int section = -1;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        // Every CR before the LF goes: a line kept ending in CR would write
        // back as CR LF and read back differently.
        while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        Line line;
        line.text = std::string(raw);
        std::string trimmed = Trim(raw);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::size_t close = trimmed.find(']');
            std::string name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            file.sections_.push_back({name, file.lines_.size()});
            section = static_cast<int>(file.sections_.size()) - 1;
            line.section = section;
        } else {
            line.section = section;
            bool comment = trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#';
            std::size_t eq = trimmed.find('=');
            if (section >= 0 && !comment && eq != std::string::npos) {
                line.isKey = true;
                line.key = Trim(std::string_view(trimmed).substr(0, eq));
                line.value = Trim(std::string_view(trimmed).substr(eq + 1));
            }
        }
        file.lines_.push_back(std::move(line));
    }
    file.Reindex();
    return file;
}

namespace {

std::string KeyIndexName(std::string_view section, std::string_view key) {
    std::string name = ToUpper(section);
    name += '\n';  // never part of a name: lines end there
    name += ToUpper(key);
    return name;
}

}  // namespace

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
        keyIndex_.emplace(KeyIndexName(section, line.key), i);  // the first of equal keys wins
        sectionsWithKeys_.insert(sectionIndex_.at(ToUpper(section)));
    }
}

std::optional<SettingsFile> SettingsFile::Load(const std::filesystem::path& path) {
    auto bytes = ReadFileBytes(path);
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
    if (const Line* line = FindKey(section, key)) return line->value;
    return std::nullopt;
}

std::string SettingsFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
    if (const Line* line = FindKey(section, key)) return line->value;
    return std::string(fallback);
}

std::int32_t SettingsFile::GetInt(std::string_view section, std::string_view key, std::int32_t fallback) const {
    const Line* line = FindKey(section, key);
    if (!line) return fallback;
    std::string_view v = line->value;
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    if (auto n = ParseNumber(v)) return *n;
    return fallback;
}

bool SettingsFile::GetFlag(std::string_view section, std::string_view key, bool fallback) const {
    const Line* line = FindKey(section, key);
    if (!line) return fallback;
    return ToUpper(line->value) == "TRUE";
}

bool SettingsFile::SectionHasKeys(std::string_view section) const {
    int s = FindSection(section);
    return s >= 0 && sectionsWithKeys_.count(s) > 0;
}

void SettingsFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    if (const Line* found = FindKey(section, key)) {
        Line& line = lines_[static_cast<std::size_t>(found - lines_.data())];
        line.value = std::string(value);
        line.text = line.key + "=" + line.value;
        return;
    }
    Line added;
    added.isKey = true;
    added.key = std::string(key);
    added.value = std::string(value);
    added.text = added.key + "=" + added.value;
    int s = FindSection(section);
    if (s < 0) {
        // A new section goes at the end, after a blank line when the file has text.
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(PlainLine("", lines_.back().section));
        sections_.push_back({std::string(section), lines_.size()});
        s = static_cast<int>(sections_.size()) - 1;
        // Appended piece by piece: GCC 12 misreads "[" + std::string as an
        // overlapping copy (-Wrestrict) in optimised builds.
        std::string header = "[";
        header += section;
        header += ']';
        lines_.push_back(PlainLine(header, s));
        added.section = s;
        lines_.push_back(std::move(added));
        Reindex();
        return;
    }
    // After the last key of the section (or its header), before trailing blanks.
    std::size_t insertAt = sections_[static_cast<std::size_t>(s)].headerLine + 1;
    for (std::size_t i = insertAt; i < lines_.size() && lines_[i].section == s; ++i)
        if (!Trim(lines_[i].text).empty()) insertAt = i + 1;
    added.section = s;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(added));
    for (Section& other : sections_)
        if (other.headerLine >= insertAt) ++other.headerLine;
    Reindex();
}

void SettingsFile::SetInt(std::string_view section, std::string_view key, std::int32_t value) {
    SetString(section, key, std::to_string(value));
}

std::string SettingsFile::ToText() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += newline_;
    }
    return out;
}

WriteResult SettingsFile::Save(const std::filesystem::path& path) const { return WriteFileSafe(path, ToText()); }

}  // namespace zq
