// The value syntax of simulator profiles, shared by the units' keys and the modules' sections: trimmed
// text, case-blind keys, decimal or 0x-hexadecimal numbers, yes/no switches. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

std::string_view TrimProfileText(std::string_view s);
std::string LowerProfileText(std::string_view s);
// A whole decimal number, or hexadecimal after "0x".
bool ParseProfileUnsigned(std::string_view text, uint32_t& value);
// A number as strtod reads it (the range checks of the profile reject NaN and infinity).
bool ParseProfileDouble(std::string_view text, double& value);
// 1/yes/true/on or 0/no/false/off.
bool ParseProfileBool(std::string_view text, bool& value);

} // namespace velmora
