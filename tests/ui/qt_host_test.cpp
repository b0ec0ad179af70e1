#include "ui/window/qt_host.h"

#include <QPlainTextEdit>
#include <QThread>
#include <thread>

#include "ui_test_support.h"

namespace velmora {
namespace {

constexpr int Count = 500;

struct TDelivered {
    uint32_t Msg;
    intptr_t W, L;
    QThread* Thread;
};

TEST(QtHost, PostsFromAnotherThreadArriveInOrderOnTheWindowThread) {
    TQtHost host;
    std::vector<TDelivered> delivered;
    host.SetMessageHandler([&](uint32_t msg, intptr_t w, intptr_t l) {
        delivered.push_back({msg, w, l, QThread::currentThread()});
    });
    QPlainTextEdit memo;
    host.SetLogMemo(&memo);

    // The worker posts everything while the window thread is not looking: no call may wait for it.
    std::thread worker([&] {
        for (int i = 0; i < Count; ++i) {
            host.PostMessage(WM_USER + 4, i, -i);
            host.AddLog("line " + std::to_string(i));
        }
    });
    worker.join();
    EXPECT_TRUE(delivered.empty()); // nothing runs on the worker's thread

    ASSERT_TRUE(testing::ProcessUntil([&] { return delivered.size() == Count; }));
    for (int i = 0; i < Count; ++i) {
        EXPECT_EQ(delivered[size_t(i)].W, i);
        EXPECT_EQ(delivered[size_t(i)].L, -i);
        EXPECT_EQ(delivered[size_t(i)].Thread, QThread::currentThread());
    }
    QStringList lines = memo.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), Count);
    EXPECT_EQ(lines.front(), "line 0");
    EXPECT_EQ(lines.back(), "line " + QString::number(Count - 1));
}

TEST(QtHost, LogOnTheWindowThreadIsAddedAtOnceButPostsAreQueued) {
    TQtHost host;
    QPlainTextEdit memo;
    host.SetLogMemo(&memo);
    int handled = 0;
    host.SetMessageHandler([&](uint32_t, intptr_t, intptr_t) { ++handled; });
    host.AddLog("Версия 1.45");
    EXPECT_EQ(memo.toPlainText(), "Версия 1.45");
    host.PostMessage(WM_USER + 3, 0, 0);
    EXPECT_EQ(handled, 0);
    ASSERT_TRUE(testing::ProcessUntil([&] { return handled == 1; }));
}

TEST(QtHost, AfterTheWindowEndedABoxFromTheWorkerIsAnsweredAtOnce) {
    TQtHost host;
    host.EndOfWindow();
    // No event loop runs any more: a box queued to the window thread would never be answered.
    TMsgResult answer = TMsgResult::Ok;
    std::thread worker(
        [&] { answer = host.MessageBox("Port busy", TMsgKind::Warning, TMsgButtons::AbortRetry); });
    worker.join();
    EXPECT_EQ(answer, TMsgResult::Abort);
}

} // namespace
} // namespace velmora
