#include "Components/Nembra/NembraTimer.h"

namespace {
constexpr uintptr_t TimerId = 1;
}

TNembraTimer::TNembraTimer(TComponent* AOwner) : TComponent(AOwner), m_handle(AllocateHWnd(this)) {}

TNembraTimer::~TNembraTimer()
{
    m_enabled = false;
    UpdateTimer();
    DeallocateHWnd(m_handle);
}

void TNembraTimer::SetEnabled(bool Value)
{
    if (Value == m_enabled)
        return;
    m_enabled = Value;
    UpdateTimer();
}

void TNembraTimer::SetInterval(uint32_t Value)
{
    if (Value == m_interval)
        return;
    m_interval = Value;
    UpdateTimer();
}

void TNembraTimer::SetOnTimer(TNotifyEvent Value)
{
    m_onTimer = std::move(Value);
    UpdateTimer();
}

void TNembraTimer::UpdateTimer()
{
    KillTimer(m_handle, TimerId);
    m_armed = false;
    if (m_interval == 0 || !m_enabled || !m_onTimer)
        return;
    if (!SetTimer(m_handle, TimerId, m_interval))
        throw EOutOfResources("Unable to create timer");
    m_armed = true;
}

void TNembraTimer::Timer()
{
    if (m_onTimer)
        m_onTimer(this);
}

void TNembraTimer::WndProc(TMessage& Message)
{
    if (Message.Msg != WM_TIMER)
        return;
    // A failing tick must not stop the ticks that follow, nor reach the
    // event loop.
    try {
        Timer();
    } catch (...) {
    }
}
