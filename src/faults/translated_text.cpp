#include "faults/translated_text.h"

#include <algorithm>

#include "lang/dictionary.h"

namespace velmora {

namespace {

bool HoldsOnly(std::string_view text, std::string_view conversion) {
    const size_t at = text.find(conversion);
    return at != std::string_view::npos && std::count(text.begin(), text.end(), '%') == 1;
}

} // namespace

std::string FillTranslated(std::string_view pattern, std::string_view conversion, std::string_view value) {
    std::string text = Translate(pattern);
    if (!HoldsOnly(text, conversion))
        text = pattern;
    const size_t at = text.find(conversion);
    if (at != std::string::npos)
        text.replace(at, conversion.size(), value);
    return text;
}

} // namespace velmora
