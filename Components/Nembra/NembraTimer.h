#pragma once
// TNembraTimer: a small window-message timer. It owns a hidden window of its
// own and keeps one timer (identifier 1) on it, so its ticks arrive through
// the window's messages in the thread that made it (the notification
// client's keep-alive runs on it).
//
// Every change of Enabled, Interval or OnTimer re-arms it: the timer is
// killed and set again only while Interval is not 0, Enabled is set and
// OnTimer is assigned. A timer that cannot be set raises EOutOfResources
// "Unable to create timer" from the setter that re-armed it. An exception
// escaping OnTimer is swallowed: the timer goes on ticking.

#include "platform/Component.h"
#include "platform/Messages.h"

#include <cstdint>

class TNembraTimer : public TComponent, private IMessageReceiver
{
  public:
    explicit TNembraTimer(TComponent* AOwner = nullptr);
    ~TNembraTimer() override;
    std::string ClassName() const override { return "TNembraTimer"; }

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool Value);
    uint32_t Interval() const { return m_interval; }
    void SetInterval(uint32_t Value);
    const TNotifyEvent& OnTimer() const { return m_onTimer; }
    void SetOnTimer(TNotifyEvent Value);

    // The hidden window that receives the ticks (WM_TIMER, wParam 1).
    HWND Handle() const { return m_handle; }
    // Whether the window's timer is set now.
    bool Armed() const { return m_armed; }

  protected:
    // Raises OnTimer when assigned.
    virtual void Timer();

  private:
    void UpdateTimer();
    void WndProc(TMessage& Message) override;

    HWND m_handle = NullHWnd;
    bool m_enabled = true;
    uint32_t m_interval = 1000;
    TNotifyEvent m_onTimer;
    bool m_armed = false;
};
