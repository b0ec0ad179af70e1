// The CALC conversion language. Input: one byte choosing the raw type, then the CALC text.
// Properties: a text either converts or raises one of the description errors; without a point table the
// conversion is linear, so every raw value of a one-byte type lies between the converted raw ends
// (RangeMin and RangeMax, the graph's scale); a conversion always prints or raises FormatError.
#include <cmath>
#include <string>

#include "fuzz_target.h"
#include "params/ecu_param.h"
#include "params/param_errors.h"

VELMORA_FUZZ_TARGET(calc) {
    velmora::fuzz::TFuzzInput input(data, size);
    static constexpr char Types[] = {'B', 'S', 'I', 'W', 'L', 'X'};
    const char type = Types[input.Byte() % std::size(Types)];
    const std::string_view calc = input.Remaining();

    velmora::TECUparam param(1);
    param.SetType(type);
    try {
        param.SetCalc(calc);
    } catch (const velmora::ParamError&) {
        return 0;
    }
    const float low = param.RangeMin(), high = param.RangeMax();
    FUZZ_CHECK(!(low > high), "RangeMin above RangeMax");
    const bool oneByte = type == 'B' || type == 'S' || type == 'X';
    const bool linear = calc.find('(') == std::string_view::npos;
    for (int raw = 0; raw < (oneByte ? 256 : 0); ++raw) {
        param.SetRaw(uint8_t(raw), 0, 0, 0);
        const float value = param.AsSingle();
        // A float of the ends and of the value may differ by their rounding.
        const float slack = std::max(std::fabs(low), std::fabs(high)) * 1e-6f;
        if (linear && std::isfinite(value))
            FUZZ_CHECK(value >= low - slack && value <= high + slack,
                       "raw " + std::to_string(raw) + " gives " + std::to_string(value) + " outside " +
                           std::to_string(low) + ".." + std::to_string(high));
    }
    for (uint8_t raw : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        param.SetData(raw, uint8_t(~raw), raw, 0x80);
        // The exchange-log text prints the value as the screen does.
        try {
            param.FormatValue();
            param.LogText();
        } catch (const velmora::FormatError&) {
        }
        param.AsInteger();
    }
    return 0;
}
