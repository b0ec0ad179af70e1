#include "engine_link/ecu_ident.h"

#include "lang/translated_format.h"
#include "params/unit_codes.h"

namespace velmora {

namespace {

// Byte 0 of LH and EZ blocks.
constexpr uint8_t LhEzMarker = 0x0D;

bool IsMarker(uint8_t v) {
    return v == LhEzMarker;
}
bool IsDigit(uint8_t v) {
    return v >= '0' && v <= '9';
}
bool IsUpper(uint8_t v) {
    return v >= 'A' && v <= 'Z';
}
bool IsDigitOrUpper(uint8_t v) {
    return IsDigit(v) || IsUpper(v);
}
bool IsLhVariant(uint8_t v) {
    return v < 3 || v == 0x12 || v == 0x14;
}
bool HasLowNibble5(uint8_t v) {
    return (v & 0x0F) == 5;
}
bool IsE(uint8_t v) {
    return v == 'E';
}
bool IsTwo(uint8_t v) {
    return v == '2';
}
bool IsBcd(uint8_t v) {
    return (v >> 4) < 10 && (v & 0x0F) < 10;
}
bool HighNibbleBelow6(uint8_t v) {
    return (v >> 4) < 6;
}
bool IsLhWeekOrMonth(uint8_t v) {
    return v < 0x10 || (v >> 4) == 8 || (v >> 4) == 9;
}

struct TByteRule {
    uint8_t Address;
    bool (*Passes)(uint8_t value);
};

// Addresses without a row pass.
constexpr TByteRule LhRules[] = {
    {0, IsMarker},
    {1, IsLhVariant},
    {2, HasLowNibble5},
    {3, IsE},
    {4, IsBcd},
    {5, IsTwo},
    {9, HighNibbleBelow6},
    {10, IsLhWeekOrMonth},
    {11, HighNibbleBelow6},
    {12, IsLhWeekOrMonth},
};

constexpr TByteRule EzRules[] = {
    {0, IsMarker}, {1, IsUpper}, {2, IsDigit}, {3, IsDigit}, {4, IsDigit},
    {5, IsDigit},  {6, IsDigit}, {8, IsUpper}, {9, IsUpper}, {10, IsDigitOrUpper},
};

bool Passes(std::span<const TByteRule> rules, uint8_t address, uint8_t value) {
    for (const TByteRule& rule : rules) {
        if (rule.Address == address)
            return rule.Passes(value);
    }
    return true;
}

struct TByteToValue {
    uint8_t Byte;
    uint8_t Value;
};

// Block byte 0 of HFM and PMS units.
constexpr TByteToValue FamilyByFirstByte[] = {
    {0x27, UnitHfm}, {0x2C, UnitHfm}, {0x21, UnitPms}, {0x23, UnitPms}};
// Block byte 1 of HFM and PMS units.
constexpr TByteToValue SupplierBySecondByte[] = {
    {'B', SupplierBosch}, {'S', SupplierSiemens}, {'V', SupplierVdo}};
// The two-digit code of block bytes 4 and 5 (HFM, PMS).
constexpr TByteToValue VariantByCode[] = {{0x28, 'h'}, {0x32, 'h'}, {0x36, 'h'}, {0x18, 'o'},
                                          {0x20, 'o'}, {0x22, 'o'}, {0x23, 'o'}};
// LH byte 0x10 (cylinders and valves).
constexpr TByteToValue LhVariantByCylinders[] = {{0x12, 'x'}, {0x64, 'h'}, {0x84, 'w'}};

uint8_t Lookup(std::span<const TByteToValue> table, uint8_t byte) {
    for (const TByteToValue& row : table) {
        if (row.Byte == byte)
            return row.Value;
    }
    return 0;
}

} // namespace

uint8_t DecimalFromHexDigits(uint8_t value) {
    return uint8_t((value >> 4) * 10 + (value & 0x0F));
}

bool PassesLhRule(uint8_t address, uint8_t value) {
    return Passes(LhRules, address, value);
}

bool PassesEzRule(uint8_t address, uint8_t value) {
    return Passes(EzRules, address, value);
}

uint8_t NextCandidate(uint8_t unitType, uint8_t address, uint8_t value) {
    if (address == 0 && value == LhEzMarker)
        unitType = UnitLh;
    if (unitType == UnitLh && !PassesLhRule(address, value))
        unitType = UnitEz;
    if (unitType == UnitEz && !PassesEzRule(address, value))
        unitType = UnitUnknown;
    return unitType;
}

uint8_t CandidateFamily(std::span<const uint8_t> block) {
    uint8_t unitType = UnitUnknown;
    for (size_t address = 0; address < block.size(); ++address)
        unitType = NextCandidate(unitType, uint8_t(address), block[address]);
    return unitType;
}

std::vector<std::string> ClassifyIdent(TEcuIdent& ident) {
    std::vector<std::string> log;
    const auto& b = ident.IdentBuf;
    const uint32_t highWord = uint32_t(b[0]) << 8 | b[1];
    if (ident.UnitType == UnitUnknown) {
        ident.UnitType = Lookup(FamilyByFirstByte, b[0]);
        ident.Supplier = Lookup(SupplierBySecondByte, b[1]);
    }
    if (ident.UnitType == UnitLh || ident.UnitType == UnitEz)
        ident.Supplier = SupplierBosch;
    if (ident.UnitType == UnitUnknown)
        log.push_back(TranslateFormat("Тип системы не определен. Сигнатура %4.x", highWord));
    if (ident.Supplier == SupplierUnknown) {
        log.push_back(TranslateFormat("Тип блока не определен. Сигнатура %4.x", highWord));
        ident.Supplier = SupplierVdo;
        log.push_back(TranslateFormat("Предположу что это ЭБУ фирмы VDO"));
    }

    if (ident.UnitType == UnitLh) {
        ident.VariantLetter = char(Lookup(LhVariantByCylinders, b[0x10]));
    } else if (IsDigit(b[4]) && IsDigit(b[5])) {
        ident.VariantLetter = char(Lookup(VariantByCode, uint8_t((b[4] - '0') * 16 + (b[5] - '0'))));
    }

    if (ident.UnitType == UnitEz) {
        // The EZ index comes as two digit characters.
        if (IsDigit(b[0x10]) && IsDigit(b[0x11]))
            ident.DiagIndex = uint8_t((b[0x10] - '0') * 10 + (b[0x11] - '0'));
        ident.Signature = highWord << 16;
    } else {
        const size_t index = ident.UnitType == UnitLh ? 0x12 : 0x1A;
        ident.DiagIndex = DecimalFromHexDigits(b[index]);
        ident.Signature = highWord << 16 | uint32_t(b[index]) << 8 | b[index + 1];
    }
    ident.IdentText.clear();
    for (size_t i = 0x02; i <= 0x0B; ++i)
        ident.IdentText += char(b[i]);
    return log;
}

} // namespace velmora
