// INI files with the Windows profile semantics the settings, screen and parameter files rely on:
// section and key names match without regard to case, the first match wins, values are trimmed,
// a missing key gives the caller's default, and a write changes that one line in place, keeping every
// other line of the file; a missing file or section is created on write. The file is read in UTF-8 or
// Windows-1251 and written back in the encoding it had (new files in UTF-8).
// One object per thread; two objects on one file see each other's writes on their next read.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class TIniFile {
public:
    explicit TIniFile(std::filesystem::path file);

    const std::filesystem::path& FileName() const { return File; }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // The leading decimal number of the value (optional sign; "0x" hex accepted); `def` when the key is
    // missing or the value does not start with a number.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    // "1"/"0", "true"/"false", "yes"/"no" (any case); `def` otherwise.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    double ReadFloat(std::string_view section, std::string_view key, double def) const;

    // Returns false when the file cannot be written; the file is then left as it was.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);

    bool SectionExists(std::string_view section) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    // Section names in file order (first spelling of each).
    std::vector<std::string> ReadSections() const;
    // Key names of a section in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // "key=value" lines of a section in file order, as the profile API returns them.
    std::vector<std::string> ReadSectionValues(std::string_view section) const;

    bool EraseSection(std::string_view section);
    bool DeleteKey(std::string_view section, std::string_view key);

private:
    std::filesystem::path File;
};

} // namespace velmora
