// A connection to a simulated unit through the real engine link, in virtual time, with the unit's
// built-in parameter set and the actuator request fields: what the worker hands the actuator functions.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "actuators/actuator_state.h"
#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "sim/sim_profile.h"
#include "sim/sim_unit.h"
#include "temp_folder.h"

namespace velmora::testing {

class TActuatorSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override { FreePort(); }

    // Opens "<kind>:<unit>" (or a profile written to the program folder), wakes and identifies the unit
    // and loads its built-in parameter set. The host's records start empty.
    void Connect(const std::string& unit, const std::string& profile = {}, const std::string& kind = "SIM") {
        const std::string source = profile.empty() ? unit : Folder.WriteFile(unit + ".ini", profile).string();
        Link.Reset();
        Link.UseElm = kind == "SIMELM";
        Link.PortName = kind + ":" + source;
        ASSERT_TRUE(Link.OpenLinkPort());
        ASSERT_TRUE(Link.WakeUp()) << Host.LogText();
        LoadParams();
        NewLogBytes();
        Host.Clear();
    }
    // The next connection on the same car, after the ignition was off for `offMs`.
    void Reconnect(uint32_t offMs) {
        ManualClock.Advance(offMs);
        Link.Reset();
        ASSERT_TRUE(Link.WakeUp()) << Host.LogText();
        LoadParams();
        NewLogBytes();
        Host.Clear();
    }
    void LoadParams() {
        Params.Clear();
        Params.LoadBuiltinSet(Link.Ident.UnitType, Link.Ident.VariantLetter);
    }
    TSimCar& Car() { return *dynamic_cast<TSimPort&>(*Port()).Car(); }
    TSimUnit& Unit() { return Car().Unit(); }
    double Signal(TSignal signal) { return Unit().Engine().Signal(signal); }
    // Reads parameter `number` of the set and returns its converted value.
    float Read(uint16_t number) {
        TECUparam* param = Params.FindByNumber(number);
        EXPECT_NE(param, nullptr) << number;
        if (!param)
            return 0;
        Link.ReadParameter(*param);
        return param->AsSingle();
    }
    // The bytes the exchange log received since the last call.
    std::string NewLogBytes() {
        Log.FlushLog();
        const std::string all = Folder.ReadFile(std::filesystem::path("LOGS") / Log.LogName());
        std::string fresh = all.substr(std::min(LogSeen, all.size()));
        LogSeen = all.size();
        return fresh;
    }
    // The adapter's text lines written so far to the trace beside the exchange log.
    std::string TraceText() {
        Log.FlushLog();
        return Folder.ReadFile(std::filesystem::path(Log.TracePath()).lexically_relative(Folder.Path()));
    }
    // The WM_USER+n messages posted, wParam only.
    std::vector<intptr_t> Posted(uint32_t n) const {
        std::vector<intptr_t> params;
        for (const TPosted& posted : Host.Posted()) {
            if (posted.Msg == WM_USER + n)
                params.push_back(posted.WParam);
        }
        return params;
    }
    bool Logged(std::string_view text) const {
        const std::vector<std::string> lines = Host.Logs();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    // Whether `lines` appear in the log in this order, each line exactly, with nothing between them.
    bool LoggedInOrder(const std::vector<std::string>& lines) const {
        const std::vector<std::string> logs = Host.Logs();
        return std::search(logs.begin(), logs.end(), lines.begin(), lines.end()) != logs.end();
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    THostRecorder Host;
    TTempFolder Folder;
    TExchangeLog Log;
    TEngineLink Link{Log};
    TListParams Params;
    TActuatorState State;
    TActuatorContext Context{Link, State, &Params};
    size_t LogSeen = 0;
};

// A request pair as the exchange log holds it on a KKL cable: command echo, complement, parameter echo,
// value.
inline std::string PairBytes(uint8_t cmd, uint8_t param, uint8_t value) {
    return std::string{char(cmd), char(0xFF - cmd), char(param), char(value)};
}

} // namespace velmora::testing
