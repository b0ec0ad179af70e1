// The access function of the coding run: the answer word a unit wants for its two-byte check word.
// The units' own function is not known, so the answers come from known check-word/answer pairs kept in
// "DATA/coding_access.txt". Any thread; the file is read on each call of CodingAnswer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The file in DATA that holds the pairs.
constexpr const char* CodingAccessFile = "coding_access.txt";

struct TCodingAccess {
    std::map<uint16_t, uint16_t> Answers; // check word -> answer word
    std::vector<std::string> Errors;      // one text per line that was not taken
};

// Parses the pairs: one per line, the check word and its answer as four hexadecimal digits each,
// separated by blanks or "=". Empty lines and lines starting with "#" or ";" are comments. A line that
// does not parse, and a second answer for the same word, are reported in Errors and left out.
TCodingAccess ParseCodingAccess(std::string_view text);
// Reads `path`; a missing file holds no pairs.
TCodingAccess LoadCodingAccess(const std::filesystem::path& path);

// The answer to `checkWord` from DATA/coding_access.txt, or 0 when none is known (the unit then takes
// no answer). Lines of the file that were not taken are logged.
uint16_t CodingAnswer(uint16_t checkWord);

} // namespace velmora
