#include "platform/SyncObjs.h"

#include "platform/Threads.h"

bool TCriticalSection::TryEnterFor(uint32_t ms)
{
    if (ms == INFINITE) {
        Enter();
        return true;
    }
    return m_mutex.try_lock_for(std::chrono::milliseconds(ms));
}

TEvent::TEvent(bool manualReset, bool initialState) : m_manualReset(manualReset), m_signaled(initialState) {}

void TEvent::SetEvent()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signaled = true;
    }
    if (m_manualReset)
        m_cond.notify_all();
    else
        m_cond.notify_one();
    // A main thread waiting on this event sleeps on the hand-off queue.
    MainThread::Wake();
}

void TEvent::ResetEvent()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signaled = false;
}

bool TEvent::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signaled;
}

bool TEvent::TryConsume()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_signaled)
        return false;
    if (!m_manualReset)
        m_signaled = false;
    return true;
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs)
{
    if (MainThread::IsMainThread())
        return MainThread::WaitUntil([this] { return TryConsume(); }, timeoutMs) ? wrSignaled : wrTimeout;

    std::unique_lock<std::mutex> lock(m_mutex);
    auto ready = [this] { return m_signaled; };
    if (timeoutMs == INFINITE)
        m_cond.wait(lock, ready);
    else if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return wrTimeout;
    if (!m_manualReset)
        m_signaled = false;
    return wrSignaled;
}
