#include "modules/module_fault_texts.h"

#include <cctype>
#include <charconv>

#include "platform/program_folders.h"
#include "platform/text_encoding.h"
#include "platform/utf8_path.h"

namespace velmora {

namespace {

constexpr uint8_t SrsAddress = 0x41;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string ModuleFaultFileName(uint8_t address, std::string_view partNumber) {
    if (address != SrsAddress)
        return "EGAS_ASR.txt";
    return partNumber.starts_with("001") ? "AB2.txt" : "AB1.txt";
}

std::filesystem::path ModuleFaultFilePath(std::string_view fileName, char languageLetter) {
    std::filesystem::path path = ProgramFolder() / "DATA";
    if (languageLetter != 'R')
        path /= "EN";
    return path / Utf8Path(fileName);
}

const std::string* TModuleFaultTexts::Text(int code) const {
    auto found = Texts.find(code);
    return found == Texts.end() ? nullptr : &found->second;
}

TModuleFaultTexts ParseModuleFaultTexts(std::string_view text, std::string* badLines) {
    TModuleFaultTexts texts;
    texts.Found = true;
    int lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;
        if (line.empty() || line.front() == ';')
            continue;
        int code = 0;
        auto [rest, ec] = std::from_chars(line.data(), line.data() + line.size(), code);
        const std::string_view body = Trim(std::string_view(rest, size_t(line.data() + line.size() - rest)));
        const bool separated =
            rest < line.data() + line.size() && std::isspace(static_cast<unsigned char>(*rest));
        if (ec != std::errc() || code < 0 || code > 0xFFFF || !separated || body.empty()) {
            if (badLines)
                *badLines += (badLines->empty() ? "" : ", ") + std::to_string(lineNo);
            continue;
        }
        texts.Texts[code] = std::string(body);
    }
    return texts;
}

TModuleFaultTexts LoadModuleFaultTexts(const std::filesystem::path& file) {
    std::optional<std::string> text = ReadTextFile(file);
    if (!text)
        return {};
    return ParseModuleFaultTexts(*text);
}

} // namespace velmora
