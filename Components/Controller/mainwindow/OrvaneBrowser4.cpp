#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/PreloadImageThread.h"

#include "Components/Controller/applets/AppContainer.h"
#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/mail/MailPopup.h"
#include "Components/Controller/mainwindow/InputHook.h"
#include "Components/Controller/mainwindow/ToolbarBadgeItem.h"
#include "Components/Controller/notifications/NotifyCenterIntf.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Components/Controller/web/ovnBrowserSelector.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "platform/Dialogs.h"
#include "platform/DrawText.h"
#include "platform/FileUtils.h"
#include "platform/IniFiles.h"
#include "platform/Processes.h"
#include "platform/StatusBar.h"
#include "platform/SysUtils.h"
#include "ui/KldAppEditor.h"
#include "ui/KldAppPanel.h"
#include "ui/KldModuleView.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <mutex>

static void InitControllerResources()
{
    Q_INIT_RESOURCE(ControllerResources);
}

namespace {

TovnVersionInfo s_programVersion;

// The screen cursor as the progress service and the datasets set it: one
// override for the whole application, the default cursor lifting it.
void SetScreenCursor(int Cursor)
{
    auto apply = [Cursor] {
        if (Cursor == crDefault) {
            while (QApplication::overrideCursor())
                QApplication::restoreOverrideCursor();
        } else if (QApplication::overrideCursor()) {
            QApplication::changeOverrideCursor(ToQtCursor(static_cast<TCursor>(Cursor)));
        } else {
            QApplication::setOverrideCursor(ToQtCursor(static_cast<TCursor>(Cursor)));
        }
    };
    // Any thread may ask; the cursor belongs to the user-interface thread.
    if (MainThread::IsMainThread())
        apply();
    else
        MainThread::Queue(apply);
}

// The window's exception handler: the log first, then the application's
// handler that was there before, else the standard error box. The log's own
// boundary handler is no application handler: it would only log the error
// again, and the user would never see it.
struct TBrowserErrorHandler
{
    const TfrmOrvaneBrowser4* Window;
    TBoundaryErrorHandler Previous;

    void operator()(const std::string& where, const std::string& message) const
    {
        Log.Error(message, "BROWSER", where);
        using TPlainHandler = void (*)(const std::string&, const std::string&);
        const TPlainHandler* plain = Previous.target<TPlainHandler>();
        if (Previous && !(plain && *plain == &LogBoundaryError)) {
            Previous(where, message);
            return;
        }
        auto show = [message] { MessageDlg(message, mtError, {mbOK}); };
        if (MainThread::IsMainThread())
            show();
        else
            MainThread::Queue(show);
    }
};

} // namespace

const TovnVersionInfo& ProgramVersionInfo()
{
    return s_programVersion;
}

void ApplicationHandleException(const std::string& Where)
{
    try {
        throw;
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ReportBoundaryError(Where, e.Message());
    } catch (const std::exception& e) {
        ReportBoundaryError(Where, e.what());
    } catch (...) {
        ReportCurrentException(Where);
    }
}

TBrowserSwitches BrowserSwitches(const std::vector<std::string>& Args)
{
    TBrowserSwitches s;
    s.ForceIE = FindCmdLineSwitch(Args, "FORCE_IE", "-/", true);
    s.SkipUpdate = FindCmdLineSwitch(Args, "SKIP_UPDATE", "-/", true);
    return s;
}

void LoadPictureTable(TCustomImageList& Images, const std::vector<std::string>& Names)
{
    for (const std::string& name : Names) {
        std::string reason;
        try {
            if (Images.ResourceLoad(rtRCData, name, clNone))
                continue;
            reason = "Resource not found";
        } catch (const std::exception& e) {
            reason = e.what();
        }
        Log.Warning("Unable to load image " + name + " " + reason, "BROWSER");
        // A blank picture keeps every later picture at its index.
        QImage blank(Images.Width(), Images.Height(), QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        Images.Add(blank);
    }
}

// ---------------------------------------------------------------------------
// Creation

TfrmOrvaneBrowser4::TfrmOrvaneBrowser4(QWidget* parent) : QMainWindow(parent)
{
    // The timings of remote calls read the cycle counter: it is calibrated
    // once per process (a 100 ms measure), before the first call.
    static std::once_flag profilingCalibrated;
    std::call_once(profilingCalibrated, [] { InitProfiling(); });
    setObjectName("frmOrvaneBrowser4");
    resize(1094, 660);
    s_programVersion = ovnVersionInfo(GetModuleFileName());
    setWindowTitle(QCoreApplication::applicationName());
    setWindowIcon(QApplication::windowIcon());
    m_switches = BrowserSwitches(GetCommandLineArgs());
    m_handle = AllocateHWnd(this, MainWindowClassName);
    SetWindowForegroundHandler(m_handle, [this] { RestoreMainWindow(); });

    InstallExceptionHandler();
    ScreenCursorProc = &SetScreenCursor;
    ExecuteLoginDialog = [this](const TLoginCallback& callback) {
        TfrmLogin dialog(this);
        dialog.DataToForm(callback);
        return dialog.ShowModal() == mrOk;
    };

    CreateComponents();
    InitImages();
    InitMenuToolbar();
    InitControls();
    InitCheckUserEvents();
    InitMailButton();
    InitNotifyItem();
    UpdateStatusBar();

    m_programPath = ovnGetProgramPath();
    m_iniFileName = ovnGetDataPath() + ChangeFileExt(ExtractFileName(GetModuleFileName()), ".ini");
    m_ini = std::make_unique<TIniFile>(m_iniFileName);
    if (Controller)
        Controller->Connections().LoadFromIni(*m_ini, "CONNECTIONS");

    m_moduleItems = std::make_unique<TModuleItems>(this);
    UpdateProgress(0, "");
    m_launchKind = 0;
    m_iconManager = std::make_unique<TIconManager>(m_iconList.get(), Controller ? &Controller->Cache() : nullptr);
    // The web back-end of every view and ad panel, chosen once.
    InitBrowser(m_switches.ForceIE);
    CreateAdControllers();

    // The action update runs whenever the application has nothing else to
    // do, as the actions' own update did.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            try {
                actUIUpdate();
            } catch (...) {
                ApplicationHandleException("TfrmOrvaneBrowser4.actUIUpdate");
            }
        });
}

void TfrmOrvaneBrowser4::CreateComponents()
{
    m_conMAIN = std::make_unique<TNembraConnection>();
    m_conMAIN->SetName("conMAIN");
    m_conMAIN->SetConnectionName("MAIN");
    m_conMAIN->SetAppendTimeStampToPost(true);
    m_conMAIN->SetShowWaitCursor(true);
    m_conMAIN->SetTimeout(120);
    m_conMAIN->OnLogin = [this](TObject* sender) { DoOnLogin(sender); };
    m_conMAIN->OnGetReferer = [this](TObject* sender) {
        std::string referer;
        DoOnGetReferer(sender, referer);
        return referer;
    };

    m_dbSys = std::make_unique<TNembraDatabase>();
    m_dbSys->SetName("dbSys");
    m_dbSys->SetDatabaseName("SYSTEM_DATA");
    m_dbSys->SetConnectionName("MAIN");
    m_dbSys->SetServerOS("LIN");
    m_dbSys->Params().SetText("DB_ALIAS=SYSTEM");
    m_dbData = std::make_unique<TNembraDatabase>();
    m_dbData->SetName("dbData");
    m_dbData->SetDatabaseName("DATA");
    m_dbData->SetConnectionName("MAIN");
    m_dbData->SetServerOS("LIN");

    auto systemProc = [](const std::string& procedure) {
        auto proc = std::make_unique<TovnOndrelSystem>();
        proc->SetName("sys" + procedure);
        proc->SetProcedureName(procedure);
        proc->SetDatabaseName("SYSTEM_DATA");
        return proc;
    };
    m_sysGetMenu = systemProc("GetMenu");
    m_sysGetMenu->SetShowWaitCursor(true);
    m_sysGetMenu->SetFetchBy(-1);
    m_sysGetMenu->Params().CreateParam(ftInteger, "C_Module", ptInput)->SetValue(Variant(int32_t(-1)));
    m_sysGetMenu->SetFiltered(true);
    m_sysDBLogin = systemProc("DatabaseLogin");
    m_sysDBLogin->Params().CreateParam(ftString, "Alias", ptInput);
    for (const char* name : {"Security"})
        m_sysDBLogin->Params().CreateParam(ftBlob, name, ptOutput);
    m_sysDBLogin->Params().CreateParam(ftInteger, "C_Role", ptOutput);
    for (const char* name : {"Role", "Modules", "GM_Groups", "GM_Modules", "GM_User"})
        m_sysDBLogin->Params().CreateParam(ftString, name, ptOutput);
    m_sysUploadLog = systemProc("UploadLog");
    m_sysUploadLog->Params().CreateParam(ftDate, "LogDate", ptInput);
    m_sysUploadLog->Params().CreateParam(ftInteger, "LogDays", ptInput);
    m_sysUploadLog->Params().CreateParam(ftString, "LogType", ptInput);
    m_sysUploadLog->Params().CreateParam(ftBlob, "Log", ptInput);
    m_sysSetLock = systemProc("SetLock");
    m_sysSetLock->Params().CreateParam(ftString, "Lock_Path", ptInput);
    m_sysSetLock->Params().CreateParam(ftString, "Description", ptInput);
    m_sysClearLock = systemProc("ClearLock");
    m_sysClearLock->Params().CreateParam(ftString, "Lock_Path", ptInput);
    // Their parameters are asked from the server on first use.
    m_sysGetResources = systemProc("GetResources");
    m_sysGetResources->SetLogicalName("GetResources");
    m_sysGetResourceFileName = systemProc("GetResourceFileName");
    m_sysGetResourceFileName->SetLogicalName("GetResourceFileName");

    m_dsMenu = std::make_unique<TovnDataSet>();
    m_dsMenu->SetName("dsMenu");
    m_dsMenu->SetFiltered(true);
    TFieldDefs& menu = m_dsMenu->FieldDefs();
    menu.Add("Index", ftInteger);
    menu.Add("ParentIndex", ftInteger);
    menu.Add("Module", ftInteger);
    menu.Add("Executable", ftBoolean);
    menu.Add("Level", ftInteger);
    menu.Add("Description", ftString, 100);
    menu.Add("Icon_Resource", ftString, 100);
    menu.Add("Icon_Version", ftInteger);
    menu.Add("Resource", ftString, 100);
    menu.Add("Version", ftInteger);
    menu.Add("Security_Index", ftInteger);
    menu.Add("Shortcut", ftString, 15);
    menu.Add("Log_Access", ftBoolean);

    m_dsDBList = std::make_unique<TovnDataSet>();
    m_dsDBList->SetName("dsDBList");
    TFieldDefs& dbList = m_dsDBList->FieldDefs();
    dbList.Add("Database", ftString, 50);
    dbList.Add("Description", ftString, 50);
    dbList.Add("Enterprise", ftString, 50);
    dbList.Add("C_Enterprise", ftInteger);

    m_qryUserFacility = std::make_unique<TovnOndrelQuery>();
    m_qryUserFacility->SetName("qryUserFacility");
    m_qryUserFacility->SetDatabaseName("DATA");
    m_qryUserFacility->SetUseSQL(true);
    m_qryUserFacility->SQL().SetText("SELECT COUNTER, FACILITY, FACILITY_NAME,STATE\r\nFROM TBL_FACILITY\r\n"
                                     "where CURRENT_USE='T'\r\nORDER BY FACILITY");
    m_qryUserFacility->SetFetchBlobs(false);
    m_qryUserFacility->SetServerUpdate(false);
    m_qryAutoCounter = std::make_unique<TovnOndrelQuery>();
    m_qryAutoCounter->SetName("qryAutoCounter");
    m_qryAutoCounter->SetDatabaseName("DATA");
    m_qryAutoCounter->SetUseSQL(true);
    m_qryAutoCounter->SQL().SetText("SELECT OVN_AUTOCOUNTER(:TBL) AS TABLE_COUNTER FROM DUAL");

    m_tmrCheckOnline.SetEnabled(false);
    m_tmrCheckOnline.SetInterval(30000);
    m_tmrCheckOnline.OnTimer = [this](TTimer*) { tmrCheckOnlineTimer(); };
}

void TfrmOrvaneBrowser4::InitImages()
{
    InitControllerResources();
    m_images16 = std::make_unique<TCustomImageList>(16, 16);
    m_images24 = std::make_unique<TCustomImageList>(24, 24);
    m_iconList = std::make_unique<TCustomImageList>(32, 32);
    // The position is the picture's index everywhere; the info-bar keys rely
    // on 9, 10 and 11 of the 16-pixel list.
    LoadPictureTable(*m_images16, {"KLD_ADMIN16", "KLD_CHAT16", "KLD_DATABASE16", "KLD_LOCK16", "KLD_LOGIN16",
                                   "KLD_MAIL16", "KLD_MODULES16", "KLD_SHUTDOWN16", "KLD_USER16"});
    LoadPictureTable(*m_images24, {"KLD_ADMIN24", "KLD_CHAT24", "KLD_DATABASE24", "KLD_LOCK24", "KLD_LOGIN24",
                                   "KLD_MAIL24", "KLD_MODULES24", "KLD_SHUTDOWN24", "KLD_USER24", "KLD_CLOSE24",
                                   "KLD_NOTIFY24"});
    LoadPictureTable(*m_images16, {"KLD_FACILITY16", "KLD_RESIDENT16", "KLD_CURPERIOD16", "KLD_CLOSE16G",
                                   "KLD_CLOSE16W", "KLD_EXPLORER16", "KLD_INFORMATION16"});
    MailBadgeImage() = LoadResourceImage("KLD_MAIL_NOTIFY", rtRCData);
    if (MailBadgeImage().isNull())
        Log.Warning("Unable to load image KLD_MAIL_NOTIFY Resource not found", "BROWSER");
}

void TfrmOrvaneBrowser4::InstallExceptionHandler()
{
    m_previousErrorHandler = GetBoundaryErrorHandler();
    SetBoundaryErrorHandler(TBrowserErrorHandler{this, m_previousErrorHandler});
    m_exceptionHandlerInstalled = true;
}

TfrmOrvaneBrowser4::~TfrmOrvaneBrowser4()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        QObject::disconnect(dispatcher, nullptr, this, nullptr);
    Progress.UnRegisterHandler(this);
    m_tmrCheckOnline.SetEnabled(false);
    DoneCheckUserEvents();
    DoneNotifications();
    m_mailAnimator.reset();
    // The module windows go while the window they report to is whole.
    m_windowList.reset();
    delete m_appDesktop;
    m_appDesktop = nullptr;
    // The ad controllers before their panels go with the window's widgets.
    m_preloadThread.reset();
    m_adControllerV.reset();
    m_adControllerH.reset();
    m_iconManager.reset();
    m_ini.reset();
    m_moduleItems.reset();
    // The datasets before their databases, the databases before the
    // connection.
    m_qryAutoCounter.reset();
    m_qryUserFacility.reset();
    m_dsDBList.reset();
    m_dsMenu.reset();
    m_sysGetResourceFileName.reset();
    m_sysGetResources.reset();
    m_sysClearLock.reset();
    m_sysSetLock.reset();
    m_sysUploadLog.reset();
    m_sysDBLogin.reset();
    m_sysGetMenu.reset();
    m_dbData.reset();
    m_dbSys.reset();
    m_conMAIN.reset();
    if (ScreenCursorProc == &SetScreenCursor)
        ScreenCursorProc = nullptr;
    // The handler installed before this window comes back, unless another
    // has been put in front of ours meanwhile.
    if (m_exceptionHandlerInstalled) {
        TBoundaryErrorHandler current = GetBoundaryErrorHandler();
        const auto* ours = current.target<TBrowserErrorHandler>();
        if (ours && ours->Window == this)
            SetBoundaryErrorHandler(m_previousErrorHandler);
    }
    DeallocateHWnd(m_handle);
}

// ---------------------------------------------------------------------------
// First show and close

void TfrmOrvaneBrowser4::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        try {
            FormShow();
        } catch (...) {
            ApplicationHandleException("TfrmOrvaneBrowser4.FormShow");
        }
    }
}

void TfrmOrvaneBrowser4::FormShow()
{
    if (!m_registeredForProgress) {
        Progress.RegisterHandler(this);
        m_registeredForProgress = true;
    }
    // Shown again after the screen lock: nothing else to do.
    if (m_locked)
        return;
    m_pnlAdH->SetVisible(false);
    m_pnlAdV->SetVisible(false);
    LoadFromIni();
    if (!m_switches.SkipUpdate && Controller && Controller->Preferences().AutoUpdate && OnCheckKernelUpdate &&
        OnCheckKernelUpdate()) {
        QCoreApplication::exit(0);
        return;
    }
    // The update helper waits for this file to go as the sign that the
    // updated client runs; its absence is fine.
    ovnDeleteFile(m_programPath + UpdateMarkerFileName);
    if (Controller && Controller->Preferences().AutoLogin)
        PostMessage(m_handle, WM_AUTOLOGIN, 0, 0);
    if (BrowserBrand(AppBrand).ModuleGroupsFromPreference) {
        const bool groups = Controller && Controller->Preferences().ShowModuleGroups;
        m_moduleList->SetShowByGroups(groups);
        m_actions[actShowModuleGroups]->setChecked(groups);
    } else {
        m_moduleList->SetShowByGroups(false);
        m_actions[actShowModuleGroups]->setVisible(false);
    }
}

void TfrmOrvaneBrowser4::closeEvent(QCloseEvent* event)
{
    try {
        UserLogoutExec();
    } catch (...) {
        ApplicationHandleException("TfrmOrvaneBrowser4.CloseQuery");
    }
    // Still signed in: the user said No, or the log-off failed.
    if (m_conMAIN->Active()) {
        event->ignore();
        return;
    }
    if (Controller && Controller->Browser() == this)
        Controller->Close();
    FormClose();
    QMainWindow::closeEvent(event);
    if (!event->isAccepted() || this != ApplicationMainForm())
        return;
    // exit, not quit: quit would first ask the other windows to close and
    // keep running when one refuses. Without a running loop there is nothing
    // to end, and exit would make the next loop return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void TfrmOrvaneBrowser4::FormClose()
{
    Progress.UnRegisterHandler(this);
    m_registeredForProgress = false;
    SaveToIni("|CONNECTIONS|LOCAL CACHE|USER PREFERENCES");
}

// ---------------------------------------------------------------------------
// Settings

TovnConnections& TfrmOrvaneBrowser4::GetConnections() const
{
    return Controller->Connections();
}

TovnPreferences& TfrmOrvaneBrowser4::GetPreferences() const
{
    return Controller->Preferences();
}

TovnSysPreferences& TfrmOrvaneBrowser4::GetSysPreferences() const
{
    return Controller->SysPreferences();
}

TAdminUser& TfrmOrvaneBrowser4::GetUser() const
{
    return Controller->User();
}

void TfrmOrvaneBrowser4::SaveToIni(const std::string& Sections)
{
    if (!Controller)
        return;
    try {
        const TIniSections selected = SelectedIniSections(Sections);
        if (selected.Connections)
            Controller->Connections().SaveToIni(*m_ini, "CONNECTIONS");
        if (selected.LocalCache)
            Controller->SysPreferences().SaveToIni(*m_ini);
        if (selected.UserPreferences)
            Controller->Preferences().SaveToIni(*m_ini);
        m_ini->UpdateFile();
    } catch (...) {
        ApplicationHandleException("TfrmOrvaneBrowser4.SaveToIni");
    }
}

void TfrmOrvaneBrowser4::LoadFromIni()
{
    if (!Controller)
        return;
    Controller->Connections().LoadFromIni(*m_ini, "CONNECTIONS");
    Controller->SysPreferences().LoadFromIni(*m_ini);
    Controller->Preferences().LoadFromIni(*m_ini);
}

// ---------------------------------------------------------------------------
// Messages

void TfrmOrvaneBrowser4::WndProc(TMessage& message)
{
    try {
        HandleMessage(message);
    } catch (...) {
        ApplicationHandleException(MainWindowClassName);
    }
}

void TfrmOrvaneBrowser4::HandleMessage(TMessage& message)
{
    if (HandleSessionMessages(message))
        return;
    switch (message.Msg) {
    case WM_ERASEBKGND:
        message.Result = 1;
        break;
    case WM_TIMECHANGE:
        m_serverTimeKnown = false;
        break;
    case WM_AUTOLOGOUTMSG:
        MessageDlg(SSessionInactive, mtInformation, {mbOK});
        break;
    case WM_AUTOLOGOUT:
        m_terminatePosted = false;
        DoSessionTerminate(message.WParam > 0);
        break;
    case WM_AUTOLOGIN:
        UserLogInExec();
        break;
    case WM_INFOBARCHANGED:
        OnInfoBarChanged();
        break;
    case WM_KLDPROGRESS:
        // Notices of other threads are not shown: the bar is a widget.
        if (MainThread::IsMainThread() && message.LParam != 0) {
            const auto* info = reinterpret_cast<const TKldProgressInfo*>(message.LParam);
            int position = info->Progress;
            UpdateProgressExt(position, 0, info->Message);
        }
        break;
    case WM_RESTOREMAINWINDOW:
        RestoreMainWindow();
        break;
    case WM_SHOWMODULES:
        WMShowModules();
        break;
    default:
        break;
    }
}

void TfrmOrvaneBrowser4::OnInfoBarChanged()
{
    TKldAppInfoItems& items = m_infoBar->Items();
    items.BeginUpdate();
    try {
        while (items.Count() > 1)
            items.Delete(items.Count() - 1);
        QWidget* active = ActiveModuleForm();
        TKldAppInfoItem* first = items.Items(0);
        if (!active) {
            first->SetCaption("");
        } else {
            first->SetCaption(active->windowTitle().toStdString());
            if (Controller) {
                TovnInfoList& list = Controller->InfoList();
                for (int i = 0; i < list.Count(); ++i) {
                    const TovnInfoObj* info = list.GetInfo(i);
                    TKldAppInfoItem* item = items.Add();
                    item->SetName(info->Name);
                    item->SetCaption(info->Text);
                    item->SetImageIndex(info->ImageIndex);
                    item->SetFontStyle({fsBold});
                    item->SetFontColor(clWhite);
                }
            }
        }
    } catch (...) {
        items.EndUpdate();
        throw;
    }
    items.EndUpdate();
}

void TfrmOrvaneBrowser4::CloseSearchResults(bool Posted)
{
    TKldEditControl& edit = m_searchBox->Edit();
    if (!edit.isVisible())
        return;
    if (Posted) {
        QPointer<TKldEditControl> target(&edit);
        QTimer::singleShot(0, this, [target] {
            if (target)
                target->CancelMode(CancelModeFocusLost);
        });
        return;
    }
    edit.CancelMode(CancelModeFocusLost);
    QCoreApplication::processEvents();
}

void TfrmOrvaneBrowser4::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        CloseSearchResults(true);
    else if (event->type() == QEvent::WindowStateChange)
        CloseSearchResults(false);
}

void TfrmOrvaneBrowser4::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    CloseSearchResults(false);
    SendMessage(m_handle, WM_WINDOWPOSCHANGED, 0, 0);
}

void TfrmOrvaneBrowser4::RestoreMainWindow()
{
    showNormal();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------
// Placement

TovnWindowBounds TfrmOrvaneBrowser4::GetPlacementBounds() const
{
    return {x(), y(), width(), height()};
}

void TfrmOrvaneBrowser4::SetPlacementBounds(const TovnWindowBounds& Bounds)
{
    move(Bounds.Left, Bounds.Top);
    resize(Bounds.Width, Bounds.Height);
}

int32_t TfrmOrvaneBrowser4::GetPlacementState() const
{
    if (isMinimized())
        return ovnWindowMinimized;
    return isMaximized() ? ovnWindowMaximized : ovnWindowNormal;
}

void TfrmOrvaneBrowser4::SetPlacementState(int32_t State)
{
    Qt::WindowStates states = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (State == ovnWindowMinimized)
        states |= Qt::WindowMinimized;
    else if (State == ovnWindowMaximized)
        states |= Qt::WindowMaximized;
    // Unlike showMaximized, this does not show a window that is still hidden.
    setWindowState(states);
}

int32_t TfrmOrvaneBrowser4::DesktopWidth() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize().width() : 0;
}

int32_t TfrmOrvaneBrowser4::DesktopHeight() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualSize().height() : 0;
}

// ---------------------------------------------------------------------------
// Progress and status bar

void TfrmOrvaneBrowser4::UpdateProgress(int Position, const std::string& Text)
{
    UpdateProgressExt(Position, 0, Text);
}

void TfrmOrvaneBrowser4::UpdateProgressExt(int& Position, int Step, const std::string& Text)
{
    const int bar = StepProgress(Position, Step, m_progressBar->Max());
    m_progressBar->SetPosition(bar);
    m_progressPosition = bar;
    const bool shows = ProgressBarShows(bar, m_progressBar->Max());
    if (shows != m_progressBar->Visible())
        m_progressBar->SetVisible(shows);
    m_statusBar->SetPanelText(StatusProgressPanel, shows ? Text : std::string());
    if (shows) {
        // Painted now: the work that reports runs on this thread and would
        // keep the paint events waiting until it ends.
        m_progressBar->repaint();
        m_statusBar->repaint();
    }
}

void TfrmOrvaneBrowser4::UpdateStatusBar()
{
    TStatusBarState s;
    s.ConnectionActive = m_conMAIN->Active();
    // The cached state: the online-check timer keeps it current, and a
    // keep-alive sent from here would stop the window while it waits.
    s.Online = m_conMAIN->Online();
    s.SessionTerminated = m_conMAIN->SessionTerminated();
    s.ConnectionName = m_connectionName;
    s.Alias = m_dbLogged ? m_dataAlias : std::string();
    if (Controller) {
        const TAdminUser& user = Controller->User();
        s.Enterprise = user.Enterprise;
        s.FullName = user.FullName;
        s.UserID = user.ID;
    }
    s.FacilityCode = m_facilityCode;
    s.ShiftSelection = m_logged && m_dbLogged && m_employeeCounter > 0 && BrowserBrand(AppBrand).ShiftSelection;
    s.ShiftText = m_shiftText;
    s.Employee = m_employeeCounter > 0;
    const std::vector<std::string> texts = StatusBarTexts(s);
    for (size_t i = 0; i < texts.size(); ++i)
        m_statusBar->SetPanelText(static_cast<int>(i), texts[i]);
}

void TfrmOrvaneBrowser4::DrawStatusPanel(int Index, const TRect& Rect)
{
    TCanvas& canvas = m_statusBar->Canvas();
    canvas.Brush().Style = bsSolid;
    canvas.Brush().Color = m_statusBar->Color();
    canvas.FillRect(Rect);
    const bool last = Index == m_statusBar->PanelCount() - 1;
    if (last) {
        const TRect place = ProgressBarPlace(Rect, m_progressBar->height());
        if (!(place == m_progressBar->BoundsRect()))
            m_progressBar->SetBounds(place);
    }
    TRect text = StatusPanelTextRect(Rect, last, m_progressBar->Visible());
    canvas.Brush().Style = bsClear;
    DrawText(canvas, m_statusBar->Panel(Index).Text, text,
             DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// ---------------------------------------------------------------------------
// Actions

TBrowserActionState TfrmOrvaneBrowser4::ActionState() const
{
    TBrowserActionState s;
    s.Logged = m_logged;
    s.DBLogged = m_dbLogged;
    s.Brand = AppBrand;
    s.UserType = Controller ? Controller->User().UserType : std::string();
    s.NotifyCenter = m_notifyCenter != nullptr;
    s.CanEditNotifyPreferences = m_notifyCenter && m_notifyCenter->Targets().CanEditPreferences;
    QWidget* form = ActiveModuleForm();
    if (!form)
        s.ActiveForm = amfNone;
    else if (typeid(*form) == typeid(TfrmModuleView))
        s.ActiveForm = static_cast<TfrmModuleView*>(form)->GetWidgetsCount() > 0 ? amfModuleViewWithWidgets
                                                                                  : amfModuleView;
    else if (dynamic_cast<TfrmModuleView*>(form))
        s.ActiveForm = amfModuleView;
    else if (dynamic_cast<TKldAppContainer*>(form))
        s.ActiveForm = amfAppletContainer;
    else
        s.ActiveForm = amfOther;
    return s;
}

void TfrmOrvaneBrowser4::actUIUpdate()
{
    const TBrowserActionState state = ActionState();
    for (int i = 0; i < BrowserActionCount; ++i) {
        const auto id = static_cast<TBrowserAction>(i);
        QAction* action = m_actions[id];
        action->setEnabled(BrowserActionEnabled(id, state));
        action->setVisible(BrowserActionVisible(id, state));
    }
    m_searchBox->SetVisible(m_dbLogged);
    m_notifyItem->setEnabled(m_dbLogged);
    m_notifyItem->setVisible(m_dbLogged && m_notificationsModule > 0);
    m_closeLabel->SetVisible(ActiveModuleForm() != nullptr);
    int position = m_progressPosition;
    const bool shows = ProgressBarShows(position, m_progressBar->Max());
    if (shows != m_progressBar->Visible())
        m_progressBar->SetVisible(shows);
    UpdateStatusBar();
    // A session the server ended: posted once, until the message runs, and
    // not while the last session end is still guarded: the message would
    // only be dropped, and each post wakes the loop again at once. A timer
    // wakes the loop when the guard is over.
    if (m_logged && m_conMAIN->SessionTerminated() && !m_terminatePosted) {
        const uint64_t wait = SessionEndGuardLeft();
        if (wait == 0) {
            m_terminatePosted = true;
            PostMessage(m_handle, WM_AUTOLOGOUT, 0, 0);
        } else if (!m_sessionEndWakeArmed) {
            m_sessionEndWakeArmed = true;
            QTimer::singleShot(std::chrono::milliseconds(wait), this, [this] { m_sessionEndWakeArmed = false; });
        }
    }
}
