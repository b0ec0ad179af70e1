// The worker's measurement states against the simulated engine in virtual time: the trip computer over
// a drive cycle, checked against what the model really burnt and drove, and the smoothness test finding
// a cylinder without fuel (faulty by the profile, or switched off by an actuator test) and calling an
// even engine even.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "connection/com_reader.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "sim/sim_port.h"
#include "sim/sim_unit.h"
#include "smoothness/smooth_cylinders.h"
#include "smoothness/smooth_display.h"
#include "temp_folder.h"
#include "trip/trip_values.h"

namespace velmora {
namespace {

using testing::TPosted;

class MeasureStatesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override {
        Reader.reset();
        FreePort();
    }
    bool Connect(const std::string& port, char adapter = 'K', bool activation = false) {
        Reader->PrepareConnect({port, adapter, false, activation, {}});
        return Reader->Step() && Reader->State() == ReaderState::Polling;
    }
    void StepFor(uint32_t ms) {
        const uint32_t start = Clock().TickCount();
        while (TicksSince(start, Clock().TickCount()) < ms)
            ASSERT_TRUE(Reader->Step()) << Host.LogText();
    }
    const TEngineModel& Engine() { return dynamic_cast<TSimPort&>(*Port()).Car()->Unit().Engine(); }
    std::vector<TPosted> Posted(uint32_t n) const {
        std::vector<TPosted> out;
        for (const TPosted& p : Host.Posted())
            if (p.Msg == WM_USER + n)
                out.push_back(p);
        return out;
    }
    // The mean deviation (1/10 %) per cylinder of the smoothness results posted so far.
    std::map<int, double> MeanDeviations() const {
        std::map<int, std::vector<int>> all;
        for (const TPosted& p : Posted(19))
            if (p.LParam != 0)
                all[int(p.LParam)].push_back(SmoothDeviation(uint32_t(p.WParam)));
        std::map<int, double> means;
        for (const auto& [cylinder, values] : all) {
            double sum = 0;
            for (int v : values)
                sum += v;
            means[cylinder] = sum / double(values.size());
        }
        return means;
    }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
    std::unique_ptr<TComReader> Reader = std::make_unique<TComReader>();
};

TEST_F(MeasureStatesTest, TripAgreesWithWhatTheEngineBurntAndTheCarDrove) {
    ASSERT_TRUE(Connect("SIM:hfm-trip")) << Host.LogText();
    ASSERT_TRUE(Reader->Trip.Ready());
    EXPECT_EQ(Reader->Trip.Setup().InjPerRev, 3u) << "HF28: six cylinders";
    // Normal polling feeds the trip as well, but tells the window nothing.
    StepFor(3000);
    EXPECT_TRUE(Posted(21).empty());

    ASSERT_TRUE(Reader->RequestMeasure());
    ASSERT_TRUE(Reader->Step());
    ASSERT_EQ(Reader->State(), ReaderState::Measure);
    Host.Clear();
    ASSERT_TRUE(Reader->Trip.TripStep(nullptr) == 0);
    const double fuelBefore = Engine().FuelBurntMm3(), distanceBefore = Engine().DistanceM();
    // Two rounds of idle, pull away, cruise and stop (130 s each).
    StepFor(260000);
    const double burnt = Engine().FuelBurntMm3() - fuelBefore, driven = Engine().DistanceM() - distanceBefore;
    const TTripSums sums = Reader->Trip.Sums();
    ASSERT_GT(driven, 1500);
    ASSERT_GT(burnt, 50000);
    // Sampled every ~50 ms, with the unit's 1.2 km/h steps of road speed and 8 µs steps of injection
    // time: within 2 % of the model's own totals (measured: distance +0.6 %, fuel -0.05 %).
    EXPECT_NEAR(sums.Distance / 100.0, driven, driven * 0.02);
    EXPECT_NEAR(double(sums.FuelTotal), burnt, burnt * 0.02);
    EXPECT_NEAR(sums.TimeTotal, 260000, 1000);
    // Standing: the idle leg and what is left of the stop leg after braking from 50 km/h at 3.5 km/h per
    // second, twice: 2 × (30 + 20 - 14.3) s.
    EXPECT_NEAR(sums.TimeIdle, 71400, 3000);
    const TTripValues values = TripValues(sums);
    EXPECT_GT(values.IdleConsumption, 30);
    EXPECT_LT(values.IdleConsumption, 300);

    // The window hears of every step: engine speed with its interval, injection time, road speed.
    const std::vector<TPosted> updates = Posted(21);
    ASSERT_GT(updates.size(), 1000u);
    uint32_t seen = 0;
    for (const TPosted& p : updates) {
        EXPECT_NE(p.WParam, 0);
        seen |= uint32_t(p.WParam);
    }
    EXPECT_EQ(seen, 0x7C3u);
}

TEST_F(MeasureStatesTest, SmoothnessFindsTheCylinderWithoutFuel) {
    struct TCase {
        const char* Port;
        int Cylinders, Rough, After;      // the cylinder without fuel and the one firing after it
        std::vector<intptr_t> FirstRound; // cylinder 0 starts it, then the firing order from cylinder 1
        int IdleRpm;
    };
    const std::string pms = "SIM:" + Folder
                                         .WriteFile("pms-misfire.ini", "[Unit]\nBase=pms\n[Engine]\n"
                                                                       "FaultyInjectors=4\n")
                                         .string();
    const TCase cases[] = {{"SIM:hfm-misfire", 6, 2, 4, {0, 1, 5, 3, 6, 2, 4}, 720 - 45},
                           {pms.c_str(), 4, 4, 2, {0, 1, 3, 4, 2}, 780 - 45}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Port);
        Host.Clear();
        ASSERT_TRUE(Connect(c.Port)) << Host.LogText();
        ASSERT_EQ(PeriodParamCount(*Reader->Params()), c.Cylinders);
        ASSERT_TRUE(Reader->RequestSmoothness());
        StepFor(8000);
        EXPECT_EQ(Reader->State(), ReaderState::Smoothness);
        const std::map<int, double> means = MeanDeviations();
        ASSERT_EQ(means.size(), size_t(c.Cylinders)) << Host.LogText();
        // The cylinder without fuel has the long working period; the one after it is back to normal.
        const auto rough = std::max_element(means.begin(), means.end(),
                                            [](const auto& a, const auto& b) { return a.second < b.second; });
        EXPECT_EQ(rough->first, c.Rough);
        EXPECT_GT(rough->second, 50);
        EXPECT_LT(means.at(c.After), -40);
        const std::vector<TPosted> results = Posted(19);
        ASSERT_GT(results.size(), 100u);
        for (size_t i = 0; i < c.FirstRound.size(); ++i)
            EXPECT_EQ(results[i].LParam, c.FirstRound[i]) << i;
        EXPECT_NEAR(SmoothRpm(uint32_t(results.back().WParam)), c.IdleRpm, 40);
        ASSERT_TRUE(Reader->RequestStop());
        EXPECT_FALSE(Reader->Step());
        FreePort();
    }
}

TEST_F(MeasureStatesTest, SmoothnessCallsAnEvenEngineEven) {
    ASSERT_TRUE(Connect("SIM:hfm")) << Host.LogText();
    ASSERT_TRUE(Reader->RequestSmoothness());
    StepFor(8000);
    const std::map<int, double> means = MeanDeviations();
    ASSERT_EQ(means.size(), 6u) << Host.LogText();
    for (const auto& [cylinder, mean] : means)
        EXPECT_LT(std::abs(mean), TSmoothLines::Threshold) << "cylinder " << cylinder;
}

TEST_F(MeasureStatesTest, SmoothnessSeesAnInjectorSwitchedOffByTheActuatorTest) {
    ASSERT_TRUE(Connect("SIM:hfm", 'K', true)) << Host.LogText();
    Reader->Actuators.PendingAct = 0xD208; // injector of cylinder 3 off
    ASSERT_TRUE(Reader->Step());
    StepFor(2000); // the engine settles
    ASSERT_TRUE(Reader->RequestSmoothness());
    StepFor(8000);
    const std::map<int, double> means = MeanDeviations();
    ASSERT_EQ(means.size(), 6u) << Host.LogText();
    const auto rough = std::max_element(means.begin(), means.end(),
                                        [](const auto& a, const auto& b) { return a.second < b.second; });
    EXPECT_EQ(rough->first, 3);
}

TEST_F(MeasureStatesTest, SmoothnessWithoutPeriodsGoesBackToPolling) {
    // Through an ELM327 the periods are not in the set: the test says why and the worker polls again.
    ASSERT_TRUE(Connect("SIMELM:hfm", 'E')) << Host.LogText();
    Host.Clear();
    ASSERT_TRUE(Reader->RequestSmoothness());
    ASSERT_TRUE(Reader->Step());
    EXPECT_EQ(Host.Logs(),
              std::vector<std::string>{
                  "ЭБУ не поддерживает периоды работы цилиндров или кол-во цилиндров неверное (0)"});
    ASSERT_TRUE(Reader->Step());
    EXPECT_EQ(Reader->State(), ReaderState::Polling);
    EXPECT_TRUE(Posted(19).empty());
    EXPECT_TRUE(Reader->IsAlive());
}

} // namespace
} // namespace velmora
