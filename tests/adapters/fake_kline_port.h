// A scripted K-line port for the module adapter tests: records breaks, releases and written bytes with
// their time on the manual clock, and delivers scripted bytes once their arrival time has come.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora::testing {

class TFakeKLinePort : public TBasePort {
public:
    struct TEvent {
        double Ms;        // on the counter
        std::string What; // "break", "release", or the byte written in hex
    };
    struct TSetting {
        int Baud;
        uint8_t Parity;
        uint8_t StopBits;
    };

    std::vector<TEvent> Events;
    std::vector<TSetting> Settings;
    // Called with each whole write (a frame, or one byte), for a test that answers it.
    std::function<void(const std::vector<uint8_t>&)> OnWrite;

    // `bytes` become readable `delayMs` from now, one per millisecond.
    void Arrive(uint32_t delayMs, const std::vector<uint8_t>& bytes) {
        const uint32_t at = Clock().TickCount() + delayMs;
        for (size_t i = 0; i < bytes.size(); ++i)
            Input.push_back({at + uint32_t(i), bytes[i]});
    }

    bool Open(bool, int baud) override {
        Baud = baud;
        return true;
    }
    bool IsOpen() override { return true; }
    int InQueue() override {
        int count = 0;
        for (const auto& [tick, value] : Input)
            count += tick <= Clock().TickCount() ? 1 : 0;
        return count;
    }
    void Close() override {}
    void SetParams(int baud, uint8_t parity, uint8_t stopBits) override {
        Baud = baud;
        Settings.push_back({baud, parity, stopBits});
    }
    void SetRTS(bool) override {}
    void SetParity(uint8_t) override {}
    bool ReadByte(uint8_t& value) override {
        if (Input.empty() || Input.front().first > Clock().TickCount())
            return false;
        value = Input.front().second;
        Input.pop_front();
        return true;
    }
    int ReadBuf(TPortBuffer& buffer) override {
        int n = 0;
        uint8_t value = 0;
        while (n < buffer.Size && ReadByte(value))
            buffer.Data[n++] = value;
        buffer.Count = n;
        return n;
    }
    int ReadBufEx(TPortBuffer& buffer, int) override { return ReadBuf(buffer); }
    bool WriteBuf(TPortBuffer buffer) override { return WritePortEx(buffer.Data, buffer.Count); }
    bool WriteByte(uint8_t value) override { return WritePortEx(&value, 1); }
    bool WritePortEx(const uint8_t* data, int length) override {
        std::vector<uint8_t> bytes(data, data + length);
        for (uint8_t b : bytes) {
            static const char* digits = "0123456789ABCDEF";
            Events.push_back({Clock().PerfMs(), std::string{digits[b >> 4], digits[b & 15]}});
        }
        if (OnWrite)
            OnWrite(bytes);
        return true;
    }
    void SetCommBreak() override { Events.push_back({Clock().PerfMs(), "break"}); }
    void ClearCommBreak() override { Events.push_back({Clock().PerfMs(), "release"}); }
    void SetTimeouts(int, int, int, int, int) override {}

private:
    std::deque<std::pair<uint32_t, uint8_t>> Input;
};

} // namespace velmora::testing
