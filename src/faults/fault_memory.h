// The fault memory as the worker reads it: FaultBuf (one byte per fault address), the fault command and
// the order in which the addresses are read, with its completion rule. Pure bookkeeping, no port: the
// worker requests (Command(), Address()) and hands the answer to Store(). One owner thread (the worker);
// the window decodes a copy of FaultBuf.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

// Fault-memory byte per address. HFM/PMS: 0-15 stored bitmap, 16-31 current bitmap, 48-50 and 64-66 the
// extra stored and current bytes of the PMS layout. LH: 1-30, one byte per fault slot.
constexpr size_t FaultBufSize = 71;
using TFaultBuf = std::array<uint8_t, FaultBufSize>;

constexpr uint8_t FaultCommandLh = 0x30;
constexpr uint8_t FaultCommandBitmap = 0xF1;

// How the fault memory of a unit is read.
struct TFaultReadRule {
    bool Lh = false;        // slots 1-30 with command 0x30
    bool PmsLayout = false; // 0-15, 48-50, 16-31, 64-66
};

struct TFaultReadStep {
    uint8_t Next;  // the FaultIndex to read next; 0 after a complete read
    bool Complete; // the whole memory (or the stored map of an erase pre-read) has been read
};

uint8_t FaultCommand(const TFaultReadRule& rule);
// The address to request for `index`: an LH memory has no slot 0, so 0 reads slot 1.
uint8_t FaultReadAddress(uint8_t index, const TFaultReadRule& rule);
// The index after `address` was read. PMS layout jumps 16 -> 48, 32 -> 64, 51 -> 16 and completes at
// 67; LH completes at 31; others after 31. The erase pre-read completes when the index comes to 16,
// which with the PMS layout is after 48-50, so that the pre-read covers the whole stored map.
TFaultReadStep FaultIndexAfterRead(uint8_t address, const TFaultReadRule& rule, bool erasePreRead);

// FaultBuf with its read cursor (FaultIndex), for the worker.
class TFaultMemory {
public:
    // Sets the read rule of a newly identified unit and forgets the bytes and the cursor of the last one.
    void SetRule(const TFaultReadRule& rule);

    uint8_t Command() const { return FaultCommand(Rule); }
    uint8_t Address() const { return FaultReadAddress(FaultIndex, Rule); }
    // Stores the answer to (Command(), Address()) and moves on; true when the read is complete (the
    // index is 0 again). Addresses beyond FaultBuf are read but not kept.
    bool Store(uint8_t value, bool erasePreRead = false);
    // Starts the next read at the first address.
    void Restart() { FaultIndex = 0; }

    uint8_t Index() const { return FaultIndex; }
    const TFaultBuf& Buffer() const { return FaultBuf; }

private:
    TFaultReadRule Rule;
    TFaultBuf FaultBuf{};
    uint8_t FaultIndex = 0;
};

} // namespace velmora
