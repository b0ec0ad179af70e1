#include "faults/fault_memory.h"

namespace velmora {

namespace {

constexpr uint8_t LhEnd = 31;        // slots 1-30
constexpr uint8_t BitmapEnd = 32;    // 0-15 stored, 16-31 current
constexpr uint8_t PmsLayoutEnd = 67; // ... 64-66 current
constexpr uint8_t StoredMapEnd = 16; // the erase pre-read stops here

struct TIndexJump {
    uint8_t From;
    uint8_t To;
};

// Read order of the PMS layout: 0-15, 48-50, 16-31, 64-66.
constexpr TIndexJump PmsLayoutJumps[] = {{16, 48}, {32, 64}, {51, 16}};

} // namespace

uint8_t FaultCommand(const TFaultReadRule& rule) {
    return rule.Lh ? FaultCommandLh : FaultCommandBitmap;
}

uint8_t FaultReadAddress(uint8_t index, const TFaultReadRule& rule) {
    return rule.Lh && index == 0 ? 1 : index;
}

TFaultReadStep FaultIndexAfterRead(uint8_t address, const TFaultReadRule& rule, bool erasePreRead) {
    unsigned next = address + 1u;
    if (rule.PmsLayout && !rule.Lh) {
        for (const TIndexJump& jump : PmsLayoutJumps) {
            if (next == jump.From) {
                next = jump.To;
                break;
            }
        }
    }
    const unsigned end = rule.Lh ? LhEnd : rule.PmsLayout ? PmsLayoutEnd : BitmapEnd;
    const bool complete = (erasePreRead && next == StoredMapEnd) || next >= end;
    return complete ? TFaultReadStep{0, true} : TFaultReadStep{uint8_t(next), false};
}

void TFaultMemory::SetRule(const TFaultReadRule& rule) {
    Rule = rule;
    FaultBuf.fill(0);
    FaultIndex = 0;
}

bool TFaultMemory::Store(uint8_t value, bool erasePreRead) {
    const uint8_t address = Address();
    if (address < FaultBuf.size())
        FaultBuf[address] = value;
    const TFaultReadStep step = FaultIndexAfterRead(address, Rule, erasePreRead);
    FaultIndex = step.Next;
    return step.Complete;
}

} // namespace velmora
