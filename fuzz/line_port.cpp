#include "line_port.h"

#include <algorithm>

#include "platform/clock.h"

namespace velmora::fuzz {

void TLinePort::Load(std::deque<std::string> chunks, uint32_t spacingMs, bool echo) {
    Chunks = std::move(chunks);
    SpacingMs = spacingMs;
    Echo = echo;
    Ready.clear();
    DeliveredBytes.clear();
    NextTick = Clock().TickCount() + SpacingMs;
}

bool TLinePort::Open(bool, int baud) {
    Baud = baud;
    Opened = true;
    return true;
}

void TLinePort::Release() {
    if (!Ready.empty() || Chunks.empty() || int32_t(Clock().TickCount() - NextTick) < 0)
        return;
    Ready = Chunks.front();
    DeliveredBytes += Ready;
    Chunks.pop_front();
    NextTick = Clock().TickCount() + SpacingMs;
}

int TLinePort::InQueue() {
    Release();
    return Opened ? int(Ready.size()) : 0;
}

int TLinePort::Take(uint8_t* data, int count) {
    Release();
    if (!Opened)
        return 0;
    const int taken = std::min(count, int(Ready.size()));
    std::copy_n(Ready.begin(), taken, data);
    Ready.erase(0, size_t(taken));
    return taken;
}

bool TLinePort::ReadByte(uint8_t& value) {
    return Take(&value, 1) == 1;
}

int TLinePort::ReadBuf(TPortBuffer& buffer) {
    buffer.Count = Take(buffer.Data, buffer.Size);
    return buffer.Count;
}

int TLinePort::ReadBufEx(TPortBuffer& buffer, int count) {
    buffer.Count = Take(buffer.Data, std::min(count, buffer.Size));
    return buffer.Count;
}

void TLinePort::Written(std::string_view bytes) {
    if (!Echo)
        return;
    Ready.insert(0, bytes);
    DeliveredBytes += bytes;
}

bool TLinePort::WriteBuf(TPortBuffer buffer) {
    if (!Opened)
        return false;
    Written(std::string_view(reinterpret_cast<const char*>(buffer.Data), size_t(buffer.Count)));
    return true;
}

bool TLinePort::WriteByte(uint8_t value) {
    if (!Opened)
        return false;
    Written(std::string_view(reinterpret_cast<const char*>(&value), 1));
    return true;
}

bool TLinePort::WritePortEx(const uint8_t* data, int length) {
    if (!Opened)
        return false;
    Written(std::string_view(reinterpret_cast<const char*>(data), size_t(length)));
    return true;
}

} // namespace velmora::fuzz
