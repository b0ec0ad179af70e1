// The module adapter on an ELM327 with the module firmware: the adapter frames the messages itself, so
// this class only sends the protocol setup (ISOSET), the wake-up (ISOCONNECT) and each request (ISOMSG)
// through the ELM327 command primitive. The thread of the module dialogue only.
#pragma once

#include <atomic>
#include <string>

#include "adapters/base_adapter.h"
#include "adapters/elm_command.h"

namespace velmora {

class TELM327myAdapter : public TBaseAdapter {
public:
    // The protocol setup: "ISOSET", address (hex2), connect type, parity letter, inter-byte time
    // (decimal), answer time-out / 2 (hex2, at most 255) and request delay (hex2, at most 255).
    static std::string SetupCommand(uint8_t address, char connectType, int parity, int interByteTime,
                                    int answerTimeout, int requestDelay);

    bool Connect() override;
    bool Exchange(std::string_view request, std::string& answer, int maxLength) override;
    // The adapter frames the messages itself: there is no packet level here.
    bool ReceivePacket(std::string& packet, int maxLength, int timeoutMs, bool showLog) override;
    void SendPacket(std::string_view request, bool noDelay) override;
    uint16_t GetAccessCode() override { return SrsEraseAccessCode; }

private:
    TElmContext Context();

    TElmState State;
    std::atomic<bool> NeverAbort{false};
};

} // namespace velmora
