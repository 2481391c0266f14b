// Small text helpers shared by the sectioned-file readers, the bank loader and
// the behaviour-script parser.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zq {

std::string Trim(std::string_view text);
std::string ToUpper(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

// The game's "is it a number" test: every character is a decimal digit or "-".
// An empty text passes this test (and then fails ParseNumber).
bool LooksNumeric(std::string_view text);

// A signed 32-bit decimal integer when `text` passes LooksNumeric and is
// well-formed: an optional leading "-" and at least one digit, in range.
// Empty text, a lone "-", "1-2" and overflowing values give nothing.
std::optional<std::int32_t> ParseNumber(std::string_view text);

// The six-value text "(a,b,c),(d,e,f)" of clip cameras, clip mesh places and
// script commands.  A non-empty text clears all six values first; each piece
// is then stored only when it is a number.  An empty text changes nothing.
void ParseSixValues(std::string_view text, std::array<std::int32_t, 6>& values);

// Latin-1 bytes (the encoding of every text in our data files) as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace zq
