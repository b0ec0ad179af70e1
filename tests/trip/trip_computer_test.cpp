// The trip computer's integer arithmetic against figures worked out by hand from its formulas, its
// accounting over a sequence of samples, and the texts the tab shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "host_recorder.h"
#include "params/ecu_param.h"
#include "params/param_ids.h"
#include "params/param_list.h"
#include "params/unit_codes.h"
#include "platform/clock.h"
#include "trip/trip_computer.h"
#include "trip/trip_values.h"

namespace velmora {
namespace {

constexpr uint32_t Max32 = std::numeric_limits<uint32_t>::max();

TEST(FuelQuantum, MatchesTheWorkedSteps) {
    const TInjectorSetup sixCyl{3, 125, 198, 50}; // 3 openings per revolution, 0.4 ms dead time
    const TInjectorSetup fourCyl{2, 125, 198, 50};
    struct TCase {
        const char* What;
        TInjectorSetup Setup;
        uint32_t Dt;
        int64_t Rpm;
        uint32_t Inj;
        uint32_t Mm3;
    };
    const TCase cases[] = {
        // x: 300→75 (e2); ×720 → 3375 (e6); ×325 → 34277 (e11); ×198 → 26511 (e19); doubled back to
        // 212088 (e16); (212088 + 3437) / 6875 = 31.35. Exactly: 30.89 mm³.
        {"idle, 100 ms", sixCyl, 100, 720, 375, 31},
        // 3000→375 (e3); ×720 → 16875 (e7); ×325 → 21423 (e15); ×198 → 16569 (e23); ×128 = 2120832;
        // 2124269 / 6875 = 308.98.
        {"idle, one second", sixCyl, 1000, 720, 375, 308},
        // 2000→125 (e4); ×3000 → 46875 (e7); ×1200 → 54931 (e17); ×198 → 42485 (e25); ×512 = 21752320;
        // 21755757 / 6875 = 3164.5. Exactly: 3168 mm³.
        {"10 ms at 3000 rpm", fourCyl, 1000, 3000, 1250, 3164},
        {"injection at the dead time", sixCyl, 1000, 720, 50, 0},
        {"injection below the dead time", sixCyl, 1000, 720, 10, 0},
        {"injection at the dead time for an hour", sixCyl, 3600000, 6000, 50, 0},
        {"injection below the dead time, longest interval", sixCyl, Max32,
         std::numeric_limits<int32_t>::max(), 49, 0},
        {"engine stopped", sixCyl, 1000, 0, 375, 0},
        {"negative speed", sixCyl, 1000, -720, 375, 0},
        {"no time", sixCyl, 0, 720, 375, 0},
        // Far beyond 32 bits of mm³: the top value, no wrap and no undefined shift.
        {"all inputs at their top", TInjectorSetup{4, 101, 198, 40}, Max32,
         std::numeric_limits<int32_t>::max(), 65535, Max32},
        {"largest divisor", TInjectorSetup{4, 65535, 198, 26214}, Max32, std::numeric_limits<int32_t>::max(),
         65535, Max32},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FuelQuantum(c.Setup, c.Dt, c.Rpm, c.Inj), c.Mm3) << c.What;
}

TEST(FuelQuantum, LargeInputsComeOutNearTheExactFigure) {
    // 41 l in a minute is absurd, but it fits 32 bits: nothing may overflow on the way there. Worked
    // through, x goes 1875 (e7), 43945 (e15), 21955 (e32), 33961 (e39), doubled to 2225668096 (e23); the
    // divisor 6875 shifted right by 7 loses its fraction (53), so the result is 1.2 % above the exact
    // 41491356 mm³.
    const TInjectorSetup setup{4, 125, 198, 50};
    EXPECT_EQ(FuelQuantum(setup, 60000, 6000, 65535), 41993738u);
    const double exact = 4.0 * 60000 * 6000 * (65535 - 50) * 198 / (125.0 * 3600000);
    EXPECT_NEAR(FuelQuantum(setup, 60000, 6000, 65535) / exact, 1, 0.02);
}

TEST(TripValues, RoundsCapsAndDividesAsWorkedOut) {
    struct TCase {
        const char* What;
        TTripSums Sums;
        TTripValues Want;
    };
    auto sums = [](uint32_t distance, uint32_t fuel, uint32_t fuelIdle, uint32_t fuelLast, uint32_t time,
                   uint32_t timeIdle, uint32_t timeLast) {
        return TTripSums{distance, fuel, fuelIdle, fuelLast, time, timeIdle, timeLast};
    };
    const TCase cases[] = {
        {"nothing yet: a trip below 10 m shows 40.0",
         sums(0, 0, 0, 0, 0, 0, 0),
         {0, 0, 0, 0, 0, 0, 0, 0, 4000}},
        {"3599 s and 999 m", sums(99949, 0, 0, 0, 3599499, 0, 0), {3599, 0, 999, 0, 0, 0, 0, 10, 0}},
        {"3600 s and 1000 m", sums(99950, 0, 0, 0, 3599500, 0, 0), {3600, 0, 1000, 0, 0, 0, 0, 10, 0}},
        // 1000 mm³ in 3.6 s is 1.00 l/h; 30 mm³ in 100 ms 1.08 l/h; 12.35 l overall.
        {"idle and current consumption",
         sums(0, 12345678, 1000, 30, 3600, 3600, 100),
         {4, 4, 0, 1235, 0, 100, 108, 0, 4000}},
        {"too short to give a rate", sums(0, 0, 1000, 30, 1000, 99, 9), {1, 0, 0, 0, 0, 0, 0, 0, 4000}},
        // Above 5 000 000 the rate divides by time / 360: 6e6 / 20000 = 300.
        {"two hours at idle",
         sums(0, 6000000, 6000000, 0, 7200000, 7200000, 0),
         {7200, 7200, 0, 600, 600, 300, 0, 0, 4000}},
        // time / 360 is 0 here: the rate is taken the other way and shows its top.
        {"a huge amount in a short idle",
         sums(0, 6000000, 6000000, 0, 200, 200, 0),
         {0, 0, 0, 600, 600, 65535, 0, 0, 4000}},
        // 5 km in 10 min: 30.0 km/h; 60 km in an hour: 60.0 km/h (the large-distance rule).
        {"average speed", sums(500000, 0, 0, 0, 600000, 0, 0), {600, 0, 5000, 0, 0, 0, 0, 300, 0}},
        {"average speed, large distance",
         sums(6000000, 0, 0, 0, 3600000, 0, 0),
         {3600, 0, 60000, 0, 0, 0, 0, 600, 0}},
        // k = 0x60000000 / 8e6 = 201 → 1000 / 201 + 3 = 7; 1000 × 1142857 / 1428571 = 800.
        {"8 l over 100 km", sums(10000000, 8000000, 0, 0, 0, 0, 0), {0, 0, 100000, 800, 0, 0, 0, 0, 800}},
        {"1 ml over 1 km", sums(100000, 1000, 0, 0, 0, 0, 0), {0, 0, 1000, 0, 0, 0, 0, 0, 10}},
        {"no fuel", sums(5000, 0, 0, 0, 0, 0, 0), {0, 0, 50, 0, 0, 0, 0, 0, 0}},
        {"50 l/100 km is shown as 40.0",
         sums(200000, 1000000, 0, 0, 0, 0, 0),
         {0, 0, 2000, 100, 0, 0, 0, 0, 4000}},
        {"exactly 10 m still counts as too short",
         sums(1000, 1000, 0, 0, 0, 0, 0),
         {0, 0, 10, 0, 0, 0, 0, 0, 4000}},
        // k would be 0 (fuel above 0x60000000): the largest scale, 1003, turns 10.01 m into nothing: 40.0.
        {"top fuel over 10.01 m", sums(1001, Max32, 0, 0, 0, 0, 0), {0, 0, 10, 65535, 0, 0, 0, 0, 4000}},
        {"every sum at its top",
         sums(Max32, Max32, Max32, Max32, Max32, Max32, Max32),
         {65535, 65535, 42949673, 65535, 65535, 360, 360, 360, 1000}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TTripValues got = TripValues(c.Sums);
        EXPECT_EQ(got.TripTime, c.Want.TripTime);
        EXPECT_EQ(got.IdleTime, c.Want.IdleTime);
        EXPECT_EQ(got.Distance, c.Want.Distance);
        EXPECT_EQ(got.Fuel, c.Want.Fuel);
        EXPECT_EQ(got.IdleFuel, c.Want.IdleFuel);
        EXPECT_EQ(got.IdleConsumption, c.Want.IdleConsumption);
        EXPECT_EQ(got.CurrentConsumption, c.Want.CurrentConsumption);
        EXPECT_EQ(got.AverageSpeed, c.Want.AverageSpeed);
        EXPECT_EQ(got.TripConsumption, c.Want.TripConsumption);
    }
}

TEST(TripTexts, DurationsDistancesAndAverages) {
    const std::pair<uint32_t, const char*> durations[] = {
        {0, "00:00 м:с"},    {59, "00:59 м:с"},   {3599, "59:59 м:с"},  {3600, "01:00 ч:м"},
        {3629, "01:00 ч:м"}, {3630, "01:01 ч:м"}, {65535, "18:12 ч:м"},
    };
    for (const auto& [seconds, text] : durations)
        EXPECT_EQ(DurationText(seconds), text) << seconds;

    TTripValues v;
    v.Distance = 999;
    v.AverageSpeed = 199;
    v.Fuel = 1234;
    v.IdleFuel = 5;
    v.TripConsumption = 4000;
    v.CurrentConsumption = 108;
    v.IdleConsumption = 100;
    TTripTexts t = TripTexts(v);
    EXPECT_EQ(t.Distance, "999 м");
    EXPECT_EQ(t.SpeedAvg, "19.9 км/ч");
    EXPECT_EQ(t.Fuel, "12.34 л");
    EXPECT_EQ(t.FuelIdle, "0.05 л");
    EXPECT_EQ(t.Common, "40.0");
    EXPECT_EQ(t.LastFE, "1.1");
    EXPECT_EQ(t.IdleFE, "1.00");

    const std::pair<uint16_t, const char*> speeds[] = {
        {0, "0 км/ч"}, {5, "0.5 км/ч"}, {200, "20 км/ч"}, {1234, "123 км/ч"}};
    for (const auto& [speed, text] : speeds) {
        v.AverageSpeed = speed;
        EXPECT_EQ(TripTexts(v).SpeedAvg, text);
    }
    const std::pair<uint32_t, const char*> distances[] = {
        {1000, "1.0 км"}, {1049, "1.0 км"}, {1050, "1.1 км"}, {123456, "123.5 км"}};
    for (const auto& [metres, text] : distances) {
        v.Distance = metres;
        EXPECT_EQ(TripTexts(v).Distance, text);
    }
    // No average consumption until the car has moved far enough for one.
    const std::pair<uint32_t, const char*> averages[] = {{0, "—"}, {10, "—"}, {11, "40.0"}, {999, "40.0"}};
    for (const auto& [metres, text] : averages) {
        v.Distance = metres;
        EXPECT_EQ(TripTexts(v).Common, text) << metres;
    }
}

TEST(InjectionsPerRev, TheEngineCodeWinsOverTheFamily) {
    struct TCase {
        int UnitType;
        char A, B;
        uint32_t Openings;
    };
    const TCase cases[] = {{UnitHfm, '2', '8', 3}, {UnitHfm, '3', '2', 3}, {UnitPms, '2', '8', 3},
                           {UnitPms, '1', '1', 4}, {UnitHfm, '1', '8', 2}, {UnitHfm, '8', '2', 2},
                           {UnitLh, '2', '8', 3},  {UnitUnknown, 0, 0, 2}};
    for (const TCase& c : cases)
        EXPECT_EQ(InjectionsPerRev(c.UnitType, uint8_t(c.A), uint8_t(c.B)), c.Openings)
            << c.UnitType << c.A << c.B;
}

class TripStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        Set.LoadBuiltinSet(UnitHfm, 0);
        Rpm = Set.FindById(ParamId::EngineSpeed);
        Inj = Set.FindById(ParamId::InjectionTime);
        Speed = Set.FindById(ParamId::RoadSpeed);
        ASSERT_TRUE(Rpm && Inj && Speed);
    }
    // A sample taken at `tick` with the raw word `raw`.
    uint32_t Sample(TECUparam* param, uint32_t tick, uint16_t raw) {
        ManualClock.Advance(tick - Clock().TickCount());
        param->SetData(uint8_t(raw), uint8_t(raw >> 8), 0, 0);
        return Trip.TripStep(param);
    }

    TManualClock ManualClock{1000};
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    TListParams Set;
    TECUparam *Rpm = nullptr, *Inj = nullptr, *Speed = nullptr;
    TTripComputer Trip;
};

TEST_F(TripStepTest, AccountsIntervalsAsWorkedOut) {
    ASSERT_TRUE(Trip.TripReset(&Set, 3));
    EXPECT_EQ(Trip.Setup().InjDivisor, 125u);
    EXPECT_EQ(Trip.Setup().InjDeadTime, 50u);
    using namespace TripChange;
    struct TRow {
        const char* What;
        char Which; // 'i' injection time, 'r' engine speed, 's' road speed
        uint32_t Tick;
        uint16_t Raw;
        uint32_t Changes;
        TTripSums After; // distance, fuel, idle fuel, last fuel, time, idle time, last time
    };
    const TRow rows[] = {
        {"3 ms injection", 'i', 1000, 375, InjectionTime, {}},
        {"first engine speed: only its tick", 'r', 1000, 720 * 4, EngineSpeed, {}},
        {"100 ms standing at idle",
         'r',
         1100,
         720 * 4,
         EngineSpeed | Interval | IdleInterval | Fuel,
         {0, 31, 31, 31, 100, 100, 100}},
        {"first road speed: only its tick", 's', 1100, 50, RoadSpeed, {0, 31, 31, 31, 100, 100, 100}},
        // (60 + 60) × 1000 + 36 = 120036; / 72 = 1667 (16.67 m)
        {"a second at 60 km/h", 's', 2100, 50, RoadSpeed | Distance, {1667, 31, 31, 31, 100, 100, 100}},
        {"a second driving",
         'r',
         2100,
         720 * 4,
         EngineSpeed | Interval | Fuel,
         {1667, 339, 31, 308, 1100, 100, 1000}},
        {"injection at the dead time", 'i', 2100, 50, InjectionTime, {1667, 339, 31, 308, 1100, 100, 1000}},
        {"time counts, fuel does not",
         'r',
         2200,
         720 * 4,
         EngineSpeed | Interval,
         {1667, 339, 31, 0, 1200, 100, 100}},
        {"stopped", 's', 2300, 0, RoadSpeed, {1667, 339, 31, 0, 1200, 100, 100}},
        {"engine stops: the interval to it counts",
         'r',
         2300,
         0,
         EngineSpeed | Interval,
         {1667, 339, 31, 0, 1300, 100, 100}},
        {"engine stopped in both samples: nothing",
         'r',
         2400,
         0,
         EngineSpeed,
         {1667, 339, 31, 0, 1300, 100, 100}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.What);
        EXPECT_EQ(Sample(row.Which == 'i'   ? Inj
                         : row.Which == 'r' ? Rpm
                                            : Speed,
                         row.Tick, row.Raw),
                  row.Changes);
        const TTripSums s = Trip.Sums();
        EXPECT_EQ(s.Distance, row.After.Distance);
        EXPECT_EQ(s.FuelTotal, row.After.FuelTotal);
        EXPECT_EQ(s.FuelIdle, row.After.FuelIdle);
        EXPECT_EQ(s.FuelLast, row.After.FuelLast);
        EXPECT_EQ(s.TimeTotal, row.After.TimeTotal);
        EXPECT_EQ(s.TimeIdle, row.After.TimeIdle);
        EXPECT_EQ(s.TimeLast, row.After.TimeLast);
    }
    // Other parameters are not the trip's business; a step without parameter starts the trip over.
    EXPECT_EQ(Trip.TripStep(Set.FindByNumber(0)), 0u);
    EXPECT_EQ(Trip.TripStep(nullptr), 0u);
    EXPECT_EQ(Trip.Sums().FuelTotal, 0u);
    EXPECT_TRUE(Trip.Ready());
    EXPECT_EQ(Sample(Rpm, 2500, 720 * 4), EngineSpeed)
        << "after the reset the first sample only stores its tick";
}

TEST(TripReset, NeedsInjectionTimeEngineSpeedAndAFineDivisor) {
    testing::THostRecorder host;
    struct TCase {
        const char* What;
        bool WithInj, WithRpm;
        const char* InjCalc;
        bool Ready;
        std::vector<std::string> Log;
    };
    const TCase cases[] = {
        {"all there", true, true, "/125", true, {}},
        {"no injection time", false, true, "/125", false, {"параметр \"Время впрыска\" не найден"}},
        {"no engine speed", true, false, "/125", false, {"параметр \"Обороты двигателя\" не найден"}},
        {"neither",
         false,
         false,
         "/125",
         false,
         {"параметр \"Время впрыска\" не найден", "параметр \"Обороты двигателя\" не найден"}},
        {"divisor 100 is too coarse", true, true, "/100", false, {}},
        {"divisor 101 will do", true, true, "/101", true, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        host.Clear();
        TListParams set;
        auto add = [&](int number, uint8_t id, const char* calc) {
            auto param = std::make_unique<TECUparam>(uint16_t(number));
            param->ParseLine("TYPE=W");
            param->ParseLine(std::string("CALC=") + calc);
            param->SetCmdWord(uint16_t(0x5500 + number));
            param->SetBitId(id, 0);
            set.Add(std::move(param));
        };
        if (c.WithInj)
            add(3, ParamId::InjectionTime, c.InjCalc);
        if (c.WithRpm)
            add(1, ParamId::EngineSpeed, "/4");
        TTripComputer trip;
        EXPECT_EQ(trip.TripReset(&set, 2), c.Ready);
        EXPECT_EQ(trip.Ready(), c.Ready);
        EXPECT_EQ(host.Logs(), c.Log);
    }
}

} // namespace
} // namespace velmora
