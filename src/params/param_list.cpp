#include "params/param_list.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <unordered_set>

#include "params/builtin_sets.h"
#include "params/param_ids.h"
#include "params/unit_codes.h"
#include "platform/ini_file.h"
#include "platform/program_folders.h"

namespace velmora {

namespace {

constexpr int FirstPlainSection = 0;  // P0 ..
constexpr int LastPlainSection = 219; // .. P219
constexpr int FirstUnitSection = 255; // U255 down to
constexpr int LastUnitSection = 220;  // .. U220
constexpr int HfmCmdHi = 85;          // CMD of the HFM/PMS set: 85 <number>

// Conditions under which a colour rule applies to a number.
enum class TRuleCondition {
    Always,
    LhOnly,
    NotLh,
    IdleAirInKg, // LH units, HFM units from Bosch, and diagnosis index 42..59
    NotIdleAirInKg,
};

struct TColorRuleRow {
    int Number;
    int Rule;
    TRuleCondition Condition;
};

constexpr TColorRuleRow ColorRuleRows[] = {
    {0, 100, TRuleCondition::Always},      {1, 101, TRuleCondition::Always},
    {2, 100, TRuleCondition::LhOnly},      {4, 99, TRuleCondition::LhOnly},
    {4, 104, TRuleCondition::NotLh},       {5, 105, TRuleCondition::Always},
    {8, 108, TRuleCondition::IdleAirInKg}, {8, 109, TRuleCondition::NotIdleAirInKg},
    {9, 109, TRuleCondition::Always},      {10, 109, TRuleCondition::Always},
    {12, 112, TRuleCondition::Always},     {16, 116, TRuleCondition::Always},
    {41, 141, TRuleCondition::Always},     {99, 99, TRuleCondition::Always},
};

bool RuleApplies(TRuleCondition condition, int unitType, int supplier, int diagIndex) {
    bool lh = unitType == UnitLh;
    bool idleAirInKg =
        (diagIndex >= 42 && diagIndex < 60) || lh || (unitType == UnitHfm && supplier == SupplierBosch);
    switch (condition) {
    case TRuleCondition::Always:
        return true;
    case TRuleCondition::LhOnly:
        return lh;
    case TRuleCondition::NotLh:
        return !lh;
    case TRuleCondition::IdleAirInKg:
        return idleAirInKg;
    case TRuleCondition::NotIdleAirInKg:
        return !idleAirInKg;
    }
    return false;
}

bool RowFitsVariant(const TBuiltinRow& row, char variantLetter) {
    if (row.OnlyVariant != 0 && row.OnlyVariant != variantLetter)
        return false;
    return row.ExceptVariant == 0 || row.ExceptVariant != variantLetter;
}

bool AddressSetFits(const TAddressSet& set, int unitType, int supplier, int diagIndex) {
    bool unitFits = set.ForLh ? unitType == UnitLh : (unitType == UnitHfm || unitType == UnitPms);
    bool supplierFits =
        set.Supplier == SupplierUnknown ? supplier != SupplierUnknown : supplier == set.Supplier;
    return unitFits && supplierFits && diagIndex >= set.DiagIndexLow && diagIndex <= set.DiagIndexHigh;
}

// The ini sections present, in upper case, so that absent ones are not read key by key.
std::unordered_set<std::string> SectionNames(const TIniFile& ini) {
    std::unordered_set<std::string> names;
    for (std::string name : ini.ReadSections()) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        names.insert(std::move(name));
    }
    return names;
}

} // namespace

bool TListParams::Add(std::unique_ptr<TECUparam> param) {
    if (!param || !param->HasCmd())
        return false;
    Items.push_back(std::move(param));
    return true;
}

void TListParams::Clear() {
    Items.clear();
}

TECUparam* TListParams::FindByNumber(int number) const {
    for (const auto& item : Items)
        if (item->Number == number)
            return item.get();
    return nullptr;
}

TECUparam* TListParams::FindById(uint8_t id) const {
    for (const auto& item : Items)
        if (item->HasId(id))
            return item.get();
    return nullptr;
}

void TListParams::LoadIni(const std::filesystem::path& path) {
    Clear();
    TIniFile ini(path.empty() ? ProgramFolder() / "ECU.ini" : path);
    Is2142 = ini.ReadString("HFM", "TYPE", "0").find("2142") != std::string::npos;
    std::unordered_set<std::string> present = SectionNames(ini);
    auto loadSection = [&](char prefix, int number) {
        std::string section = prefix + std::to_string(number);
        if (!present.contains(section))
            return; // an absent section reads as defaults only: no CMD, no record
        auto param = std::make_unique<TECUparam>(uint16_t(number));
        param->LoadFromIni(ini, section);
        Add(std::move(param));
    };
    for (int n = FirstPlainSection; n <= LastPlainSection; ++n)
        loadSection('P', n);
    for (int n = FirstUnitSection; n >= LastUnitSection; --n)
        loadSection('U', n);
}

void TListParams::LoadBuiltinSet(int unitType, char variantLetter) {
    std::span<const TBuiltinRow> rows = unitType == UnitLh   ? LhSet()
                                        : unitType == UnitEz ? EzSet()
                                                             : HfmPmsSet();
    for (const TBuiltinRow& row : rows) {
        if (!RowFitsVariant(row, variantLetter))
            continue;
        auto param = std::make_unique<TECUparam>(row.Number);
        std::string number = std::to_string(row.Number);
        param->ParseLine("NAME=" + (row.Name.empty() ? "P" + number : std::string(row.Name)));
        param->ParseLine("TYPE=" + std::string(1, row.Type));
        param->ParseLine("CALC=" + std::string(row.Calc));
        param->ParseLine("CMD=" +
                         (row.Cmd.empty() ? std::to_string(HfmCmdHi) + " " + number : std::string(row.Cmd)));
        if (!row.Extra.empty())
            param->ParseLine(row.Extra);
        Add(std::move(param));
    }
    AssignParamIds(*this, unitType);
}

bool TListParams::LoadAddressSet(int unitType, int supplier, int diagIndex) {
    for (const TAddressSet& set : AddressSets()) {
        if (!AddressSetFits(set, unitType, supplier, diagIndex))
            continue;
        for (const TAddressRow& row : set.Rows) {
            auto param = std::make_unique<TECUparam>(row.Number);
            param->SetCmdWord(row.Address);
            for (std::string_view line : {row.Line1, row.Line2})
                if (!line.empty())
                    param->ParseLine(line);
            Add(std::move(param));
        }
        return Count() > 0;
    }
    return false;
}

void TListParams::AssignColorRules(int unitType, int supplier, int diagIndex) {
    for (const TColorRuleRow& row : ColorRuleRows) {
        if (!RuleApplies(row.Condition, unitType, supplier, diagIndex))
            continue;
        if (TECUparam* param = FindByNumber(row.Number))
            param->ColorRule = row.Rule;
    }
}

} // namespace velmora
