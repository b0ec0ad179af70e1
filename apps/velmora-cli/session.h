// What the session commands of velmora-cli share: the common options (port, adapter, WiFi address,
// ELM327 mode, client) over the settings file, and a connection run through the worker TComReader,
// stepped on the tool's one thread (no second thread: the commands read the worker's results between
// steps, and Ctrl+C, SIGTERM and SIGHUP only raise flags, so the connection ends and its log is
// written). The worker's log lines go to stderr, the command's results to stdout; a session keeps only
// the messages it has not looked at yet and the last log lines, so a long watch stays small. Main
// thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "connection/com_reader.h"
#include "history/session_recorder.h"
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

    // Log lines a session keeps for Logged (the start-up's lines are all within them).
    static constexpr size_t KeptLines = 2000;
    // How long (ms, on the clock) a stop may take before the connection is cut off.
    static constexpr uint32_t StopWaitMs = 5000;

    // Runs the connect state; true when the worker polls afterwards. A connection that ended in its
    // start (a failed wake-up, an unknown unit, a function run at start) returns false.
    bool Connect(const TConnectSettings& settings);
    // One worker cycle; false once the connection has ended.
    bool Step();
    // Steps until `seen` accepts a message posted by the worker (true), or the connection ends, `ms`
    // pass or a signal asks the tool to end (false). Messages looked at are forgotten.
    bool StepUntil(const std::function<bool(const TSessionMessage&)>& seen, uint32_t ms);
    // Whether the worker has logged `text` (translated first) in the session's last KeptLines lines.
    bool Logged(std::string_view text) const;
    // A signal (Ctrl+C, SIGTERM, SIGHUP) asked the tool to end.
    bool Interrupted() const;
    // Posted messages not yet looked at, and log lines, held by the session (bounded).
    size_t Held() const { return Tap.Posted.size() + Tap.Lines.size(); }
    // The connection has ended by itself (a lost link), not by the command.
    bool Ended() const { return !Running; }
    // Lines of the worker's log that tell of a bad line: answers lost or wrong, echoes missing, the
    // link re-established or lost.
    int LineTroubles() const { return Tap.Troubles; }

    // Stops a running connection as the user would and returns ExitOk; ExitFailed (with the reason on
    // stderr) when the exchange log could not be written, or when the connection had ended by itself
    // (the link's own reason) and the command did not `expectEnd` (a function run in the start-up ends
    // its connection when done).
    int Finish(bool expectEnd = false);
    // Stops a running connection, prints "velmora-cli <command>: <why>" and the stop text to stderr and
    // returns ExitFailed. A connection that has ended already keeps its own stop text.
    int Fail(std::string_view why);

    // The car's history, told what the connection does (null when it is switched off). Made before the
    // worker, so that it outlives the worker's last report.
    std::unique_ptr<THistoryRecorder> History;
    TComReader Reader;

private:
    class THostTap : public THost {
    public:
        void AddLog(std::string_view line) override;
        TMsgResult MessageBox(std::string_view text, TMsgKind kind, TMsgButtons buttons) override;
        void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) override;
        std::deque<std::string> Lines;
        std::deque<TSessionMessage> Posted;
        THost* Console = nullptr;
        std::vector<std::string> TroubleMarks; // translated, made when the session starts
        int Troubles = 0;
    };

    // Stops a running connection as the user would; a text for stderr when it would not stop and was
    // cut off, empty otherwise.
    std::string EndConnection();
    // What a noisy line did to this connection (stray bytes, dropped pairs), for stderr; empty on a
    // clean line.
    std::string LineNoiseText() const;
    // The exchange log's write failure, for stderr; empty when it was written.
    std::string LogFailure() const;

    std::string Command;
    THostTap Tap;
    bool Running = false; // the connection has not ended yet
};

} // namespace velmora
