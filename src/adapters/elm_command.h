// The ELM327 command dialect: one text command and its answer up to the '>' prompt, with the link
// recovery of a silent adapter, and the set-up sequences built on it (engine link, plain K-line mode,
// engine wake-up through the adapter). Runs on the thread that owns the port: the worker for the
// engine link, the window thread for module dialogues; only the abort flag is written by others.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "links/base_port.h"

namespace velmora {

// State that lives as long as the adapter session, shared by all its commands.
struct TElmState {
    int FailureCount = 0;    // link failures so far, reported as "Сбой связи %d"
    bool Recovering = false; // a recovery is running: commands failing inside it start no other
    // Characters of the last complete answer to each command: a polled command's answer has the same
    // length every time, so its characters are awaited as one chunk instead of one wake-up each.
    std::unordered_map<std::string, int> AnswerChars;
};

// What a command needs: the port, the sink of the exchange log's text lines (may be empty), the
// process-wide abort flag that ends every wait, and the session state.
struct TElmContext {
    TBasePort& Port;
    std::function<void(std::string_view line)> Trace;
    const std::atomic<bool>& Abort;
    TElmState& State;
};

// Longest answer text a command returns (characters).
constexpr int ElmMaxAnswer = 255;

// Sends `command` + CR and collects the answer lines until the prompt. On entry `answer` is the text the
// answer must contain (empty: any answer); on return it is the answer: the non-empty lines joined by
// one blank, cut to `maxLength`, so that a one-line answer is exactly that line. With `showLog` every
// line goes to the trace as it comes; otherwise the lines are traced once one deviates from the
// expected text, or when the command fails. A silent or failing adapter is recovered (port reopened
// when it was silent, "ATRV" probes) and the command sent once more. False on failure or abort.
bool ElmCommand(TElmContext& elm, std::string_view command, std::string& answer, uint32_t timeoutMs,
                bool showLog = true, int maxLength = ElmMaxAnswer);

// What a failed engine wake-up through the adapter reports (translated before use).
constexpr const char* ElmConnectFailure = "Ошибка при подключении к ЭБУ через адаптер ELM327 velmora";

// Whether an answer is one of the adapter's standard failure answers ("UNABLE TO CONNECT", "NO DATA",
// "STOPPED", "BUS INIT: ...ERROR", "BUS ERROR", "CAN ERROR", ...).
bool IsElmFailureAnswer(std::string_view answer);

// Engine link set-up: 38400 baud, reset, echo, line feeds, spaces and headers off.
bool ElmInit(TElmContext& elm);
// Turns the adapter into a plain K-line cable ("USBKKL"); true when it confirmed.
bool ElmToKkl(TElmContext& elm);
// Wakes the engine unit through the adapter: "HFMCONNECT", else the standard "0100". When both fail,
// the failure is traced and logged and WM_USER+3 is posted.
bool ElmConnectEngine(TElmContext& elm);

} // namespace velmora
