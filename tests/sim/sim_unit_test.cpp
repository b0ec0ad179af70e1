#include <gtest/gtest.h>

#include <algorithm>

#include "links/base_port.h"
#include "sim_bench.h"

namespace velmora {
namespace {

using testing::TSimBench;

// Sends one byte with the given parity and returns what followed its echo (nothing: -1).
int SendAndAnswer(TSimBench& b, uint8_t value, uint8_t parity) {
    b.Car->Bus().SetLine(9600, parity);
    b.Car->Bus().Send(value, b.NowMs);
    b.NowMs += 300;
    std::vector<TRxByte> rx = b.Car->Bus().Receive(b.NowMs);
    // Skip what came before the echo (the break's framing-error byte).
    auto echo = std::find_if(rx.begin(), rx.end(), [&](const TRxByte& r) { return r.Value == value; });
    if (echo == rx.end() || echo + 1 == rx.end())
        return -1;
    return (echo + 1)->Value;
}

TEST(SimUnit, WakesOnlyAfterABreakOfTheRightLength) {
    {
        TSimBench b;
        // 0xAA with space parity but no break before it: not a wake-up.
        EXPECT_EQ(SendAndAnswer(b, 0xAA, ParitySpace), -1);
        EXPECT_EQ(b.Unit().State(), TSimUnit::TState::Asleep);
    }
    struct TCase {
        double BreakMs;
        bool Wakes;
    };
    for (TCase c : {TCase{165, true}, TCase{130, true}, TCase{40, false}, TCase{900, false}}) {
        TSimBench b;
        EXPECT_EQ(b.Wake(c.BreakMs), c.Wakes) << c.BreakMs;
    }
}

TEST(SimUnit, WakeAnswersFollowTheUnitsMode) {
    // First 0xAA answered at once: the answer byte is 0x55 after the echo.
    TSimBench first("hfm");
    first.Car->Bus().SetBreak(true, first.NowMs);
    first.Car->Bus().SetBreak(false, first.NowMs + 165);
    first.NowMs += 400;
    EXPECT_EQ(SendAndAnswer(first, 0xAA, ParitySpace), 0x55);
    EXPECT_EQ(first.Unit().State(), TSimUnit::TState::Awake);

    // The sequence unit keeps silent to the first 0xAA and the first 0x00, answers 0xFF to the second.
    TSimBench seq("hfm40");
    seq.Car->Bus().SetBreak(true, seq.NowMs);
    seq.Car->Bus().SetBreak(false, seq.NowMs + 165);
    seq.NowMs += 400;
    EXPECT_EQ(SendAndAnswer(seq, 0xAA, ParitySpace), -1);
    EXPECT_EQ(SendAndAnswer(seq, 0x00, ParitySpace), -1);
    EXPECT_EQ(SendAndAnswer(seq, 0x00, ParitySpace), 0xFF);
    EXPECT_EQ(SendAndAnswer(seq, 0xAA, ParitySpace), 0x55);
    EXPECT_EQ(seq.Unit().State(), TSimUnit::TState::Awake);

    // The whole wake-up of the engine link succeeds on both.
    TSimBench again("hfm40");
    EXPECT_TRUE(again.Wake());
}

TEST(SimUnit, RequestPairsCheckTheNinthBit) {
    TSimBench b;
    ASSERT_TRUE(b.Wake());
    // Command byte 8N1: its complement; parameter byte with space parity: the value.
    EXPECT_EQ(SendAndAnswer(b, 0xF0, ParityNone), 0x0F);
    EXPECT_EQ(SendAndAnswer(b, 0x00, ParitySpace), 0x27);
    // A parameter byte sent 8N1 is not understood: no answer at all.
    EXPECT_EQ(SendAndAnswer(b, 0xF0, ParityNone), 0x0F);
    EXPECT_EQ(SendAndAnswer(b, 0x01, ParityNone), -1);
    // A command byte sent again (a resend after a lost answer) gets its complement again.
    EXPECT_EQ(SendAndAnswer(b, 0xF0, ParityNone), 0x0F);
    EXPECT_EQ(SendAndAnswer(b, 0xF0, ParityNone), 0x0F);
    EXPECT_EQ(SendAndAnswer(b, 0x01, ParitySpace), 'B');
    // A command byte the unit does not know gets no complement.
    EXPECT_EQ(SendAndAnswer(b, 0x77, ParityNone), -1);
}

TEST(SimUnit, LoneParameterBytesFollowEachFamilysRule) {
    struct TCase {
        const char* Unit;
        uint8_t Param;
        bool Answered;
    };
    const TCase cases[] = {
        {"hfm", 0x41, true},      {"hfm", 0x40, false}, {"hfm", 0xAA, false}, {"pms", 0xC9, true},
        {"hfm-vdo", 0x41, false}, {"lh", 0x22, true},   {"lh", 0x05, true},   {"ez", 0x41, true},
    };
    for (const TCase& c : cases) {
        TSimBench b(c.Unit);
        ASSERT_TRUE(b.Wake()) << c.Unit;
        EXPECT_EQ(SendAndAnswer(b, c.Param, ParitySpace) >= 0, c.Answered) << c.Unit << " " << int(c.Param);
    }
    // The LH unit reads its page 0x00 from a lone byte: the national variant.
    TSimBench lh("lh");
    ASSERT_TRUE(lh.Wake());
    EXPECT_EQ(lh.Request(0x00, 0x22), 0x01);
}

TEST(SimUnit, FallsAsleepAfterItsTimeOut) {
    TSimBench b;
    ASSERT_TRUE(b.Wake());
    b.Wait(1900);
    EXPECT_EQ(b.Request(0x10, 0x00), 0x00) << "still awake after 1.9 s";
    b.Wait(2100);
    EXPECT_EQ(b.Unit().State(), TSimUnit::TState::Asleep);
    EXPECT_FALSE(b.Request(0x10, 0x00).has_value());
    EXPECT_TRUE(b.Wake()) << "a new break wakes it again";

    TSimProfile patient;
    std::string error;
    ASSERT_TRUE(ParseSimProfile("[Unit]\nBase=hfm\nSleepTimeoutMs=5000\n", patient, error)) << error;
    TSimBench p(patient);
    ASSERT_TRUE(p.Wake());
    p.Wait(4000);
    EXPECT_TRUE(p.Request(0x10, 0x00).has_value());
}

TEST(SimUnit, TwoByteValuesOfTheParameterChannelComeAsOnePair) {
    for (const char* unit : {"hfm", "hfm-new"}) {
        TSimBench b(unit);
        ASSERT_TRUE(b.Wake());
        b.Wait(50);
        auto lo = b.Request(0x55, 0x01);
        auto hi = b.Request(0x55, 0x02);
        ASSERT_TRUE(lo && hi);
        bool reversed = b.Car->Profile().ReversedWords;
        double rpm = (reversed ? (*lo << 8 | *hi) : (*hi << 8 | *lo)) / 4.0;
        EXPECT_NEAR(rpm, 720, 80) << unit;
        // Address 2 read on its own is the next parameter (the wanted idle speed), not rpm's second byte.
        auto target = b.Request(0x55, 0x02);
        auto target2 = b.Request(0x55, 0x03);
        ASSERT_TRUE(target && target2);
        double wanted = (reversed ? (*target << 8 | *target2) : (*target2 << 8 | *target)) / 4.0;
        EXPECT_NEAR(wanted, 720, 30) << unit;
    }
}

TEST(SimUnit, AddressSetUnitsServeTheirRamAndTheParameterChannel) {
    struct TCase {
        const char* Unit;
        uint8_t Cmd, Addr;
        double Scale; // rpm per raw count
        double Idle;
    };
    const TCase cases[] = {
        {"pms", 0x10, 0x74, 16, 780},   {"hfm-vdo", 0x12, 0x7E, 30, 780},
        {"hfm40", 0x10, 0xB7, 25, 800}, {"hfm-siemens", 0x10, 0x74, 16, 700},
        {"ez", 0xFF, 0x41, 30, 720},
    };
    for (const TCase& c : cases) {
        TSimBench b(c.Unit);
        ASSERT_TRUE(b.Wake()) << c.Unit;
        b.Wait(50);
        auto raw = b.Request(c.Cmd, c.Addr);
        ASSERT_TRUE(raw) << c.Unit;
        EXPECT_NEAR(*raw * c.Scale, c.Idle, 2 * c.Scale + 40) << c.Unit;
        if (c.Cmd != 0xFF) {
            auto coolant = b.Request(0x55, 0x00);
            ASSERT_TRUE(coolant) << c.Unit << ": every HFM/PMS unit answers the channel 0x55";
            EXPECT_NEAR(*coolant - 40, b.Car->Profile().CoolantC, 3) << c.Unit;
        }
    }
}

TEST(SimUnit, EraseClearsTheStoredBitmapButNotActiveFaults) {
    TSimBench b("hfm"); // stored bits 5 and 12, bit 12 active
    ASSERT_TRUE(b.Wake());
    EXPECT_EQ(b.Request(0xF1, 0x00), 0x10); // bit 5
    EXPECT_EQ(b.Request(0xF1, 0x01), 0x08); // bit 12
    EXPECT_EQ(b.Request(0xF1, 0x11), 0x08); // bit 12 active
    b.Request(0x10, 0x00);
    // An erase with another parameter is refused: no answer, nothing erased, and the unit counts it.
    EXPECT_FALSE(b.Request(0xF3, 0x00).has_value());
    EXPECT_EQ(b.Unit().RefusedRequests(), 1u);
    EXPECT_EQ(b.Request(0xF1, 0x00), 0x10);
    b.Request(0xF3, 0xFF);
    EXPECT_EQ(b.Unit().RefusedRequests(), 1u);
    EXPECT_EQ(b.Unit().ReceivedPairs().back(), std::make_pair(uint8_t(0xF3), uint8_t(0xFF)));
    EXPECT_EQ(b.Request(0xF1, 0x00), 0x00);
    EXPECT_EQ(b.Request(0xF1, 0x01), 0x08) << "an active fault is stored again at once";

    // The PMS layout's bits 129-152 live at 48-50 (stored) and 64-66 (active).
    TSimBench pms("pms-vdo");
    ASSERT_TRUE(pms.Wake());
    EXPECT_EQ(pms.Request(0xF1, 48), 0x01);
    EXPECT_EQ(pms.Request(0xF1, 64), 0x01);

    // LH: slots, erased by F2 00 inside CF FF ... CF 00.
    TSimBench lh("lh");
    ASSERT_TRUE(lh.Wake());
    EXPECT_EQ(lh.Request(0x30, 3), 2);
    EXPECT_EQ(lh.Request(0xF2, 0x00), 0x00);
    EXPECT_EQ(lh.Request(0x30, 3), 2) << "no erase outside the special mode";
    lh.Request(0xCF, 0xFF);
    lh.Request(0x10, 0xC5);
    lh.Request(0xF2, 0x00);
    lh.Request(0xCF, 0x00);
    EXPECT_EQ(lh.Request(0x30, 3), 0);
    EXPECT_EQ(lh.Request(0x30, 9), 0);
}

TEST(SimUnit, SpecialModeOpensOnlyInItsOrder) {
    TSimBench b;
    ASSERT_TRUE(b.Wake());
    EXPECT_EQ(b.Request(0xC1, 0xFC), 0xFC) << "C1 FC without CF FF first: not the complement";
    EXPECT_EQ(b.Request(0xCF, 0xFF), 0x00);
    EXPECT_EQ(b.Request(0xC1, 0xFC), 0x03);
    EXPECT_TRUE(b.Unit().InSpecialMode());
    EXPECT_EQ(b.Request(0xCF, 0x00), 0xFF);
    EXPECT_EQ(b.Request(0xC0, 0xFC), 0x03);
    EXPECT_FALSE(b.Unit().InSpecialMode());

    // Too slow between the two steps: the mode stays closed.
    EXPECT_EQ(b.Request(0xCF, 0xFF), 0x00);
    b.Wait(1200);
    EXPECT_EQ(b.Request(0xC1, 0xFC), 0xFC);
}

TEST(SimUnit, InjectorSwitchedOffMakesTheEngineRunRough) {
    TSimBench b;
    ASSERT_TRUE(b.Wake());
    b.Request(0xCF, 0xFF);
    ASSERT_EQ(b.Request(0xC1, 0xFC), 0x03);
    b.Request(0xD2, 0x08); // injector 3 off
    for (int i = 0; i < 20; ++i) {
        b.Wait(90);
        b.Request(0x10, 0x00);
    }
    // Cylinder 3 fires before 6 (order 1 5 3 6 2 4): its working period is parameter 89 + 6 = 95.
    const TEngineModel& e = b.Unit().Engine();
    double dead = e.PeriodTicks(95);
    double others =
        (e.PeriodTicks(90) + e.PeriodTicks(91) + e.PeriodTicks(92) + e.PeriodTicks(93) + e.PeriodTicks(94)) /
        5.0;
    EXPECT_GT(dead / others, 1.05);
    EXPECT_GT(e.Signal(TSignal::Misfire3), 0);
    // The bit "Activation" (0x01 of parameter 25) is set while the mode is open.
    EXPECT_EQ(*b.Request(0x55, 25) & 0x01, 0x01);
    // Leaving the mode switches the injector back on.
    b.Request(0xCF, 0x00);
    b.Request(0xC0, 0xFC);
    for (int i = 0; i < 20; ++i) {
        b.Wait(90);
        b.Request(0x10, 0x00);
    }
    EXPECT_LT(e.PeriodTicks(95) / ((e.PeriodTicks(90) + e.PeriodTicks(91)) / 2.0), 1.03);
}

TEST(SimUnit, AdaptationResetAndThrottleLearningInTheSpecialMode) {
    TSimBench b;
    ASSERT_TRUE(b.Wake());
    const TEngineModel& e = b.Unit().Engine();
    EXPECT_EQ(b.Request(0xE0, 0x00), 0x00);
    EXPECT_NE(e.Signal(TSignal::AdaptIdleAir), 0) << "nothing happens outside the special mode";
    b.Request(0xCF, 0xFF);
    ASSERT_EQ(b.Request(0xC1, 0xFC), 0x03);
    b.Request(0xE0, 0x00);
    EXPECT_EQ(e.Signal(TSignal::AdaptIdleAir), 0);
    EXPECT_EQ(e.Signal(TSignal::AdaptLower), 0);

    // Throttle reset: the stop potentiometer (parameter 45, /51 V) sweeps while the stop is learned.
    b.Request(0xD1, 0x40);
    uint8_t low = 255, high = 0;
    for (int i = 0; i < 60; ++i) {
        b.Wait(100);
        uint8_t v = b.Request(0x55, 45).value_or(0);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_LT(low, 40);
    EXPECT_GT(high, 200);
    b.Request(0xD1, 0x00);
    b.Wait(100);
    // The learned stop (1.1 V) plus the idle throttle opening of 2 degrees.
    EXPECT_NEAR(*b.Request(0x55, 45) / 51.0, 1.1 + 2.0 / 90 * 3.2, 0.03);
}

TEST(SimUnit, CodingNeedsTheAnswerOfTheUnitsAccessFunction) {
    TSimBench b("hfm");
    ASSERT_TRUE(b.Wake());
    auto enter = [&] {
        b.Request(0xCF, 0xFF);
        ASSERT_EQ(b.Request(0xC1, 0xFC), 0x03);
        ASSERT_EQ(b.Request(0x45, 0x37), 0xC8);
    };
    enter();
    uint16_t seed = uint16_t(*b.Request(0xE0, 0xFE) | *b.Request(0xE0, 0xFF) << 8);
    uint16_t key = b.Car->Profile().Access.Key(seed);
    EXPECT_EQ(b.Request(0xC2, uint8_t(key)), uint8_t(0xFF - uint8_t(key)));
    EXPECT_EQ(b.Request(0xC3, uint8_t(key >> 8)), uint8_t(0xFF - uint8_t(key >> 8)));
    EXPECT_EQ(b.Request(0xED, 0x12), 0x12);
    b.Request(0xE1, 0x31);
    b.Request(0xE2, 0x32);
    b.Request(0xE3, 0x33);
    b.Request(0xC0, 0xFC);
    b.Request(0xCF, 0x00);
    EXPECT_EQ(b.Request(0x55, 37), 0x31);
    EXPECT_EQ(b.Request(0x55, 38), 0x32);
    EXPECT_EQ(b.Request(0x55, 39), 0x33);
    EXPECT_EQ(b.Request(0x55, 20), 0x12);

    // A wrong answer leaves the coding as it was; the VDO change command is refused by a Bosch unit.
    enter();
    uint16_t seed2 = uint16_t(*b.Request(0xE0, 0xFE) | *b.Request(0xE0, 0xFF) << 8);
    uint16_t wrong = uint16_t(b.Car->Profile().Access.Key(seed2) + 1);
    EXPECT_EQ(b.Request(0xC2, uint8_t(wrong)), uint8_t(wrong));
    b.Request(0xC3, uint8_t(wrong >> 8));
    b.Request(0xE1, 0x99);
    EXPECT_EQ(b.Request(0x55, 37), 0x31);
    EXPECT_EQ(b.Request(0x46, 0x37), 0x37);
}

TEST(SimUnit, LineFaultsOfTheProfile) {
    auto bench = [](const char* faults) {
        TSimProfile p;
        std::string error;
        EXPECT_TRUE(ParseSimProfile(std::string("[Unit]\nBase=hfm\n[LineFaults]\n") + faults, p, error))
            << error;
        return TSimBench(p);
    };
    {
        TSimBench b = bench("WrongComplementEvery=3\n");
        ASSERT_TRUE(b.Wake());
        EXPECT_TRUE(b.Request(0xF0, 0).has_value());
        EXPECT_TRUE(b.Request(0xF0, 1).has_value());
        EXPECT_FALSE(b.Request(0xF0, 2).has_value()) << "the third complement is wrong";
        EXPECT_TRUE(b.Request(0xF0, 3).has_value());
    }
    {
        TSimBench b = bench("DropAnswerEvery=4\n");
        ASSERT_TRUE(b.Wake());
        EXPECT_TRUE(b.Request(0xF0, 0).has_value());  // answers 1, 2
        EXPECT_FALSE(b.Request(0xF0, 1).has_value()); // answer 4 (the value) is dropped
    }
    {
        TSimBench b = bench("SilentAfterRequests=3\n");
        ASSERT_TRUE(b.Wake());
        EXPECT_TRUE(b.Request(0xF0, 0).has_value());
        EXPECT_TRUE(b.Request(0xF0, 1).has_value());
        EXPECT_FALSE(b.Request(0xF0, 2).has_value());
        EXPECT_FALSE(b.Wake()) << "silent for good";
    }
    {
        TSimBench b = bench("NoiseEveryMs=100\n");
        // Sent at 100, 200 ... 1900 ms; the one of 2000 ms is still on the wire.
        EXPECT_EQ(b.Car->Bus().Receive(b.NowMs + 1000).size(), 19u);
    }
    {
        TSimBench b = bench("NoEcho=1\n");
        EXPECT_FALSE(b.Wake());
        b.Car->Bus().SetLine(9600, ParityNone);
        b.Car->Bus().Send(0x10, b.NowMs);
        EXPECT_TRUE(b.Car->Bus().Receive(b.NowMs + 50).empty())
            << "no echo, and the unit fell asleep meanwhile";
    }
}

} // namespace
} // namespace velmora
