// The dictionary: a file of key/translation line pairs, loaded, and loaded again after the program
// appended a text it did not know. Input: file bytes, '\0', the unknown text (read as Windows-1251).
// Properties: every pair read is a pair of lines; an append keeps every pair that was there, with its
// translation, and adds the new text as a key of its own.
#include <algorithm>

#include "fuzz_target.h"
#include "lang/dictionary.h"
#include "lang/dictionary_table.h"
#include "platform/text_encoding.h"

namespace {

using velmora::TDictionaryTable;

TDictionaryTable ReadBack(const std::filesystem::path& file) {
    return TDictionaryTable::Parse(velmora::ReadTextFile(file).value_or(""));
}

} // namespace

VELMORA_FUZZ_TARGET(dictionary) {
    velmora::fuzz::TFuzzInput input(data, size);
    const std::string_view bytes = input.Field();
    std::string unknownBytes(input.Remaining());
    std::replace(unknownBytes.begin(), unknownBytes.end(), '\x98', '?');
    // "Текст " in Windows-1251 first, so that the text is Russian and goes into the file.
    const std::string unknown = velmora::Cp1251ToUtf8("\xD2\xE5\xEA\xF1\xF2 " + unknownBytes);

    const std::string text = velmora::DecodeText(bytes);
    const TDictionaryTable table = TDictionaryTable::Parse(text);
    const size_t lines = size_t(std::count(text.begin(), text.end(), '\n')) + 1;
    FUZZ_CHECK(table.Entries.size() <= (lines + 1) / 2, "more pairs than lines allow");
    for (const velmora::TDictionaryEntry& entry : table.Entries) {
        FUZZ_CHECK(!entry.Key.empty(), "an empty key was taken");
        FUZZ_CHECK(entry.Key.find('\n') == std::string::npos, "a key spans lines");
        FUZZ_CHECK(entry.Translation.find('\n') == std::string::npos, "a translation spans lines");
    }

    const std::filesystem::path file = velmora::fuzz::WriteFuzzFile("DATA/english.txt", bytes);
    velmora::SetLanguage('E');
    velmora::ResetDictionary();
    try {
        velmora::LoadDictionary();
    } catch (const velmora::DictionaryError&) {
        FUZZ_CHECK(table.EmptyKeyLine, "an error for a file without an empty key line");
    }
    const std::string answer = velmora::Translate(unknown);
    velmora::ResetDictionary();
    const velmora::TDictionaryEntry* known = table.Find(unknown);
    FUZZ_CHECK(answer == (known && !known->Translation.empty() ? known->Translation : unknown),
               "Translate answered " + answer);
    if (table.EmptyKeyLine || known)
        return 0;

    const TDictionaryTable after = ReadBack(file);
    FUZZ_CHECK(after.Entries.size() >= table.Entries.size(), "pairs were lost by the append");
    for (size_t i = 0; i < table.Entries.size(); ++i) {
        FUZZ_CHECK(after.Entries[i].Key == table.Entries[i].Key, "key changed: " + table.Entries[i].Key);
        FUZZ_CHECK(after.Entries[i].Translation == table.Entries[i].Translation,
                   "translation changed: " + table.Entries[i].Key);
    }
    // A text with a line break cannot be a key of a file of line pairs; it must leave the file alone.
    const bool oneLine = unknown.find_first_of("\r\n") == std::string::npos;
    const velmora::TDictionaryEntry* added = after.Find(unknown);
    FUZZ_CHECK(!oneLine || (added && added->Translation.empty()),
               "the new text is not a key of its own: " + unknown);
    FUZZ_CHECK(oneLine || velmora::ReadFileBytes(file).value_or("") == bytes,
               "a text with a line break was written");
    return 0;
}
