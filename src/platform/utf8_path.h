// Filesystem paths from the program's UTF-8 text. A narrow string handed to std::filesystem::path is read
// in the C library's code page by the MinGW standard library, which garbles a client's Cyrillic name on
// Windows; text handed over as char8_t is read as UTF-8 by every standard library. Any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velmora {

inline std::filesystem::path Utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace velmora
