// TWorkerConnection: the main window's engine connection over the worker TComReader, which it owns
// from the window's creation to the end of the program. Window thread only; the worker reports through
// the host (posted WM_USER+n messages and log lines).
#pragma once

#include <atomic>
#include <memory>

#include "history/session_recorder.h"
#include "ui/window/connection_control.h"

namespace velmora {

class TComReader;
struct TActuatorState;

class TWorkerConnection : public TConnectionControl {
public:
    TWorkerConnection();
    // Ends the worker's loop and waits for its thread.
    ~TWorkerConnection() override;

    void Start(const std::string& portName, char adapterKind, const TConnectOptions& options) override;
    // Asks the worker to stop; a wake-up still in progress ends on the user-stop flag.
    void Stop() override;
    bool IsAlive() const override;
    bool InConnection() const override;
    bool EcuConnected() const override;
    std::shared_ptr<const TListParams> Params() const override;
    TEcuIdent Ident() const override;
    std::string LogFileName() const override;
    // Kept for the menu's check mark only: the exchange does not change with it.
    void SetWordCorrection(bool on) override { WordCorrection = on; }
    void RequestPolling() override;
    // The worker has no reading of its own to switch: the switch is answered at once with WM_USER+18,
    // which turns the rate display on or off.
    void SetBackgroundReading(int on) override;
    void DeferBackgroundReads(int seconds, bool keepShortTimer) override;
    void RequestViewList(std::shared_ptr<TListPrm> list, bool graph) override;
    void RequestFaultView() override;
    void RequestErase() override;
    std::optional<TFaultData> FaultData() const override;

    TActuatorState& Actuators() override;
    void RequestSmoothness() override;
    void RequestMeasure() override;
    void SetSelectedCylinder(int cylinder) override;
    bool TripReady() const override;
    TTripSums TripSums() const override;

    TComReader& Reader() const { return *Worker; }
    THistoryRecorder* History() const override { return Recorder.get(); }

private:
    // Made before the worker and freed after it: the worker's last report goes to it.
    std::unique_ptr<THistoryRecorder> Recorder;
    std::unique_ptr<TComReader> Worker;
    std::atomic<bool> WordCorrection{false};
};

} // namespace velmora
