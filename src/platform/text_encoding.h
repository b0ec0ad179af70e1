// Text encodings at the edges of the program: everything inside is UTF-8; files from the field may be
// Windows-1251. Conversions go through iconv on Linux and our own table on Windows. Any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class TTextEncoding { Utf8, Utf8Bom, Cp1251 };

// Windows-1251 bytes to UTF-8 (every byte has a meaning in 1251, except 0x98 which becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1251; characters 1251 cannot hold become '?'.
std::string Utf8ToCp1251(std::string_view text);
bool IsValidUtf8(std::string_view bytes);

// Bytes of a text file to UTF-8: a UTF-8 BOM is dropped, valid UTF-8 is kept, anything else is read as
// Windows-1251. `detected`, when given, receives what was found.
std::string DecodeText(std::string_view bytes, TTextEncoding* detected = nullptr);
// UTF-8 text to the bytes of `encoding`.
std::string EncodeText(std::string_view text, TTextEncoding encoding);

// Whole file as bytes; nullopt when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& file);
// Whole text file decoded to UTF-8; nullopt when it cannot be read.
std::optional<std::string> ReadTextFile(const std::filesystem::path& file, TTextEncoding* detected = nullptr);

} // namespace velmora
