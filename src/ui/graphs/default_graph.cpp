#include "ui/graphs/default_graph.h"

#include <string>

#include "params/param_ids.h"
#include "params/param_list.h"
#include "platform/ini_file.h"

namespace velmora {

namespace {

struct TDefaultCurve {
    uint8_t Id;
    const char* Color;
    const char* Range; // bottom and top value; the INI holds whole non-negative numbers only
    const char* Lines; // grid values
};

// What a mechanic watches first on a running engine: speed, warm-up, fuelling and the driver's demand.
// The ranges cover a running engine rather than the raw extremes of the conversion (0..16383 rpm,
// -40..215 °C), so the curves use the picture's height; the colours are the first four of the curve palette.
constexpr TDefaultCurve DefaultCurves[] = {
    {ParamId::EngineSpeed, "VERMILION", "0 7000", "1000 3000 5000"}, // rpm; idle lies near 800
    {ParamId::Coolant, "DEEPBLUE", "0 120", "80"},                   // °C; 80 and above is a warm engine
    {ParamId::InjectionTime, "TEAL", "0 20", ""},                    // ms
    {ParamId::Throttle, "PURPLE", "0 90", ""},                       // °, closed to wide open
};

constexpr int ScreenSeconds = 10;

} // namespace

bool WriteDefaultGraph(TIniFile& ini, const TListParams& params) {
    std::string section = "GRAPH" + std::to_string(ini.ReadInteger("OPTIONS", "GRAPHS", 0));
    if (ini.KeyExists(section, "SOURCE"))
        return false;
    std::string source;
    bool ok = true;
    for (const TDefaultCurve& curve : DefaultCurves) {
        const TECUparam* param = params.FindById(curve.Id);
        if (!param)
            continue;
        std::string number = std::to_string(param->Number);
        source += (source.empty() ? "" : " ") + number;
        ok &= ini.WriteString(section, "COLOR" + number, curve.Color);
        ok &= ini.WriteString(section, "RANGE" + number, curve.Range);
        if (*curve.Lines)
            ok &= ini.WriteString(section, "LINES" + number, curve.Lines);
    }
    if (source.empty() || !ok)
        return false;
    // A screen time the user set stays.
    if (!ini.KeyExists(section, "SCREEN_TIME") && !ini.WriteInteger(section, "SCREEN_TIME", ScreenSeconds))
        return false;
    // SOURCE last: when a write failed half-way there is no SOURCE, so the next start tries again.
    return ini.WriteString(section, "SOURCE", source);
}

} // namespace velmora
