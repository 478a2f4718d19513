#pragma once
// Runs the Qt event loop of the calling (main) thread until a condition
// holds or the time runs out, for tests whose events arrive through it
// (sockets, window timers, posted messages).

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

inline bool RunEventsUntil(const std::function<bool()>& Condition,
                           std::chrono::milliseconds Timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + Timeout;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Runs the event loop for a while, for checks that nothing happens.
inline void RunEventsFor(std::chrono::milliseconds Time)
{
    RunEventsUntil([] { return false; }, Time);
}
