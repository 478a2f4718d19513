// The controller's facade and the main window's services for modules: the
// session checks before any call leaves, the retired operations, locks'
// paths, the user's hash, counters, facilities, the menu look-up, the
// system windows' holders, and the debug viewer.
#include "Components/Controller/Debug.h"
#include "Components/Controller/OrvaneBrowser4.h"
#include "Components/Controller/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnDataSet.h"
#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "platform/StringList.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <filesystem>
#include <gtest/gtest.h>

TEST(MainWindowServices, UserHashWritesEachByteInUpperCaseHex)
{
    EXPECT_EQ(UserHash("abc"), "616263");
    EXPECT_EQ(UserHash(""), "");
    // Each byte of the UTF-8 text: "é" is C3 A9.
    EXPECT_EQ(UserHash("J\xC3\xA9"), "4AC3A9");
}

TEST(MainWindowServices, FacilityFilterKeepsOnlyTheGrantedOnesToRemove)
{
    EXPECT_EQ(FacilityDenyFilter({}), "");
    EXPECT_EQ(FacilityDenyFilter({7}), " (COUNTER <> 7)");
    EXPECT_EQ(FacilityDenyFilter({1, 2}), " (COUNTER <> 1) AND (COUNTER <> 2)");
}

TEST(MainWindowServices, MenuParentsFollowTheLevels)
{
    // Levels 0, 1, 1, 2, 0 with the indices 10..14.
    TMenuParents parents;
    EXPECT_EQ(parents.Add(0, 10), 0);
    EXPECT_EQ(parents.Add(1, 11), 10);
    EXPECT_EQ(parents.Add(1, 12), 10);
    EXPECT_EQ(parents.Add(2, 13), 12);
    EXPECT_EQ(parents.Add(0, 14), 0);
    // A level-2 row right after a level-0 row, no level 1 seen yet.
    TMenuParents fresh;
    fresh.Add(0, 20);
    EXPECT_EQ(fresh.Add(2, 21), 0);
}

namespace {

// Menu rows of two modules in a local dataset, filtered on the second.
struct TMenuRows
{
    TMenuRows()
    {
        Menu.FieldDefs().Add("C_Module", ftInteger);
        Menu.FieldDefs().Add("Resource", ftString, 60);
        Menu.FieldDefs().Add("Security_Index", ftInteger);
        Menu.Open();
        for (auto [module, resource, index] : {std::tuple{1, "STAFF_LIST", 3}, std::tuple{2, "RESIDENTS", 4},
                                               std::tuple{2, "STAFF", 5}}) {
            Menu.Append();
            Menu.FieldByName("C_Module")->SetAsInteger(module);
            Menu.FieldByName("Resource")->SetAsString(resource);
            Menu.FieldByName("Security_Index")->SetAsInteger(index);
            Menu.Post();
        }
        Menu.SetFilter("C_MODULE = 2");
        Menu.SetFiltered(true);
    }
    TovnDataSet Menu;
};

} // namespace

TEST(MainWindowServices, TheMenuLookupSeesEveryRowAndLeavesTheFilterOn)
{
    TMenuRows rows;
    ASSERT_TRUE(LocateMenuResource(rows.Menu, "  STAFF_LIST "));
    EXPECT_EQ(rows.Menu.FieldByName("Security_Index")->AsInteger(), 3);
    EXPECT_TRUE(rows.Menu.Filtered());
    // Letter case counts, and the whole value.
    EXPECT_FALSE(LocateMenuResource(rows.Menu, "staff_list"));
    EXPECT_FALSE(LocateMenuResource(rows.Menu, "STAFF_"));
    EXPECT_EQ(ErrorOf([&] { LocateMenuResource(rows.Menu, "   "); }), "Resource is not specified");
    // A module filter set later restricts the walk again.
    rows.Menu.SetFilter("C_MODULE = 1");
    int count = 0;
    for (rows.Menu.First(); !rows.Menu.Eof(); rows.Menu.Next())
        ++count;
    EXPECT_EQ(count, 1);
}

namespace {

class FacadeTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 1;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
    }
    void TearDown() override
    {
        if (m_window->Logged())
            m_window->SetLogged(false);
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        AppBrand = 0;
        std::filesystem::current_path(m_startFolder);
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
};

} // namespace

TEST_F(FacadeTest, MarkedOperationsRaiseBeforeAnySession)
{
    struct Case
    {
        const char* Name;
        std::function<void()> Call;
        const char* Error;
    } cases[] = {
        {"RunObject", [&] { m_controller->RunObject("ADDON", ""); }, "Not logged"},
        {"CreateMutex", [&] { m_controller->CreateMutex("a", "b", "c", "d", "e"); }, "Not logged"},
        {"GetAutoCounter", [&] { m_controller->GetAutoCounter("TBL_FACILITY"); }, "Not logged to DB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf<EovnController>(c.Call), c.Error) << c.Name;
}

TEST_F(FacadeTest, RetiredAndEmptyOperations)
{
    EXPECT_EQ(ErrorOf([&] { m_controller->GetBlockingViews(); }), "BlockingViews are deprecated");
    EXPECT_EQ(ErrorOf([&] { m_controller->SetBlockingViews(true); }), "BlockingViews are deprecated");
    int32_t count = 7;
    std::string text = "kept";
    m_controller->GetOnlineUser("USER", 1, count, text, "x");
    EXPECT_EQ(count, 7);
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(m_controller->SendOMail("ann", "Hi", "Text", "", true, false, -1, "", "URL"));
    m_controller->SetRestrictedAdCategory(5);
    EXPECT_EQ(m_controller->GetRestrictedAdCategory(), 5);
    // 2 is no system window: nothing opens.
    m_controller->RunSysApplet(2);
    EXPECT_EQ(m_controller->GetUserHash(), "");
    m_controller->User().ID = "abc";
    EXPECT_EQ(m_controller->GetUserHash(), "616263");
    EXPECT_EQ(ErrorOf([&] { m_controller->GetUserFacilities(nullptr); }), "Dataset not assigned");
    EXPECT_EQ(ErrorOf([&] { m_window->CreateMutex("", "", "", "", ""); }), "Mutextes are deprecated please use locks");
    EXPECT_EQ(ErrorOf([&] { m_controller->GetSysAutoCounter("USERS"); }),
              "Error obtaining auto counter for \"USERS\"");
    EXPECT_EQ(ErrorOf([&] { m_controller->GetSysAutoCounter("tbl_users"); }),
              "Error obtaining auto counter for \"tbl_users\"");
    EXPECT_EQ(ErrorOf([&] { m_controller->GetModuleName(99); }), "Module not found. Counter = \"99\"");
    EXPECT_STREQ(LogDelete, "Delete %s succesfully");
    EXPECT_STREQ(LogMailSent, "Email sent succefully");
    EXPECT_STREQ(LogPasswordChanged, "Password for user \"%s\" was changed sucessfully");
}

namespace {

// A small system window for the holders.
class TTestSystemWindow : public QWidget
{
  public:
    explicit TTestSystemWindow(QWidget* Owner) : QWidget(Owner, Qt::Window)
    {
        setWindowTitle("Test Console");
        ++Made;
    }
    static inline int Made = 0;
};

} // namespace

TEST_F(FacadeTest, SystemWindowsLiveOnceAndAreForgottenWhenDestroyed)
{
    TTestSystemWindow::Made = 0;
    RegisterSystemWindow(swAdminConsole, [](QWidget* owner) { return new TTestSystemWindow(owner); });
    m_window->ModuleItems().Add("System", 1);
    m_window->AddModule("System", 1, false, {}, -1);
    m_controller->RunSysApplet(10);
    QWidget* first = m_window->SystemWindow(swAdminConsole);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parentWidget(), m_window);
    m_window->DoOpenAdminConsole();
    EXPECT_EQ(m_window->SystemWindow(swAdminConsole), first);
    EXPECT_EQ(TTestSystemWindow::Made, 1);
    delete first;
    EXPECT_EQ(m_window->SystemWindow(swAdminConsole), nullptr);
    m_window->DoOpenAdminConsole();
    EXPECT_EQ(TTestSystemWindow::Made, 2);
    // A kind no unit registered opens nothing.
    m_window->DoOpenOndrelExplorer();
    EXPECT_EQ(m_window->SystemWindow(swExplorer), nullptr);
    RegisterSystemWindow(swAdminConsole, nullptr);
}

TEST(DebugViewer, AFilteredDatasetShowsItsFilterBesideARedLabel)
{
    _DebugDataset(nullptr); // shows nothing, returns at once
    TovnDataSet data;
    data.SetName("dsResidents");
    data.FieldDefs().Add("NAME", ftString, 20);
    data.Open();
    for (const char* name : {"Ann", "Bob"}) {
        data.Append();
        data.FieldByName("NAME")->SetAsString(name);
        data.Post();
    }
    {
        TfrmDebug form;
        form.ShowDataSet(&data);
        EXPECT_EQ(form.windowTitle().toStdString(), "View of: dsResidents");
        EXPECT_TRUE(form.lblF->text().isEmpty());
        EXPECT_TRUE(form.lblFT->text().isEmpty());
        EXPECT_TRUE(form.DBNavigator1->isEnabled());
        EXPECT_EQ(form.DBGrid1->model()->rowCount(), 2);
        EXPECT_EQ(form.size(), QSize(463, 296));
    }
    data.SetFilter("NAME = \"Bob\"");
    data.SetFiltered(true);
    auto shown = WhenModal<TfrmDebug>([](TfrmDebug& form) {
        EXPECT_EQ(form.lblF->text().toStdString(), "Filtered ");
        EXPECT_NE(form.lblF->styleSheet().indexOf("red"), -1);
        EXPECT_EQ(form.lblFT->text().toStdString(), "NAME = \"Bob\"");
        EXPECT_FALSE(form.Memo->isVisible());
        form.btnClose->click();
    });
    _DebugDataset(&data);
    EXPECT_TRUE(*shown);
    // The window let go of the dataset.
    EXPECT_EQ(data.FieldByName("NAME")->AsString(), "Bob");
}

TEST(DebugViewer, LinesShowInTheMemoWithoutGridOrLabels)
{
    TStringList lines;
    lines.Add("first");
    lines.Add("second");
    auto shown = WhenModal<TfrmDebug>([](TfrmDebug& form) {
        EXPECT_TRUE(form.Memo->isVisible());
        EXPECT_FALSE(form.DBGrid1->isVisible());
        EXPECT_FALSE(form.DBNavigator1->isVisible());
        EXPECT_TRUE(form.lblF->text().isEmpty());
        EXPECT_EQ(form.Memo->toPlainText().toStdString(), "first\nsecond\n");
    });
    _DebugStrings(&lines);
    EXPECT_TRUE(*shown);
    _DebugStrings(nullptr);
}
