// The framed K-line protocol engine for the E-GAS, EGS and SRS modules on a plain K-line cable (KKL on a
// COM port or FTDI): the 5-baud or fast wake-up, requests framed and spaced on the high-resolution
// counter, answers found behind the cable's echo, and a protocol log of all of it. Every wait goes
// through Clock(). The thread of the module dialogue only.
#pragma once

#include <atomic>
#include <string>

#include "adapters/base_adapter.h"

namespace velmora {

class TKLineAdapter : public TBaseAdapter {
public:
    // Also sets the port to the baud rate and parity with two stop bits.
    void Init(uint8_t address, char connectType, int baud, int parity) override;
    // 'F': the address as one byte, up to three attempts; otherwise the 5-baud address and the sync.
    bool Connect() override;
    bool Exchange(std::string_view request, std::string& answer, int maxLength) override;
    bool ReceivePacket(std::string& packet, int maxLength, int timeoutMs, bool showLog) override;
    void SendPacket(std::string_view request, bool noDelay) override;
    uint16_t GetAccessCode() override { return SrsEraseAccessCode; }

    // The module's identification payload from its third hex character on (after the answer code).
    std::string Ident;
    // The longest wait ReceivePacket accepts, ms.
    static constexpr int MaxReceiveMs = 3000;

private:
    bool SlowConnect();
    bool FastConnect();
    // The ">" line of a wake-up attempt and, when it changed, the inter-byte time.
    void LogAttempt(int& reportedInterByte);
    void SendFiveBaudAddress();
    // Reads the first message after a wake-up and shows it; false when none came.
    bool ReadFirstMessage();
    void Stamp();
    bool Aborted() const { return Abort && Abort->load(); }

    std::string LastSent; // hex text of the frame whose echo is awaited ("" when none)
    uint32_t LastExchangeTick = 0;
    int64_t LastExchangeCounter = 0;
    int ReportedSlowInterByte = -1;
    int ReportedFastInterByte = -1;
};

} // namespace velmora
