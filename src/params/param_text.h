// Small text helpers of the parameter descriptions: UTF-8 aware truncation, trimming, strict number
// parsing. Pure functions, any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The first `maxChars` characters (code points) of UTF-8 `text`; never cuts a character in two.
std::string Utf8Prefix(std::string_view text, size_t maxChars);
// Number of characters (code points) of UTF-8 `text`.
size_t Utf8Length(std::string_view text);
// `text` without leading and trailing blanks and control characters.
std::string_view TrimBlanks(std::string_view text);
// The whole of `text` as a decimal integer with an optional sign; nullopt when it is anything else or
// does not fit 64 bits.
std::optional<int64_t> ParseInteger(std::string_view text);

} // namespace velmora
