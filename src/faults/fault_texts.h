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

// What became of the family's text file.
enum class TFaultTextFile : uint8_t {
    NotExpected, // a family without fault texts (or no file looked for)
    Read,
    Missing,    // neither the .DAT file nor the .txt list exists
    Unreadable, // the file exists but cannot be read
    NoEntries,  // the file was read but holds no text for any code
};

struct TFaultTexts {
    // Short text per code: position = code, "" where the file has none.
    std::vector<std::string> Texts;
    // Full description block per code (the lines after its marker), same indexing.
    std::vector<std::vector<std::string>> Descriptions;
    TFaultTextFile FileState = TFaultTextFile::NotExpected;
    // The file read, or the .DAT file looked for when none could be read.
    std::filesystem::path File;

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
// A file differing only in letter case is found too. Files may be Windows-1251 or UTF-8. A missing or
// unreadable file gives empty texts, with FileState saying why; a marker with a bad code is skipped with
// a log line naming the file and line.
TFaultTexts LoadFaultTexts(uint8_t unitType, bool russian, char languageLetter);

// The one line (translated) that tells the user the codes come without texts: which file is missing,
// unreadable or empty, and the folder it belongs in. Empty when the texts were read or none are expected.
std::string FaultTextsNotice(const TFaultTexts& texts);

} // namespace velmora
