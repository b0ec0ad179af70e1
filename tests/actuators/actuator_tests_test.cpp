// Actuator tests against the simulated units: entering the test mode, refusals, queued commands with
// their preambles, the discard command and the queue's wait limit.
#include <gtest/gtest.h>

#include <functional>

#include "actuators/actuator_channels.h"
#include "actuators/actuator_tests.h"
#include "actuators/adaptation.h"
#include "actuators/coding.h"
#include "params/param_ids.h"
#include "sim_fixture.h"

namespace velmora {
namespace {

using testing::PairBytes;

class ActuatorTests : public testing::TActuatorSimTest {};

TEST_F(ActuatorTests, EntryOpensTheModeAndPostsEveryChannelsEntryValue) {
    struct TCase {
        const char* Unit;
        std::vector<intptr_t> Entry; // WM_USER+13 in order
        bool FanSent;                // diagnosis index 50-59 drives the fan to its rest value
    };
    const TCase cases[] = {
        {"hfm",
         {0xD00F, 0xD100, 0xD200, 0xD340, 0xD400, 0xD500, 0xD680, 0xD780, 0xD800, 0xD900, 0xDA00, 0xDB00,
          0xDC80},
         true},
        {"hfm-new", // newest generation
         {0xD008, 0xD180, 0xD280, 0xD340, 0xD400, 0xD500, 0xD680, 0xD780, 0xD800, 0xD900, 0xDA00, 0xDB00,
          0xDC80},
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Unit);
        Connect(c.Unit);
        State.ActivationOn = true;
        State.PendingAct = 0xD208; // left from before: the new mode starts empty
        EnterActivation(Context);
        EXPECT_TRUE(State.ActivationOn);
        EXPECT_EQ(State.PendingAct, NoAct);
        EXPECT_TRUE(Unit().InSpecialMode());
        EXPECT_EQ(Posted(13), c.Entry);
        ASSERT_EQ(Posted(11).size(), 1u);
        EXPECT_EQ(Host.Posted().back().Msg, WM_USER + 11) << "ready comes last";
        EXPECT_EQ(Host.Logs().size(), 0u) << Host.LogText();
        const std::string bytes = NewLogBytes();
        const uint8_t camshaft = c.Entry[0] & 0xFF;
        EXPECT_NE(bytes.find(PairBytes(0xC1, 0xFC, 0x03)), std::string::npos);
        // The status parameter is read once the mode is open and shows its "Activation" bit.
        const size_t status = bytes.find(PairBytes(0x55, 25, 0).substr(0, 3));
        ASSERT_NE(status, std::string::npos);
        EXPECT_EQ(bytes[status + 3] & 0x01, 0x01);
        EXPECT_NE(bytes.find(PairBytes(0xD0, camshaft, camshaft)), std::string::npos);
        EXPECT_EQ(bytes.find(PairBytes(0xDC, 0x80, 0x80)) != std::string::npos, c.FanSent);
        FreePort();
    }
}

TEST_F(ActuatorTests, RefusalsAreLoggedAndClearTheRequest) {
    const std::string olderUnit = "[Unit]\nBase=hfm\n[Ident]\n1A=35 01\n";
    const std::string noSpecialMode = "[Unit]\nBase=hfm\nSpecialMode=0\n";
    enum class TFunction { Activation, Adaptation, Coding };
    struct TCase {
        const char* Name;
        std::string Profile;
        TFunction Function;
        std::vector<std::string> Lines;
    };
    const TCase cases[] = {
        {"activation, older unit",
         olderUnit,
         TFunction::Activation,
         {"Тест исполнительных устройств доступен только в системе HFM!"}},
        {"activation, LH unit",
         "[Unit]\nBase=lh\n",
         TFunction::Activation,
         {"Тест исполнительных устройств доступен только в системе HFM!"}},
        {"activation, mode refused",
         noSpecialMode,
         TFunction::Activation,
         {"!!!  ОШИБКА ОТВЕТА ECU ПРИ ВХОДЕ В АКТИВАЦИЮ !!!",
          "!!!  НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ, ВЫЖДАТЬ > 10 СЕКУНД,",
          "     ВКЛЮЧИТЬ ЕГО И ПОВТОРИТЬ ПОПЫТКУ ПОДКЛЮЧЕНИЯ К ECU !!!"}},
        {"adaptation, older unit",
         olderUnit,
         TFunction::Adaptation,
         {"", "Сброс адаптации доступен только в системе HFM!"}},
        {"adaptation, mode refused",
         noSpecialMode,
         TFunction::Adaptation,
         {"", "Сброс адаптации: запуск!", "", "!!!  ОШИБКА ОТВЕТА ECU ПРИ ВХОДЕ В РЕЖИМ !!!",
          "!!!  НЕОБХОДИМО ВЫКЛЮЧИТЬ ЗАЖИГАНИЕ, ВЫЖДАТЬ > 10 СЕКУНД,",
          "     ВКЛЮЧИТЬ ЕГО И ПОВТОРИТЬ ПОПЫТКУ ПОДКЛЮЧЕНИЯ К ECU !!!", ""}},
        {"adaptation, LH unit",
         "[Unit]\nBase=lh\n",
         TFunction::Adaptation,
         {"", "Сброс адаптации доступен только в системе HFM!"}},
        {"coding, newest unit",
         "[Unit]\nBase=hfm-new\n",
         TFunction::Coding,
         {"Кодирование доступно только для блоков HFM!"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Connect("unit", c.Profile);
        State.ActivationOn = true;
        State.AdaptMode = AdaptResetPhase1;
        State.CodingPending = 0x010203;
        bool done = false;
        switch (c.Function) {
        case TFunction::Activation:
            EnterActivation(Context);
            EXPECT_FALSE(State.ActivationOn);
            break;
        case TFunction::Adaptation:
            // Only a refused special mode is an error stop.
            EXPECT_EQ(RunAdaptation(Context, done),
                      c.Profile == noSpecialMode ? TFunctionEnd::StopOnError : TFunctionEnd::Stop);
            EXPECT_TRUE(done);
            EXPECT_EQ(State.AdaptMode, AdaptNone);
            break;
        case TFunction::Coding:
            RunCoding(Context);
            EXPECT_EQ(State.CodingPending, 0u);
            break;
        }
        EXPECT_EQ(Host.Logs(), c.Lines);
        EXPECT_FALSE(Unit().InSpecialMode());
        EXPECT_TRUE(Posted(11).empty());
        EXPECT_TRUE(Posted(17).empty());
        FreePort();
    }
}

TEST_F(ActuatorTests, ClearActivationFlagRefusesTheTestMode) {
    Connect("hfm");
    // A status parameter whose "Activation" bit stays clear: it reads the always-zero parameter 27.
    auto status = std::make_unique<TECUparam>(25);
    status->SetCmdWord(0x551B);
    status->SetType('X');
    status->Name = "Activation;Post-start enrichment";
    status->ParseBitNames();
    status->SetBitId(ParamId::Activation, 0x01);
    Params.Clear();
    Params.Add(std::move(status));
    State.ActivationOn = true;
    EnterActivation(Context);
    EXPECT_EQ(Host.Logs(),
              (std::vector<std::string>{"", "!!!  ОШИБКА ПРИ ВХОДЕ В АКТИВАЦИЮ (Флаг Activation)!!!"}));
    EXPECT_FALSE(State.ActivationOn);
    EXPECT_TRUE(Posted(11).empty());
    EXPECT_TRUE(Posted(13).empty());
}

TEST_F(ActuatorTests, InjectorSwitchedOffMakesItsCylinderMisfire) {
    Connect("hfm");
    State.ActivationOn = true;
    EnterActivation(Context);
    Host.Clear();
    const float idleRpm = Read(1);

    EXPECT_TRUE(QueueAct(State, 0xD2, 0x08)); // "OFF inj 3"
    SendPendingAct(Context);
    EXPECT_EQ(State.PendingAct, NoAct);
    EXPECT_EQ(Posted(13), (std::vector<intptr_t>{0xD208}));
    Link.PauseAlive(5000);
    for (uint16_t cylinder = 1; cylinder <= 6; ++cylinder) {
        SCOPED_TRACE(cylinder);
        const float misfires = Read(52 + cylinder);
        if (cylinder == 3)
            EXPECT_GT(misfires, 10);
        else
            EXPECT_EQ(misfires, 0);
    }
    EXPECT_LT(Read(1), idleRpm - 20) << "five cylinders pull less";

    QueueAct(State, 0xD2, 0x00);
    SendPendingAct(Context);
    const float stopped = Read(55);
    Link.PauseAlive(3000);
    EXPECT_EQ(Read(55), stopped) << "injector 3 runs again";
}

TEST_F(ActuatorTests, QueuedCommandsGoWithTheirPreambles) {
    struct TCase {
        const char* Unit;
        uint16_t Act;
        std::vector<intptr_t> Sent; // WM_USER+13 in order, each after its pair went out
    };
    const TCase cases[] = {
        {"hfm", 0xD35A, {0xD180, 0xD35A}},     // the idle control lets go of the throttle first
        {"hfm-new", 0xD35A, {0xD100, 0xD35A}}, // newest generation
        {"hfm", 0xD280, {0xD101, 0xD280}},     // air pump valve before the air pump motor on late units
        {"hfm-new", 0xD280, {0xD280}},         {"hfm", 0xD27F, {0xD27F}}, {"hfm", 0xD6C0, {0xD6C0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Unit + std::string(" ") + std::to_string(c.Act));
        Connect(c.Unit);
        State.ActivationOn = true;
        EnterActivation(Context);
        Host.Clear();
        NewLogBytes();
        State.PendingAct = c.Act;
        SendPendingAct(Context);
        EXPECT_EQ(Posted(13), c.Sent);
        EXPECT_EQ(State.PendingAct, NoAct);
        // The status parameter first, then the pairs in the order posted.
        const std::string bytes = NewLogBytes();
        size_t at = bytes.find(PairBytes(0x55, 25, uint8_t(bytes.size() > 3 ? bytes[3] : 0)));
        EXPECT_EQ(at, 0u);
        for (intptr_t word : c.Sent) {
            const size_t next = bytes.find(PairBytes(uint8_t(word >> 8), uint8_t(word), uint8_t(word)), at);
            ASSERT_NE(next, std::string::npos) << std::hex << word;
            at = next;
        }
        EXPECT_EQ(bytes.size(), 4 * (1 + c.Sent.size()));
        FreePort();
    }
}

TEST_F(ActuatorTests, ThrottleCommandMovesTheIdleSpeed) {
    Connect("hfm");
    State.ActivationOn = true;
    EnterActivation(Context);
    Link.PauseAlive(3000);
    const float before = Read(1);
    QueueAct(State, 0xD3, ThrottleValue(50));
    SendPendingAct(Context);
    Link.PauseAlive(3000);
    EXPECT_GT(Read(1), before + 200);
}

// The reset sends every channel its standard value: the unit runs on all cylinders again, and the posted
// values (the panel's read-back) are the entry values.
TEST_F(ActuatorTests, ResetReturnsEveryOutputToTheUnitsStandardState) {
    Connect("hfm");
    State.ActivationOn = true;
    EnterActivation(Context);
    const std::vector<intptr_t> entry = Posted(13);
    Host.Clear();
    EXPECT_FALSE(State.OutputsChanged);
    QueueAct(State, 0xD2, 0x04); // "OFF inj 2"
    SendPendingAct(Context);
    EXPECT_TRUE(State.OutputsChanged);
    Link.PauseAlive(3000);
    ASSERT_GT(Read(54), 10) << "cylinder 2 misfires";

    Host.Clear();
    NewLogBytes();
    EXPECT_TRUE(QueueAct(State, ResetAct));
    SendPendingAct(Context);
    EXPECT_EQ(State.PendingAct, NoAct);
    EXPECT_FALSE(State.OutputsChanged);
    EXPECT_EQ(Posted(13), entry) << "each channel at its standard value, confirmed";
    EXPECT_NE(NewLogBytes().find(PairBytes(0xD2, 0x00, 0x00)), std::string::npos) << "the unit took it";
    const float misfires = Read(54);
    Link.PauseAlive(3000);
    EXPECT_EQ(Read(54), misfires) << "injector 2 runs again";
}

TEST_F(ActuatorTests, DiscardClearsTheQueueAndSendsNothing) {
    Connect("hfm");
    State.PendingAct = 0xD208;
    EXPECT_FALSE(QueueAct(State, 0xFF, 0xFF)) << "the waiting command is replaced after the wait";
    EXPECT_EQ(State.PendingAct, DiscardAct);
    NewLogBytes();
    SendPendingAct(Context);
    EXPECT_EQ(State.PendingAct, NoAct);
    EXPECT_TRUE(Posted(13).empty());
    EXPECT_TRUE(NewLogBytes().empty());
}

// A clock whose sleeps run a hook: the worker clearing the slot while the window waits.
class THookClock : public TClock {
public:
    uint32_t TickCount() override { return Inner.TickCount(); }
    int64_t PerfCounter() override { return Inner.PerfCounter(); }
    int64_t PerfFrequency() override { return Inner.PerfFrequency(); }
    void Sleep(uint32_t ms) override {
        Inner.Sleep(ms);
        ++Sleeps;
        if (OnSleep)
            OnSleep(Sleeps);
    }
    TManualClock Inner;
    int Sleeps = 0;
    std::function<void(int)> OnSleep;
};

TEST(QueueAct, WaitsAtMost101TimesFiveMilliseconds) {
    THookClock clock;
    TScopedClock use(clock);
    TActuatorState state;

    EXPECT_TRUE(QueueAct(state, 0xD2, 0x02));
    EXPECT_EQ(clock.Sleeps, 0) << "an empty slot takes the command at once";
    EXPECT_EQ(state.PendingAct, 0xD202);

    const uint32_t start = clock.TickCount();
    EXPECT_FALSE(QueueAct(state, 0xD3, 0x40));
    EXPECT_EQ(clock.Sleeps, 101);
    EXPECT_EQ(clock.TickCount() - start, 505u);
    EXPECT_EQ(state.PendingAct, 0xD340);

    clock.Sleeps = 0;
    clock.OnSleep = [&](int sleeps) {
        if (sleeps == 3)
            state.PendingAct = NoAct; // the worker sent it
    };
    EXPECT_TRUE(QueueAct(state, 0xD6, 0x80));
    EXPECT_EQ(clock.Sleeps, 3);
    EXPECT_EQ(state.PendingAct, 0xD680);
}

} // namespace
} // namespace velmora
