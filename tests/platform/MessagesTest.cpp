#include "platform/Messages.h"

#include "platform/SyncObjs.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "platform/WindowLink.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocalSocket>
#include <QProcess>
#include <gtest/gtest.h>

#include "support/BuiltFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A window that records what it receives and answers msg + wParam.
class RecordingWindow final : public IMessageReceiver
{
  public:
    explicit RecordingWindow(const std::string& className = "") { handle = AllocateHWnd(this, className); }
    ~RecordingWindow() { DeallocateHWnd(handle); }

    void WndProc(TMessage& message) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        received.push_back(message);
        threads.push_back(GetCurrentThreadId());
        if (message.Msg == WM_USER + 99)
            throw Exception("handler failed");
        message.Result = LRESULT(message.Msg + message.WParam);
    }
    std::size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received.size();
    }

    HWND handle = NullHWnd;
    std::mutex mutex;
    std::vector<TMessage> received;
    std::vector<uint32_t> threads;
};

void PumpUntil(const std::function<bool()>& done, int maxMs = 5000)
{
    const uint64_t end = GetTickCount64() + uint64_t(maxMs);
    while (!done() && GetTickCount64() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

TEST(Messages, PostedMessagesArriveInOrderFromTheEventLoop)
{
    RecordingWindow window;
    ASSERT_NE(window.handle, NullHWnd);
    EXPECT_TRUE(IsWindow(window.handle));
    EXPECT_TRUE(PostMessage(window.handle, WM_NEWMAIL, 3, 1));
    EXPECT_TRUE(PostMessage(window.handle, WM_NOTIFICATION, 0, -1));
    EXPECT_EQ(window.Count(), 0u) << "a posted message waits for the event loop";
    PumpUntil([&] { return window.Count() == 2; });
    ASSERT_EQ(window.Count(), 2u);
    EXPECT_EQ(window.received[0].Msg, WM_NEWMAIL);
    EXPECT_EQ(window.received[0].WParam, 3u);
    EXPECT_EQ(window.received[0].LParam, 1);
    EXPECT_EQ(window.received[1].Msg, WM_NOTIFICATION);
    EXPECT_EQ(window.received[1].LParam, -1);
}

TEST(Messages, SendOnTheSameThreadIsADirectCall)
{
    RecordingWindow window;
    EXPECT_EQ(SendMessage(window.handle, 1000, 24, 0), 1024);
    ASSERT_EQ(window.Count(), 1u);
    EXPECT_EQ(window.threads[0], GetCurrentThreadId());
}

TEST(Messages, MessagesForAGoneWindowAreDropped)
{
    auto window = std::make_unique<RecordingWindow>();
    const HWND handle = window->handle;
    EXPECT_TRUE(PostMessage(handle, WM_AUTOLOGIN, 0, 0));
    window.reset(); // the receiver is freed with the message still queued
    EXPECT_FALSE(IsWindow(handle));
    QCoreApplication::processEvents();
    EXPECT_FALSE(PostMessage(handle, WM_AUTOLOGIN, 0, 0));
    EXPECT_EQ(SendMessage(handle, WM_AUTOLOGIN, 0, 0), 0);
    EXPECT_FALSE(PostMessage(NullHWnd, WM_AUTOLOGIN, 0, 0));
    EXPECT_FALSE(SetForegroundWindow(handle));
}

TEST(Messages, AnExceptionInWndProcIsReportedAndAnswersZero)
{
    std::vector<std::string> errors;
    SetBoundaryErrorHandler([&](const std::string& where, const std::string& message) {
        errors.push_back(where + ": " + message);
    });
    RecordingWindow window;
    EXPECT_EQ(SendMessage(window.handle, WM_USER + 99, 1, 0), 0);
    PostMessage(window.handle, WM_USER + 99, 2, 0);
    PumpUntil([&] { return window.Count() == 2; });
    SetBoundaryErrorHandler(nullptr);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "WndProc: Exception: handler failed");
}

TEST(Messages, SendFromAWorkerWhileTheMainThreadWaitsForIt)
{
    RecordingWindow window;
    std::vector<LRESULT> results;
    TAnonymousThread worker([&] {
        for (int i = 0; i < 20; ++i)
            results.push_back(SendMessage(window.handle, WM_KLDPROGRESS, WPARAM(i), 0));
    });
    worker.Start();
    worker.WaitFor(); // no event loop: the wait serves the sends
    ASSERT_EQ(results.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(results[i], LRESULT(WM_KLDPROGRESS + i));
    ASSERT_EQ(window.Count(), 20u);
    for (uint32_t id : window.threads)
        EXPECT_EQ(id, MainThread::ThreadId());
}

TEST(Messages, SendAndPostToAWindowOfAnotherThread)
{
    std::unique_ptr<RecordingWindow> window;
    TEvent ready;
    std::atomic<bool> stop{false};
    uint32_t ownerId = 0;
    std::thread owner([&] {
        ownerId = GetCurrentThreadId();
        QEventLoop loop; // gives this thread its event dispatcher
        window = std::make_unique<RecordingWindow>();
        ready.SetEvent();
        while (!stop)
            loop.processEvents(QEventLoop::AllEvents, 10);
        window.reset();
    });
    ASSERT_EQ(ready.WaitFor(5000), wrSignaled);
    EXPECT_EQ(SendMessage(window->handle, 2000, 5, 0), 2005);
    EXPECT_TRUE(PostMessage(window->handle, 2001, 0, 0));
    PumpUntil([&] { return window->Count() == 2; });
    ASSERT_EQ(window->Count(), 2u);
    EXPECT_EQ(window->threads[0], ownerId);
    EXPECT_EQ(window->threads[1], ownerId);
    stop = true;
    owner.join();
}

TEST(Messages, FindWindowByClassNameInThisProcess)
{
    const std::string className = "TKldTestFind" + std::to_string(::getpid());
    RecordingWindow unnamed;
    HWND found = NullHWnd;
    {
        RecordingWindow named(className);
        found = FindWindow(className);
        EXPECT_EQ(found, named.handle);
        // Class names compare without regard to case.
        std::string upper = className;
        for (char& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FindWindow(upper), named.handle);
    }
    EXPECT_EQ(FindWindow(className), NullHWnd) << "gone with its window";
    EXPECT_EQ(FindWindow("TKldNoSuchWindowClass"), NullHWnd);
    EXPECT_EQ(FindWindow(""), NullHWnd);
}

TEST(Messages, SetForegroundWindowRunsTheWindowsHandler)
{
    RecordingWindow window;
    int raised = 0;
    SetWindowForegroundHandler(window.handle, [&] { ++raised; });
    EXPECT_TRUE(BringToFront(window.handle));
    PumpUntil([&] { return raised == 1; });
    EXPECT_EQ(raised, 1);
}

TEST(Messages, HandOverFromASecondProcess)
{
    const std::string className = "TfrmKldHandOver" + std::to_string(::getpid());
    RecordingWindow window(className);
    int raised = 0;
    SetWindowForegroundHandler(window.handle, [&] { ++raised; });

    QProcess helper;
    helper.start(QString::fromStdString(BuiltFile(KLD_POST_HELPER)),
                 {QString::fromStdString(className), QString::number(WM_RESTOREMAINWINDOW),
                  QString::number(SC_MAXIMIZE), "0"});
    ASSERT_TRUE(helper.waitForStarted(5000));
    PumpUntil([&] { return window.Count() == 1 && raised == 1 && helper.state() == QProcess::NotRunning; },
              15000);
    EXPECT_EQ(helper.exitCode(), 0);
    ASSERT_EQ(window.Count(), 1u);
    EXPECT_EQ(window.received[0].Msg, 9912u);
    EXPECT_EQ(window.received[0].WParam, 61488u);
    EXPECT_EQ(window.received[0].LParam, 0);
    EXPECT_EQ(window.threads[0], MainThread::ThreadId());
    EXPECT_EQ(raised, 1);
}

TEST(Messages, NoSecondProcessWindowMeansNotFound)
{
    QProcess helper;
    helper.start(QString::fromStdString(BuiltFile(KLD_POST_HELPER)),
                 {"TKldNobodyListens" + QString::number(::getpid()), "9912", "0", "0"});
    ASSERT_TRUE(helper.waitForFinished(15000));
    EXPECT_EQ(helper.exitCode(), 2);
    EXPECT_FALSE(PostMessageToProcess("TKldNobodyListens", WM_RESTOREMAINWINDOW, 0, 0));
}

TEST(Messages, SocketNameKeepsOnlySafeCharacters)
{
    const std::string name = WindowSocketName("../etc/Tfrm Main");
    const std::string base = "kld-window-___etc_Tfrm_Main-" + std::to_string(::getuid());
    ASSERT_GT(name.size(), base.size());
    EXPECT_EQ(name.substr(name.size() - base.size() - 1), "/" + base);
    // The folder is this user's alone.
    const std::string folder = name.substr(0, name.size() - base.size() - 1);
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(WindowLink, FramesRoundTripAndDamagedFramesAreRefused)
{
    TWindowLink::Frame frame{TWindowLink::KindPost, 9912, 61488, uint64_t(-5)};
    const std::string bytes = TWindowLink::EncodeFrame(frame);
    ASSERT_EQ(bytes.size(), TWindowLink::FrameSize);
    TWindowLink::Frame back;
    ASSERT_TRUE(TWindowLink::DecodeFrame(bytes.data(), back));
    EXPECT_EQ(back.kind, frame.kind);
    EXPECT_EQ(back.msg, 9912u);
    EXPECT_EQ(back.wParam, 61488u);
    EXPECT_EQ(LPARAM(back.lParam), -5);

    struct Case
    {
        const char* desc;
        std::size_t offset;
        char value;
    };
    const Case cases[] = {
        {"bad magic", 0, 'X'},
        {"unknown kind", 4, 7},
        {"reserved bytes set", 12, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        std::string damaged = bytes;
        damaged[c.offset] = c.value;
        EXPECT_FALSE(TWindowLink::DecodeFrame(damaged.data(), back));
    }
}

TEST(WindowLink, AMalformedFrameClosesTheConnectionWithoutDelivery)
{
    const std::string className = "TKldGarbage" + std::to_string(::getpid());
    RecordingWindow window(className);
    std::vector<std::string> errors;
    SetBoundaryErrorHandler(
        [&](const std::string& where, const std::string& message) { errors.push_back(message); });
    TEvent sent;
    std::thread client([&] {
        std::string garbage(TWindowLink::FrameSize, 'Z');
        QLocalSocket socket;
        socket.connectToServer(QString::fromStdString(WindowSocketName(className)));
        if (socket.waitForConnected(3000)) {
            socket.write(garbage.data(), qint64(garbage.size()));
            socket.waitForBytesWritten(3000);
            socket.waitForDisconnected(3000);
        }
        sent.SetEvent();
    });
    PumpUntil([&] { return !errors.empty(); });
    client.join();
    SetBoundaryErrorHandler(nullptr);
    EXPECT_EQ(window.Count(), 0u);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Malformed"), std::string::npos);
}

TEST(MessageNumbers, HandOverUsesTheUserBase)
{
    EXPECT_EQ(WM_RESTOREMAINWINDOW, 1024u + 8888u);
    EXPECT_EQ(SC_MAXIMIZE, 61488u);
    EXPECT_EQ(SC_RESTORE, 61728u);
    EXPECT_EQ(WM_SYSCOMMAND, 274u);
    EXPECT_EQ(CM_CANCELMODE, 0xB004u);
}

TEST(Messages, ARemoteHandleDiesWithItsWindow)
{
    const std::string className = "TKldRemoteLife" + std::to_string(::getpid());
    auto window = std::make_unique<RecordingWindow>(className);
    // Our own listener stands in for another process's window here.
    const HWND remote = FindWindowCrossProcess(className);
    ASSERT_NE(remote, NullHWnd);
    EXPECT_NE(remote, window->handle);
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_EQ(FindWindowCrossProcess(className), remote) << "one handle per remote class";
    EXPECT_EQ(SendMessage(remote, WM_USER, 0, 0), 0) << "no synchronous sends across processes";
    EXPECT_TRUE(PostMessage(remote, WM_RESTOREMAINWINDOW, SC_MAXIMIZE, 0));
    PumpUntil([&] { return window->Count() == 1; });
    ASSERT_EQ(window->Count(), 1u);
    EXPECT_EQ(window->received[0].Msg, WM_RESTOREMAINWINDOW);
    window.reset();
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_FALSE(PostMessage(remote, WM_USER, 0, 0));
    EXPECT_EQ(FindWindowCrossProcess(className), NullHWnd);
}

TEST(Messages, ASocketLeftByACrashedCopyIsTakenOver)
{
    const std::string className = "TKldStale" + std::to_string(::getpid());
    // A socket file nobody listens on, as a crashed copy leaves it.
    const std::string path = WindowSocketName(className);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(addr.sun_path));
    std::strcpy(addr.sun_path, path.c_str());
    ::unlink(path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd);
    EXPECT_FALSE(TWindowLink::Probe(WindowSocketName(className)));

    RecordingWindow window(className);
    // The new listener took over that very path.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(probe);
    EXPECT_TRUE(PostMessageToProcess(className, WM_RESTOREMAINWINDOW, SC_MAXIMIZE, 0));
    PumpUntil([&] { return window.Count() == 1; });
    EXPECT_EQ(window.Count(), 1u);
}

TEST(Messages, BroadcastReachesTopLevelWindowsOnly)
{
    const std::string className = "TKldBroadcast" + std::to_string(::getpid());
    RecordingWindow topLevel(className);
    RecordingWindow child;
    QCoreApplication::processEvents(); // nothing else pending for these two
    const int posted = BroadcastTopLevelMessage(WM_TIMECHANGE, 0, 0);
    EXPECT_GE(posted, 1);
    PumpUntil([&] { return topLevel.Count() >= 1; });
    ASSERT_EQ(topLevel.Count(), 1u);
    EXPECT_EQ(topLevel.received[0].Msg, WM_TIMECHANGE);
    QCoreApplication::processEvents();
    EXPECT_EQ(child.Count(), 0u);
}

TEST(Messages, WindowTimersDeliverWmTimerUntilKilled)
{
    RecordingWindow window;
    EXPECT_FALSE(KillTimer(window.handle, 1)) << "no timer yet";
    ASSERT_TRUE(SetTimer(window.handle, 1, 0)); // 0 means the shortest period
    PumpUntil([&] { return window.Count() >= 2; });
    ASSERT_GE(window.Count(), 2u);
    EXPECT_EQ(window.received[0].Msg, WM_TIMER);
    EXPECT_EQ(window.received[0].WParam, 1u);
    EXPECT_TRUE(KillTimer(window.handle, 1));
    const std::size_t seen = window.Count();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
    EXPECT_EQ(window.Count(), seen);
    EXPECT_FALSE(SetTimer(NullHWnd, 1, 10));

    // Only the window's own thread may arm it.
    bool fromWorker = true;
    std::thread worker([&] { fromWorker = SetTimer(window.handle, 2, 10); });
    worker.join();
    EXPECT_FALSE(fromWorker);
}

TEST(Messages, WindowTimersEndWithTheWindow)
{
    auto window = std::make_unique<RecordingWindow>();
    const HWND handle = window->handle;
    ASSERT_TRUE(SetTimer(handle, 7, 10));
    window.reset();
    EXPECT_FALSE(KillTimer(handle, 7));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 30); // a dead window's timer must not fire
}

namespace {

std::atomic<int> g_socketNotifierWarnings{0};

void CountSocketNotifierWarnings(QtMsgType, const QMessageLogContext&, const QString& text)
{
    if (text.contains(QStringLiteral("QSocketNotifier")))
        ++g_socketNotifierWarnings;
}

} // namespace

// The listener of a window freed from another thread must be destroyed in
// the window's own thread; freed here, its socket notifier leaves the owner's
// event loop polling a closed socket for ever. The race is narrow, so the
// round is repeated.
TEST(Messages, AWindowOfAnotherThreadCanBeUnregisteredFromHere)
{
    const std::string className = "TKldOtherThread" + std::to_string(::getpid());
    g_socketNotifierWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(CountSocketNotifierWarnings);
    for (int round = 0; round < 100 && !HasFailure() && g_socketNotifierWarnings == 0; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::size_t received = 99;
        HWND handle = NullHWnd;
        TEvent ready;
        std::atomic<bool> stop{false};
        std::thread owner([&] {
            QEventLoop loop;
            auto* w = new RecordingWindow(className);
            handle = w->handle;
            ready.SetEvent();
            while (!stop)
                loop.processEvents(QEventLoop::AllEvents, 10);
            // Runs the deferred clean-up; bounded, so that a notifier left
            // firing shows as warnings instead of a hang.
            for (int i = 0; i < 3; ++i)
                loop.processEvents(QEventLoop::AllEvents, 5);
            w->handle = NullHWnd; // already unregistered
            received = w->Count();
            delete w;
        });
        ASSERT_EQ(ready.WaitFor(5000), wrSignaled);
        EXPECT_EQ(FindWindow(className), handle);
        DeallocateHWnd(handle);
        EXPECT_FALSE(IsWindow(handle));
        EXPECT_FALSE(PostMessage(handle, WM_USER, 0, 0));
        // The listener closes in its own thread shortly after.
        const uint64_t end = GetTickCount64() + 5000;
        while (FindWindowCrossProcess(className) != NullHWnd && GetTickCount64() < end)
            Sleep(1);
        EXPECT_EQ(FindWindowCrossProcess(className), NullHWnd);
        stop = true;
        owner.join();
        EXPECT_EQ(received, 0u);
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_socketNotifierWarnings.load(), 0);
}

namespace {

// A raw connection to a window's socket, as any local process can make.
int ConnectRaw(const std::string& path, bool nonBlocking)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when the other end has closed the connection.
bool ClosedByPeer(int fd)
{
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

} // namespace

// Other messages carry pointers or trigger actions: only the hand-over and
// the raise cross processes. Frames of one connection arrive in order.
TEST(Messages, OnlyTheHandOverCrossesProcesses)
{
    const std::string className = "TKldHandOverOnly" + std::to_string(::getpid());
    RecordingWindow window(className);
    const int fd = ConnectRaw(WindowSocketName(className), false);
    ASSERT_GE(fd, 0);
    std::string frames;
    for (const TWindowLink::Frame& f : {TWindowLink::Frame{TWindowLink::KindPost, WM_USER + 5, 1, 2},
                                        TWindowLink::Frame{TWindowLink::KindPost, WM_RESTOREMAINWINDOW, 1, 0},
                                        TWindowLink::Frame{TWindowLink::KindPost, WM_RESTOREMAINWINDOW, SC_MAXIMIZE, 7},
                                        TWindowLink::Frame{TWindowLink::KindPost, WM_NEWMAIL, SC_MAXIMIZE, 0},
                                        TWindowLink::Frame{TWindowLink::KindPost, WM_RESTOREMAINWINDOW, SC_MAXIMIZE, 0}})
        frames += TWindowLink::EncodeFrame(f);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(::write(fd, frames.data(), frames.size()), ssize_t(frames.size()));
    PumpUntil([&] { return window.Count() == 1; });
    QCoreApplication::processEvents();
    const std::string said = ::testing::internal::GetCapturedStderr();
    ::close(fd);
    ASSERT_EQ(window.Count(), 1u);
    EXPECT_EQ(window.received[0].Msg, WM_RESTOREMAINWINDOW);
    EXPECT_EQ(window.received[0].WParam, SC_MAXIMIZE);
    EXPECT_EQ(window.received[0].LParam, 0);
    EXPECT_NE(said.find("Message 1029 (wParam 1, lParam 2) from another process refused"), std::string::npos)
        << said;
}

// Idle connections are dropped after about a second and only a few are kept
// at a time, so they cannot block the hand-over of a second launcher.
TEST(Messages, IdleConnectionsCannotBlockTheHandOver)
{
    const std::string className = "TKldIdle" + std::to_string(::getpid());
    RecordingWindow window(className);
    ::testing::internal::CaptureStderr();
    std::vector<int> idle;
    for (int i = 0; i < 100; ++i) {
        const int fd = ConnectRaw(WindowSocketName(className), true);
        if (fd >= 0)
            idle.push_back(fd);
        QCoreApplication::processEvents();
    }
    ASSERT_GT(idle.size(), 40u);
    auto closedCount = [&] {
        return std::count_if(idle.begin(), idle.end(), [](int fd) { return ClosedByPeer(fd); });
    };
    PumpUntil([&] { return closedCount() >= long(idle.size()) - 32; }, 500);
    EXPECT_GE(closedCount(), long(idle.size()) - 32) << "no more than 32 are kept, the newest";

    QProcess helper;
    helper.start(QString::fromStdString(BuiltFile(KLD_POST_HELPER)),
                 {QString::fromStdString(className), QString::number(WM_RESTOREMAINWINDOW),
                  QString::number(SC_MAXIMIZE), "0"});
    ASSERT_TRUE(helper.waitForStarted(5000));
    PumpUntil([&] { return window.Count() == 1 && helper.state() == QProcess::NotRunning; }, 15000);
    EXPECT_EQ(helper.exitCode(), 0);
    EXPECT_EQ(window.Count(), 1u);

    PumpUntil([&] { return closedCount() == long(idle.size()); }, 3000);
    EXPECT_EQ(closedCount(), long(idle.size())) << "every idle connection is dropped";
    ::testing::internal::GetCapturedStderr();
    for (int fd : idle)
        ::close(fd);
}

// A copy that could not take the name (another copy held it) takes it once
// that copy has gone, so some running copy is always found.
TEST(Messages, AWindowTakesTheNameOnceItsHolderHasGone)
{
    const std::string className = "TKldSecondCopy" + std::to_string(::getpid());
    auto first = std::make_unique<RecordingWindow>(className);
    RecordingWindow second(className);
    first.reset();
    EXPECT_FALSE(TWindowLink::Probe(WindowSocketName(className)));
    PumpUntil([&] { return TWindowLink::Probe(WindowSocketName(className)); }, 3000);
    ASSERT_TRUE(TWindowLink::Probe(WindowSocketName(className)));
    EXPECT_TRUE(PostMessageToProcess(className, WM_RESTOREMAINWINDOW, SC_MAXIMIZE, 0));
    PumpUntil([&] { return second.Count() == 1; });
    EXPECT_EQ(second.Count(), 1u);
}
