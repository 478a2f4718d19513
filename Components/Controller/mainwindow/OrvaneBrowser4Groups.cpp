// The main window's database choice and its module groups: "Select
// &Database...", "Customize &Module Groups..." and the storing of the
// user's layout on the data database.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/ModuleGroups.h"
#include "Components/Controller/applets/frmGroups.h"
#include "Components/Controller/ovnController.h"
#include "base/KldLogFile.h"
#include "platform/Dialogs.h"

#include <memory>

const char* const SCloseAllModules = "This will close all opened modules. OK?";

void TfrmOrvaneBrowser4::DBConnectExec()
{
    if (m_dbLogged && MessageDlg(SCloseAllModules, mtConfirmation, {mbOK, mbCancel}) != mrOk)
        return;
    SetDBLogged(false);
    SetDBLogged(true);
}

void TfrmOrvaneBrowser4::ModuleGroupPreferencesExec()
{
    if (!DoManageGroups(m_moduleItems->Groups(), m_moduleItems->ModuleNames()))
        return;
    UpdateModulesLayout();
    ExportModulesLayout();
}

void TfrmOrvaneBrowser4::ExportModulesLayout()
{
    const TModulesLayoutSql sql = ModulesLayoutSql(m_moduleItems->Groups().AsText(), Controller->User().ID);
    // The row may exist already: its INSERT fails and the UPDATE still runs.
    for (const std::string& statement : {sql.Insert, sql.Update}) {
        try {
            std::unique_ptr<TovnOndrelQuery> query(LibController::CreateQuery(statement));
            query->Execute();
        } catch (const Exception& e) {
            Log.Error(e.Message(), "BROWSER", "Export Modules Layout");
        }
    }
}
