// The main window's database sign-in against the local application server:
// the role, the modules (the notifications module apart), the "System"
// entry of a "SYS" user, the module groups, the employee, a failed sign-in
// that leaves nothing behind, and the log-off while icons preload.
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/notifications/ShiftInfoForm.h"
#include "Components/Controller/ovnController.h"
#include "Components/Nembra/NembraDBDataSets.h"
#include "base/KldLogFile.h"
#include "platform/Messages.h"
#include "platform/StatusBar.h"
#include "support/AppServerProcess.h"
#include "support/DialogScript.h"
#include "support/EventLoopWait.h"
#include "support/LocalServerConnection.h"
#include "support/TempFolder.h"
#include "ui/KldModuleView.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

// MAPLE: the nurse's database (role NURSE with security bytes and the
// modules Care, Office and NOTIFICATIONS; Archive is not the role's). The
// preset puts Care into "Favorites" and both into "Daily Work"; the data
// database's seed has an employee row for NURSE, none for CARER.
const char* const kDatabaseSql = R"(
INSERT INTO TBL_ENTERPRISES (COUNTER, ENTERPRISE, DESCRIPTION, CURRENT_USE) VALUES (60, 'PINE CARE', 'Pine Care', 'T');
INSERT INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, CURRENT_USE) VALUES
  (60, 'MAPLE', 'Maple Court', 60, 'T');
INSERT INTO TBL_ROLES (COUNTER, ROLE_ID, C_ENTERPRISE, C_ALIAS, SECURITY, CURRENT_USE) VALUES
  (60, 'NURSE', 60, 60, X'01FF0002', 'T');
INSERT INTO TBL_USERS (COUNTER, USER_ID, USER_PASSWORD, FULL_NAME, USER_TYPE, C_ENTERPRISE) VALUES
  (60, 'NURSE', 'nurse', 'Tom Ward', 'USR', 60), (61, 'CARER', 'carer', 'Cara Lee', 'USR', 60);
UPDATE TBL_USERS SET USER_PASSWORD = 'admin' WHERE USER_ID = 'ADMIN';
INSERT INTO TBL_USERDBACCESS (C_USER, C_ROLE) VALUES (60, 60), (61, 60);
INSERT INTO TBL_RESOURCES (COUNTER, RESOURCE_NAME, FILE_NAME) VALUES
  (600, 'ICN_CARE', 'icn_care.png'), (601, 'ICN_OFFICE', 'icn_office.png'), (602, 'CARE_FORM', 'care_form.so');
INSERT INTO TBL_MODULES (COUNTER, MODULE, DESCRIPTION) VALUES
  (60, 'Care', 'Care'), (61, 'Office', 'Office'), (62, 'NOTIFICATIONS', 'Notifications'), (63, 'Archive', 'Archive');
INSERT INTO SRV_MODULE_RESOURCES (C_MODULE, C_RESOURCE) VALUES (60, 600), (61, 601);
INSERT INTO TBL_ROLEMODULES (C_ROLE, C_MODULE) VALUES (60, 60), (60, 61), (60, 62);
INSERT INTO TBL_MENU (COUNTER, C_MODULE, MENU_LEVEL, SEQUENCE, DESCRIPTION, C_RESOURCE, C_ICON_RESOURCE) VALUES
  (600, 60, 0, 1, 'Care plan', 602, 600);
INSERT INTO SRV_MODULE_GROUP_PRESETS (ALIAS, MODULES) VALUES
  ('MAPLE', '"Favorites=Care' || char(13, 10) || '","Daily Work=Care' || char(13, 10) || 'Office' || char(13, 10) || '"');
)";

class DBLoginTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ovnSetDataPath(m_dir.Path());
        AppBrand = 0;
        m_controller = new TovnController(nullptr);
        m_window = m_controller->Browser();
        m_controller->Preferences().AutoLogin = false;
        m_controller->Preferences().AutoDBLogin = false;
        m_window->OnCheckKernelUpdate = [] { return false; };
        // The seed's NURSE must choose a shift: the dialog is counted and
        // left unanswered.
        m_window->ExecuteShiftInfo = [this](TfrmShiftInfo&) {
            ++m_shiftDialogs;
            return int(QDialog::Rejected);
        };
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
    void LogInAs(const std::string& User, const std::string& Password)
    {
        m_window->ExecuteLoginDialog = [=](const TLoginCallback& callback) {
            return callback(nullptr, User, Password, "Local");
        };
        m_window->UserLogInExec();
        ASSERT_TRUE(m_window->Logged());
    }
    std::vector<std::string> Entries() const
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
    int m_shiftDialogs = 0;
};

} // namespace

TEST_F(DBLoginTest, TheNurseGetsTheRolesModulesGroupsAndEmployee)
{
    LogInAs("nurse", "nurse");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->DataAlias(), "MAPLE");
    EXPECT_TRUE(m_window->dbData().Active());
    EXPECT_EQ(m_window->RoleCounter(), 60);
    EXPECT_EQ(m_window->Role(), "NURSE");
    TMemoryStream& security = m_controller->User().Security();
    ASSERT_EQ(security.Size(), 4);
    const auto* bytes = static_cast<const unsigned char*>(security.Memory());
    EXPECT_EQ(std::vector<int>(bytes, bytes + 4), (std::vector<int>{0x01, 0xFF, 0x00, 0x02}));
    EXPECT_EQ(m_window->EnterpriseCounter(), 60);

    // NOTIFICATIONS is the notifications module, not a listed one; Archive
    // is not the role's; no "System" for a USR user. Without a notification
    // center in the program the module then counts as absent.
    EXPECT_EQ(m_window->NotificationsModule(), -1);
    EXPECT_EQ(m_window->SystemModule(), nullptr);
    EXPECT_EQ(m_window->ModuleItems().ModuleNames().Text(), "Care\r\nOffice\r\n");
    // Both groups hold more than two characters of members: a row each,
    // after the modules.
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Care", "Office", "Favorites", "Daily Work"}));
    EXPECT_EQ(m_window->ModuleItems().Groups().GetNames(), "Favorites\r\nDaily Work\r\n");
    EXPECT_FALSE(m_window->ModuleItems().Groups().PresetText.empty());

    // The data database's seed has NURSE as an employee of facility 1.
    EXPECT_GT(m_window->EmployeeCounter(), 0);
    EXPECT_EQ(m_window->FacilityCode(), "OAK");
    EXPECT_EQ(m_window->FacilityName(), "Oak Grove Care Home");
    EXPECT_EQ(m_window->EmployeeName(), "Tom Ward");
    EXPECT_TRUE(m_window->ShiftSelectionEnabled()) << "brand 0 with an employee";
    EXPECT_EQ(m_shiftDialogs, 1) << "the seed's NURSE must choose a shift";

    // 1684 shows the list.
    EXPECT_TRUE(RunEventsUntil([&] { return m_window->ModuleList().Visible(); }));

    // Log-off of the database: nothing is left, and signing in again lists
    // every module once.
    m_window->SetDBLogged(false);
    EXPECT_FALSE(m_window->dbData().Active());
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(m_window->EnterpriseCounter(), 0);
    m_window->SetDBLogged(true);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Care", "Office", "Favorites", "Daily Work"}));
}

TEST_F(DBLoginTest, AUserWithoutEmployeeRowKeepsTheFullNameAndNoShift)
{
    LogInAs("carer", "carer");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    EXPECT_EQ(m_window->EmployeeCounter(), 0);
    EXPECT_EQ(m_window->EmployeeName(), "Cara Lee");
    EXPECT_EQ(m_window->FacilityCode(), "");
    EXPECT_FALSE(m_window->ShiftSelectionEnabled());
}

TEST_F(DBLoginTest, TheSystemManagerGetsEveryModuleAndTheSystemEntry)
{
    LogInAs("admin", "admin");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    ASSERT_NE(m_window->SystemModule(), nullptr);
    EXPECT_EQ(m_window->SystemModule()->Counter, -100);
    const std::string names = m_window->ModuleItems().ModuleNames().Text();
    EXPECT_NE(names.find("Archive"), std::string::npos) << "every live module for SYS";
    EXPECT_NE(names.find("System"), std::string::npos);
    EXPECT_EQ(names.find("NOTIFICATIONS"), std::string::npos);
    EXPECT_EQ(m_window->EmployeeName(), "System Manager") << "the seed's employee of ADMIN";
    EXPECT_EQ(m_window->FacilityCode(), "OAK");
}

TEST_F(DBLoginTest, AFailedSignInLeavesTheDatabaseSignedOutAndNothingBehind)
{
    LogInAs("nurse", "nurse");
    // The chosen row names a database the server does not know.
    TovnDataSet& list = m_window->dsDBList();
    list.First();
    list.Edit();
    list.FieldByName("Database")->SetAsString("NOWHERE");
    list.Post();
    EXPECT_ANY_THROW(m_window->SetDBLogged(true));
    EXPECT_FALSE(m_window->DBLogged());
    EXPECT_FALSE(m_window->dbData().Active());
    EXPECT_EQ(m_window->DataAlias(), "");
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(m_window->ProgressBar().Position(), 0);
    // A 1684 of a signed-out database shows nothing.
    SendMessage(m_window->Handle(), WM_SHOWMODULES, 0, 0);
    EXPECT_FALSE(m_window->ModuleList().Visible());

    list.Edit();
    list.FieldByName("Database")->SetAsString("MAPLE");
    list.Post();
    m_window->SetDBLogged(true);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Care", "Office", "Favorites", "Daily Work"}));
}

TEST_F(DBLoginTest, LogOffWhileIconsPreload)
{
    LogInAs("nurse", "nurse");
    m_window->SetDBLogged(true);
    ASSERT_TRUE(m_window->DBLogged());
    m_window->SetLogged(false);
    EXPECT_FALSE(m_window->DBLogged());
    EXPECT_FALSE(m_window->conMAIN().Active());
}
