#include "actuators/coding_access.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/program_folders.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr size_t WordDigits = 4;

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Exactly four hexadecimal digits.
bool ParseWord(std::string_view text, uint16_t& word) {
    if (text.size() != WordDigits)
        return false;
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    word = uint16_t(value);
    return true;
}

// The check word and the answer of a pair line; "=" counts as a blank. False unless there are exactly
// two fields of four hexadecimal digits.
bool ParsePair(std::string_view line, uint16_t& word, uint16_t& answer) {
    std::string text(line);
    std::replace(text.begin(), text.end(), '=', ' ');
    std::istringstream fields(text);
    std::string first, second, extra;
    fields >> first >> second;
    if (fields >> extra)
        return false;
    return ParseWord(first, word) && ParseWord(second, answer);
}

} // namespace

TCodingAccess ParseCodingAccess(std::string_view text) {
    TCodingAccess access;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        uint16_t word = 0, answer = 0;
        if (!ParsePair(line, word, answer)) {
            access.Errors.push_back(TranslateFormat("%s, строка %d: ожидается пара слов вида 1A2B 3C4D: %s",
                                                    CodingAccessFile, lineNumber, std::string(line).c_str()));
            continue;
        }
        auto [it, added] = access.Answers.emplace(word, answer);
        if (!added && it->second != answer)
            access.Errors.push_back(TranslateFormat("%s, строка %d: второй ответ на слово %.4X не принят",
                                                    CodingAccessFile, lineNumber, unsigned(word)));
    }
    return access;
}

TCodingAccess LoadCodingAccess(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return ParseCodingAccess(text.str());
}

uint16_t CodingAnswer(uint16_t checkWord) {
    const TCodingAccess access = LoadCodingAccess(Utf8Path(BuildPath(CodingAccessFile, "DATA", "", false)));
    for (const std::string& error : access.Errors)
        AddLog(error);
    auto it = access.Answers.find(checkWord);
    return it == access.Answers.end() ? 0 : it->second;
}

} // namespace velmora
