#include "sim/profile_values.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace velmora {

std::string_view TrimProfileText(std::string_view s) {
    while (!s.empty() && std::isspace(uint8_t(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(uint8_t(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string LowerProfileText(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(uint8_t(c)));
    return out;
}

bool ParseProfileUnsigned(std::string_view text, uint32_t& value) {
    text = TrimProfileText(text);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseProfileDouble(std::string_view text, double& value) {
    std::string s(TrimProfileText(text));
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return !s.empty() && end == s.c_str() + s.size();
}

bool ParseProfileBool(std::string_view text, bool& value) {
    const std::string s = LowerProfileText(TrimProfileText(text));
    if (s == "1" || s == "yes" || s == "true" || s == "on")
        value = true;
    else if (s == "0" || s == "no" || s == "false" || s == "off")
        value = false;
    else
        return false;
    return true;
}

} // namespace velmora
