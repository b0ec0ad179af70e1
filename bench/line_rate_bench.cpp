// The line-rate benchmark: the simulated engine unit behind each simulated adapter, served in real time
// on a pseudo-terminal in strict mode (or on loopback TCP for the WiFi ELM327), polled through the real
// port and engine link code for a fixed number of requests. For each adapter path it prints the time per
// request measured and the line limit computed from the same timing (frames at 9600 baud of 10 and 11
// bits, the unit's reaction time, the adapter's serial characters and its own delay), their ratio (for
// the mean and for the median request: the median shows the tool's pace on a busy machine, where the
// mean also carries the moments the scheduler gave the processor to others), and the CPU time the
// polling thread spent per request (the simulator's thread not counted). A raw tester on the same
// pseudo-terminal, with nothing between an answer and its next byte, shows what the pseudo-terminal and
// the simulator cost on this machine.
//
// Usage: velmora-line-bench [REQUESTS]   (default 300 per path; a Release build gives meaningful figures)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "links/port_factory.h"
#include "links/wifi_port.h"
#include "params/ecu_param.h"
#include "platform/clock.h"
#include "raw_kline_tester.h"
#include "sim/adapters/elm_firmware.h"
#include "sim/adapters/sim_server.h"
#include "sim/sim_car.h"
#include "sim/sim_profile.h"

namespace {

using namespace velmora;

constexpr const char* Unit = "hfm";
constexpr int KLineBaud = 9600;
// Frame lengths in bits: a command byte and every answer 8N1, a parameter byte with space parity.
constexpr double CommandFrameBits = 10;
constexpr double ParameterFrameBits = 11;
constexpr double AnswerFrameBits = 10;
// The live data the requests read (channel 0x55 of the HFM): a one-byte and a two-byte cell, at addresses
// other than 0x00, whose parameter byte costs the link a pause of its own.
constexpr uint8_t LiveCommand = 0x55;
constexpr uint8_t OneByteAddress = 0x05;
constexpr uint8_t TwoByteAddress = 0x01;
constexpr int WarmUpRequests = 20;
// What the tool aims at: the share of the line limit it reaches (cable against an exact line, the
// ELM327 against its own timing), and the most of a core the polling may take (%).
constexpr double CableTargetRatio = 0.98;
constexpr double ElmTargetRatio = 0.95;
constexpr double CpuLimitPercent = 1.0;

double FrameMs(double bits, int baud) {
    return bits * 1000.0 / baud;
}

// One request pair on the K-line: the command byte, its complement, the parameter byte and the value,
// each answer after the unit's reaction time.
double PairLimitMs(double reactionMs) {
    return FrameMs(CommandFrameBits + AnswerFrameBits + ParameterFrameBits + AnswerFrameBits, KLineBaud) +
           2 * reactionMs;
}

// One ELM327 command: its characters and CR at the adapter's rate, the adapter's delay, the K-line pairs
// behind it, then the answer line, its CR, the empty line's CR and the prompt.
double ElmLimitMs(size_t commandChars, size_t answerChars, int pairs, double reactionMs) {
    const double charMs = CharMs(ElmBaud);
    return double(commandChars + 1) * charMs + ElmAnswerDelayMs + pairs * PairLimitMs(reactionMs) +
           double(answerChars + 3) * charMs;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

struct TPath {
    const char* Name;
    TSimAdapterKind Adapter;
    bool Tcp;
    bool UseElm;
    bool UseElmTables;
    char ParamType; // 'B' one byte, 'W' two bytes
    double LimitMs; // per request
};

struct TFigures {
    bool Ok = false;
    std::string Failure;
    double MeanMs = 0;   // per request pair
    double MedianMs = 0; // per request pair; on a busy machine the steadier figure
    double CpuMsPerRequest = 0;
};

// Serves the unit, connects through the engine link and times `requests` reads of the parameter.
TFigures Measure(const TPath& path, int requests) {
    TFigures figures;
    TSimServer server;
    std::string error;
    TSimServerOptions options;
    options.Unit = Unit;
    options.Adapter = path.Adapter;
    options.Tcp = path.Tcp;
    options.TcpPort = 0;
    options.Strict = true;
    if (!server.Start(options, error)) {
        figures.Failure = error;
        return figures;
    }
    std::thread serving([&] { server.Run(); });

    TExchangeLog log;
    TEngineLink link(log);
    link.Reset();
    link.UseElm = path.UseElm;
    link.UseElmTables = path.UseElmTables;
    link.PortName = server.Where();
    if (path.Tcp) {
        TWiFiSettings wifi = WiFiSettings();
        const std::string where = server.Where();
        wifi.WiFiAddress = where.substr(0, where.rfind(':'));
        wifi.WiFiPortNumber = std::atoi(where.substr(where.rfind(':') + 1).c_str());
        SetWiFiSettings(wifi);
        link.PortName = "WIFI";
    }
    TECUparam param(1);
    param.CmdHi = LiveCommand;
    param.CmdLo = path.ParamType == 'B' ? OneByteAddress : TwoByteAddress;
    param.ParamType = path.ParamType;
    try {
        if (!link.OpenLinkPort() || !link.WakeUp()) {
            figures.Failure = "no connection: " + link.FailureText;
        } else {
            for (int i = 0; i < WarmUpRequests; ++i)
                link.ReadParameter(param);
            // A cable reads a two-byte parameter in two request pairs; an ELM327 table read is one command.
            const double perParameter = !path.UseElmTables && path.ParamType == 'W' ? 2 : 1;
            std::vector<double> takes;
            takes.reserve(size_t(requests));
            const double cpu0 = ThreadCpuMs();
            const double t0 = Clock().PerfMs();
            for (int i = 0; i < requests; ++i) {
                const double start = Clock().PerfMs();
                link.ReadParameter(param);
                takes.push_back((Clock().PerfMs() - start) / perParameter);
            }
            const double wallMs = Clock().PerfMs() - t0;
            const double cpuMs = ThreadCpuMs() - cpu0;
            std::nth_element(takes.begin(), takes.begin() + ptrdiff_t(takes.size() / 2), takes.end());
            figures.MedianMs = takes[takes.size() / 2];
            figures.MeanMs = wallMs / (requests * perParameter);
            figures.CpuMsPerRequest = cpuMs / (requests * perParameter);
            figures.Ok = true;
        }
    } catch (const std::exception& failure) {
        figures.Failure = failure.what();
    }
    FreePort();
    server.Stop();
    serving.join();
    return figures;
}

// The same line without the tool: an ideal raw tester on the simulator's pseudo-terminal.
double MeasureRaw(int requests, std::string& error) {
    TSimServer server;
    TSimServerOptions options;
    options.Unit = Unit;
    options.Strict = true;
    if (!server.Start(options, error))
        return -1;
    std::thread serving([&] { server.Run(); });
    const double medianMs = RawPairMedianMs(server.Where(), LiveCommand, OneByteAddress, requests, error);
    server.Stop();
    serving.join();
    return medianMs;
}

} // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::atoi(argv[1]) : 300;
    if (requests <= 0) {
        std::fprintf(stderr, "usage: velmora-line-bench [REQUESTS]\n");
        return 2;
    }
    std::string error;
    std::unique_ptr<TSimCar> car = TSimCar::Create(Unit, error);
    if (!car) {
        std::fprintf(stderr, "unit %s: %s\n", Unit, error.c_str());
        return 1;
    }
    const double reactionMs = car->Profile().ReactionMs;
    const double pairMs = PairLimitMs(reactionMs);
    // "HFMDATA5505" answered "R550542"; "9505" answered "950542", "9501" answered "95014242".
    const double hfmDataMs = ElmLimitMs(11, 7, 1, reactionMs);
    const double tableOneMs = ElmLimitMs(4, 6, 1, reactionMs);
    const double tableTwoMs = ElmLimitMs(4, 8, 2, reactionMs);
    const TPath paths[] = {
        {"cable, one-byte parameters", TSimAdapterKind::Kkl, false, false, false, 'B', pairMs},
        {"cable, two-byte parameters", TSimAdapterKind::Kkl, false, false, false, 'W', pairMs},
        {"ELM327 table reads, one byte", TSimAdapterKind::Elm, false, true, true, 'B', tableOneMs},
        {"ELM327 table reads, two bytes", TSimAdapterKind::Elm, false, true, true, 'W', tableTwoMs},
        {"ELM327 HFMDATA", TSimAdapterKind::Elm, false, true, false, 'B', hfmDataMs},
        {"WiFi ELM327 table reads", TSimAdapterKind::Elm, true, true, true, 'B', tableOneMs},
        {"WiFi ELM327 HFMDATA", TSimAdapterKind::Elm, true, true, false, 'B', hfmDataMs},
    };

    std::printf("velmora line-rate benchmark: %d requests per path, unit %s (reaction %.1f ms),\n"
                "simulator in this process on a pseudo-terminal in strict mode or on loopback TCP\n\n",
                requests, Unit, reactionMs);
    std::printf(
        "limit/mean and limit/med are to reach the target; CPU/limit is the polling thread's share of a "
        "core over the %.0f %% limit (<= 1 meets it)\n\n",
        CpuLimitPercent);
    std::printf("%-31s %9s %9s %10s %9s %9s %7s %10s %9s %9s\n", "path", "limit ms", "mean ms", "limit/mean",
                "median ms", "limit/med", "target", "CPU us/req", "CPU %core", "CPU/limit");
    int failures = 0;
    std::string rawError;
    if (const double rawMs = MeasureRaw(requests, rawError); rawMs > 0)
        std::printf("%-31s %9.3f %9s %10s %9.3f %9.3f\n", "raw pty tester (not the tool)", pairMs, "", "",
                    rawMs, pairMs / rawMs);
    else
        std::printf("%-31s failed: %s\n", "raw pty tester (not the tool)", rawError.c_str());
    for (const TPath& path : paths) {
        const TFigures f = Measure(path, requests);
        if (!f.Ok) {
            std::printf("%-31s failed: %s\n", path.Name, f.Failure.c_str());
            ++failures;
            continue;
        }
        // Measured against limit as rates: the limit's time over the time measured.
        const double cpuPercent = 100.0 * f.CpuMsPerRequest / f.MeanMs;
        std::printf("%-31s %9.3f %9.3f %10.3f %9.3f %9.3f %7.2f %10.1f %9.2f %9.2f\n", path.Name,
                    path.LimitMs, f.MeanMs, path.LimitMs / f.MeanMs, f.MedianMs, path.LimitMs / f.MedianMs,
                    path.Adapter == TSimAdapterKind::Kkl ? CableTargetRatio : ElmTargetRatio,
                    f.CpuMsPerRequest * 1000.0, cpuPercent, cpuPercent / CpuLimitPercent);
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
