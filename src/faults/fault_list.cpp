#include "faults/fault_list.h"

#include "faults/fault_codes.h"

namespace velmora {

namespace {

// Bytes 16 and above of the bit numbering (bits 129-152) live 32 addresses further on, in the extra
// bytes of the PMS layout.
constexpr int BitmapBytes = 16;
constexpr int ExtraBytesOffset = 32;
// The current map follows the stored map by 16 addresses.
constexpr int CurrentMapOffset = 16;

struct TBitPlace {
    int Address; // of the stored map
    uint8_t Mask;
};

TBitPlace PlaceOfBit(int bit) {
    int byte = (bit - 1) / 8;
    if (byte >= BitmapBytes)
        byte += ExtraBytesOffset;
    return {byte, uint8_t(1u << ((bit - 1) % 8))};
}

} // namespace

bool TFaultIterator::NextFault(int& code, bool& isStored, bool& isUnknown, bool& isCurrent) {
    if (code == 0)
        Last = 0;
    while (Last < FaultBitCount) {
        const int bit = ++Last;
        const TBitPlace place = PlaceOfBit(bit);
        isStored = (Buffer[place.Address] & place.Mask) != 0;
        isCurrent = (Buffer[place.Address + CurrentMapOffset] & place.Mask) != 0;
        if (!isStored && !isCurrent)
            continue;
        code = FaultCodeOfBit(bit, Context);
        isUnknown = code == 0;
        if (isUnknown)
            code = bit;
        return true;
    }
    return false;
}

bool TFaultIterator::NextFaultLH(int& code, bool& isStored) {
    if (code == 0)
        Last = 0;
    while (Last < LhSlotCount) {
        const int slot = ++Last;
        if (Buffer[size_t(slot)] == 0)
            continue;
        code = LhFaultCode(slot);
        isStored = true;
        return true;
    }
    return false;
}

std::vector<TFault> CollectFaults(const TFaultBuf& buffer, const TFaultContext& context, size_t limit) {
    std::vector<TFault> faults;
    TFaultIterator iterator(buffer, context);
    TFault fault;
    const bool lh = context.UnitType == UnitLh;
    while (faults.size() < limit) {
        const bool found = lh ? iterator.NextFaultLH(fault.Code, fault.Stored)
                              : iterator.NextFault(fault.Code, fault.Stored, fault.Unknown, fault.Current);
        if (!found)
            break;
        fault.Cell = iterator.Position();
        faults.push_back(fault);
    }
    return faults;
}

} // namespace velmora
