// The subcommands of velmora-cli. Each takes the arguments after its name (and the options before it)
// and returns the exit code: 0 done, 1 the input did not convert or the unit could not be identified,
// 2 the command line was wrong.
#pragma once

#include <span>
#include <string_view>

namespace velmora {

constexpr int ExitOk = 0;
constexpr int ExitBadInput = 1;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

struct TCommand {
    std::string_view Name;
    std::string_view Usage;
    int (*Run)(std::span<char* const> args);
};

// calc --type T --calc TEXT [--name N] [--mask M] [--izm U] B0 [B1 B2 B3]
int RunCalc(std::span<char* const> args);
// [--port PORT] [--adapter K|C|E] [--elm-as-kkl] [--wifi HOST:PORT] ident
int RunIdent(std::span<char* const> args);
// The session commands take the same options, and --client NAME (session.h).
// faults [--stored-only] [--lang ru|en|de]
int RunFaults(std::span<char* const> args);
// erase
int RunErase(std::span<char* const> args);
// report [--stored-only] [--lang ru|en|de]
int RunReport(std::span<char* const> args);
// watch N[,N...] [--seconds S] [--csv FILE]
int RunWatch(std::span<char* const> args);
// range CMD FROM TO
int RunRange(std::span<char* const> args);
// act CMD VALUE
int RunAct(std::span<char* const> args);
// adapt reset|reset2|throttle
int RunAdapt(std::span<char* const> args);
// code HHH MMM LLL
int RunCode(std::span<char* const> args);
// trip --seconds S
int RunTrip(std::span<char* const> args);
// smooth [--seconds S]
int RunSmooth(std::span<char* const> args);
// The line commands take --port and --adapter over the settings (line_command.h).
// adapter-test [--carsoft] / impulse MS / elm-to-kkl / slow-codes [--erase] [--adapt] [--bosch93]
int RunAdapterTest(std::span<char* const> args);
int RunImpulse(std::span<char* const> args);
int RunElmToKkl(std::span<char* const> args);
int RunSlowCodes(std::span<char* const> args);
// [OPTIONS] module egas|srs|egs [--erase] [--lang ru|en|de]
int RunModule(std::span<char* const> args);
// convert FILE.bin|FOLDER [--only-new] [--csv] [--ecu-ini FILE]
int RunConvert(std::span<char* const> args);
// replay FILE.bin [--speed X | --fast] [--from S] [--to S] [--csv OUT]
int RunReplay(std::span<char* const> args);
// history [--vin VIN | --client NAME] [--json] / history --rebuild
int RunHistory(std::span<char* const> args);

} // namespace velmora
