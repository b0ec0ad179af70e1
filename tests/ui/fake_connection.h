// A connection that only records what the window asked of it, for the window's layout and language
// tests. Window thread only.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "actuators/actuator_state.h"
#include "params/param_list.h"
#include "ui/window/connection_control.h"
#include "ui_test_support.h"

namespace velmora::testing {

class TRecordingConnection : public TConnectionControl {
public:
    void Start(const std::string& port, char, const TConnectOptions&) override {
        StartedPort = port;
        ++Starts;
    }
    void Stop() override { ++Stops; }
    bool IsAlive() const override { return Alive; }
    bool InConnection() const override { return Alive; }
    bool EcuConnected() const override { return Ecu; }
    std::shared_ptr<const TListParams> Params() const override { return Borrow(Set); }
    TEcuIdent Ident() const override { return Unit; }
    std::string LogFileName() const override { return "LOGS/HFM_001.bin"; }
    void SetWordCorrection(bool) override {}
    void RequestPolling() override {}
    void SetBackgroundReading(int) override {}
    void DeferBackgroundReads(int, bool) override {}
    void RequestViewList(std::shared_ptr<TListPrm> list, bool) override { ViewList = list; }
    void RequestFaultView() override {}
    void RequestErase() override { ++Erases; }
    std::optional<TFaultData> FaultData() const override { return std::nullopt; }
    TActuatorState& Actuators() override { return Acts; }

    std::shared_ptr<TListPrm> ViewList;
    TActuatorState Acts;
    std::string StartedPort;
    int Starts = 0, Stops = 0, Erases = 0;
    bool Alive = false, Ecu = false;
    TListParams Set;
    TEcuIdent Unit;
};

} // namespace velmora::testing
