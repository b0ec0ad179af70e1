#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "params/ecu_param.h"
#include "params/param_errors.h"

namespace velmora {
namespace {

std::unique_ptr<TECUparam> MakeParam(char type, std::string_view calc) {
    auto param = std::make_unique<TECUparam>(7);
    param->SetType(type);
    param->SetCalc(calc);
    return param;
}

// One conversion: CALC on a type, raw bytes in, value and display text out.
struct TConversionCase {
    char Type;
    std::string_view Calc;
    std::array<uint8_t, 4> Bytes;
    bool IsFloat;
    double Value;
    std::string_view Text;
};

const TConversionCase ConversionCases[] = {
    {'B', "", {200}, false, 200, "200"},
    {'B', ")", {200}, false, 200, "200"},
    {'B', "5", {200}, false, 200, "200"},
    {'B', "-40", {0}, true, -40, "-40"},
    {'B', "-40", {255}, true, 215, "215"},
    {'B', "+10~1", {5}, true, 15, "15.0"},
    {'B', "*30", {100}, false, 3000, "3000"},
    {'B', "*0", {9}, false, 0, "0"},
    {'B', "/51", {1}, true, 1.0 / 51, "0.02"},
    {'B', "/51~0", {255}, true, 5, "5"},
    {'B', "/10~1", {123}, true, 12.3, "12.3"},
    {'B', "/128~2", {64}, true, 0.5, "0.50"},
    {'W', "/4", {0xB8, 0x0B}, true, 750, "750"},
    {'W', "*16", {0xFF, 0xFF}, false, 65535 * 16, "1048560"},
    {'B', "(0;0)-(255;100)~1", {128}, true, 12800.0 / 255, "50.2"},
    {'B', "(0;-59)-(4;-35)-(16;-17)", {4}, true, -35, "-35"},
    {'W', "(0;-59)-(4;-35)-(16;-17)", {0x2C, 0x01}, true, -17, "-17"},
    {'S', "(0;-59)-(4;-35)-(16;-17)", {0xFF}, true, -59, "-59"},
    {'B', "(10;0)-(5;1)", {7}, true, 1, "1"},
    {'B', "(0;5)", {200}, true, 5, "5"},
    {'W', "(0;1.1)-(8192;22.4)~2", {0, 0}, true, 1.1, "1.10"},
    {'W', "(0;1.1)-(8192;22.4)~2", {0, 0x20}, true, 22.4, "22.40"},
    {'B', "(0;2000)-(255;0)", {255}, true, 0, "0"},
    {'B', "(0;-100)-(255;99)", {128}, true, -100 + 199.0 * 128 / 255, "0"},
    // A raw value on a shared point belongs to the segment that ends there.
    {'B', "(0;0)-(10;5)-(10;9)-(20;9)", {10}, true, 5, "5"},
    // A zero-width segment is a step that keeps the value of its first point.
    {'B', "(10;3)-(10;7)-(20;7)", {10}, true, 3, "3"},
    // Offsets on a 32-bit value follow the value over the whole range.
    {'L', "-40", {100}, true, 60, "60"},
    {'L', "+5", {0xE8, 0x03}, true, 1005, "1005"},
    {'L', "+5", {0xFF, 0xFF, 0xFF, 0x7F}, true, std::numeric_limits<int32_t>::max(), "2.14748E+09"},
};

TEST(Calc, ConvertsRawBytesToValueAndText) {
    for (const TConversionCase& c : ConversionCases) {
        SCOPED_TRACE(std::string(1, c.Type) + " " + std::string(c.Calc));
        auto owner = MakeParam(c.Type, c.Calc);
        TECUparam& param = *owner;
        param.SetRaw(c.Bytes[0], c.Bytes[1], c.Bytes[2], c.Bytes[3]);
        EXPECT_EQ(param.IsFloat(), c.IsFloat);
        if (c.IsFloat)
            EXPECT_FLOAT_EQ(param.AsSingle(), float(c.Value));
        else
            EXPECT_EQ(param.AsInteger(), int32_t(c.Value));
        EXPECT_EQ(param.FormatValue(), c.Text);
    }
}

// What a CALC text stores: scale, divisor, decimals and the table points.
struct TStorageCase {
    std::string_view Calc;
    uint16_t Multiplier, Divisor;
    uint8_t Decimals;
    std::vector<std::pair<int32_t, int32_t>> Points;
};

const TStorageCase StorageCases[] = {
    {"*16", 16, 1, 0, {}},
    {"/125", 1, 125, 2, {}},
    {"/51~0", 1, 51, 0, {}},
    {"-40", 1, 1, 0, {{0, -40}, {255, 215}}},
    {"(0;-12.8)-(256;12.7)~1", 1, 10, 1, {{0, -128}, {256, 127}}},
    {"(0;-7.8)-(255;81.45)~1", 1, 100, 1, {{0, -780}, {255, 8145}}},
    {"(0;2000)-(255;0)", 1, 1, 0, {{0, 2000}, {255, 0}}},
    {"(0;1.1)-(8192;22.4)~2", 1, 10, 2, {{0, 11}, {8192, 224}}},
    {"( 0 ; 1,5 )-(10;2)", 1, 10, 0, {{0, 15}, {10, 20}}},
    // A fraction up to 0.001 is rounded away rather than scaled.
    {"(0;12.0004)-(1;-3.0005)", 1, 1, 0, {{0, 12}, {1, -3}}},
    {"(0;0.0015)", 1, 10000, 0, {{0, 15}}},
    {"(0;3000)-(1;0.05)", 1, 100, 0, {{0, 300000}, {1, 5}}},
    {"(0;0)-(255;100)x", 1, 1, 0, {{0, 0}, {255, 100}}},
};

TEST(Calc, StoresScaleDivisorAndPoints) {
    for (const TStorageCase& c : StorageCases) {
        SCOPED_TRACE(std::string(c.Calc));
        auto owner = MakeParam('B', c.Calc);
        TECUparam& param = *owner;
        EXPECT_EQ(param.Multiplier, c.Multiplier);
        EXPECT_EQ(param.Divisor, c.Divisor);
        EXPECT_EQ(param.Decimals, c.Decimals);
        ASSERT_EQ(param.PointCount, c.Points.size());
        for (size_t i = 0; i < c.Points.size(); ++i) {
            EXPECT_EQ(param.PointX[i], c.Points[i].first) << "point " << i;
            EXPECT_EQ(param.PointY[i], c.Points[i].second) << "point " << i;
        }
    }
}

TEST(Calc, ScaleWithoutTildeKeepsEarlierDecimalsBelowDivisor11) {
    TECUparam param(1);
    param.SetCalc("/10~1");
    param.SetCalc("/4");
    EXPECT_EQ(param.Decimals, 1);
    param.SetCalc("*3");
    EXPECT_EQ(param.Decimals, 1);
    EXPECT_EQ(param.Divisor, 1);
    param.SetCalc("/11");
    EXPECT_EQ(param.Decimals, 2);
}

enum class TErrorKind { Convert, Range };

struct TErrorCase {
    std::string_view Calc;
    TErrorKind Kind;
    std::string_view Detail;
};

const TErrorCase ErrorCases[] = {
    {"*abc", TErrorKind::Convert, "'abc' is not a valid number"},
    {"*", TErrorKind::Convert, "'' is not a valid number"},
    {"/70000", TErrorKind::Range, "outside 0..65535"},
    {"*-5", TErrorKind::Range, "outside 0..65535"},
    {"/0", TErrorKind::Range, "division by zero"},
    {"/10~", TErrorKind::Convert, "not a valid number"},
    {"/10~x", TErrorKind::Convert, "'x' is not a valid number"},
    {"+abc", TErrorKind::Convert, "'abc'"},
    {"+99999999999", TErrorKind::Range, "outside"},
    {"(0;abc)", TErrorKind::Convert, "'abc'"},
    {"(0;1e3)", TErrorKind::Convert, "'1e3'"},
    {"(x;1)", TErrorKind::Convert, "'x'"},
    {"(0;1", TErrorKind::Convert, "point 1 is not of the form (x;y)"},
    {"(0;1)-(5", TErrorKind::Convert, "point 2"},
    {"(0;40000)", TErrorKind::Range, "does not fit 16 bits"},
    {"(0;400)-(1;327.68)", TErrorKind::Range, "32768 after scaling does not fit 16 bits"},
    {"(0;0.12345)", TErrorKind::Range, "needs a scale above 65535"},
    {"(0;0)-(1;1)-(2;2)-(3;3)-(4;4)-(5;5)-(6;6)-(7;7)-(8;8)-(9;9)-(10;10)-(11;11)-(12;12)-(13;13)-(14;14)-("
     "15;15)"
     "-(16;16)",
     TErrorKind::Range, "more than 16 points"},
};

TEST(Calc, MalformedNumbersRaiseErrorsNamingTheDescription) {
    for (const TErrorCase& c : ErrorCases) {
        SCOPED_TRACE(std::string(c.Calc));
        TECUparam param(7);
        param.Name = "Coolant";
        try {
            param.SetCalc(c.Calc);
            ADD_FAILURE() << "no error";
        } catch (const RangeError& error) {
            EXPECT_EQ(c.Kind, TErrorKind::Range) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.Detail), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("of parameter 7 (Coolant)"), std::string::npos);
        } catch (const ConvertError& error) {
            EXPECT_EQ(c.Kind, TErrorKind::Convert) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.Detail), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("CALC \"" + std::string(c.Calc) + "\" of parameter 7"),
                      std::string::npos);
        }
    }
}

TEST(Calc, SixteenPointsAreTheMostATableHolds) {
    auto owner = MakeParam('B', "(0;0)-(1;1)-(2;2)-(3;3)-(4;4)-(5;5)-(6;6)-(7;7)-(8;8)-(9;9)-(10;10)-(11;11)"
                                "-(12;12)-(13;13)-(14;14)-(15;150)");
    EXPECT_EQ(owner->PointCount, 16);
    owner->SetRaw(200, 0, 0, 0);
    EXPECT_FLOAT_EQ(owner->AsSingle(), 150);
}

} // namespace
} // namespace velmora
