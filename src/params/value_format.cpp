#include "params/value_format.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "params/param_errors.h"

namespace velmora {

namespace {

constexpr std::string_view IntegerConversions = "diuxXo";
constexpr std::string_view FloatConversions = "fFeEgG";
constexpr std::string_view Flags = "-+ 0#";
constexpr int MaxFieldDigits = 2; // width and precision up to 99

[[noreturn]] void ThrowBadMask(std::string_view mask) {
    throw FormatError("Format '" + std::string(mask) + "' invalid or incompatible with argument");
}

// Reads up to MaxFieldDigits digits at `pos`; more digits make the mask invalid.
void SkipDigits(std::string_view mask, size_t& pos) {
    size_t start = pos;
    while (pos < mask.size() && mask[pos] >= '0' && mask[pos] <= '9')
        ++pos;
    if (pos - start > MaxFieldDigits)
        ThrowBadMask(mask);
}

// One conversion starting at the "%" at `pos`; appends its text and advances `pos` past it.
void FormatOne(std::string_view mask, size_t& pos, const TFormatArg* arg, std::string& out) {
    size_t start = pos++;
    while (pos < mask.size() && Flags.find(mask[pos]) != std::string_view::npos)
        ++pos;
    SkipDigits(mask, pos);
    if (pos < mask.size() && mask[pos] == '.') {
        ++pos;
        SkipDigits(mask, pos);
    }
    if (pos >= mask.size())
        ThrowBadMask(mask);
    char conversion = mask[pos++];
    bool wantsInteger = IntegerConversions.find(conversion) != std::string_view::npos;
    bool wantsFloat = FloatConversions.find(conversion) != std::string_view::npos;
    if (!arg || (!wantsInteger && !wantsFloat) || wantsFloat != arg->IsFloat)
        ThrowBadMask(mask);

    // The pattern is rebuilt from checked characters only, so it cannot read a missing argument.
    std::string spec(mask.substr(start, pos - start));
    char buffer[256];
    int length;
    if (wantsFloat)
        length = std::snprintf(buffer, sizeof buffer, spec.c_str(), arg->Float);
    else if (conversion == 'd' || conversion == 'i')
        length = std::snprintf(buffer, sizeof buffer, spec.c_str(), int(arg->Int));
    else
        length = std::snprintf(buffer, sizeof buffer, spec.c_str(), unsigned(arg->Int));
    if (length < 0 || size_t(length) >= sizeof buffer)
        ThrowBadMask(mask);
    out.append(buffer, size_t(length));
}

// Adds one unit in the last place of the decimal digit string; returns true on a carry out of the
// first digit ("99" becomes "00" and true).
bool IncrementDigits(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    return true;
}

} // namespace

std::string FormatMask(std::string_view mask, std::span<const TFormatArg> args) {
    std::string out;
    size_t next = 0;
    for (size_t pos = 0; pos < mask.size();) {
        if (mask[pos] != '%') {
            out += mask[pos++];
        } else if (pos + 1 < mask.size() && mask[pos + 1] == '%') {
            out += '%';
            pos += 2;
        } else {
            FormatOne(mask, pos, next < args.size() ? &args[next] : nullptr, out);
            ++next;
        }
    }
    return out;
}

std::string FormatFixed(double value, int precision, int decimals) {
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");

    // Round to `precision` significant digits: "d.ddddde+XX".
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, value);
    std::string_view text(buffer);
    bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    size_t e = text.find('e');
    int exponent = std::atoi(text.data() + e + 1);
    std::string digits;
    for (char c : text.substr(0, e))
        if (c != '.')
            digits += c;

    if (exponent + 1 > precision) {
        std::snprintf(buffer, sizeof buffer, "%.*E", precision - 1, value);
        return buffer;
    }

    // Lay the digits out as integer part and fraction: value = 0.digits * 10^(exponent + 1).
    int integerDigits = exponent + 1;
    std::string integerPart, fraction;
    if (integerDigits > 0) {
        integerPart = digits.substr(0, size_t(integerDigits));
        fraction = digits.substr(size_t(integerDigits));
    } else {
        integerPart = "0";
        fraction = std::string(size_t(-integerDigits), '0') + digits;
    }

    if (int(fraction.size()) > decimals) {
        bool roundUp = fraction[size_t(decimals)] >= '5';
        fraction.resize(size_t(decimals));
        if (roundUp && IncrementDigits(fraction) && IncrementDigits(integerPart))
            integerPart.insert(integerPart.begin(), '1');
    } else {
        fraction.append(size_t(decimals) - fraction.size(), '0');
    }

    bool isZero = integerPart.find_first_not_of('0') == std::string::npos &&
                  fraction.find_first_not_of('0') == std::string::npos;
    std::string out = (negative && !isZero) ? "-" : "";
    out += integerPart;
    if (decimals > 0)
        out += "." + fraction;
    return out;
}

} // namespace velmora
