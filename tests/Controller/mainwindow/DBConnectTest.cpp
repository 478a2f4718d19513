// The database choice against the local application server: the automatic
// database sign-in after the server sign-in (one database: no chooser;
// several: the chooser), "Select &Database..." with its question, and the
// user's module groups stored on the server and read back at the next
// database sign-in.
#include "Components/Controller/LibController.h"
#include "Components/Controller/applets/frmGroups.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Controller/ovnController.h"
#include "Components/Controller/signin/frmDBLogin.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "base/KldLogFile.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"
#include "ui/KldModuleView.h"

#include <QLineEdit>
#include <QListWidget>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QTableView>

#include <filesystem>
#include <fstream>
#include <sqlite3.h>

#include <gtest/gtest.h>

namespace {

// NURSE has MAPLE only; MANAGER has MAPLE and CEDAR; ADMIN (SYS) every
// database. MAPLE's preset: "Favorites" (Care) and "Daily Work" (Care,
// Office).
const char* const kDatabaseSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (70, 'PINE CARE', 'Pine Care', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (70, 'MAPLE', 'Maple Court', 70, 'T'), (71, 'CEDAR', 'Cedar House', 70, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, CURRENT_USE) VALUES
  (70, 'NURSE', 70, 70, 'T'), (71, 'HOME MANAGER', 70, 70, 'T'), (72, 'HOME MANAGER', 70, 71, 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (70, 'NURSE', 'nurse', 'Tom Ward', 'USR', 70), (71, 'MANAGER', 'manager', 'Helen Brooks', 'MGR', 70);
UPDATE TBL_USERS SET USER_PASSWORD = 'admin' WHERE USER_ID = 'ADMIN';
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (70, 70), (71, 71), (71, 72);
INSERT INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES (70, 'Care', 'Care'), (71, 'Office', 'Office');
INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (70, 70), (70, 71), (71, 70), (71, 71), (72, 70);
INSERT INTO SRV_MODULE_GROUP_PRESETS (ALIAS, MODULES) VALUES
  ('MAPLE', '"Favorites=Care' || char(13, 10) || '","Daily Work=Care' || char(13, 10) || 'Office' || char(13, 10) || '"');
)";

class DBConnectTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 0;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        m_window->OnCheckKernelUpdate = [] { return false; };
        UseOnlyLocalServer(m_controller->Connections(), m_server.Port(), "Local");
    }
    void TearDown() override
    {
        delete m_controller;
        FreeApplicationMainForm();
        Log.SetEnabled(false);
        ovnSetDataPath("");
        std::filesystem::current_path(m_startFolder);
    }
    // The sign-in as the action runs it (with the automatic database
    // choice of the preferences).
    void LogInAs(const std::string& User, const std::string& Password)
    {
        m_window->ExecuteLoginDialog = [=](const TLoginCallback& callback) {
            return callback(nullptr, User, Password, "Local");
        };
        // The nurse is asked for her shift; these tests leave it unchosen.
        m_window->ExecuteShiftInfo = [](TfrmShiftInfo&) { return int(QDialog::Rejected); };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
    }
    // Answers the chooser, once it shows, with the database whose name
    // holds Search ('' cancels it). The watch outlives the log-off's own
    // message processing, which runs before the chooser opens.
    std::shared_ptr<bool> Choose(const std::string& Search)
    {
        auto shown = std::make_shared<bool>(false);
        auto* timer = new QTimer(m_window);
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, timer, [=] {
            auto* d = dynamic_cast<TfrmDBLogin*>(QApplication::activeModalWidget());
            if (!d && ++*tries < 500)
                return;
            timer->stop();
            timer->deleteLater();
            if (!d)
                return;
            *shown = true;
            for (char c : Search)
                d->TypeChar(static_cast<char32_t>(c));
            if (Search.empty())
                d->SetModalResult(mrCancel);
            else
                d->btnOK()->click();
        });
        timer->start(10);
        return shown;
    }
    std::string ServerSql(const std::string& Database, const std::string& Sql)
    {
        sqlite3* db = nullptr;
        std::string text;
        if (sqlite3_open(Database.c_str(), &db) == SQLITE_OK) {
            sqlite3_busy_timeout(db, 5000);
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, Sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_type(statement, 0) != SQLITE_NULL)
                text.assign(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                            static_cast<size_t>(sqlite3_column_bytes(statement, 0)));
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return text;
    }
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> names;
        TKldAppItems& items = m_window->ModuleList().Items();
        for (int i = 0; i < items.Count(); ++i)
            names.push_back(items.Items(i)->Caption());
        return names;
    }

    std::filesystem::path m_startFolder = std::filesystem::current_path();
    TAppServerProcess m_server{{}, kDatabaseSql};
    TTempFolder m_dir;
    TDialogScript m_dialogs;
    TovnController* m_controller = nullptr;
    TfrmOrvaneBrowser4* m_window = nullptr;
};

} // namespace

TEST_F(DBConnectTest, TheNurseIsSignedInToHerOnlyDatabaseWithoutAChooser)
{
    ASSERT_TRUE(m_controller->Preferences().AutoDBLogin) << "the preference's default";
    auto chooser = WhenModal<TfrmDBLogin>(nullptr);
    LogInAs("nurse", "nurse");
    QApplication::processEvents(); // the watch ends here
    EXPECT_FALSE(*chooser);
    EXPECT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->DataAlias(), "MAPLE");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Care", "Office", "Favorites", "Daily Work"}));
    EXPECT_TRUE(m_dialogs->Texts().empty()) << "no question without a database signed in before";
}

TEST_F(DBConnectTest, WithoutTheAutomaticChoiceTheSignInStopsAtTheServer)
{
    m_controller->Preferences().AutoDBLogin = false;
    LogInAs("nurse", "nurse");
    EXPECT_FALSE(m_window->DBLogged());
}

TEST_F(DBConnectTest, TheManagerChoosesAndSelectDatabaseAsksFirst)
{
    auto chooser = Choose("cedar");
    LogInAs("manager", "manager");
    EXPECT_TRUE(*chooser);
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->DataAlias(), "CEDAR");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Care"})) << "CEDAR's role has Care only, and no preset";

    // Cancel keeps the database and shows no chooser.
    m_dialogs->QueueAnswer(mrCancel);
    auto none = WhenModal<TfrmDBLogin>(nullptr);
    m_window->Action(actSelectDatabase)->trigger();
    QApplication::processEvents(); // the watch ends here, finding no chooser
    EXPECT_EQ(m_dialogs->Texts(), (std::vector<std::string>{"This will close all opened modules. OK?"}));
    EXPECT_FALSE(*none);
    EXPECT_EQ(m_window->DataAlias(), "CEDAR");

    // OK: log-off, then the chooser.
    m_dialogs->QueueAnswer(mrOk);
    auto maple = Choose("maple");
    m_window->DBConnectExec();
    EXPECT_TRUE(*maple);
    EXPECT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->DataAlias(), "MAPLE");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Care", "Office", "Favorites", "Daily Work"}))
        << "each module once";

    // A cancelled choice after the log-off leaves the database signed out.
    m_dialogs->QueueAnswer(mrOk);
    auto cancelled = Choose("");
    EXPECT_THROW(m_window->DBConnectExec(), EAbort);
    EXPECT_TRUE(*cancelled);
    EXPECT_FALSE(m_window->DBLogged());
    EXPECT_TRUE(Rows().empty());
}

TEST_F(DBConnectTest, TheSystemManagerChoosesAmongEveryDatabase)
{
    auto chooser = WhenModal<TfrmDBLogin>([](TfrmDBLogin& d) {
        EXPECT_EQ(d.Grid()->model()->rowCount(), 2);
        d.TypeChar(U'm');
        d.TypeChar(U'a');
        d.btnOK()->click();
    });
    LogInAs("admin", "admin");
    EXPECT_TRUE(*chooser);
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->DataAlias(), "MAPLE");
    ASSERT_NE(m_window->SystemModule(), nullptr);
    EXPECT_EQ(m_window->SystemModule()->Counter, -100);
}

TEST_F(DBConnectTest, TheUsersGroupsAreStoredAndReadBackAtTheNextSignIn)
{
    LogInAs("nurse", "nurse");
    ASSERT_EQ(m_window->DataAlias(), "MAPLE");
    // A group named with quotes, a comma, blanks and an apostrophe, and
    // "Daily Work" hidden; through the editor and "OK".
    auto editor = WhenModal<TfrmGroups>([](TfrmGroups& d) {
        d.btnAddGroup()->click();
        d.edtName()->selectAll();
        Keys::Type(*d.edtName(), "Tom's \"night\", list");
        d.lstAvailable()->setCurrentRow(1);
        d.btnAdd()->click();
        Keys::Enter(*d.edtName());
        d.lstGroups()->item(1)->setCheckState(Qt::Unchecked);
        Keys::Enter(*d.lstGroups());
    });
    m_window->Action(actModuleGroupPreferences)->trigger();
    EXPECT_TRUE(*editor);
    const std::string name = "Tom's \"night\", list";
    EXPECT_EQ(m_window->ModuleItems().Groups().GetValue(name), "Office\r\n");
    // The list shows the new group, not the hidden one.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Care", "Office", "Favorites", name}));

    // The data database holds the text form as bytes.
    const std::string file = m_server.DatabaseFile();
    EXPECT_EQ(ServerSql(file.substr(0, file.size() - 3) + "-maple.db",
                        "SELECT MODULES FROM TBL_USERMODULEGROUP WHERE USER_ID = 'NURSE'"),
              m_window->ModuleItems().Groups().AsText());

    // Next sign-in: the same layout.
    m_window->SetLogged(false);
    LogInAs("nurse", "nurse");
    ASSERT_TRUE(m_window->DBLogged());
    TNamedList& groups = m_window->ModuleItems().Groups();
    EXPECT_EQ(groups.GetNames(), "Favorites\r\nDaily Work\r\n" + name + "\r\n");
    EXPECT_EQ(groups.GetValue(name), "Office\r\n");
    EXPECT_FALSE(groups.GetVisible(1));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Care", "Office", "Favorites", name}));

    // A second store updates the row the first one made (its INSERT fails).
    groups.SetVisible(1, true);
    m_window->ExportModulesLayout();
    m_window->SetLogged(false);
    LogInAs("nurse", "nurse");
    EXPECT_TRUE(m_window->ModuleItems().Groups().GetVisible(1));
}

TEST_F(DBConnectTest, ABrokenUserLayoutGivesNoGroupsButTheModules)
{
    Log.SetEnabled(true);
    LogInAs("nurse", "nurse");
    // The row cut short inside a quote, as a broken store would leave it.
    m_window->ExportModulesLayout();
    {
        std::unique_ptr<TovnOndrelQuery> query(
            LibController::CreateQuery("UPDATE TBL_USERMODULEGROUP SET MODULES = utl_raw.cast_to_raw('\"Mine=Care') "
                                       "WHERE USER_ID = 'NURSE'"));
        query->Execute();
    }
    m_window->SetLogged(false);
    LogInAs("nurse", "nurse");
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->ModuleItems().Groups().Count(), 0);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Care", "Office"}));
    EXPECT_EQ(m_window->ModuleItems().ModuleNames().Count(), 0) << "the layout cleared with its available modules";
}

// The 1684 of a sign-in still pending when the database log-off processes
// the messages shows nothing: the list stays hidden, no module opens.
TEST_F(DBConnectTest, AShowModulesPendingAtTheLogOffShowsNothing)
{
    m_controller->Preferences().AutoDBLogin = false;
    LogInAs("manager", "manager");
    auto chooser = Choose("cedar");
    m_window->SetDBLogged(true); // posts 1684; CEDAR's single module would open
    ASSERT_TRUE(*chooser);
    ASSERT_FALSE(m_window->ModuleList().Visible());
    m_window->SetDBLogged(false);
    EXPECT_FALSE(m_window->ModuleList().Visible());
    EXPECT_EQ(m_window->Desktop().Active(), nullptr);
}
