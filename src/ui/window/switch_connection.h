// TSwitchConnection: the one connection the main window talks to, forwarding every call to the live
// engine connection or, while a recording is open, to its replay. The window and its tabs keep their
// reference to this object, so switching touches none of them. Window thread only.
#pragma once

#include "ui/window/connection_control.h"

namespace velmora {

class TSwitchConnection : public TConnectionControl {
public:
    explicit TSwitchConnection(TConnectionControl& live) : Live(live), Target(&live) {}

    // Calls go to `replay` from now on (nullptr: to the live connection again).
    void Use(TConnectionControl* replay) { Target = replay ? replay : &Live; }
    bool Replaying() const { return Target != &Live; }
    TConnectionControl& LiveConnection() const { return Live; }

    THistoryRecorder* History() const override { return Target->History(); }
    void Start(const std::string& portName, char adapterKind, const TConnectOptions& options) override {
        Target->Start(portName, adapterKind, options);
    }
    void Stop() override { Target->Stop(); }
    bool IsAlive() const override { return Target->IsAlive(); }
    // A live worker still ending keeps the line whatever is shown: closing and Connect wait for it.
    bool InConnection() const override { return Target->InConnection() || Live.InConnection(); }
    bool EcuConnected() const override { return Target->EcuConnected(); }
    std::shared_ptr<const TListParams> Params() const override { return Target->Params(); }
    TEcuIdent Ident() const override { return Target->Ident(); }
    std::string LogFileName() const override { return Target->LogFileName(); }
    void SetWordCorrection(bool on) override { Live.SetWordCorrection(on); }
    void RequestPolling() override { Target->RequestPolling(); }
    void SetBackgroundReading(int on) override { Target->SetBackgroundReading(on); }
    void DeferBackgroundReads(int seconds, bool keepShortTimer) override {
        Target->DeferBackgroundReads(seconds, keepShortTimer);
    }
    void RequestViewList(std::shared_ptr<TListPrm> list, bool graph) override {
        Target->RequestViewList(std::move(list), graph);
    }
    void RequestFaultView() override { Target->RequestFaultView(); }
    void RequestErase() override { Target->RequestErase(); }
    std::optional<TFaultData> FaultData() const override { return Target->FaultData(); }
    // The request fields stay the live worker's: a replay runs no actuator, adaptation or coding.
    TActuatorState& Actuators() override { return Live.Actuators(); }
    std::string RefusesCommands() const override { return Target->RefusesCommands(); }
    void RequestSmoothness() override { Target->RequestSmoothness(); }
    void RequestMeasure() override { Target->RequestMeasure(); }
    void SetSelectedCylinder(int cylinder) override { Target->SetSelectedCylinder(cylinder); }
    bool TripReady() const override { return Target->TripReady(); }
    TTripSums TripSums() const override { return Target->TripSums(); }

private:
    TConnectionControl& Live;
    TConnectionControl* Target;
};

} // namespace velmora
