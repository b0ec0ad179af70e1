#include <gtest/gtest.h>

#include "sim/adapters/blind_line.h"
#include "sim/adapters/kkl_cable.h"
#include "sim/sim_car.h"

namespace velmora {
namespace {

// A plain cable behind a line that shows neither break nor parity, driven in virtual time.
class BlindLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        Car = TSimCar::Create("hfm", error);
        ASSERT_NE(Car, nullptr) << error;
        Cable = std::make_unique<TKklCable>(Car->Bus());
        Line = std::make_unique<TBlindLine>(*Cable, 9600);
    }

    // Sends one byte at `atMs` and returns what came back within 100 ms.
    std::vector<uint8_t> Exchange(uint8_t value, double atMs, TSeenLine seen = {9600}) {
        Line->HostByte(value, atMs, seen);
        std::vector<uint8_t> got;
        for (const TRxByte& b : Line->Output(atMs + 100))
            got.push_back(b.Value);
        return got;
    }

    std::unique_ptr<TSimCar> Car;
    std::unique_ptr<TKklCable> Cable;
    std::unique_ptr<TBlindLine> Line;
};

// Without break and parity: the 0xAA after silence becomes break + wake byte, the byte after a
// complement a parameter byte, the byte after a value a command again.
TEST_F(BlindLineTest, RebuildsWakeUpAndPairsFromTheExchange) {
    using Bytes = std::vector<uint8_t>;
    double t = 1000;
    // A server polls the line while it is quiet; the break recognised later still fits before the byte.
    Line->Output(t - 1);
    EXPECT_EQ(Exchange(0xAA, t), (Bytes{0x00, 0xAA, 0x55}));
    EXPECT_EQ(Exchange(0xF0, t += 200), (Bytes{0xF0, 0x0F}));
    EXPECT_EQ(Exchange(0x00, t += 20), (Bytes{0x00, 0x27}));
    EXPECT_EQ(Exchange(0xF0, t += 20), (Bytes{0xF0, 0x0F}));
    EXPECT_EQ(Exchange(0x01, t += 20), (Bytes{0x01, 0x42}));
    // A short pause is no wake-up: 0xAA is a command byte the unit does not know, so only its echo.
    EXPECT_EQ(Exchange(0xAA, t += 200), (Bytes{0xAA}));
}

// Where the settings show space parity, they decide: a lone parameter byte after a value (the HFM's
// RAM read from an address above 0x40) is answered with the value, not taken as a command.
TEST_F(BlindLineTest, TrustsVisibleParityOverThePosition) {
    using Bytes = std::vector<uint8_t>;
    const TSeenLine none{9600}, space{9600, true, false};
    double t = 1000;
    EXPECT_EQ(Exchange(0xAA, t, space), (Bytes{0x00, 0xAA, 0x55}));
    EXPECT_EQ(Exchange(0xF0, t += 200, none), (Bytes{0xF0, 0x0F}));
    EXPECT_EQ(Exchange(0x00, t += 20, space), (Bytes{0x00, 0x27}));
    std::vector<uint8_t> lone = Exchange(0x41, t += 20, space);
    ASSERT_EQ(lone.size(), 2u);
    EXPECT_NE(lone[1], 0xFF - 0x41);
    EXPECT_EQ(Exchange(0xF0, t += 20, none), (Bytes{0xF0, 0x0F}));
}

// A strict line guesses nothing about the ninth bit: a parameter byte without space parity, which the
// lenient line would take for one after the complement, gets its echo and no answer.
TEST_F(BlindLineTest, AStrictLineTakesTheNinthBitOnlyFromTheSettings) {
    using Bytes = std::vector<uint8_t>;
    Line = std::make_unique<TBlindLine>(*Cable, 9600, true);
    const TSeenLine none{9600}, space{9600, true, false};
    double t = 1000;
    Line->Output(t - 1);
    EXPECT_EQ(Exchange(0xAA, t, space), (Bytes{0x00, 0xAA, 0x55}));
    EXPECT_EQ(Exchange(0xF0, t += 200, none), (Bytes{0xF0, 0x0F}));
    EXPECT_EQ(Exchange(0x00, t += 20, none), (Bytes{0x00}));
    EXPECT_EQ(Exchange(0xF0, t += 20, none), (Bytes{0xF0, 0x0F}));
    EXPECT_EQ(Exchange(0x00, t += 20, space), (Bytes{0x00, 0x27}));
}

} // namespace
} // namespace velmora
