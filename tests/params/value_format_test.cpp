#include <gtest/gtest.h>

#include "params/param_errors.h"
#include "params/value_format.h"

namespace velmora {
namespace {

TEST(FormatFixed, RoundsToSixSignificantDigitsThenToTheDecimals) {
    struct TCase {
        double Value;
        int Decimals;
        std::string_view Text;
    };
    const TCase cases[] = {
        {50.196078, 1, "50.2"},
        {-40, 0, "-40"},
        {1.0 / 51, 2, "0.02"},
        {0, 2, "0.00"},
        {-0.01, 1, "0.0"}, // no negative zero
        {12.3456789, 5, "12.34570"},
        {0.125, 2, "0.13"}, // half away from zero on the decimal digits
        {-0.125, 2, "-0.13"},
        {99.96, 1, "100.0"},
        {999999.6, 0, "1.00000E+06"},
        {1234567, 1, "1.23457E+06"},
        {0.0001234, 8, "0.00012340"},
        {2359, 1, "2359.0"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FormatFixed(c.Value, 6, c.Decimals), c.Text) << c.Value << " " << c.Decimals;
}

TEST(FormatMask, PrintsArgumentsOfTheirOwnKind) {
    const TFormatArg i7[] = {TFormatArg::Integer(7)};
    const TFormatArg f[] = {TFormatArg::Floating(1.25)};
    const TFormatArg three[] = {TFormatArg::Integer(1), TFormatArg::Integer(22), TFormatArg::Integer(77)};
    const TFormatArg minus[] = {TFormatArg::Integer(-1)};
    EXPECT_EQ(FormatMask("%.3d", i7), "007");
    EXPECT_EQ(FormatMask("%.2x", three), "01");
    EXPECT_EQ(FormatMask("%.2x %.2x %.2x", three), "01 16 4d");
    EXPECT_EQ(FormatMask("%-4d|", i7), "7   |");
    EXPECT_EQ(FormatMask("no value", i7), "no value");
    EXPECT_EQ(FormatMask("%.1f ms", f), "1.2 ms");
    EXPECT_EQ(FormatMask("%5.2e", f), "1.25e+00");
    EXPECT_EQ(FormatMask("%X", minus), "FFFFFFFF");
    EXPECT_EQ(FormatMask("50%%", i7), "50%");
}

TEST(FormatMask, RejectsMalformedOrMismatchedConversions) {
    const TFormatArg i7[] = {TFormatArg::Integer(7)};
    const TFormatArg f[] = {TFormatArg::Floating(1.25)};
    const std::string_view badForInteger[] = {"%f", "%s",  "%n",    "%p",     "%d %d", "%",
                                              "%5", "%*d", "%100d", "%.100d", "%ld",   "%1$d"};
    for (std::string_view mask : badForInteger)
        EXPECT_THROW(FormatMask(mask, i7), FormatError) << mask;
    EXPECT_THROW(FormatMask("%.3d", f), FormatError);
    EXPECT_THROW(FormatMask("%x", f), FormatError);
    try {
        FormatMask("%f", i7);
    } catch (const FormatError& error) {
        EXPECT_STREQ(error.what(), "Format '%f' invalid or incompatible with argument");
    }
}

} // namespace
} // namespace velmora
