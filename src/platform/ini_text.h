// The lines of one INI file held as their original bytes, with what each line means, so that an edit
// changes only the line it touches and every other byte of the file stays as it was. No file access
// here (TIniFile reads and writes); a TIniText is a value, safe to use from one thread at a time.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/text_encoding.h"

namespace velmora {

// Lower-cases ASCII and Cyrillic letters (U+0400..U+042F) of a UTF-8 text, for matching names.
std::string FoldCase(std::string_view text);

struct TIniLine {
    enum class TKind { Other, Section, Key };

    std::string Raw; // the bytes of the line in the file's encoding, line end included
    TKind Kind = TKind::Other;
    std::string Name;      // section or key name in UTF-8, trimmed, as spelled in the file
    std::string Folded;    // FoldCase(Name)
    std::string Value;     // key lines: the value in UTF-8, trimmed, one pair of enclosing quotes removed
    size_t ValueStart = 0; // key lines: offset in Raw of the value's first byte (after '=' and blanks)
};

class TIniText {
public:
    // An empty file: UTF-8, LF line ends.
    TIniText() = default;
    static TIniText Parse(std::string_view bytes);

    std::string Bytes() const;

    // The first section of that name (any case); nullptr when there is none.
    const TIniLine* FindSection(std::string_view section) const;
    // The first key of that name in the first section of that name; nullptr when there is none.
    const TIniLine* FindKey(std::string_view section, std::string_view key) const;
    // Section names in file order, each once, as first spelled.
    std::vector<std::string> SectionNames() const;
    // Key lines of the first section of that name, each key once (its first line), in file order.
    std::vector<const TIniLine*> SectionKeys(std::string_view section) const;

    // Sets the value of the first matching key in place, or adds the key at the end of the section,
    // or appends the section at the end of the file. Names and value must be valid (ValidEntry).
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every section of that name with its lines; false when there was none.
    bool EraseSection(std::string_view section);
    // Removes every line of that key from the first section of that name; false when there was none.
    bool DeleteKey(std::string_view section, std::string_view key);

    // True when the names and the value can be written without breaking the file's structure: no line
    // breaks anywhere, no ']' in the section name, no '=' in the key, no empty names.
    static bool ValidEntry(std::string_view section, std::string_view key, std::string_view value);

private:
    // [first, last) line indexes of the first section of that name, header included; first == npos
    // when there is none.
    std::pair<size_t, size_t> SectionRange(std::string_view section) const;
    std::string NewLine(std::string_view text) const;
    TIniLine MakeLine(std::string raw) const;
    void EndLastLine(size_t index);
    // Builds Sections anew from Lines: after a parse and after every edit.
    void Reindex();
    // Rebuilds the index when an edit ends, whichever way it returns.
    struct TReindexAtEnd {
        TIniText& Text;
        ~TReindexAtEnd() { Text.Reindex(); }
    };

    TTextEncoding FileEncoding = TTextEncoding::Utf8;
    std::string LineEnd = "\n";
    std::vector<TIniLine> Lines;
    // Folded name -> [first, last) lines of the first section of that name, and the names in file
    // order: a lookup does not walk the file, so reading a file's sections takes time in its size.
    std::unordered_map<std::string, std::pair<size_t, size_t>> Sections;
    std::vector<std::string> SectionOrder;
};

} // namespace velmora
