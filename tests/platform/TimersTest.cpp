#include "platform/Timers.h"

#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <gtest/gtest.h>

namespace {

void PumpUntil(const std::function<bool()>& done, int maxMs = 5000)
{
    const uint64_t end = GetTickCount64() + uint64_t(maxMs);
    while (!done() && GetTickCount64() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(TTimer, RunsOnlyWhenEnabledWithAnInterval)
{
    TTimer timer;
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_TRUE(timer.Active());

    timer.SetInterval(0);
    EXPECT_FALSE(timer.Active());
    timer.SetInterval(10);
    EXPECT_TRUE(timer.Active());
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Active());
    timer.SetInterval(20);
    EXPECT_FALSE(timer.Active()) << "a new interval does not enable it";
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Active());
}

TEST(TTimer, FiresRepeatedlyWithItselfAsSender)
{
    TTimer timer;
    int ticks = 0;
    TTimer* sender = nullptr;
    timer.OnTimer = [&](TTimer* s) {
        sender = s;
        ++ticks;
    };
    timer.SetInterval(5);
    PumpUntil([&] { return ticks >= 3; });
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(sender, &timer);

    timer.SetEnabled(false);
    const int stopped = ticks;
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, stopped);
}

TEST(TTimer, AnExceptionInTheHandlerIsReportedAndTheTimerGoesOn)
{
    std::vector<std::string> errors;
    SetBoundaryErrorHandler([&](const std::string& where, const std::string& message) {
        errors.push_back(where + ": " + message);
    });
    TTimer timer;
    int ticks = 0;
    timer.OnTimer = [&](TTimer*) {
        ++ticks;
        throw EConvertError("tick failed");
    };
    timer.SetInterval(5);
    PumpUntil([&] { return ticks >= 2; });
    SetBoundaryErrorHandler(nullptr);
    EXPECT_GE(ticks, 2);
    EXPECT_TRUE(timer.Active());
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors[0], "TTimer.OnTimer: EConvertError: tick failed");
}

TEST(TTimer, WithoutAHandlerNothingHappens)
{
    TTimer timer;
    timer.SetInterval(1);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(timer.Active());
}
