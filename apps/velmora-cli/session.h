// What the session commands of velmora-cli share: the common options (port, adapter, WiFi address,
// ELM327 mode, client) over the settings file, and a connection run through the worker TComReader,
// stepped on the tool's one thread (no second thread: the commands read the worker's results between
// steps, and Ctrl+C only raises flags). The worker's log lines go to stderr, the command's results to
// stdout. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "connection/com_reader.h"
#include "platform/host.h"

namespace velmora {

// Takes the common options out of `args` (over the settings' PORT, ADAPTER, CLIENT, WIFI_IP and
// WIFI_PORT) and leaves the rest in `rest`. An error text when an option is malformed or no port is
// known; empty when all is well.
std::string ParseSessionOptions(std::span<char* const> args, TConnectSettings& settings,
                                std::vector<std::string_view>& rest);

// "0x1F" or "31"; nothing when the text is not a number within [0, max].
std::optional<int> ParseNumber(std::string_view text, int max);

// A posted window message as the session saw it.
struct TSessionMessage {
    uint32_t Msg;
    intptr_t WParam;
    intptr_t LParam = 0;
};

class TCliSession {
public:
    // `command` names the command in error lines.
    explicit TCliSession(std::string_view command);
    // Ends a connection still running and restores the host and the interrupt handler.
    ~TCliSession();
    TCliSession(const TCliSession&) = delete;
    TCliSession& operator=(const TCliSession&) = delete;

    // Runs the connect state; true when the worker polls afterwards. A connection that ended in its
    // start (a failed wake-up, an unknown unit, a function run at start) returns false.
    bool Connect(const TConnectSettings& settings);
    // Steps until `seen` accepts a message posted by the worker (true), or the connection ends, `ms`
    // pass or the user presses Ctrl+C (false).
    bool StepUntil(const std::function<bool(const TSessionMessage&)>& seen, uint32_t ms);
    // Whether the worker has logged `text` (translated first) in this session.
    bool Logged(std::string_view text) const;

    // Stops a running connection as the user would and returns ExitOk.
    int Finish();
    // Stops a running connection, prints "velmora-cli <command>: <why>" and the stop text to stderr and
    // returns ExitFailed.
    int Fail(std::string_view why);

    TComReader Reader;

private:
    class THostTap : public THost {
    public:
        void AddLog(std::string_view line) override;
        TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) override;
        void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;
        std::vector<std::string> Lines;
        std::vector<TSessionMessage> Posted;
        THost* Console = nullptr;
    };

    void EndConnection();

    std::string Command;
    THostTap Tap;
    size_t PostedSeen = 0;
};

} // namespace velmora
