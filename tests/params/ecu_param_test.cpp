#include <gtest/gtest.h>

#include <limits>

#include "params/ecu_param.h"
#include "params/param_errors.h"
#include "platform/clock.h"

namespace velmora {
namespace {

TEST(EcuParam, TypeLettersOutsideTheSixGiveB) {
    const std::pair<char, char> cases[] = {{'B', 'B'}, {'I', 'I'}, {'L', 'L'}, {'S', 'S'}, {'W', 'W'},
                                           {'X', 'X'}, {'Q', 'B'}, {'w', 'B'}, {0, 'B'}};
    for (auto [letter, expected] : cases) {
        TECUparam param(1);
        param.SetType('W');
        param.SetType(letter);
        EXPECT_EQ(param.ParamType, expected) << int(letter);
    }
}

TEST(EcuParam, CmdTextIsDecimalPairOrFourHexDigits) {
    struct TCase {
        std::string_view Text;
        uint8_t Hi, Lo;
    };
    const TCase cases[] = {
        {"20 21", 20, 21},      {"85 7", 85, 7}, {"0817", 0x08, 0x17}, {"10eF", 0x10, 0xEF},
        {"081799", 0x08, 0x17}, {"zz", 0, 0},    {"08", 0, 0},         {"300 1", 0, 0},
        {"55 ab", 0, 0},        {" 20", 0, 0},   {"", 0, 0},           {"0G17", 0, 0},
    };
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.SetCmdWord(0x1234);
        param.SetCmdText(c.Text);
        EXPECT_EQ(param.CmdHi, c.Hi) << c.Text;
        EXPECT_EQ(param.CmdLo, c.Lo) << c.Text;
        EXPECT_EQ(param.HasCmd(), c.Hi != 0 || c.Lo != 0) << c.Text;
    }
    TECUparam param(1);
    param.SetCmdWord(0x10BF);
    EXPECT_EQ(param.CmdHi, 0x10);
    EXPECT_EQ(param.CmdLo, 0xBF);
}

TEST(EcuParam, RawTypesFormTheirNumberFromLowByteFirst) {
    struct TCase {
        char Type;
        std::array<uint8_t, 4> Bytes;
        int32_t Raw;
        int Length;
    };
    const TCase cases[] = {
        {'B', {0xFF, 0x12}, 255, 1},
        {'S', {0x80}, -128, 1},
        {'S', {0x7F}, 127, 1},
        {'W', {0x34, 0x12}, 0x1234, 2},
        {'I', {0x00, 0x80}, -32768, 2},
        {'I', {0xFF, 0xFF}, -1, 2},
        {'L', {0x01, 0x00, 0x00, 0x80}, std::numeric_limits<int32_t>::min() + 1, 4},
        {'L', {0x78, 0x56, 0x34, 0x12}, 0x12345678, 4},
        {'X', {0xA5, 0xFF}, 0xA5, 1},
    };
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.SetType(c.Type);
        param.SetRaw(c.Bytes[0], c.Bytes[1], c.Bytes[2], c.Bytes[3]);
        EXPECT_FALSE(param.IsFloat()) << c.Type;
        EXPECT_EQ(param.AsInteger(), c.Raw) << c.Type;
        EXPECT_EQ(param.DataLength(), c.Length) << c.Type;
    }
}

TEST(EcuParam, MultiplierSaturatesInsteadOfWrapping) {
    TECUparam param(1);
    param.SetType('L');
    param.SetCalc("*65535");
    param.SetRaw(0xFF, 0xFF, 0xFF, 0x7F);
    EXPECT_EQ(param.AsInteger(), std::numeric_limits<int32_t>::max());
    param.SetRaw(0x00, 0x00, 0x00, 0x80);
    EXPECT_EQ(param.AsInteger(), std::numeric_limits<int32_t>::min());
}

TEST(EcuParam, SetDataStampsTickAndRawWord) {
    TManualClock clock(5000);
    TScopedClock installed(clock);
    TECUparam param(1);
    param.SetType('W');
    param.SetData(0x34, 0x12, 0, 0);
    EXPECT_EQ(param.RawWord, 0x1234);
    EXPECT_EQ(param.LastTick, 5000u);
    EXPECT_EQ(param.AsInteger(), 0x1234);
}

TEST(EcuParam, AsIntegerRoundsHalfToEven) {
    TECUparam param(1);
    param.SetCalc("/2");
    const std::pair<uint8_t, int32_t> cases[] = {{5, 2}, {7, 4}, {3, 2}, {4, 2}};
    for (auto [raw, rounded] : cases) {
        param.SetRaw(raw, 0, 0, 0);
        EXPECT_EQ(param.AsInteger(), rounded) << int(raw);
    }
}

TEST(EcuParam, BitFieldsRecordTheirEndAndBarPositions) {
    TECUparam param(23);
    param.SetType('X');
    param.Name = "IDLE;P/N|Drive;A/C";
    param.ParseBitNames();
    EXPECT_EQ(param.BitFieldCount(), 3);
    EXPECT_EQ(param.PointCount, 0);
    EXPECT_EQ((std::vector<int32_t>(param.PointX.begin(), param.PointX.begin() + 4)),
              (std::vector<int32_t>{5, 15, 19, 0}));
    EXPECT_EQ((std::vector<int32_t>(param.PointY.begin(), param.PointY.begin() + 3)),
              (std::vector<int32_t>{1, 9, 1}));
    EXPECT_EQ(param.BitFieldText(1), "P/N|Drive");

    param.Name = "a;b;c;d;e;f;g;h;ninth";
    param.ParseBitNames();
    EXPECT_EQ(param.BitFieldCount(), 8);
    EXPECT_EQ(param.BitFieldText(7), "h");
}

TEST(EcuParam, BitTextShowsEachFieldInItsState) {
    struct TCase {
        std::string_view Name;
        uint8_t Bits;
        std::string_view Text;
    };
    const TCase cases[] = {
        {"IDLE;P/N|Drive;A/C", 2, " P/N"},
        {"IDLE;P/N|Drive;A/C", 5, " IDLE Drive A/C"},
        {"IDLE;P/N|Drive;A/C", 0, " Drive"},
        {"a;|;b", 0, " |"},
        {"a;|;b", 7, " a b"},
        {"|Off;On", 0, " Off"},
        {"|Off;On", 3, " On"},
        {"?;?;?;|ACTUAL ERROR 022", 0, " ACTUAL ERROR 022"},
        {"?| ;x", 0, "  "},
        {"?| ;x", 1, " ?"},
        {"A/C|", 1, " A/C|"},
        {";;;;;AIR PUMP ON\\OFF;?;AE_007", 0x20, " AIR PUMP ON\\OFF"},
        {"АКПП|МКПП;Without KAT|KAT", 1, " АКПП KAT"},
    };
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.SetType('X');
        param.Name = c.Name;
        param.ParseBitNames();
        param.SetRaw(c.Bits, 0, 0, 0);
        EXPECT_EQ(param.BitText(), c.Text) << c.Name << " " << int(c.Bits);
        EXPECT_EQ(param.LogText(), c.Text);
    }
}

TEST(EcuParam, BitTextIsCutAt200Characters) {
    TECUparam param(1);
    param.SetType('X');
    param.Name = std::string(60, 'a') + ";" + std::string(60, 'b') + ";" + std::string(60, 'c') + ";" +
                 std::string(60, 'd');
    param.ParseBitNames();
    param.SetRaw(0x0F, 0, 0, 0);
    EXPECT_EQ(param.BitText().size(), 200u);
}

TEST(EcuParam, BitIdentifiersOfXParametersArePerBit) {
    TECUparam bits(24);
    bits.SetType('X');
    bits.SetBitId(7, 0x04);
    bits.SetBitId(8, 0x06); // more than one bit: ignored
    EXPECT_EQ(bits.BitIds[2], 7);
    EXPECT_TRUE(bits.HasId(7));
    EXPECT_FALSE(bits.HasId(8));
    EXPECT_EQ(bits.FirstId(), 0);
    bits.SetRaw(0x04, 0, 0, 0);
    EXPECT_EQ(bits.BitById(7), 1);
    bits.SetRaw(0xFB, 0, 0, 0);
    EXPECT_EQ(bits.BitById(7), 0);
    EXPECT_EQ(bits.BitById(9), -1);

    TECUparam plain(5);
    plain.SetBitId(5, 0x06);
    EXPECT_EQ(plain.BitIds[0], 5);
    EXPECT_EQ(plain.FirstId(), 5);
    EXPECT_TRUE(plain.HasId(5));
    EXPECT_EQ(plain.BitById(5), -1);
}

TEST(EcuParam, FormatValueAppliesMaskOrDecimalsAndUnit) {
    struct TCase {
        std::string_view Calc, Mask, Izm;
        uint8_t Raw;
        std::string_view Text;
    };
    const TCase cases[] = {
        {"", "%.3d", "", 7, "007"},       {"", "%.2x", "", 171, "ab"},
        {"-40", "", "°", 0, "-40°"},      {"", "", "%", 55, "55%"},
        {"", "%.3d", "°", 7, "007"},      {"/10~1", "%.2f V", "", 123, "12.30 V"},
        {"/10~1", "", "V", 123, "12.3V"}, {"", "100%% %d", "", 5, "100% 5"},
    };
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.SetCalc(c.Calc);
        param.Mask = c.Mask;
        param.Izm = c.Izm;
        param.SetRaw(c.Raw, 0, 0, 0);
        EXPECT_EQ(param.FormatValue(), c.Text) << c.Calc << " " << c.Mask;
    }
}

TEST(EcuParam, MaskThatDoesNotFitTheValueRaisesFormatError) {
    TECUparam param(1);
    param.SetCalc("/10");
    param.SetRaw(5, 0, 0, 0);
    param.Mask = "%.3d";
    EXPECT_THROW(param.FormatValue(), FormatError);
    param.SetCalc("");
    param.SetRaw(5, 0, 0, 0);
    param.Mask = "%f";
    EXPECT_THROW(param.FormatValue(), FormatError);
}

TEST(EcuParam, LogTextPadsTheValueToEightCharacters) {
    TECUparam param(0);
    param.Name = "Coolant";
    param.Izm = "°";
    param.SetCalc("-40");
    param.SetRaw(0, 0, 0, 0);
    EXPECT_EQ(param.LogText(), "-40°    Coolant");
    param.Izm = "";
    param.SetCalc("*65535");
    param.SetType('W');
    param.SetRaw(0xFF, 0xFF, 0, 0);
    EXPECT_EQ(param.LogText(), "2147483647Coolant"); // never cut
}

TEST(EcuParam, RangeCoversTheRawTypeAndKeepsTheValueRead) {
    struct TCase {
        char Type;
        std::string_view Calc;
        float Min, Max;
    };
    const TCase cases[] = {
        {'B', "-40", -40, 215}, {'S', "", -128, 127}, {'I', "", -32768, 32767},           {'W', "", 0, 65535},
        {'L', "", 0, 65535},    {'X', "", 0, 255},    {'B', "(0;2000)-(255;0)", 0, 2000}, {'B', "/51", 0, 5},
    };
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.SetType(c.Type);
        param.SetCalc(c.Calc);
        EXPECT_FLOAT_EQ(param.RangeMin(), c.Min) << c.Type << c.Calc;
        EXPECT_FLOAT_EQ(param.RangeMax(), c.Max) << c.Type << c.Calc;
    }
    // The extremes are converted values (a falling table has its minimum at the high raw end); the
    // value the worker read stays what it was: a steady 90 °C is not drawn as 215 °C.
    TECUparam coolant(0);
    coolant.SetCalc("-40");
    coolant.SetData(130, 0, 0, 0);
    EXPECT_FLOAT_EQ(coolant.RangeMax(), 215);
    EXPECT_FLOAT_EQ(coolant.RangeMin(), -40);
    EXPECT_FLOAT_EQ(coolant.AsSingle(), 90);
    EXPECT_EQ(coolant.FormatValue(), "90");
}

TEST(EcuParam, PollScheduleFollowsLevelIntervalAndPause) {
    struct TCase {
        uint32_t LastTick;
        uint8_t Level;
        int32_t Interval;
        uint32_t Next;
    };
    const TCase cases[] = {
        {1000, 2, 0, 3048},         // level × 1024 ms
        {1000, 2, 500, 1500},       // a positive interval wins over the level
        {1000, 0, -5000, 5000},     // paused until tick 5000
        {1000, 1, -500, 2024},      // a pause already over
        {0, 0, 0, 0},               // never read: due at once
        {0xFFFFFF00u, 1, 0, 0x300}, // the tick count wraps: the poll comes early, never late
    };
    TManualClock clock(3047);
    TScopedClock installed(clock);
    for (const TCase& c : cases) {
        TECUparam param(1);
        param.LastTick = c.LastTick;
        param.PollLevel = c.Level;
        param.PollInterval = c.Interval;
        EXPECT_EQ(param.NextPollTick(), c.Next) << c.LastTick << " " << int(c.Level) << " " << c.Interval;
        EXPECT_EQ(param.IsPollDue(), 3047 >= c.Next);
    }
    TECUparam param(1);
    param.LastTick = 1000;
    param.PollLevel = 2;
    EXPECT_FALSE(param.IsPollDue());
    clock.Advance(1);
    EXPECT_TRUE(param.IsPollDue());
}

TEST(EcuParam, PollComesDueAcrossTheWrapOfTheTickCount) {
    struct TCase {
        uint32_t Now, LastTick;
        uint32_t DueAfter; // ms from Now; level 1 is due 1024 ms after the last read
    };
    const TCase cases[] = {
        {0xFFFFFC00u, 0xFFFFFC00u - 2000, 0}, // due before the wrap, and it stays due after it
        {0xFFFFFC00u, 0xFFFFFC00u, 1024},     // due just at the wrap
        {0xFFFFFFF0u, 0xFFFFFFF0u, 1024},     // due after the wrap
        {0x00000010u, 0xFFFFFFF0u, 1024 - 32},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Now);
        TManualClock clock(c.Now);
        TScopedClock installed(clock);
        TECUparam param(1);
        param.LastTick = c.LastTick;
        param.PollLevel = 1;
        EXPECT_EQ(param.NextPollTick(), c.LastTick + 1024);
        if (c.DueAfter > 0) {
            clock.Advance(c.DueAfter - 1);
            EXPECT_FALSE(param.IsPollDue());
            clock.Advance(1);
        }
        EXPECT_TRUE(param.IsPollDue());
        clock.Advance(2000); // a record not read stays due
        EXPECT_TRUE(param.IsPollDue());
    }
}

TEST(EcuParam, AssignCopiesTheDescriptionOnly) {
    TECUparam source(3);
    source.Name = "Source";
    source.SetType('W');
    source.SetCmdText("1045");
    source.SetCalc("(0;1.5)-(10;2)~1");
    source.Mask = "%.1f";
    source.Izm = "V";
    source.FontStyle = 'B';
    source.FontSize = 14;
    source.PollLevel = 3;
    source.PollInterval = 700;
    source.ColorRule = 100;
    source.SetRaw(5, 0, 0, 0);

    TECUparam copy(9);
    copy.Name = "Copy";
    copy.Assign(source);
    EXPECT_EQ(copy.Number, 9);
    EXPECT_EQ(copy.Name, "Copy");
    EXPECT_EQ(copy.ColorRule, 0);
    EXPECT_FALSE(copy.IsFloat());
    EXPECT_EQ(copy.ParamType, 'W');
    EXPECT_EQ(copy.CmdHi, 0x10);
    EXPECT_EQ(copy.CmdLo, 0x45);
    EXPECT_EQ(copy.Divisor, 10);
    EXPECT_EQ(copy.Decimals, 1);
    EXPECT_EQ(copy.PointCount, 2);
    EXPECT_EQ(copy.PointY, source.PointY);
    EXPECT_EQ(copy.Mask, "%.1f");
    EXPECT_EQ(copy.Izm, "V");
    EXPECT_EQ(copy.FontStyle, 'B');
    EXPECT_EQ(copy.FontSize, 14);
    EXPECT_EQ(copy.PollLevel, 3);
    EXPECT_EQ(copy.PollInterval, 700);
    copy.SetRaw(5, 0, 0, 0);
    EXPECT_FLOAT_EQ(copy.AsSingle(), 1.75f);
}

TEST(EcuParam, NewRecordTakesTheProgramFontSize) {
    SetDefaultFontSize(13);
    TECUparam param(1);
    SetDefaultFontSize(10);
    EXPECT_EQ(param.FontSize, 13);
    EXPECT_EQ(param.ParamType, 'B');
    EXPECT_EQ(param.Multiplier, 1);
    EXPECT_EQ(param.Divisor, 1);
    EXPECT_FALSE(param.HasCmd());
}

} // namespace
} // namespace velmora
