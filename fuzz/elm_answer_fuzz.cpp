// The ELM327 answer reader: what an adapter of unknown quality sends back to a command, in chunks.
// Input: a flags byte, the expected text, '\0', then the adapter's bytes as '\0'-separated chunks.
// Properties: the answer holds no line end and keeps its length limit; a success with an expected text
// holds that text; the command ends within the longest wait the user can meet (virtual time), whatever
// the adapter sends.
#include <atomic>
#include <deque>

#include "adapters/elm_command.h"
#include "fuzz_target.h"
#include "line_port.h"
#include "platform/clock.h"

namespace {

// Two answer deadlines of a bus initialisation, the reopen pauses and three probes that may each meet a
// bus initialisation too (ms).
constexpr uint32_t LongestCommandMs = 2 * 20000 + 4000 + 3 * (20000 + 1000);

} // namespace

VELMORA_FUZZ_TARGET(elm_answer) {
    velmora::fuzz::TFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    static constexpr int MaxLengths[] = {velmora::ElmMaxAnswer, 16, 3, 0};
    const int maxLength = MaxLengths[(flags >> 2) & 3];
    const std::string expected(input.Field());
    std::deque<std::string> chunks;
    while (!input.Empty())
        chunks.emplace_back(input.Field());

    velmora::TManualClock clock;
    velmora::TScopedClock useClock(clock);
    velmora::fuzz::TLinePort port;
    port.Open(false, 38400);
    port.Load(std::move(chunks), 20, false);
    std::atomic<bool> abort{false};
    velmora::TElmState state;
    state.Recovering = (flags & 1) != 0; // no recovery: one exchange only
    velmora::TElmContext elm{port, [](std::string_view) {}, abort, state};

    const uint32_t start = clock.TickCount();
    if (flags & 0x10) {
        // A whole set-up sequence on the same bytes.
        velmora::ElmConnectEngine(elm);
    } else {
        std::string answer = expected;
        const bool ok = velmora::ElmCommand(elm, "ATE0", answer, 3000, (flags & 2) != 0, maxLength);
        FUZZ_CHECK(answer.find_first_of("\r\n") == std::string::npos, "a line end in the answer");
        FUZZ_CHECK(answer.size() <= size_t(maxLength), "answer longer than asked: " + answer);
        if (ok && !expected.empty() && answer.size() < size_t(maxLength))
            FUZZ_CHECK(answer.find(expected) != std::string::npos, "success without " + expected);
    }
    FUZZ_CHECK(velmora::TicksSince(start, clock.TickCount()) <= LongestCommandMs,
               "the command took " + std::to_string(velmora::TicksSince(start, clock.TickCount())) + " ms");
    return 0;
}
