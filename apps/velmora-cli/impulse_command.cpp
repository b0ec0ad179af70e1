// velmora-cli impulse MS: holds the K-line low for MS milliseconds on the chosen port, as the menu's
// "Down k-line" commands do; a refusal or a port that does not open exits 1.
#include "commands.h"
#include "line_command.h"
#include "line_tests/kline_impulse.h"
#include "session.h"

namespace velmora {

namespace {

// The longest hold the command takes (ms); the menu offers 4 to 8 s.
constexpr int LongestImpulseMs = 60000;

} // namespace

int RunImpulse(std::span<char* const> args) {
    constexpr std::string_view usage = "impulse MS   (1-60000)";
    const std::optional<TLineArgs> parsed = ParseLineArgs(args, "impulse", usage);
    if (!parsed)
        return ExitUsage;
    if (parsed->Rest.size() != 1)
        return LineUsageError("impulse", usage, "give the length in milliseconds");
    const std::optional<int> ms = ParseNumber(parsed->Rest.front(), LongestImpulseMs);
    if (!ms || *ms == 0)
        return LineUsageError("impulse", usage, "not a length: " + std::string(parsed->Rest.front()));
    return KLineImpulse(parsed->Request, uint32_t(*ms)) ? ExitOk : ExitFailed;
}

} // namespace velmora
