// The main window's "&System Information..." shows the dialog its unit
// registered, over the main window.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Actions.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4SystemInfo.h"
#include "Components/Controller/ovnController.h"
#include "base/KldLogFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QAction>

#include <filesystem>

TEST(SystemInfoAction, ShowsTheRegisteredDialogOverTheMainWindow)
{
    const std::filesystem::path startFolder = std::filesystem::current_path();
    TTempFolder dir;
    ovnSetDataPath(dir.Path());
    AppBrand = 1;
    auto* controller = new TovnController(nullptr);
    TfrmOrvaneBrowser4* window = controller->Browser();
    controller->Preferences().AutoLogin = false;

    // Nothing registered: the action opens nothing and raises nothing.
    RegisterSystemInfoDialog(nullptr);
    window->Action(actSystemInfo)->setEnabled(true);
    window->Action(actSystemInfo)->trigger();

    std::vector<QWidget*> owners;
    RegisterSystemInfoDialog([&](QWidget* Owner) { owners.push_back(Owner); });
    window->Action(actSystemInfo)->trigger();
    ASSERT_EQ(owners.size(), 1u);
    EXPECT_EQ(owners[0], window);
    RegisterSystemInfoDialog(nullptr);

    delete controller;
    FreeApplicationMainForm();
    Log.SetEnabled(false);
    ovnSetDataPath("");
    AppBrand = 0;
    std::filesystem::current_path(startFolder);
}
