// The simulated E-GAS, EGS and SRS modules seen from the line: the 5-baud address with its tolerance,
// the wake-up answer, fault reads, acknowledgements and refusals, erasing and closing, the profile keys.
#include <gtest/gtest.h>

#include "links/base_port.h"
#include "sim/modules/module_line.h"
#include "sim/modules/sim_module.h"
#include "sim/sim_car.h"
#include "sim/sim_profile.h"

namespace velmora {
namespace {

std::unique_ptr<TSimCar> Car(std::string_view profileText = "[Unit]\nBase=hfm\n") {
    TSimProfile profile;
    std::string error;
    EXPECT_TRUE(ParseSimProfile(profileText, profile, error)) << error;
    return std::make_unique<TSimCar>(profile);
}

// The address sent bit by bit with `bitMs` per bit (start bit, seven bits, the eighth left high), then
// whatever the module sends within 3 s.
std::vector<uint8_t> WakeByHand(TKLineBus& bus, uint8_t address, double bitMs, int baud) {
    double t = 100;
    bus.SetLine(baud, ParityNone);
    bool low[8] = {true};
    for (int bit = 0; bit < 7; ++bit)
        low[bit + 1] = !(address & (1 << bit));
    for (bool l : low) {
        bus.SetBreak(l, t);
        t += bitMs;
    }
    bus.SetBreak(false, t);
    std::vector<uint8_t> got;
    for (const TRxByte& b : bus.Receive(t + 3000))
        got.push_back(b.Value);
    // The breaks' framing errors come first.
    while (!got.empty() && got.front() == 0x00)
        got.erase(got.begin());
    return got;
}

TEST(SimModule, ReadsItsAddressFromTheBreakPatternWithinTheTolerance) {
    struct TCase {
        uint8_t Address;
        double BitMs;
        int Baud;
        bool Answers;
    };
    const TCase cases[] = {
        {0x18, 200, 10400, true},  {0x41, 200, 9600, true},   {0x20, 200, 9600, true},
        {0x18, 205, 10400, true}, // 2.5 % slow: the last edge (bit 7) is 35 ms late, within 40 ms
        {0x18, 210, 10400, false}, {0x18, 240, 10400, false}, {0x41, 160, 9600, false},
        {0x19, 200, 10400, false}, // no module there
        {0x18, 200, 9600, false},  // the E-GAS answers at 10400: read at 9600 its sync is garbage
    };
    for (const TCase& c : cases) {
        auto car = Car();
        const std::vector<uint8_t> got = WakeByHand(car->Bus(), c.Address, c.BitMs, c.Baud);
        const bool answered = got.size() >= 3 && got[0] == 0x55 && got[1] == 0x01 && got[2] == 0x8A;
        EXPECT_EQ(answered, c.Answers) << std::hex << int(c.Address) << " " << c.BitMs << " " << c.Baud;
    }
}

TEST(SimModule, EngineWakeUpAndSlowCodeBreaksWakeNoModule) {
    auto car = Car();
    TKLineBus& bus = car->Bus();
    bus.SetBreak(true, 10);
    bus.SetBreak(false, 175); // the engine link's 165 ms break
    bus.SetBreak(true, 3000);
    bus.SetBreak(false, 7000); // a slow-code request
    bus.Receive(12000);
    for (TSimModuleKind kind : {TSimModuleKind::EGas, TSimModuleKind::Egs, TSimModuleKind::Srs})
        EXPECT_EQ(car->Module(kind)->State(), TSimModule::TState::Idle);
}

struct TLineRig {
    explicit TLineRig(std::string_view profile = "[Unit]\nBase=hfm\n")
        : SimCar(Car(profile)), Line(SimCar->Bus()) {}
    std::optional<std::vector<uint8_t>> Send(std::vector<uint8_t> request) {
        return Line.Message(Settings, request, Now);
    }
    std::unique_ptr<TSimCar> SimCar;
    TModuleLine Line;
    TModuleLineSettings Settings;
    double Now = 0;
};

TEST(SimModule, IdentificationFrameCarriesTheProfileValues) {
    TLineRig rig;
    rig.Settings.Address = 0x18;
    const auto ident = rig.Line.Connect(rig.Settings, rig.Now);
    ASSERT_TRUE(ident);
    const std::vector<uint8_t> expected = {0x18, 0x8F, 0x13, 0x01, 0x25, 0x45, 0x28, 0x32, 0x00,
                                           0x03, 0x11, 0x12, 0x03, 0x21, 0x04, 0x01, 0x02};
    ASSERT_EQ(ident->size(), expected.size() + 2);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ident->begin()));
    unsigned sum = 0;
    for (uint8_t b : expected)
        sum += b;
    EXPECT_EQ((*ident)[17], uint8_t(sum));
    EXPECT_EQ((*ident)[18], uint8_t(sum >> 8));
    EXPECT_EQ(rig.SimCar->Bus().LineBaud(), 10400) << "the rate measured on the sync byte";
}

std::vector<uint8_t> Payload(const std::optional<std::vector<uint8_t>>& frame) {
    if (!frame || frame->size() < 5)
        return {};
    std::vector<uint8_t> payload = {(*frame)[1]};
    payload.insert(payload.end(), frame->begin() + 3, frame->end() - 2);
    return payload;
}

using TBytes = std::vector<uint8_t>;

TEST(SimModule, FaultsAreListedOneByOneAndErasedByTheEraseRequest) {
    TLineRig rig;
    rig.Settings.Address = 0x18;
    ASSERT_TRUE(rig.Line.Connect(rig.Settings, rig.Now));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x01, 0x00, 0x02}));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x01, 0x00, 0x04}));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x28, 0x00}));
    // Another request in between starts the listing over.
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x01, 0x00, 0x02}));
    EXPECT_EQ(Payload(rig.Send({0x50, 0x01})), (TBytes{0xD0, 0x00, 0x01}));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x01, 0x00, 0x02}));
    EXPECT_EQ(Payload(rig.Send({0x18, 0x00})), (TBytes{0xD0, 0x00, 0x01}));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x28, 0x00}));
    EXPECT_EQ(Payload(rig.Send({0x77})), (TBytes{0xD0, 0x00, 0x11})) << "unknown request";
    EXPECT_EQ(Payload(rig.Send({0x70})), (TBytes{0xF0}));
    EXPECT_EQ(rig.SimCar->Module(TSimModuleKind::EGas)->State(), TSimModule::TState::Idle);
    EXPECT_FALSE(rig.Send({0x10, 0x00})) << "closed: no answer until the next wake-up";
    // The memory stays erased for the car's life.
    ASSERT_TRUE(rig.Line.Connect(rig.Settings, rig.Now));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x28, 0x00}));
}

TEST(SimModule, SrsErasesOnlyAfterThreeCorrectAccessCodesInARow) {
    TLineRig rig;
    rig.Settings.Address = 0x41;
    rig.Settings.InterByteMs = 1; // the MBB module wants its request bytes spaced
    ASSERT_TRUE(rig.Line.Connect(rig.Settings, rig.Now));
    const TBytes ok = {0xD0, 0x00, 0x01};
    EXPECT_EQ(Payload(rig.Send({0x18, 0x00})), (TBytes{0xD0, 0x00, 0x22})) << "no erase request on SRS";
    EXPECT_EQ(Payload(rig.Send({0x3F, 0x01})), ok);
    EXPECT_EQ(Payload(rig.Send({0x3F, 0x01})), ok);
    EXPECT_EQ(Payload(rig.Send({0x50, 0x01})), ok); // breaks the row
    EXPECT_EQ(Payload(rig.Send({0x3F, 0x01})), ok);
    EXPECT_EQ(Payload(rig.Send({0x3F, 0x02})), (TBytes{0xD0, 0x00, 0x33})) << "wrong code";
    EXPECT_EQ(rig.SimCar->Module(TSimModuleKind::Srs)->Faults(), (std::vector<uint16_t>{3, 4}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Payload(rig.Send({0x3F, 0x01})), ok);
    EXPECT_TRUE(rig.SimCar->Module(TSimModuleKind::Srs)->Faults().empty());
}

TEST(SimModule, RefusesRequestsWithAWrongSumOrBytesTooClose) {
    TLineRig rig;
    rig.Settings.Address = 0x41;
    rig.Settings.InterByteMs = 1;
    ASSERT_TRUE(rig.Line.Connect(rig.Settings, rig.Now));
    // Bytes back to back: too close for this module.
    rig.Settings.InterByteMs = 0;
    EXPECT_EQ(Payload(rig.Send({0x50, 0x01})), (TBytes{0xD0, 0x00, 0x74}));
    // A wrong sum, sent by hand with spacing.
    rig.Settings.InterByteMs = 1;
    TKLineBus& bus = rig.SimCar->Bus();
    double t = rig.Now + 10;
    for (uint8_t b : {0x41, 0x50, 0x06, 0x01, 0x99, 0x00})
        t = bus.Send(b, t) + 1;
    std::vector<uint8_t> got;
    for (const TRxByte& b : bus.Receive(t + 200))
        got.push_back(b.Value);
    const TBytes refusal = {0x41, 0xD0, 0x07, 0x00, 0x72, 0x8A, 0x01};
    ASSERT_GE(got.size(), refusal.size());
    EXPECT_TRUE(std::equal(refusal.begin(), refusal.end(), got.end() - long(refusal.size())));
}

TEST(SimModule, ProfileKeysShapeTheModules) {
    TLineRig rig(
        "[Unit]\nBase=hfm\n[EGAS]\nBaud=9600\nFaults=7, 300\nWrongChecksumEvery=1\n[SRS]\nPresent=0\n"
        "[EGS]\nSilent=1\n");
    EXPECT_EQ(rig.SimCar->Module(TSimModuleKind::Srs), nullptr);
    rig.Settings.Address = 0x20;
    EXPECT_FALSE(rig.Line.Connect(rig.Settings, rig.Now)) << "silent EGS";
    rig.Settings.Address = 0x18;
    const auto ident = rig.Line.Connect(rig.Settings, rig.Now);
    ASSERT_TRUE(ident);
    EXPECT_EQ(rig.SimCar->Bus().LineBaud(), 9600);
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x01, 0x00, 0x07}));
    EXPECT_EQ(Payload(rig.Send({0x10, 0x00})), (TBytes{0x90, 0x01, 0x01, 0x2C}));
    // Every frame with a sum one too high.
    const auto answer = rig.Send({0x50, 0x01});
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[5], uint8_t(0x18 + 0xD0 + 0x07 + 0x00 + 0x01 + 1));

    for (const char* bad : {"[EGAS]\nBaud=fast\n", "[SRS]\nPartNumber=12345\n", "[EGS]\nColour=red\n",
                            "[EGAS]\nFaults=70000\n", "[SRS]\nDiagnosis=01 02\n"}) {
        TSimProfile profile;
        std::string error;
        EXPECT_FALSE(ParseSimProfile(bad, profile, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
} // namespace velmora
