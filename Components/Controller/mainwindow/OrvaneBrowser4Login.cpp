// The main window's sign-in road: the server sign-in through the sign-in
// dialog and the login callback, the login reply, the resource cache's
// preparation, the "PCL" resources, server time, the connection check, the
// end of a session and the log-off.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/PreloadImageThread.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "base/KldProgress.h"
#include "platform/Dialogs.h"
#include "platform/ScopedFlag.h"
#include "platform/SysUtils.h"

#include "ui/KldModuleView.h"

#include <QApplication>

#include <filesystem>

const char* const SNoConnections =
    "Connection Parameters undefined.\r\nPlease specify at least one connection in Options/Server Connection...";
const char* const SInvalidConnection = "Ivalid Connection Name \"%s\"";
const char* const SSameUserLoggedIn = "Same User ID is already logged in. Terminate existing connection?";
const char* const SChangePasswordNow = "Would you like to change your password now?";
const char* const SReallyLogout = "Do you really want to logout?";
const char* const SCloseAllUnsaved = "There is one or more modules with not saved data. Close all anyway?";
const char* const SSessionExpired = "Your session on server has expired or was terminated. Please login again.";
const char* const SSessionInactive = "Your session was terminated due to inactivity.";

namespace {

constexpr const char* LoginProc = "Login";

// A member of the login reply's "User": a one-element array whose element
// is the value; a missing member (or an empty array) reads as null.
const TJSONValue& UserMember(TJSONObject* User, const char* Name)
{
    static const TJSONValue none;
    if (!User)
        return none;
    const TJSONValue& value = User->GetValues(Name);
    if (value.GetValueType() != jvtArray)
        return value;
    const TJSONArray& elements = value.GetAsArray();
    return elements.Count() > 0 ? elements.GetValue(0) : none;
}

std::string UserText(TJSONObject* User, const char* Name)
{
    return UserMember(User, Name).GetAsString();
}

// The reply's member as an object or array; null when it is missing or of
// another kind (a missing member reads as empty).
TJSONObject* ObjectMember(TJSONObject& Reply, const char* Name)
{
    TJSONValue& value = Reply.GetValues(Name);
    return value.GetValueType() == jvtObject ? &value.GetAsObject() : nullptr;
}

TJSONArray* ArrayMember(TJSONObject& Reply, const char* Name)
{
    TJSONValue& value = Reply.GetValues(Name);
    return value.GetValueType() == jvtArray ? &value.GetAsArray() : nullptr;
}

void ReadUser(TJSONObject* User, TAdminUser& Record)
{
    Record.Counter = UserMember(User, "COUNTER").GetAsInteger();
    Record.ID = UserText(User, "USER_ID");
    Record.FullName = UserText(User, "FULL_NAME");
    Record.UserType = UserText(User, "USER_TYPE");
    Record.Enterprise = UserText(User, "ENTERPRISE");
    Record.C_Enterprise = UserMember(User, "C_ENTERPRISE").GetAsInteger();
    Record.FacilityAccessFlag = UserText(User, "FACILITY_ACCESS_FLAG");
    Record.DefineRole = UserText(User, "DEFINE_ROLE");
    Record.DefineFacilityAccess = UserText(User, "DEFINE_FACILITY_ACCESS");
    Record.DefineDBAccess = UserText(User, "DEFINE_DB_ACCESS");
    Record.Restricted = UserText(User, "RESTRICTED_SYSTEM") == "T";
    Record.ADState = Trim(UserText(User, "ADSTATE"));
    if (Record.ADState.empty())
        Record.ADState = UserText(User, "STATE");
    Record.ADZip = Trim(UserText(User, "ADZIP"));
    if (Record.ADZip.empty())
        Record.ADZip = UserText(User, "ZIP");
    Record.ADIndustry = UserText(User, "INDUSTRY");
    Record.Advertise = UserText(User, "ADVERTISE") == "T";
    Record.EMail = UserText(User, "EMAIL");
}

} // namespace

std::string LoginAgentText(int32_t Brand, const std::string& ProductVersion, const std::string& ControllerVersion)
{
    return Format("%s - %s (Version:%s)", BrowserBrand(Brand).AgentName, ProductVersion, ControllerVersion);
}

int32_t MaxIdleMinutes(const std::string& Text)
{
    int32_t minutes = 0;
    // Below 0 would show the countdown at every idle tick.
    if (!TryStrToInt(Text, minutes) || minutes <= 0)
        return 20;
    return minutes;
}

std::string PasswordExpiryNote(const std::string& Warning)
{
    const std::string warning = Trim(Warning);
    if (warning.rfind("#2004 ", 0) != 0)
        return {};
    return warning.substr(5);
}

// ---------------------------------------------------------------------------
// Session state

void TfrmOrvaneBrowser4::SetLogged(bool Value)
{
    if (Value == m_logged)
        return;
    if (Value)
        Login();
    else
        Logout();
    m_logged = Value;
}

void TfrmOrvaneBrowser4::SetDBLogged(bool Value)
{
    if (Value == m_dbLogged)
        return;
    if (Value)
        DBLogin();
    else
        DBLogout();
    m_dbLogged = Value;
}

void TfrmOrvaneBrowser4::UserLogInExec()
{
    SetLogged(true);
    if (!m_logged)
        Abort();
    if (!m_passwordExpiryNote.empty() &&
        MessageDlg(m_passwordExpiryNote + "\r\n" + SChangePasswordNow, mtConfirmation, {mbYes, mbNo}) == mrYes) {
        if (OnChangePassword)
            OnChangePassword();
        else
            ChangePasswordExec();
    }
    if (GetPreferences().AutoDBLogin)
        DBConnectExec();
}

void TfrmOrvaneBrowser4::UserLogoutExec()
{
    if (m_logged && MessageDlg(SReallyLogout, mtConfirmation, {mbYes, mbNo}) == mrYes)
        SetLogged(false);
}

// ---------------------------------------------------------------------------
// Sign-in

bool TfrmOrvaneBrowser4::RunLoginDialog(const TLoginCallback& Callback)
{
    if (!ExecuteLoginDialog)
        return false;
    return ExecuteLoginDialog(Callback);
}

void TfrmOrvaneBrowser4::Login()
{
    SetDBLogged(false);
    UpdateStatusBar();
    if (GetConnections().Count() == 0)
        throw EovnBrowser(SNoConnections);

    Progress.BeginTask(LoginProc);
    bool signedIn = false;
    try {
        signedIn = RunLoginDialog([this](TObject* sender, const std::string& userId, const std::string& password,
                                         const std::string& connection) {
            return OnUserLogin(sender, userId, password, connection);
        });
    } catch (...) {
        Progress.EndTask();
        throw;
    }
    Progress.EndTask();
    if (!signedIn)
        Abort();
    repaint();

    m_dbSys->Open();
    ExecuteBrowserLoginAddOn();
    m_unreadMail = 0;
    // The link is new: until it opens the cache asks the server for every
    // file, as after a lost link.
    TNembraNotificationsClient& client = Controller->NotificationClient();
    if (client.OnDisconnected)
        client.OnDisconnected(nullptr);
    client.SetKeyToken(m_conMAIN->GetSessionID());
    if (!client.Host().empty() && !client.Port().empty())
        client.SetConnected(true);
    m_tmrCheckOnline.SetEnabled(true);
    SetCheckUserAwayActive(Controller->User().UserType != "SYS");
}

bool TfrmOrvaneBrowser4::OnUserLogin(TObject*, const std::string& UserID, const std::string& Password,
                                     const std::string& Connection)
{
    TovnConnectionItem* entry = GetConnections().Find("Connection", Connection);
    if (!entry)
        throw EovnBrowser(Format(SInvalidConnection, Connection));
    entry->SetActive(true);
    Progress.Notify(this, LoginProc, 1, "Connecting to " + entry->URL());
    m_connectionName = Connection;

    bool force = false;
    for (;;) {
        bool retry = false;
        try {
            m_conMAIN->SetActive(false);
            m_conMAIN->SetAuthentication(qauthBasic);
            m_conMAIN->SetServerURL(entry->URL() + "/bin/orvane.dll");
            SignInAttempt(UserID, Password, force);
        } catch (const Exception& e) {
            const auto* server = dynamic_cast<const TNembraException*>(&e);
            retry = server && e.ClassName() == "TNembraException" && server->ErrorCode() == 2009;
            if (server && server->ErrorCode() == 2012)
                MessageDlg(e.Message(), mtError, {mbOK});
            Progress.Notify(this, LoginProc, 0, e.Message());
            Log.Error(e.Message(), "BROWSER", "Browser login");
        }
        if (retry && !m_conMAIN->Active() &&
            MessageDlg(SSameUserLoggedIn, mtConfirmation, {mbYes, mbNo}) == mrYes) {
            force = true;
            continue;
        }
        break;
    }
    return m_conMAIN->Active();
}

void TfrmOrvaneBrowser4::SignInAttempt(const std::string& UserID, const std::string& Password, bool Force)
{
    TStrings& params = m_conMAIN->Params();
    params.Clear();
    params.SetValues("USER_ID", UserID);
    params.SetValues("USER_PWD", Password);
    params.SetValues("FORCE", Force ? "True" : "False");
    params.SetValues("OS", ovnOS());
    params.SetValues("AGENT",
                     LoginAgentText(AppBrand, ProgramVersionInfo().ProductVersion, Controller->Version()));
    m_conMAIN->SetCompression(true);
    m_conMAIN->GenerateRandomSecretKey();

    Progress.Notify(this, LoginProc, 2, "Preparing cache...");
    // Runs DoOnLogin with the reply before it returns.
    m_conMAIN->SetActive(true);

    SysDateTime();
    Controller->InitCache();
    // Add-on libraries find their files beside them.
    std::filesystem::current_path(Controller->GetCachePath());
    m_iconManager->Clear();
    Controller->User().Password = Password;

    Progress.Notify(this, LoginProc, 3, "Connection Established. User Ok.");
    Progress.Notify(this, LoginProc, 4, "Checking for updates...");
    Controller->ValidateCache();
    PreloadPCLResources();
    Controller->Cache().Save();
    Progress.Notify(this, LoginProc, 100, "Done");
}

void TfrmOrvaneBrowser4::DoOnLogin(TObject* Sender)
{
    auto* request = dynamic_cast<TNembraRequest*>(Sender);
    if (!request || !Controller)
        return;
    TJSONObject& reply = request->GetJSONObject();
    ReadUser(ObjectMember(reply, "User"), Controller->User());

    TStringList info;
    if (TJSONArray* lines = ArrayMember(reply, "CLIENT_INFO"))
        JSONToStrings(*lines, info);
    TNembraNotificationsClient& client = Controller->NotificationClient();
    client.SetHost(info.Values("VNS_USER_HOST"));
    client.SetPort(info.Values("VNS_USER_PORT"));
    // The session id travels on the link: over TLS when the main channel does.
    client.SetSecure(SameText(m_conMAIN->ServerURL().substr(0, 6), "https:"));
    Controller->Cache().SetURI(info.Values("RESOURCES"));
    m_maxIdleTime = MaxIdleMinutes(info.Values("MAX_IDLE_TIME"));
    int32_t ping = 0;
    if (TryStrToInt(info.Values("PING_INTERVAL"), ping) && ping >= 0)
        m_conMAIN->SetCheckOnlineDelaySec(static_cast<uint32_t>(ping));

    m_dsDBList->Close();
    if (TJSONObject* databases = ObjectMember(reply, "DATABASES"))
        DataSetFromJSONByColumns(*m_dsDBList, *databases);
    else
        m_dsDBList->Open();

    const std::string warning = Trim(reply.GetValues("Warning").GetAsString());
    m_passwordExpiryNote = PasswordExpiryNote(warning);
    if (m_passwordExpiryNote.empty() && !warning.empty())
        ShowMessage(warning);
}

void TfrmOrvaneBrowser4::PreloadPCLResources()
{
    TovnOndrelSystem& resources = *m_sysGetResources;
    resources.Close();
    resources.SetDatabaseName(m_dbSys->DatabaseName());
    if (resources.Params().Count() == 0)
        resources.UpdateParams();
    resources.Params().ParamByName("OS")->SetValue(Variant(ovnOS()));
    resources.Params().ParamByName("RESOURCE_TYPE")->SetValue(Variant(std::string("PCL")));
    resources.SetFetchBy(-1);
    resources.Open();
    WaitCursor(true);
    try {
        const int count = resources.RecordCount();
        int index = 0;
        for (resources.First(); !resources.Eof(); resources.Next()) {
            ++index;
            Progress.BeginTask(Format("Downloading updates:/%d of %d", index, count));
            try {
                const std::string name = resources.FieldByName("RESOURCE_NAME")->AsString();
                Controller->AddResourceFile(name, resources.FieldByName("FILE_NAME")->AsString());
                Controller->GetResourceFile(name);
            } catch (...) {
                ApplicationHandleException("TfrmOrvaneBrowser4.PreloadPCLResources");
            }
            Progress.EndTask();
        }
    } catch (...) {
        WaitCursor(false);
        resources.Close();
        throw;
    }
    WaitCursor(false);
    resources.Close();
}

// ---------------------------------------------------------------------------
// Log-off and the end of a session

void TfrmOrvaneBrowser4::Logout()
{
    TScopedFlag loggingOut(m_loggingOut);
    SetAdControllersActive(false);
    m_tmrCheckOnline.SetEnabled(false);
    SetCheckUserAwayActive(false);
    SaveToIni("USER PREFERENCES");
    if (Controller->Cache().Active())
        Controller->Cache().Save();
    Controller->NotificationClient().SetConnected(false);
    SetDBLogged(false);
    m_appDesktop->CloseAll();
    // The icons' downloads use the connection.
    m_preloadThread.reset();
    m_dbSys->Close();
    m_conMAIN->SetActive(false);
    Controller->User().Clear();
    m_iconManager->Clear();
    Controller->InfoList().Clear();
    NewMailDone();
}

uint64_t TfrmOrvaneBrowser4::SessionEndGuardLeft() const
{
    if (!m_sessionEndSeen)
        return 0;
    const uint64_t since = TickCount() - m_lastSessionEnd;
    return since > SessionEndGuardMs ? 0 : SessionEndGuardMs + 1 - since;
}

void TfrmOrvaneBrowser4::DoSessionTerminate(bool Idle)
{
    if (SessionEndGuardLeft() > 0)
        return;
    m_sessionEndSeen = true;
    m_lastSessionEnd = TickCount();
    const bool goOn = Idle || MessageDlg(SSessionExpired, mtWarning, mbOKCancel) == mrOk;
    if (goOn) {
        if (QApplication::activeModalWidget()) {
            // The session ends on the server; the window keeps its state
            // until the modal form is closed.
            try {
                std::unique_ptr<TNembraRequest> request = m_conMAIN->GetNembraRequest();
                request->SetProcedureName("Nembra.Logout");
                m_conMAIN->ExecuteRequest(*request);
            } catch (const std::exception&) {
                // Signing out is a courtesy to the server.
            }
        } else {
            SetLogged(false);
            PostMessage(m_handle, WM_AUTOLOGIN, 0, 0);
        }
        if (Idle)
            PostMessage(m_handle, WM_AUTOLOGOUTMSG, 0, 0);
    }
    m_lastSessionEnd = TickCount();
}

// ---------------------------------------------------------------------------
// Server time and the connection check

TDateTime TfrmOrvaneBrowser4::SysDateTime()
{
    if (!m_serverTimeKnown && m_conMAIN->Active()) {
        try {
            std::unique_ptr<TNembraRequest> request = m_conMAIN->GetNembraRequest();
            request->SetProcedureName("Nembra.GetServerTime");
            m_conMAIN->ExecuteRequest(*request);
            // A reply without the number leaves the offset unknown: read as 0
            // it would put the server's clock in 1899.
            const TJSONValue& time = request->GetJSONObject().GetValues("SERVER_TIME_DOUBLE");
            if (time.GetValueType() != jvtNumber)
                throw Exception("The server sent no SERVER_TIME_DOUBLE");
            m_serverTimeOffset = time.GetAsNumber() - Now();
            m_serverTimeKnown = true;
        } catch (const std::exception& e) {
            Log.Error(e.what(), "TfrmOrvaneBrowser4");
        }
    }
    return Now() + m_serverTimeOffset;
}

void TfrmOrvaneBrowser4::tmrCheckOnlineTimer()
{
    // Answers from the cached state within the connection's delay, else
    // sends a keep-alive; a session the server ended is seen by the next
    // action update.
    m_conMAIN->CheckOnline(false);
}

void TfrmOrvaneBrowser4::CheckResourceFileName(const std::string& ResourceName, const std::string& OS,
                                               std::string& FileName)
{
    if (Trim(ResourceName).empty()) {
        FileName.clear();
        return;
    }
    TovnOndrelSystem& proc = *m_sysGetResourceFileName;
    proc.Close();
    proc.SetDatabaseName(m_dbSys->DatabaseName());
    if (proc.Params().Count() == 0)
        proc.UpdateParams();
    proc.Params().ParamByName("RESOURCE_NAME")->SetValue(Variant(ResourceName));
    proc.Params().ParamByName("OS")->SetValue(Variant(OS));
    proc.SetFetchBy(-1);
    proc.Open();
    try {
        FileName = proc.FieldByName("FILE_NAME")->AsString();
    } catch (...) {
        proc.Close();
        throw;
    }
    proc.Close();
}
