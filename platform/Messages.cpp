#include "platform/Messages.h"

#include "platform/SyncObjs.h"
#include "platform/Threads.h"
#include "platform/WindowLink.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

struct WindowEntry
{
    IMessageReceiver* receiver = nullptr;
    std::string className;
    uint32_t threadId = 0;
    QObject* context = nullptr; // lives in the window's thread; target of posted messages
    std::function<void()> foreground;
    int busy = 0; // dispatches running now
    std::unique_ptr<TWindowLinkServer> server;
    std::map<uintptr_t, QTimer*> timers; // children of context
};

// The shortest timer period, as window timers have.
constexpr uint32_t UserTimerMinimum = 10;

// The one message another process may post to a window: the hand-over of a
// second launcher (restore and raise, wParam SC_MAXIMIZE, lParam 0). Other
// messages carry pointers or trigger actions that only this process may ask
// for.
bool IsHandOverMessage(uint32_t msg, uint64_t wParam, uint64_t lParam)
{
    return msg == WM_RESTOREMAINWINDOW && wParam == SC_MAXIMIZE && lParam == 0;
}

// How often a top-level window whose name another copy holds tries to take
// it over, so that a copy started with /INSTANCES becomes findable once the
// first has ended.
constexpr int ListenerRetryMs = 1000;

// Handles of remote windows start here; local ones count from 0x100.
constexpr HWND RemoteHandleBit = HWND(1) << 62;

std::mutex g_mutex;
std::condition_variable g_idleCond;
std::map<HWND, std::shared_ptr<WindowEntry>> g_windows;
std::map<HWND, std::string> g_remoteWindows; // handle -> class name
HWND g_nextHandle = 0x100;

bool IsRemote(HWND handle)
{
    return (handle & RemoteHandleBit) != 0;
}

bool SameClassName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : char(c); };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

std::shared_ptr<WindowEntry> FindEntry(HWND handle)
{
    auto it = g_windows.find(handle);
    return it == g_windows.end() ? nullptr : it->second;
}

// Runs the window's WndProc in the calling thread (its own). A window that is
// gone answers 0.
LRESULT Deliver(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<WindowEntry> entry;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        entry = FindEntry(handle);
        if (!entry)
            return 0;
        ++entry->busy;
    }
    TMessage message{msg, wParam, lParam, 0};
    try {
        entry->receiver->WndProc(message);
    } catch (...) {
        ReportCurrentException("WndProc");
        message.Result = 0;
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        --entry->busy;
    }
    g_idleCond.notify_all();
    return message.Result;
}

void RunForeground(HWND handle)
{
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto entry = FindEntry(handle);
        if (entry)
            fn = entry->foreground;
    }
    if (!fn)
        return;
    try {
        fn();
    } catch (...) {
        ReportCurrentException("SetForegroundWindow");
    }
}

// The answer of a SendMessage to a window of another thread, shared by the
// sender and the posted call so that neither outlives it.
struct SendState
{
    std::mutex mutex;
    bool done = false;
    LRESULT result = 0;
};

// Marks the send done when the posted call runs or is discarded unrun (the
// window's thread dropped it with the window).
struct SendCompletion
{
    explicit SendCompletion(std::shared_ptr<SendState> s) : state(std::move(s)) {}
    std::shared_ptr<SendState> state;
    ~SendCompletion()
    {
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->done = true;
        }
        MainThread::Wake();
    }
};

// Calls fn in the thread of the window (its context object).
bool PostToWindowThread(HWND handle, std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto entry = FindEntry(handle);
    if (!entry || !entry->context)
        return false;
    // Posted under the lock: DeallocateHWnd deletes the context only after
    // taking the window out of the map, so the context is alive here.
    return QMetaObject::invokeMethod(entry->context, std::move(fn), Qt::QueuedConnection);
}

// Broadcasts WM_TIMECHANGE whenever the system clock is set. A real-time
// timer armed far ahead with cancel-on-set wakes up with ECANCELED on every
// such change. Runs for the life of the process once started.
void WatchClockChanges()
{
    const int fd = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC);
    if (fd < 0) {
        ReportBoundaryError("Messages", "No watch on the system clock: timerfd_create failed");
        return;
    }
    auto arm = [fd] {
        itimerspec spec{};
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        spec.it_value.tv_sec = now.tv_sec + 10LL * 365 * 86400;
        return ::timerfd_settime(fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &spec, nullptr) == 0;
    };
    if (!arm()) {
        ::close(fd);
        ReportBoundaryError("Messages", "No watch on the system clock: timerfd_settime failed");
        return;
    }
    std::thread([fd, arm] {
        for (;;) {
            uint64_t expirations = 0;
            const ssize_t n = ::read(fd, &expirations, sizeof(expirations));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == ECANCELED)
                BroadcastTopLevelMessage(WM_TIMECHANGE, 0, 0);
            else if (n < 0)
                return;
            if (!arm())
                return;
        }
    }).detach();
}

// Starts the window's cross-process listener unless another live process
// listens on its name; true when the window listens now.
bool TryListen(HWND handle, const std::string& className)
{
    auto server = std::make_unique<TWindowLinkServer>(
        WindowSocketName(className),
        [handle](uint32_t msg, uint64_t wParam, uint64_t lParam) {
            if (!IsHandOverMessage(msg, wParam, lParam)) {
                ReportBoundaryError("WindowLink", "Message " + std::to_string(msg) + " (wParam " +
                                                      std::to_string(wParam) + ", lParam " +
                                                      std::to_string(int64_t(lParam)) +
                                                      ") from another process refused");
                return;
            }
            PostMessage(handle, msg, WPARAM(wParam), LPARAM(lParam));
        },
        [handle] { RunForeground(handle); });
    if (!server->Listening())
        return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto entry = FindEntry(handle);
    if (!entry)
        return false;
    entry->server = std::move(server);
    return true;
}

} // namespace

HWND AllocateHWnd(IMessageReceiver* receiver, const std::string& className)
{
    auto entry = std::make_shared<WindowEntry>();
    entry->receiver = receiver;
    entry->className = className;
    entry->threadId = GetCurrentThreadId();
    entry->context = new QObject();
    HWND handle;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handle = g_nextHandle++;
        g_windows[handle] = entry;
    }
    if (!className.empty()) {
        static std::once_flag clockWatch;
        std::call_once(clockWatch, WatchClockChanges);
    }
    if (!className.empty() && QCoreApplication::instance() && !WindowSocketName(className).empty() &&
        !TryListen(handle, className)) {
        // Another copy holds the name: try again from time to time.
        auto* retry = new QTimer(entry->context);
        QObject::connect(retry, &QTimer::timeout, entry->context, [handle, className, retry] {
            if (TryListen(handle, className))
                retry->deleteLater();
        });
        retry->start(ListenerRetryMs);
    }
    return handle;
}

void DeallocateHWnd(HWND handle)
{
    std::shared_ptr<WindowEntry> entry;
    {
        std::unique_lock<std::mutex> lock(g_mutex);
        entry = FindEntry(handle);
        if (!entry)
            return;
        g_windows.erase(handle);
        // A WndProc running on another thread finishes before the receiver
        // may go; one running on this thread is the caller itself.
        if (entry->threadId != GetCurrentThreadId())
            g_idleCond.wait(lock, [&] { return entry->busy == 0; });
    }
    if (entry->context && entry->context->thread() != QThread::currentThread()) {
        // The listener and the context belong to the window's thread: they
        // go there, the listener first (posted calls run in order). The
        // listener is destroyed by the posted call itself: the call object
        // may be released last by this thread, and a socket notifier freed
        // here would leave the owner's event loop polling a closed socket.
        if (entry->server) {
            auto server = std::make_shared<std::unique_ptr<TWindowLinkServer>>(std::move(entry->server));
            QMetaObject::invokeMethod(
                entry->context, [server] { server->reset(); }, Qt::QueuedConnection);
        }
        entry->context->deleteLater();
        entry->context = nullptr;
        return;
    }
    entry->server.reset();
    delete entry->context;
    entry->context = nullptr;
}

bool SetTimer(HWND handle, uintptr_t timerId, uint32_t elapseMs)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto entry = FindEntry(handle);
    if (!entry || !entry->context || entry->threadId != GetCurrentThreadId())
        return false;
    QTimer*& timer = entry->timers[timerId];
    if (!timer) {
        timer = new QTimer(entry->context);
        QObject::connect(timer, &QTimer::timeout, entry->context,
                         [handle, timerId] { Deliver(handle, WM_TIMER, timerId, 0); });
    }
    timer->start(int(std::clamp<uint32_t>(elapseMs, UserTimerMinimum, INT_MAX)));
    return true;
}

bool KillTimer(HWND handle, uintptr_t timerId)
{
    QTimer* timer = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto entry = FindEntry(handle);
        if (!entry || entry->threadId != GetCurrentThreadId())
            return false;
        auto it = entry->timers.find(timerId);
        if (it == entry->timers.end())
            return false;
        timer = it->second;
        entry->timers.erase(it);
    }
    delete timer;
    return true;
}

void SetWindowForegroundHandler(HWND handle, std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto entry = FindEntry(handle);
    if (entry)
        entry->foreground = std::move(handler);
}

int BroadcastTopLevelMessage(uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    std::vector<HWND> targets;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const auto& [handle, entry] : g_windows)
            if (!entry->className.empty())
                targets.push_back(handle);
    }
    int posted = 0;
    for (HWND handle : targets)
        if (PostMessage(handle, msg, wParam, lParam))
            ++posted;
    return posted;
}

bool IsWindow(HWND handle)
{
    if (IsRemote(handle)) {
        std::string className;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto it = g_remoteWindows.find(handle);
            if (it == g_remoteWindows.end())
                return false;
            className = it->second;
        }
        // The other process may have ended since it was found.
        return TWindowLink::Probe(WindowSocketName(className));
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_windows.count(handle) > 0;
}

HWND FindWindow(const std::string& className)
{
    if (className.empty())
        return NullHWnd;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const auto& [handle, entry] : g_windows)
            if (!entry->className.empty() && SameClassName(entry->className, className))
                return handle;
    }
    return FindWindowCrossProcess(className);
}

HWND FindWindowCrossProcess(const std::string& className)
{
    if (className.empty() || !TWindowLink::Probe(WindowSocketName(className)))
        return NullHWnd;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const auto& [handle, name] : g_remoteWindows)
        if (name == className)
            return handle;
    HWND handle = RemoteHandleBit | g_nextHandle++;
    g_remoteWindows[handle] = className;
    return handle;
}

bool PostMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (IsRemote(handle)) {
        std::string className;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto it = g_remoteWindows.find(handle);
            if (it == g_remoteWindows.end())
                return false;
            className = it->second;
        }
        return TWindowLink::SendPost(WindowSocketName(className), msg, wParam, lParam);
    }
    return PostToWindowThread(handle,
                              [handle, msg, wParam, lParam] { Deliver(handle, msg, wParam, lParam); });
}

LRESULT SendMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (IsRemote(handle))
        return 0;
    uint32_t owner;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto entry = FindEntry(handle);
        if (!entry)
            return 0;
        owner = entry->threadId;
    }
    if (owner == GetCurrentThreadId())
        return Deliver(handle, msg, wParam, lParam);
    if (owner == MainThread::ThreadId()) {
        // The main thread serves this queue also while it waits, so a worker
        // can send to a main window that is waiting for that very worker.
        LRESULT result = 0;
        MainThread::Synchronize([&] { result = Deliver(handle, msg, wParam, lParam); });
        return result;
    }
    auto state = std::make_shared<SendState>();
    {
        auto completion = std::make_shared<SendCompletion>(state);
        bool posted = PostToWindowThread(handle, [handle, msg, wParam, lParam, completion] {
            const LRESULT result = Deliver(handle, msg, wParam, lParam);
            std::lock_guard<std::mutex> lock(completion->state->mutex);
            completion->state->result = result;
        });
        if (!posted)
            return 0;
    }
    MainThread::WaitUntil(
        [&] {
            std::lock_guard<std::mutex> lock(state->mutex);
            return state->done;
        },
        INFINITE);
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->result;
}

bool PostMessageToProcess(const std::string& className, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (className.empty())
        return false;
    return TWindowLink::SendPost(WindowSocketName(className), msg, wParam, lParam);
}

bool SetForegroundWindow(HWND handle)
{
    if (IsRemote(handle)) {
        std::string className;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto it = g_remoteWindows.find(handle);
            if (it == g_remoteWindows.end())
                return false;
            className = it->second;
        }
        return TWindowLink::SendRaise(WindowSocketName(className));
    }
    if (!IsWindow(handle))
        return false;
    return PostToWindowThread(handle, [handle] { RunForeground(handle); });
}

namespace {

// A folder only this user can reach: another user must neither plant a
// listener that a second copy would hand over to, nor block the name.
bool IsPrivateFolder(const std::string& dir)
{
    struct stat st
    {
    };
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

std::string SocketFolder()
{
    static const std::string folder = [] {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime && *runtime == '/' && IsPrivateFolder(runtime))
            return std::string(runtime);
        const std::string dir = "/tmp/kld-" + std::to_string(::getuid());
        ::mkdir(dir.c_str(), 0700);
        if (IsPrivateFolder(dir))
            return dir;
        ReportBoundaryError("Messages", "No private folder for window sockets; windows of other processes "
                                        "cannot be found");
        return std::string();
    }();
    return folder;
}

} // namespace

std::string WindowSocketName(const std::string& className)
{
    const std::string folder = SocketFolder();
    if (folder.empty())
        return "";
    // Only letters, digits and '_' reach the socket name: a class name can
    // never point the socket into another folder.
    std::string name = folder + "/kld-window-";
    for (unsigned char c : className)
        name += (std::isalnum(c) || c == '_') ? char(c) : '_';
    name += "-" + std::to_string(::getuid());
    return name;
}
