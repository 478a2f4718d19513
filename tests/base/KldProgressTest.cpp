#include "base/KldProgress.h"

#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A receiver that records the notices it gets and answers a fixed result.
class FakeReceiver : public IMessageReceiver
{
  public:
    explicit FakeReceiver(LRESULT answer = 0) : m_answer(answer) {}

    void WndProc(TMessage& message) override
    {
        std::lock_guard lock(m_mutex);
        Seen seen;
        seen.Msg = message.Msg;
        seen.WParam = message.WParam;
        seen.ThreadId = GetCurrentThreadId();
        if (message.LParam != 0)
            seen.Info = *reinterpret_cast<const TKldProgressInfo*>(message.LParam);
        m_seen.push_back(seen);
        message.Result = m_answer;
    }

    struct Seen
    {
        uint32_t Msg = 0;
        WPARAM WParam = 99;
        uint32_t ThreadId = 0;
        TKldProgressInfo Info;
    };

    std::vector<Seen> SeenNotices()
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    std::size_t Count() { return SeenNotices().size(); }

  private:
    std::mutex m_mutex;
    std::vector<Seen> m_seen;
    LRESULT m_answer;
};

// A receiver whose handler blocks until released, to hold a notice in flight.
class BlockingReceiver : public IMessageReceiver
{
  public:
    std::function<void()> WhileBlocked;
    std::atomic<bool> Entered{false};
    std::atomic<bool> Release{false};
    std::atomic<bool> Left{false};

    void WndProc(TMessage&) override
    {
        Entered.store(true);
        if (WhileBlocked)
            WhileBlocked();
        while (!Release.load())
            std::this_thread::yield();
        Left.store(true);
    }
};

void WaitFor(const std::atomic<bool>& flag)
{
    while (!flag.load())
        std::this_thread::yield();
}

TEST(KldProgress, WithoutReceiverNothingHappens)
{
    TKldProgress hub;
    bool abort = true;
    hub.Notify(nullptr, "Proc", 1, "text", &abort);
    EXPECT_TRUE(abort) << "Abort is left as it is";
    hub.Notify(nullptr, "Proc", 1, "text");
}

TEST(KldProgress, NoticeCarriesTheRecord)
{
    TKldProgress hub;
    FakeReceiver receiver;
    hub.RegisterHandler(&receiver);
    TObject sender;
    hub.Notify(&sender, "GetMenu[Receiving]", 42, "Reading rows");
    hub.UnRegisterHandler(&receiver);

    const auto seen = receiver.SeenNotices();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Msg, 5024u);
    EXPECT_EQ(seen[0].Msg, WM_KLDPROGRESS);
    EXPECT_EQ(seen[0].WParam, 0u);
    EXPECT_EQ(seen[0].Info.Sender, &sender);
    EXPECT_EQ(seen[0].Info.Proc, "GetMenu[Receiving]");
    EXPECT_EQ(seen[0].Info.Message, "Reading rows");
    EXPECT_EQ(seen[0].Info.Progress, 42);
}

TEST(KldProgress, OnlyTheLastRegisteredReceiverGetsNotices)
{
    TKldProgress hub;
    FakeReceiver a;
    FakeReceiver b;
    hub.RegisterHandler(&a);
    hub.RegisterHandler(&b);
    hub.Notify(nullptr, "p", 1, "to b");
    EXPECT_EQ(a.Count(), 0u);
    EXPECT_EQ(b.Count(), 1u);

    hub.UnRegisterHandler(&b);
    hub.Notify(nullptr, "p", 2, "to a");
    EXPECT_EQ(a.Count(), 1u);
    EXPECT_EQ(b.Count(), 1u);

    hub.UnRegisterHandler(&a);
    hub.Notify(nullptr, "p", 3, "to nobody");
    EXPECT_EQ(a.Count(), 1u);
    EXPECT_EQ(b.Count(), 1u);
}

TEST(KldProgress, UnregisteringAnEarlierReceiverKeepsTheActiveOne)
{
    TKldProgress hub;
    FakeReceiver a;
    FakeReceiver b;
    hub.RegisterHandler(&a);
    hub.RegisterHandler(&b);
    hub.UnRegisterHandler(&a);
    hub.Notify(nullptr, "p", 1, "");
    EXPECT_EQ(b.Count(), 1u);
    EXPECT_EQ(a.Count(), 0u);
    hub.UnRegisterHandler(&b);
    FakeReceiver never;
    hub.UnRegisterHandler(&never); // not listed: harmless
}

TEST(KldProgress, RegisteringAgainMakesItActiveWithoutListingItTwice)
{
    TKldProgress hub;
    FakeReceiver a;
    FakeReceiver b;
    hub.RegisterHandler(&a);
    hub.RegisterHandler(&b);
    hub.RegisterHandler(&a);
    hub.Notify(nullptr, "p", 1, "");
    EXPECT_EQ(a.Count(), 1u);
    // One unregistration removes it; the last one still listed is b.
    hub.UnRegisterHandler(&a);
    hub.Notify(nullptr, "p", 2, "");
    EXPECT_EQ(b.Count(), 1u);
    hub.UnRegisterHandler(&b);
}

TEST(KldProgress, AbortFollowsTheAnswer)
{
    struct Case
    {
        const char* Desc;
        LRESULT Answer;
        bool Before;
        bool Expected;
    };
    const Case cases[] = {
        {"answer 1 aborts", 1, false, true},
        {"any answer other than 0 aborts", -7, false, true},
        {"answer 0 clears a set flag", 0, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldProgress hub;
        FakeReceiver receiver(c.Answer);
        hub.RegisterHandler(&receiver);
        bool abort = c.Before;
        hub.Notify(nullptr, "p", 0, "", &abort);
        EXPECT_EQ(abort, c.Expected);
        hub.Notify(nullptr, "p", 0, "", nullptr);
        EXPECT_EQ(receiver.Count(), 2u);
        hub.UnRegisterHandler(&receiver);
    }
}

TEST(KldProgress, NoticesArriveOnTheReportingThread)
{
    TKldProgress hub;
    FakeReceiver receiver;
    hub.RegisterHandler(&receiver);
    constexpr int Workers = 4;
    constexpr int NoticesEach = 50;
    std::vector<uint32_t> workerIds(Workers);
    std::vector<std::thread> workers;
    for (int w = 0; w < Workers; ++w)
        workers.emplace_back([&, w] {
            workerIds[w] = GetCurrentThreadId();
            for (int i = 0; i < NoticesEach; ++i)
                hub.Notify(nullptr, "worker" + std::to_string(w), i, "");
        });
    for (auto& worker : workers)
        worker.join();
    hub.UnRegisterHandler(&receiver);

    const auto seen = receiver.SeenNotices();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(Workers * NoticesEach));
    for (const auto& notice : seen) {
        const int w = std::stoi(notice.Info.Proc.substr(6));
        EXPECT_EQ(notice.ThreadId, workerIds[w]);
    }
}

// Unregistering waits for a notice that another thread is delivering, so the
// receiver may be destroyed right afterwards. Runs the wait on the main
// thread and on a worker thread.
TEST(KldProgress, UnregisterWaitsForANoticeInFlight)
{
    for (const bool fromMainThread : {true, false}) {
        SCOPED_TRACE(fromMainThread ? "unregistered on the main thread" : "unregistered on a worker");
        TKldProgress hub;
        auto receiver = std::make_unique<BlockingReceiver>();
        hub.RegisterHandler(receiver.get());
        std::thread reporter([&] { hub.Notify(nullptr, "p", 1, ""); });
        WaitFor(receiver->Entered);

        std::atomic<bool> unregistered{false};
        auto unregister = [&] {
            hub.UnRegisterHandler(receiver.get());
            unregistered.store(true);
            // The notice has returned: the receiver may go now.
            EXPECT_TRUE(receiver->Left.load());
            receiver.reset();
        };
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(unregistered.load()) << "UnRegisterHandler returned while a notice was in flight";
            receiver->Release.store(true);
        });
        if (fromMainThread) {
            unregister();
        } else {
            std::thread worker(unregister);
            worker.join();
        }
        releaser.join();
        reporter.join();
        EXPECT_TRUE(unregistered.load());
        EXPECT_EQ(receiver, nullptr);
    }
}

// A receiver whose handler hands work to the main thread while the main
// thread waits in UnRegisterHandler: the wait serves the hand-off.
TEST(KldProgress, UnregisterOnTheMainThreadServesHandOffs)
{
    TKldProgress hub;
    BlockingReceiver receiver;
    std::atomic<bool> handedOff{false};
    receiver.WhileBlocked = [&] {
        MainThread::Synchronize([&] { handedOff.store(true); });
        receiver.Release.store(true);
    };
    hub.RegisterHandler(&receiver);
    std::thread reporter([&] { hub.Notify(nullptr, "p", 1, ""); });
    WaitFor(receiver.Entered);
    hub.UnRegisterHandler(&receiver);
    reporter.join();
    EXPECT_TRUE(handedOff.load());
    EXPECT_TRUE(receiver.Left.load());
}

TEST(KldProgress, ReceiverMayUnregisterItselfInItsHandler)
{
    TKldProgress hub;
    struct SelfRemover : IMessageReceiver
    {
        TKldProgress* hub = nullptr;
        int calls = 0;
        void WndProc(TMessage&) override
        {
            ++calls;
            hub->UnRegisterHandler(this);
        }
    } receiver;
    receiver.hub = &hub;
    hub.RegisterHandler(&receiver);
    hub.Notify(nullptr, "p", 1, "");
    hub.Notify(nullptr, "p", 2, "");
    EXPECT_EQ(receiver.calls, 1);
}

TEST(KldProgress, ExceptionFromTheReceiverReachesTheReporterAndEndsTheDelivery)
{
    TKldProgress hub;
    struct Thrower : IMessageReceiver
    {
        void WndProc(TMessage&) override { throw Exception("receiver failed"); }
    } receiver;
    hub.RegisterHandler(&receiver);
    EXPECT_THROW(hub.Notify(nullptr, "p", 1, ""), Exception);
    // Nothing is left in flight: unregistering from another thread returns.
    std::thread other([&] { hub.UnRegisterHandler(&receiver); });
    other.join();
}

TEST(KldProgress, TasksArePerThread)
{
    TKldProgress hub;
    EXPECT_EQ(hub.GetCurrentTask(), "");
    hub.EndTask(); // nothing to end: harmless
    hub.BeginTask("load");
    hub.BeginTask("save");
    EXPECT_EQ(hub.GetCurrentTask(), "save");

    std::string seenByOther = "unset";
    std::string otherOwn;
    std::thread other([&] {
        seenByOther = hub.GetCurrentTask();
        hub.BeginTask("other");
        hub.EndTask();
        hub.EndTask(); // must not end this thread's tasks of the main thread
        hub.BeginTask("Login/Server");
        otherOwn = hub.GetCurrentTask();
    });
    other.join();
    EXPECT_EQ(seenByOther, "");
    EXPECT_EQ(otherOwn, "Login/Server");

    hub.EndTask();
    EXPECT_EQ(hub.GetCurrentTask(), "load");
    hub.EndTask();
    EXPECT_EQ(hub.GetCurrentTask(), "");
}

TEST(KldProgress, NestedTasksOnManyThreads)
{
    TKldProgress hub;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            const std::string base = "task" + std::to_string(t);
            for (int round = 0; round < 100; ++round) {
                hub.BeginTask(base + "/outer");
                hub.BeginTask(base + "/inner");
                if (hub.GetCurrentTask() != base + "/inner")
                    ++mismatches;
                hub.EndTask();
                if (hub.GetCurrentTask() != base + "/outer")
                    ++mismatches;
                hub.EndTask();
                if (!hub.GetCurrentTask().empty())
                    ++mismatches;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(KldProgressMonitor, ActiveMonitorRaisesOnProgress)
{
    TKldProgressMonitor monitor;
    EXPECT_FALSE(monitor.Active());
    std::vector<std::string> calls;
    bool answer = false;
    monitor.OnProgress = [&](TObject* sender, const std::string& proc, int32_t position,
                             const std::string& message, bool& abort) {
        EXPECT_FALSE(abort) << "the flag starts False";
        calls.push_back(proc + "|" + std::to_string(position) + "|" + message);
        abort = answer;
    };

    Progress.Notify(nullptr, "p", 1, "before");
    monitor.SetActive(true);
    EXPECT_TRUE(monitor.Active());
    bool abort = true;
    Progress.Notify(nullptr, "Update", 5, "Downloading", &abort);
    EXPECT_FALSE(abort);
    answer = true;
    Progress.Notify(nullptr, "Update", 6, "Stop", &abort);
    EXPECT_TRUE(abort);
    monitor.SetActive(false);
    Progress.Notify(nullptr, "p", 7, "after");

    const std::vector<std::string> expected = {"Update|5|Downloading", "Update|6|Stop"};
    EXPECT_EQ(calls, expected);
}

TEST(KldProgressMonitor, IgnoresOtherMessagesAndEmptyNotices)
{
    TKldProgressMonitor monitor;
    int calls = 0;
    monitor.OnProgress = [&](TObject*, const std::string&, int32_t, const std::string&, bool& abort) {
        ++calls;
        abort = true;
    };
    monitor.SetActive(true);
    TMessage empty{WM_KLDPROGRESS, 0, 0, 0};
    monitor.WndProc(empty);
    EXPECT_EQ(empty.Result, 0);
    TKldProgressInfo info;
    TMessage other{WM_USER, 0, reinterpret_cast<LPARAM>(&info), 0};
    monitor.WndProc(other);
    EXPECT_EQ(other.Result, 0);
    EXPECT_EQ(calls, 0);

    // Without OnProgress the answer is 0.
    monitor.OnProgress = nullptr;
    bool abort = true;
    Progress.Notify(nullptr, "p", 1, "", &abort);
    EXPECT_FALSE(abort);
    monitor.SetActive(false);
}

TEST(KldProgressMonitor, DestroyingTheMonitorUnregistersIt)
{
    FakeReceiver below;
    Progress.RegisterHandler(&below);
    {
        TKldProgressMonitor monitor;
        int calls = 0;
        monitor.OnProgress = [&](TObject*, const std::string&, int32_t, const std::string&, bool&) {
            ++calls;
        };
        monitor.SetActive(true);
        monitor.SetActive(true); // unchanged: nothing happens
        Progress.Notify(nullptr, "p", 1, "");
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(below.Count(), 0u);
    }
    Progress.Notify(nullptr, "p", 2, "");
    EXPECT_EQ(below.Count(), 1u);
    Progress.UnRegisterHandler(&below);
}

// ---------------------------------------------------------------------------
// Wait cursor

std::mutex g_cursorMutex;
std::vector<int> g_cursorCalls;

void RecordCursor(int cursor)
{
    std::lock_guard lock(g_cursorMutex);
    g_cursorCalls.push_back(cursor);
}

class WaitCursorTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        g_cursorCalls.clear();
        ScreenCursorProc = &RecordCursor;
    }
    void TearDown() override { ScreenCursorProc = nullptr; }
};

TEST_F(WaitCursorTest, Sequences)
{
    struct Case
    {
        const char* Desc;
        std::vector<bool> Steps;
        std::vector<int> Expected;
    };
    const std::vector<Case> cases = {
        {"show and hide", {true, false}, {-11, 0}},
        {"nested shows switch once each way", {true, true, false, false}, {-11, 0}},
        {"hides beyond the shows do nothing", {true, false, false, false}, {-11, 0}},
        {"hide first does nothing, then a show works", {false, true, false}, {-11, 0}},
        {"open nesting keeps the hourglass", {true, true, false}, {-11}},
        {"closing the open nesting", {false}, {0}},
    };
    // The count is shared by the whole process, so the cases run in order
    // and the table ends with the count back at 0.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        g_cursorCalls.clear();
        for (bool show : c.Steps)
            WaitCursor(show);
        EXPECT_EQ(g_cursorCalls, c.Expected);
    }
}

TEST_F(WaitCursorTest, WithoutCursorProcNothingIsCounted)
{
    ScreenCursorProc = nullptr;
    WaitCursor(true);
    WaitCursor(true);
    ScreenCursorProc = &RecordCursor;
    // The two shows above were not counted: one hide does nothing, and the
    // next show switches to the hourglass.
    WaitCursor(false);
    EXPECT_TRUE(g_cursorCalls.empty());
    WaitCursor(true);
    WaitCursor(false);
    EXPECT_EQ(g_cursorCalls, (std::vector<int>{-11, 0}));
}

TEST_F(WaitCursorTest, BalancedUseFromManyThreadsEndsAtZero)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                WaitCursor(true);
                WaitCursor(false);
                WaitCursor(false); // an extra hide never takes the count below 0
            }
        });
    for (auto& thread : threads)
        thread.join();
    g_cursorCalls.clear();
    WaitCursor(true);
    WaitCursor(false);
    EXPECT_EQ(g_cursorCalls, (std::vector<int>{-11, 0}));
}

} // namespace
