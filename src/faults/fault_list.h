// Decoding of a copy of FaultBuf into fault codes with their states: the iterators over the bitmap
// (HFM, PMS) and the LH slots, and the collected list the display and the report are made of.
// Works on a copy, so the window may decode while the worker reads on; any thread.
#pragma once

#include <vector>

#include "faults/fault_context.h"
#include "faults/fault_memory.h"

namespace velmora {

struct TFault {
    int Code = 0; // the maker's code, or the bit number when Unknown
    int Cell = 0; // bit number (HFM, PMS) or slot (LH)
    bool Stored = false;
    bool Current = false;
    bool Unknown = false; // no code in the maker's classification for this bit
};

// Walks the faults of one FaultBuf in bit (or slot) order.
class TFaultIterator {
public:
    TFaultIterator(const TFaultBuf& buffer, const TFaultContext& context)
        : Buffer(buffer), Context(context) {}

    // HFM/PMS: the next bit (up to 152) set in the stored or the current map. A code of 0 on entry
    // restarts at bit 1. False when no further fault exists.
    bool NextFault(int& code, bool& isStored, bool& isUnknown, bool& isCurrent);
    // LH: the next slot (up to 30) with a non-zero byte, reported as stored. A code of 0 on entry
    // restarts at slot 1.
    bool NextFaultLH(int& code, bool& isStored);

    // The bit or slot of the fault the last call returned.
    int Position() const { return Last; }

private:
    TFaultBuf Buffer;
    TFaultContext Context;
    int Last = 0;
};

// Faults of one FaultBuf in order, at most `limit`, by the iterator of the unit's family.
std::vector<TFault> CollectFaults(const TFaultBuf& buffer, const TFaultContext& context, size_t limit);

} // namespace velmora
