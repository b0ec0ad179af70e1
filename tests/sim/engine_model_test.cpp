#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/engine_model.h"
#include "sim/sim_profile.h"

namespace velmora {
namespace {

TSimProfile Profile(const char* unit) {
    TSimProfile p;
    std::string error;
    EXPECT_TRUE(LoadSimProfile(unit, p, error)) << error;
    return p;
}

std::vector<double> Samples(TEngineModel& e, TSignal s, double fromMs, double stepMs, int count) {
    std::vector<double> out;
    for (int i = 0; i < count; ++i) {
        e.AdvanceTo(fromMs + i * stepMs);
        out.push_back(e.Signal(s));
    }
    return out;
}

TEST(EngineModel, IdleFluctuatesAroundItsSpeedAndIsDeterministic) {
    TSimProfile p = Profile("hfm");
    TEngineModel a(p), b(p);
    std::vector<double> ra = Samples(a, TSignal::Rpm, 0, 100, 200);
    std::vector<double> rb = Samples(b, TSignal::Rpm, 0, 100, 200);
    EXPECT_EQ(ra, rb) << "the same profile and clock give the same engine";
    double mean = 0, var = 0;
    for (double r : ra)
        mean += r / ra.size();
    for (double r : ra)
        var += (r - mean) * (r - mean) / ra.size();
    EXPECT_NEAR(mean, 720, 25);
    EXPECT_GT(std::sqrt(var), 2) << "a real idle is never flat";
    EXPECT_LT(std::sqrt(var), 60);

    p.Seed = 99;
    TEngineModel c(p);
    EXPECT_NE(Samples(c, TSignal::Rpm, 0, 100, 200), ra);
}

TEST(EngineModel, ColdStartWarmsUp) {
    TSimProfile p = Profile("hfm-cold");
    TEngineModel e(p);
    e.AdvanceTo(0);
    e.AdvanceTo(1000);
    EXPECT_NEAR(e.Signal(TSignal::Coolant), 8, 1);
    EXPECT_EQ(int(e.Signal(TSignal::Flags25)) & 0x06, 0x06) << "post-start and warm-up";
    double coldIdle = e.Signal(TSignal::TargetRpm);
    EXPECT_GT(coldIdle, p.IdleRpm + 200);
    e.AdvanceTo(300000);
    EXPECT_GT(e.Signal(TSignal::Coolant), 40);
    EXPECT_EQ(int(e.Signal(TSignal::Flags25)) & 0x02, 0) << "post-start enrichment is over";
    e.AdvanceTo(900000);
    EXPECT_NEAR(e.Signal(TSignal::Coolant), 88, 1);
    EXPECT_NEAR(e.Signal(TSignal::TargetRpm), p.IdleRpm, 1);
}

TEST(EngineModel, DriveCycleGivesRoadSpeedGearsAndOverrun) {
    TEngineModel e(Profile("hfm-drive"));
    double topSpeed = 0, topRpm = 0;
    bool cutOff = false;
    for (double t = 0; t <= 140000; t += 100) {
        e.AdvanceTo(t);
        topSpeed = std::max(topSpeed, e.Signal(TSignal::Speed));
        topRpm = std::max(topRpm, e.Signal(TSignal::Rpm));
        cutOff = cutOff || (int(e.Signal(TSignal::Flags25)) & 0x08);
        if (e.Signal(TSignal::Speed) > 40) {
            EXPECT_GT(e.Signal(TSignal::Rpm), 1200) << "in gear at " << t;
        }
    }
    EXPECT_NEAR(topSpeed, 90, 2);
    EXPECT_GT(topRpm, 1500);
    EXPECT_LT(topRpm, 3500);
    EXPECT_TRUE(cutOff) << "fuel cut-off while slowing down";
}

TEST(EngineModel, CylinderPeriodsAreWrittenOncePerWorkingPeriod) {
    TSimProfile p = Profile("hfm-rough"); // cylinder 3 burns 2.5 % weaker
    TEngineModel e(p);
    e.AdvanceTo(0);
    e.AdvanceTo(2000);
    int changes = 0;
    uint16_t last = e.PeriodTicks(90);
    for (double t = 2000; t < 12000; t += 1) {
        e.AdvanceTo(t);
        if (e.PeriodTicks(90) != last)
            ++changes;
        last = e.PeriodTicks(90);
    }
    // One working period per two revolutions: about 720 / 120 = 6 writes a second.
    EXPECT_NEAR(changes / 10.0, e.Signal(TSignal::Rpm) / 120, 1);
    // 6 cylinders at ~720 rpm: 120000 / (720 * 6) = 27.8 ms, in 1/100 ms.
    EXPECT_NEAR(e.PeriodTicks(91), 2778, 150);
    // Cylinder 3 fires before 6: its longer stroke shows in parameter 95.
    double ratio = double(e.PeriodTicks(95)) / e.PeriodTicks(91);
    EXPECT_NEAR(ratio, 1.025, 0.015);
}

} // namespace
} // namespace velmora
