#include "platform/SyncObjs.h"

#include "platform/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(TCriticalSection, IsRecursiveForItsOwner)
{
    TCriticalSection cs;
    cs.Enter();
    EXPECT_TRUE(cs.TryEnter());
    EXPECT_TRUE(cs.TryEnterFor(0));
    cs.Leave();
    cs.Leave();
    cs.Leave();
}

TEST(TCriticalSection, TryEnterForTimesOutWhileAnotherThreadHoldsIt)
{
    TCriticalSection cs;
    TEvent held;
    TEvent release;
    std::thread holder([&] {
        TCriticalSectionGuard guard(cs);
        held.SetEvent();
        release.WaitFor();
    });
    ASSERT_EQ(held.WaitFor(5000), wrSignaled);
    EXPECT_FALSE(cs.TryEnter());
    const uint64_t start = GetTickCount64();
    EXPECT_FALSE(cs.TryEnterFor(40));
    EXPECT_GE(GetTickCount64() - start, 35u);
    release.SetEvent();
    holder.join();
    EXPECT_TRUE(cs.TryEnterFor(1000));
    cs.Leave();
}

TEST(TCriticalSection, GuardSerialisesWriters)
{
    TCriticalSection cs;
    long long total = 0; // plain on purpose: only the lock keeps it right
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5000; ++i) {
                TCriticalSectionGuard guard(cs);
                ++total;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(total, 8 * 5000);
}

TEST(TEvent, ManualResetStaysSignalledUntilReset)
{
    TEvent event(true, false);
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
    event.SetEvent();
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    event.ResetEvent();
    EXPECT_FALSE(event.IsSet());
    EXPECT_EQ(event.WaitFor(10), wrTimeout);
}

TEST(TEvent, AutoResetLetsOneWaiterThroughPerSet)
{
    TEvent event(false, false);
    std::atomic<int> passed{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (event.WaitFor(3000) == wrSignaled)
                ++passed;
        });
    for (int round = 1; round <= 3; ++round) {
        event.SetEvent();
        while (passed.load() < round)
            Sleep(1);
        Sleep(20); // room for a wrong second waiter to pass
        EXPECT_EQ(passed.load(), round);
        EXPECT_FALSE(event.IsSet());
    }
    for (auto& w : waiters)
        w.join();
}

TEST(TEvent, InitialStateAndAutoResetOnMainThread)
{
    TEvent event(false, true);
    EXPECT_EQ(event.WaitFor(0), wrSignaled);
    EXPECT_EQ(event.WaitFor(0), wrTimeout);
}

TEST(TEvent, MainThreadWaitServesTheWorkerThatWillSetIt)
{
    TEvent done;
    bool ranOnMain = false;
    TAnonymousThread worker([&] {
        MainThread::Synchronize([&] { ranOnMain = MainThread::IsMainThread(); });
        done.SetEvent();
    });
    worker.Start();
    EXPECT_EQ(done.WaitFor(5000), wrSignaled);
    EXPECT_TRUE(ranOnMain);
}

TEST(TThreadList, IgnoresDuplicatesAndLocksThroughTheGuard)
{
    TThreadList<int> list;
    list.Add(1);
    list.Add(2);
    list.Add(1);
    EXPECT_EQ(list.Count(), 2u);
    {
        TThreadList<int>::Locked items(list);
        EXPECT_EQ(*items, (std::vector<int>{1, 2}));
        items->push_back(7);
    }
    list.Remove(1);
    list.Remove(99);
    std::vector<int>& raw = list.LockList();
    EXPECT_EQ(raw, (std::vector<int>{2, 7}));
    list.UnlockList();
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
}

TEST(TThreadList, AddFromManyThreads)
{
    TThreadList<int> list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                list.Add(t * 1000 + i);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(list.Count(), 2000u);
}
