// velmora-cli replay: a recorded session (an exchange log with its times) played back as `watch`
// printed it live: each value with its time, number and text, as a CSV or JSON lines on request, in real
// time, faster, or as fast as possible.
#include <charconv>
#include <cmath>
#include <iostream>
#include <optional>

#include "commands.h"
#include "json_output.h"
#include "lang/translated_format.h"
#include "line_command.h"
#include "log_convert/value_csv.h"
#include "params/ecu_param.h"
#include "platform/clock.h"
#include "platform/utf8_path.h"
#include "recording/recording.h"
#include "recording/recording_player.h"

namespace velmora {

namespace {

constexpr std::string_view ReplayUsage =
    "replay FILE.bin [--speed X | --fast] [--from S] [--to S] [--csv OUT] [--json]";
// Speeds beyond this are what --fast is for.
constexpr double MaxSpeed = 1000.0;
// The longest sleep between two looks at the clock and the interrupt flag (ms).
constexpr uint32_t MaxWaitMs = 50;

int ReplayUsageError(std::string_view problem) {
    std::cerr << "velmora-cli replay: " << problem << "\nusage: velmora-cli [--home DIR] " << ReplayUsage
              << "\n";
    return ExitUsage;
}

std::optional<double> ParseDecimal(std::string_view text, double max) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < 0 ||
        value > max)
        return std::nullopt;
    return value;
}

std::string ValueText(const TECUparam& param) {
    try {
        return param.FormatValue();
    } catch (const std::exception& error) {
        return error.what();
    }
}

struct TReplayOptions {
    std::string File;
    double Speed = 1.0;
    bool Fast = false;
    std::optional<double> From, To; // s
    std::string Csv;
    bool Json = false;
};

// The options, or an error text.
std::string ParseReplayOptions(std::span<char* const> args, TReplayOptions& options) {
    bool speedGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--fast") {
            options.Fast = true;
        } else if (arg == "--json") {
            options.Json = true;
        } else if (arg == "--speed") {
            const std::optional<double> speed = hasValue ? ParseDecimal(args[++i], MaxSpeed) : std::nullopt;
            if (!speed || *speed <= 0)
                return "--speed wants a factor above 0 (1 = real time, at most 1000)";
            options.Speed = *speed;
            speedGiven = true;
        } else if (arg == "--from" || arg == "--to") {
            const std::optional<double> seconds = hasValue ? ParseDecimal(args[++i], 1e7) : std::nullopt;
            if (!seconds)
                return std::string(arg) + " wants a number of seconds";
            (arg == "--from" ? options.From : options.To) = *seconds;
        } else if (arg == "--csv") {
            if (!hasValue)
                return "--csv wants a file name";
            options.Csv = args[++i];
        } else if (options.File.empty() && !arg.starts_with("--")) {
            options.File = arg;
        } else {
            return "cannot use " + std::string(arg);
        }
    }
    if (options.File.empty())
        return "which recording (FILE.bin)?";
    if (speedGiven && options.Fast)
        return "--speed and --fast exclude each other";
    if (options.From && options.To && *options.From > *options.To)
        return "--from is after --to";
    return {};
}

} // namespace

int RunReplay(std::span<char* const> args) {
    TReplayOptions options;
    if (std::string problem = ParseReplayOptions(args, options); !problem.empty())
        return ReplayUsageError(problem);

    TRecording recording;
    if (!recording.Load(Utf8Path(options.File))) {
        std::cerr << "velmora-cli replay: " << recording.Error() << "\n";
        return ExitFailed;
    }
    if (recording.TimesEstimated())
        std::cerr << recording.TimesText() << "\n";
    TValueCsv csv;
    if (!options.Csv.empty() && !csv.Open(Utf8Path(options.Csv), TValueCsv::TimeColumn)) {
        std::cerr << "velmora-cli replay: cannot write " << options.Csv << "\n";
        return ExitFailed;
    }

    // The replay's clock counts from where the live watch counted: polling began (the recording's start
    // when the times do not say).
    const int64_t origin = std::max<int64_t>(recording.PollingBeganMs(), 0);
    const int64_t from = origin + (options.From ? std::llround(*options.From * 1000) : 0);
    const int64_t to =
        options.To ? origin + std::llround(*options.To * 1000) : int64_t(recording.DurationMs());
    const uint32_t fromMs = uint32_t(std::clamp<int64_t>(from, 0, UINT32_MAX));
    const uint32_t toMs = uint32_t(std::clamp<int64_t>(to, 0, UINT32_MAX));

    long values = 0;
    auto show = [&](const TRecordedPair& pair) {
        if (pair.TimeMs < fromMs || pair.TimeMs > toMs || !TRecording::ApplyValue(pair))
            return;
        const TECUparam& param = *pair.Record;
        const int64_t ms = int64_t(pair.TimeMs) - origin;
        if (options.Json)
            PrintJsonLine(std::cout, WatchJson(uint32_t(std::max<int64_t>(ms, 0)), param));
        else
            std::cout << FormatText("%7lld %3d ", static_cast<long long>(ms), int(param.Number))
                      << ValueText(param) << "\n";
        csv.Add(uint64_t(std::max<int64_t>(ms, 0)), param);
        ++values;
    };

    TRecordingPlayer player(recording);
    if (fromMs > 0)
        player.Seek(fromMs - 1);
    const TInterruptStop stop;
    if (options.Fast) {
        player.AdvanceTo(toMs, show);
    } else {
        player.Play(options.Speed, Clock().TickCount());
        while (!player.AtEnd() && player.PositionMs() < toMs && !stop.Flag().load()) {
            player.Update(Clock().TickCount(), show);
            std::cout << std::flush;
            // Until the next pair is due, but looking at the interrupt flag now and then.
            const size_t next = player.NextPair();
            if (next >= recording.Pairs().size() || recording.Pairs()[next].TimeMs > toMs)
                break;
            const double wait = double(recording.Pairs()[next].TimeMs - player.PositionMs()) / player.Speed();
            Clock().Sleep(uint32_t(std::clamp(std::ceil(wait), 1.0, double(MaxWaitMs))));
        }
    }
    std::cout << std::flush;
    if (csv.IsOpen() && !csv.Close()) {
        std::cerr << "velmora-cli replay: cannot write " << options.Csv << "\n";
        return ExitFailed;
    }
    if (stop.Flag().load()) {
        std::cerr << "velmora-cli replay: stopped by " << stop.Reason() << "\n";
        return ExitFailed;
    }
    if (values == 0) {
        std::cerr << "velmora-cli replay: the recording holds no parameter value in that time\n";
        return ExitFailed;
    }
    return ExitOk;
}

} // namespace velmora
