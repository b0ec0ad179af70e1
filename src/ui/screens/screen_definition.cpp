#include "ui/screens/screen_definition.h"

#include <algorithm>
#include <cctype>

#include "lang/dictionary.h"
#include "params/param_list.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

constexpr int MaxNumberDigits = 10;
constexpr uint64_t MaxNumber = 255;
constexpr int CodePartsNumber = 44;

struct TMarker {
    std::string_view Text;
    TZone Zone;
};

constexpr TMarker Markers[] = {{"TOP:", TZone::Top}, {"LEFT:", TZone::Left}, {"RIGHT:", TZone::Main}};

struct TRewrite {
    std::string_view From, To;
};

// The first occurrence of each run becomes its combined view.
constexpr TRewrite CodeRewrites[] = {
    {",20,21,22,", ",255,"}, {":20,21,22,", ":255,"}, {" 20,21,22,", " 255,"}, {",37,38,39,", ",254,"}};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

uint64_t ReadNumber(std::string_view text, size_t& pos) {
    uint64_t value = 0;
    for (int digits = 0; pos < text.size() && IsDigit(text[pos]) && digits < MaxNumberDigits; ++digits, ++pos)
        value = value * 10 + uint64_t(text[pos] - '0');
    if (value > MaxNumber)
        throw ScreenFileError(Translate("Номер параметра больше 255:") + " " + std::to_string(value));
    return value;
}

// Reads the number or range at `pos` (a digit) and hands each number to `yield`.
template <typename F> void ReadNumberOrRange(std::string_view text, size_t& pos, F yield) {
    uint64_t first = ReadNumber(text, pos);
    uint64_t last = first;
    if (pos + 1 < text.size() && text[pos] == '-' && IsDigit(text[pos + 1])) {
        ++pos;
        last = ReadNumber(text, pos);
    }
    for (uint64_t n = first; n <= last; ++n)
        yield(int(n));
}

std::string Upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return result;
}

std::string Trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

bool AllPresent(const std::vector<int>& numbers, const TListParams& params) {
    return std::all_of(numbers.begin(), numbers.end(), [&](int n) { return params.FindByNumber(n); });
}

bool NonePresent(const std::vector<int>& numbers, const TListParams& params) {
    return std::none_of(numbers.begin(), numbers.end(), [&](int n) { return params.FindByNumber(n); });
}

} // namespace

std::vector<int> ParseNumberList(std::string_view text) {
    std::vector<int> numbers;
    size_t pos = 0;
    while (pos < text.size()) {
        if (!IsDigit(text[pos])) {
            ++pos;
            continue;
        }
        ReadNumberOrRange(text, pos, [&](int n) { numbers.push_back(n); });
    }
    return numbers;
}

TScreenDefinition ParseScreenItems(std::string items, int index, bool hasCodeParts) {
    if (hasCodeParts) {
        for (const TRewrite& rewrite : CodeRewrites) {
            if (size_t at = items.find(rewrite.From); at != std::string::npos)
                items.replace(at, rewrite.From.size(), rewrite.To);
        }
    }
    TScreenDefinition screen;
    screen.Index = index;
    std::string upper = Upper(items);
    size_t captionEnd = std::find_if(items.begin(), items.end(), IsDigit) - items.begin();
    for (const TMarker& marker : Markers)
        captionEnd = std::min(captionEnd, upper.find(marker.Text));
    screen.Caption = Trim(std::string_view(items).substr(0, captionEnd));
    screen.Caption = screen.Caption.empty() ? std::to_string(index) : Translate(screen.Caption);

    TZone zone = TZone::Main;
    size_t pos = captionEnd;
    while (pos < items.size()) {
        auto marker = std::find_if(std::begin(Markers), std::end(Markers), [&](const TMarker& m) {
            return upper.compare(pos, m.Text.size(), m.Text) == 0;
        });
        if (marker != std::end(Markers)) {
            zone = marker->Zone;
            screen.HasTop |= zone == TZone::Top;
            screen.HasLeft |= zone == TZone::Left;
            pos += marker->Text.size();
        } else if (IsDigit(items[pos])) {
            ReadNumberOrRange(items, pos, [&](int n) { screen.Items.push_back({n, zone}); });
        } else {
            ++pos;
        }
    }
    return screen;
}

std::vector<TScreenDefinition> ReadScreenDefinitions(const std::filesystem::path& file,
                                                     const TListParams& params,
                                                     std::vector<std::string>& errors) {
    std::vector<TScreenDefinition> screens;
    TIniFile ini(file);
    bool hasCodeParts = params.FindByNumber(CodePartsNumber) != nullptr;
    for (int i = 0; i < MaxScreens; ++i) {
        std::string section = "SCREEN" + std::to_string(i);
        std::string items = ini.ReadString(section, "ITEMS", "");
        if (items.empty())
            continue;
        try {
            std::vector<int> absent = ParseNumberList(ini.ReadString(section, "NOTPRESENT", ""));
            std::vector<int> present = ParseNumberList(ini.ReadString(section, "PRESENT", ""));
            if (!AllPresent(present, params) || !NonePresent(absent, params))
                continue;
            screens.push_back(ParseScreenItems(items, i, hasCodeParts));
        } catch (const ScreenFileError& error) {
            errors.push_back(file.string() + " [" + section + "]: " + error.what());
        }
    }
    return screens;
}

} // namespace velmora
