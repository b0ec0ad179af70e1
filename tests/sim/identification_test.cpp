// The built-in units read and classified as the engine link does it, with a small classifier of our own
// written from the identification rules (family by the first bytes, LH and EZ by their byte rules,
// supplier by byte 1, the diagnosis index read as a decimal number, the variant letter).
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cctype>
#include <string>
#include <vector>

#include "sim_bench.h"

namespace velmora {
namespace {

using testing::TSimBench;

bool LhRule(int a, uint8_t v) {
    switch (a) {
    case 0:
        return v == 0x0D;
    case 1:
        return v < 3 || v == 0x12 || v == 0x14;
    case 2:
        return (v & 0x0F) == 5;
    case 3:
        return v == 'E';
    case 4:
        return (v >> 4) < 10 && (v & 0x0F) < 10;
    case 5:
        return v == '2';
    case 9:
    case 11:
        return (v >> 4) < 6;
    case 10:
    case 12:
        return v < 0x10 || (v >> 4) == 8 || (v >> 4) == 9;
    default:
        return true;
    }
}

bool EzRule(int a, uint8_t v) {
    bool digit = v >= '0' && v <= '9', letter = v >= 'A' && v <= 'Z';
    switch (a) {
    case 0:
        return v == 0x0D;
    case 1:
    case 8:
    case 9:
        return letter;
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return digit;
    case 10:
        return digit || letter;
    default:
        return true;
    }
}

struct TIdent {
    int UnitType = 0;
    int Supplier = 0;
    int DiagIndex = 0;
    char Variant = 0;
    std::string Vin;
};

int Decimal(uint8_t v) {
    return (v >> 4) * 10 + (v & 0x0F);
}

TIdent Identify(TSimBench& b) {
    TIdent id;
    std::array<uint8_t, 0x30> buf{};
    int last = 0x27, code = -1;
    for (int a = 0; a <= last; ++a) {
        if (a >= 0x1C && a <= 0x25)
            continue;
        auto v = b.Request(0xF0, uint8_t(a));
        EXPECT_TRUE(v.has_value()) << "ident byte " << a;
        buf[a] = v.value_or(0);
        if (a == 0 && buf[0] == 0x0D)
            id.UnitType = 3;
        if (a == 0x0C && id.UnitType == 3)
            last = 0x0D;
        if (a == 0x0C && id.UnitType == 4)
            last = 0x0C;
        if (id.UnitType == 3 && !LhRule(a, buf[a]))
            id.UnitType = 4;
        if (id.UnitType == 4 && !EzRule(a, buf[a]))
            id.UnitType = 0;
    }
    if (std::isdigit(buf[4]) && std::isdigit(buf[5]))
        code = (buf[4] - '0') * 16 + (buf[5] - '0');
    if (id.UnitType == 3) {
        buf[0x10] = b.Request(0x40, 0xF7).value_or(0);
        buf[0x12] = b.Request(0x40, 0xFA).value_or(0);
        id.Variant = buf[0x10] == 0x12 ? 'x' : buf[0x10] == 0x64 ? 'h' : buf[0x10] == 0x84 ? 'w' : 0;
        id.Supplier = 1;
        id.DiagIndex = Decimal(buf[0x12]);
        return id;
    }
    if (id.UnitType == 4) {
        uint8_t d1 = b.Request(0x80, 0xF2).value_or(0), d2 = b.Request(0x80, 0xF3).value_or(0);
        id.DiagIndex = (d1 - '0') * 10 + (d2 - '0');
        id.Supplier = 1;
        return id;
    }
    if (buf[0] == 0x27 || buf[0] == 0x2C)
        id.UnitType = 1;
    if (buf[0] == 0x21 || buf[0] == 0x23)
        id.UnitType = 2;
    id.Supplier = buf[1] == 'B' ? 1 : buf[1] == 'S' ? 3 : buf[1] == 'V' ? 2 : 0;
    if (code == 0x28 || code == 0x32 || code == 0x36)
        id.Variant = 'h';
    if (code == 0x18 || code == 0x20 || code == 0x22 || code == 0x23)
        id.Variant = 'o';
    id.DiagIndex = Decimal(buf[0x1A]);
    if (id.DiagIndex >= 46 && id.DiagIndex < 60)
        for (int i = 0; i < 14; ++i) {
            uint8_t c = b.Request(0xF9, uint8_t(i)).value_or(0);
            if (i == 0 && (c == 0x00 || c == 0xFF))
                break;
            id.Vin += char(c);
        }
    return id;
}

TEST(SimIdentification, BuiltinUnitsClassifyAsTheirProfilesSay) {
    struct TCase {
        const char* Unit;
        int UnitType, Supplier, DiagIndex;
        char Variant;
        const char* Vin;
    };
    const TCase cases[] = {
        {"hfm", 1, 1, 52, 'h', "WDB1240921F123"},
        {"hfm-new", 1, 1, 62, 'h', ""},
        {"hfm40", 1, 1, 40, 'o', ""},
        {"hfm-vdo", 1, 2, 42, 'o', ""},
        {"pms", 2, 3, 61, 0, ""},
        {"pms-vdo", 2, 2, 52, 0, "WDB2020181A456"},
        {"lh", 3, 1, 44, 'h', ""},
        {"lh-w", 3, 1, 44, 'w', ""},
        {"ez", 4, 1, 23, 0, ""},
        {"pms-bosch", 2, 1, 45, 0, ""},
        {"hfm-siemens", 1, 3, 64, 'h', ""},
    };
    for (const TCase& c : cases) {
        TSimBench b(c.Unit);
        ASSERT_TRUE(b.Wake()) << c.Unit;
        TIdent id = Identify(b);
        EXPECT_EQ(id.UnitType, c.UnitType) << c.Unit;
        EXPECT_EQ(int(b.Car->Profile().Family), c.UnitType) << c.Unit << ": the profile's own family";
        EXPECT_EQ(id.Supplier, c.Supplier) << c.Unit;
        EXPECT_EQ(id.DiagIndex, c.DiagIndex) << c.Unit;
        EXPECT_EQ(id.Variant, c.Variant) << c.Unit;
        EXPECT_EQ(id.Vin, c.Vin) << c.Unit;
    }
}

TEST(SimIdentification, OpeningReadsAreAnswered) {
    struct TCase {
        const char* Unit;
        std::vector<std::pair<uint8_t, uint8_t>> Pairs;
    };
    const TCase cases[] = {
        {"pms", {{0x20, 0x30}, {0x20, 0xDC}, {0x21, 0x92}, {0x21, 0x93}, {0x20, 0x00}}},
        {"pms-bosch", {{0x21, 0xB0}}},
        {"hfm40", {{0x10, 0xAA}, {0x27, 0x02}, {0x24, 0xF0}, {0x10, 0xAA}, {0x10, 0x00}}},
        {"hfm-vdo",
         {{0x10, 0x00}, {0x10, 0x00}, {0x10, 0x02}, {0x22, 0x22}, {0x10, 0x03}, {0x22, 0x23}, {0x10, 0x04}}},
        {"lh", {{0x40, 0xF8}, {0x40, 0xFB}, {0x00, 0x22}, {0x10, 0xC9}}},
        {"ez", {{0x11, 0xAA}, {0x80, 0xBF}, {0x80, 0xCB}, {0x00, 0x00}, {0xFF, 0x21}, {0x10, 0x00}}},
    };
    for (const TCase& c : cases) {
        TSimBench b(c.Unit);
        ASSERT_TRUE(b.Wake()) << c.Unit;
        for (auto [cmd, param] : c.Pairs)
            EXPECT_TRUE(b.Request(cmd, param).has_value()) << c.Unit << " " << int(cmd) << " " << int(param);
    }
}

TEST(SimIdentification, EzAnswersItsCheckAndFaultCountersByBank) {
    TSimBench b("ez");
    ASSERT_TRUE(b.Wake());
    EXPECT_EQ(b.Request(0x02, 0x7F), 0x80);
    // The counters answer only after their start sequence; the restart pair alone is not it.
    b.Request(0x10, 0x00);
    b.Request(0x11, 0xAA);
    b.Request(0x00, 0x00);
    EXPECT_FALSE(b.Request(0xFF, 0xF0).has_value());
    b.Request(0x00, 0x80);
    EXPECT_FALSE(b.Request(0xFF, 0x2D).has_value());
    for (auto [cmd, param] : {std::pair{0x00, 0x00}, {0xFF, 0x21}, {0x10, 0x00}, {0x11, 0xAA}})
        ASSERT_TRUE(b.Request(uint8_t(cmd), uint8_t(param)).has_value());
    int current = 0, stored = 0;
    b.Request(0x00, 0x00);
    for (uint8_t p = 0xF0; p <= 0xF3; ++p)
        current += std::popcount(b.Request(0xFF, p).value_or(0));
    b.Request(0x00, 0x80);
    for (uint8_t p = 0x2D; p <= 0x54; ++p)
        stored += b.Request(0xFF, p).value_or(0) != 0;
    EXPECT_EQ(current, 1);
    EXPECT_EQ(stored, 2);
    // Bank 0 again: the live engine speed (x30 rpm).
    b.Request(0x00, 0x00);
    EXPECT_NEAR(b.Request(0xFF, 0x41).value_or(0) * 30, 720, 60);
}

} // namespace
} // namespace velmora
