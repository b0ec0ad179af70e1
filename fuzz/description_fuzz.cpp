// Description lines "KEY=value" of the built-in and address sets. Input: lines. Properties: a line either
// applies or raises one of the description errors; the fields keep their length limits; the described
// parameter reads, converts and prints (or raises FormatError for its mask).
#include <string>

#include "fuzz_target.h"
#include "params/ecu_param.h"
#include "params/param_errors.h"
#include "params/param_text.h"

VELMORA_FUZZ_TARGET(description) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    velmora::TECUparam param(7);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        try {
            param.ParseLine(line);
        } catch (const velmora::ParamError&) {
        }
    }
    FUZZ_CHECK(velmora::Utf8Length(param.Izm) <= 4, "IZM longer than 4 characters: " + param.Izm);
    FUZZ_CHECK(velmora::Utf8Length(param.Name) <= 255, "NAME longer than 255 characters");
    FUZZ_CHECK(velmora::Utf8Length(param.Mask) <= 32, "MASK longer than 32 characters: " + param.Mask);
    const int length = param.DataLength();
    FUZZ_CHECK(length == 1 || length == 2 || length == 4, "data length " + std::to_string(length));
    FUZZ_CHECK(param.BitFieldCount() >= 0 && param.BitFieldCount() <= velmora::TECUparam::BitCount,
               "bit fields " + std::to_string(param.BitFieldCount()));
    for (uint8_t raw : {0x00, 0x5A, 0xA5, 0xFF}) {
        param.SetData(raw, raw, raw, raw);
        // The exchange-log text prints the value as the screen does.
        try {
            param.FormatValue();
            param.LogText();
        } catch (const velmora::FormatError&) {
        }
        param.BitText();
        for (int bit = 0; bit < param.BitFieldCount(); ++bit)
            param.BitPiece(bit, (raw >> bit) & 1);
    }
    return 0;
}
