// velmora-cli smooth: the cylinder smoothness test as its tab runs it (the worker's state 9), printing
// the result line of each round (deviation from the cylinder before, in %, in firing-order columns).
#include <iostream>

#include "commands.h"
#include "engine_link/ident_report.h"
#include "engine_link/link_shared.h"
#include "json_output.h"
#include "lang/translated_format.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "session.h"
#include "smoothness/smooth_cylinders.h"
#include "smoothness/smooth_display.h"

namespace velmora {

namespace {

constexpr int DefaultSmoothSeconds = 10;
constexpr int MaxSmoothSeconds = 3600;
constexpr const char* SmoothUsage = "smooth [--seconds S] [--json]";

int SmoothUsageError(std::string_view problem) {
    std::cerr << "velmora-cli smooth: " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [--port PORT] [--adapter K|C|E] [--elm-as-kkl] "
                 "[--wifi HOST:PORT] "
              << SmoothUsage << "\n";
    return ExitUsage;
}

} // namespace

int RunSmooth(std::span<char* const> args) {
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return SmoothUsageError(problem);
    const bool json = TakeJsonOption(rest);
    int seconds = DefaultSmoothSeconds;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--seconds" && i + 1 < rest.size()) {
            const std::optional<int> value = ParseNumber(rest[++i], MaxSmoothSeconds);
            if (!value || *value == 0)
                return SmoothUsageError("--seconds wants a number of seconds");
            seconds = *value;
        } else {
            return SmoothUsageError("cannot use " + std::string(rest[i]));
        }
    }

    TCliSession session("smooth");
    if (!session.Connect(settings))
        return session.Fail("no connection to the engine unit");
    const std::shared_ptr<const TListParams> params = session.Reader.Params();
    // Where the window would hide the tab, the command stops too.
    if (settings.Adapter == 'E' || !params || !params->FindByNumber(SmoothTabParam))
        return session.Fail("the unit's parameters give no smoothness test");
    const int cylinders = SmoothCylinders(*params);
    if (!session.Reader.RequestSmoothness())
        return session.Fail("the link is lost");
    // The run's heading as the tab writes it: date, car, unit and the cylinders over their columns.
    if (!json) {
        const TEcuIdent ident = session.Reader.Ident();
        for (const std::string& line : TSmoothLines::RunHeading(
                 {DateTimeText(), CarSummary(settings.Client, ident), UnitSummary(ident), cylinders}))
            std::cout << line << "\n";
    }
    TSmoothLines lines;
    TJson results = TJson::array();
    uint16_t rpm = 0;
    const uint32_t start = Clock().TickCount();
    const uint32_t duration = uint32_t(seconds) * 1000;
    session.StepUntil(
        [&](const TSessionMessage& m) {
            if (m.Msg == WM_USER + 19) {
                const uint32_t packed = uint32_t(m.WParam);
                rpm = SmoothRpm(packed);
                if (m.LParam != 0) // cylinder 0 only starts a round
                    results.push_back({{"cylinder", int(m.LParam)},
                                       {"deviation_pct", SmoothDeviation(packed) / 10.0},
                                       {"rpm", rpm}});
                for (const std::string& line :
                     lines.OnResult(int(m.LParam), SmoothDeviation(packed), rpm, cylinders, false).MemoLines)
                    if (!json)
                        std::cout << line << "\n" << std::flush;
            }
            return false;
        },
        duration);
    if (session.Ended() || TicksSince(start, Clock().TickCount()) < duration)
        return session.Fail("the connection ended");
    if (results.empty())
        return session.Fail(session.LineTroubles() > 0
                                ? "no result: answers were lost on the line"
                                : "no result: the engine must idle steadily below 1000 rpm");
    // The last round ends with the run, and the run's summary follows.
    if (!json) {
        for (const std::string& line : lines.OnResult(0, 0, rpm, cylinders, false).MemoLines)
            std::cout << line << "\n";
        if (const std::optional<std::string> summary = lines.Summary())
            std::cout << *summary << "\n";
    }
    if (json) {
        TJson document = PortJson(settings.PortName, settings.Adapter);
        document["seconds"] = seconds;
        document["cylinders"] = cylinders;
        const std::span<const uint8_t> order = SmoothColumns(cylinders);
        document["firing_order"] = std::vector<int>(order.begin(), order.end());
        document["results"] = std::move(results);
        document["rpm"] = rpm;
        PrintJsonDocument(std::cout, document);
    } else {
        std::cout << FormatText("%d rpm", int(rpm)) << "\n";
    }
    return session.Finish();
}

} // namespace velmora
