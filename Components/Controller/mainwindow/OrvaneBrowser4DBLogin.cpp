// The main window's database sign-in and log-off: the role and the modules
// of the database, its menu rows and their icons (preloaded on a worker
// thread), the module groups, the user's employee, the ads.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/ModuleGroups.h"
#include "Components/Controller/applets/ModuleView.h"
#include "Components/Controller/mainwindow/PreloadImageThread.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/frmDBLogin.h"
#include "Components/Controller/web/ovnAdController.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/ovnOndrel.h"
#include "base/KldLogFile.h"
#include "platform/ScopedFlag.h"
#include "platform/SysUtils.h"

#include "ui/KldModuleView.h"

#include <QApplication>

#include <atomic>
#include <set>
#include <thread>

const char* const SEmployeeSql =
    "SELECT E.COUNTER, E.C_FACILITY, E.EMPLOYEE_NAME, E.MUST_SELECT_SHIFT, F.FACILITY_NAME, F.FACILITY FROM "
    "TBL_EMPLOYEE E JOIN TBL_FACILITY F ON E.C_FACILITY = F.COUNTER WHERE E.OVN_USER_ID = :UserID and "
    "E.CURRENT_USE = 'T' AND ROWNUM = 1";

void TfrmOrvaneBrowser4::DBLogin()
{
    UpdateStatusBar();
    if (!DBLoginExecute(*m_dsDBList))
        Abort();
    // The icons of the last database are fetched no more.
    m_preloadThread.reset();
    try {
        DBLoginSteps();
    } catch (...) {
        UpdateProgress(0, "");
        // A failed sign-in leaves nothing of itself behind: no entries, no
        // menu rows, no open data database.
        try {
            SetAdControllersActive(false);
            m_moduleItems->Close(true);
            DropDatabaseState();
        } catch (...) {
            Log.Error("Unable to undo a failed database sign-in", "BROWSER");
        }
        throw;
    }
    UpdateProgress(0, "");
}

void TfrmOrvaneBrowser4::DBLoginSteps()
{
    m_dataAlias = m_dsDBList->FieldByName("Database")->AsString();
    m_dbData->Close();
    m_dbData->Params().SetValues("DB_ALIAS", m_dataAlias);
    m_dbData->Open();

    TovnOndrelSystem& login = *m_sysDBLogin;
    login.SetDatabaseName(m_dbSys->DatabaseName());
    login.Params().ParamByName("Alias")->SetValue(Variant(m_dataAlias));
    login.Execute();
    TAdminUser& user = Controller->User();
    user.Security().Clear();
    const TParam* security = login.Params().ParamByName("Security");
    if (!security->IsNull()) {
        const std::string bytes = security->AsString();
        user.Security().Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    m_roleCounter = login.Params().ParamByName("C_Role")->AsInteger();
    m_role = login.Params().ParamByName("Role")->AsString();

    LoadDatabaseModules();
    Controller->Cache().Save();
    m_sysGetMenu->Close();
    m_sysGetMenu->SetDatabaseName(m_dbSys->DatabaseName());
    m_sysGetMenu->Open();
    WalkMenuRows();

    if (Controller->User().UserType == "SYS") {
        AddModule("System", -100, true, SystemModuleForm(), m_iconManager->GetIconIndex("ICN_GENERAL_SETUP", -1));
        m_systemModule = m_moduleItems->Find(-100);
    }
    LoadModulesLayout();
    m_enterpriseCounter = m_dsDBList->FieldByName("C_Enterprise")->AsInteger();
    ExecuteBrowserDBLoginAddOn();
    LoadEmployee();
    UpdateProgress(0, "");
    if (m_mustSelectShift)
        ShiftInfoExec();
    PostMessage(m_handle, WM_SHOWMODULES, 0, 0);

    const bool advertise = Controller->User().Advertise && m_dbSys->Active() && m_dbData->Active();
    SetAdControllersActive(advertise);
    auto state = [](const std::unique_ptr<TovnCustomAdController>& c) { return c && c->Active() ? "True" : "False"; };
    Log.Debug(Format("Initialized right and top ad browsers. Right.Active = %s, Top.Active = %s",
                     state(m_adControllerV), state(m_adControllerH)));
    InitNotifications();
}

void TfrmOrvaneBrowser4::LoadDatabaseModules()
{
    m_notificationsModule = -1;
    TJSONObject modules(m_sysDBLogin->Params().ParamByName("Modules")->AsString());
    TJSONArray& counters = modules.GetValues("C_MODULE").GetAsArray();
    TJSONArray& names = modules.GetValues("DESCRIPTION").GetAsArray();
    TJSONArray& resources = modules.GetValues("RESOURCE_NAME").GetAsArray();
    TJSONArray& files = modules.GetValues("FILE_NAME").GetAsArray();
    for (int i = 0; i < counters.Count(); ++i) {
        const std::string resource = resources.GetValue(i).GetAsString();
        Controller->AddResourceFile(resource, files.GetValue(i).GetAsString());
        const int picture = m_iconManager->GetIconIndex(resource, -1);
        const std::string name = names.GetValue(i).GetAsString();
        const int32_t counter = counters.GetValue(i).GetAsInteger();
        if (SameText(name, "NOTIFICATIONS"))
            m_notificationsModule = counter;
        else
            AddModule(name, counter, true, CreateModuleView, picture);
    }
}

void TfrmOrvaneBrowser4::WalkMenuRows()
{
    std::set<std::string> icons;
    TovnOndrelSystem& menu = *m_sysGetMenu;
    try {
        menu.SetFiltered(false);
        for (menu.First(); !menu.Eof(); menu.Next()) {
            Controller->AddResourceFile(menu.FieldByName("Resource")->AsString(),
                                        menu.FieldByName("File_Name")->AsString());
            const std::string icon = menu.FieldByName("Icon_Resource")->AsString();
            Controller->AddResourceFile(icon, menu.FieldByName("Icon_File_Name")->AsString());
            icons.insert(icon);
        }
    } catch (...) {
        menu.SetFiltered(true);
        menu.First();
        throw;
    }
    menu.SetFiltered(true);
    menu.First();
    m_preloadThread = std::make_unique<TPreloadImageThread>(std::move(icons));
    m_preloadThread->Start(*Controller, [this] { return Controller->GetConnected(); });
}

void TfrmOrvaneBrowser4::LoadEmployee()
{
    m_employeeCounter = 0;
    m_facilityCounter = 0;
    m_facilityCode.clear();
    m_facilityName.clear();
    m_employeeName = Controller->User().FullName;
    m_mustSelectShift = false;
    m_shiftCounter = 0;
    m_shiftText.clear();
    m_residentGroups.clear();
    std::unique_ptr<TovnOndrelQuery> made;
    // Whatever fails, the database sign-in goes on without notifications
    // for this database.
    auto failed = [this](const std::string& Message) {
        m_notificationsModule = -1;
        Log.Error(Message, "BROWSER", "Unable to load Emloyee/Facility");
    };
    try {
        made.reset(LibController::CreateQuery(SEmployeeSql, {Variant(Controller->User().ID)}));
        TovnOndrelQuery& query = *made;
        query.Open();
        if (!query.Eof()) {
            m_employeeCounter = query.FieldByName("COUNTER")->AsInteger();
            m_facilityCounter = query.FieldByName("C_FACILITY")->AsInteger();
            m_facilityCode = query.FieldByName("FACILITY")->AsString();
            m_facilityName = query.FieldByName("FACILITY_NAME")->AsString();
            m_employeeName = query.FieldByName("EMPLOYEE_NAME")->AsString();
            m_mustSelectShift = query.FieldByName("MUST_SELECT_SHIFT")->AsString() == "T";
        }
    } catch (const std::exception& e) {
        failed(e.what());
    } catch (...) {
        failed("Unknown error");
    }
}

void TfrmOrvaneBrowser4::LoadModulesLayout()
{
    TNamedList& groups = m_moduleItems->Groups();
    try {
        MergeModulesLayout(groups, m_sysDBLogin->Params().ParamByName("GM_Modules")->AsString(),
                           m_sysDBLogin->Params().ParamByName("GM_User")->AsString());
    } catch (const Exception& e) {
        m_moduleItems->ClearLayout();
        Log.Error(e.Message(), "BROWSER", "Load Modules Layout");
    }
    UpdateModulesLayout();
}

void TfrmOrvaneBrowser4::UpdateModulesLayout()
{
    TKldAppItems& items = m_moduleList->Items();
    items.BeginUpdate();
    try {
        for (int i = items.Count() - 1; i >= 0; --i)
            if (items.Items(i)->GetState(isGroup))
                items.Delete(i);
        TNamedList& groups = m_moduleItems->Groups();
        items.SetMemberText(groups.GetNames());
        for (int i = 0; i < groups.Count(); ++i) {
            const std::string members = groups.GetValue(i);
            if (Trim(members).size() <= 2 || !groups.GetVisible(i))
                continue;
            TKldAppItem* group = AddModule(groups.GetName(i), -1, false, TModuleFormClass(), -1);
            group->SetState(isGroup, true);
            group->Items().SetMemberText(members);
            group->SetState(isExpanded, i == 0);
        }
    } catch (...) {
        items.EndUpdate();
        throw;
    }
    items.EndUpdate();
}

void TfrmOrvaneBrowser4::SetAdControllersActive(bool Value)
{
    if (m_adControllerV)
        m_adControllerV->SetActive(Value);
    if (m_adControllerH)
        m_adControllerH->SetActive(Value);
}

// "Database signed in" is the open data database: the sign-in's own step
// that asks for the shift runs before the signed-in flag is set.
bool TfrmOrvaneBrowser4::ShiftSelectionEnabled() const
{
    return m_logged && m_dbData && m_dbData->Active() && m_employeeCounter > 0 && AppBrand == 0;
}

void TfrmOrvaneBrowser4::DBLogout()
{
    TScopedFlag loggingOut(m_dbLoggingOut);
    SetAdControllersActive(false);
    if (m_conMAIN->Active()) {
        if (!CloseAllExec())
            Abort();
    } else {
        m_moduleItems->Close(true);
    }
    DropDatabaseState();
    QApplication::processEvents();
}

void TfrmOrvaneBrowser4::DropDatabaseState()
{
    // Asked only: a download it waits on must not block the log-off.
    if (m_preloadThread)
        m_preloadThread->Stop();
    m_dsMenu->Close();
    m_sysGetMenu->Close();
    m_qryUserFacility->Close();
    m_dbData->Close();
    m_dataAlias.clear();
    m_enterpriseCounter = 0;
    m_systemModule = nullptr;
    m_employeeCounter = 0;
    if (Controller)
        Controller->Vars().Clear();
    m_moduleList->SetVisible(false);
    m_appDesktop->CloseAll();
    ClearModules();
    DoneNotifications();
}

void TfrmOrvaneBrowser4::WMShowModules()
{
    // A 1684 still pending when the database log-off processes the
    // messages would open a module on closed menu rows.
    if (!m_dbLogged || m_dbLoggingOut)
        return;
    if (m_showModuleListTag == 1) {
        m_moduleList->SetAlign(alLeft);
        m_moduleList->SetLeft(0);
        ShowModulesView(true);
        m_moduleList->SetVisible(true);
    }
    if (m_moduleList->ShowByGroups())
        return;
    TModuleItem* single = nullptr;
    int count = 0;
    for (int i = 0; i < m_moduleItems->Count(); ++i) {
        TModuleItem* entry = m_moduleItems->Items(i);
        if (entry->Counter > 0) {
            ++count;
            single = entry;
        }
    }
    if (count == 1)
        m_moduleItems->OpenModule(*single);
}

void TfrmOrvaneBrowser4::ExecuteBrowserDBLoginAddOn()
{
    try {
        RunObject("BROWSER_DBLOGIN", "");
    } catch (const Exception& e) {
        Log.Error(e.Message(), "BROWSER", "Run BROWSER_DBLOGIN");
    } catch (const std::exception& e) {
        Log.Error(e.what(), "BROWSER", "Run BROWSER_DBLOGIN");
    }
}

void TfrmOrvaneBrowser4::JoinPreloading()
{
    m_preloadThread.reset();
}

void TfrmOrvaneBrowser4::ExecuteBrowserLoginAddOn()
{
    try {
        RunObject("BROWSER_LOGIN", "");
    } catch (const Exception& e) {
        Log.Error(e.Message(), "BROWSER", "Run BROWSER_LOGIN");
    } catch (const std::exception& e) {
        Log.Error(e.what(), "BROWSER", "Run BROWSER_LOGIN");
    }
}
