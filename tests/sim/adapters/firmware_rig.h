// Test rig: a simulated car with one adapter in front of it, driven from the PC's side in virtual time.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "links/base_port.h"
#include "sim/adapters/adapter_kind.h"
#include "sim/sim_car.h"

namespace velmora::testing {

class TFirmwareRig {
public:
    TFirmwareRig(TSimAdapterKind kind, std::string_view unit = "hfm") {
        std::string error;
        Car = TSimCar::Create(unit, error);
        EXPECT_NE(Car, nullptr) << error;
        Adapter = MakeSimAdapter(kind, *Car);
        Adapter->HostLine(SimAdapterBaud(kind), 0, OneStopBit, Now);
    }

    // Sends `bytes` at the current time and returns everything the adapter answers, the clock moved on to
    // the last answer byte.
    std::string Send(std::string_view bytes) {
        for (char c : bytes)
            Adapter->HostByte(uint8_t(c), Now);
        return Drain();
    }
    std::string Drain() {
        std::string out;
        for (double next = Adapter->NextOutputMs(); next != NeverMs; next = Adapter->NextOutputMs()) {
            Now = std::max(Now, next);
            for (const TRxByte& b : Adapter->Output(Now))
                out += char(b.Value);
        }
        return out;
    }
    // Lets the car run on its own for `ms`.
    void Idle(double ms) {
        Now += ms;
        Adapter->Output(Now);
    }

    std::unique_ptr<TSimCar> Car;
    std::unique_ptr<TSimAdapter> Adapter;
    double Now = 0;
};

} // namespace velmora::testing
