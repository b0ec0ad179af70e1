// velmora-cli adapter-test: the echo test of a K-line cable, or with --carsoft the check of a CarSoft 7.4
// interface, on the chosen port; the log lines are printed, a faulty verdict or a refusal exits 1.
#include "commands.h"
#include "line_command.h"
#include "line_tests/adapter_test.h"

namespace velmora {

int RunAdapterTest(std::span<char* const> args) {
    constexpr std::string_view usage = "adapter-test [--carsoft]";
    const std::optional<TLineArgs> parsed = ParseLineArgs(args, "adapter-test", usage);
    if (!parsed)
        return ExitUsage;
    bool carSoft = false;
    for (std::string_view arg : parsed->Rest) {
        if (arg != "--carsoft" || carSoft)
            return LineUsageError("adapter-test", usage, "cannot use " + std::string(arg));
        carSoft = true;
    }
    return TestAdapter(parsed->Request, carSoft) ? ExitOk : ExitFailed;
}

} // namespace velmora
