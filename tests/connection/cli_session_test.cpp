// The command-line tool's session in virtual time: a long watch keeps only what it has not looked at,
// and a session whose link failed reports the link's own failure, not a user stop.
#include <gtest/gtest.h>

#include <memory>

#include "commands.h"
#include "host_recorder.h"
#include "links/port_factory.h"
#include "params/list_prm.h"
#include "params/param_list.h"
#include "platform/clock.h"
#include "session.h"
#include "sim/sim_port.h"
#include "temp_folder.h"

namespace velmora {
namespace {

class TPlainView : public TBaseParam {
public:
    using TBaseParam::TBaseParam;
    void UpdateView() override {}
};

class CliSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterSimPorts(); }
    void TearDown() override { FreePort(); }

    TManualClock ManualClock;
    TScopedClock UseClock{ManualClock};
    testing::THostRecorder Host;
    testing::TTempFolder Folder;
};

TEST_F(CliSessionTest, LongWatchHoldsOnlyWhatItHasNotSeen) {
    TCliSession session("watch");
    TConnectSettings settings;
    settings.PortName = "SIM:hfm";
    ASSERT_TRUE(session.Connect(settings));
    auto list = std::make_shared<TListPrm>();
    TECUparam* speed = session.Reader.Params()->FindByNumber(1);
    ASSERT_NE(speed, nullptr);
    list->Add(std::make_unique<TPlainView>(*speed)).ParamNo = 1;
    ASSERT_TRUE(session.Reader.RequestViewList(list, TViewKind::Graph));
    // Ten minutes of values: every message is looked at once and then forgotten.
    long values = 0;
    EXPECT_FALSE(session.StepUntil(
        [&](const TSessionMessage& m) {
            values += m.Msg == WM_USER + 8;
            return false;
        },
        600000));
    EXPECT_GT(values, 5000);
    EXPECT_LE(session.Held(), TCliSession::KeptLines);
    EXPECT_EQ(session.Finish(), ExitOk);
}

TEST_F(CliSessionTest, LostLinkKeepsItsOwnStopText) {
    const std::string profile =
        Folder.WriteFile("silent.ini", "[Unit]\nBase=hfm\n[LineFaults]\nSilentAfterRequests=150\n").string();
    TCliSession session("watch");
    TConnectSettings settings;
    settings.PortName = "SIM:" + profile;
    ASSERT_TRUE(session.Connect(settings));
    EXPECT_FALSE(session.StepUntil([](const TSessionMessage&) { return false; }, 60000));
    EXPECT_EQ(session.Fail("the connection ended"), ExitFailed);
    const std::string stop = session.Reader.StopText();
    EXPECT_TRUE(stop.starts_with("Связь прервана!!! Время простоя ")) << stop;
    EXPECT_NE(stop.find("Попытки восстановить связь истекли!"), std::string::npos) << stop;
}

TEST_F(CliSessionTest, StopAfterASilenceEndsTheConnection) {
    // The command was busy for longer than the lost-link time between two steps: the worker refuses the
    // stop while the link looks dead, and the unit answers again at the next poll.
    TCliSession session("watch");
    TConnectSettings settings;
    settings.PortName = "SIM:hfm";
    ASSERT_TRUE(session.Connect(settings));
    ASSERT_TRUE(session.Step());
    ManualClock.Advance(1300);
    ASSERT_FALSE(session.Reader.IsAlive());
    EXPECT_EQ(session.Finish(), ExitOk);
    EXPECT_FALSE(session.Reader.IsAlive());
    const std::string stop = session.Reader.StopText();
    EXPECT_TRUE(stop.starts_with("Обмен остановлен.")) << stop;
}

} // namespace
} // namespace velmora
