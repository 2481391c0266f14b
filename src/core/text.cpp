#include "core/text.h"

#include <cctype>

namespace zq {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string Trim(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Upper(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool LooksNumeric(std::string_view text) {
    for (char c : text)
        if (!(c == '-' || (c >= '0' && c <= '9'))) return false;
    return true;
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
    if (!LooksNumeric(text) || text.empty()) return std::nullopt;
    bool negative = text[0] == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        if (c == '-') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

void ParseSixValues(std::string_view text, std::array<std::int32_t, 6>& values) {
    if (text.empty()) return;
    values.fill(0);
    // Each value runs from the end of the previous delimiter to its own.
    static constexpr std::string_view kEnds[6] = {",", ",", "),(", ",", ",", ")"};
    // Without an opening "(" the first value starts at the beginning.
    std::size_t open = text.find('(');
    std::size_t pos = open == std::string_view::npos ? 0 : open + 1;
    for (int i = 0; i < 6; ++i) {
        std::size_t end = text.find(kEnds[i], pos);
        if (end == std::string_view::npos) return;
        if (auto n = ParseNumber(text.substr(pos, end - pos))) values[i] = *n;
        pos = end + kEnds[i].size();
    }
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace zq
