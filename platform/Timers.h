#pragma once
// A timer of the thread that creates it (which must run a Qt event loop,
// normally the main thread). It fires every Interval milliseconds while
// Enabled and Interval > 0; changing either re-arms it from now. An
// exception escaping OnTimer is reported through the boundary error handler
// (platform/Threads.h) and the timer goes on.

#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

class TTimer
{
  public:
    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    uint32_t Interval() const { return m_interval; }
    void SetInterval(uint32_t ms);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // True while the underlying timer is armed.
    bool Active() const;

    std::function<void(TTimer* sender)> OnTimer;

  private:
    void UpdateTimer();
    void Fire();

    std::unique_ptr<QTimer> m_timer;
    uint32_t m_interval = 1000;
    bool m_enabled = true;
};
