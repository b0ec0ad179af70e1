// The INI reader and editor. Input: file bytes, then '\0'-separated section, key and value of one edit.
// Properties: parsing keeps every byte; an edit sets its own key and leaves every other line and the value
// of every other key as they were; a deleted key is gone and nothing else is; the reader's number
// functions give their default for a missing key.
#include <algorithm>
#include <vector>

#include "fuzz_target.h"
#include "platform/ini_file.h"
#include "platform/ini_text.h"
#include "platform/text_encoding.h"

namespace {

using velmora::FoldCase;
using velmora::TIniLine;
using velmora::TIniText;

// The lines of a file, each without its '\n'.
std::vector<std::string> LinesOf(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        lines.emplace_back(bytes.substr(0, end));
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    }
    return lines;
}

// Whether the lines of `part` appear in `whole` in their order. The last line of a file without a final
// line end may gain one (its CR of a CR LF file is then part of the line).
bool IsSubsequence(const std::vector<std::string>& part, bool lastLineOpen,
                   const std::vector<std::string>& whole) {
    size_t at = 0;
    for (const std::string& line : whole) {
        if (at == part.size())
            break;
        const bool last = at + 1 == part.size() && lastLineOpen;
        if (line == part[at] || (last && line == part[at] + "\r"))
            ++at;
    }
    return at == part.size();
}

struct TKeyValue {
    std::string Section, Key, Value;
};

// The value of every key as a reader sees it, section by section.
std::vector<TKeyValue> AllValues(const TIniText& text) {
    std::vector<TKeyValue> values;
    for (const std::string& section : text.SectionNames()) {
        for (const TIniLine* key : text.SectionKeys(section))
            values.push_back({section, key->Name, key->Value});
    }
    return values;
}

// Names and values come from the program as UTF-8; fuzz bytes are made valid UTF-8 by reading them as
// Windows-1251 (0x98, the one byte 1251 leaves undefined, becomes '?').
std::string AsProgramText(std::string_view bytes) {
    std::string text(bytes);
    std::replace(text.begin(), text.end(), '\x98', '?');
    return velmora::Cp1251ToUtf8(text);
}

// Names are matched trimmed; the target compares them so too.
std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r") - first + 1));
}

void CheckOthersKept(const std::vector<TKeyValue>& before, const TIniText& after, std::string_view section,
                     std::string_view key) {
    const std::string section0 = FoldCase(section), key0 = FoldCase(key);
    for (const TKeyValue& entry : before) {
        if (FoldCase(entry.Section) == section0 && FoldCase(entry.Key) == key0)
            continue;
        const TIniLine* found = after.FindKey(entry.Section, entry.Key);
        FUZZ_CHECK(found && found->Value == entry.Value, "[" + entry.Section + "] " + entry.Key);
    }
}

} // namespace

VELMORA_FUZZ_TARGET(ini) {
    velmora::fuzz::TFuzzInput input(data, size);
    const std::string_view bytes = input.Field();
    const std::string section = Trimmed(AsProgramText(input.Field()));
    const std::string key = Trimmed(AsProgramText(input.Field()));
    const std::string value = AsProgramText(input.Remaining());

    const TIniText original = TIniText::Parse(bytes);
    FUZZ_CHECK(original.Bytes() == bytes, "parsing changed the bytes");
    const std::vector<TKeyValue> before = AllValues(original);
    const std::vector<std::string> linesBefore = LinesOf(bytes);

    if (TIniText::ValidEntry(section, key, value)) {
        // The line that holds the key now, if any, is the one line the edit may change. Lines of the same
        // bytes cannot be told apart here, so any one of them may be the edited one.
        std::string editedLine;
        const TIniLine* edited = original.FindKey(section, key);
        if (edited) {
            const auto lines = LinesOf(edited->Raw);
            editedLine = lines.empty() ? std::string() : lines.front();
        }
        TIniText text = original;
        text.SetValue(section, key, value);
        const TIniText reread = TIniText::Parse(text.Bytes());
        const bool lastLineOpen = !bytes.empty() && bytes.back() != '\n';
        const std::vector<std::string> linesAfter = LinesOf(reread.Bytes());
        bool othersKept = !edited && IsSubsequence(linesBefore, lastLineOpen, linesAfter);
        for (size_t i = 0; edited && !othersKept && i < linesBefore.size(); ++i) {
            if (linesBefore[i] != editedLine)
                continue;
            std::vector<std::string> untouched = linesBefore;
            untouched.erase(untouched.begin() + std::ptrdiff_t(i));
            othersKept = IsSubsequence(untouched, lastLineOpen, linesAfter);
        }
        FUZZ_CHECK(othersKept, "an edit changed another line");
        // A Windows-1251 file whose only bytes that are not UTF-8 the edit replaced reads as UTF-8 from
        // then on; its other values can then read differently. Known and left as it is: the encoding is
        // found from the bytes on each read, and a Russian text in Windows-1251 is seldom valid UTF-8.
        const bool encodingKept = velmora::IsValidUtf8(bytes) || !velmora::IsValidUtf8(text.Bytes());
        if (encodingKept)
            CheckOthersKept(before, reread, section, key);
        const TIniLine* written = reread.FindKey(section, key);
        FUZZ_CHECK(written, "the written key is missing");
        // Values are read trimmed and without enclosing quotes; compare only those that read back as such.
        const bool plain = value.find_first_of(" \t\"'") == std::string::npos;
        const std::string expected = bytes.empty() || velmora::IsValidUtf8(bytes)
                                         ? value
                                         : velmora::Cp1251ToUtf8(velmora::Utf8ToCp1251(value));
        FUZZ_CHECK(!plain || !encodingKept || written->Value == expected,
                   "read back: " + written->Value + ", written: " + value);

        TIniText deleted = original;
        deleted.DeleteKey(section, key);
        const TIniText rereadDeleted = TIniText::Parse(deleted.Bytes());
        FUZZ_CHECK(!rereadDeleted.FindKey(section, key), "a deleted key is still there");
        if (velmora::IsValidUtf8(bytes) || !velmora::IsValidUtf8(deleted.Bytes()))
            CheckOthersKept(before, rereadDeleted, section, key);
    }

    // The reader on a file: numbers never throw, a missing key gives the default.
    const velmora::TIniFile file(velmora::fuzz::WriteFuzzFile("fuzz.ini", bytes));
    for (const TKeyValue& entry : before) {
        file.ReadInteger(entry.Section, entry.Key, 0);
        file.ReadFloat(entry.Section, entry.Key, 0);
        file.ReadBool(entry.Section, entry.Key, false);
    }
    FUZZ_CHECK(file.ReadInteger("\n", "\n", 17) == 17, "a key that cannot exist was found");
    return 0;
}
