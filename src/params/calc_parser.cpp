// The CALC language of TECUparam: scale ("*n", "/n"), offset ("+n", "-n") and point tables
// ("(x;y)-(x;y)..."), each with an optional "~d" for the decimals printed.
#include <algorithm>
#include <limits>
#include <string>

#include "params/ecu_param.h"
#include "params/param_errors.h"
#include "params/param_text.h"

namespace velmora {

namespace {

constexpr int64_t MaxWord = 65535;
constexpr int64_t MinTableY = -32768; // a freshly stored table y is a signed 16-bit quantity
constexpr int64_t MaxTableY = 32767;
constexpr int MaxFractionDigits = 9; // digits of a table y kept after the decimal mark

// Raw number range of each type, the ends of an offset line. L spans the whole signed 32-bit range
// (narrowed by the offset so that the ends stay representable).
struct TTypeRange {
    char Type;
    int64_t Low, High;
};

constexpr TTypeRange TypeRanges[] = {
    {'B', 0, 255},        {'X', 0, 255},
    {'S', -128, 127},     {'W', 0, 65535},
    {'I', -32768, 32767}, {'L', std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()},
};

// A decimal number held exactly: Mantissa / 10^Fraction.
struct TDecimal {
    int64_t Mantissa = 0;
    int Fraction = 0;
};

int64_t PowerOf10(int exponent) {
    int64_t power = 1;
    while (exponent-- > 0)
        power *= 10;
    return power;
}

// Integer division rounding to nearest, ties to even.
int64_t DivideRounded(int64_t numerator, int64_t denominator) {
    int64_t quotient = numerator / denominator;
    int64_t remainder = numerator % denominator;
    int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        quotient += numerator < 0 ? -1 : 1;
    return quotient;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

class TCalcContext {
public:
    TCalcContext(std::string_view calc, std::string label) : Calc(calc), Label(std::move(label)) {}

    [[noreturn]] void FailConvert(std::string_view text) const {
        throw ConvertError(Prefix() + "'" + std::string(text) + "' is not a valid number");
    }
    [[noreturn]] void FailRange(std::string_view problem) const {
        throw RangeError(Prefix() + std::string(problem));
    }
    [[noreturn]] void FailSyntax(std::string_view problem) const {
        throw ConvertError(Prefix() + std::string(problem));
    }

    int64_t Integer(std::string_view text, int64_t low, int64_t high) const {
        text = TrimBlanks(text);
        auto value = ParseInteger(text);
        if (!value)
            FailConvert(text);
        if (*value < low || *value > high)
            FailRange(std::string(text) + " is outside " + std::to_string(low) + ".." + std::to_string(high));
        return *value;
    }

    // "~d" at `tilde`: the one character after it is the number of decimals.
    uint8_t DecimalsAfter(std::string_view text, size_t tilde) const {
        if (tilde + 1 >= text.size() || !IsDigit(text[tilde + 1]))
            FailConvert(text.substr(tilde + 1, 1));
        return uint8_t(text[tilde + 1] - '0');
    }

    // A table y: optional sign, digits, optional "." or "," and digits. Digits beyond the ninth after
    // the mark are rounded away; an integer part beyond 16 bits cannot be stored and is refused here.
    TDecimal Decimal(std::string_view text) const {
        text = TrimBlanks(text);
        std::string_view body = text;
        bool negative = !body.empty() && body.front() == '-';
        if (!body.empty() && (body.front() == '-' || body.front() == '+'))
            body.remove_prefix(1);
        size_t mark = body.find_first_of(".,");
        std::string_view whole = body.substr(0, mark);
        std::string_view fraction =
            mark == std::string_view::npos ? std::string_view() : body.substr(mark + 1);
        auto allDigits = [](std::string_view part) { return std::all_of(part.begin(), part.end(), IsDigit); };
        if ((whole.empty() && fraction.empty()) || !allDigits(whole) || !allDigits(fraction))
            FailConvert(text);
        while (whole.size() > 1 && whole.front() == '0')
            whole.remove_prefix(1);
        if (whole.size() > 5 || (!whole.empty() && std::stoll(std::string(whole)) > -MinTableY))
            FailRange("table value " + std::string(text) + " does not fit 16 bits");

        TDecimal value;
        int64_t wholeValue = whole.empty() ? 0 : std::stoll(std::string(whole));
        bool roundUp = fraction.size() > MaxFractionDigits && fraction[MaxFractionDigits] >= '5';
        fraction = fraction.substr(0, MaxFractionDigits);
        value.Fraction = int(fraction.size());
        value.Mantissa = wholeValue * PowerOf10(value.Fraction);
        if (!fraction.empty())
            value.Mantissa += std::stoll(std::string(fraction));
        value.Mantissa += roundUp ? 1 : 0;
        if (negative)
            value.Mantissa = -value.Mantissa;
        return value;
    }

private:
    std::string Prefix() const { return "CALC \"" + std::string(Calc) + "\" of " + Label + ": "; }

    std::string_view Calc;
    std::string Label;
};

} // namespace

void TECUparam::SetCalc(std::string_view text) {
    Multiplier = 1;
    Divisor = 1;
    PointCount = 0;
    if (text.empty())
        return;
    switch (text.front()) {
    case '*':
    case '/':
        ParseScale(text);
        break;
    case '+':
    case '-':
        ParseOffset(text);
        break;
    case '(':
        ParsePointTable(text);
        break;
    default:
        break; // identity
    }
}

void TECUparam::ParseScale(std::string_view text) {
    TCalcContext context(text, DescriptionLabel());
    size_t tilde = text.find('~');
    int64_t factor =
        context.Integer(text.substr(1, tilde == std::string_view::npos ? text.npos : tilde - 1), 0, MaxWord);
    if (text.front() == '*') {
        Multiplier = uint16_t(factor);
    } else {
        if (factor == 0)
            context.FailRange("division by zero");
        Divisor = uint16_t(factor);
    }
    if (tilde != std::string_view::npos)
        Decimals = context.DecimalsAfter(text, tilde);
    else if (Divisor >= 11)
        Decimals = 2;
}

void TECUparam::ParseOffset(std::string_view text) {
    TCalcContext context(text, DescriptionLabel());
    size_t tilde = text.find('~');
    int64_t amount = context.Integer(text.substr(1, tilde == std::string_view::npos ? text.npos : tilde - 1),
                                     0, std::numeric_limits<int32_t>::max());
    int64_t shift = text.front() == '-' ? -amount : amount;

    TTypeRange range = TypeRanges[0];
    for (const TTypeRange& row : TypeRanges)
        if (row.Type == ParamType)
            range = row;
    if (ParamType == 'L') {
        range.Low -= std::min<int64_t>(shift, 0);
        range.High -= std::max<int64_t>(shift, 0);
    }
    if (range.High + shift > std::numeric_limits<int32_t>::max() ||
        range.Low + shift < std::numeric_limits<int32_t>::min())
        context.FailRange("offset does not fit 32 bits");

    PointX[0] = int32_t(range.Low);
    PointY[0] = int32_t(range.Low + shift);
    PointX[1] = int32_t(range.High);
    PointY[1] = int32_t(range.High + shift);
    PointCount = 2;
    if (tilde != std::string_view::npos)
        Decimals = context.DecimalsAfter(text, tilde);
}

void TECUparam::ParsePointTable(std::string_view text) {
    TCalcContext context(text, DescriptionLabel());
    int64_t scale = 1; // equals Divisor between points
    int count = 0;
    size_t pos = 1;
    while (true) {
        size_t semicolon = text.find(';', pos);
        size_t close = semicolon == text.npos ? text.npos : text.find(')', semicolon);
        if (close == text.npos)
            context.FailSyntax("point " + std::to_string(count + 1) + " is not of the form (x;y)");
        if (count == MaxPoints)
            context.FailRange("more than 16 points");
        int64_t x = context.Integer(text.substr(pos, semicolon - pos), std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max());
        std::string_view yText = TrimBlanks(text.substr(semicolon + 1, close - semicolon - 1));
        TDecimal y = context.Decimal(yText);

        const int64_t unit = PowerOf10(y.Fraction);
        int64_t scaled = y.Mantissa * scale; // y * scale * 10^Fraction
        auto fractionTooLarge = [&] {
            int64_t rest = scaled % unit;
            return (rest < 0 ? -rest : rest) * 1000 > unit;
        };
        int64_t oldScale = scale;
        while (fractionTooLarge()) {
            if (scale * 10 > MaxWord)
                context.FailRange("table value " + std::string(yText) + " needs a scale above 65535");
            scale *= 10;
            scaled *= 10;
        }
        int64_t stored = DivideRounded(scaled, unit);
        if (stored < MinTableY || stored > MaxTableY)
            context.FailRange("table value " + std::to_string(stored) +
                              " after scaling does not fit 16 bits");
        for (int k = 0; k < count; ++k)
            PointY[k] = int32_t(PointY[k] * (scale / oldScale));
        PointX[count] = int32_t(x);
        PointY[count] = int32_t(stored);
        Divisor = uint16_t(scale);
        ++count;

        size_t next = text.find("-(", close);
        if (next == text.npos)
            break;
        pos = next + 2;
    }
    PointCount = uint8_t(count);
    Decimals = IsDigit(text.back()) ? uint8_t(text.back() - '0') : 0;
}

} // namespace velmora
