// A scripted port for the adapter tests: each command written gets the next reply queued for it, whose
// parts become readable at set times on the manual clock. Bytes released by the same time are read as
// one chunk, as a real port delivers what has arrived.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "links/base_port.h"
#include "platform/clock.h"

namespace velmora::testing {

class TFakeElmPort : public TBasePort {
public:
    struct TPart {
        uint32_t DelayMs; // after the command was written
        std::string Bytes;
    };

    // The reply to the next write of `command` (without CR); a command with no reply left stays silent.
    void Reply(const std::string& command, std::vector<TPart> parts) { Replies[command].push_back(parts); }
    // Called on every poll of the input queue, so a test can act at a given time (set the abort flag).
    std::function<void()> OnPoll;

    std::vector<std::string> Written; // the commands, without CR
    std::vector<int> SetParamsBauds;
    int Opens = 0;
    int Closes = 0;
    bool Opened = true;
    bool OpenSucceeds = true;
    uint32_t ReadCostMs = 0; // virtual time each read takes, as bytes go on arriving meanwhile
    int Reads = 0;           // reads that returned bytes

    bool Open(bool, int baud) override {
        ++Opens;
        Opened = OpenSucceeds;
        Baud = baud;
        return Opened;
    }
    bool IsOpen() override { return Opened; }
    int InQueue() override {
        if (OnPoll)
            OnPoll();
        return int(Released().size());
    }
    void Close() override {
        ++Closes;
        Opened = false;
        Pending.clear();
    }
    void SetParams(int baud, uint8_t, uint8_t) override {
        SetParamsBauds.push_back(baud);
        Baud = baud;
    }
    void SetRTS(bool) override {}
    void SetParity(uint8_t) override {}
    bool ReadByte(uint8_t&) override { return false; }
    int ReadBuf(TPortBuffer& buffer) override {
        std::string ready = Released();
        buffer.Count = int32_t(std::min<size_t>(ready.size(), size_t(buffer.Size)));
        std::copy_n(ready.begin(), buffer.Count, buffer.Data);
        Consume(size_t(buffer.Count));
        Reads += buffer.Count > 0;
        if (ReadCostMs > 0)
            Clock().Sleep(ReadCostMs);
        return buffer.Count;
    }
    int ReadBufEx(TPortBuffer& buffer, int) override { return ReadBuf(buffer); }
    bool WriteBuf(TPortBuffer buffer) override {
        if (!Opened)
            return false;
        std::string line(reinterpret_cast<const char*>(buffer.Data), size_t(buffer.Count));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Written.push_back(line);
        auto queued = Replies.find(line);
        if (queued != Replies.end() && !queued->second.empty()) {
            const uint32_t now = Clock().TickCount();
            for (const TPart& part : queued->second.front())
                Pending.push_back({now + part.DelayMs, part.Bytes});
            queued->second.pop_front();
        }
        return true;
    }
    bool WriteByte(uint8_t) override { return Opened; }
    bool WritePortEx(const uint8_t*, int) override { return Opened; }
    void SetCommBreak() override {}
    void ClearCommBreak() override {}
    void SetTimeouts(int, int, int, int, int) override {}

private:
    struct TTimed {
        uint32_t AtTick;
        std::string Bytes;
    };

    std::string Released() const {
        std::string ready;
        const uint32_t now = Clock().TickCount();
        for (const TTimed& part : Pending) {
            if (int32_t(now - part.AtTick) < 0)
                break;
            ready += part.Bytes;
        }
        return ready;
    }
    void Consume(size_t count) {
        while (count > 0 && !Pending.empty()) {
            std::string& front = Pending.front().Bytes;
            const size_t taken = std::min(count, front.size());
            front.erase(0, taken);
            count -= taken;
            if (front.empty())
                Pending.pop_front();
        }
    }

    std::map<std::string, std::deque<std::vector<TPart>>> Replies;
    std::deque<TTimed> Pending;
};

} // namespace velmora::testing
