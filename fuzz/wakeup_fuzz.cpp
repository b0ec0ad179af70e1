// The wake-up of the engine unit on a K-line cable, and its echo reader, on random line bytes.
// Input: a flags byte, then the line's bytes as records of one length byte and that many bytes.
// Properties: no echo and no answer reads as "nothing came" (-1); a byte reported is one that came; the
// unit counts as awake only when it answered 0xAA with its complement 0x55; a failed wake-up names its
// reason; the whole wake-up ends within its schedule (virtual time); link failures are LinkException.
#include <deque>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "engine_link/link_shared.h"
#include "fuzz_target.h"
#include "line_port.h"
#include "links/port_factory.h"
#include "platform/clock.h"

namespace {

velmora::fuzz::TLinePort* linePort = nullptr;

void RegisterLinePort() {
    static const bool registered = [] {
        velmora::RegisterPortKind("FUZZLINE", 96, "fuzz input", [](std::string_view) {
            auto port = std::make_unique<velmora::fuzz::TLinePort>();
            linePort = port.get();
            return port;
        });
        return true;
    }();
    (void)registered;
}

// Four wake-up bytes a second apart with their echo time-outs, then the identification, whose requests
// give up after three tries of a few hundred ms each (ms).
constexpr uint32_t LongestWakeUpMs = 6000 + 200 * 3 * 1000;

} // namespace

VELMORA_FUZZ_TARGET(wakeup) {
    RegisterLinePort();
    velmora::fuzz::TFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    std::deque<std::string> chunks = input.Chunks();

    velmora::TManualClock clock;
    velmora::TScopedClock useClock(clock);
    velmora::TExchangeLog log;
    velmora::TEngineLink link(log);
    link.PortName = "FUZZLINE";
    FUZZ_CHECK(link.OpenLinkPort() && linePort, "the line port did not open");
    linePort->Load(std::move(chunks), 1 + (flags >> 4) * 20, (flags & 1) != 0);

    const uint32_t start = clock.TickCount();
    if (flags & 2) {
        const uint8_t expected = (flags & 4) ? 0xAA : 0x00;
        const velmora::TEchoResult echo = link.ReadEcho(expected, 800);
        const std::string& came = linePort->Delivered();
        FUZZ_CHECK(echo.AnyByte || echo.LastByte == -1, "no byte seen, yet a last byte");
        FUZZ_CHECK(echo.LastByte == -1 || came.find(char(echo.LastByte)) != std::string::npos,
                   "a byte that never came: " + std::to_string(echo.LastByte));
        FUZZ_CHECK(came.empty() == !echo.AnyByte || (expected == 0xAA && !came.empty() && came[0] == 0),
                   "bytes came and none was seen");
    } else {
        try {
            const bool awake = link.WakeUp();
            const std::string& came = linePort->Delivered();
            FUZZ_CHECK(!awake || came.find('\x55') != std::string::npos, "awake without the unit's 0x55");
            FUZZ_CHECK(awake || !link.FailureText.empty(), "a failed wake-up without its reason");
        } catch (const velmora::LinkException&) {
        }
        FUZZ_CHECK(velmora::TicksSince(start, clock.TickCount()) <= LongestWakeUpMs,
                   "the wake-up took " + std::to_string(velmora::TicksSince(start, clock.TickCount())) +
                       " ms");
    }
    velmora::FreePort();
    linePort = nullptr;
    return 0;
}
