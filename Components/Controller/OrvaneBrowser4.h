#pragma once
// The client's main window. Its top-level window is registered under the
// class name "TfrmOrvaneBrowser4", the key by which a second start of the
// launcher finds the running copy and hands over to it (message 9912: back to
// the normal state and to the front).
//
// This is the window's shell: registration, title, the hand-over message, the
// session state flags and the start-up deletion of the update marker. Menus,
// toolbars, sign-in and the module views are added to it by their own units.

#include "Components/Controller/ovnPreferences.h"
#include "Components/Controller/ovnUtils.h"
#include "platform/Messages.h"
#include "platform/SysUtils.h"

#include <QMainWindow>
#include <memory>
#include <string>

class TNembraPlugin;

constexpr const char* MainWindowClassName = "TfrmOrvaneBrowser4";

// Errors of the main window and of what it offers (the preferences' cache
// checks, the add-on libraries, mail to many users).
KLD_DECLARE_EXCEPTION(EovnBrowser, Exception);
// The marker the update step leaves in the program folder; a client that
// starts after an update deletes it to tell the update helper it runs.
constexpr const char* UpdateMarkerFileName = "$update$";

class TfrmOrvaneBrowser4 : public QMainWindow, public IMessageReceiver, public IovnPlacementWindow
{
    Q_OBJECT

  public:
    explicit TfrmOrvaneBrowser4(QWidget* parent = nullptr);
    ~TfrmOrvaneBrowser4() override;

    HWND Handle() const { return m_handle; }
    // Folder of the program file, with a trailing delimiter.
    const std::string& ProgramPath() const { return m_programPath; }
    // Where the settings file lives (beside the program, or the per-user
    // folder when the program folder cannot be written).
    const std::string& IniFileName() const { return m_iniFileName; }

    // Session state; both start cleared and change only through sign-in
    // and log-off.
    bool Logged() const { return m_logged; }
    bool DBLogged() const { return m_dbLogged; }
    // The alias of the data database signed in to; '' before.
    const std::string& DataAlias() const { return m_dataAlias; }

    // The system plug-in's procedure "UploadLog" (LogDate, LogDays, LogType,
    // Log) on connection "MAIN": the controller's log upload runs it. It
    // needs no database, so a log can be sent as soon as the user is signed
    // in.
    TNembraPlugin& sysUploadLog() const { return *m_sysUploadLog; }

    void WndProc(TMessage& message) override;

    // The placement the user preferences remember: the frame's position with
    // the client size, the window state, and the size of the whole desktop.
    TovnWindowBounds GetPlacementBounds() const override;
    void SetPlacementBounds(const TovnWindowBounds& Bounds) override;
    int32_t GetPlacementState() const override;
    void SetPlacementState(int32_t State) override;
    int32_t DesktopWidth() const override;
    int32_t DesktopHeight() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    // The application's main form ends the application's message loop when
    // it closes, whatever other windows are open.
    void closeEvent(QCloseEvent* event) override;

  private:
    // Message 9912: back to the normal window state and to the front.
    void RestoreMainWindow();
    // First-show steps that exist so far.
    void FormShow();

    HWND m_handle = NullHWnd;
    std::string m_programPath;
    std::string m_iniFileName;
    bool m_logged = false;
    bool m_dbLogged = false;
    bool m_locked = false;
    std::string m_dataAlias;
    std::unique_ptr<TNembraPlugin> m_sysUploadLog;
};

// The version record of the program file, read when the main window is
// created (the sign-in sends its product version).
const TovnVersionInfo& ProgramVersionInfo();
