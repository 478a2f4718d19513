// The console as the main window holds it: RunSysApplet(10) makes one
// console for the signed-in administrator, a second request brings the same
// one forward, and the holder forgets it when it is destroyed.

#include "Components/Controller/OrvaneBrowser4.h"
#include "Components/Controller/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnUtils.h"
#include "admin/frmAdmin.h"
#include "base/KldLogFile.h"
#include "support/DialogScript.h"
#include "support/TempFolder.h"
#include "ui/KldAppletView.h"

#include <filesystem>

#include <gtest/gtest.h>

TEST(ConsoleHolder, OneConsoleForTheSignedInAdministrator)
{
    const auto start = std::filesystem::current_path();
    TTempFolder dir;
    TDialogScript dialogs;
    ovnSetDataPath(dir.Path());
    AppBrand = 1;
    auto* controller = new TovnController(nullptr);
    TfrmOrvaneBrowser4* window = controller->Browser();
    controller->Preferences().AutoLogin = false;
    controller->User().UserType = "MGR";
    controller->User().ID = "MANAGER";

    window->ModuleItems().Add("System", 1);
    window->AddModule("System", 1, false, {}, -1);
    EXPECT_EQ(frmAdmin(), nullptr);
    controller->RunSysApplet(10);
    TfrmAdmin* console = frmAdmin();
    ASSERT_NE(console, nullptr);
    int visible = 0;
    TKldAppItems& tools = console->View().Items().Items(0)->Items();
    for (int i = 0; i < tools.Count(); ++i)
        visible += tools.Items(i)->Visible() ? 1 : 0;
    EXPECT_EQ(visible, 2);
    controller->RunSysApplet(10);
    EXPECT_EQ(frmAdmin(), console);
    delete console;
    EXPECT_EQ(frmAdmin(), nullptr);
    // The "System" module's page is the admin folder's.
    EXPECT_TRUE(static_cast<bool>(SystemModuleForm()));

    delete controller;
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
    AppBrand = 0;
    std::filesystem::current_path(start);
}
