// The controller's facade: what applet libraries and the client's own forms
// ask of the main window, the resource cache and the debug viewer.
#include "Components/Controller/Debug.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnOndrel.h"

#include <algorithm>
#include <cctype>

const char* const LogAdd = "Add %s";
const char* const LogBrowserLocked = "Browser locked by user \"%s\"";
const char* const LogCloseForm = "Close form";
const char* const LogCloseModule = "Close all applets";
const char* const LogDelete = "Delete %s succesfully";
const char* const LogDialogExecute = "Execute Dialog";
const char* const LogEdit = "Edit %s";
const char* const LogMailSent = "Email sent succefully";
const char* const LogOpenForm = "Open form";
const char* const LogPasswordChanged = "Password for user \"%s\" was changed sucessfully";
const char* const LogRunAdminApplet = "Run Administrative Applet";

namespace {

TfrmOrvaneBrowser4& Window(TfrmOrvaneBrowser4* Browser)
{
    if (!Browser)
        throw EovnController("Not logged");
    return *Browser;
}

} // namespace

TNembraConnection& TovnController::GetSysConnection() const
{
    return Window(m_browser).conMAIN();
}

TNembraDatabase& TovnController::GetSysDB() const
{
    return Window(m_browser).dbSys();
}

std::string TovnController::GetSysConnectionName() const
{
    return GetSysConnection().ConnectionName();
}

std::string TovnController::GetSysDBName() const
{
    return GetSysDB().DatabaseName();
}

TNembraDatabase& TovnController::GetDataDB() const
{
    return Window(m_browser).dbData();
}

std::string TovnController::GetDataConnectionName() const
{
    return GetDataConnection().ConnectionName();
}

std::string TovnController::GetDataDBName() const
{
    return GetDataDB().DatabaseName();
}

int32_t TovnController::GetC_Alias_Enterprise() const
{
    return Window(m_browser).AliasEnterprise();
}

int32_t TovnController::RunObject(const std::string& Resource, const std::string& Params)
{
    CheckLogged();
    return m_browser->RunObject(Resource, Params);
}

std::string TovnController::GetModuleName(int32_t ModuleCounter) const
{
    return Window(m_browser).ModuleItems().ModuleByCounter(ModuleCounter).Name;
}

void TovnController::AppletClosed(QWidget* Sender)
{
    Window(m_browser).AppletClosed(Sender);
}

void TovnController::RunSysApplet(int32_t Kind)
{
    switch (Kind) {
    case 1:
        Window(m_browser).DoOpenUserList();
        break;
    case 3:
        Window(m_browser).DoOpenOMail();
        break;
    case 10:
        Window(m_browser).DoOpenAdminConsole();
        break;
    default:
        break;
    }
}

TCustomImageList& TovnController::GetIconList() const
{
    return Window(m_browser).IconList();
}

void TovnController::UpdateProgress(int32_t Position, const std::string& Text)
{
    Window(m_browser).UpdateProgress(Position, Text);
}

void TovnController::DebugDataset(TDataSet* DataSet)
{
    _DebugDataset(DataSet);
}

void TovnController::DebugStrings(const TStrings* Strings)
{
    _DebugStrings(Strings);
}

int32_t TovnController::GetAutoCounter(const std::string& TableName)
{
    CheckDBLogged();
    return m_browser->GetAutoCounter(TableName);
}

int32_t TovnController::GetSysAutoCounter(const std::string& TableName)
{
    // The sequence name goes into the statement's text: only a plain name
    // can be one, anything else would change the statement.
    const std::string rest = TableName.rfind("TBL_", 0) == 0 ? TableName.substr(4) : std::string();
    const bool plainName = !rest.empty() && std::all_of(rest.begin(), rest.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '$' || c == '#';
    });
    if (!plainName)
        throw EovnClient(Format("Error obtaining auto counter for \"%s\"", TableName));
    TovnOndrelQuery query;
    query.SetDatabaseName(GetSysDBName());
    query.SetUseSQL(true);
    query.SQL().SetText(Format("select %s.nextval from dual", "SEQ_" + rest));
    query.Open();
    if (query.Fields().Count() == 0 || query.IsEmpty())
        throw EovnClient(Format("Error obtaining auto counter for \"%s\"", TableName));
    return query.Fields().Fields(0)->AsInteger();
}

void TovnController::SetLock(const std::string& LockPath, const std::string& Description)
{
    TovnOndrelSystem& proc = Window(m_browser).sysSetLock();
    proc.Params().ParamByName("Lock_Path")->SetAsString(LockPath);
    proc.Params().ParamByName("Description")->SetAsString(Description);
    proc.Execute();
}

void TovnController::ClearLock(const std::string& LockPath)
{
    TovnOndrelSystem& proc = Window(m_browser).sysClearLock();
    proc.Params().ParamByName("Lock_Path")->SetAsString(LockPath);
    proc.Execute();
}

std::string TovnController::CreateLockWithAlias(const std::string& Name, const std::string& Description)
{
    const std::string alias = GetAlias();
    const std::string path = "/" + alias + (!alias.empty() && !Name.empty() ? "/" : "") + Name;
    SetLock(path, Description);
    return path;
}

void TovnController::CreateMutex(const std::string& A, const std::string& B, const std::string& C,
                                 const std::string& D, const std::string& E)
{
    CheckLogged();
    m_browser->CreateMutex(A, B, C, D, E);
}

TSecurityRecord TovnController::GetSecurity(const std::string& Resource) const
{
    TfrmOrvaneBrowser4& window = Window(m_browser);
    const int index =
        window.FindResource(Resource, sbResource, true) ? window.sysGetMenu().FieldByName("Security_Index")->AsInteger() : -1;
    return GetSecurity(index);
}

TSecurityRecord TovnController::GetSecurity2(const std::string& Resource) const
{
    TfrmOrvaneBrowser4& window = Window(m_browser);
    const int index =
        window.FindResource2(Resource, sbResource) ? window.sysGetMenu().FieldByName("Security_Index")->AsInteger() : -1;
    return GetSecurity(index);
}

std::string TovnController::GetUserHash() const
{
    return Window(m_browser).GetUserHash();
}

void TovnController::GetUserFacilities(TovnDataSet* DataSet)
{
    Window(m_browser).GetUserFacilities(DataSet);
}

void TovnController::GetOnlineUser(const std::string&, int32_t, int32_t&, std::string&, const std::string&) {}

bool TovnController::SendOMail(const std::string& To, const std::string& Subject, const std::string& Message,
                               const std::string& FileName, bool AutoSend, bool Broadcast, int32_t Counter,
                               const std::string& CounterText, const std::string& MailType)
{
    return Window(m_browser).SendOMail(To, Subject, Message, FileName, AutoSend, Broadcast, Counter, CounterText,
                                       MailType);
}

void TovnController::ViewMail(int32_t MailCounter)
{
    Window(m_browser).ViewMail(MailCounter);
}

int32_t TovnController::GetRestrictedAdCategory() const
{
    return Window(m_browser).RestrictedAdCategory();
}

void TovnController::SetRestrictedAdCategory(int32_t Value)
{
    TfrmOrvaneBrowser4& window = Window(m_browser);
    window.SetRestrictedAdCategory(Value);
    window.SwithAdd(-1);
}

QWidget* TovnController::GetModuleView(int32_t ModuleCounter) const
{
    return Window(m_browser).ModuleItems().ModuleByCounter(ModuleCounter).Form();
}

void TovnController::SetModuleInfo(int32_t, const std::string&, const QFont*)
{
    UpdateInfoBar();
}

void TovnController::SetModuleInfoEx(int32_t, const std::string&, const std::string&)
{
    UpdateInfoBar();
}

bool TovnController::GetBlockingViews() const
{
    throw Exception("BlockingViews are deprecated");
}

void TovnController::SetBlockingViews(bool)
{
    throw Exception("BlockingViews are deprecated");
}
