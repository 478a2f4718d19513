#include "platform/Threads.h"

#include "platform/SyncObjs.h"
#include "platform/SysUtils.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

// Collects boundary errors for the life of the fixture.
class BoundaryErrors
{
  public:
    BoundaryErrors()
    {
        SetBoundaryErrorHandler([this](const std::string& where, const std::string& message) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(where + ": " + message);
        });
    }
    ~BoundaryErrors() { SetBoundaryErrorHandler(nullptr); }
    std::vector<std::string> Lines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

  private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Hands `rounds` calls to the main thread and counts those that ran there.
class SyncWorker : public TThread
{
  public:
    SyncWorker(int rounds, std::atomic<int>& onMain, int& plainCounter)
        : m_rounds(rounds), m_onMain(onMain), m_plainCounter(plainCounter)
    {
    }
    ~SyncWorker() override { TerminateAndWait(); }

  protected:
    void Execute() override
    {
        for (int i = 0; i < m_rounds; ++i)
            Synchronize([this] {
                if (MainThread::IsMainThread())
                    ++m_onMain;
                ++m_plainCounter; // unguarded: only safe because it runs on the main thread
            });
    }

  private:
    int m_rounds;
    std::atomic<int>& m_onMain;
    int& m_plainCounter;
};

class RaisingThread : public TThread
{
  protected:
    void Execute() override { throw EConvertError("bad number"); }
};

class CountingThread : public TThread
{
  public:
    ~CountingThread() override { TerminateAndWait(); }
    std::atomic<int> loops{0};

  protected:
    void Execute() override
    {
        while (!Terminated()) {
            ++loops;
            Sleep(1);
        }
        SetReturnValue(42);
    }
};

class SelfFreeingThread : public TThread
{
  public:
    explicit SelfFreeingThread(TEvent& destroyed) : m_destroyed(destroyed) {}
    ~SelfFreeingThread() override { m_destroyed.SetEvent(); }

  protected:
    void Execute() override {}

  private:
    TEvent& m_destroyed;
};

} // namespace

TEST(MainThread, IdentifiesTheMainThread)
{
    EXPECT_TRUE(MainThread::IsMainThread());
    EXPECT_EQ(GetCurrentThreadId(), MainThread::ThreadId());
    uint32_t workerId = 0;
    bool workerIsMain = true;
    TAnonymousThread worker([&] {
        workerId = GetCurrentThreadId();
        workerIsMain = MainThread::IsMainThread();
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_NE(workerId, 0u);
    EXPECT_NE(workerId, GetCurrentThreadId());
    EXPECT_EQ(worker.ThreadID(), workerId);
    EXPECT_FALSE(workerIsMain);
}

TEST(MainThread, SynchronizeFromSeveralWorkersWhileMainWaits)
{
    std::atomic<int> onMain{0};
    int plainCounter = 0;
    constexpr int Workers = 6;
    constexpr int Rounds = 200;
    std::vector<std::unique_ptr<SyncWorker>> workers;
    for (int i = 0; i < Workers; ++i)
        workers.push_back(std::make_unique<SyncWorker>(Rounds, onMain, plainCounter));
    for (auto& w : workers)
        w->Start();
    // No event loop runs here: WaitFor itself must serve the hand-offs.
    for (auto& w : workers)
        w->WaitFor();
    EXPECT_EQ(onMain.load(), Workers * Rounds);
    EXPECT_EQ(plainCounter, Workers * Rounds);
}

TEST(MainThread, SynchronizeOnMainRunsDirectly)
{
    bool ran = false;
    MainThread::Synchronize([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(MainThread, SynchronizeRaisesTheErrorInTheCaller)
{
    std::string caught;
    TAnonymousThread worker([&] {
        try {
            MainThread::Synchronize([] { throw EConvertError("'x' is not a valid integer value"); });
        } catch (const EConvertError& e) {
            caught = e.Message();
        }
    });
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(caught, "'x' is not a valid integer value");
}

TEST(MainThread, QueueRunsFromTheEventLoopAndReportsErrors)
{
    BoundaryErrors errors;
    std::vector<int> order;
    MainThread::Queue([&] { order.push_back(1); });
    MainThread::Queue([] { throw Exception("queued failure"); });
    MainThread::Queue([&] { order.push_back(3); });
    EXPECT_TRUE(order.empty()) << "Queue on the main thread must not run at once";
    for (int i = 0; i < 100 && order.size() < 2; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    auto lines = errors.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("queued failure"), std::string::npos);
}

TEST(MainThread, WaitUntilTimesOut)
{
    const uint64_t start = GetTickCount64();
    EXPECT_FALSE(MainThread::WaitUntil([] { return false; }, 30));
    EXPECT_GE(GetTickCount64() - start, 30u);
}

TEST(TThread, KeepsTheExceptionOfExecute)
{
    RaisingThread thread;
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    ASSERT_TRUE(thread.FatalException());
    EXPECT_EQ(thread.FatalExceptionMessage(), "bad number");
    EXPECT_THROW(std::rethrow_exception(thread.FatalException()), EConvertError);
}

TEST(TThread, TerminateEndsTheLoopAndWaitForAnswersTheReturnValue)
{
    CountingThread thread;
    thread.Start();
    while (thread.loops.load() < 3)
        Sleep(1);
    EXPECT_FALSE(thread.Finished());
    thread.Terminate();
    EXPECT_TRUE(thread.Terminated());
    EXPECT_EQ(thread.WaitFor(), 42);
    EXPECT_TRUE(thread.Finished());
}

TEST(TThread, OnTerminateRunsOnTheMainThread)
{
    bool onMain = false;
    TThread* sender = nullptr;
    TAnonymousThread thread([] {});
    thread.OnTerminate = [&](TThread* s) {
        onMain = MainThread::IsMainThread();
        sender = s;
    };
    thread.Start();
    thread.WaitFor();
    EXPECT_TRUE(onMain);
    EXPECT_EQ(sender, &thread);
}

TEST(TThread, FreeOnTerminateDeletesItself)
{
    TEvent destroyed;
    bool terminated = false;
    auto* thread = new SelfFreeingThread(destroyed);
    thread->SetFreeOnTerminate(true);
    thread->OnTerminate = [&](TThread*) { terminated = true; };
    thread->Start();
    // The main thread's wait serves the OnTerminate hand-off.
    EXPECT_EQ(destroyed.WaitFor(5000), wrSignaled);
    EXPECT_TRUE(terminated);
}

TEST(TThread, StartTwiceAndWaitForItselfAreErrors)
{
    std::string selfWait;
    TAnonymousThread* self = nullptr;
    TAnonymousThread thread([&] {
        try {
            self->WaitFor();
        } catch (const Exception& e) {
            selfWait = e.Message();
        }
    });
    self = &thread;
    thread.Start();
    EXPECT_THROW(thread.Start(), Exception);
    thread.WaitFor();
    EXPECT_EQ(selfWait, "A thread cannot wait for itself");
}

TEST(Ticks, GetTickCount64IsMonotonic)
{
    const uint64_t a = GetTickCount64();
    Sleep(5);
    const uint64_t b = GetTickCount64();
    EXPECT_GE(b - a, 5u);
    // Beyond 32 bits after 49.7 days of uptime; the clock gives the full width.
    EXPECT_EQ(sizeof(GetTickCount64()), 8u);
}

TEST(BoundaryErrors, DefaultGoesToStderrAndAFailingHandlerFallsBack)
{
    testing::internal::CaptureStderr();
    ReportBoundaryError("Unit", "first");
    SetBoundaryErrorHandler([](const std::string&, const std::string&) { throw Exception("handler broke"); });
    ReportBoundaryError("Unit", "second");
    SetBoundaryErrorHandler(nullptr);
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_NE(text.find("[Unit] first"), std::string::npos);
    EXPECT_NE(text.find("[Unit] second"), std::string::npos);
}

TEST(MainThread, WaitConditionMayTakeALockUnderWhichWorkIsHandedOver)
{
    std::mutex lock;
    bool ready = false;
    bool queuedRan = false;
    TEvent holding;
    TAnonymousThread worker([&] {
        {
            std::lock_guard<std::mutex> guard(lock);
            holding.SetEvent();
            Sleep(50); // lets the main thread block on the lock inside its condition
            MainThread::Queue([&] { queuedRan = true; });
            ready = true;
        }
        MainThread::Wake();
    });
    worker.Start();
    ASSERT_EQ(holding.WaitFor(5000), wrSignaled);
    EXPECT_TRUE(MainThread::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(lock);
            return ready;
        },
        INFINITE));
    worker.WaitFor();
    MainThread::ProcessPending();
    EXPECT_TRUE(queuedRan);
}
