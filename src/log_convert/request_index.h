// Which request pairs an exchange-log scanner may accept: the known requests and the parameters of a
// parameter set (their first address and the further addresses of a multi-byte value), as a lookup by
// command·256 + address. Built once per set, then read-only; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

class TECUparam;
class TListParams;

// The unit a log's left-out commands are decided by: its family and supplier once identified.
struct TLogUnit {
    uint8_t UnitType = 0; // 0: not identified yet
    uint8_t Supplier = 0;
};

// Codes under which an ELM327 link logs the adapter's table read of a whole parameter: one byte at
// its address; two bytes at twice the address (less 0x80 for the high code), one pair per byte.
constexpr uint8_t TableOneByteCode = 0x11;
constexpr uint8_t TableTwoBytesCode = 0x12;
constexpr uint8_t TableTwoBytesHighCode = 0x13;
// Bytes of a value a table read under `cmd` carries; 0 when `cmd` is no table code.
int TableReadSize(uint8_t cmd);

// Where a word lies in a parameter: the record and the byte's position in its value.
struct TParamPlace {
    TECUparam* Param = nullptr;
    uint8_t Byte = 0; // 0 for the CMD address itself
};

class TRequestIndex {
public:
    // The known requests only.
    TRequestIndex();
    // The known requests and the records of `params` (the set must outlive the index).
    explicit TRequestIndex(const TListParams& params);

    bool IsKnown(uint8_t cmd, uint8_t param) const { return Known[Word(cmd, param)] != 0; }
    bool IsKnownCommand(uint8_t cmd) const { return KnownCommands[cmd] != 0; }
    // The first record whose CMD word is this one, and the first record that holds this word as a
    // further byte of its value (the address before it, or earlier, with a size that reaches it).
    TECUparam* StartOf(uint8_t cmd, uint8_t param) const { return Starts[Word(cmd, param)]; }
    TParamPlace ContinuationOf(uint8_t cmd, uint8_t param) const { return Continuations[Word(cmd, param)]; }

    // The command a unit supplies for a lone parameter byte, when the word it makes is known: 0x10 for
    // addresses above 0x40 but 0xAA (HFM/PMS from Bosch and Siemens), 0x00 (LH), 0xFF (EZ). An
    // identified unit has its own rule only; before identification a word that is a parameter of the
    // set wins over a known request. -1 otherwise.
    int ImpliedCommand(uint8_t param, TLogUnit unit = {}) const;

private:
    static constexpr size_t Word(uint8_t cmd, uint8_t param) { return size_t(cmd) << 8 | param; }
    void AddKnownRequests();
    void AddTableReads(const TListParams& params);

    std::vector<uint8_t> Known;
    std::vector<uint8_t> KnownCommands;
    std::vector<TECUparam*> Starts;
    std::vector<TParamPlace> Continuations;
};

} // namespace velmora
