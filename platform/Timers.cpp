#include "platform/Timers.h"

#include "platform/Threads.h"

#include <QTimer>
#include <climits>

TTimer::TTimer() : m_timer(std::make_unique<QTimer>())
{
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { Fire(); });
    UpdateTimer();
}

TTimer::~TTimer()
{
    m_timer->stop();
}

void TTimer::SetInterval(uint32_t ms)
{
    if (ms == m_interval)
        return;
    m_interval = ms;
    UpdateTimer();
}

void TTimer::SetEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    UpdateTimer();
}

bool TTimer::Active() const
{
    return m_timer->isActive();
}

void TTimer::UpdateTimer()
{
    m_timer->stop();
    if (m_enabled && m_interval > 0)
        m_timer->start(int(std::min<uint32_t>(m_interval, INT_MAX)));
}

void TTimer::Fire()
{
    if (!OnTimer)
        return;
    try {
        OnTimer(this);
    } catch (...) {
        ReportCurrentException("TTimer.OnTimer");
    }
}
