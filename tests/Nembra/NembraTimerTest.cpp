#include "Components/Nembra/NembraTimer.h"

#include "support/ErrorOf.h"
#include "support/EventLoopWait.h"

#include <gtest/gtest.h>

#include <thread>

TEST(NembraTimer, StartsEnabledWithOneSecondAndArmsOnlyWithAHandler)
{
    TNembraTimer timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.Armed());
    EXPECT_NE(timer.Handle(), NullHWnd);

    struct Case
    {
        const char* Desc;
        uint32_t Interval;
        bool Enabled;
        bool Handler;
        bool Armed;
    } cases[] = {
        {"all three set", 50, true, true, true},
        {"interval 0", 0, true, true, false},
        {"disabled", 50, false, true, false},
        {"no handler", 50, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        timer.SetOnTimer(c.Handler ? TNotifyEvent([](TObject*) {}) : TNotifyEvent());
        timer.SetInterval(c.Interval);
        timer.SetEnabled(c.Enabled);
        EXPECT_EQ(timer.Armed(), c.Armed);
    }
}

TEST(NembraTimer, TicksThroughItsWindowAndSurvivesAFailingHandler)
{
    TNembraTimer timer;
    int ticks = 0;
    TObject* sender = nullptr;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject* s) {
        sender = s;
        if (++ticks == 1)
            throw Exception("the first tick fails");
    });
    ASSERT_TRUE(RunEventsUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(sender, &timer);
    EXPECT_TRUE(timer.Armed());

    // A tick delivered to the window by hand is handled the same way.
    timer.SetEnabled(false);
    const int before = ticks;
    SendMessage(timer.Handle(), WM_TIMER, 1, 0);
    EXPECT_EQ(ticks, before + 1);
    // Other messages go by.
    SendMessage(timer.Handle(), WM_USER, 1, 0);
    EXPECT_EQ(ticks, before + 1);
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(ticks, before + 1);
}

TEST(NembraTimer, ATimerThatCannotBeSetRaisesOutOfResources)
{
    TNembraTimer timer;
    timer.SetOnTimer([](TObject*) {});
    // Window timers can only be set from the window's own thread.
    std::string error;
    std::string className;
    std::thread([&] {
        try {
            timer.SetInterval(20);
        } catch (const Exception& e) {
            error = e.Message();
            className = e.ClassName();
        }
    }).join();
    EXPECT_EQ(error, "Unable to create timer");
    EXPECT_EQ(className, "EOutOfResources");
}

TEST(NembraTimer, DestroyingStopsTheTicks)
{
    int ticks = 0;
    HWND handle = NullHWnd;
    {
        TNembraTimer timer;
        timer.SetInterval(10);
        timer.SetOnTimer([&](TObject*) { ++ticks; });
        handle = timer.Handle();
    }
    EXPECT_FALSE(IsWindow(handle));
    RunEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(ticks, 0);
}
