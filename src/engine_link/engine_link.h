// The engine link: the byte-pair protocol of the HFM, PMS, LH and EZ units on the K-line at 9600 baud,
// through a KKL cable (we drive every byte and read back our own echo) or through an ELM327 (the
// adapter runs the exchange; we send text commands). Opens the port, wakes and identifies the unit and
// performs the request pair that every engine function uses. Worker thread only: the worker owns one
// link object; failures raise LinkException.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "adapters/elm_command.h"
#include "engine_link/ecu_ident.h"
#include "engine_link/link_shared.h"
#include "engine_link/pair_check.h"
#include "links/line_lease.h"

namespace velmora {

class TBasePort;
class TECUparam;
class TExchangeLog;
class TListParams;

// Whether a request pair sends only its parameter byte: the unit supplies the command itself.
bool CommandLeftOut(uint8_t unitType, uint8_t supplier, uint8_t cmd, uint8_t param);

// What the wake-up reader saw.
struct TEchoResult {
    bool AnyByte = false; // an echo, an answer or unexpected bytes
    int LastByte = -1;    // the last byte received, -1 when none
};

// What the line did to the request pairs of a connection: bytes that belonged to no answer, and pairs
// that were not taken as readings because of them (or of a lost or wrong answer) and went again. The
// worker writes, the window reads.
struct TLineNoise {
    std::atomic<uint32_t> StrayBytes{0};
    std::atomic<uint32_t> DroppedPairs{0}; // tries of a pair whose answer was not used
    std::atomic<uint32_t> Repeats{0};      // tries sent again after a dropped one
    void Reset() {
        StrayBytes = 0;
        DroppedPairs = 0;
        Repeats = 0;
    }
};

class TEngineLink {
public:
    static constexpr size_t RxBufSize = 4096;

    explicit TEngineLink(TExchangeLog& log);

    // --- handed over by the connect command ---
    std::string PortName;       // as the port factory takes it
    bool UseElm = false;        // the port carries an ELM327
    bool UseElmTables = false;  // with UseElm: the adapter reads whole parameters in its own mode
    bool CodingPending = false; // a coding run waits: the identification reads no VIN
    // The screen's parameters: RequestTimed through an ELM327 reads a matching one whole. May be null.
    const TListParams* ParamList = nullptr;
    // The idle request and the silence (ms) after which KeepAlive sends it.
    uint8_t IdleCmd = 0x10;
    uint8_t IdleParam = 0x00;
    uint32_t IdleTime = 500;
    // The next request may go unanswered on purpose (an LH unit after its erase): no big time-out report
    // and no lines about the missing answer; the failure is still raised, for the caller to judge.
    bool SilenceExpected = false;

    // --- link state, reset before each wake-up ---
    TEcuIdent Ident;         // UnitType and Supplier decide the exchange rules
    uint8_t ParityCache = 0; // parity programmed into the port (0 none, 4 space)
    uint8_t LastCmdByte = 0;
    uint8_t LastParamByte = 0;
    std::array<uint8_t, RxBufSize> RxBuf{};
    int RxCount = 0;
    // Tick of the last good answer; the window reads it (IsAlive) while the worker writes it.
    std::atomic<uint32_t> LastRxTick{0};
    double LastRxMs = 0;    // high-resolution ms of the last read that returned both bytes
    bool PostTicks = false; // every completed request posts WM_USER+4
    // The message of the last failed open or wake-up, for whoever ends the connection.
    std::string FailureText;
    // Stray bytes and dropped pairs since the reset.
    TLineNoise Noise;
    // "Помехи на линии K: ..." with the counts of Noise, translated.
    std::string LineDisturbedText() const;

    // Clears the link and identification state and the user-stop flag. The link counts as silent
    // (10000 ms) until the wake-up marks its answer, so the first request never reports a big time-out.
    void Reset();

    // Takes the line (links/line_lease.h), then creates and opens the port at 9600 baud, 8N1, read
    // time-outs 300 ms + 1 ms/byte; with an ELM327 the adapter set-up decides the result. A line held by
    // another job is refused (FailureText says which job holds it) and its port left alone.
    bool OpenLinkPort();
    // Frees the port and gives the line back; nothing when this link does not hold the line (its open was
    // refused), so that it never frees a port another job uses. May throw what closing the port throws;
    // the line is given back all the same.
    void CloseLinkPort();
    bool HoldsLine() const { return bool(Line); }
    // Wakes the unit (KKL break and slow bytes, or the adapter's own wake-up) and identifies it. False,
    // with the reason logged and kept in FailureText, when the unit did not wake.
    bool WakeUp();

    void SendByte(uint8_t value, bool isCommand);
    // A wake-up byte (space parity), written when the tick count reaches `dueTick`.
    void SendByteAt(uint8_t value, uint32_t dueTick);
    // The bytes of one try of a request pair on a KKL line.
    struct TPairTry {
        std::vector<uint8_t> Sound;    // the echoes and answers taken so far
        std::vector<uint8_t> Received; // everything that came, for the trace of a dropped try
        int Strays = 0;
    };
    // Reads the echo and the answer of the byte just sent and judges them; the bytes of a sound answer
    // join pair.Sound. Logs the diagnostic line of an answer that is not sound.
    TAnswerVerdict ReadAnswer(uint8_t expected, bool isCommand, int attempt, TPairTry& pair);
    TEchoResult ReadEcho(uint8_t expectedEcho, uint32_t timeoutMs);

    // The request pair: the unit's value byte for (cmd, param).
    uint8_t Request(uint8_t cmd, uint8_t param, bool logIt = false);
    // The request pair with each byte sent at its tick (when that lies within the next 1000 ms).
    uint8_t RequestTimed(uint8_t cmd, uint8_t param, uint32_t cmdDueTick, uint32_t paramDueTick);
    // Reads the parameter's one to four raw bytes and hands them to it. False when no value came (an
    // ELM327 table read answered with no data or for another parameter): the record keeps its old bytes,
    // which are no reading of this request and must not be shown as one.
    bool ReadParameter(TECUparam& param);
    // The idle request, when no answer came for IdleTime (always when forced); otherwise sleeps 50 ms
    // if asked to.
    void KeepAlive(bool force, bool sleepIfIdle);
    // Waits `ms` while keeping the unit awake.
    void PauseAlive(uint32_t ms);
    // Through an ELM327: one adapter command whose answer must contain `expected`; false when it did not
    // come within `timeoutMs` (or the port is gone).
    bool ElmCommandOk(std::string_view command, std::string_view expected, uint32_t timeoutMs);

private:
    TLineLease Line; // while the link holds the line
    TBasePort& LinkPort();
    TElmContext ElmContext();
    void MarkAnswer();
    void PostTick();
    bool WakeUpKkl();
    bool WakeUpElm();
    void AfterWakeUp();
    uint8_t ElmRequest(uint8_t cmd, uint8_t param);
    bool ElmReadParameter(TECUparam& param);
    void SetData(TECUparam& param, std::array<uint8_t, 4> bytes, int count);
    // The request pair on a KKL line: sent and read until every answer is sound (the whole pair again
    // after a try that was not, once the line is quiet), at most a few times; then LinkException. Only
    // the bytes of the sound try enter the exchange log.
    uint8_t LinePair(uint8_t cmd, uint8_t param, bool leftOut, const std::function<void()>& beforeParam,
                     const std::function<void()>& beforeCmd = {});
    // After an early answer: whether another byte comes by the time the unit's own answer is due (it
    // joins pair.Received).
    bool LateAnswerCame(bool isCommand, TPairTry& pair);
    // Reads until the line has been quiet for a while; the bytes count as stray.
    void SettleLine(TPairTry& pair);
    // Counts a dropped try and writes its bytes to the trace beside the log.
    void NoteRepeat(uint8_t cmd, uint8_t param, const TPairTry& pair);

    TExchangeLog& Log;
    TElmState ElmState;
    TAnswerTiming Timing;
    double SentAtMs = 0; // high-resolution ms when the last byte was written
};

} // namespace velmora
