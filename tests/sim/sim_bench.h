// A simulated car driven on its bus in virtual time, as a KKL tester would, for the simulator's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "sim/kline_shortcut.h"
#include "sim/sim_car.h"
#include "sim/sim_profile.h"
#include "sim/sim_unit.h"

namespace velmora::testing {

struct TSimBench {
    explicit TSimBench(std::string_view unit = "hfm") {
        std::string error;
        Car = TSimCar::Create(unit, error);
        EXPECT_TRUE(Car) << error;
        Tester = std::make_unique<TKLineTester>(Car->Bus());
    }
    explicit TSimBench(const TSimProfile& profile)
        : Car(std::make_unique<TSimCar>(profile)), Tester(std::make_unique<TKLineTester>(Car->Bus())) {}

    bool Wake(double breakMs = 165) { return Tester->WakeUp(NowMs, breakMs); }
    // A request pair with the command byte left out where the connection leaves it out for this family.
    std::optional<uint8_t> Request(uint8_t cmd, uint8_t param) {
        return Tester->Request(cmd, param, NowMs, !LeftOut(cmd, param));
    }
    bool LeftOut(uint8_t cmd, uint8_t param) const {
        const TSimProfile& p = Car->Profile();
        switch (p.Family) {
        case TSimFamily::HFM:
        case TSimFamily::PMS:
            return p.Supplier != TSimSupplier::VDO && cmd == 0x10 && param >= 0x41 && param != 0xAA;
        case TSimFamily::LH:
            return cmd == 0x00;
        case TSimFamily::EZ:
            return cmd == 0xFF;
        }
        return false;
    }
    void Wait(double ms) {
        NowMs += ms;
        Car->Bus().AdvanceTo(NowMs);
    }
    TSimUnit& Unit() { return Car->Unit(); }

    std::unique_ptr<TSimCar> Car;
    std::unique_ptr<TKLineTester> Tester;
    double NowMs = 1000;
};

} // namespace velmora::testing
