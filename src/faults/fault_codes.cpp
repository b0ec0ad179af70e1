#include "faults/fault_codes.h"

#include <span>

namespace velmora {

namespace {

// PMS: code of bit 1 ... 128.
constexpr uint8_t PmsCodes[128] = {
    2,  3,  4,  6,  7,  9,  10, 11, 68, 0,  0,  13, 14, 16, 17, 19, //
    20, 21, 22, 23, 24, 69, 70, 0,  25, 26, 27, 0,  0,  0,  28, 29, //
    30, 31, 32, 33, 64, 65, 66, 67, 0,  0,  0,  0,  34, 35, 36, 37, //
    0,  0,  38, 39, 40, 41, 42, 43, 0,  0,  0,  44, 45, 46, 0,  47, //
    48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 0,  0,  0,  0,  0,  61, //
    71, 72, 0,  59, 60, 62, 0,  0,  0,  0,  0,  0,  73, 0,  0,  74, //
    75, 76, 0,  78, 79, 0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  //
    0,  0,  0,  0,  0,  0,  63, 0,  5,  8,  12, 15, 18, 58, 77, 80, //
};

// HFM: code of bit 1 ... 152, before the overrides.
constexpr uint8_t HfmCodes[152] = {
    2,   3,   4,   6,   7,   9,   10,  11,  118, 12,  113, 14,  15,  17,  18,  20,  //
    21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  //
    37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  //
    53,  54,  61,  62,  63,  55,  56,  57,  58,  59,  60,  64,  65,  66,  67,  68,  //
    69,  70,  71,  72,  73,  74,  75,  76,  119, 77,  79,  80,  81,  82,  83,  84,  //
    85,  239, 240, 86,  87,  88,  123, 124, 89,  90,  91,  92,  93,  94,  95,  96,  //
    97,  98,  116, 243, 99,  100, 244, 117, 101, 102, 103, 104, 125, 105, 106, 107, //
    114, 108, 109, 115, 126, 110, 111, 112, 5,   8,   13,  16,  19,  78,  247, 127, //
    128, 129, 130, 131, 132, 156, 157, 160, 133, 134, 135, 161, 136, 253, 137, 138, //
    139, 140, 141, 142, 143, 144, 254, 255,                                         //
};

struct TBitCode {
    uint8_t Bit;
    uint8_t Code;
};

constexpr TBitCode VariantOCodes[] = {{51, 55}, {52, 56}, {53, 57}, {54, 58}, {55, 59}, {56, 60}};
constexpr TBitCode BoschH49Codes[] = {{35, 45}, {36, 46}, {37, 41}, {38, 42}, {39, 47},
                                      {40, 48}, {41, 39}, {42, 40}, {43, 43}, {44, 44}};
constexpr TBitCode Diag49Codes[] = {{70, 122}, {71, 121}, {74, 120}};
constexpr TBitCode Diag50To55Codes[] = {
    {68, 145},  {69, 146},  {70, 147},  {93, 148},  {94, 149},  {100, 150}, {101, 151},
    {102, 159}, {103, 152}, {114, 153}, {115, 154}, {127, 155}, {134, 156}, {135, 157},
    {136, 160}, {140, 161}, {148, 162}, {149, 158}, {151, 163}, {152, 164},
};

// A group of HFM overrides and the units it applies to (0 in Variant or Supplier: any).
struct THfmOverride {
    char Variant;
    uint8_t Supplier;
    uint8_t DiagMin;
    uint8_t DiagMax;
    std::span<const TBitCode> Codes;
};

// Applied in this order: a later group wins over an earlier one for the same bit.
constexpr THfmOverride HfmOverrides[] = {
    {'o', 0, 0, 255, VariantOCodes},
    {'h', SupplierBosch, 49, 49, BoschH49Codes},
    {0, 0, 49, 255, Diag49Codes},
    {0, 0, 50, 55, Diag50To55Codes},
};

bool Applies(const THfmOverride& group, const TFaultContext& context) {
    return (group.Variant == 0 || group.Variant == context.VariantLetter) &&
           (group.Supplier == 0 || group.Supplier == context.Supplier) &&
           context.DiagIndex >= group.DiagMin && context.DiagIndex <= group.DiagMax;
}

} // namespace

int FaultCodeOfBit(int bit, const TFaultContext& context) {
    if (bit < 1)
        return 0;
    if (context.UnitType == UnitPms)
        return bit <= int(std::size(PmsCodes)) ? PmsCodes[bit - 1] : 0;
    if (context.UnitType != UnitHfm || bit > int(std::size(HfmCodes)))
        return 0;
    int code = HfmCodes[bit - 1];
    for (const THfmOverride& group : HfmOverrides) {
        if (!Applies(group, context))
            continue;
        for (const TBitCode& row : group.Codes) {
            if (row.Bit == bit)
                code = row.Code;
        }
    }
    return code;
}

int LhFaultCode(int slot) {
    constexpr int LhSlotOfCode123 = 23;
    if (slot < LhSlotOfCode123)
        return slot;
    return slot == LhSlotOfCode123 ? 123 : slot - 1;
}

} // namespace velmora
