// One job on the line at a time: the lease itself, and every core taker refused while another job holds
// the line, naming it, with the holder's port left open and in place.
#include "links/line_lease.h"

#include <gtest/gtest.h>

#include "engine_link/engine_link.h"
#include "engine_link/exchange_log.h"
#include "line_rig.h"
#include "line_tests/adapter_test.h"
#include "line_tests/kline_impulse.h"
#include "slow_codes/slow_codes.h"

namespace velmora {
namespace {

using testing::TLineRig;

TEST(LineLease, OneHolderAtATimeNamedUntilItGivesTheLineBack) {
    testing::THostRecorder host;
    TLineLease first = TLineLease::Take(ImpulseJob);
    ASSERT_TRUE(first);
    EXPECT_EQ(LineHolder(), ImpulseJob);
    EXPECT_FALSE(TLineLease::Take(SlowCodesJob)) << "a second taker is refused";
    EXPECT_EQ(LineBusyText(), "Линия занята: импульс в K-линию. Дождитесь окончания или нажмите Stop.");

    // Moved, the line stays held; a refused (empty) lease going away gives nothing back.
    TLineLease moved = std::move(first);
    { TLineLease refused = TLineLease::Take(EGasDialogueJob); }
    EXPECT_EQ(LineHolder(), ImpulseJob);
    moved.Release();
    EXPECT_EQ(LineHolder(), "");
    TLineLease next = TLineLease::Take(SrsDialogueJob);
    EXPECT_TRUE(next);
    moved.Release(); // given back twice: the new holder keeps the line
    EXPECT_EQ(LineHolder(), SrsDialogueJob);
}

// While another job holds the line and its port, each core job that takes the line itself is refused with
// the text naming the holder, and leaves the holder's port open.
TEST(LineLease, CoreJobsAreRefusedWhileAnotherHoldsTheLine) {
    struct TCase {
        const char* Name;
        std::function<bool(TLineRig&)> Run; // true: the job ran (it must not)
    };
    const TCase cases[] = {
        {"impulse",
         [](TLineRig& rig) {
             std::atomic<bool> stop{false};
             return KLineImpulse(rig.Request(), 4000, stop);
         }},
        {"slow codes",
         [](TLineRig& rig) {
             std::atomic<bool> stop{false};
             return SlowCodes(rig.Request(), {}, stop).Outcome != TSlowCodeOutcome::Refused;
         }},
        {"adapter test", [](TLineRig& rig) { return TestAdapter(rig.Request(), false); }},
        {"engine session",
         [](TLineRig&) {
             TExchangeLog log;
             TEngineLink link(log);
             link.PortName = TLineRig::PortName;
             const bool opened = link.OpenLinkPort();
             EXPECT_EQ(link.FailureText,
                       "Линия занята: диагностика E-GAS. Дождитесь окончания или нажмите Stop.");
             link.CloseLinkPort(); // as the worker ends a refused connection: nothing of the holder's
             return opened;
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TLineRig rig("SIM:hfm");
        TLineLease holder = TLineLease::Take(EGasDialogueJob);
        ASSERT_TRUE(CreatePort(9600, TLineRig::PortName));
        TBasePort* held = Port();
        EXPECT_FALSE(c.Run(rig));
        EXPECT_TRUE(rig.Logged("Линия занята: диагностика E-GAS. Дождитесь окончания или нажмите Stop."))
            << rig.Host.LogText();
        EXPECT_EQ(Port(), held) << "the holder's port is neither freed nor replaced";
        EXPECT_TRUE(held->IsOpen());
        EXPECT_TRUE(rig.Car().Bus().LowTimes().empty()) << "nothing reached the line";
        EXPECT_EQ(LineHolder(), EGasDialogueJob);
        FreePort();
    }
}

} // namespace
} // namespace velmora
