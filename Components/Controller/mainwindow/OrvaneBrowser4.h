#pragma once
// The client's main window (unit OrvaneBrowser4). Its top-level window is
// registered under the class name "TfrmOrvaneBrowser4", the key by which a
// second start of the launcher finds the running copy and hands over to it
// (message 9912: back to the normal state and to the front).
//
// The window owns the server connection "MAIN" (conMAIN), the databases
// "SYSTEM_DATA" (alias SYSTEM) and "DATA", the procedures of the system
// plug-in it and the controller call (GetMenu, DatabaseLogin, UploadLog,
// SetLock, ClearLock, GetResources, GetResourceFileName), the local lists of
// menu rows and of the user's databases, the module entries, the icon
// manager and the settings file. It builds its menu bar, toolbar, module
// list, search box, info bar and status bar at creation, loads the settings
// at first show and saves them at close, and keeps every action's enabled
// and visible state in step with the session whenever the application is
// idle (the rules are plain: OrvaneBrowser4Actions.h).
//
// Sessions: Logged (signed in to the server) and DBLogged (signed in to a
// database) change only through SetLogged and SetDBLogged. The sign-in road
// (UserLogInExec -> Login -> the sign-in dialog -> OnUserLogin -> the
// connection's DoOnLogin) is in OrvaneBrowser4Login.cpp.
//
// Settings: the file named like the program with ".ini", beside the program
// or, when that folder cannot be written, in the per-user folder; sections
// "CONNECTIONS", "LOCAL CACHE", "USER PREFERENCES" and "UPDATE".
//
// Command line: the switches kept at start; "FORCE_IE" chooses the old
// browser back-end, "SKIP_UPDATE" skips the update check of the first show.
//
// Main thread only, like every window.

#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/applets/ovnBrowserUtils.h"
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Actions.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Status.h"
#include "Components/Controller/notifications/Notifications.h"
#include "Components/Controller/ovnPreferences.h"
#include "Components/Controller/signin/frmLogin.h"
#include "Components/Nembra/ovnOndrel.h"
#include "platform/DateUtils.h"
#include "platform/ImageList.h"
#include "platform/Messages.h"
#include "platform/Threads.h"
#include "platform/Timers.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QToolBar;
class TAdminUser;
class TCustomControl;
class TDataSet;
class TIniFile;
class TKldAppEditor;
class TKldAppInfoBar;
class TKldAppLabel;
class TKldAppletViewPopup;
class TKldModuleView;
class TProgressBar;
class TStatusBar;
class TovnConnections;
class TovnDesktop;
class TovnWindowItem;
class TovnCustomAdController;
class TPreloadImageThread;
class TLogoutConfirmForm;
class TMailPopup;
class TToolbarBadgeItem;
class INotifyCenter;
class TfrmShiftInfo;
class TInputHook;

// Errors of the main window and of what it offers (the preferences' cache
// checks, the add-on libraries, mail to many users).
KLD_DECLARE_EXCEPTION(EovnBrowser, Exception);

constexpr const char* MainWindowClassName = "TfrmOrvaneBrowser4";
// The marker the update step leaves in the program folder; a client that
// starts after an update deletes it to tell the update helper it runs.
constexpr const char* UpdateMarkerFileName = "$update$";

// The switches of the launcher's command line the window reads.
struct TBrowserSwitches
{
    bool ForceIE = false;    // "FORCE_IE": the old browser back-end
    bool SkipUpdate = false; // "SKIP_UPDATE": no update check at first show
};
TBrowserSwitches BrowserSwitches(const std::vector<std::string>& Args);

// Sign-in texts.
extern const char* const SNoConnections;       // "Connection Parameters undefined." ...
extern const char* const SInvalidConnection;   // "Ivalid Connection Name \"%s\""
extern const char* const SSameUserLoggedIn;    // "Same User ID is already logged in. ..."
extern const char* const SChangePasswordNow;   // "Would you like to change your password now?"
extern const char* const SReallyLogout;        // "Do you really want to logout?"
extern const char* const SCloseAllUnsaved;     // "There is one or more modules with not saved data. ..."
extern const char* const SSessionExpired;      // "Your session on server has expired or was terminated. ..."
extern const char* const SSessionInactive;     // "Your session was terminated due to inactivity."
extern const char* const SCloseAllModules;     // "This will close all opened modules. OK?"
extern const char* const SUnableToOpenApplet;  // "Unable to open applet \"%s.%s\"\r\n..."

// The ad service: its address unless the settings file names another
// ("[ADS] Home"), and the request for one panel's ad.
extern const char* const DefaultAdServiceAddress;
struct TAdRequest
{
    std::string Zip;
    std::string State;
    std::string Enterprise;
    std::string UserID;
    std::string Industry;
    bool Horizontal = false;
};
// Base + "/services/get_ad.php?x=<key>&z=..&s=..&v=<enterprise>/<user>&i=..&p=H|V",
// every value but the key URL-encoded.
std::string AdServiceUrl(const std::string& Base, const TAdRequest& Request);
// The ad service's address named by the settings file IniFileName, else
// DefaultAdServiceAddress; without a trailing "/".
std::string AdServiceAddress(const std::string& IniFileName);
// The unread-mail counter after a 1434 (wParam, lParam): the exact count
// when lParam is not 0, else at least one more; it never wraps.
int32_t NextUnreadMailCount(int32_t Counter, WPARAM WParam, LPARAM LParam);
// The toast's rectangle (screen coordinates) under a button at ButtonTopLeft
// (window coordinates), given the window's top-left on screen.
TRect MailPopupBounds(const TPoint& ButtonTopLeft, const TPoint& WindowOrigin);

// The agent text of the sign-in: "%s - %s (Version:%s)" with the brand's
// name, the program's product version and the controller's version.
std::string LoginAgentText(int32_t Brand, const std::string& ProductVersion, const std::string& ControllerVersion);
// "MAX_IDLE_TIME" in minutes: 20 when missing, not a number, or 0.
int32_t MaxIdleMinutes(const std::string& Text);
// The password-expiry note of a login reply's "Warning": the trimmed
// warning from its sixth character on when it begins with "#2004 " (so the
// note keeps the blank after the code); '' otherwise.
std::string PasswordExpiryNote(const std::string& Warning);

class TfrmOrvaneBrowser4 : public QMainWindow, public TObject, public IMessageReceiver, public IovnPlacementWindow
{
  public:
    explicit TfrmOrvaneBrowser4(QWidget* parent = nullptr);
    ~TfrmOrvaneBrowser4() override;
    std::string ClassName() const override { return "TfrmOrvaneBrowser4"; }

    HWND Handle() const { return m_handle; }
    // Folder of the program file, with a trailing delimiter.
    const std::string& ProgramPath() const { return m_programPath; }
    const std::string& IniFileName() const { return m_iniFileName; }
    const TBrowserSwitches& Switches() const { return m_switches; }
    // The switches as another command line gives them (tests).
    void SetSwitches(const TBrowserSwitches& Value) { m_switches = Value; }

    // --- Session state
    bool Logged() const { return m_logged; }
    bool DBLogged() const { return m_dbLogged; }
    // Inside Logout / DBLogout (the controller then reports no session).
    bool LoggingOut() const { return m_loggingOut; }
    bool DBLoggingOut() const { return m_dbLoggingOut; }
    // Run Login / Logout or DBLogin / DBLogout when the value differs, then
    // keep it; an exception leaves the state as it was.
    void SetLogged(bool Value);
    void SetDBLogged(bool Value);
    // The alias of the data database signed in to; '' before.
    const std::string& DataAlias() const { return m_dataAlias; }
    // The connection chosen at sign-in (the status bar shows it).
    const std::string& ConnectionName() const { return m_connectionName; }
    // The expiry note of the last login reply ('' when none).
    const std::string& PasswordExpiry() const { return m_passwordExpiryNote; }
    int32_t MaxIdleTime() const { return m_maxIdleTime; }
    // What the database sign-in read: the role, the notifications module
    // (-1: none), the enterprise of the database and the user's employee.
    int32_t RoleCounter() const { return m_roleCounter; }
    const std::string& Role() const { return m_role; }
    int32_t NotificationsModule() const { return m_notificationsModule; }
    int32_t EnterpriseCounter() const { return m_enterpriseCounter; }
    int32_t EmployeeCounter() const { return m_employeeCounter; }
    int32_t FacilityCounter() const { return m_facilityCounter; }
    const std::string& FacilityCode() const { return m_facilityCode; }
    const std::string& FacilityName() const { return m_facilityName; }
    const std::string& EmployeeName() const { return m_employeeName; }
    bool MustSelectShift() const { return m_mustSelectShift; }
    TModuleItem* SystemModule() const { return m_systemModule; }
    // Signed in, database signed in, an employee, brand 0.
    bool ShiftSelectionEnabled() const;
    // The shift choice (OrvaneBrowser4Shift.cpp): nothing unless
    // ShiftSelectionEnabled; the shift dialog over the home's shifts, and
    // on OK the shift, its text and the resident groups kept and the
    // notification center refreshed.
    void ShiftInfoExec();
    // Shows the shift dialog modally and answers its result; tests answer
    // it themselves.
    std::function<int(TfrmShiftInfo& Dialog)> ExecuteShiftInfo;
    // The chosen shift (0: none), its text and the chosen resident groups
    // (";12;15;", empty for all residents).
    int32_t ShiftCounter() const { return m_shiftCounter; }
    const std::string& ShiftText() const { return m_shiftText; }
    const std::string& ResidentGroups() const { return m_residentGroups; }
    // Projects the module entries' Groups into the module list.
    void UpdateModulesLayout();
    // "Select &Database...": while a database is signed in it asks "This
    // will close all opened modules. OK?" first; then the database log-off
    // and the database sign-in (OrvaneBrowser4Groups.cpp).
    void DBConnectExec();
    // "Customize &Module Groups...": the groups editor over the entries'
    // Groups; on OK the list shows the new layout and the server stores it.
    void ModuleGroupPreferencesExec();
    // Stores Groups' text form as the user's row of TBL_USERMODULEGROUP on
    // the data database; errors are logged ("Export Modules Layout") only.
    void ExportModulesLayout();
    // Waits for the icon preloading to end (it is asked to stop first).
    void JoinPreloading();

    // --- What other parts of the client ask for
    TovnConnections& GetConnections() const;
    TovnPreferences& GetPreferences() const;
    TovnSysPreferences& GetSysPreferences() const;
    TAdminUser& GetUser() const;
    // Writes "CONNECTIONS", "LOCAL CACHE" and "USER PREFERENCES" (with
    // "UPDATE") for each name that occurs in Sections, then flushes. Never
    // raises: a failure goes to the application's exception handler.
    void SaveToIni(const std::string& Sections);
    // The connection list, then the machine and the user preferences.
    void LoadFromIni();

    // --- Sign-in (OrvaneBrowser4Login.cpp)
    // The action "User &Login..." and message 1324: signs in (a cancelled
    // or failed sign-in ends silently), asks about an expiring password.
    void UserLogInExec();
    // The sign-in dialog's callback: signs in to the entry named
    // Connection; 2009 asks and retries with FORCE, 2012 shows the server's
    // text; every failure becomes a progress notice and a log line. True
    // when the connection is active afterwards.
    bool OnUserLogin(TObject* Sender, const std::string& UserID, const std::string& Password,
                     const std::string& Connection);
    // The connection's login event: the reply's "User", "CLIENT_INFO",
    // "DATABASES" and "Warning" (a missing member reads as empty).
    void DoOnLogin(TObject* Sender);
    // Downloads the resources of type "PCL" into the cache.
    void PreloadPCLResources();
    // "Do you really want to logout?" while signed in; Yes logs off.
    void UserLogoutExec();
    // Local time plus the server's offset (asked once while signed in).
    TDateTime SysDateTime();
    bool ServerTimeKnown() const { return m_serverTimeKnown; }
    // The file name of a resource the cache does not know yet, from the
    // system procedure GetResourceFileName ('' for a blank name).
    void CheckResourceFileName(const std::string& ResourceName, const std::string& OS, std::string& FileName);

    // Stands in for the sign-in dialog: shows it with the callback and
    // answers whether it closed with OK. Tests and screenshots replace it.
    std::function<bool(const TLoginCallback& Callback)> ExecuteLoginDialog;
    // Stands in for the password change (the action "Change &Password" and
    // the Yes of the expiry question); unset, ChangePasswordExec runs.
    std::function<void()> OnChangePassword;
    // The password change dialog for the signed-in user on the system
    // database (OrvaneBrowser4Lock.cpp).
    void ChangePasswordExec();
    // The screen lock: the window hidden until the user's password is typed
    // again (OrvaneBrowser4Lock.cpp).
    void LockBrowserExec();
    bool Locked() const { return m_locked; }
    // The program update check of the first show; True asks the program to
    // end for the update. Unset, there is nothing to check.
    std::function<bool()> OnCheckKernelUpdate;

    // --- Progress and status bar
    void UpdateProgress(int Position, const std::string& Text);
    // Sets the progress bar (StepProgress), shows or hides it, puts Text in
    // the last panel while it shows and repaints at once.
    void UpdateProgressExt(int& Position, int Step, const std::string& Text);
    void UpdateStatusBar();
    // The rules' view of the window now.
    TBrowserActionState ActionState() const;
    // The idle update of every action, the search box, the close label and
    // the status bar.
    void actUIUpdate();

    // --- Module list
    // Shows or hides the module list; the search box follows it.
    void ShowModulesView(bool Visible);
    TKldAppItem* AddModule(const std::string& Name, int32_t Counter, bool AddToGroupList,
                           const TModuleFormClass& FormClass, int32_t ImageIndex);
    void AppletActivated(TModuleItem* ModuleItem, const std::string& Caption, QWidget* Form);
    void AppletActivated(const std::string& ModuleName, const std::string& Caption, QWidget* Form);
    void AppletClosed(QWidget* Form);
    void ClearModules();
    void ModuleViewResync(QWidget* Form);
    // Copies one module's menu rows into dsMenu once, before its view
    // builds its menu (ParentIndex from the levels). A failing row is
    // shown through the application's exception handler and ends the copy;
    // the rows posted stay.
    void DoPrepareMenu(int32_t Module);
    void DoModuleSelect(TObject* Sender, TKldAppItem* Item);
    // The desktop's active module window while signed in, else null.
    QWidget* ActiveModuleForm() const;
    // The active module view's "Customize Widgets" (only for a window of
    // exactly the module view's class).
    void CustomizeModuleExec();
    // Closes every module window (asking about unsaved data); false when
    // the user cancelled or a window stayed open.
    bool CloseAllExec();

    // --- Search box
    void DoFillSearch(TKldAppItems& Items, const std::string& SearchString, int& Found, int Max);
    void OnSearchSelect(intptr_t Tag);
    void SearchPopupInit(TKldAppletViewPopup* View);
    void SearchPopupPopup(TKldAppletViewPopup* View);

    // --- Parts of the window
    QAction* Action(TBrowserAction Id) const { return m_actions[Id]; }
    QToolBar* Toolbar() const { return m_toolbar; }
    QMenu* Menu(const std::string& Caption) const;
    TStatusBar& StatusBar() const { return *m_statusBar; }
    TProgressBar& ProgressBar() const { return *m_progressBar; }
    TKldModuleView& ModuleList() const { return *m_moduleList; }
    TKldAppEditor& SearchBox() const { return *m_searchBox; }
    TKldAppInfoBar& InfoBar() const { return *m_infoBar; }
    TKldAppLabel& CloseLabel() const { return *m_closeLabel; }
    // The module desktop (AppDesktop) and the window list of the "Window"
    // menu.
    TovnDesktop& Desktop() const { return *m_appDesktop; }
    TovnWindowItem& WindowList() const { return *m_windowList; }
    TCustomControl& InfoPanel() const { return *m_pnlInfo; }
    TCustomImageList& Images16() const { return *m_images16; }
    TCustomImageList& Images24() const { return *m_images24; }
    TCustomImageList& IconList() const { return *m_iconList; }
    TModuleItems& ModuleItems() const { return *m_moduleItems; }
    TIconManager& IconManager() const { return *m_iconManager; }
    TTimer& tmrCheckOnline() { return m_tmrCheckOnline; }

    // --- Components
    TNembraConnection& conMAIN() const { return *m_conMAIN; }
    TNembraDatabase& dbSys() const { return *m_dbSys; }
    TNembraDatabase& dbData() const { return *m_dbData; }
    TovnOndrelSystem& sysGetMenu() const { return *m_sysGetMenu; }
    TovnDataSet& dsMenu() const { return *m_dsMenu; }
    TovnOndrelSystem& sysDBLogin() const { return *m_sysDBLogin; }
    TovnDataSet& dsDBList() const { return *m_dsDBList; }
    // The system plug-in's procedure "UploadLog" (LogDate, LogDays, LogType,
    // Log) on the system database: the controller's log upload runs it.
    TovnOndrelSystem& sysUploadLog() const { return *m_sysUploadLog; }
    TovnOndrelSystem& sysSetLock() const { return *m_sysSetLock; }
    TovnOndrelSystem& sysClearLock() const { return *m_sysClearLock; }
    TovnOndrelSystem& sysGetResources() const { return *m_sysGetResources; }
    TovnOndrelSystem& sysGetResourceFileName() const { return *m_sysGetResourceFileName; }
    TovnOndrelQuery& qryUserFacility() const { return *m_qryUserFacility; }
    TovnOndrelQuery& qryAutoCounter() const { return *m_qryAutoCounter; }

    // --- Services for modules and the controller (OrvaneBrowser4Services.cpp)
    // Makes the menu row of Resource current (LocateMenuResource: trimmed,
    // exact case, among all rows). Not found: an ERROR line "Resource \"%s\"
    // not found" and, unless Quiet, an error box with the same text.
    // SearchBy is not consulted: the look-up is always by resource name.
    bool FindResource(const std::string& Resource, TSearchBy SearchBy, bool Quiet);
    bool FindResource2(const std::string& Resource, TSearchBy SearchBy) { return FindResource(Resource, SearchBy, true); }
    // Starts the resource's applet in the view of Module (-1: the row's
    // module), opening the module first; the view's Launch answers.
    bool RunApplet(int32_t Module, const std::string& Resource, TSearchBy SearchBy, int32_t Flags,
                   const std::string& Params, TObject* Obj, bool Reuse);
    // "Current Applet Info...": name, resource, file, version, date, size
    // and CRC-32 of the active container's top applet's file.
    void actAppletInfoExecute(TObject* Sender);
    // The Referer of the connection's requests: the resource of the active
    // container's top applet, '' otherwise.
    void DoOnGetReferer(TObject* Sender, std::string& Referer);
    // The text actAppletInfoExecute shows for a cached file.
    static std::string AppletInfoText(const std::string& Caption, const std::string& Resource,
                                      const std::string& FileName, int64_t Version, const std::string& Path);
    // Runs the "RUNOBJECT" export of the resource's add-on library with
    // Params and answers its result. Main thread only: the process's
    // current folder becomes the cache folder for good.
    int32_t RunObject(const std::string& Resource, const std::string& Params);
    // The next key of the table on the data database (OVN_AUTOCOUNTER).
    int32_t GetAutoCounter(const std::string& TableName);
    // Always raises: "Mutextes are deprecated please use locks".
    [[noreturn]] void CreateMutex(const std::string& A, const std::string& B, const std::string& C,
                                  const std::string& D, const std::string& E);
    // O-Mail (OrvaneBrowser4Mail.cpp). SendOMail opens a prefilled "New
    // Message" (PlanSendOMail's rules; AutoSend sends at once) and answers
    // False in every case. ViewMail brings forward the window that shows the
    // message, or opens one ("Specified mail was deleted" when the row is
    // gone).
    bool SendOMail(const std::string& To, const std::string& Subject, const std::string& Message,
                   const std::string& FileName, bool AutoSend, bool Broadcast, int32_t Counter,
                   const std::string& CounterText, const std::string& MailType);
    void ViewMail(int32_t MailCounter);
    // DataSet (closed first) becomes a clone of the facilities the user may
    // use: every facility for access "A", else those of
    // TBL_USERFACILITYACCESS, worked out once per database sign-in.
    void GetUserFacilities(TovnDataSet* DataSet);
    std::string GetUserHash() const;
    void SwithAdd(int32_t Category);
    // The system windows, once each (a second call brings the window
    // forward): the user list (opening the system database first), the
    // mailbox, the administration console and the database explorer. A new
    // one is listed under the System module entry.
    void DoOpenUserList();
    void DoOpenOMail();
    void DoOpenAdminConsole();
    void DoOpenOndrelExplorer();
    QWidget* SystemWindow(TSystemWindow Kind) const { return m_systemWindows[Kind].Window(); }
    // The open mailbox's check timer again from the preferences (after the
    // preferences dialog's OK).
    void ResetMailTimer();
    // The controller's ad category (nothing in the window reads it).
    int32_t RestrictedAdCategory() const { return m_restrictedAdCategory; }
    void SetRestrictedAdCategory(int32_t Value) { m_restrictedAdCategory = Value; }
    // The enterprise counter of the current alias.
    int32_t AliasEnterprise() const { return m_enterpriseCounter; }
    // The first step of the database sign-in: the data database opened on
    // Alias, whose enterprise it keeps; the window counts as signed in to
    // the database from here on.
    void OpenDataDatabase(const std::string& Alias, int32_t EnterpriseCounter);

    // --- Messages, idle check, new mail, notification center and ads
    // (OrvaneBrowser4Messages.cpp, OrvaneBrowser4Idle.cpp,
    // OrvaneBrowser4Notify.cpp)
    // The idle check on or off (sign-in, log-off); on re-arms from now.
    void SetCheckUserAwayActive(bool Value);
    bool CheckUserAwayActive() const;
    TTimer& tmrCheckUserAway() { return m_tmrCheckUserAway; }
    // The idle timer's tick: the countdown when the user was away for
    // MAX_IDLE_TIME minutes.
    void CheckUserAway();
    uint64_t LastInputTick() const { return m_lastInputTick; }
    // The clock of the idle check and of the guard of the session end (ms
    // of a steady clock); tests set theirs.
    std::function<uint64_t()> TickCount;
    // Shows the countdown modally and answers its modal result; tests
    // answer it themselves.
    std::function<int(TLogoutConfirmForm& Form)> ExecuteLogoutConfirm;
    // Message 1434.
    void WMNewMail(WPARAM WParam, LPARAM LParam);
    // Ends the new-mail indication (log-off, mailbox opened).
    void NewMailDone();
    int32_t UnreadMailCount() const { return m_unreadMail; }
    TAnimator& MailAnimator() const { return *m_mailAnimator; }
    TToolbarBadgeItem& MailButton() const { return *m_mailButton; }
    // The new-mail toast under the mail button.
    void DoShowMailPopup(int32_t Count);
    // The toast shown last while it is open, else null.
    TMailPopup* MailPopup() const;
    // The notification center: null while none exists.
    INotifyCenter* NotifyCenter() const { return m_notifyCenter.get(); }
    int32_t NotifyCount() const { return m_notifyCount; }
    void SetNotifyCount(int32_t Count);
    TToolbarBadgeItem& NotifyButton() const { return *m_notifyButton; }
    QAction* NotifyItem() const { return m_notifyItem; }
    void LoadNotifyTargets();
    void UpdateNotifyTargets();
    // The notifications item's click (F12).
    void ShowNotifyForm();
    // Opens the applet of the notification row (see the Part of the
    // notification center); raises for an unknown module.
    void DoOnNotifyExecute(const TNotifyRow& Row, bool& Handled);
    // The center's bounds: the client area under the toolbar down to the
    // status bar, on screen.
    QRect DoNotifyFormBounds() const;
    int32_t LaunchKind() const { return m_launchKind; }
    // The ad panels' events and the click's pending address.
    void DoOnGetAdUrl(TovnCustomAdController* Sender, bool Horizontal, std::string& Url);
    void DoOnGetDefaultAdHtml(TovnCustomAdController* Sender, bool Horizontal, std::string& Html);
    void DoOnAdClick(TovnCustomAdController* Sender, const std::string& Url);
    const std::string& PendingAdUrl() const { return m_pendingAdUrl; }
    TovnCustomAdController* AdControllerV() const { return m_adControllerV.get(); }
    TovnCustomAdController* AdControllerH() const { return m_adControllerH.get(); }
    // Opens an address with the desktop's program; tests put their own in.
    std::function<bool(const std::string& Address)> ShellOpener;

    void WndProc(TMessage& message) override;
    // Message 4026: the info bar again from the controller's info list, after
    // the active module window's caption.
    void OnInfoBarChanged();
    // Closes the search box's result list (the cancel-mode message to its
    // edit): posted, or sent with the pending messages processed.
    void CloseSearchResults(bool Posted);

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
    // The close query (log off, asking first) and the close.
    void closeEvent(QCloseEvent* event) override;
    // Activating the window, and moving, sizing, minimising or maximising
    // it (the system commands), close an open search result list.
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    // Moving and sizing place the notification center again (message 71).
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Creation (OrvaneBrowser4.cpp, OrvaneBrowser4Menus.cpp).
    void CreateComponents();
    void InitImages();
    void InitMenuToolbar();
    void InitControls();
    void FormShow();
    void FormClose();
    void HandleMessage(TMessage& message);
    void InstallExceptionHandler();
    // Message 9912: back to the normal window state and to the front.
    void RestoreMainWindow();
    void DrawStatusPanel(int Index, const TRect& Rect);
    void ExecuteAction(TBrowserAction Id);
    void ShowModuleListExec();
    void ShowModuleGroupsExec();
    void FindAppletExec();
    void PreferencesExec();
    void CloseCurrentExec();
    void OpenWebSite(const std::string& Address);
    void BuildToolbar();
    void BuildMenus();

    // Sign-in (OrvaneBrowser4Login.cpp).
    void Login();
    void Logout();
    void DBLogin();
    void DBLogout();
    // Database sign-in (OrvaneBrowser4DBLogin.cpp).
    void DBLoginSteps();
    // What a database log-off and a failed database sign-in undo.
    void DropDatabaseState();
    void LoadDatabaseModules();
    void WalkMenuRows();
    void LoadEmployee();
    void LoadModulesLayout();
    void SetAdControllersActive(bool Value);
    // Message 1684: the module list after the database sign-in; a database
    // signed out (a failed sign-in) shows nothing.
    void WMShowModules();
    // The add-on library of the resource "BROWSER_DBLOGIN"; failures are
    // logged and dropped.
    void ExecuteBrowserDBLoginAddOn();
    void ExecuteBrowserLoginAddOn();
    // The notification center's half of the window (InitNotifications: at
    // the end of the database sign-in; DoneNotifications: at its log-off).
    void InitNotifications();
    void DoneNotifications();
    // Messages, idle check, mail and ads (OrvaneBrowser4Messages.cpp,
    // OrvaneBrowser4Idle.cpp, OrvaneBrowser4Notify.cpp).
    bool HandleSessionMessages(TMessage& message);
    void InitCheckUserEvents();
    void DoneCheckUserEvents();
    void DoLogoutConfirm();
    void InitMailButton();
    void InitNotifyItem();
    void CreateAdControllers();
    void DoOpenAdPage();
    void OnNotification(LPARAM LParam);
    void DoOnNotifyUpdate(TNotifications* Filter, bool& Accept);
    void DoOnNotifySetup(bool& Changed);
    void DoOnNotifyChanged();
    void DrawNotifyBadge(TCanvas& Canvas, const TRect& ImageRect);
    bool RunLoginDialog(const TLoginCallback& Callback);
    void SignInAttempt(const std::string& UserID, const std::string& Password, bool Force);
    void DoSessionTerminate(bool Idle);
    // Milliseconds until the end of a session may run again (0: now): it
    // runs at most once per SessionEndGuardMs, counted from the start and
    // from the end of the last run.
    uint64_t SessionEndGuardLeft() const;
    static constexpr uint64_t SessionEndGuardMs = 10000;
    void tmrCheckOnlineTimer();

    HWND m_handle = NullHWnd;
    std::string m_programPath;
    std::string m_iniFileName;
    TBrowserSwitches m_switches;
    TBoundaryErrorHandler m_previousErrorHandler;
    bool m_exceptionHandlerInstalled = false;

    bool m_logged = false;
    bool m_dbLogged = false;
    bool m_locked = false;
    bool m_loggingOut = false;
    bool m_dbLoggingOut = false;
    bool m_registeredForProgress = false;
    bool m_terminatePosted = false;
    std::string m_dataAlias;
    int32_t m_enterpriseCounter = 0;
    std::string m_connectionName;
    std::string m_passwordExpiryNote;
    int32_t m_maxIdleTime = 20;
    double m_serverTimeOffset = 0;
    bool m_serverTimeKnown = false;
    uint64_t m_lastSessionEnd = 0;
    bool m_sessionEndSeen = false;
    bool m_sessionEndWakeArmed = false;
    int32_t m_notificationsModule = -1;
    int32_t m_launchKind = 0;
    int m_progressPosition = 0;
    // The employee of the signed-in user in the database (the status bar
    // reads it; the database sign-in fills it).
    int32_t m_employeeCounter = 0;
    int32_t m_facilityCounter = 0;
    std::string m_facilityName;
    std::string m_employeeName;
    bool m_mustSelectShift = false;
    std::string m_residentGroups;
    int32_t m_roleCounter = 0;
    std::string m_role;
    // The "System" entry of a "SYS" user; null for others.
    TModuleItem* m_systemModule = nullptr;
    // Owned: asked to stop at the database log-off, joined before the next
    // database sign-in, before the connection goes and at destruction.
    std::unique_ptr<TPreloadImageThread> m_preloadThread;
    std::string m_facilityCode;
    int32_t m_shiftCounter = 0;
    std::string m_shiftText;

    std::unique_ptr<TIniFile> m_ini;
    std::unique_ptr<TCustomImageList> m_images16;
    std::unique_ptr<TCustomImageList> m_images24;
    std::unique_ptr<TCustomImageList> m_iconList;
    std::unique_ptr<TModuleItems> m_moduleItems;
    std::unique_ptr<TIconManager> m_iconManager;

    std::unique_ptr<TNembraConnection> m_conMAIN;
    std::unique_ptr<TNembraDatabase> m_dbSys;
    std::unique_ptr<TNembraDatabase> m_dbData;
    std::unique_ptr<TovnOndrelSystem> m_sysGetMenu;
    std::unique_ptr<TovnDataSet> m_dsMenu;
    std::unique_ptr<TovnOndrelSystem> m_sysDBLogin;
    std::unique_ptr<TovnDataSet> m_dsDBList;
    std::unique_ptr<TovnOndrelSystem> m_sysUploadLog;
    std::unique_ptr<TovnOndrelSystem> m_sysSetLock;
    std::unique_ptr<TovnOndrelSystem> m_sysClearLock;
    std::unique_ptr<TovnOndrelSystem> m_sysGetResources;
    std::unique_ptr<TovnOndrelSystem> m_sysGetResourceFileName;
    std::unique_ptr<TovnOndrelQuery> m_qryUserFacility;
    std::unique_ptr<TovnOndrelQuery> m_qryAutoCounter;
    std::array<TSystemWindowHolder, SystemWindowCount> m_systemWindows;
    int32_t m_restrictedAdCategory = 0;
    void OpenSystemWindow(TSystemWindow Kind);
    TTimer m_tmrCheckOnline;

    // Widgets (children of the window).
    std::array<QAction*, BrowserActionCount> m_actions{};
    QToolBar* m_toolbar = nullptr;
    QAction* m_notifyItem = nullptr;
    TCustomControl* m_pnlAdH = nullptr;
    TCustomControl* m_pnlInfo = nullptr;
    TCustomControl* m_pnlAdV = nullptr;
    TovnDesktop* m_appDesktop = nullptr;
    std::unique_ptr<TovnWindowItem> m_windowList;
    // The controllers of pnlAdV and pnlAdH (of DefaultAdControllerClass).
    std::unique_ptr<TovnCustomAdController> m_adControllerV;
    std::unique_ptr<TovnCustomAdController> m_adControllerH;
    TCustomControl* m_pnlStatus = nullptr;
    TStatusBar* m_statusBar = nullptr;
    TProgressBar* m_progressBar = nullptr;
    TKldModuleView* m_moduleList = nullptr;
    TKldAppEditor* m_searchBox = nullptr;
    TKldAppInfoBar* m_infoBar = nullptr;
    TKldAppLabel* m_closeLabel = nullptr;
    int m_showModuleListTag = 1;

    // Idle check, new mail, notification center, ads.
    TTimer m_tmrCheckUserAway;
    uint64_t m_lastInputTick = 0;
    std::unique_ptr<TInputHook> m_inputHook;
    int32_t m_unreadMail = 0;
    std::unique_ptr<TAnimator> m_mailAnimator;
    TToolbarBadgeItem* m_mailButton = nullptr;
    TToolbarBadgeItem* m_notifyButton = nullptr;
    QPointer<TMailPopup> m_mailPopup;
    std::unique_ptr<INotifyCenter> m_notifyCenter;
    int32_t m_notifyCount = 0;
    std::string m_pendingAdUrl;
};

// The version record of the program file, read when the main window is
// created (the sign-in sends its product version).
const TovnVersionInfo& ProgramVersionInfo();

// Inside a catch block: hands the exception being handled to the
// application's exception handler (the main window's: logged with source
// "BROWSER", then shown with its message); a cancelled step (EAbort) is
// silent.
void ApplicationHandleException(const std::string& Where);

// The search box's results for SearchString over the menu rows (all
// modules of the database): up to Max executable rows whose "Description"
// holds the text (case ignored), grouped under the name of their module's
// entry in menu order; rows below an executable row are not offered, nor
// rows of a module without an entry. Found counts the results.
void FillSearchResults(TDataSet& Menu, const TModuleItems& Entries, TKldAppItems& Items,
                       const std::string& SearchString, int& Found, int Max);

// Loads pictures into an image list in the order given, so that a
// picture's place is its index. A picture that cannot be loaded is logged as
// a warning ("Unable to load image " + name + the reason) and leaves a blank
// (transparent) picture in its slot, so the later indices stay in place.
void LoadPictureTable(TCustomImageList& Images, const std::vector<std::string>& Names);
