// INI files with the Windows profile semantics the settings, screen and parameter files rely on:
// section and key names match without regard to case (ASCII and Cyrillic), the first match wins, values
// are trimmed, a missing key gives the caller's default, and a write changes that one line in place,
// keeping every other byte of the file (comments, unreadable lines, blank lines, duplicates, order, line
// ends); a missing file or section is created on write. The file is read in UTF-8 or Windows-1251 and
// written back in the encoding it had (new files in UTF-8 with LF line ends). Lines starting with ';' are
// comments; lines that are neither a section, a key nor a comment are skipped on reading and kept on
// writing. Only the first section of a name is read (a later one of the same name is ignored).
// One object per thread; two objects on one file see each other's writes on their next read.
// The file is edited line by line here rather than through an INI library: those rewrite the whole file
// on save, dropping unreadable lines and changing line ends, spacing and duplicate keys.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_replace.h"

namespace velmora {

class TIniText;

class TIniFile {
public:
    explicit TIniFile(std::filesystem::path file);

    const std::filesystem::path& FileName() const { return File; }

    // The value without blanks around it and without one pair of enclosing quotes ("x" or 'x'), as the
    // profile API gives it; `def` when the section or key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // The leading number of the value, as GetPrivateProfileInt reads it: optional sign, decimal digits or
    // "0x" and up to 8 hex digits taken as a 32-bit pattern ("0xFFFFFFFF" gives -1), anything after the
    // number ignored ("12 ms" gives 12). `def` when the key is missing, the value does not start with a
    // number, or a decimal number does not fit an int.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    // A number (non-zero is true, as Delphi's ReadBool has it) or "true"/"false", "yes"/"no", "on"/"off"
    // in any case; `def` otherwise.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    // The whole value as a decimal number with '.' or ',' as the decimal separator; `def` otherwise.
    double ReadFloat(std::string_view section, std::string_view key, double def) const;

    // Returns false when the file cannot be written; the file is then left as it was. Also false, with
    // nothing written, when a name is empty or the entry would break the file: a line break in any part,
    // ']' in the section name, '=' in the key or a key starting with '[' or ';'. WriteBool writes 1 or 0.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view key, int value);
    bool WriteBool(std::string_view section, std::string_view key, bool value);

    bool SectionExists(std::string_view section) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    // Section names in file order (first spelling of each).
    std::vector<std::string> ReadSections() const;
    // Key names of a section in file order, each once.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // "key=value" for each key of ReadSection, the value as ReadString gives it.
    std::vector<std::string> ReadSectionValues(std::string_view section) const;

    // Remove every section of that name / every line of that key in the section. True when the file
    // holds no such section / key afterwards (also when it had none); false when it cannot be written.
    bool EraseSection(std::string_view section);
    bool DeleteKey(std::string_view section, std::string_view key);

private:
    std::shared_ptr<const TIniText> Load() const;
    bool Save(const TIniText& text);

    std::filesystem::path File;
    mutable std::shared_ptr<const TIniText> Cached;
    // The identity of the file's last state seen, so that reads parse the file again only after a change.
    mutable TFileStamp CachedStamp;
};

} // namespace velmora
