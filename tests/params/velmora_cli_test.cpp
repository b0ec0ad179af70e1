// Runs the velmora-cli executable as a user would and checks its three output lines and exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "temp_folder.h"

namespace velmora {
namespace {

struct TRun {
    int ExitCode;
    std::string Out, Err;
};

TRun RunCli(const std::string& arguments) {
    testing::TTempFolder folder;
    std::string command = std::string(VELMORA_CLI_PATH) + " --home '" + folder.Path().string() + "' " +
                          arguments + " >'" + (folder.Path() / "out").string() + "' 2>'" +
                          (folder.Path() / "err").string() + "'";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, folder.ReadFile("out"), folder.ReadFile("err")};
}

TEST(VelmoraCli, CalcPrintsTextFullValueAndLogText) {
    struct TCase {
        std::string Arguments;
        std::string Out;
    };
    const TCase cases[] = {
        {"calc --type B --calc -40 --izm '°' --name Coolant 130", "90°\n90\n90°     Coolant\n"},
        {"calc --type B --calc '(0;0)-(255;100)~1' 128", "50.2\n50.1960793\n50.2    \n"},
        {"calc --type W --calc /4 0x40 0x0C", "784\n784\n784     \n"},
        {"calc --type B --calc '' --mask '%.2x' 0xAB", "ab\n171\nab      \n"},
        {"calc --type I --calc '*2' 0 0x80", "-65536\n-65536\n-65536  \n"},
        {"calc --type X --calc '' --name 'IDLE;P/N|Drive;A/C' 5", "5\n5\n IDLE Drive A/C\n"},
    };
    for (const TCase& c : cases) {
        TRun run = RunCli(c.Arguments);
        EXPECT_EQ(run.ExitCode, 0) << c.Arguments << "\n" << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Arguments;
    }
}

TEST(VelmoraCli, MalformedInputExitsNonZeroWithTheReason) {
    TRun run = RunCli("calc --type B --calc '/1x' 5");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_NE(run.Err.find("CALC \"/1x\" of parameter 0: '1x' is not a valid number"), std::string::npos)
        << run.Err;

    run = RunCli("calc --type B --calc '' --mask '%.3d' --calc /10 5");
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("Format '%.3d' invalid"), std::string::npos) << run.Err;

    const std::string usageErrors[] = {"calc --type B 5", "calc --type B --calc -40 256",
                                       "calc --type B --calc -40", "calc --type B --calc -40 1 2 3 4 5",
                                       "frobnicate"};
    for (const std::string& arguments : usageErrors) {
        run = RunCli(arguments);
        EXPECT_EQ(run.ExitCode, 2) << arguments;
        EXPECT_NE(run.Err.find("usage: velmora-cli"), std::string::npos) << arguments;
    }
}

} // namespace
} // namespace velmora
