// Fault texts of one unit family in one language, from <program folder>/DATA/<lang>/<family>.DAT (or
// the older .txt list beside it): the short text shown in the fault list and the full description block
// written into the report. Loaded on the window thread; the result is a plain value.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmora {

// Codes are shown with three digits; an entry with a larger code is a bad line.
constexpr int MaxFaultCode = 999;

struct TFaultTexts {
    // Short text per code: position = code, "" where the file has none.
    std::vector<std::string> Texts;
    // Full description block per code (the lines after its marker), same indexing.
    std::vector<std::vector<std::string>> Descriptions;

    const std::string& Text(int code) const;
    const std::vector<std::string>& Description(int code) const;
};

// <program folder>/DATA/<lang>/<family>.DAT with <lang> "de" for 'D', "ru" for 'R', else "en", and
// <family> "HFM", "PMS" or "LH"; empty for a family without fault texts.
std::filesystem::path FaultTextPath(uint8_t unitType, char languageLetter);

// Reads the .DAT file: a line "$F<code>" takes the next line as the text of <code>; "$R<code>" does so
// only with `russian` and then wins over "$F" of the same code wherever it stands. The description block
// is every line after the marker up to the next line beginning with "$". Without a .DAT file the .txt
// file of the same name is read: a line beginning with three digits is the text of that code, whole.
// A file differing only in letter case is found too. Files may be Windows-1251 or UTF-8. A missing file
// gives empty texts; a marker with a bad code is skipped with a log line naming the file and line.
TFaultTexts LoadFaultTexts(uint8_t unitType, bool russian, char languageLetter);

} // namespace velmora
