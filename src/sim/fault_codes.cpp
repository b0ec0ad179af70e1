#include "sim/fault_codes.h"

#include <iterator>

namespace velmora {

namespace {

// Bit b (1-based) at index b - 1; 0 = no code.
constexpr int PmsCodes[] = {
    2,  3,  4,  6,  7,  9,  10, 11, 68, 0,  0,  13, 14, 16, 17, 19, 20, 21, 22, 23, 24, 69, 70, 0,  25, 26,
    27, 0,  0,  0,  28, 29, 30, 31, 32, 33, 64, 65, 66, 67, 0,  0,  0,  0,  34, 35, 36, 37, 0,  0,  38, 39,
    40, 41, 42, 43, 0,  0,  0,  44, 45, 46, 0,  47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 0,  0,  0,  0,
    0,  61, 71, 72, 0,  59, 60, 62, 0,  0,  0,  0,  0,  0,  73, 0,  0,  74, 75, 76, 0,  78, 79, 0,  0,  0,
    0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  63, 0,  5,  8,  12, 15, 18, 58, 77, 80,
};

constexpr int HfmCodes[] = {
    2,   3,   4,   6,   7,   9,   10,  11,  118, 12,  113, 14,  15,  17,  18,  20,  21,  22,  23,
    24,  25,  26,  27,  28,  29,  30,  31,  32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,
    43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  61,  62,  63,  55,  56,  57,  58,
    59,  60,  64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  119, 77,  79,  80,
    81,  82,  83,  84,  85,  239, 240, 86,  87,  88,  123, 124, 89,  90,  91,  92,  93,  94,  95,
    96,  97,  98,  116, 243, 99,  100, 244, 117, 101, 102, 103, 104, 125, 105, 106, 107, 114, 108,
    109, 115, 126, 110, 111, 112, 5,   8,   13,  16,  19,  78,  247, 127, 128, 129, 130, 131, 132,
    156, 157, 160, 133, 134, 135, 161, 136, 253, 137, 138, 139, 140, 141, 142, 143, 144, 254, 255,
};

} // namespace

int FaultCodeFor(TSimFamily family, int bit) {
    if (bit < 1)
        return 0;
    switch (family) {
    case TSimFamily::PMS:
        return bit <= int(std::size(PmsCodes)) ? PmsCodes[bit - 1] : 0;
    case TSimFamily::HFM:
        return bit <= int(std::size(HfmCodes)) ? HfmCodes[bit - 1] : 0;
    case TSimFamily::LH:
        // LH slots: the code is the slot number, slot 23 is code 123 and the later slots shift down by one.
        if (bit <= 22)
            return bit;
        if (bit == 23)
            return 123;
        return bit <= 30 ? bit - 1 : 0;
    case TSimFamily::EZ:
        return 0;
    }
    return 0;
}

} // namespace velmora
