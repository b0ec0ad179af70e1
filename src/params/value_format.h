// Printing of parameter values: print masks (a safe subset of the C format pattern, checked against the
// kind of each argument) and fixed-point text with a given number of significant digits. Pure
// functions, any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

struct TFormatArg {
    bool IsFloat = false;
    int32_t Int = 0;
    double Float = 0;

    static TFormatArg Integer(int32_t value) { return {false, value, 0}; }
    static TFormatArg Floating(double value) { return {true, 0, value}; }
};

// Applies `mask` to `args` in order. A conversion is "%" [flags -+ 0#] [width] ["." precision] and one
// of d i u x X o (integer argument) or f F e E g G (floating argument); "%%" prints "%". Width and
// precision are at most 99. Arguments left over are ignored. Throws FormatError for a malformed
// conversion, a missing argument or an argument of the other kind.
std::string FormatMask(std::string_view mask, std::span<const TFormatArg> args);

// Fixed-point text of `value` rounded first to `precision` significant digits, then to `decimals`
// digits after the decimal point (half away from zero), padded with zeros. Values whose integer part
// needs more than `precision` digits are printed in scientific form ("1.23457E+06"). No negative zero.
std::string FormatFixed(double value, int precision, int decimals);

} // namespace velmora
