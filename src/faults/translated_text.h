// A Russian text with one printf conversion, translated and filled without handing an edited dictionary
// line to printf. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Translate(pattern) with its one `conversion` ("%d", "%s") replaced by `value`. A translation that does
// not hold exactly that one conversion (and no other '%') is not used; the pattern itself is filled.
std::string FillTranslated(std::string_view pattern, std::string_view conversion, std::string_view value);

} // namespace velmora
