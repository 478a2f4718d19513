#include "platform/Threads.h"

#include "platform/StackTrace.h"
#include "platform/SyncObjs.h"
#include "platform/SysUtils.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Boundary errors

namespace {

// Made on first use, so that static objects of other files may install or use
// the handler while they are built.
struct BoundaryHandlerSlot
{
    std::mutex mutex;
    TBoundaryErrorHandler handler;
};

BoundaryHandlerSlot& HandlerSlot()
{
    static BoundaryHandlerSlot slot;
    return slot;
}

} // namespace

void SetBoundaryErrorHandler(TBoundaryErrorHandler handler)
{
    BoundaryHandlerSlot& slot = HandlerSlot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.handler = std::move(handler);
}

TBoundaryErrorHandler GetBoundaryErrorHandler()
{
    BoundaryHandlerSlot& slot = HandlerSlot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    return slot.handler;
}

void ReportBoundaryError(const std::string& where, const std::string& message)
{
    TBoundaryErrorHandler handler;
    {
        BoundaryHandlerSlot& slot = HandlerSlot();
        std::lock_guard<std::mutex> lock(slot.mutex);
        handler = slot.handler;
    }
    if (handler) {
        try {
            handler(where, message);
            return;
        } catch (...) {
            // A failing handler must not turn a reported error into a crash;
            // fall back to stderr.
        }
    }
    std::cerr << "[" << where << "] " << message << std::endl;
}

namespace {
thread_local const TBoundaryException* t_boundaryException = nullptr;
} // namespace

const TBoundaryException* CurrentBoundaryException()
{
    return t_boundaryException;
}

void ReportCurrentException(const std::string& where)
{
    const TBoundaryException report{std::current_exception(), GetCurrentThreadId(), CurrentThreadName(), where};
    const TBoundaryException* outer = t_boundaryException;
    t_boundaryException = &report;
    struct Restore
    {
        const TBoundaryException* Outer;
        ~Restore() { t_boundaryException = Outer; }
    } restore{outer};
    std::string message;
    try {
        throw;
    } catch (const Exception& e) {
        message = e.ClassName() + ": " + e.Message();
    } catch (const std::exception& e) {
        message = std::string("std::exception: ") + e.what();
    } catch (...) {
        message = "unknown exception";
    }
    ReportBoundaryError(where, message);
}

// ---------------------------------------------------------------------------
// Thread ids and ticks

uint32_t GetCurrentThreadId()
{
    thread_local const uint32_t id = static_cast<uint32_t>(::syscall(SYS_gettid));
    return id;
}

uint64_t GetTickCount64()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// ---------------------------------------------------------------------------
// The main thread's hand-off queue

namespace {

struct SyncState
{
    bool done = false;
    std::exception_ptr error;
};

struct PendingCall
{
    std::function<void()> fn;
    std::shared_ptr<SyncState> sync; // null for Queue
};

std::mutex g_queueMutex;
std::condition_variable g_mainCond; // wakes main-thread waits
std::condition_variable g_doneCond; // wakes threads waiting in Synchronize
std::deque<PendingCall> g_queue;
std::atomic<bool> g_drainPosted{false};
uint64_t g_wakeCount = 0; // moved on by every Wake(); under g_queueMutex

// Asks the Qt event loop of the main thread to drain the queue; several
// hand-offs share one posted event.
void PostDrain()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || g_drainPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        app,
        [] {
            g_drainPosted = false;
            MainThread::ProcessPending();
        },
        Qt::QueuedConnection);
}

void Enqueue(PendingCall call)
{
    {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        g_queue.push_back(std::move(call));
    }
    g_mainCond.notify_all();
    PostDrain();
}

} // namespace

namespace MainThread {

uint32_t ThreadId()
{
    return static_cast<uint32_t>(::getpid());
}

bool IsMainThread()
{
    return GetCurrentThreadId() == ThreadId();
}

void Synchronize(std::function<void()> fn)
{
    if (!fn)
        return;
    if (IsMainThread()) {
        fn();
        return;
    }
    auto state = std::make_shared<SyncState>();
    Enqueue(PendingCall{std::move(fn), state});
    std::unique_lock<std::mutex> lock(g_queueMutex);
    g_doneCond.wait(lock, [&] { return state->done; });
    if (state->error)
        std::rethrow_exception(state->error);
}

void Queue(std::function<void()> fn)
{
    if (fn)
        Enqueue(PendingCall{std::move(fn), nullptr});
}

bool ProcessPending()
{
    if (!IsMainThread())
        return false;
    std::size_t count;
    {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        count = g_queue.size();
    }
    // Only what is queued now: a call that queues again runs next time, so
    // this never loops for ever.
    bool ran = false;
    for (; count > 0; --count) {
        PendingCall call;
        {
            std::lock_guard<std::mutex> lock(g_queueMutex);
            if (g_queue.empty())
                break;
            call = std::move(g_queue.front());
            g_queue.pop_front();
        }
        ran = true;
        std::exception_ptr error;
        try {
            call.fn();
        } catch (...) {
            if (call.sync)
                error = std::current_exception();
            else
                ReportCurrentException("MainThread::Queue");
        }
        if (call.sync) {
            {
                std::lock_guard<std::mutex> lock(g_queueMutex);
                call.sync->error = error;
                call.sync->done = true;
            }
            g_doneCond.notify_all();
        }
    }
    return ran;
}

bool WaitUntil(const std::function<bool()>& pred, uint32_t timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const bool infinite = timeoutMs == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    const bool serve = IsMainThread();
    for (;;) {
        if (serve)
            ProcessPending();
        uint64_t seen;
        {
            std::lock_guard<std::mutex> lock(g_queueMutex);
            seen = g_wakeCount;
        }
        // pred runs without the queue lock, so it may take locks of its own
        // under which other threads hand work over. Whoever makes it true
        // calls Wake() afterwards, which moves the count on: a change after
        // `seen` ends the sleep below at once, so no wake-up is lost.
        if (pred())
            return true;
        std::unique_lock<std::mutex> lock(g_queueMutex);
        if (serve && !g_queue.empty())
            continue;
        if (!infinite && Clock::now() >= deadline)
            return false;
        // The slice only bounds the cost of a Wake that foreign code forgot.
        auto until = Clock::now() + std::chrono::milliseconds(200);
        if (!infinite && deadline < until)
            until = deadline;
        g_mainCond.wait_until(lock, until,
                              [&] { return g_wakeCount != seen || (serve && !g_queue.empty()); });
    }
}

void Wake()
{
    {
        std::lock_guard<std::mutex> lock(g_queueMutex);
        ++g_wakeCount;
    }
    g_mainCond.notify_all();
}

} // namespace MainThread

// ---------------------------------------------------------------------------
// TThread

TThread::TThread() = default;

TThread::~TThread()
{
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id()) {
        // Freed by its own thread (FreeOnTerminate).
        m_thread.detach();
        return;
    }
    TerminateAndWait();
}

void TThread::TerminateAndWait()
{
    if (!m_thread.joinable() || m_thread.get_id() == std::this_thread::get_id())
        return;
    Terminate();
    WaitFor();
}

void TThread::Start()
{
    if (m_started.exchange(true))
        throw Exception("Cannot call Start on a running or finished thread");
    // The new thread waits until m_thread is stored: before that it could
    // neither test whether it is itself (WaitFor, the destructor) nor free
    // itself without Start writing to a freed object. The gate is shared, so
    // that unlocking it here never touches this object.
    auto gate = std::make_shared<std::mutex>();
    std::unique_lock<std::mutex> hold(*gate);
    m_thread = std::thread([this, gate] {
        {
            std::lock_guard<std::mutex> wait(*gate);
        }
        Run();
    });
}

void TThread::Run()
{
    m_threadId = GetCurrentThreadId();
    RegisterNamedThread(m_threadId, m_name.empty() ? std::string("TThread") : m_name);
    struct Unlist
    {
        uint32_t Id;
        ~Unlist() { UnregisterNamedThread(Id); }
    } unlist{m_threadId};
    try {
        if (!m_terminated)
            Execute();
    } catch (...) {
        m_fatalException = std::current_exception();
    }
    if (OnTerminate) {
        try {
            MainThread::Synchronize([this] {
                if (OnTerminate)
                    OnTerminate(this);
            });
        } catch (...) {
            ReportCurrentException("TThread.OnTerminate");
        }
    }
    const bool freeSelf = m_freeOnTerminate;
    if (freeSelf) {
        delete this;
        return;
    }
    // After this a waiting thread may destroy the object: touch nothing else.
    m_finished = true;
    MainThread::Wake();
}

int TThread::WaitFor()
{
    if (!m_thread.joinable())
        return m_returnValue;
    if (m_thread.get_id() == std::this_thread::get_id())
        throw Exception("A thread cannot wait for itself");
    MainThread::WaitUntil([this] { return m_finished.load(); }, INFINITE);
    m_thread.join();
    return m_returnValue;
}

std::string TThread::FatalExceptionMessage() const
{
    if (!m_fatalException)
        return "";
    try {
        std::rethrow_exception(m_fatalException);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}
