// What the main window asks of the engine connection: start it on "Connect", stop it, hand it the shown
// view list and the fault requests, and the few facts the window's message handlers read back.
// TWorkerConnection implements it over the worker; the tests use fakes. Window thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine_link/ecu_ident.h"
#include "faults/fault_context.h"
#include "faults/fault_memory.h"
#include "trip/trip_computer.h"

namespace velmora {

class TListParams;
class TListPrm;
class THistoryRecorder;
struct TActuatorState;

// The fault memory as the worker read it last, with what its decoding needs and the identification of
// the unit it came from (for the report).
struct TFaultData {
    TFaultBuf Buffer{};
    TFaultContext Context;
    TEcuIdent Ident;
};

struct TConnectOptions {
    bool CarSoft = false;     // the CarSoft 7.4 interface
    bool Elm327 = false;      // an ELM327 adapter
    bool ElmCommands = false; // the ELM327 in its own command mode (not as a plain cable)
    bool ActivationVisible = false;
    int ConnectLostTime = 0; // ms; the worker replaces values outside 700-1500
    int IdleTime = 0;        // ms
    std::string IdleCmd;
    bool WordCorrection = false;
    bool SmartEcuScan = false;
    std::string Client;
    int KLineBreakMs = 165; // wake-up break (ms): 165 at program start, 130 or 160 as the user chose
};

class TConnectionControl {
public:
    virtual ~TConnectionControl() = default;
    // The car's history the connection records into; nullptr when none is kept.
    virtual THistoryRecorder* History() const { return nullptr; }
    virtual void Start(const std::string& portName, char adapterKind, const TConnectOptions& options) = 0;
    virtual void Stop() = 0;
    virtual bool IsAlive() const = 0;
    // The worker is still in a connection (waking the unit, or ending): closing waits for this.
    virtual bool InConnection() const = 0;
    // Whether the engine unit answered its identification (read on ECU ready, WM_USER+2).
    virtual bool EcuConnected() const = 0;
    // The parameter set of the connection, or nullptr before one is loaded. Screens and graphs keep it
    // alive while the worker may poll their views.
    virtual std::shared_ptr<const TListParams> Params() const = 0;
    // The identification of the current (or last) connection's unit; empty before one answered.
    virtual TEcuIdent Ident() const { return {}; }
    // The name of the exchange log the connection writes (CM_SHOW_MESSAGE 240).
    virtual std::string LogFileName() const = 0;
    // The word-correction switch of the menu, also while a connection runs.
    virtual void SetWordCorrection(bool on) = 0;
    // Sets the worker's next state to normal polling (key P, every tab change); only while alive.
    virtual void RequestPolling() = 0;
    // The background-reading switch (1 on, 0 off); the worker answers with WM_USER+18.
    virtual void SetBackgroundReading(int on) = 0;
    // Holds background reads off for `seconds` (double-click on the status panel or the rate label).
    virtual void DeferBackgroundReads(int seconds, bool keepShortTimer) = 0;
    // Hands the worker the view list of the screen or graph that became visible (nullptr: none).
    virtual void RequestViewList(std::shared_ptr<TListPrm> list, bool graph) = 0;
    // The fault tab: read the fault memory and report it (WM_USER+10), or erase it.
    virtual void RequestFaultView() = 0;
    virtual void RequestErase() = 0;
    // The fault memory once the worker has read it completely; nullopt before.
    virtual std::optional<TFaultData> FaultData() const = 0;
    // The request fields of the actuator tests, adaptation and coding, which the worker runs at the
    // next connection start or in its polling cycles.
    virtual TActuatorState& Actuators() = 0;
    // Why this connection takes no commands for the unit (actuator tests, erase, adaptation, coding),
    // as the user is told; empty when it takes them (a live connection).
    virtual std::string RefusesCommands() const { return {}; }

    // The derived tabs: the smoothness test (state 9) with the cylinder each round starts at, and the
    // trip computer's measurement (state 10) with its readiness and sums. A connection without them
    // offers neither tab.
    virtual void RequestSmoothness() {}
    virtual void RequestMeasure() {}
    virtual void SetSelectedCylinder(int) {}
    virtual bool TripReady() const { return false; }
    virtual TTripSums TripSums() const { return {}; }
};

} // namespace velmora
