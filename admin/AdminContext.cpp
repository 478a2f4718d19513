#include "admin/AdminContext.h"

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraDatabase.h"

TAdminContext ControllerAdminContext()
{
    if (!Controller)
        throw EovnController("Not logged");
    TAdminContext context;
    context.Admin = AdministratorOf(Controller->User());
    context.SysDB = &Controller->GetSysDB();
    context.OS = ovnOS();
    // Read afresh, as the ad panels do: the demo names its server there.
    if (TfrmOrvaneBrowser4* browser = ApplicationMainForm())
        context.AdService = AdServiceAddress(browser->IniFileName());
    else
        context.AdService = DefaultAdServiceAddress;
    context.AutoCounter = [](const std::string& TableName) { return Controller->GetSysAutoCounter(TableName); };
    context.ResourceFile = [](const std::string& Resource, const std::string& FileName) {
        Controller->AddResourceFile(Resource, FileName);
        return Controller->GetResourceFile(Resource);
    };
    return context;
}

TNembraDatabase& SysDB(const TAdminContext& Context)
{
    if (!Context.SysDB)
        throw EovnController("Not logged to DB");
    return *Context.SysDB;
}
