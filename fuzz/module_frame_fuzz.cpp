// The module frames of the E-GAS, EGS and SRS dialogues: ParsePacket on frame texts and ReceivePacket on
// a byte stream from the line. Input: a flags byte (adapter kind, module address), a request, '\0', then
// the line's bytes as records of one length byte and that many bytes.
// Properties: a frame we build reads back as the request it carries, with a good sum; a received packet
// is hex text within its length limit and comes within the receive time-out (virtual time); whatever a
// module answers, parsing and interpreting it raises nothing.
#include <atomic>
#include <deque>

#include "adapters/base_adapter.h"
#include "adapters/module_frame.h"
#include "fuzz_target.h"
#include "line_port.h"
#include "platform/clock.h"

namespace {

// Module addresses of the dialogues, and one that is no module's.
constexpr uint8_t Addresses[] = {0x41, 0x10, 0x52, 0x00};

bool IsHexText(std::string_view text) {
    return text.size() % 2 == 0 && text.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

} // namespace

VELMORA_FUZZ_TARGET(module_frame) {
    velmora::fuzz::TFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    const uint8_t address = Addresses[(flags >> 1) & 3];
    const std::string_view requestBytes = input.Field();
    std::deque<std::string> chunks = input.Chunks();

    // Building and parsing one frame.
    const std::string request = velmora::HexText(
        std::span(reinterpret_cast<const uint8_t*>(requestBytes.data()), requestBytes.size()));
    const std::vector<uint8_t> frame = velmora::BuildModuleFrame(address, request);
    if (!frame.empty()) {
        const velmora::TParsedFrame parsed =
            velmora::ParseModuleFrame(velmora::HexText(frame), address, [](const std::string&) {});
        FUZZ_CHECK(parsed.Payload == request && parsed.ChecksumOk,
                   "frame of " + request + " read as " + parsed.Payload);
    }

    // Receiving from the line, through the adapter of the chosen kind.
    velmora::TManualClock clock;
    velmora::TScopedClock useClock(clock);
    velmora::fuzz::TLinePort port;
    port.Open(false, 10400);
    port.Load(std::move(chunks), 1 + (flags >> 4) * 10, (flags & 0x08) != 0);
    std::unique_ptr<velmora::TBaseAdapter> adapter = velmora::CreateAdapter((flags & 1) ? 'E' : 'K');
    std::atomic<bool> abort{false};
    adapter->Abort = &abort;
    adapter->SetPort(&port);
    adapter->Init(address, 'F', 10400, 0);

    constexpr int MaxLength = 255;
    for (int packetIndex = 0; packetIndex < 4; ++packetIndex) {
        std::string packet;
        const uint32_t start = clock.TickCount();
        bool received = false;
        if (flags & 1) {
            // The ELM327 runs the exchange itself; its answer line carries the frame after an 'R'.
            received = adapter->Exchange(request.empty() ? "1A80" : request, packet, MaxLength);
            FUZZ_CHECK(!received || packet.starts_with(velmora::HexByte(address)),
                       "an answer that is not the module's frame: " + packet);
        } else {
            if (packetIndex == 0)
                adapter->SendPacket(request, true);
            received = adapter->ReceivePacket(packet, MaxLength, 1000, true);
            FUZZ_CHECK(!received || IsHexText(packet), "not hex text: " + packet);
        }
        const uint32_t tookMs = velmora::TicksSince(start, clock.TickCount());
        // A cable: the time-out counts again from the echo of the request. An ELM327: its command's
        // own waits, a recovery included.
        const uint32_t longestMs = (flags & 1) ? 2 * 20000 + 4000 + 3 * (20000 + 1000) : 2 * 1000 + 100;
        FUZZ_CHECK(tookMs <= longestMs, "receiving took " + std::to_string(tookMs) + " ms");
        FUZZ_CHECK(packet.size() <= size_t(MaxLength), "packet longer than asked");
        if (!received)
            continue;
        const std::string payload = adapter->ParsePacket(packet);
        bool more = false, failed = false;
        adapter->ShowModuleInfo(payload, more, failed);
    }
    return 0;
}
