// velmora-cli trip: the trip computer as its tab runs it (the worker's measurement state), printing each
// trip log line as it is written and the nine figures at the end.
#include <ctime>
#include <iostream>

#include "commands.h"
#include "json_output.h"
#include "lang/translated_format.h"
#include "platform/clock.h"
#include "session.h"
#include "trip/trip_log.h"
#include "trip/trip_values.h"

namespace velmora {

namespace {

constexpr int MaxTripSeconds = 24 * 3600;
constexpr const char* TripUsage = "trip --seconds S [--json]";

int TripUsageError(std::string_view problem) {
    std::cerr << "velmora-cli trip: " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [--port PORT] [--adapter K|C|E] [--elm-as-kkl] "
                 "[--wifi HOST:PORT] [--client NAME] "
              << TripUsage << "\n";
    return ExitUsage;
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

} // namespace

int RunTrip(std::span<char* const> args) {
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return TripUsageError(problem);
    const bool json = TakeJsonOption(rest);
    std::optional<int> seconds;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--seconds" && i + 1 < rest.size())
            seconds = ParseNumber(rest[++i], MaxTripSeconds);
        else
            return TripUsageError("cannot use " + std::string(rest[i]));
    }
    if (!seconds || *seconds == 0)
        return TripUsageError("--seconds wants a number of seconds");

    TCliSession session("trip");
    if (!session.Connect(settings))
        return session.Fail("no connection to the engine unit");
    if (!session.Reader.Trip.Ready())
        return session.Fail("the unit's parameters give no trip computer");
    if (!session.Reader.RequestMeasure())
        return session.Fail("the link is lost");
    TTripLog log;
    std::vector<std::string> logLines; // with --json, for the document
    const uint32_t start = Clock().TickCount();
    const uint32_t duration = uint32_t(*seconds) * 1000;
    session.StepUntil(
        [&](const TSessionMessage& m) {
            if (m.Msg == WM_USER + 21) {
                const TTripValues values = TripValues(session.Reader.Trip.Sums());
                if (const std::optional<std::string> line =
                        log.AfterDisplay(values.TripTime, TripTexts(values), Clock().TickCount(), LocalNow(),
                                         settings.Client)) {
                    if (json)
                        logLines.push_back(*line);
                    else
                        std::cout << *line << "\n" << std::flush;
                }
            }
            return false;
        },
        duration);
    // The lines still held by a failed write are written now, or said to be lost.
    const bool logWritten = log.Finish(settings.Client);
    if (session.Ended() || TicksSince(start, Clock().TickCount()) < duration)
        return session.Fail("the connection ended");
    if (!logWritten)
        return session.Fail("the trip log could not be written");
    const TTripValues values = TripValues(session.Reader.Trip.Sums());
    if (values.TripTime == 0)
        return session.Fail(session.LineTroubles() > 0 ? "nothing was measured: answers were lost on the line"
                                                       : "nothing was measured");
    if (json) {
        PrintJsonDocument(std::cout,
                          TripJson(settings.PortName, settings.Adapter, *seconds, values, logLines));
        return session.Finish();
    }
    const TTripTexts texts = TripTexts(values);
    const std::pair<const char*, const std::string&> rows[] = {
        {"trip time", texts.Time},
        {"idle time", texts.TimeIdle},
        {"distance", texts.Distance},
        {"fuel", texts.Fuel},
        {"idle fuel", texts.FuelIdle},
        {"idle consumption, l/h", texts.IdleFE},
        {"current consumption, l/h", texts.LastFE},
        {"average speed", texts.SpeedAvg},
        {"trip consumption, l/100 km", texts.Common},
    };
    for (const auto& [label, text] : rows)
        std::cout << FormatText("%-27s", label) << text << "\n";
    return session.Finish();
}

} // namespace velmora
