// The fault texts of the E-GAS, EGS and SRS modules: which file holds them (EGAS_ASR.txt, or AB1.txt /
// AB2.txt for the SRS module by its part number), where it lies (DATA, or DATA/EN for a language other
// than Russian), and the text of each code. Any thread; the results are plain values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace velmora {

// "AB2.txt" for the SRS address 0x41 when the part number begins with "001", "AB1.txt" for other SRS
// modules, "EGAS_ASR.txt" for every other module.
std::string ModuleFaultFileName(uint8_t address, std::string_view partNumber);
// <program folder>/DATA/<file> for 'R', <program folder>/DATA/EN/<file> for any other language letter.
std::filesystem::path ModuleFaultFilePath(std::string_view fileName, char languageLetter);

struct TModuleFaultTexts {
    bool Found = false; // the file could be read
    std::map<int, std::string> Texts;
    // The text of `code`, or nullptr.
    const std::string* Text(int code) const;
};

// The file's lines: "<code> <text>" (the code in decimal, then blanks); lines beginning with ';' and
// empty lines are comments. A line of another form is skipped and named in `badLines` (line numbers).
// Windows-1251 or UTF-8.
TModuleFaultTexts ParseModuleFaultTexts(std::string_view text, std::string* badLines = nullptr);
TModuleFaultTexts LoadModuleFaultTexts(const std::filesystem::path& file);

} // namespace velmora
