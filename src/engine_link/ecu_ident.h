// What the identification of the engine unit decides: the identification block, the unit family and
// supplier, the diagnosis index and the capabilities derived from it, and the rules that tell LH and
// EZ blocks apart. Pure functions over bytes already read; the worker owns the record.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora {

struct TEcuIdent {
    // Index = address read with command 0xF0, plus family-specific bytes at 0x10-0x21.
    std::array<uint8_t, 50> IdentBuf{};
    // Vehicle identification read with command 0xF9; zero when not read.
    std::array<uint8_t, 16> VinBuf{};
    uint8_t UnitType = 0; // 0 unknown, 1 HFM, 2 PMS, 3 LH, 4 EZ
    uint8_t Supplier = 0; // 0 unknown, 1 Bosch, 2 VDO, 3 Siemens
    // High word: bytes 0 and 1; low word: the diagnosis-index byte and the next.
    uint32_t Signature = 0;
    // The diagnosis-index byte's two hexadecimal digits read as a decimal number (0x45 gives 45).
    uint8_t DiagIndex = 0;
    char VariantLetter = 0; // 'h', 'o', 'x', 'w' or 0
    uint8_t ExtraId1 = 0;   // block bytes 0x26 and 0x27
    uint8_t ExtraId2 = 0;
    uint16_t MsPerRequest = 60; // ms per request pair, measured during identification
    std::string IdentText;      // the "Ident" characters, bytes 0x02-0x0B

    bool IsLateGeneration() const { return DiagIndex >= 40 && DiagIndex < 60; }
    bool IsVinSupported() const { return DiagIndex >= 46 && DiagIndex < 60; }
    bool HasPmsFaultMap() const { return UnitType == 2 && DiagIndex >= 49 && DiagIndex < 60; }
    bool IsNewestGeneration() const { return DiagIndex >= 60 && DiagIndex < 80; }
    // The actuator tests, adaptation and coding exist on HFM and PMS units only: an LH unit whose index
    // falls in the generation ranges has none of them.
    bool HasServiceFunctions() const {
        return (UnitType == 1 || UnitType == 2) && (IsLateGeneration() || IsNewestGeneration());
    }
    // Two-byte values arrive high byte last.
    bool HasReversedByteOrder() const { return (IsNewestGeneration() && Supplier == 1) || UnitType == 3; }
};

// 0x45 gives 45; a digit above 9 still counts its value (0x4A gives 50).
uint8_t DecimalFromHexDigits(uint8_t value);

// The byte rules of LH and EZ identification blocks, by address.
bool PassesLhRule(uint8_t address, uint8_t value);
bool PassesEzRule(uint8_t address, uint8_t value);
// The family candidate after one more block byte: an LH candidate whose byte fails the LH rule becomes
// an EZ candidate, and an EZ candidate whose byte fails the EZ rule becomes unknown (0). Byte 0 = 0x0D
// makes the LH candidate.
uint8_t NextCandidate(uint8_t unitType, uint8_t address, uint8_t value);
// The candidate a block prefix leads to (addresses 0, 1, ... in order).
uint8_t CandidateFamily(std::span<const uint8_t> block);

// Decides family (where the candidate rules left it open), supplier, variant letter, diagnosis index,
// signature and ident text from a complete block. Returns the log lines for what it could not decide.
std::vector<std::string> ClassifyIdent(TEcuIdent& ident);

} // namespace velmora
