#include "base/KldProgress.h"

#include "platform/Threads.h"

#include <algorithm>
#include <new>

namespace {

constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

std::atomic<int> g_waitCursorCount{0};

} // namespace

// ---------------------------------------------------------------------------
// TKldProgress

void TKldProgress::Notify(TObject* Sender, const std::string& Proc, int32_t Progress,
                          const std::string& Message, bool* Abort)
{
    const uint32_t threadId = GetCurrentThreadId();
    IMessageReceiver* receiver = nullptr;
    {
        std::lock_guard lock(m_handlersLock);
        receiver = m_active;
        if (!receiver)
            return;
        m_deliveries.push_back({receiver, threadId});
    }

    // Ends the delivery however WndProc leaves.
    struct DeliveryGuard
    {
        TKldProgress& hub;
        IMessageReceiver* receiver;
        uint32_t threadId;
        ~DeliveryGuard() { hub.EndDelivery(receiver, threadId); }
    } guard{*this, receiver, threadId};

    TKldProgressInfo info;
    info.Sender = Sender;
    info.Proc = Proc;
    info.Message = Message;
    info.Progress = Progress;
    TMessage message;
    message.Msg = WM_KLDPROGRESS;
    message.WParam = 0;
    message.LParam = reinterpret_cast<LPARAM>(&info);
    message.Result = 0;
    receiver->WndProc(message);
    if (Abort)
        *Abort = message.Result != 0;
}

void TKldProgress::EndDelivery(IMessageReceiver* receiver, uint32_t threadId)
{
    {
        std::lock_guard lock(m_handlersLock);
        auto it = std::find_if(m_deliveries.begin(), m_deliveries.end(), [&](const Delivery& d) {
            return d.receiver == receiver && d.threadId == threadId;
        });
        if (it != m_deliveries.end())
            m_deliveries.erase(it);
    }
    m_deliveryEnded.notify_all();
    MainThread::Wake();
}

bool TKldProgress::IsDeliveringToOtherThread(IMessageReceiver* receiver, uint32_t threadId) const
{
    return std::any_of(m_deliveries.begin(), m_deliveries.end(),
                       [&](const Delivery& d) { return d.receiver == receiver && d.threadId != threadId; });
}

void TKldProgress::RegisterHandler(IMessageReceiver* Receiver)
{
    if (!Receiver)
        return;
    std::lock_guard lock(m_handlersLock);
    if (std::find(m_handlers.begin(), m_handlers.end(), Receiver) == m_handlers.end())
        m_handlers.push_back(Receiver);
    m_active = Receiver;
}

void TKldProgress::UnRegisterHandler(IMessageReceiver* Receiver)
{
    const uint32_t threadId = GetCurrentThreadId();
    {
        std::lock_guard lock(m_handlersLock);
        m_handlers.erase(std::remove(m_handlers.begin(), m_handlers.end(), Receiver), m_handlers.end());
        m_active = m_handlers.empty() ? nullptr : m_handlers.back();
    }
    // Deliveries on this thread are further up this very call stack: waiting
    // for them would never end.
    if (MainThread::IsMainThread()) {
        MainThread::WaitUntil(
            [&] {
                std::lock_guard lock(m_handlersLock);
                return !IsDeliveringToOtherThread(Receiver, threadId);
            },
            INFINITE);
    } else {
        std::unique_lock lock(m_handlersLock);
        m_deliveryEnded.wait(lock, [&] { return !IsDeliveringToOtherThread(Receiver, threadId); });
    }
}

void TKldProgress::BeginTask(const std::string& Name)
{
    TCriticalSectionGuard guard(m_taskLock);
    m_tasks.emplace_back(Name, GetCurrentThreadId());
}

void TKldProgress::EndTask()
{
    const uint32_t threadId = GetCurrentThreadId();
    TCriticalSectionGuard guard(m_taskLock);
    for (auto it = m_tasks.rbegin(); it != m_tasks.rend(); ++it) {
        if (it->second == threadId) {
            m_tasks.erase(std::next(it).base());
            return;
        }
    }
}

std::string TKldProgress::GetCurrentTask()
{
    const uint32_t threadId = GetCurrentThreadId();
    TCriticalSectionGuard guard(m_taskLock);
    for (auto it = m_tasks.rbegin(); it != m_tasks.rend(); ++it)
        if (it->second == threadId)
            return it->first;
    return std::string();
}

// ---------------------------------------------------------------------------
// TKldProgressMonitor

TKldProgressMonitor::TKldProgressMonitor(TComponent* Owner) : TComponent(Owner) {}

TKldProgressMonitor::~TKldProgressMonitor()
{
    // Unregistering waits for notices in flight, so none reaches a half-gone
    // monitor.
    SetActive(false);
}

void TKldProgressMonitor::SetActive(bool Value)
{
    if (m_active == Value)
        return;
    m_active = Value;
    if (Value)
        Progress.RegisterHandler(this);
    else
        Progress.UnRegisterHandler(this);
}

void TKldProgressMonitor::WndProc(TMessage& Message)
{
    if (Message.Msg != WM_KLDPROGRESS)
        return;
    if (!m_active || !OnProgress || Message.LParam == 0)
        return;
    const auto* info = reinterpret_cast<const TKldProgressInfo*>(Message.LParam);
    bool abort = false;
    OnProgress(info->Sender, info->Proc, info->Progress, info->Message, abort);
    Message.Result = abort ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Wait cursor

constinit std::atomic<TScreenCursorProc> ScreenCursorProc{nullptr};

void WaitCursor(bool Show)
{
    const TScreenCursorProc proc = ScreenCursorProc.load();
    if (!proc)
        return;
    if (Show) {
        if (g_waitCursorCount.fetch_add(1) == 0)
            proc(crHourGlass);
        return;
    }
    int count = g_waitCursorCount.load();
    while (count > 0 && !g_waitCursorCount.compare_exchange_weak(count, count - 1)) {
    }
    if (count == 1)
        proc(crDefault);
}

// ---------------------------------------------------------------------------
// The process-wide hub

namespace {

union ProgressStorage {
    constexpr ProgressStorage() : placeholder(0) {}
    ~ProgressStorage() {}
    char placeholder;
    TKldProgress progress;
};

constinit ProgressStorage g_progressStorage;
constinit int g_progressUsers = 0;

} // namespace

constinit TKldProgress& Progress = g_progressStorage.progress;

KldProgressDetail::ProgressLifetime::ProgressLifetime()
{
    if (g_progressUsers++ == 0)
        new (&g_progressStorage.progress) TKldProgress();
}

KldProgressDetail::ProgressLifetime::~ProgressLifetime()
{
    if (--g_progressUsers == 0)
        g_progressStorage.progress.~TKldProgress();
}
