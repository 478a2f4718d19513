#pragma once
// Progress notices and the nested wait cursor.
//
// Code that reports progress (remote calls, sign-in, updates, long admin
// operations) calls the process-wide hub `Progress`; the hub hands each
// notice, as message 5024 (WM_KLDPROGRESS), to the receiver registered last,
// whose answer can ask the reporter to abort.
//
// Threads: a notice is delivered synchronously in the reporting thread,
// straight to the receiver's WndProc (no queueing, no thread switch). A
// receiver therefore gets notices on worker threads and must not touch
// widgets there: it stores what it needs and posts itself an update (or
// ignores notices that are not on the main thread). Registering, notifying
// and unregistering may happen on any threads at once. UnRegisterHandler
// waits until notices that other threads are delivering to that receiver
// have returned, so a receiver may be destroyed right after unregistering (a
// main thread that waits keeps serving hand-offs, so a receiver that hands
// work to the main thread cannot deadlock it). A receiver may unregister
// itself from inside its own handler.

#include "platform/Component.h"
#include "platform/Messages.h"
#include "platform/Persistent.h"
#include "platform/SyncObjs.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The notice that LParam of message 5024 points to.
struct TKldProgressInfo
{
    TObject* Sender = nullptr; // the reporter; borrowed
    std::string Proc;          // the running procedure or remote call
    std::string Message;       // the text to show
    int32_t Progress = 0;      // the position
};

using TKldProgressEvent = std::function<void(TObject* Sender, const std::string& Proc, int32_t Progress,
                                             const std::string& Message, bool& Abort)>;

class TKldProgress : public TObject
{
  public:
    TKldProgress() = default;
    ~TKldProgress() override = default;
    std::string ClassName() const override { return "TKldProgress"; }

    // Delivers a notice to the active receiver. Without a receiver nothing
    // happens and Abort is left as it is; otherwise Abort (when given)
    // becomes whether the receiver answered a result other than 0. An
    // exception raised by the receiver reaches the reporter.
    void Notify(TObject* Sender, const std::string& Proc, int32_t Progress, const std::string& Message,
                bool* Abort = nullptr);

    // Appends the receiver (a receiver already listed stays where it is) and
    // makes it the active one.
    void RegisterHandler(IMessageReceiver* Receiver);
    // Removes the receiver; the active one becomes the last still listed, or
    // none. Returns once no other thread is delivering a notice to it.
    void UnRegisterHandler(IMessageReceiver* Receiver);

    // A stack of task names per thread: each thread sees and ends only the
    // tasks it began.
    void BeginTask(const std::string& Name);
    void EndTask();
    // The calling thread's most recent task, '' when it has none.
    std::string GetCurrentTask();

  private:
    struct Delivery
    {
        IMessageReceiver* receiver;
        uint32_t threadId;
    };

    bool IsDeliveringToOtherThread(IMessageReceiver* receiver, uint32_t threadId) const;
    void EndDelivery(IMessageReceiver* receiver, uint32_t threadId);

    mutable std::mutex m_handlersLock;
    std::condition_variable m_deliveryEnded;
    std::vector<IMessageReceiver*> m_handlers;
    IMessageReceiver* m_active = nullptr;
    std::vector<Delivery> m_deliveries; // notices being delivered right now

    TCriticalSection m_taskLock;
    std::vector<std::pair<std::string, uint32_t>> m_tasks; // name, thread id
};

// A component that turns notices into its OnProgress event while Active.
class TKldProgressMonitor : public TComponent, public IMessageReceiver
{
  public:
    explicit TKldProgressMonitor(TComponent* Owner = nullptr);
    ~TKldProgressMonitor() override;
    std::string ClassName() const override { return "TKldProgressMonitor"; }

    bool Active() const { return m_active; }
    // True registers the monitor with Progress, False unregisters it.
    void SetActive(bool Value);

    // Called in the reporting thread; setting Abort asks the reporter to stop.
    TKldProgressEvent OnProgress;

    // Handles message 5024: with Active set, OnProgress assigned and a
    // notice given, calls OnProgress and answers its Abort flag as the result.
    void WndProc(TMessage& Message) override;

  private:
    bool m_active = false;
};

// Sets the screen cursor to the given cursor number; set by the main window.
using TScreenCursorProc = void (*)(int Cursor);
extern std::atomic<TScreenCursorProc> ScreenCursorProc;

// Nested wait cursor for the whole process: the first Show switches to the
// hourglass (-11), the matching last hide back to the default cursor (0).
// Nothing happens, and nothing is counted, while ScreenCursorProc is not
// set. The count never goes below 0: extra hides do nothing. Any thread may
// call it; ScreenCursorProc runs in the calling thread.
void WaitCursor(bool Show);

// The process-wide hub. It exists before and after every static object of a
// unit that includes this header.
extern TKldProgress& Progress;

namespace KldProgressDetail {
struct ProgressLifetime
{
    ProgressLifetime();
    ~ProgressLifetime();
};
static const ProgressLifetime s_progressLifetime;
} // namespace KldProgressDetail
