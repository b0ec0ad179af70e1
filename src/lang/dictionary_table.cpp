#include "lang/dictionary_table.h"

namespace velmora {

namespace {

// Cuts `text` after `maxChars` UTF-8 characters, never inside one.
std::string CutToChars(std::string_view text, size_t maxChars) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool startsChar = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsChar && chars++ == maxChars)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

} // namespace

TDictionaryTable TDictionaryTable::Parse(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }

    TDictionaryTable table;
    for (size_t i = 0; i < lines.size();) {
        if (lines[i].empty()) {
            table.EmptyKeyLine = true;
            ++i;
            continue;
        }
        table.EndsWithKey = i + 1 == lines.size();
        std::string_view translation = i + 1 < lines.size() ? lines[i + 1] : std::string_view();
        table.Entries.push_back({std::string(lines[i]), CutToChars(translation, MaxTranslationChars)});
        i += 2;
    }
    return table;
}

const TDictionaryEntry* TDictionaryTable::Find(std::string_view key) const {
    for (const TDictionaryEntry& entry : Entries) {
        if (entry.Key == key)
            return &entry;
    }
    return nullptr;
}

bool HasCyrillic(std::string_view text) {
    // U+0400..U+04FF are the two-byte sequences led by 0xD0..0xD3.
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        auto lead = static_cast<unsigned char>(text[i]);
        auto next = static_cast<unsigned char>(text[i + 1]);
        if (lead >= 0xD0 && lead <= 0xD3 && (next & 0xC0) == 0x80)
            return true;
    }
    return false;
}

} // namespace velmora
