// The drive cycle a profile chooses, the model's own fuel and distance totals, and injectors that give
// no fuel (faulty by the profile or switched off by the actuator channel).
#include <gtest/gtest.h>

#include <string>

#include "sim/engine_model.h"
#include "sim/sim_profile.h"

namespace velmora {
namespace {

TSimProfile Profile(const std::string& text) {
    TSimProfile p;
    std::string error;
    EXPECT_TRUE(ParseSimProfile(text, p, error)) << error;
    return p;
}

TEST(DriveCycleProfile, LegsAndFaultyInjectorsAreReadOrRefused) {
    const TSimProfile p = Profile("[Unit]\nBase=hfm\n[Engine]\nStart=drive\nDriveCycle=10:0, 20:60 ,5:0\n"
                                  "FaultyInjectors=2,5\nInjectorFlow=220\nInjectorDeadMs=0.5\n");
    ASSERT_EQ(p.DriveCycle.size(), 3u);
    EXPECT_EQ(p.DriveCycle[1].Seconds, 20);
    EXPECT_EQ(p.DriveCycle[1].SpeedKmh, 60);
    EXPECT_EQ(p.FaultyInjectors, (std::vector<int>{2, 5}));
    EXPECT_EQ(p.InjectorFlow, 220);
    EXPECT_EQ(p.InjectorDeadMs, 0.5);
    for (const char* bad : {"DriveCycle=10", "DriveCycle=0:50", "DriveCycle=10:-5", "DriveCycle=10:300",
                            "DriveCycle=", "FaultyInjectors=7", "FaultyInjectors=0"}) {
        TSimProfile q;
        std::string error;
        EXPECT_FALSE(ParseSimProfile(std::string("[Engine]\n") + bad + "\n", q, error)) << bad;
    }
}

TEST(DriveCycleModel, FollowsTheLegsAndCountsWhatItBurnsAndDrives) {
    TEngineModel e(Profile("[Unit]\nBase=hfm\n[Engine]\nStart=drive\nDriveCycle=10:0, 40:36, 20:0\n"));
    e.AdvanceTo(0);
    double expectedFuel = 0, expectedDistance = 0;
    // Summed from the signals the unit reports, every 10 ms: six injectors, one opening each per two
    // revolutions, fuel flowing 0.4 ms after each opening at 198 cm³/min (3.3 mm³/ms).
    for (double t = 10; t <= 70000; t += 10) {
        e.AdvanceTo(t);
        const double openMs = e.Signal(TSignal::InjMs) - 0.4;
        if (openMs > 0)
            expectedFuel += e.Signal(TSignal::Rpm) / 60 * 0.01 * 3 * openMs * 3.3;
        expectedDistance += e.Signal(TSignal::Speed) / 3.6 * 0.01;
        if (t == 9000) {
            EXPECT_EQ(e.Signal(TSignal::Speed), 0) << "the first leg stands";
        }
        if (t == 45000) {
            EXPECT_NEAR(e.Signal(TSignal::Speed), 36, 1) << "the second leg cruises at 36 km/h";
        }
    }
    EXPECT_NEAR(e.DistanceM(), expectedDistance, 0.5);
    EXPECT_NEAR(e.FuelBurntMm3(), expectedFuel, expectedFuel * 1e-6);
    // 36 km/h is 10 m/s: 40 s less the 14.4 s of pulling away at 2.5 km/h per s, half of that, and the
    // braking at 3.5 km/h per s.
    EXPECT_NEAR(e.DistanceM(), 10 * (40 - 14.4) + 10 * 14.4 / 2 + 10 * (36 / 3.5) / 2, 5);
    EXPECT_GT(e.FuelBurntMm3(), 10000);
}

TEST(DriveCycleModel, InjectorsWithoutFuelBurnNothingAndSlowTheirStroke) {
    TEngineModel even(Profile("[Unit]\nBase=hfm\n"));
    TEngineModel faulty(Profile("[Unit]\nBase=hfm\n[Engine]\nFaultyInjectors=2\n"));
    TEngineModel switched(Profile("[Unit]\nBase=hfm\n"));
    switched.SetInjectorsOff(0x04); // cylinder 2, as the actuator channel 0xD2 sends it
    for (TEngineModel* e : {&even, &faulty, &switched}) {
        e->AdvanceTo(0);
        e->AdvanceTo(20000);
    }
    // Five of six cylinders get fuel (and the idle control opens up a little to make up for the lost one).
    EXPECT_LT(faulty.FuelBurntMm3(), even.FuelBurntMm3() * 0.9);
    EXPECT_NEAR(faulty.FuelBurntMm3(), switched.FuelBurntMm3(), even.FuelBurntMm3() * 0.02);
    // The unit stores cylinder 2's working period under parameter 89 + 4 (cylinder 4 fires after 2).
    for (TEngineModel* e : {&faulty, &switched})
        EXPECT_GT(e->PeriodTicks(93), e->PeriodTicks(91) * 1.05);
    EXPECT_LT(even.PeriodTicks(93), even.PeriodTicks(91) * 1.02);
    // A faulty injector stays faulty when the actuator test mode ends.
    faulty.ResetActuators();
    faulty.AdvanceTo(21000);
    EXPECT_GT(faulty.PeriodTicks(93), faulty.PeriodTicks(91) * 1.05);
}

} // namespace
} // namespace velmora
