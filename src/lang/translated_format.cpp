#include "lang/translated_format.h"

#include <vector>

#include "lang/dictionary.h"

namespace velmora {

namespace {

// The conversions of a printf pattern, each from '%' to its conversion letter; "%%" is not one.
std::vector<std::string_view> Conversions(std::string_view pattern) {
    std::vector<std::string_view> found;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        size_t end = i + 1;
        while (end < pattern.size() &&
               std::string_view("-+ #0123456789.hlLqjzt").find(pattern[end]) != std::string_view::npos)
            ++end;
        if (end < pattern.size() && pattern[end] == '%') {
            i = end;
            continue;
        }
        found.push_back(pattern.substr(i, end + 1 - i));
        i = end;
    }
    return found;
}

} // namespace

std::string UnescapePercent(const std::string& pattern) {
    std::string text;
    text.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        text += pattern[i];
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%')
            ++i;
    }
    return text;
}

std::string TranslatePattern(std::string_view pattern) {
    std::string translated = Translate(pattern);
    if (Conversions(translated) != Conversions(pattern))
        return std::string(pattern);
    return translated;
}

} // namespace velmora
