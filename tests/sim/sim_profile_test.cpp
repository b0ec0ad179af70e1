#include <gtest/gtest.h>

#include "sim/sim_profile.h"

namespace velmora {
namespace {

TEST(SimProfile, EveryBuiltinUnitParses) {
    for (const std::string& unit : BuiltinSimUnits()) {
        TSimProfile profile;
        std::string error;
        EXPECT_TRUE(LoadSimProfile(unit, profile, error)) << unit << ": " << error;
        EXPECT_FALSE(profile.Name.empty()) << unit;
    }
}

TEST(SimProfile, BaseThenOverridesAndValueForms) {
    TSimProfile p;
    std::string error;
    ASSERT_TRUE(ParseSimProfile(R"(
; a unit on a bad line
[Unit]
Base=hfm
ReactionMs=4.5   ; slower
[Ident]
02="AB"
1A=45
[Memory]
10C9=3F 40
FF2D@80=07
[Faults]
Stored=1, 9 0x10
[LineFaults]
DropAnswerEvery=7
)",
                                p, error))
        << error;
    EXPECT_EQ(p.Family, TSimFamily::HFM);
    EXPECT_DOUBLE_EQ(p.ReactionMs, 4.5);
    EXPECT_EQ(p.Ident[0], 0x27) << "kept from the base";
    EXPECT_EQ(p.Ident[2], 'A');
    EXPECT_EQ(p.Ident[3], 'B');
    EXPECT_EQ(p.Ident[0x1A], 0x45);
    EXPECT_EQ(p.Memory.at(0x10C9), 0x3F);
    EXPECT_EQ(p.Memory.at(0x10CA), 0x40);
    EXPECT_EQ(p.Memory.at(0x80FF2D), 0x07);
    EXPECT_EQ(p.StoredBits, (std::vector<int>{1, 9, 16}));
    EXPECT_EQ(p.Faults.DropAnswerEvery, 7u);
    EXPECT_EQ(p.Vin.size(), 14u) << "the base's VIN";
}

TEST(SimProfile, ErrorsNameTheLine) {
    struct TCase {
        const char* Text;
        const char* Error;
    };
    const TCase cases[] = {
        {"[Unit]\nFamily=Diesel\n", "line 2: bad value: Family=Diesel"},
        {"[Unit]\nColour=red\n", "line 2: unknown key: Colour=red"},
        {"[Ident]\n26=01 02 03\n", "line 2: bad value: 26=01 02 03"}, // past the block's 0x28 bytes
        {"[Memory]\n10FF=01 02\n", "line 2: bad value: 10FF=01 02"},  // runs past the page
        {"[Unit]\nBase=diesel\n", "line 2: unknown built-in unit: Base=diesel"},
        {"[Unit\n", "line 1: section without ]: [Unit"},
        {"[Ident]\nVIN=\"SHORT\"\n", "line 2: bad value: VIN=\"SHORT\""},
        {"[Engine]\nCylinders=12\n", "Cylinders must be 1 to 8"},
        // Values that would stall the unit's model or mean nothing.
        {"[Engine]\nIdleRpm=1e300\n", "IdleRpm must be 100 to 3000"},
        {"[Engine]\nIdleRpm=nan\n", "IdleRpm must be 100 to 3000"},
        {"[Engine]\nIdleRpm=0\n", "IdleRpm must be 100 to 3000"},
        {"[Engine]\nCoolantC=-inf\n", "CoolantC must be -40 to 150"},
        {"[Engine]\nWeakPercent=-5\n", "WeakPercent must be 0 to 100"},
        {"[Engine]\nCylinders=4\nWeakCylinder=6\n", "WeakCylinder must be 0 or one of the Cylinders"},
        {"[Engine]\nPeriodTicksPerMs=0\n", "PeriodTicksPerMs must be 1 to 1000"},
        {"[Unit]\nReactionMs=1e9\n", "ReactionMs must be 0 to 1000"},
        {"[Unit]\nBreakMinMs=300\nBreakMaxMs=200\n", "BreakMinMs must not be above BreakMaxMs"},
        {"[Unit]\nSleepTimeoutMs=0\n", "SleepTimeoutMs must be 1 to 3600000"},
        // A number too large for its field is refused, not cut to its low bits.
        {"[Coding]\nRotate=300\n", "line 2: bad value: Rotate=300"},
        {"[Engine]\nCylinders=4294967295\n", "line 2: bad value: Cylinders=4294967295"},
    };
    for (const TCase& c : cases) {
        TSimProfile p;
        std::string error;
        EXPECT_FALSE(ParseSimProfile(c.Text, p, error)) << c.Text;
        EXPECT_EQ(error, c.Error);
    }
}

TEST(SimProfile, AccessFunctionIsRotateXorAdd) {
    TAccessFunction f{0x00FF, 4, 0x0001};
    // 0x1234 ^ 0x00FF = 0x12CB; rotl 4 = 0x2CB1; + 1 = 0x2CB2.
    EXPECT_EQ(f.Key(0x1234), 0x2CB2);
    EXPECT_EQ((TAccessFunction{0, 0, 0}).Key(0xBEEF), 0xBEEF);
}

TEST(SimProfile, UnknownUnitOrMissingFileIsAnError) {
    TSimProfile p;
    std::string error;
    EXPECT_FALSE(LoadSimProfile("/no/such/profile.ini", p, error));
    EXPECT_NE(error.find("/no/such/profile.ini"), std::string::npos);
}

} // namespace
} // namespace velmora
