#include "adapters/elm_command.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/clock.h"
#include "platform/host.h"

namespace velmora {

namespace {

constexpr int ElmBaud = 38400;
// The longest a command waits on the port before it looks at the abort flag again (ms); bytes end the
// wait at once.
constexpr uint32_t AbortCheckMs = 10;
// Deadlines from the command's start once the answer shows the adapter busy on the bus (ms).
constexpr uint32_t BusInitDeadlineMs = 20000;
constexpr uint32_t DataErrorDeadlineMs = 10000;
// Recovery: pauses after closing and after reopening the port, the probe and its spacing (ms).
constexpr uint32_t ReopenPauseMs = 3000;
constexpr uint32_t ReopenPauseStepMs = 200;
constexpr uint32_t SettlePauseMs = 1000;
constexpr uint32_t SettlePauseStepMs = 100;
constexpr uint32_t ProbeTimeoutMs = 700;
constexpr uint32_t ProbeSpacingMs = 1000;
constexpr int ProbeAttempts = 3;

constexpr char Prompt = '>';
// Every answer ends with a line end, an empty line and the prompt ("\r\r>"): the characters that still
// come at the least after a chunk that ended inside a line, or after a single line end.
constexpr int CharsAfterLineText = 3;
constexpr int CharsAfterOneLineEnd = 2;
// The commands whose answer lengths are remembered; past it the memory starts again.
constexpr size_t RememberedCommands = 64;
// The adapter's answer when it leaves command mode for plain K-line mode; no prompt follows.
constexpr std::string_view KklModeAnswer = "EXEC_AS_KKL_MODE";

struct TElmStep {
    const char* Command;
    const char* Expected; // "" accepts any answer
    uint32_t TimeoutMs;
};

constexpr TElmStep EngineInitSteps[] = {
    {"ATZ", "", 3000}, {"ATE0", "OK", 3000}, {"ATL0", "OK", 3000}, {"ATS0", "OK", 3000}, {"ATH0", "OK", 3000},
};

constexpr TElmStep KklModeSteps[] = {
    {"ATZ", "", 3000},
    {"ATE1", "OK", 3000},
    {"USBKKL", "EXEC_AS_KKL_MODE", 3000},
};

// One command's answer as it comes in: the lines for the trace, the answer text and the line being
// received.
class TAnswer {
public:
    TAnswer(TElmContext& elm, std::string_view expected, bool showLog)
        : Elm(elm), Expected(expected), Streaming(showLog) {}

    void AddLine(const std::string& line) {
        Record(line.empty() ? std::string("\\r") : line);
        if (line.empty())
            return;
        if (!Text.empty())
            Text += ' ';
        Text += line;
        LastLine = line;
        // A line without the expected text is worth seeing in the log even when the command succeeds.
        if (!Streaming && !Expected.empty() && line.find(Expected) == std::string::npos)
            TraceAll();
    }

    // Scans one chunk; true when the prompt ended the answer.
    bool Scan(std::span<const uint8_t> chunk) {
        for (size_t i = 0; i < chunk.size(); ++i) {
            const char c = char(chunk[i]);
            TrailingLineEnds = (c == '\r' || c == '\n') ? TrailingLineEnds + 1 : 0;
            if (c == '\r' || c == '\n') {
                AddLine(Pending);
                Pending.clear();
            } else if (c == Prompt) {
                if (!Pending.empty()) {
                    AddLine(Pending);
                    Pending.clear();
                }
                // A prompt with more bytes behind it in the same chunk is a stale one (an earlier
                // command's answer came late): the bytes behind it are read on, not dropped.
                if (i + 1 == chunk.size())
                    return true;
            } else {
                Pending += c;
            }
        }
        return false;
    }

    // The adapter sends no prompt after switching to plain K-line mode, and maybe no line end either.
    bool LeftCommandMode() {
        if (Pending == KklModeAnswer) {
            AddLine(Pending);
            Pending.clear();
        }
        return LastLine == KklModeAnswer;
    }

    // The answer received so far, including a line still without its end.
    bool Holds(std::string_view text) const {
        return Text.find(text) != std::string::npos || Pending.find(text) != std::string::npos;
    }

    void EndOfAnswer() {
        if (!Pending.empty())
            AddLine(Pending);
        Pending.clear();
    }

    void TraceAll() {
        for (const std::string& line : Lines)
            Trace(line);
        Lines.clear();
        Streaming = true;
    }

    void Record(const std::string& line) {
        if (Streaming)
            Trace(line);
        else
            Lines.push_back(line);
    }

    const std::string& Joined() const { return Text; }

    // The characters that must still come before the prompt, judged from how the received text ends.
    int CharsStillComing() const {
        if (!Pending.empty())
            return CharsAfterLineText;
        return TrailingLineEnds == 1 ? CharsAfterOneLineEnd : 0;
    }

private:
    void Trace(const std::string& line) {
        if (Elm.Trace)
            Elm.Trace(line);
    }

    TElmContext& Elm;
    std::string Expected;
    bool Streaming;
    std::vector<std::string> Lines;
    std::string Text;
    std::string Pending;
    std::string LastLine;
    int TrailingLineEnds = 0;
};

// Bytes waiting before a command belong to nothing we asked for; left in place, a late prompt among
// them would end the next command's answer at once.
void DiscardInput(TBasePort& port) {
    // Bounded, so that a line that never falls silent cannot keep us here (at most 4096 bytes).
    constexpr int MaxChunks = 16;
    std::array<uint8_t, 256> scratch;
    for (int chunk = 0; chunk < MaxChunks && port.InQueue() > 0; ++chunk) {
        TPortBuffer buffer{scratch.data(), 0, 0, int32_t(scratch.size())};
        if (port.ReadBuf(buffer) <= 0)
            break;
    }
}

// Waits `totalMs` in steps of `stepMs`, letting the window repaint; false when the user stopped.
bool Pause(TElmContext& elm, uint32_t totalMs, uint32_t stepMs) {
    for (uint32_t waited = 0; waited < totalMs; waited += stepMs) {
        if (elm.Abort.load())
            return false;
        Host().ProcessMessages();
        Clock().Sleep(stepMs);
    }
    return !elm.Abort.load();
}

// After a chunk of an answer: sleeps while `coming` more characters are on their way at the adapter's
// baud rate, all but the last, so that the next read takes them as one chunk and the last one (the
// prompt, when the count is right) ends the wait at the moment it arrives. At most `maxMs`.
void AwaitChunk(TBasePort& port, int coming, uint32_t maxMs) {
    if (coming < 2)
        return;
    const int baud = port.Baud > 0 ? port.Baud : ElmBaud;
    constexpr int64_t BitsPerChar = 10;
    const int64_t us = std::min<int64_t>((coming - 1) * BitsPerChar * 1000000 / baud, int64_t(maxMs) * 1000);
    Clock().SleepMicros(us);
}

bool Send(TBasePort& port, std::string_view command) {
    std::string line(command);
    line += '\r';
    TPortBuffer buffer{reinterpret_cast<uint8_t*>(line.data()), 0, int32_t(line.size()),
                       int32_t(line.size())};
    return port.WriteBuf(buffer);
}

struct TOutcome {
    bool Success = false;
    bool AnyByte = false;
    bool Aborted = false;
};

// One command without recovery.
TOutcome Exchange(TElmContext& elm, std::string_view command, std::string& answer, uint32_t timeoutMs,
                  bool showLog, int maxLength) {
    const std::string expected = answer;
    TOutcome outcome;
    if (elm.Abort.load()) {
        outcome.Aborted = true;
        return outcome;
    }
    TAnswer reply(elm, expected, showLog);
    DiscardInput(elm.Port);
    const uint32_t start = Clock().TickCount();
    reply.Record(FormatText("%u ms: %s", start, std::string(command).c_str()));
    Send(elm.Port, command);

    bool prompt = false;
    bool commandModeLeft = false;
    uint32_t deadlineMs = timeoutMs;
    std::array<uint8_t, 256> chunk;
    int received = 0; // characters of this answer
    const auto remembered = elm.State.AnswerChars.find(std::string(command));
    const int expectedChars = remembered == elm.State.AnswerChars.end() ? 0 : remembered->second;
    while (!prompt && !commandModeLeft) {
        if (elm.Abort.load()) {
            outcome.Aborted = true;
            break;
        }
        int count = 0;
        if (elm.Port.InQueue() > 0) {
            TPortBuffer buffer{chunk.data(), 0, 0, int32_t(chunk.size())};
            count = elm.Port.ReadBuf(buffer);
        }
        if (count > 0) {
            received += count;
            outcome.AnyByte = true;
            prompt = reply.Scan(std::span<const uint8_t>(chunk.data(), size_t(count)));
            commandModeLeft = reply.LeftCommandMode();
            if (reply.Holds("BUS INIT"))
                deadlineMs = BusInitDeadlineMs;
            if (reply.Holds("<DATA ERROR"))
                deadlineMs = DataErrorDeadlineMs;
        }
        // Checked after reading too: an adapter that chatters without a prompt must not hold us forever.
        const uint32_t elapsedMs = TicksSince(start, Clock().TickCount());
        if (prompt || commandModeLeft || elapsedMs >= deadlineMs)
            break;
        if (count <= 0)
            elm.Port.WaitInput(std::min(AbortCheckMs, deadlineMs - elapsedMs));
        else
            AwaitChunk(elm.Port, std::max(reply.CharsStillComing(), expectedChars - received),
                       std::min(AbortCheckMs, deadlineMs - elapsedMs));
    }
    reply.EndOfAnswer();
    if (prompt) {
        if (elm.State.AnswerChars.size() >= RememberedCommands)
            elm.State.AnswerChars.clear();
        elm.State.AnswerChars[std::string(command)] = received;
    }

    const std::string& joined = reply.Joined();
    // Leaving command mode ends the answer as the prompt does; the expected text must still be in it, so
    // that only the command asking for plain K-line mode takes that answer as its success.
    outcome.Success =
        (commandModeLeft || prompt) && (expected.empty() || joined.find(expected) != std::string::npos);
    answer = joined.substr(0, size_t(std::max(maxLength, 0)));
    if (outcome.Success)
        return outcome;
    reply.TraceAll();
    if (outcome.Aborted)
        return outcome;
    if (!outcome.AnyByte) {
        const uint32_t waitedMs = TicksSince(start, Clock().TickCount());
        LogT("Нет ответа от ELM327 в течении %d sec", int((waitedMs + 500) / 1000));
    } else {
        LogT("Ошибка обмена с ELM327");
    }
    return outcome;
}

// Brings a failing adapter back and repeats the command once. A silent adapter gets its port closed
// and reopened first; then "ATRV" probes whether it answers at all.
bool Recover(TElmContext& elm, std::string_view command, const std::string& expected, std::string& answer,
             uint32_t timeoutMs, bool showLog, int maxLength, bool silent) {
    elm.State.Recovering = true;
    struct TRecoveryEnd {
        TElmState& State;
        ~TRecoveryEnd() { State.Recovering = false; }
    } recoveryEnd{elm.State};

    if (silent) {
        const int baud = elm.Port.Baud > 0 ? elm.Port.Baud : ElmBaud;
        elm.Port.Close();
        LogT("Порт закрыл.");
        ++elm.State.FailureCount;
        LogT("Сбой связи %d", elm.State.FailureCount);
        if (!Pause(elm, ReopenPauseMs, ReopenPauseStepMs))
            return false;
        const uint32_t openStart = Clock().TickCount();
        if (!elm.Port.Open(false, baud)) {
            LogT("Не удалось открыть порт.");
            return false;
        }
        LogT("Порт открыл. Время выполнения %d мс", int(TicksSince(openStart, Clock().TickCount())));
        if (!Pause(elm, SettlePauseMs, SettlePauseStepMs))
            return false;
    }
    for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
        if (attempt > 0 && !Pause(elm, ProbeSpacingMs, ProbeSpacingMs))
            return false;
        std::string probe;
        if (Exchange(elm, "ATRV", probe, ProbeTimeoutMs, showLog, ElmMaxAnswer).Success) {
            answer = expected;
            return Exchange(elm, command, answer, timeoutMs, showLog, maxLength).Success;
        }
        if (elm.Abort.load())
            return false;
    }
    return false;
}

void PrepareAdapterPort(TElmContext& elm) {
    elm.Port.SetParams(ElmBaud, ParityNone, OneStopBit);
    Clock().Sleep(100);
    DiscardInput(elm.Port);
}

bool RunSteps(TElmContext& elm, std::span<const TElmStep> steps) {
    for (const TElmStep& step : steps) {
        std::string answer = step.Expected;
        if (!ElmCommand(elm, step.Command, answer, step.TimeoutMs))
            return false;
    }
    return true;
}

} // namespace

bool ElmCommand(TElmContext& elm, std::string_view command, std::string& answer, uint32_t timeoutMs,
                bool showLog, int maxLength) {
    const std::string expected = answer;
    const TOutcome outcome = Exchange(elm, command, answer, timeoutMs, showLog, maxLength);
    if (outcome.Success)
        return true;
    if (outcome.Aborted || elm.State.Recovering)
        return false;
    return Recover(elm, command, expected, answer, timeoutMs, showLog, maxLength, !outcome.AnyByte);
}

bool IsElmFailureAnswer(std::string_view answer) {
    // The adapter's standard answers for a bus that did not wake or did not answer; "ERROR" also covers
    // "BUS INIT: ...ERROR", "BUS ERROR" and "CAN ERROR".
    constexpr std::string_view Failures[] = {"ERROR", "UNABLE TO CONNECT", "NO DATA", "STOPPED"};
    for (std::string_view failure : Failures)
        if (answer.find(failure) != std::string_view::npos)
            return true;
    return false;
}

bool ElmInit(TElmContext& elm) {
    PrepareAdapterPort(elm);
    return RunSteps(elm, EngineInitSteps);
}

bool ElmToKkl(TElmContext& elm) {
    PrepareAdapterPort(elm);
    if (!RunSteps(elm, KklModeSteps))
        return false;
    // The confirmation counts as soon as its text is in, but a line end may still follow it; that is no
    // K-line byte and must not reach the first K-line read (at 38400 baud a few characters take < 1 ms).
    constexpr uint32_t LineEndGraceMs = 10;
    Clock().Sleep(LineEndGraceMs);
    DiscardInput(elm.Port);
    return true;
}

bool ElmConnectEngine(TElmContext& elm) {
    constexpr uint32_t WakeUpTimeoutMs = 20000;
    std::string answer;
    // Any answer counts but "?" (the firmware lacks the command) and the adapter's failure answers.
    if (ElmCommand(elm, "HFMCONNECT", answer, WakeUpTimeoutMs) && answer != "?" &&
        !IsElmFailureAnswer(answer))
        return true;
    if (elm.Abort.load())
        return false;
    answer = "4100";
    if (ElmCommand(elm, "0100", answer, WakeUpTimeoutMs))
        return true;
    const std::string failure = Translate(ElmConnectFailure);
    if (elm.Trace)
        elm.Trace(failure);
    AddLog(failure);
    Host().PostMessage(WM_USER + 3, 0, 0);
    return false;
}

} // namespace velmora
