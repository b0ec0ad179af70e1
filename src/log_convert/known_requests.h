// The requests an exchange log is known to carry besides parameter reads, with the label the text
// conversion gives them: a word of command·256 + parameter, or a command byte alone (any parameter).
// Constant tables; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velmora {

struct TKnownRequest {
    uint16_t Word;          // command·256 + parameter; below 0x100: the command byte alone
    std::string_view Label; // Russian; may be empty
};

// The entry for (cmd, param): an exact word first, then the command alone. nullptr when unknown.
const TKnownRequest* FindKnownRequest(uint8_t cmd, uint8_t param);
// Whether any entry uses this command byte (with some parameter or alone).
bool IsKnownCommand(uint8_t cmd);

// A family-specific identification read that fills a byte of the identification block beyond the
// addresses read with 0xF0 (LH extras, the EZ numbers).
struct TIdentExtra {
    uint8_t UnitType;
    uint8_t Cmd;
    uint8_t Param;
    uint8_t Index; // in IdentBuf; NoIdentByte for a pair of the block that fills none
};
constexpr uint8_t NoIdentByte = 0xFF;

std::span<const TIdentExtra> IdentExtras();

} // namespace velmora
