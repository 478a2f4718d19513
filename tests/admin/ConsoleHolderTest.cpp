// The console as the main window holds it, and the "System" page: RunSysApplet(10) makes one
// console for the signed-in administrator, a second request brings the same
// one forward, and the holder forgets it when it is destroyed.

#include "Components/Controller/files/ovnUtils.h"
#include "Components/Controller/mail/ReadMail.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/ovnPreferences.h"
#include "admin/frmAdmin.h"
#include "admin/frmExplorerMain.h"
#include "admin/frmUserList.h"
#include "base/KldLogFile.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"
#include "ui/KldAppletView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

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
    controller->Preferences().AutoDBLogin = false;
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

namespace {

// ADMIN signed in to a local server through a main window of brand 0.
class SignedInAdmin : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(dir.Path());
        AppBrand = 0;
        controller = new TovnController(nullptr);
        window = controller->Browser();
        controller->Preferences().AutoLogin = false;
        controller->Preferences().AutoDBLogin = false;
        UseOnlyLocalServer(controller->Connections(), server.Port(), "Local server");
        window->ExecuteLoginDialog = [](const TLoginCallback& callback) {
            return callback(nullptr, "ADMIN", "", "Local server");
        };
        window->UserLogInExec();
        ASSERT_TRUE(window->Logged());
    }
    void TearDown() override
    {
        window->SetLogged(false);
        delete controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
        std::filesystem::current_path(start);
    }

    const std::filesystem::path start = std::filesystem::current_path();
    TTempFolder dir;
    TDialogScript dialogs;
    TAppServerProcess server;
    TovnController* controller = nullptr;
    TfrmOrvaneBrowser4* window = nullptr;
};

using SystemPage = SignedInAdmin;
using ExplorerHolder = SignedInAdmin;

} // namespace

TEST_F(SystemPage, ItsItemsOpenTheMailboxAndTheConsoleOfTheSignedInUser)
{
    auto* page = new TfrmSystemView(nullptr, nullptr, nullptr);
    auto choose = [&](const std::string& Caption) {
        for (int g = 0; g < page->View().Items().Count(); ++g)
            if (TKldAppItem* item = page->View().Items().Items(g)->Items().ItemByText(Caption))
                page->DoOnAppSelect(nullptr, item);
    };
    choose("O-Mail");
    EXPECT_NE(dynamic_cast<TfrmReadMail*>(window->SystemWindow(swReadMail)), nullptr);
    choose("Administration Console");
    ASSERT_NE(frmAdmin(), nullptr);
    int visible = 0;
    TKldAppItems& tools = frmAdmin()->View().Items().Items(0)->Items();
    for (int i = 0; i < tools.Count(); ++i)
        visible += tools.Items(i)->Visible() ? 1 : 0;
    EXPECT_EQ(visible, 5);
    // "Show User List" opens the one user list, listing who is online.
    choose("Show User List");
    auto* list = dynamic_cast<TfrmUserList*>(window->SystemWindow(swUserList));
    ASSERT_NE(list, nullptr);
    // The main window is not shown here, so neither is the list: list
    // as its showing would, over the controller's connection.
    list->RefreshList();
    EXPECT_TRUE(list->Users->Active());
    EXPECT_TRUE(list->Sessions().Online("ADMIN"));
    choose("Show User List");
    EXPECT_EQ(window->SystemWindow(swUserList), list) << "one instance";
    // "C&lose" destroys it and the holder forgets it: the next opening
    // makes a new one.
    QPointer<TfrmUserList> closed = list;
    list->btnClose->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull());
    EXPECT_EQ(window->SystemWindow(swUserList), nullptr);
    window->DoOpenUserList();
    EXPECT_NE(dynamic_cast<TfrmUserList*>(window->SystemWindow(swUserList)), nullptr);
    delete page;
}

TEST_F(ExplorerHolder, TheConsoleItemOpensOneExplorerOfTheClientsConnections)
{
    window->DoOpenAdminConsole();
    TfrmAdmin* console = frmAdmin();
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(frmExplorerMain(), nullptr);
    TKldAppItem* item = console->View().Items().Items(0)->Items().ItemByTag(16);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Caption(), "Ondrel Explorer");
    console->KldOnAppSelect(nullptr, item);
    TfrmExplorerMain* explorer = frmExplorerMain();
    ASSERT_NE(explorer, nullptr);
    EXPECT_EQ(explorer->windowTitle().toStdString(), "Ondrel Explorer");
    EXPECT_EQ(window->SystemWindow(swExplorer), explorer);
    // The tree lists the client's connections, the signed-in one
    // expanded with its open databases.
    ASSERT_GE(explorer->tvObjects->topLevelItemCount(), 1);
    bool expanded = false;
    for (int i = 0; i < explorer->tvObjects->topLevelItemCount(); ++i)
        expanded = expanded || explorer->tvObjects->topLevelItem(i)->isExpanded();
    EXPECT_TRUE(expanded);
    EXPECT_FALSE(explorer->Consoles().empty());
    // A second choice brings the same window forward.
    console->KldOnAppSelect(nullptr, item);
    EXPECT_EQ(frmExplorerMain(), explorer);
    // Closing frees it, and the holder forgets it.
    explorer->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmExplorerMain(), nullptr);
    EXPECT_EQ(window->SystemWindow(swExplorer), nullptr);
    EXPECT_TRUE(dialogs->Texts().empty()) << (dialogs->Texts().empty() ? "" : dialogs->Texts()[0]);
}
