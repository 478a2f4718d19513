// The controller's facade and the main window's services for modules: the
// session checks before any call leaves, the retired operations, locks'
// paths, the user's hash, counters, facilities, the menu look-up, the
// system windows' holders, and the debug viewer.
#include "Components/Controller/Debug.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4Services.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/ovnDataSet.h"
#include "base/KldLogFile.h"
#include "platform/FileUtils.h"
#include "platform/StringList.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/ErrorOf.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <filesystem>
#include <gtest/gtest.h>
#include <sqlite3.h>

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
        // The database sign-in after the sign-in is tested on its own.
        m_controller->Preferences().AutoDBLogin = false;
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
    // Mail is sent for real now: without a session it cannot go.
    EXPECT_EQ(ErrorOf([&] { m_controller->SendOMail("ann", "Hi", "Text", "", true, false, -1, "", "URL"); }),
              "Connection is not active");
    m_controller->SetRestrictedAdCategory(5);
    EXPECT_EQ(m_controller->GetRestrictedAdCategory(), 5);
    // 2 is no system window: nothing opens.
    m_controller->RunSysApplet(2);
    EXPECT_EQ(m_controller->GetUserHash(), "");
    m_controller->User().ID = "abc";
    EXPECT_EQ(m_controller->GetUserHash(), "616263");
    EXPECT_EQ(ErrorOf([&] { m_controller->GetUserFacilities(nullptr); }), "Dataset not assigned");
    EXPECT_EQ(ErrorOf([&] { m_window->CreateMutex("", "", "", "", ""); }), "Mutextes are deprecated please use locks");
    // Names that are no table of the system, refused before any query.
    for (const char* name : {"USERS", "tbl_users", "TBL_", "TBL_USERS from dual; --", "TBL_X.Y", "TBL_A B"})
        EXPECT_EQ(ErrorOf([&] { m_controller->GetSysAutoCounter(name); }),
                  std::string("Error obtaining auto counter for \"") + name + "\"");
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
        // Two lines show as two, without an empty third.
        EXPECT_EQ(form.Memo->toPlainText().toStdString(), "first\nsecond");
        EXPECT_EQ(form.Memo->document()->blockCount(), 2);
    });
    _DebugStrings(&lines);
    EXPECT_TRUE(*shown);
    _DebugStrings(nullptr);

    // Empty lines of the list stay lines of their own.
    struct Case
    {
        const char* Desc;
        std::vector<std::string> Lines;
        const char* Text;
        int Count;
    };
    const Case cases[] = {
        {"one empty line", {""}, "", 1},
        {"an empty last line", {"first", ""}, "first\n", 2},
        {"an empty line between", {"first", "", "third"}, "first\n\nthird", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TStringList list;
        for (const std::string& line : c.Lines)
            list.Add(line);
        TfrmDebug form;
        form.ShowStrings(list);
        EXPECT_EQ(form.Memo->toPlainText().toStdString(), c.Text);
        EXPECT_EQ(form.Memo->document()->blockCount(), c.Count);
    }
}

namespace {

const char* const kFacadeSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (50, 'SUNNY HOMES', 'Sunny Homes', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES (50, 'OAK', 'Oak Lodge', 50, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES (50, 'CARER', 50, 50, 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE, FACILITY_ACCESS_FLAG) VALUES
  (50, 'JSMITH', 'secret', 'Jane Smith', 'USR', 50, 'I'),
  (51, 'BOSS', 'secret', 'Big Boss', 'MGR', 50, 'A');
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (50, 50), (51, 50);
INSERT INTO TBL_FACILITIES (COUNTER, FACILITY, C_ENTERPRISE) VALUES (1, 'OAK', 50), (2, 'RIVER', 50);
INSERT INTO TBL_USERFACILITYACCESS (C_USER, C_FACILITY) VALUES (50, 2);
INSERT INTO TBL_MODULES (COUNTER, MODULE) VALUES (40, 'Staff'), (41, 'Residents');
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME, VERSION, SECURITY_INDEX) VALUES
  (9001, 'STAFF_LIST', 'staff.dll', 3, 1), (9002, 'RESIDENT_LIST', 'residents.dll', 4, 2);
INSERT INTO TBL_BIN (COUNTER, C_RESOURCE, FILE_NAME, OS) VALUES (9101, 9001, 'staff.so', 'L64');
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE) VALUES
  (1, 40, 0, 1, 'Staff', NULL), (2, 40, 1, 2, 'Staff list', 9001), (3, 41, 0, 1, 'Residents list', 9002);
)";

class FacadeServerTest : public FacadeTest
{
  protected:
    void SetUp() override
    {
        FacadeTest::SetUp();
        UseOnlyLocalServer(m_controller->Connections(), m_server.Port(), "Local");
    }
    void SignIn(const std::string& User)
    {
        m_window->ExecuteLoginDialog = [User](const TLoginCallback& callback) {
            return callback(nullptr, User, "secret", "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
    }
    // Straight from the server's file: users may not read its tables.
    std::string ServerSql(const std::string& Sql)
    {
        sqlite3* db = nullptr;
        std::string text;
        if (sqlite3_open(m_server.DatabaseFile().c_str(), &db) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr);
            if (statement && sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
                text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return text;
    }
    std::string LockHolder(const std::string& Path)
    {
        return ServerSql("SELECT USER_ID || ' ' || ALIAS || ' ' || DESCRIPTION FROM SRV_LOCKS WHERE LOCK_PATH = '" +
                         Path + "'");
    }

    TAppServerProcess m_server{{}, kFacadeSql};
};

} // namespace

TEST_F(FacadeServerTest, LockPathsWithAndWithoutAliasAndAnotherSessionRefused)
{
    SignIn("jsmith");
    // No database signed in: "/" and the name alone.
    EXPECT_EQ(m_controller->CreateLockWithAlias("ROTA", "Rota of May"), "/ROTA");
    m_window->OpenDataDatabase("OAK", 50);
    EXPECT_EQ(m_controller->GetC_Alias_Enterprise(), 50);
    EXPECT_EQ(m_controller->CreateLockWithAlias("", "Whole database"), "/OAK");
    EXPECT_EQ(m_controller->CreateLockWithAlias("ROTA", "Rota of May"), "/OAK/ROTA");
    m_window->dbSys().Open();
    EXPECT_EQ(LockHolder("/OAK/ROTA"), "jsmith OAK Rota of May");

    // A second session of another user may not take it while the first lives.
    TNembraConnection other;
    other.SetConnectionName("OTHER");
    other.SetServerURL(m_server.ServerURL());
    other.SetAuthentication(qauthBasic);
    other.Params().Add("USER_ID=BOSS");
    other.Params().Add("USER_PWD=secret");
    other.GenerateRandomSecretKey();
    other.Open();
    TNembraDatabase otherSys;
    otherSys.SetDatabaseName("OTHER_SYS");
    otherSys.SetConnectionName("OTHER");
    otherSys.Params().Add("DB_ALIAS=SYSTEM");
    TovnOndrelSystem setLock;
    setLock.SetProcedureName("SetLock");
    setLock.SetDatabaseName("OTHER_SYS");
    setLock.Params().CreateParam(ftString, "Lock_Path", ptInput)->SetAsString("/OAK/ROTA");
    setLock.Params().CreateParam(ftString, "Description", ptInput)->SetAsString("Mine");
    EXPECT_NE(ErrorOf([&] { setLock.Execute(); }).find("is locked by jsmith"), std::string::npos);

    // Given back, the path is free for the other session.
    m_controller->ClearLock("/OAK/ROTA");
    setLock.Execute();
    EXPECT_EQ(LockHolder("/OAK/ROTA"), "BOSS OAK Mine");
    other.Close();
}

TEST_F(FacadeServerTest, CountersOfTheSystemAndTheDataDatabase)
{
    SignIn("jsmith");
    EXPECT_EQ(m_controller->GetSysAutoCounter("TBL_USERS"), 101);
    EXPECT_EQ(m_controller->GetSysAutoCounter("TBL_USERS"), 102);
    EXPECT_EQ(m_controller->GetSysAutoCounter("TBL_ROLES"), 101);
    EXPECT_NE(ErrorOf([&] { m_controller->GetSysAutoCounter("TBL_NOSUCH"); }), "");
    m_window->OpenDataDatabase("OAK", 50);
    const int32_t first = m_controller->GetAutoCounter("TBL_FACILITY");
    EXPECT_EQ(m_controller->GetAutoCounter("TBL_FACILITY"), first + 1);
    // A failing counter query names the table and the server's error.
    m_window->qryAutoCounter().SQL().SetText("SELECT 1 AS OTHER FROM DUAL WHERE :TBL IS NOT NULL");
    const std::string error = ErrorOf<EovnClient>([&] { m_controller->GetAutoCounter("TBL_FACILITY"); });
    EXPECT_EQ(error.rfind("Error obtaining auto counter for: \"TBL_FACILITY\".\r\n Error: ", 0), 0u) << error;
    EXPECT_NE(error.find("TABLE_COUNTER"), std::string::npos);
}

TEST_F(FacadeServerTest, FacilitiesOfAUserWithSomeAccessAndWithAll)
{
    SignIn("jsmith");
    m_window->OpenDataDatabase("OAK", 50);
    auto names = [](TovnDataSet& data) {
        std::string text;
        for (data.First(); !data.Eof(); data.Next())
            text += data.FieldByName("FACILITY")->AsString() + " ";
        return text;
    };
    m_window->dbSys().Close();
    TovnDataSet facilities;
    m_controller->GetUserFacilities(&facilities);
    EXPECT_EQ(names(facilities), "RIVER ");
    EXPECT_FALSE(m_window->dbSys().Active()); // closed again as it was

    // The list is worked out once per database sign-in: a change of the
    // access table shows only after it.
    ServerSql("INSERT INTO TBL_USERFACILITYACCESS (C_USER, C_FACILITY) VALUES (50, 1)");
    TovnDataSet again;
    m_controller->GetUserFacilities(&again);
    EXPECT_EQ(names(again), "RIVER ");
    m_window->qryUserFacility().Close();
    TovnDataSet after;
    m_controller->GetUserFacilities(&after);
    EXPECT_EQ(names(after), "OAK RIVER ");
}

TEST_F(FacadeServerTest, AUserWithAccessAOrWithoutAnyGrant)
{
    SignIn("boss");
    m_window->OpenDataDatabase("OAK", 50);
    TovnDataSet all;
    m_controller->GetUserFacilities(&all);
    int count = 0;
    for (all.First(); !all.Eof(); all.Next())
        ++count;
    EXPECT_EQ(count, 2); // both facilities in use
    // Without any granted facility every row goes.
    m_window->qryUserFacility().Close();
    m_controller->User().FacilityAccessFlag = "I";
    TovnDataSet none;
    m_controller->GetUserFacilities(&none);
    none.First();
    EXPECT_TRUE(none.Eof());
}

TEST_F(FacadeServerTest, RightsByResourceFromTheMenuRows)
{
    SignIn("jsmith");
    m_window->OpenDataDatabase("OAK", 50);
    m_window->sysGetMenu().Open();
    m_controller->User().UserType = "USR";
    m_controller->User().Security().Clear();
    const uint8_t bytes[] = {0, 192, 127};
    m_controller->User().Security().Write(bytes, sizeof bytes);
    // Found: index 1 (192, full, no flags); the other module's index 2.
    EXPECT_EQ(m_controller->GetSecurity2("STAFF_LIST"), (TSecurityRecord{sfFull}));
    m_window->sysGetMenu().SetFilter("C_MODULE = 40");
    EXPECT_EQ(m_controller->GetSecurity("RESIDENT_LIST"), (TSecurityRecord{sfView, true, true, true, true, true, true}));
    EXPECT_EQ(m_window->sysGetMenu().FieldByName("File_Name")->AsString(), "residents.dll");
    // Unknown: index -1, an ERROR line, no box for either overload.
    EXPECT_EQ(m_controller->GetSecurity2("UNKNOWN"), TSecurityRecord{});
    EXPECT_EQ(m_controller->GetSecurity("UNKNOWN"), TSecurityRecord{});
    EXPECT_NE(ReadText(Log.FileName()).find("Resource \"UNKNOWN\" not found"), std::string::npos);
    // The SYS user has every right.
    m_controller->User().UserType = "SYS";
    EXPECT_EQ(m_controller->GetSecurity("UNKNOWN").Level, sfFull);
    // The window's own look-up shows the box unless quiet.
    EXPECT_TRUE(m_dialogs->Texts().empty());
    m_dialogs->QueueAnswer(mrOk);
    EXPECT_FALSE(m_window->FindResource("staff_list", sbShortcut, false));
    ASSERT_EQ(m_dialogs->Texts().size(), 1u);
    EXPECT_EQ(m_dialogs->Texts().back(), "Resource \"staff_list\" not found");
    EXPECT_TRUE(m_window->FindResource("STAFF_LIST", sbResource, false));
    EXPECT_EQ(m_window->sysGetMenu().FieldByName("File_Name")->AsString(), "staff.so");
}

TEST_F(FacadeServerTest, AModulesMenuRowsAreCopiedOnceWithTheirParents)
{
    SignIn("jsmith");
    m_window->OpenDataDatabase("OAK", 50);
    m_window->sysGetMenu().Open();
    // A resource look-up first: the next module's copy still gets only its rows.
    EXPECT_TRUE(m_window->FindResource2("RESIDENT_LIST", sbResource));
    m_window->DoPrepareMenu(40);
    m_window->DoPrepareMenu(40);
    TDataSet& menu = m_window->dsMenu();
    std::string rows;
    for (menu.First(); !menu.Eof(); menu.Next())
        rows += menu.FieldByName("Index")->AsString() + "<" + menu.FieldByName("ParentIndex")->AsString() + ":" +
                menu.FieldByName("Resource")->AsString() + ":" + menu.FieldByName("Executable")->AsString() + " ";
    EXPECT_EQ(rows, "1<0::False 2<1:STAFF_LIST:True ");
}

TEST_F(FacadeServerTest, RunningAnAppletOfAModuleWithoutEntryRaises)
{
    SignIn("jsmith");
    m_window->OpenDataDatabase("OAK", 50);
    m_window->sysGetMenu().Open();
    EXPECT_EQ(ErrorOf([&] { m_window->RunApplet(-1, "STAFF_LIST", sbResource, 0, "", nullptr, false); }),
              "Cannot find module for specified resource \"40\"");
    EXPECT_EQ(ErrorOf([&] { m_controller->RunAppletExt(-1, "STAFF_LIST", 0, "", nullptr); }),
              "Cannot find module for specified resource \"40\"");
    // No applet is active: no Referer.
    std::string referer = "old";
    m_window->DoOnGetReferer(nullptr, referer);
    EXPECT_EQ(referer, "");
}

TEST(MainWindowServices, AppletInfoOfACachedFile)
{
    TTempFolder dir;
    const std::string path = dir.Path() + "/staff.so";
    WriteText(path, "123456789");
    const std::string text = TfrmOrvaneBrowser4::AppletInfoText("Staff list", "STAFF_LIST", "staff.so", 3, path);
    EXPECT_EQ(text.rfind("Applet Name: Staff list\r\nResource Name: STAFF_LIST\r\nFile Name: staff.so\r\n"
                         "File Version: 3\r\nFile Date: ",
                         0),
              0u);
    // The size, and the check value of "123456789" as Format writes %x.
    EXPECT_NE(text.find("\r\nFile Size: 9\r\nCRC32: CBF43926"), std::string::npos) << text;
    EXPECT_EQ(ErrorOf([&] { TfrmOrvaneBrowser4::AppletInfoText("A", "B", "gone.so", 1, dir.Path() + "/gone.so"); }),
              "File not found: \"" + dir.Path() + "/gone.so\"");
}
