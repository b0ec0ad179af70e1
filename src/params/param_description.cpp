// Descriptions of TECUparam: "KEY=value" lines (built-in sets, address sets) and ini sections (ECU.ini).
#include <algorithm>

#include "lang/dictionary.h"
#include "params/ecu_param.h"
#include "params/param_errors.h"
#include "params/param_text.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

constexpr size_t MaxNameChars = 255;
constexpr size_t MaxIzmChars = 4;
constexpr size_t MaxUnitChars = 16;
constexpr size_t MaxMaskChars = 32;
constexpr size_t MaxLineValueChars = 200;

// FONT_SIZE: "12" or a style letter and a size, "B12".
void ApplyFontSize(TECUparam& param, std::string_view value) {
    if (value.empty())
        return;
    std::string_view number = value;
    char style = 0;
    if (value.front() < '0' || value.front() > '9') {
        style = value.front();
        if (static_cast<unsigned char>(style) >= 0x80)
            throw ConvertError("FONT_SIZE \"" + std::string(value) + "\" of " + param.DescriptionLabel() +
                               ": the style must be one Latin letter");
        number = value.substr(1);
    }
    auto size = ParseInteger(TrimBlanks(number));
    if (!size)
        throw ConvertError("FONT_SIZE \"" + std::string(value) + "\" of " + param.DescriptionLabel() + ": '" +
                           std::string(number) + "' is not a valid number");
    if (*size < 0 || *size > 255)
        throw RangeError("FONT_SIZE \"" + std::string(value) + "\" of " + param.DescriptionLabel() +
                         ": the size must be 0..255");
    if (style != 0)
        param.FontStyle = style;
    param.FontSize = uint8_t(*size);
}

struct TLineKey {
    std::string_view Key;
    void (*Apply)(TECUparam& param, std::string_view value);
};

// Tried in this order; a line is applied for every key it starts with.
constexpr TLineKey LineKeys[] = {
    {"NAME", [](TECUparam& p, std::string_view v) { p.Name = Utf8Prefix(Translate(v), MaxNameChars); }},
    {"IZM", [](TECUparam& p, std::string_view v) { p.Izm = Utf8Prefix(v, MaxIzmChars); }},
    {"UNIT", [](TECUparam& p, std::string_view v) { p.Unit = Utf8Prefix(Translate(v), MaxUnitChars); }},
    {"TYPE",
     [](TECUparam& p, std::string_view v) {
         p.SetType(v.empty() ? 0 : v.front());
         if (p.ParamType == 'X')
             p.ParseBitNames();
     }},
    {"CALC",
     [](TECUparam& p, std::string_view v) {
         if (p.ParamType == 'X')
             p.ParseBitNames();
         else
             p.SetCalc(v);
     }},
    {"MASK", [](TECUparam& p, std::string_view v) { p.Mask = Utf8Prefix(v, MaxMaskChars); }},
    {"CMD", [](TECUparam& p, std::string_view v) { p.SetCmdText(v); }},
    {"FONT_SIZE", ApplyFontSize},
};

// Numbers whose ECU.ini section only names them ("NAME=0") get a full description of their own. The
// names mix Latin and Cyrillic letters of the same shape and are kept byte for byte.
struct TIniDefault {
    uint16_t Number;
    std::string_view Name;
    std::string_view Calc; // empty: the section's own CALC
};

constexpr TIniDefault IniDefaults[] = {
    {0, "Тeмпeрaтyрa OЖ", "(0;-37)-(24;-10)-(130;20)-(256;140)"},
    {1, "Oбopoты", "*25"},
    {23, "IDLЕ;Р/N;А/C;Stаrtеr signаl;Х;X;Х;X", ""},
};

} // namespace

void TECUparam::ParseLine(std::string_view line) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return;
    std::string value(TrimBlanks(Utf8Prefix(line.substr(equals + 1), MaxLineValueChars)));
    for (const TLineKey& key : LineKeys)
        if (line.starts_with(key.Key))
            key.Apply(*this, value);
}

void TECUparam::LoadFromIni(const TIniFile& ini, std::string_view section) {
    std::string type = ini.ReadString(section, "TYPE", "B");
    SetType(type.empty() ? 0 : type.front());
    SetCmdText(ini.ReadString(section, "CMD", ""));
    std::string name = ini.ReadString(section, "NAME", section);
    Name = Utf8Prefix(name, MaxNameChars);
    Izm = Utf8Prefix(ini.ReadString(section, "IZM", ""), MaxIzmChars);
    Unit = Utf8Prefix(Translate(ini.ReadString(section, "UNIT", "")), MaxUnitChars);
    ApplyFontSize(*this, ini.ReadString(section, "FONT_SIZE", std::to_string(DefaultFontSize())));
    std::string calc = ini.ReadString(section, "CALC", "");
    if (name == std::to_string(Number)) {
        for (const TIniDefault& row : IniDefaults) {
            if (row.Number != Number)
                continue;
            Name = row.Name;
            if (!row.Calc.empty())
                calc = row.Calc;
        }
    }
    if (ParamType == 'X')
        ParseBitNames();
    else
        SetCalc(calc);
    std::string mask = ini.ReadString(section, "MASK", "");
    if (!mask.empty())
        Mask = Utf8Prefix(mask, MaxMaskChars);
}

} // namespace velmora
