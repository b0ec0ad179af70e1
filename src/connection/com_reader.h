// TComReader: the worker that owns the engine link for the whole life of the program. It runs each
// connection as a state machine whose next state the window writes (connect, polling, view polling, fault
// view, erase, range read), keeps the unit awake, notices a lost link and reports through the host's log
// and posted messages. The request operations, IsAlive, ReadRange, WaitReady and the read-back accessors
// are for the window thread; Step() is the worker's cycle (the thread calls it, a test or the
// command-line tool may call it on their own thread instead, but never both).
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "actuators/actuator_state.h"
#include "connection/session_events.h"
#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "faults/fault_context.h"
#include "faults/fault_memory.h"
#include "params/poll_cursor.h"
#include "smoothness/smooth_measure.h"
#include "trip/trip_computer.h"

namespace velmora {

class TECUparam;
class TEngineModeObserver;
class TListParams;
class TListPrm;

// Values of State and NextState.
namespace ReaderState {
constexpr uint8_t Terminate = 0;
constexpr uint8_t StoppedByUser = 1;
constexpr uint8_t StoppedOnError = 2;
constexpr uint8_t Connect = 3;
constexpr uint8_t RangeRead = 4;
constexpr uint8_t Polling = 5;
constexpr uint8_t FaultView = 6;
constexpr uint8_t Erase = 7;
constexpr uint8_t ViewPolling = 8;
constexpr uint8_t Smoothness = 9;
constexpr uint8_t Measure = 10;
} // namespace ReaderState

// What the connect command hands the worker.
struct TConnectSettings {
    std::string PortName;      // any name the port factory takes
    char Adapter = 'K';        // 'K' (or the settings' 'S') KKL cable, 'C' CarSoft 7.4, 'E' ELM327
    bool ElmAsKkl = false;     // an ELM327 read pair by pair rather than through its tables
    bool ActivationOn = false; // actuator tests requested at connection start
    std::string Client;        // the chosen client (folder in CLIENTS), empty for none
};

// A screen polls every record that is due plus its own every-cycle views; a graph only its views.
enum class TViewKind : uint8_t { Screen, Graph };

// Settings clamps (ms). A lost time outside 700-1500 gives 1200. An idle time outside 100-900 gives
// 1000; it is then raised to at least 500 and, last, cut to at most lostTime - 500.
uint32_t ConnectLostTimeFrom(int ms);
uint32_t IdleTimeFrom(int ms, uint32_t connectLostTime);
// "CMD PARAM" (decimal, each trimmed, the parameter at most 10 characters); text that does not convert
// leaves the default pair 16, 0.
std::pair<uint8_t, uint8_t> IdleCmdFrom(std::string_view text);

// Whether the unit takes the erase command: HFM and PMS units of the late and newest generations, and LH
// units. The others only show their fault memory.
bool CanEraseFaults(uint8_t unitType, uint8_t diagIndex);
// What the worker logs (and the window and the command-line tool tell the user) for such a unit.
inline constexpr const char* CannotEraseText = "Этот блок не поддерживает стирание ошибок!";

class TComReader {
public:
    static constexpr uint16_t NoPriority = 0xFFFF;
    static constexpr uint32_t FaultPeriodMs = 120000; // the fault memory is read again this often
    static constexpr uint32_t ShortPeriodMs = 15000;  // one background read of the own set this often
    static constexpr uint32_t FaultViewPeriodMs = 20000;
    static constexpr uint32_t ElmLostMs = 3000; // an ELM327 link counts as lost after this silence

    TComReader();
    // Ends the thread (Terminate) and writes out the exchange log.
    ~TComReader();
    TComReader(const TComReader&) = delete;
    TComReader& operator=(const TComReader&) = delete;

    // --- window thread ---
    // The connect command: hands over the port and adapter, resets the connection and resumes the
    // thread (starting it on first use); the thread then runs the connection until it ends and suspends.
    // False while a connection is alive (or after Terminate).
    bool Connect(const TConnectSettings& settings);
    // Prepares a connection like Connect without any thread: the caller then calls Step() itself.
    void PrepareConnect(const TConnectSettings& settings);
    // Ends the loop (state 0): raises the user-stop flag so that a wake-up ends, wakes a suspended
    // thread and waits for it. The port is freed and the exchange log written out. Safe to call twice.
    void Terminate();

    // Requests: each is ignored (false) while the link is not alive.
    // Also raises the user-stop flag, always: a wake-up in progress (not alive yet) ends on it.
    bool RequestStop();
    bool RequestPolling();
    bool RequestFaultView();
    bool RequestErase();
    // The view list of the screen or graph that has become visible; the worker keeps a reference while
    // it polls the list. nullptr hands back to normal polling.
    bool RequestViewList(std::shared_ptr<TListPrm> list, TViewKind kind);
    bool RequestSmoothness();
    bool RequestMeasure();
    // Reads (cmd, a) for a = from..to into `out[a]` through the worker. Waits, calling `pump` (the
    // window's message pump, or a caller's Step()) and sleeping 5 ms, until the worker is done; the
    // deadline of 500 ms moves to 200 ms after each progress. False when the link is not alive; throws
    // LinkException "Истек таймаут чтения!" on a missed deadline.
    bool ReadRange(uint8_t cmd, uint8_t from, uint8_t to, std::array<uint8_t, 256>& out,
                   const std::function<void()>& pump = {});
    // Waits (pump, 100 ms sleeps) until the state is below 3 or is normal polling; after 10000 ms logs
    // "WaitIdle exit on timeout!". True when polling.
    bool WaitReady(const std::function<void()>& pump = {});
    // False in states 0 to 3 (a connection that has ended, or one still waking the unit); otherwise
    // whether an answer came within the connection-lost time (3000 ms on an ELM327).
    bool IsAlive() const;
    // A connection is running on the thread, a wake-up or a link already counted lost included.
    bool InConnection() const;

    // Holds the background reads (fault re-read, and unless `keepShortTimer` the 15000 ms timer) off
    // until now + seconds × 1024 ms (seconds above 600 count as 600); a negative value ends a deferral.
    // The window's call is handed to the worker, which applies it at the start of its next cycle.
    void DeferBackgroundReads(int seconds, bool keepShortTimer);

    void SetIdleTime(int ms);
    void SetConnectLostTime(int ms);
    void SetIdleCmd(std::string_view text);
    uint32_t IdleTime() const { return IdleTimeMs; }
    uint32_t ConnectLostTime() const { return ConnectLostMs; }

    // Written directly by the window: parameter index (into Params()) to read first; NoPriority = none.
    std::atomic<uint16_t> PriorityParam{NoPriority};
    // The actuator requests (QueueAct, AdaptMode, CodingPending, CodingLoc; ActivationOn comes with
    // Connect): the window writes them, the worker runs them at connection start or in its polling
    // cycles.
    TActuatorState Actuators;

    // --- read back by the window (any thread) ---
    uint8_t State() const { return CurrentState.load(); }
    // The stop line of the last connection that ended ("Обмен остановлен." ...), empty before one.
    std::string StopText() const;
    // The wake-up's own failure text of the last connection, empty when the unit woke.
    std::string FailureText() const;
    // The identification of the current (or last) connection.
    TEcuIdent Ident() const;
    // The parameter set of the connection, or nullptr before one is loaded.
    std::shared_ptr<const TListParams> Params() const;
    // The unit's address set (the same numbers at memory addresses), or nullptr when it has none.
    std::shared_ptr<const TListParams> AddressSet() const;
    bool ParamsAvailable() const { return HasParams.load(); }
    // Tick at which the fault memory was last read completely; 0 before the first read.
    uint32_t LastFaultRead() const { return LastFaultReadTick.load(); }
    // A copy of the fault memory as two reads agreed on it (zero before such a read), and what its
    // decoding needs.
    TFaultBuf FaultBuffer() const;
    // Why the last fault read gave no list: its reads never agreed (the line, with the cells that
    // differed), translated; empty after a read that agreed.
    std::string FaultReadDisturbed() const;
    // Stray bytes and dropped pairs of the current (or last) connection.
    const TLineNoise& LineNoise() const { return Link.Noise; }
    std::string LineDisturbedText() const { return Link.LineDisturbedText(); }
    TFaultContext FaultContext() const;
    std::string LogName() const { return Log.LogName(); }
    std::string LogPath() const { return Log.LogPath(); }
    // The ELM327's text lines beside the log.
    std::string LogTracePath() const { return Log.TracePath(); }
    // Bytes of the last connection's exchange log could not be written (the user was told in the log).
    bool LogWriteFailed() const { return Log.WriteFailed(); }

    // Called by the value handler, on the worker thread, with every record read for the worker's own
    // polling and for a screen: where the trip computer will take its values. Set it only while no
    // connection runs. Empty: nothing is called.
    std::function<void(const TECUparam&)> ValueHook;
    // Told what the connection did (session_events.h), on the worker thread; nullptr for nobody. Set it
    // only while no connection runs.
    TSessionEvents* Events = nullptr;

    // The trip computer fed by the value handler (reset at each connection start); the window reads its
    // figures after WM_USER+21 and Ready() for the tab.
    TTripComputer Trip;
    // The smoothness test of state 9; the window writes its SelectedCylinder.
    TSmoothMeasure Smoothness;

    // --- worker cycle ---
    // One cycle of the loop: takes NextState, runs that state's step, and ends the connection when the
    // link is lost or the state is a stop. False when the connection ended (or the state is 0).
    bool Step();

private:
    bool WriteNextState(uint8_t state);
    // The worker's own choice of the next state at the end of a long step (the start, an erase, a range
    // read) that began while NextState was `during`: a request the window wrote meanwhile, and a stop
    // asked for while the link was not yet alive, win over it.
    void SetOwnNextState(uint8_t during, uint8_t next);
    void ResetConnection();
    void RunState(uint8_t state);
    void RunConnect();
    void StartConnection();
    bool ClientCheckPassed();
    void LoadParams();
    void EndConnection();
    // Outputs an actuator command changed go back to the unit's standard state before the link ends
    // (Stop, a lost link, closing); a link that fails on the way is reported with what to do.
    void ReturnActuators();
    bool IsAliveAt(uint8_t state) const;
    void ApplyDeferral(int seconds, bool keepShortTimer);
    void ReloadParamList();
    void Post(uint32_t n, intptr_t wParam);

    // polling (com_reader_polling.cpp)
    void PollingStep();
    bool PollOneParameter();
    void ViewPollingStep();
    void ValueHandler(TECUparam& param);
    void RangeStep();
    bool BackgroundReadDue();
    void ReadPriorityParam();

    // trip computer and smoothness test (com_reader_trip.cpp, com_reader_smoothness.cpp): one step of
    // state 10 or 9; false when it did not read (the cycle then runs a polling step).
    bool MeasureStep();
    bool SmoothnessStep();
    void ResetTrip();
    void TripValue(const TECUparam& param);
    void AddPeriodParams(TListParams& set);
    uint8_t MeasureTurn = 0; // which of the trip's values state 10 reads next

    // fault memory (com_reader_faults.cpp)
    // Reads the byte at the fault index; true when that completed the read.
    bool ReadFaultByte(bool erasePreRead = false);
    // Starts a fresh fault read and forgets the reads it would have been compared with.
    void RestartFaultRead();
    // A complete read of the fault memory: true when it agrees with an earlier one (the memory is then
    // published); otherwise the next read starts, and after the last one the disagreement is told.
    bool FaultReadAgrees();
    bool FaultReadDue();
    void FaultViewStep();
    void EraseStep();

    void ThreadLoop();
    TActuatorContext ActuatorContext();
    // Step 8 of the start: coding, adaptation or the actuator test mode, then polling.
    void StartFunctions();

    // A timer start of `tick`; 0 and 1 are the timers' own marks, so a real tick never takes them.
    static uint32_t TimerStart(uint32_t tick) { return tick < 2 ? 2 : tick; }

    TExchangeLog Log;
    TEngineLink Link{Log};
    TConnectSettings Settings;

    std::atomic<uint8_t> CurrentState{ReaderState::Connect};
    std::atomic<uint8_t> NextState{ReaderState::Connect};
    uint8_t PrevState = ReaderState::Connect;
    std::string StopReason;
    bool ConnectionOpen = false; // from the connect state until the end of the connection: the port is ours

    std::atomic<uint32_t> IdleTimeMs{500};
    std::atomic<uint32_t> ConnectLostMs{1200};
    std::atomic<uint16_t> IdleCmdPair{0x1000}; // command * 256 + parameter

    // A deferral asked for by the window: seconds, whether the short timer stays, and the flag.
    std::atomic<int> DeferSeconds{0};
    std::atomic<bool> DeferKeepShort{false};
    std::atomic<bool> DeferPending{false};

    // The connection's parameter set, its polling cursor and the engine-mode observer over it.
    mutable std::mutex SharedLock; // Set, ident copy, fault memory, stop texts
    std::shared_ptr<TListParams> Set;
    std::shared_ptr<TListParams> AddrSet;
    TEcuIdent PublishedIdent;
    std::string LastStopText;
    std::string LastFailureText;
    std::atomic<bool> HasParams{false};
    TPollCursor Cursor;
    std::unique_ptr<TEngineModeObserver> ModeObserver;

    // The view list: handed over by the window (Pending*), taken by the worker (Current*).
    std::mutex ViewLock;
    std::shared_ptr<TListPrm> PendingView;
    TViewKind PendingKind = TViewKind::Screen;
    bool ViewHandedOver = false;
    std::shared_ptr<TListPrm> CurrentView;
    TViewKind CurrentKind = TViewKind::Screen;

    // Fault memory and the background timers (ticks; FaultTick 0 = a read is due, 1 = start over).
    TFaultMemory Faults;
    // Complete reads of the fault memory since the last agreed one (at most AgreedReadAttempts), the
    // memory two of them agreed on, and the text of reads that never agreed (under SharedLock).
    std::vector<std::vector<uint8_t>> FaultReads;
    TFaultBuf AgreedFaults{};
    std::string FaultDisagreement;
    bool FaultDataHeld = false;
    uint32_t FaultTick = 0;
    uint32_t ShortTick = 0;
    std::atomic<uint32_t> LastFaultReadTick{0};

    // Range read.
    std::atomic<uint8_t> RangeCmd{0}, RangeFrom{0}, RangeTo{0};
    std::atomic<uint8_t> RangeDone{0};
    std::atomic<uint32_t> RangeProgress{0};
    std::array<uint8_t, 256> RangeBuf{};
    // Why the last range read has no result: its reads never agreed (under SharedLock); empty otherwise.
    std::string RangeDisagreement;
    // The state a range read returns to: the one it was requested from, never the range read itself.
    uint8_t RangeReturnState = ReaderState::Polling;

    // The thread and its suspension between connections.
    std::thread Thread;
    mutable std::mutex ResumeLock;
    std::condition_variable ResumeSignal;
    bool Resumed = false;
    bool Suspended = true; // the thread waits for Connect (or has not started)
    std::atomic<bool> Terminated{false};
    // RequestStop was called during this connection (also while the link was not yet alive).
    std::atomic<bool> StopAsked{false};
};

} // namespace velmora
