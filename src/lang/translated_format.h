// Formatted user texts: a Russian printf pattern is translated through the dictionary and then filled.
// A translation whose conversions differ from the Russian pattern's is not used, so that an edited
// dictionary file can never make a %s read an integer. Any thread may call these.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace velmora {

// The translation of `pattern` when its conversions (%d, %s, %.4x ...) are the same, in the same order,
// as the pattern's own; otherwise the pattern itself.
std::string TranslatePattern(std::string_view pattern);

// printf-style formatting into a string; `args` are plain numbers and C strings.
// A pattern without arguments holds no conversion but may hold "%%": it is unescaped here rather than
// handed to snprintf as a format that is not a literal.
std::string UnescapePercent(const std::string& pattern);

template <typename... Args> std::string FormatText(const std::string& pattern, Args... args) {
    if constexpr (sizeof...(Args) == 0) {
        return UnescapePercent(pattern);
    } else {
        int size = std::snprintf(nullptr, 0, pattern.c_str(), args...);
        if (size <= 0)
            return {};
        std::string text(size_t(size) + 1, '\0');
        std::snprintf(text.data(), text.size(), pattern.c_str(), args...);
        text.resize(size_t(size));
        return text;
    }
}

// The translated pattern filled with `args`.
template <typename... Args> std::string TranslateFormat(std::string_view pattern, Args... args) {
    return FormatText(TranslatePattern(pattern), args...);
}

// Adds the translated, filled pattern to the log memo through the host.
template <typename... Args> void LogT(std::string_view pattern, Args... args) {
    AddLog(TranslateFormat(pattern, args...));
}

} // namespace velmora
