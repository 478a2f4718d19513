#pragma once
// The window of the update helper `Swaplet` ("Update Installation").
//
// Started by the client's update step with five arguments (program folder,
// setup program, backup archive, client program, client parameters), it
// runs the setup silently, waits for it, starts the client again and
// watches the marker file "$update$" that the client deletes once it runs
// the new version. When the setup fails, or the client does not confirm in
// time, it offers "Restore", which puts the backup archive's files back and
// starts the client with " /SKIP_UPDATE".
//
// A setup that ends in time with a non-zero exit code has failed: taking it
// for a success would start the client on half-installed files and offer no
// way back.
//
// A setup that has failed is ended before "Restore" is offered, with every
// process it started (it leads a process group of its own): a setup still
// running past its limit, or a process it left behind, would go on
// replacing files while the restore puts the old ones back.
//
// The waits are settings (TSwapletTimings) so that tests can shorten
// them; ending the program goes through OnTerminate (by default a quit of
// the application once its event loop runs), so that a test can watch it.
// The programs are started directly: the setup with its switches split by
// the command-line rules into three arguments, the client with its
// parameters split the same way.
//
// One window, one thread (the user-interface thread); no settings, no log.

#include "platform/Messages.h"

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

// The arguments, as kept: the program folder trimmed and with a trailing
// delimiter (ovnFixPath), the others as given, the client parameters ''
// when missing.
struct TSwapletCommandLine
{
    std::string ProgramPath;
    std::string SetupFile;
    std::string BackupFile;
    std::string ClientFile;
    std::string ClientParams;
};

// Args are the arguments after the program. False (and the values read so
// far) with fewer than four.
bool SwapletCommandLine(const std::vector<std::string>& Args, TSwapletCommandLine& Out);

// "/VERYSILENT /SUPPRESSMSGBOXES /DIR=" and the program folder in double
// quotes.
std::string SwapletSetupParams(const std::string& ProgramPath);

struct TSwapletTimings
{
    uint32_t WaitStep = 200;       // the setup is polled this often
    uint32_t SetupLimit = 60000;   // a setup running longer has failed
    uint32_t CheckInterval = 4000; // the marker file is looked for this often
    uint32_t CheckLimit = 60000;   // a marker still there past this has failed
    uint32_t SetupEndLimit = 10000; // a failed setup's processes are waited for this long at most
};

enum TSwapletState
{
    ssNone,
    ssInstalling,
    ssDone,
    ssFailed,
    ssRestoring,
    ssRestoreFailed
};

enum TSwapletPicture
{
    spNone,
    spSuccess,
    spRestore
};

// What a state shows.
struct TSwapletStateView
{
    std::string Header;
    std::string Message; // the restore failed state shows the error instead
    TSwapletPicture Picture = spNone;
    bool RestoreVisible = false;
    bool CloseVisible = false;
};
TSwapletStateView SwapletStateView(TSwapletState State);

// The designed layout: client area and the two buttons' places.
inline constexpr int SwapletClientWidth = 431;
inline constexpr int SwapletClientHeight = 136;

class TfrmSwaplet : public QWidget, public IMessageReceiver
{
  public:
    // OnTerminate as the member below; given here it also serves a window
    // made with too few arguments, which asks to end while it is created.
    explicit TfrmSwaplet(const std::vector<std::string>& Args, const TSwapletTimings& Timings = {},
                         std::function<void()> OnTerminate = nullptr, QWidget* parent = nullptr);
    ~TfrmSwaplet() override;

    const TSwapletCommandLine& CommandLine() const { return m_commandLine; }
    const TSwapletTimings& Timings() const { return m_timings; }
    HWND Handle() const { return m_handle; }

    // Ends the program; by default quits the application's event loop (also
    // when asked before the loop runs).
    std::function<void()> OnTerminate;
    // True once the program was asked to end.
    bool Terminated() const { return m_terminated; }

    TSwapletState State() const { return m_state; }
    void ShowState(TSwapletState State, const std::string& ErrorMessage = std::string());

    // Message 1025: installing, the setup, and the failed state when it
    // failed.
    void RunInstall();
    // True when the setup ended in time with exit code 0 and the client
    // started (the check timer then runs). A setup that failed is ended,
    // with what it started, before this returns.
    bool RunSetup();
    // Starts the client with the client parameters, " /SKIP_UPDATE" added
    // unless Accepted. False when it could not be started.
    bool StartClient(bool Accepted);
    // One tick of the check timer.
    void CheckTimerTick();
    bool CheckTimerActive() const { return m_checkTimer.isActive(); }
    int CheckedMilliseconds() const { return m_checked; }

    // "Restore" and "Close".
    void btnRestoreClick();
    void btnCloseClick();
    // Shows the restoring state and restores the files; errors are raised.
    void RestoreFiles();

    void DoProgress(int Position, int Max, const std::string& Text);
    void NextProgress(const std::string& Text);

    QLabel* lblHeader() const { return m_lblHeader; }
    QLabel* lblMessage() const { return m_lblMessage; }
    QLabel* lblStatus() const { return m_lblStatus; }
    QLabel* imgRestore() const { return m_imgRestore; }
    QLabel* imgSuccess() const { return m_imgSuccess; }
    QProgressBar* pbProgress() const { return m_pbProgress; }
    QPushButton* btnRestore() const { return m_btnRestore; }
    QPushButton* btnClose() const { return m_btnClose; }

    // The three pictures (48 x 48 program, 24 x 24 restore and success marks).
    static QPixmap ProgramPicture();
    static QPixmap RestorePicture();
    static QPixmap SuccessPicture();

  protected:
    void WndProc(TMessage& Message) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Terminate();

    TSwapletCommandLine m_commandLine;
    TSwapletTimings m_timings;
    HWND m_handle = NullHWnd;
    TSwapletState m_state = ssNone;
    bool m_terminated = false;
    bool m_shown = false;
    QTimer m_checkTimer;
    int m_checked = 0;
    QPoint m_restorePlace;
    QPoint m_closePlace;

    QLabel* m_imgProgram = nullptr;
    QLabel* m_imgRestore = nullptr;
    QLabel* m_imgSuccess = nullptr;
    QLabel* m_lblHeader = nullptr;
    QLabel* m_lblMessage = nullptr;
    QLabel* m_lblStatus = nullptr;
    QProgressBar* m_pbProgress = nullptr;
    QPushButton* m_btnRestore = nullptr;
    QPushButton* m_btnClose = nullptr;
};
