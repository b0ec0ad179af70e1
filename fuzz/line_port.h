// A port whose incoming bytes come from the fuzz input, in chunks that arrive one after the other on the
// manual clock, for the targets that read what an adapter or a unit sends. Single-threaded.
#pragma once

#include <deque>
#include <string>
#include <string_view>

#include "links/base_port.h"

namespace velmora::fuzz {

class TLinePort : public TBasePort {
public:
    // Each chunk becomes readable `spacingMs` after the previous one was read (or the port was opened).
    // With `echo`, every written byte comes back first, as on a K-line cable.
    void Load(std::deque<std::string> chunks, uint32_t spacingMs, bool echo);
    // Every byte that was offered to the reader (echoes included), in order.
    const std::string& Delivered() const { return DeliveredBytes; }

    bool Open(bool, int baud) override;
    bool IsOpen() override { return Opened; }
    int InQueue() override;
    void Close() override { Opened = false; }
    void SetParams(int baud, uint8_t, uint8_t) override { Baud = baud; }
    void SetRTS(bool) override {}
    void SetParity(uint8_t) override {}
    bool ReadByte(uint8_t& value) override;
    int ReadBuf(TPortBuffer& buffer) override;
    int ReadBufEx(TPortBuffer& buffer, int count) override;
    bool WriteBuf(TPortBuffer buffer) override;
    bool WriteByte(uint8_t value) override;
    bool WritePortEx(const uint8_t* data, int length) override;
    void SetCommBreak() override {}
    void ClearCommBreak() override {}
    void SetTimeouts(int, int, int, int, int) override {}

private:
    // Moves the next chunk into the input queue once its time has come.
    void Release();
    int Take(uint8_t* data, int count);
    void Written(std::string_view bytes);

    std::deque<std::string> Chunks;
    std::string Ready;
    std::string DeliveredBytes;
    uint32_t SpacingMs = 10;
    uint32_t NextTick = 0;
    bool Echo = false;
    bool Opened = false;
};

} // namespace velmora::fuzz
