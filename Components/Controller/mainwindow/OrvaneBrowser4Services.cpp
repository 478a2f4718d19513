// The main window's services for modules and the controller: resource
// look-ups, add-on libraries, counters, facilities, the user's hash and the
// system windows.
#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnSigning.h"
#include "base/KldLogFile.h"
#include "platform/Dialogs.h"
#include "platform/DynLibs.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

// ---------------------------------------------------------------------------
// Plain rules

bool LocateMenuResource(TDataSet& Menu, const std::string& Resource)
{
    const std::string name = Trim(Resource);
    if (name.empty())
        throw Exception("Resource is not specified");
    // Whatever module another step filtered on, the look-up sees every row;
    // the filter stays switched on for the next module filter.
    Menu.SetFilter("");
    return Menu.Locate("Resource", Variant(name), {});
}

std::string UserHash(const std::string& UserID)
{
    std::string hash;
    char digits[3];
    for (unsigned char c : UserID) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        hash += digits;
    }
    return hash;
}

std::string FacilityDenyFilter(const std::vector<int32_t>& Granted)
{
    std::string text;
    for (int32_t counter : Granted)
        text += " (COUNTER <> " + std::to_string(counter) + ") AND";
    if (!text.empty())
        text.resize(text.size() - 4);
    return text;
}

int32_t TMenuParents::Add(int32_t Level, int32_t Index)
{
    int32_t parent = 0;
    for (const auto& [level, index] : m_lastIndex)
        if (level == Level - 1)
            parent = index;
    bool recorded = false;
    for (auto& [level, index] : m_lastIndex)
        if (level == Level) {
            index = Index;
            recorded = true;
        }
    if (!recorded)
        m_lastIndex.emplace_back(Level, Index);
    return parent;
}

namespace {

std::array<TSystemWindowFactory, SystemWindowCount>& Factories()
{
    static std::array<TSystemWindowFactory, SystemWindowCount> factories;
    return factories;
}

} // namespace

void RegisterSystemWindow(TSystemWindow Kind, TSystemWindowFactory Factory)
{
    Factories()[Kind] = std::move(Factory);
}

const TSystemWindowFactory& SystemWindowFactory(TSystemWindow Kind)
{
    return Factories()[Kind];
}

namespace {

TModuleFormClass& SystemModuleFormClass()
{
    static TModuleFormClass formClass;
    return formClass;
}

} // namespace

void SetSystemModuleForm(TModuleFormClass FormClass)
{
    SystemModuleFormClass() = std::move(FormClass);
}

const TModuleFormClass& SystemModuleForm()
{
    return SystemModuleFormClass();
}

QWidget* TSystemWindowHolder::Open(TSystemWindow Kind, QWidget* Owner, bool& Created)
{
    Created = false;
    if (m_window)
        return m_window.data();
    const TSystemWindowFactory& factory = SystemWindowFactory(Kind);
    if (!factory)
        return nullptr;
    m_window = factory(Owner);
    Created = m_window != nullptr;
    return m_window.data();
}

// ---------------------------------------------------------------------------
// Resources and add-on libraries

bool TfrmOrvaneBrowser4::FindResource(const std::string& Resource, TSearchBy, bool Quiet)
{
    if (LocateMenuResource(*m_sysGetMenu, Resource))
        return true;
    const std::string text = Format("Resource \"%s\" not found", Trim(Resource));
    Log.Error(text, "BROWSER");
    if (!Quiet)
        MessageDlg(text, mtError, {mbOK});
    return false;
}

namespace {

using TRunObjectProc = int32_t (*)(const char* Params);

// Unloads the library however the run ends.
class TLoadedLibrary
{
  public:
    explicit TLoadedLibrary(HMODULE Module) : m_module(Module) {}
    ~TLoadedLibrary() { Free(); }
    TLoadedLibrary(const TLoadedLibrary&) = delete;
    TLoadedLibrary& operator=(const TLoadedLibrary&) = delete;
    HMODULE Module() const { return m_module; }
    void Free()
    {
        if (m_module)
            ovnFreeLibrary(m_module);
        m_module = nullptr;
    }

  private:
    HMODULE m_module;
};

} // namespace

int32_t TfrmOrvaneBrowser4::RunObject(const std::string& Resource, const std::string& Params)
{
    // The current folder changes for the whole process: no other thread may
    // be resolving a path meanwhile.
    if (!MainThread::IsMainThread())
        throw EovnBrowser("RunObject runs on the main thread only");
    int32_t result = -1;
    int faults = 0;
    std::string file;
    for (;;) {
        file = Controller->GetResourceFile(Resource);
        try {
            ovnVerifyModule(file, false);
            break;
        } catch (const Exception& e) {
            ++faults;
            Log.Error(e, "BROWSER", Format("Fault: %d", faults));
            if (faults >= 3)
                throw;
            // Asked again, the cache fetches the file again (it would
            // otherwise hand back the same file while its version is
            // current).
            Controller->InvalidateResource(Resource, -1);
        }
    }
    file = std::filesystem::absolute(file).string();
    Log.Debug(Format("Loading library %s", file));
    // Add-ons find the files they bring beside them.
    std::filesystem::current_path(Controller->GetCachePath());

    TLoadedLibrary library(ovnLoadLibrary(file));
    if (!library.Module())
        throw EovnBrowser("Cannot Initialize Object Library: \"" + file + "\"");

    std::string kept;
    bool failed = false;
    // An exception object whose type lives in the add-on cannot outlive
    // the add-on: only its text leaves the trap.
    std::string foreign;
    bool foreignFailed = false;
    try {
        auto run = reinterpret_cast<TRunObjectProc>(ovnGetProcAddress(library.Module(), "RUNOBJECT"));
        if (!run)
            throw EovnBrowser("Object library does not support RUNOBJECT interface");
        Log.Debug(Format("Running %s!RUNOBJECT", file));
        result = run(Params.c_str());
        Log.Debug(Format("Object runned, result = %d", result));
    } catch (const Exception& e) {
        Log.Error(e, "BROWSER", "Run object");
        kept = e.Message();
        failed = true;
    } catch (const std::exception& e) {
        foreign = e.what();
        foreignFailed = true;
    } catch (...) {
        foreign = "Unknown exception in add-on library " + file;
        foreignFailed = true;
    }
    library.Free();
    if (foreignFailed)
        throw std::runtime_error(foreign);
    if (failed)
        throw EovnBrowser("Exception in RunObject: \r\n" + kept);
    return result;
}

// ---------------------------------------------------------------------------
// Data routines

int32_t TfrmOrvaneBrowser4::GetAutoCounter(const std::string& TableName)
{
    TovnOndrelQuery& query = *m_qryAutoCounter;
    query.Close();
    query.Params().ParamByName("TBL")->SetAsString(TableName);
    try {
        query.Open();
        const int32_t value = query.FieldByName("TABLE_COUNTER")->AsInteger();
        query.Close();
        return value;
    } catch (const Exception& e) {
        query.Close();
        throw EovnClient(Format("Error obtaining auto counter for: \"%s\".\r\n Error: %s", TableName, e.Message()));
    }
}

void TfrmOrvaneBrowser4::CreateMutex(const std::string&, const std::string&, const std::string&, const std::string&,
                                     const std::string&)
{
    throw Exception("Mutextes are deprecated please use locks");
}

void TfrmOrvaneBrowser4::GetUserFacilities(TovnDataSet* DataSet)
{
    if (!DataSet)
        throw Exception("Dataset not assigned");
    DataSet->Close();
    TovnOndrelQuery& facilities = *m_qryUserFacility;
    if (!facilities.Active()) {
        facilities.Open();
        facilities.Last();
        facilities.First();
        if (GetUser().FacilityAccessFlag != "A") {
            const bool wasOpen = m_dbSys->Active();
            if (!wasOpen)
                m_dbSys->Open();
            std::vector<int32_t> granted;
            try {
                TovnOndrelQuery access;
                access.SetDatabaseName(m_dbSys->DatabaseName());
                access.SetUseSQL(true);
                access.SQL().SetText("SELECT C_FACILITY FROM TBL_USERFACILITYACCESS WHERE C_USER = " +
                                     std::to_string(GetUser().Counter));
                access.Open();
                for (access.First(); !access.Eof(); access.Next())
                    granted.push_back(access.FieldByName("C_FACILITY")->AsInteger());
                access.Close();
            } catch (...) {
                if (!wasOpen)
                    m_dbSys->Close();
                throw;
            }
            if (!wasOpen)
                m_dbSys->Close();
            facilities.SetFilter(FacilityDenyFilter(granted));
            facilities.SetFiltered(true);
            facilities.First();
            while (!facilities.IsEmpty())
                facilities.Delete();
            facilities.SetFiltered(false);
            facilities.SetFilter("");
            facilities.First();
        }
    }
    DataSet->CloneCursor(&facilities, {});
}

std::string TfrmOrvaneBrowser4::GetUserHash() const
{
    return UserHash(GetUser().ID);
}

void TfrmOrvaneBrowser4::SwithAdd(int32_t) {}

void TfrmOrvaneBrowser4::OpenDataDatabase(const std::string& Alias, int32_t EnterpriseCounter)
{
    m_dbData->Close();
    m_dbData->Params().SetValues("DB_ALIAS", Alias);
    m_dbData->Open();
    m_dataAlias = Alias;
    m_enterpriseCounter = EnterpriseCounter;
    m_dbLogged = true;
}

// ---------------------------------------------------------------------------
// System windows

void TfrmOrvaneBrowser4::OpenSystemWindow(TSystemWindow Kind)
{
    bool created = false;
    QWidget* window = m_systemWindows[Kind].Open(Kind, this, created);
    if (!window)
        return;
    if (created)
        AppletActivated("System", window->windowTitle().toStdString(), window);
    window->show();
    window->raise();
    window->activateWindow();
}

void TfrmOrvaneBrowser4::DoOpenUserList()
{
    if (!m_dbSys->Active())
        m_dbSys->Open();
    OpenSystemWindow(swUserList);
}

void TfrmOrvaneBrowser4::DoOpenAdminConsole()
{
    OpenSystemWindow(swAdminConsole);
}

void TfrmOrvaneBrowser4::DoOpenOndrelExplorer()
{
    OpenSystemWindow(swExplorer);
}
