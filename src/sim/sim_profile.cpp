#include "sim/sim_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <functional>
#include <iomanip>
#include <limits>
#include <sstream>

#include "platform/utf8_path.h"
#include "sim/profile_values.h"

namespace velmora {

uint16_t TAccessFunction::Key(uint16_t seed) const {
    uint16_t x = seed ^ XorMask;
    unsigned r = Rotate % 16;
    x = uint16_t((x << r) | (x >> ((16 - r) % 16)));
    return uint16_t(x + Add);
}

namespace {

// Hex bytes separated by blanks ("27 42 0D"), or a text in double quotes ("HF2811B001").
bool ParseBytes(std::string_view text, std::vector<uint8_t>& bytes) {
    text = TrimProfileText(text);
    bytes.clear();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        for (char c : text.substr(1, text.size() - 2))
            bytes.push_back(uint8_t(c));
        return true;
    }
    std::istringstream in{std::string(text)};
    std::string word;
    while (in >> word) {
        uint32_t v = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v, 16);
        if (ec != std::errc() || end != word.data() + word.size() || v > 0xFF)
            return false;
        bytes.push_back(uint8_t(v));
    }
    return true;
}

bool ParseNumbers(std::string_view text, std::vector<int>& numbers) {
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', ' ');
    std::istringstream in(s);
    std::string word;
    numbers.clear();
    while (in >> word) {
        uint32_t v = 0;
        if (!ParseProfileUnsigned(word, v))
            return false;
        numbers.push_back(int(v));
    }
    return true;
}

template <class T> std::function<bool(TSimProfile&, std::string_view)> Number(T TSimProfile::*field) {
    return [field](TSimProfile& p, std::string_view v) {
        if constexpr (std::is_same_v<T, double>) {
            return ParseProfileDouble(v, p.*field);
        } else {
            uint32_t n = 0;
            if (!ParseProfileUnsigned(v, n) || n > uint32_t(std::numeric_limits<T>::max()))
                return false;
            p.*field = T(n);
            return true;
        }
    };
}

template <class Field> std::function<bool(TSimProfile&, std::string_view)> Nested(Field field) {
    return [field](TSimProfile& p, std::string_view v) {
        auto& target = field(p);
        using T = std::remove_reference_t<decltype(target)>;
        if constexpr (std::is_same_v<T, bool>) {
            return ParseProfileBool(v, target);
        } else if constexpr (std::is_same_v<T, double>) {
            return ParseProfileDouble(v, target);
        } else {
            uint32_t n = 0;
            if (!ParseProfileUnsigned(v, n) || n > uint32_t(std::numeric_limits<T>::max()))
                return false;
            target = T(n);
            return true;
        }
    };
}

template <class E, size_t N>
std::function<bool(TSimProfile&, std::string_view)> Choice(E TSimProfile::*field,
                                                           const std::pair<const char*, E> (&names)[N]) {
    return [field, &names](TSimProfile& p, std::string_view v) {
        std::string s = LowerProfileText(TrimProfileText(v));
        for (const auto& [name, value] : names)
            if (s == name) {
                p.*field = value;
                return true;
            }
        return false;
    };
}

std::function<bool(TSimProfile&, std::string_view)> Flag(bool TSimProfile::*field) {
    return [field](TSimProfile& p, std::string_view v) { return ParseProfileBool(v, p.*field); };
}

std::function<bool(TSimProfile&, std::string_view)> ThreeBytes(std::array<uint8_t, 3> TSimProfile::*field) {
    return [field](TSimProfile& p, std::string_view v) {
        std::vector<uint8_t> bytes;
        if (!ParseBytes(v, bytes) || bytes.size() != 3)
            return false;
        std::copy(bytes.begin(), bytes.end(), (p.*field).begin());
        return true;
    };
}

constexpr std::pair<const char*, TSimFamily> FamilyNames[] = {
    {"hfm", TSimFamily::HFM}, {"pms", TSimFamily::PMS}, {"lh", TSimFamily::LH}, {"ez", TSimFamily::EZ}};
constexpr std::pair<const char*, TSimSupplier> SupplierNames[] = {
    {"bosch", TSimSupplier::Bosch}, {"vdo", TSimSupplier::VDO}, {"siemens", TSimSupplier::Siemens}};
constexpr std::pair<const char*, TWakeMode> WakeNames[] = {{"first", TWakeMode::FirstAA},
                                                           {"sequence", TWakeMode::Sequence}};
constexpr std::pair<const char*, TLiveMapKind> MapNames[] = {{"channel55", TLiveMapKind::Channel55},
                                                             {"siemens60", TLiveMapKind::Siemens60},
                                                             {"bosch40", TLiveMapKind::Bosch40},
                                                             {"vdo40", TLiveMapKind::Vdo40},
                                                             {"lh", TLiveMapKind::LH},
                                                             {"lh-w", TLiveMapKind::LHw},
                                                             {"ez", TLiveMapKind::EZ}};
constexpr std::pair<const char*, TEngineStart> StartNames[] = {
    {"idle", TEngineStart::Idle}, {"cold", TEngineStart::Cold}, {"drive", TEngineStart::Drive}};

// "20:0, 15:50, 60:50, 15:0": seconds and km/h per leg.
bool ParseDriveCycle(TSimProfile& p, std::string_view text) {
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', ' ');
    std::istringstream in(s);
    std::string word;
    std::vector<TDriveLeg> legs;
    while (in >> word) {
        const size_t colon = word.find(':');
        TDriveLeg leg;
        if (colon == std::string::npos || !ParseProfileDouble(word.substr(0, colon), leg.Seconds) ||
            !ParseProfileDouble(word.substr(colon + 1), leg.SpeedKmh) ||
            !(leg.Seconds > 0 && leg.Seconds <= 86400) ||
            !(leg.SpeedKmh >= 0 && leg.SpeedKmh <= 250)) // written so that NaN fails too
            return false;
        legs.push_back(leg);
    }
    p.DriveCycle = legs;
    return !legs.empty();
}

struct TKeyRow {
    const char* Section;
    const char* Key;
    std::function<bool(TSimProfile&, std::string_view)> Apply;
};

const std::vector<TKeyRow>& KeyRows() {
    static const std::vector<TKeyRow> rows = {
        {"unit", "name",
         [](TSimProfile& p, std::string_view v) { return p.Name = TrimProfileText(v), true; }},
        {"unit", "family", Choice(&TSimProfile::Family, FamilyNames)},
        {"unit", "supplier", Choice(&TSimProfile::Supplier, SupplierNames)},
        {"unit", "livemap", Choice(&TSimProfile::LiveMap, MapNames)},
        {"unit", "reversedwords", Flag(&TSimProfile::ReversedWords)},
        {"unit", "reactionms", Number(&TSimProfile::ReactionMs)},
        {"unit", "sleeptimeoutms", Number(&TSimProfile::SleepTimeoutMs)},
        {"unit", "wakemode", Choice(&TSimProfile::WakeMode, WakeNames)},
        {"unit", "breakminms", Number(&TSimProfile::BreakMinMs)},
        {"unit", "breakmaxms", Number(&TSimProfile::BreakMaxMs)},
        {"unit", "wakewindowms", Number(&TSimProfile::WakeWindowMs)},
        {"unit", "specialmode", Flag(&TSimProfile::SpecialMode)},
        {"ident", "vin",
         [](TSimProfile& p, std::string_view v) {
             std::vector<uint8_t> bytes;
             if (!ParseBytes(v, bytes) || (!bytes.empty() && bytes.size() != 14))
                 return false;
             p.Vin.assign(bytes.begin(), bytes.end());
             return true;
         }},
        {"faults", "stored",
         [](TSimProfile& p, std::string_view v) { return ParseNumbers(v, p.StoredBits); }},
        {"faults", "current",
         [](TSimProfile& p, std::string_view v) { return ParseNumbers(v, p.CurrentBits); }},
        {"faults", "lhslots",
         [](TSimProfile& p, std::string_view v) {
             // slot:count pairs
             std::string s(v);
             std::replace(s.begin(), s.end(), ',', ' ');
             std::istringstream in(s);
             std::string word;
             p.LhSlots.fill(0);
             while (in >> word) {
                 size_t colon = word.find(':');
                 uint32_t slot = 0, count = 1;
                 if (!ParseProfileUnsigned(word.substr(0, colon), slot) || slot < 1 || slot > 30 ||
                     (colon != std::string::npos &&
                      (!ParseProfileUnsigned(word.substr(colon + 1), count) || count > 255)))
                     return false;
                 p.LhSlots[slot] = uint8_t(count ? count : 1);
             }
             return true;
         }},
        {"blink", "enabled", Flag(&TSimProfile::Blink)},
        {"blink", "requestminms",
         Nested([](TSimProfile& p) -> uint32_t& { return p.BlinkTiming.RequestMinMs; })},
        {"blink", "eraseminms", Nested([](TSimProfile& p) -> uint32_t& { return p.BlinkTiming.EraseMinMs; })},
        {"blink", "erasemaxms", Nested([](TSimProfile& p) -> uint32_t& { return p.BlinkTiming.EraseMaxMs; })},
        {"blink", "adaptminms", Nested([](TSimProfile& p) -> uint32_t& { return p.BlinkTiming.AdaptMinMs; })},
        {"engine", "start", Choice(&TSimProfile::Start, StartNames)},
        {"engine", "cylinders", Number(&TSimProfile::Cylinders)},
        {"engine", "periodticksperms", Number(&TSimProfile::PeriodTicksPerMs)},
        {"engine", "idlerpm", Number(&TSimProfile::IdleRpm)},
        {"engine", "coolantc", Number(&TSimProfile::CoolantC)},
        {"engine", "ambientc", Number(&TSimProfile::AmbientC)},
        {"engine", "weakcylinder", Number(&TSimProfile::WeakCylinder)},
        {"engine", "weakpercent", Number(&TSimProfile::WeakPercent)},
        {"engine", "seed", Number(&TSimProfile::Seed)},
        {"engine", "drivecycle", ParseDriveCycle},
        {"engine", "faultyinjectors",
         [](TSimProfile& p, std::string_view v) {
             return ParseNumbers(v, p.FaultyInjectors) &&
                    std::all_of(p.FaultyInjectors.begin(), p.FaultyInjectors.end(),
                                [](int c) { return c >= 1 && c <= 6; });
         }},
        {"engine", "injectorflow", Number(&TSimProfile::InjectorFlow)},
        {"engine", "injectordeadms", Number(&TSimProfile::InjectorDeadMs)},
        {"coding", "unit", ThreeBytes(&TSimProfile::Coding)},
        {"coding", "testercode", ThreeBytes(&TSimProfile::TesterCode)},
        {"coding", "xormask", Nested([](TSimProfile& p) -> uint16_t& { return p.Access.XorMask; })},
        {"coding", "rotate", Nested([](TSimProfile& p) -> uint8_t& { return p.Access.Rotate; })},
        {"coding", "add", Nested([](TSimProfile& p) -> uint16_t& { return p.Access.Add; })},
        {"linefaults", "noecho", Nested([](TSimProfile& p) -> bool& { return p.Faults.NoEcho; })},
        {"linefaults", "wrongcomplementevery",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.WrongComplementEvery; })},
        {"linefaults", "dropanswerevery",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.DropAnswerEvery; })},
        {"linefaults", "noiseeveryms",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.NoiseEveryMs; })},
        {"linefaults", "silentafterrequests",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.SilentAfterRequests; })},
        {"linefaults", "vanishafterrequests",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.VanishAfterRequests; })},
        {"linefaults", "corruptechoevery",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.CorruptEchoEvery; })},
        {"linefaults", "latebytebeforeechoevery",
         Nested([](TSimProfile& p) -> uint32_t& { return p.Faults.LateByteBeforeEchoEvery; })},
        {"linefaults", "echolostbits",
         Nested([](TSimProfile& p) -> uint8_t& { return p.Faults.EchoLostBits; })},
        {"linefaults", "shorttoground",
         Nested([](TSimProfile& p) -> bool& { return p.Faults.ShortToGround; })},
        {"linefaults", "nounit", Nested([](TSimProfile& p) -> bool& { return p.Faults.NoUnit; })},
        {"faults", "onoffcode", Number(&TSimProfile::OnOffCode)},
    };
    return rows;
}

// [Ident] "00=27 42 ...": bytes from that address on.
bool ApplyIdent(TSimProfile& p, std::string_view key, std::string_view value) {
    uint32_t addr = 0;
    std::vector<uint8_t> bytes;
    if (!ParseProfileUnsigned("0x" + std::string(key), addr) || !ParseBytes(value, bytes) ||
        addr + bytes.size() > p.Ident.size())
        return false;
    std::copy(bytes.begin(), bytes.end(), p.Ident.begin() + addr);
    return true;
}

// [Memory] "CCAA=bytes" or "CCAA@BB=bytes" (EZ bank BB of command CC).
bool ApplyMemory(TSimProfile& p, std::string_view key, std::string_view value) {
    size_t at = key.find('@');
    uint32_t word = 0, bank = 0;
    std::vector<uint8_t> bytes;
    if (key.substr(0, at).size() != 4 || !ParseProfileUnsigned("0x" + std::string(key.substr(0, at)), word) ||
        (at != std::string_view::npos &&
         !ParseProfileUnsigned("0x" + std::string(key.substr(at + 1)), bank)) ||
        bank > 0xFF || !ParseBytes(value, bytes) || bytes.empty() || (word & 0xFF) + bytes.size() > 0x100)
        return false;
    for (size_t i = 0; i < bytes.size(); ++i)
        p.Memory[bank << 16 | (word + uint32_t(i))] = bytes[i];
    return true;
}

// Values the unit and its engine model can run with; outside them a profile could stall the simulation
// (an idle speed of 1e300 rpm never lets the next firing come) or mean nothing.
struct TValueRange {
    const char* Key;
    double (*Get)(const TSimProfile&);
    double Min, Max;
};
const TValueRange ValueRanges[] = {
    {"ReactionMs", [](const TSimProfile& p) { return p.ReactionMs; }, 0, 1000},
    {"SleepTimeoutMs", [](const TSimProfile& p) { return double(p.SleepTimeoutMs); }, 1, 3600000},
    {"BreakMinMs", [](const TSimProfile& p) { return double(p.BreakMinMs); }, 1, 10000},
    {"BreakMaxMs", [](const TSimProfile& p) { return double(p.BreakMaxMs); }, 1, 10000},
    {"WakeWindowMs", [](const TSimProfile& p) { return double(p.WakeWindowMs); }, 1, 60000},
    {"Cylinders", [](const TSimProfile& p) { return double(p.Cylinders); }, 1, 8},
    {"PeriodTicksPerMs", [](const TSimProfile& p) { return double(p.PeriodTicksPerMs); }, 1, 1000},
    {"IdleRpm", [](const TSimProfile& p) { return p.IdleRpm; }, 100, 3000},
    {"CoolantC", [](const TSimProfile& p) { return p.CoolantC; }, -40, 150},
    {"AmbientC", [](const TSimProfile& p) { return p.AmbientC; }, -40, 60},
    {"WeakCylinder", [](const TSimProfile& p) { return double(p.WeakCylinder); }, 0, 8},
    {"WeakPercent", [](const TSimProfile& p) { return p.WeakPercent; }, 0, 100},
    {"RequestMinMs", [](const TSimProfile& p) { return double(p.BlinkTiming.RequestMinMs); }, 1, 60000},
    {"OnOffCode", [](const TSimProfile& p) { return double(p.OnOffCode); }, -1, 100},
    {"InjectorFlow", [](const TSimProfile& p) { return p.InjectorFlow; }, 1, 2000},
    {"InjectorDeadMs", [](const TSimProfile& p) { return p.InjectorDeadMs; }, 0, 10},
};

std::string FormatLimit(double value) {
    std::ostringstream out;
    out << std::setprecision(10) << value;
    return out.str();
}

// An error naming the first value out of its range, or empty.
std::string CheckRanges(const TSimProfile& p) {
    for (const TValueRange& r : ValueRanges) {
        const double value = r.Get(p);
        if (!(value >= r.Min && value <= r.Max)) // NaN fails too
            return std::string(r.Key) + " must be " + FormatLimit(r.Min) + " to " + FormatLimit(r.Max);
    }
    if (p.BreakMinMs > p.BreakMaxMs)
        return "BreakMinMs must not be above BreakMaxMs";
    if (p.WeakCylinder > p.Cylinders)
        return "WeakCylinder must be 0 or one of the Cylinders";
    return {};
}

} // namespace

bool ParseSimProfile(std::string_view text, TSimProfile& profile, std::string& error) {
    std::string section;
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = TrimProfileText(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;
        if (lineNo == 1 && line.substr(0, 3) == "\xEF\xBB\xBF")
            line.remove_prefix(3);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        auto fail = [&](std::string_view why) {
            error = "line " + std::to_string(lineNo) + ": " + std::string(why) + ": " + std::string(line);
            return false;
        };
        if (line.front() == '[') {
            if (line.back() != ']')
                return fail("section without ]");
            section = LowerProfileText(TrimProfileText(line.substr(1, line.size() - 2)));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return fail("no '='");
        std::string_view key = TrimProfileText(line.substr(0, eq));
        std::string_view value = TrimProfileText(line.substr(eq + 1));
        // A comment may follow the value after " ;".
        if (size_t c = value.find(" ;"); c != std::string_view::npos && value.front() != '"')
            value = TrimProfileText(value.substr(0, c));
        std::string lowerKey = LowerProfileText(key);
        if (section == "unit" && lowerKey == "base") {
            std::string_view base = BuiltinSimProfileText(LowerProfileText(value));
            if (base.empty())
                return fail("unknown built-in unit");
            std::string baseError;
            TSimProfile fresh;
            if (!ParseSimProfile(base, fresh, baseError))
                return fail(baseError);
            profile = fresh;
            continue;
        }
        bool ok = false, known = false;
        if (section == "ident" && lowerKey != "vin") {
            known = true;
            ok = ApplyIdent(profile, key, value);
        } else if (section == "memory") {
            known = true;
            ok = ApplyMemory(profile, key, value);
        } else if (TModuleKeyResult module = ApplySimModuleKey(profile.Modules, section, key, value);
                   module != TModuleKeyResult::NotModuleKey) {
            known = true;
            ok = module == TModuleKeyResult::Applied;
        } else {
            for (const TKeyRow& row : KeyRows())
                if (section == row.Section && lowerKey == row.Key) {
                    known = true;
                    ok = row.Apply(profile, value);
                    break;
                }
        }
        if (!known)
            return fail("unknown key");
        if (!ok)
            return fail("bad value");
    }
    error = CheckRanges(profile);
    return error.empty();
}

bool LoadSimProfile(std::string_view spec, TSimProfile& profile, std::string& error) {
    std::string name = LowerProfileText(TrimProfileText(spec));
    if (name.empty())
        name = "hfm";
    std::string_view builtin = BuiltinSimProfileText(name);
    if (!builtin.empty())
        return ParseSimProfile(builtin, profile, error);
    const std::filesystem::path file = Utf8Path(TrimProfileText(spec));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        error = "no built-in unit or profile file \"" + std::string(TrimProfileText(spec)) + "\"";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in.good() && !in.eof()) {
        error = "cannot read \"" + file.string() + "\"";
        return false;
    }
    TSimProfile fresh;
    if (!ParseSimProfile(text.str(), fresh, error)) {
        error = file.filename().string() + ", " + error;
        return false;
    }
    profile = fresh;
    return true;
}

} // namespace velmora
