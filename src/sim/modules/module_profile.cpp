#include "sim/modules/module_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <sstream>
#include <string>

#include "sim/profile_values.h"

namespace velmora {

namespace {

bool ParseUnsigned(std::string_view text, uint32_t& value, uint32_t max) {
    return ParseProfileUnsigned(text, value) && value <= max;
}

bool ParseMs(std::string_view text, double& value) {
    return ParseProfileDouble(text, value) && value >= 0; // written so that NaN fails too
}

// Hexadecimal bytes separated by blanks: "01 8A".
template <size_t N> bool ParseHexBytes(std::string_view text, std::array<uint8_t, N>& bytes) {
    std::istringstream in{std::string(text)};
    std::string word;
    size_t count = 0;
    while (in >> word) {
        uint32_t v = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v, 16);
        if (ec != std::errc() || end != word.data() + word.size() || v > 0xFF || count == N)
            return false;
        bytes[count++] = uint8_t(v);
    }
    return count == N;
}

// Ten hexadecimal digits, as the tester prints the part number: "0125452832" or "012 545 28 32".
bool ParsePartNumber(std::string_view text, std::array<uint8_t, 5>& bytes) {
    std::string digits;
    for (char c : text)
        if (!std::isspace(uint8_t(c)))
            digits += c;
    if (digits.size() != 10)
        return false;
    for (size_t i = 0; i < 5; ++i) {
        uint32_t v = 0;
        auto [end, ec] = std::from_chars(digits.data() + 2 * i, digits.data() + 2 * i + 2, v, 16);
        if (ec != std::errc() || end != digits.data() + 2 * i + 2)
            return false;
        bytes[i] = uint8_t(v);
    }
    return true;
}

// Decimal fault codes separated by blanks or commas.
bool ParseCodes(std::string_view text, std::vector<uint16_t>& codes) {
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', ' ');
    std::istringstream in(s);
    std::string word;
    codes.clear();
    while (in >> word) {
        uint32_t v = 0;
        if (!ParseUnsigned(word, v, 0xFFFF))
            return false;
        codes.push_back(uint16_t(v));
    }
    return true;
}

using TApply = std::function<bool(TSimModuleProfile&, std::string_view)>;

template <class T> TApply Number(T TSimModuleProfile::*field, uint32_t max) {
    return [field, max](TSimModuleProfile& m, std::string_view v) {
        uint32_t n = 0;
        if (!ParseUnsigned(v, n, max))
            return false;
        m.*field = T(n);
        return true;
    };
}

TApply Ms(double TSimModuleProfile::*field) {
    return [field](TSimModuleProfile& m, std::string_view v) { return ParseMs(v, m.*field); };
}

TApply Flag(bool TSimModuleProfile::*field) {
    return [field](TSimModuleProfile& m, std::string_view v) { return ParseProfileBool(v, m.*field); };
}

template <size_t N> TApply Bytes(std::array<uint8_t, N> TSimModuleProfile::*field) {
    return [field](TSimModuleProfile& m, std::string_view v) { return ParseHexBytes(v, m.*field); };
}

TApply Codes(std::vector<uint16_t> TSimModuleProfile::*field) {
    return [field](TSimModuleProfile& m, std::string_view v) { return ParseCodes(v, m.*field); };
}

struct TModuleKey {
    const char* Key;
    TApply Apply;
};

const std::vector<TModuleKey>& ModuleKeys() {
    static const std::vector<TModuleKey> keys = {
        {"present", Flag(&TSimModuleProfile::Present)},
        {"baud", Number(&TSimModuleProfile::Baud, 115200)},
        {"supplier", Number(&TSimModuleProfile::Supplier, 0xFF)},
        {"partnumber",
         [](TSimModuleProfile& m, std::string_view v) { return ParsePartNumber(v, m.PartNumber); }},
        {"variant", Number(&TSimModuleProfile::Variant, 0xFF)},
        {"diagnosis", Bytes(&TSimModuleProfile::Diagnosis)},
        {"hardware", Bytes(&TSimModuleProfile::Hardware)},
        {"software", Bytes(&TSimModuleProfile::Software)},
        {"keybytes", Bytes(&TSimModuleProfile::KeyBytes)},
        {"faults", Codes(&TSimModuleProfile::Faults)},
        {"current", Codes(&TSimModuleProfile::Current)},
        {"erasecommand", Flag(&TSimModuleProfile::EraseCommand)},
        {"accesscode", Number(&TSimModuleProfile::AccessCode, 0xFFFF)},
        {"minbytespacingms", Ms(&TSimModuleProfile::MinByteSpacingMs)},
        {"maxbytegapms", Ms(&TSimModuleProfile::MaxByteGapMs)},
        {"syncdelayms", Ms(&TSimModuleProfile::SyncDelayMs)},
        {"answerdelayms", Ms(&TSimModuleProfile::AnswerDelayMs)},
        {"sleeptimeoutms", Number(&TSimModuleProfile::SleepTimeoutMs, 600000)},
        {"silent", Flag(&TSimModuleProfile::Silent)},
        {"wrongchecksumevery", Number(&TSimModuleProfile::WrongChecksumEvery, 1000000)},
    };
    return keys;
}

} // namespace

TSimModuleProfile& TSimModules::Of(TSimModuleKind kind) {
    return kind == TSimModuleKind::EGas ? EGas : kind == TSimModuleKind::Egs ? Egs : Srs;
}

const TSimModuleProfile& TSimModules::Of(TSimModuleKind kind) const {
    return kind == TSimModuleKind::EGas ? EGas : kind == TSimModuleKind::Egs ? Egs : Srs;
}

TSimModules DefaultSimModules() {
    TSimModules modules;

    TSimModuleProfile& egas = modules.EGas;
    egas.Address = 0x18;
    egas.Baud = 10400;
    egas.Supplier = 17; // VDO
    egas.PartNumber = {0x01, 0x25, 0x45, 0x28, 0x32};
    egas.Diagnosis = {0x03, 0x01, 0x02};
    egas.Hardware = {0x12, 0x03};
    egas.Software = {0x21, 0x04};
    egas.Faults = {2, 4};

    TSimModuleProfile& egs = modules.Egs;
    egs.Address = 0x20;
    egs.Supplier = 33; // Temic
    egs.PartNumber = {0x01, 0x65, 0x45, 0x06, 0x62};
    egs.Diagnosis = {0x05, 0x00, 0x01};
    egs.Hardware = {0x17, 0x02};
    egs.Software = {0x31, 0x00};
    egs.Faults = {11};

    TSimModuleProfile& srs = modules.Srs;
    srs.Address = 0x41;
    srs.Supplier = 24; // MBB: the slow module that wants the request bytes spaced
    srs.PartNumber = {0x00, 0x28, 0x20, 0x05, 0x26};
    srs.Diagnosis = {0x02, 0x01, 0x00};
    srs.Hardware = {0x09, 0x01};
    srs.Software = {0x14, 0x02};
    srs.Faults = {3, 4};
    srs.EraseCommand = false;
    srs.AccessCode = SimSrsAccessCode;
    srs.MinByteSpacingMs = 1.5;
    return modules;
}

TModuleKeyResult ApplySimModuleKey(TSimModules& modules, std::string_view section, std::string_view key,
                                   std::string_view value) {
    TSimModuleProfile* module = section == "egas"  ? &modules.EGas
                                : section == "egs" ? &modules.Egs
                                : section == "srs" ? &modules.Srs
                                                   : nullptr;
    if (!module)
        return TModuleKeyResult::NotModuleKey;
    const std::string lower = LowerProfileText(TrimProfileText(key));
    for (const TModuleKey& row : ModuleKeys())
        if (lower == row.Key)
            return row.Apply(*module, TrimProfileText(value)) ? TModuleKeyResult::Applied
                                                              : TModuleKeyResult::BadValue;
    return TModuleKeyResult::NotModuleKey;
}

} // namespace velmora
