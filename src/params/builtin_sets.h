// The built-in parameter descriptions as data: one table per engine-unit family, the address sets and
// the colour rules by parameter number. TListParams reads them (param_list.cpp); nothing else should.
// Tables are constant; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {

// One description of a built-in set, applied as the lines NAME, TYPE, CALC, CMD and Extra.
struct TBuiltinRow {
    uint16_t Number;
    std::string_view Cmd;  // four hex digits; empty in the HFM/PMS set, where CMD is "85 <number>"
    std::string_view Name; // empty: the record is named "P<number>"
    char Type;
    std::string_view Calc;  // empty: identity
    std::string_view Extra; // an "IZM=" or "MASK=" line, or empty
    char OnlyVariant = 0;   // row applies only to this variant letter (0: any)
    char ExceptVariant = 0; // row applies to every variant letter but this one (0: none excluded)
};

std::span<const TBuiltinRow> HfmPmsSet();
std::span<const TBuiltinRow> LhSet();
std::span<const TBuiltinRow> EzSet();

// One entry of an address set: the parameter number read at a memory address, with up to two
// description lines.
struct TAddressRow {
    uint16_t Number;
    uint16_t Address;
    std::string_view Line1 = {};
    std::string_view Line2 = {};
};

// Which units an address set is for: HFM/PMS (or LH) units of a supplier within a diagnosis-index range.
struct TAddressSet {
    bool ForLh;        // LH units; otherwise HFM and PMS units
    int Supplier;      // 0: any known supplier
    int DiagIndexLow;  // inclusive
    int DiagIndexHigh; // inclusive
    std::span<const TAddressRow> Rows;
};

std::span<const TAddressSet> AddressSets();

} // namespace velmora
