// The dictionary's table: Russian keys and their translations in file order, parsed from the text of a
// dictionary file of line pairs. No locking and no file access here; dictionary.cpp guards the one
// process-wide table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Translations are cut to this many characters (code points), as the product's short strings held.
constexpr size_t MaxTranslationChars = 255;

struct TDictionaryEntry {
    std::string Key;
    std::string Translation; // empty: not translated yet
};

struct TDictionaryTable {
    std::vector<TDictionaryEntry> Entries;
    // The file has an empty line where a key should stand; it was skipped and the next line read as a
    // key, so the pairs around it stay in use.
    bool EmptyKeyLine = false;
    // The last line of the file is a key without its translation line.
    bool EndsWithKey = false;

    // Line pairs of a decoded (UTF-8) file: key, translation. A key on the last line has an empty
    // translation. An empty key line is skipped.
    static TDictionaryTable Parse(std::string_view text);

    // The first entry with exactly this key (case, blanks and punctuation count); nullptr when none.
    const TDictionaryEntry* Find(std::string_view key) const;
};

// True when the text holds a Cyrillic letter (U+0400..U+04FF): such texts are Russian and belong in the
// dictionary.
bool HasCyrillic(std::string_view text);

} // namespace velmora
