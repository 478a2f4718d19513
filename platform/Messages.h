#pragma once
// Window handles and window messages.
//
// Every object that the system treats as a window with a handle (the main
// window, dialogs, module forms, the notification client's timer window)
// registers itself here with AllocateHWnd and receives messages through its
// WndProc. A window lives in the thread that registered it:
// - PostMessage queues the message to that thread's event loop; a message for
//   a window that is gone by then is dropped.
// - SendMessage calls WndProc directly on the same thread; from another
//   thread it waits until the window's thread has run it (a waiting main
//   thread keeps serving hand-offs meanwhile).
// A top-level window registered with a class name can be found with
// FindWindow. It also listens on a local socket named from the class name and
// the user id, so that another process of the same user finds it and posts it
// messages or raises it (the launcher's hand-over to a running copy). The
// socket lives in a folder only this user can enter ($XDG_RUNTIME_DIR, else
// /tmp/kld-<uid>), and both ends check that the peer runs as this user. Such a
// remote window gets a handle of its own in this process; PostMessage,
// SetForegroundWindow and IsWindow work on it. SendMessage to a remote window
// is not supported and answers 0. Only the raise request and the launcher's
// hand-over (9912 with wParam 61488 and lParam 0) are taken from another
// process; the listener refuses and reports every other message. A window
// whose class name another copy listens on tries again every second to take
// the name, so that some running copy is always findable.
// WndProc is a boundary: an exception escaping it is reported through the
// boundary error handler (platform/Threads.h) and the message answers 0.

#include <cstdint>
#include <functional>
#include <string>

using HWND = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr HWND NullHWnd = 0;

struct TMessage
{
    uint32_t Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// An object that receives window messages.
class IMessageReceiver
{
  public:
    virtual void WndProc(TMessage& message) = 0;

  protected:
    ~IMessageReceiver() = default;
};

// Registers `receiver` as a window of the calling thread. A non-empty
// class name makes it a top-level window that FindWindow finds (here and,
// when a Qt application exists, from other processes of the same user).
// The receiver must outlive the handle: call DeallocateHWnd before it goes.
HWND AllocateHWnd(IMessageReceiver* receiver, const std::string& className = "");
// Unregisters the window; messages still queued for it are dropped. A
// SendMessage that runs WndProc at this moment finishes first when
// DeallocateHWnd is called from another thread.
void DeallocateHWnd(HWND handle);
// The routine that raises the window (SetForegroundWindow, a remote raise).
void SetWindowForegroundHandler(HWND handle, std::function<void()> handler);
// A window timer: WM_TIMER (wParam = timerId) reaches the window every
// `elapseMs` ms (at least 10) from its thread's event loop. Setting an id
// again re-arms it. Only the window's own thread may set or kill its timers;
// they end with the window. Both answer false for a wrong window or thread,
// KillTimer also for an unknown id.
bool SetTimer(HWND handle, uintptr_t timerId, uint32_t elapseMs);
bool KillTimer(HWND handle, uintptr_t timerId);

// Posts a message to every top-level window (registered with a class name)
// of this process; answers how many were posted to. The system uses it for
// WM_TIMECHANGE: once a top-level window exists, a change of the system
// clock is broadcast that way.
int BroadcastTopLevelMessage(uint32_t msg, WPARAM wParam, LPARAM lParam);

bool IsWindow(HWND handle);
// Finds a top-level window by class name: a window of this process first,
// otherwise one of another process of this user. NullHWnd when none exists.
HWND FindWindow(const std::string& className);
// Only the windows of other processes.
HWND FindWindowCrossProcess(const std::string& className);
bool PostMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessage(HWND handle, uint32_t msg, WPARAM wParam, LPARAM lParam);
// Finds the window of class `className` in another process and posts to it.
bool PostMessageToProcess(const std::string& className, uint32_t msg, WPARAM wParam, LPARAM lParam);
// Calls the window's foreground handler (in its thread; in its process for a
// remote window). Answers false when the window does not exist.
bool SetForegroundWindow(HWND handle);
inline bool BringToFront(HWND handle)
{
    return SetForegroundWindow(handle);
}
// The socket path a top-level window of class `className` listens on; ''
// when no private folder is available (then nothing listens).
std::string WindowSocketName(const std::string& className);

// ---------------------------------------------------------------------------
// Message numbers

// Platform messages
constexpr uint32_t WM_NULL = 0x0000;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_ERASEBKGND = 20;
constexpr uint32_t WM_TIMECHANGE = 30;
constexpr uint32_t WM_MOUSEACTIVATE = 33;
constexpr uint32_t WM_WINDOWPOSCHANGED = 71;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_TIMER = 0x0113;
constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t CM_BASE = 0xB000;
constexpr uint32_t CM_CANCELMODE = CM_BASE + 4;

// System commands (wParam of WM_SYSCOMMAND)
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

// The system's private messages
constexpr uint32_t WM_RUNINSTALL = WM_USER + 1;           // 1025, update helper window
constexpr uint32_t WM_APPLETNOTIFICATION = 1124;          // applet -> container
constexpr uint32_t WM_APPLETSHOWN = 1224;                 // applet form first shown
constexpr uint32_t WM_GETWIDGETCOLSPAN = 1225;            // widget column span
constexpr uint32_t WM_BUILDDETAILS = 1280;                // exception report dialog
constexpr uint32_t WM_AUTOLOGOUTMSG = 1322;               // inactivity message
constexpr uint32_t WM_AUTOLOGOUT = 1323;                  // end the session
constexpr uint32_t WM_AUTOLOGIN = 1324;                   // open sign-in
constexpr uint32_t WM_NEWMAIL = 1434;                     // new mail
constexpr uint32_t WM_FILLINFOBARITEMS = 1524;            // module form fills the info bar
constexpr uint32_t WM_SHOWMODULES = 1684;                 // module list after database sign-in
constexpr uint32_t WM_NOTIFICATION = 1724;                // notifications changed
constexpr uint32_t WM_OPENADPAGE = 1726;                  // open a clicked ad address
constexpr uint32_t CM_FITALLTABS = 2038;                  // styled tab control narrows its tabs
constexpr uint32_t WM_FORMSNOTIFY = 4025;                 // module form -> desktop
constexpr uint32_t WM_INFOBARCHANGED = 4026;              // controller's info list changed
constexpr uint32_t WM_LOADMENU = 4357;                    // module view loads its applet menu
constexpr uint32_t WM_KLDPROGRESS = 5024;                 // progress notice
constexpr uint32_t WM_CHILDNOTIFY = 6658;                 // child notifier -> owner form
constexpr uint32_t WM_RESTOREMAINWINDOW = WM_USER + 8888; // 9912, restore and raise
constexpr uint32_t CM_SELECTITEM = 46068;                 // search edit selects an item
constexpr uint32_t WM_APPLETREACTIVATE = 48061;           // applet on top re-activated
constexpr uint32_t CN_CONNECTIONEVENT = 48247;            // connection event to listeners
