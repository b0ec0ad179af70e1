// Simulator profiles, and a short session of a tester against the unit a profile describes. Input: the
// profile text, '\0', then request pairs (command, parameter) for the session. Properties: a refused
// profile names its line; an accepted one builds a unit that wakes or stays asleep, answers or stays
// silent, and every step of the session ends within its time-outs (virtual time). A unit that keeps the
// simulation busy without end is a hang the fuzzer reports by its time-out.
#include "fuzz_target.h"
#include "sim/kline_shortcut.h"
#include "sim/sim_car.h"
#include "sim/sim_profile.h"

namespace {

// Break and four slow bytes a second apart, each waited for at most the unit's wake window (ms).
constexpr double LongestWakeUpMs = 1000 + 4 * 1000 + 4 * 2000;
// Two bytes, each with its echo and its answer waited for at most 300 ms, plus the bytes' own time.
constexpr double LongestRequestMs = 4 * 300 + 50;
constexpr int MaxRequests = 24;

} // namespace

VELMORA_FUZZ_TARGET(sim_profile) {
    velmora::fuzz::TFuzzInput input(data, size);
    const std::string_view text = input.Field();
    velmora::TSimProfile profile;
    std::string error;
    if (!velmora::ParseSimProfile(text, profile, error)) {
        FUZZ_CHECK(!error.empty(), "a refused profile without its reason");
        return 0;
    }

    velmora::TSimCar car(profile);
    velmora::TKLineTester tester(car.Bus());
    double nowMs = 1000;
    double before = nowMs;
    const bool awake = tester.WakeUp(nowMs);
    FUZZ_CHECK(nowMs >= before && nowMs - before <= LongestWakeUpMs,
               "the wake-up took " + std::to_string(nowMs - before) + " ms");
    for (int i = 0; i < MaxRequests && awake && !input.Empty(); ++i) {
        const uint8_t cmd = input.Byte(), param = input.Byte();
        before = nowMs;
        tester.Request(cmd, param, nowMs, (cmd & 1) == 0);
        FUZZ_CHECK(nowMs >= before && nowMs - before <= LongestRequestMs,
                   "a request took " + std::to_string(nowMs - before) + " ms");
    }
    // Falling asleep and waking once more.
    nowMs += 3000;
    car.Bus().AdvanceTo(nowMs);
    before = nowMs;
    tester.WakeUp(nowMs);
    FUZZ_CHECK(nowMs - before <= LongestWakeUpMs,
               "the second wake-up took " + std::to_string(nowMs - before) + " ms");
    return 0;
}
