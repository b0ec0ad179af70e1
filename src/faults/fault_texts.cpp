#include "faults/fault_texts.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "params/unit_codes.h"
#include "platform/host.h"
#include "platform/program_folders.h"
#include "platform/text_encoding.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

struct TFamilyFile {
    uint8_t UnitType;
    const char* Name;
};

constexpr TFamilyFile FamilyFiles[] = {{UnitHfm, "HFM"}, {UnitPms, "PMS"}, {UnitLh, "LH"}};

struct TLanguageFolder {
    char Letter;
    const char* Folder;
};

constexpr TLanguageFolder LanguageFolders[] = {{'D', "de"}, {'R', "ru"}};
constexpr const char* OtherLanguageFolder = "en";

constexpr char MarkerStart = '$';
constexpr char MarkerFault = 'F';
constexpr char MarkerRussian = 'R';
constexpr size_t TxtCodeDigits = 3;

const std::string NoText;
const std::vector<std::string> NoDescription;

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<int> ParseCode(std::string_view digits) {
    while (!digits.empty() && digits.front() == ' ')
        digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == ' ')
        digits.remove_suffix(1);
    int code = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || code < 0 ||
        code > MaxFaultCode)
        return std::nullopt;
    return code;
}

void Place(TFaultTexts& texts, int code, std::string text, std::vector<std::string> description) {
    if (size_t(code) >= texts.Texts.size()) {
        texts.Texts.resize(size_t(code) + 1);
        texts.Descriptions.resize(size_t(code) + 1);
    }
    texts.Texts[size_t(code)] = std::move(text);
    texts.Descriptions[size_t(code)] = std::move(description);
}

void LogBadLine(const fs::path& file, size_t lineIndex) {
    AddLog(Translate("Неверная строка в файле текстов ошибок:") + " " + file.string() + ":" +
           std::to_string(lineIndex + 1));
}

TFaultTexts ParseDat(const std::vector<std::string>& lines, bool russian, const fs::path& file) {
    TFaultTexts texts;
    std::vector<bool> fromRussian;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() <= 2 || line[0] != MarkerStart)
            continue;
        const char marker = line[1];
        if (marker != MarkerFault && (marker != MarkerRussian || !russian))
            continue;
        const std::optional<int> code = ParseCode(std::string_view(line).substr(2));
        if (!code) {
            LogBadLine(file, i);
            continue;
        }
        const bool isRussian = marker == MarkerRussian;
        if (size_t(*code) < fromRussian.size() && fromRussian[size_t(*code)] && !isRussian)
            continue;
        std::vector<std::string> block;
        for (size_t j = i + 1; j < lines.size() && (lines[j].empty() || lines[j][0] != MarkerStart); ++j)
            block.push_back(lines[j]);
        std::string text = block.empty() ? std::string() : block.front();
        Place(texts, *code, std::move(text), std::move(block));
        if (fromRussian.size() <= size_t(*code))
            fromRussian.resize(size_t(*code) + 1);
        fromRussian[size_t(*code)] = isRussian;
    }
    return texts;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

TFaultTexts ParseTxt(const std::vector<std::string>& lines) {
    TFaultTexts texts;
    for (const std::string& line : lines) {
        if (line.size() < TxtCodeDigits || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]))
            continue;
        const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
        Place(texts, code, line, {line});
    }
    return texts;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The file itself, or one in the same folder whose name differs only in letter case (files copied from
// a Windows installation keep whatever case they had there).
std::optional<fs::path> FindFile(const fs::path& file) {
    std::error_code error;
    if (fs::is_regular_file(file, error))
        return file;
    const std::string wanted = file.filename().string();
    for (fs::directory_iterator it(file.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        if (EqualIgnoringCase(it->path().filename().string(), wanted) && it->is_regular_file(error))
            return it->path();
    }
    return std::nullopt;
}

bool HasAnyText(const TFaultTexts& texts) {
    for (const std::string& text : texts.Texts) {
        if (!text.empty())
            return true;
    }
    return false;
}

// The texts of `file` (or of its case variant); nullopt when there is no such file.
std::optional<TFaultTexts> ReadTexts(const fs::path& file, bool russian, bool dat) {
    const std::optional<fs::path> found = FindFile(file);
    if (!found)
        return std::nullopt;
    TFaultTexts texts;
    if (const std::optional<std::string> text = ReadTextFile(*found)) {
        const std::vector<std::string> lines = SplitLines(*text);
        texts = dat ? ParseDat(lines, russian, *found) : ParseTxt(lines);
        texts.FileState = HasAnyText(texts) ? TFaultTextFile::Read : TFaultTextFile::NoEntries;
    } else {
        texts.FileState = TFaultTextFile::Unreadable;
    }
    texts.File = *found;
    return texts;
}

} // namespace

const std::string& TFaultTexts::Text(int code) const {
    return code >= 0 && size_t(code) < Texts.size() ? Texts[size_t(code)] : NoText;
}

const std::vector<std::string>& TFaultTexts::Description(int code) const {
    return code >= 0 && size_t(code) < Descriptions.size() ? Descriptions[size_t(code)] : NoDescription;
}

fs::path FaultTextPath(uint8_t unitType, char languageLetter) {
    const char* family = nullptr;
    for (const TFamilyFile& row : FamilyFiles) {
        if (row.UnitType == unitType)
            family = row.Name;
    }
    if (family == nullptr)
        return {};
    const char* language = OtherLanguageFolder;
    for (const TLanguageFolder& row : LanguageFolders) {
        if (row.Letter == languageLetter)
            language = row.Folder;
    }
    return ProgramFolder() / "DATA" / Utf8Path(language) / Utf8Path(std::string(family) + ".DAT");
}

TFaultTexts LoadFaultTexts(uint8_t unitType, bool russian, char languageLetter) {
    const fs::path datFile = FaultTextPath(unitType, languageLetter);
    if (datFile.empty())
        return {};
    // A .DAT file that can be read is used even without entries; the list only stands in for a .DAT
    // file that is missing or unreadable.
    std::optional<TFaultTexts> dat = ReadTexts(datFile, russian, true);
    if (dat && dat->FileState != TFaultTextFile::Unreadable)
        return std::move(*dat);
    fs::path txtFile = datFile;
    txtFile.replace_extension(".txt");
    std::optional<TFaultTexts> txt = ReadTexts(txtFile, russian, false);
    if (txt && (txt->FileState != TFaultTextFile::Unreadable || !dat))
        return std::move(*txt);
    if (dat)
        return std::move(*dat);
    TFaultTexts missing;
    missing.FileState = TFaultTextFile::Missing;
    missing.File = datFile;
    return missing;
}

std::string FaultTextsNotice(const TFaultTexts& texts) {
    const std::string file = texts.File.string();
    switch (texts.FileState) {
    case TFaultTextFile::NotExpected:
    case TFaultTextFile::Read:
        return {};
    case TFaultTextFile::Missing:
        return TranslateFormat(
            "Нет файла текстов ошибок %s: коды показаны без текстов. Положите файл в папку %s",
            texts.File.filename().string().c_str(), texts.File.parent_path().string().c_str());
    case TFaultTextFile::Unreadable:
        return TranslateFormat("Файл текстов ошибок %s не читается: коды показаны без текстов.",
                               file.c_str());
    case TFaultTextFile::NoEntries:
        return TranslateFormat("В файле текстов ошибок %s нет текстов: коды показаны без текстов.",
                               file.c_str());
    }
    return {};
}

} // namespace velmora
