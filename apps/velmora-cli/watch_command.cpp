// velmora-cli watch and range: live parameters polled as a view list, and a memory range read through
// the worker's range-read state.
#include <iostream>
#include <map>
#include <memory>

#include "commands.h"
#include "json_output.h"
#include "lang/translated_format.h"
#include "log_convert/value_csv.h"
#include "params/list_prm.h"
#include "params/param_errors.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "platform/utf8_path.h"
#include "session.h"

namespace velmora {

namespace {

constexpr int DefaultWatchSeconds = 5;
constexpr int MaxWatchSeconds = 24 * 3600;
constexpr int BytesPerRangeLine = 16;

// A watched parameter: the view list polls it, the command prints its values.
class TWatchView : public TBaseParam {
public:
    using TBaseParam::TBaseParam;
    void UpdateView() override {}
};

int UsageError(std::string_view command, std::string_view usage, std::string_view problem) {
    std::cerr << "velmora-cli " << command << ": " << problem << "\n"
              << "usage: velmora-cli [--home DIR] [--lang ru|en|de] [--port PORT] [--adapter K|C|E] "
                 "[--elm-as-kkl] [--wifi HOST:PORT] "
              << usage << "\n";
    return ExitUsage;
}

// A watched number: N from the unit's parameter set, @N from its address set (read at the memory address
// the address set gives for N).
struct TWatched {
    int Number;
    bool ByAddress;
};

// "1,5,@12": parameter numbers 0..65535; a number not both ways.
std::optional<std::vector<TWatched>> ParseNumberList(std::string_view text) {
    std::vector<TWatched> numbers;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        const bool byAddress = item.starts_with('@');
        if (byAddress)
            item.remove_prefix(1);
        const std::optional<int> number = ParseNumber(item, 65535);
        if (!number)
            return std::nullopt;
        for (const TWatched& earlier : numbers)
            if (earlier.Number == *number && earlier.ByAddress != byAddress) // a value names its number only
                return std::nullopt;
        numbers.push_back({*number, byAddress});
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    if (numbers.empty())
        return std::nullopt;
    return numbers;
}

std::string ValueText(const TECUparam& param) {
    try {
        return param.FormatValue();
    } catch (const std::exception& error) {
        return error.what();
    }
}

} // namespace

int RunWatch(std::span<char* const> args) {
    constexpr std::string_view usage = "watch [@]N[,[@]N...] [--seconds S] [--csv FILE] [--json]";
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError("watch", usage, problem);
    const bool json = TakeJsonOption(rest);
    std::optional<std::vector<TWatched>> numbers;
    int seconds = DefaultWatchSeconds;
    TValueCsv csv;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "--csv") {
            if (i + 1 >= rest.size())
                return UsageError("watch", usage, "--csv wants a file name");
            if (!csv.Open(Utf8Path(rest[++i]), TValueCsv::TimeColumn)) {
                std::cerr << "velmora-cli watch: cannot write " << rest[i] << "\n";
                return ExitFailed;
            }
        } else if (rest[i] == "--seconds") {
            const std::optional<int> value =
                i + 1 < rest.size() ? ParseNumber(rest[++i], MaxWatchSeconds) : std::nullopt;
            if (!value || *value == 0)
                return UsageError("watch", usage, "--seconds wants a number of seconds");
            seconds = *value;
        } else if (!numbers) {
            numbers = ParseNumberList(rest[i]);
            if (!numbers)
                return UsageError(
                    "watch", usage,
                    "the parameters are numbers separated by commas (@N: by address; not N and @N)");
        } else {
            return UsageError("watch", usage, "cannot use " + std::string(rest[i]));
        }
    }
    if (!numbers)
        return UsageError("watch", usage, "which parameters?");

    TCliSession session("watch");
    if (!session.Connect(settings))
        return session.Fail("no connection to the engine unit");
    // Both sets are the connection's: they live as long as it does, and the view holds their records.
    const std::shared_ptr<const TListParams> params = session.Reader.Params();
    const std::shared_ptr<const TListParams> addresses = session.Reader.AddressSet();
    // Handed over as a graph would be: only these parameters are read, in turn.
    auto list = std::make_shared<TListPrm>();
    std::map<int, const TECUparam*> watched;
    for (const TWatched& item : *numbers) {
        const TListParams* set = item.ByAddress ? addresses.get() : params.get();
        TECUparam* param = set ? set->FindByNumber(item.Number) : nullptr;
        if (item.ByAddress && !addresses)
            return session.Fail("this unit has no address set (@" + std::to_string(item.Number) + ")");
        if (!param)
            return session.Fail(
                item.ByAddress
                    ? "parameter " + std::to_string(item.Number) + " is not in the address set of this unit"
                    : "parameter " + std::to_string(item.Number) + " is not in the set of this unit");
        list->Add(std::make_unique<TWatchView>(*param)).ParamNo = uint8_t(item.Number);
        watched[item.Number] = param;
    }
    if (!session.Reader.RequestViewList(list, TViewKind::Graph))
        return session.Fail("the link is lost");
    const uint32_t start = Clock().TickCount();
    const uint32_t duration = uint32_t(seconds) * 1000;
    long values = 0;
    session.StepUntil(
        [&](const TSessionMessage& m) {
            if (m.Msg == WM_USER + 8) {
                if (const auto found = watched.find(int(m.WParam)); found != watched.end()) {
                    const TECUparam* param = found->second;
                    const uint32_t ms = TicksSince(start, Clock().TickCount());
                    if (json)
                        PrintJsonLine(std::cout, WatchJson(ms, *param));
                    else
                        std::cout << FormatText("%7u %3d ", ms, int(m.WParam)) << ValueText(*param) << "\n"
                                  << std::flush;
                    csv.Add(ms, *param);
                    ++values;
                }
            }
            return false;
        },
        duration);
    if (csv.IsOpen() && !csv.Close())
        return session.Fail("cannot write " + csv.FileName().string());
    if (session.Ended() || TicksSince(start, Clock().TickCount()) < duration)
        return session.Fail("the connection ended");
    if (values == 0)
        return session.Fail("no value was read in " + std::to_string(seconds) + " s");
    return session.Finish();
}

int RunRange(std::span<char* const> args) {
    constexpr std::string_view usage = "range CMD FROM TO [--json]";
    TConnectSettings settings;
    std::vector<std::string_view> rest;
    if (std::string problem = ParseSessionOptions(args, settings, rest); !problem.empty())
        return UsageError("range", usage, problem);
    const bool json = TakeJsonOption(rest);
    if (rest.size() != 3)
        return UsageError("range", usage, "wants the command byte and the first and last address");
    const std::optional<int> cmd = ParseNumber(rest[0], 255), from = ParseNumber(rest[1], 255),
                             to = ParseNumber(rest[2], 255);
    if (!cmd || !from || !to || *from > *to)
        return UsageError("range", usage, "bytes 0-255 (or 0x00-0xFF), FROM not above TO");

    TCliSession session("range");
    if (!session.Connect(settings))
        return session.Fail("no connection to the engine unit");
    std::array<uint8_t, 256> bytes{};
    // The worker is stepped while the range read waits, but never past the end of its connection.
    bool running = true;
    try {
        if (!session.Reader.ReadRange(uint8_t(*cmd), uint8_t(*from), uint8_t(*to), bytes,
                                      [&] { running = session.Step(); }))
            return session.Fail("the link is lost");
    } catch (const std::exception& error) {
        return session.Fail(running ? error.what() : "the connection ended");
    }
    if (json) {
        TJson document = PortJson(settings.PortName, settings.Adapter);
        document["command"] = *cmd;
        document["from"] = *from;
        document["to"] = *to;
        document["bytes"] = std::vector<uint8_t>(bytes.begin() + *from, bytes.begin() + *to + 1);
        PrintJsonDocument(std::cout, document);
        return session.Finish();
    }
    for (int address = *from; address <= *to; ++address) {
        if ((address - *from) % BytesPerRangeLine == 0)
            std::cout << (address == *from ? "" : "\n")
                      << FormatText("%.2X %.2X:", unsigned(*cmd), unsigned(address));
        std::cout << FormatText(" %.2X", unsigned(bytes[size_t(address)]));
    }
    std::cout << "\n";
    return session.Finish();
}

} // namespace velmora
