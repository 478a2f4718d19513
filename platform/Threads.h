#pragma once
// Worker threads and the hand-off of work to the main thread.
//
// The main thread is the process's first thread, the one that runs the Qt
// event loop. Work handed to it (Synchronize, Queue, SendMessage from another
// thread) goes into one queue that is drained by the event loop and by every
// wait the main thread does through this platform (TThread::WaitFor,
// TEvent::WaitFor, SendMessage to a window of another thread). So a main
// thread waiting for a worker still serves that worker's hand-offs.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Reports an error caught at a boundary that exceptions must not cross (the
// event loop, a worker thread, a timer handler). By default it writes to
// stderr; the base services route it to the log.
using TBoundaryErrorHandler = std::function<void(const std::string& where, const std::string& message)>;
void SetBoundaryErrorHandler(TBoundaryErrorHandler handler);
// The handler installed now (empty: the stderr default), so that a handler
// can be put in front of it and the old one put back later.
TBoundaryErrorHandler GetBoundaryErrorHandler();
// Call inside a catch block: reports the exception being handled. While the
// handler runs, CurrentBoundaryException tells it the exception itself.
void ReportCurrentException(const std::string& where);
// The exception a boundary handler is called for, with the thread that
// caught it (ID and registered name); null while the handler runs for a
// report without an exception (ReportBoundaryError) or outside a handler.
struct TBoundaryException
{
    std::exception_ptr Exception;
    uint32_t ThreadId = 0;
    std::string ThreadName;
    std::string Where;
};
const TBoundaryException* CurrentBoundaryException();
void ReportBoundaryError(const std::string& where, const std::string& message);

// Waits given in milliseconds; INFINITE waits without limit.
constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// The kernel's thread id of the calling thread (gettid).
uint32_t GetCurrentThreadId();
// Milliseconds from a monotonic clock; 64 bits, so it never wraps.
uint64_t GetTickCount64();
void Sleep(uint32_t ms);

namespace MainThread {

bool IsMainThread();
uint32_t ThreadId();

// Runs fn on the main thread and waits for it. Called on the main thread it
// runs fn directly. An exception raised by fn is raised again in the caller.
void Synchronize(std::function<void()> fn);
// Hands fn to the main thread without waiting (on the main thread as well:
// it runs at the next drain). An exception raised by fn is reported through
// the boundary error handler.
void Queue(std::function<void()> fn);
// Runs the hand-offs waiting for the main thread. Does nothing on any other
// thread. Answers whether anything ran.
bool ProcessPending();

// Main-thread waits: serves the hand-off queue until pred() is true or the
// time-out (ms, INFINITE = none) passes. Answers pred()'s last value. pred
// runs with none of the queue's locks held, so it may take its own. Whatever
// makes pred() true must call Wake() afterwards so the wait notices it at once.
bool WaitUntil(const std::function<bool()>& pred, uint32_t timeoutMs);
// Tells a waiting main thread to test its condition again.
void Wake();

} // namespace MainThread

// The run-time library's spelling of MainThread::ProcessPending.
inline bool CheckSynchronize()
{
    return MainThread::ProcessPending();
}

// A worker thread. Derive and override Execute; call Start to run it (the
// thread never starts from the constructor, where the derived part is not
// built yet). After Execute, OnTerminate runs on the main thread; with
// FreeOnTerminate the object then deletes itself (only heap objects may set
// it, and nobody may touch them after Start). An exception escaping Execute
// is kept as FatalException and ends the thread.
// Destroying a running thread terminates it and waits; a derived class whose
// Execute uses its own members calls TerminateAndWait in its destructor, so
// that they outlive the thread.
class TThread
{
  public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate() { m_terminated = true; }
    bool Terminated() const { return m_terminated; }
    // Waits for Execute and OnTerminate to finish; answers ReturnValue.
    int WaitFor();
    bool Finished() const { return m_finished; }
    bool Started() const { return m_started; }

    bool FreeOnTerminate() const { return m_freeOnTerminate; }
    void SetFreeOnTerminate(bool value) { m_freeOnTerminate = value; }
    uint32_t ThreadID() const { return m_threadId; }
    // The name error reports give the thread; set before Start. The thread
    // is listed under it while it runs (platform/StackTrace.h).
    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value) { m_name = value; }
    int ReturnValue() const { return m_returnValue; }
    std::exception_ptr FatalException() const { return m_fatalException; }
    // The message of FatalException ("" when there is none).
    std::string FatalExceptionMessage() const;

    std::function<void(TThread* sender)> OnTerminate;

    static void Synchronize(std::function<void()> fn) { MainThread::Synchronize(std::move(fn)); }
    static void Queue(std::function<void()> fn) { MainThread::Queue(std::move(fn)); }

  protected:
    virtual void Execute() = 0;
    void SetReturnValue(int value) { m_returnValue = value; }
    // Terminates and waits unless not started or called by the thread itself.
    void TerminateAndWait();

  private:
    void Run();

    std::thread m_thread;
    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_freeOnTerminate{false};
    std::atomic<uint32_t> m_threadId{0};
    std::atomic<int> m_returnValue{0};
    std::exception_ptr m_fatalException;
    std::string m_name;
};

// A thread running a function, for work that needs no class of its own.
class TAnonymousThread : public TThread
{
  public:
    explicit TAnonymousThread(std::function<void()> fn) : m_fn(std::move(fn)) {}
    ~TAnonymousThread() override { TerminateAndWait(); }

  protected:
    void Execute() override { m_fn(); }

  private:
    std::function<void()> m_fn;
};
