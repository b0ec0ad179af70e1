// velmora-cli on a line with stray bytes, in virtual time: every command either gives exactly what it
// gives on a clean line, or fails and names the line; it never succeeds with another result.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "commands.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

using testing::RunCommand;
using testing::TRun;

// The result without what differs from run to run on any line: the port's profile file, the exchange
// log's numbered name and the measured time per request.
std::string ResultOf(const std::string& out) {
    std::istringstream lines(out);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"exchange_log\"") == std::string::npos &&
            line.find("\"port\"") == std::string::npos &&
            line.find("\"ms_per_request\"") == std::string::npos)
            kept += line + "\n";
    }
    return kept;
}

class CliNoiseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    // The runs compare results, so no run may see an earlier one's visit in the car's history.
    void SetUp() override { Folder.WriteFile("velmora.ini", "[OPTIONS]\nHISTORY_BACKEND=OFF\n"); }

    // The seed gives the stray bytes their values; the unit's reaction time moves its answers against
    // the times the stray bytes come.
    std::string Profile(int seed, int noiseMs) {
        const std::string name = "noise-" + std::to_string(seed) + "-" + std::to_string(noiseMs) + ".ini";
        const std::string reaction = std::to_string(2 + seed % 5) + ".5";
        return Folder
            .WriteFile(name, "[Unit]\nBase=hfm\nReactionMs=" + reaction +
                                 "\n[Engine]\nSeed=" + std::to_string(seed) +
                                 "\n[LineFaults]\nNoiseEveryMs=" + std::to_string(noiseMs) + "\n")
            .string();
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
};

TEST_F(CliNoiseTest, EveryCommandGivesTheCleanResultOrNamesTheLine) {
    struct TAdapter {
        const char* Name;
        const char* Prefix;
        std::vector<std::string> Options;
    };
    const TAdapter adapters[] = {
        {"cable", "SIM:", {"--adapter", "K"}},
        {"CarSoft", "SIMCARSOFT:", {"--adapter", "C"}},
        {"ELM327 as KKL", "SIMELM:", {"--adapter", "E", "--elm-as-kkl"}},
    };
    struct TCommand {
        const char* Name;
        int (*Run)(std::span<char* const>);
        std::vector<std::string> Args;
    };
    const TCommand commands[] = {
        {"ident", RunIdent, {"--json"}},
        {"faults", RunFaults, {"--json"}},
        {"erase", RunErase, {"--json"}},
        {"range", RunRange, {"0xF0", "0x00", "0x27", "--json"}},
    };
    int clean = 0, named = 0;
    for (const TAdapter& adapter : adapters) {
        for (const TCommand& command : commands) {
            for (int seed : {1, 7, 23, 40}) {
                auto run = [&](int noiseMs) {
                    std::vector<std::string> args = {"--port", adapter.Prefix + Profile(seed, noiseMs)};
                    args.insert(args.end(), adapter.Options.begin(), adapter.Options.end());
                    args.insert(args.end(), command.Args.begin(), command.Args.end());
                    return RunCommand(command.Run, args);
                };
                const TRun reference = run(0);
                ASSERT_EQ(reference.Exit, ExitOk) << adapter.Name << " " << command.Name << "\n"
                                                  << reference.Err;
                for (int noiseMs : {100, 300, 1500}) {
                    SCOPED_TRACE(std::string(adapter.Name) + " " + command.Name + " seed " +
                                 std::to_string(seed) + " noise every " + std::to_string(noiseMs) + " ms");
                    const TRun noisy = run(noiseMs);
                    if (noisy.Exit == ExitOk) {
                        ++clean;
                        EXPECT_EQ(ResultOf(noisy.Out), ResultOf(reference.Out)) << noisy.Err;
                    } else {
                        ++named;
                        EXPECT_EQ(noisy.Exit, ExitFailed);
                        EXPECT_NE(noisy.Err.find("Помехи на линии K"), std::string::npos) << noisy.Err;
                    }
                }
            }
        }
    }
    // Most runs read through the noise: a tool that gave up at every stray byte would pass the above.
    EXPECT_GT(clean, 3 * named) << clean << " clean, " << named << " named the line";
    RecordProperty("clean", clean);
    RecordProperty("named", named);
}

} // namespace
} // namespace velmora
