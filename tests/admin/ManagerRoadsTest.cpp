// The administration forms' roads for a manager (OAKMGR, signed in as
// himself) against the local application server, which keeps a manager to
// the users of his enterprise: the user editor adds, edits and deletes a
// user he manages, the role dialog and the rights editor keep a role of his
// enterprise, and the database access window overrides a role for a user.

#include "AdminServerTesting.h"

#include "admin/frmRoleData.h"
#include "admin/frmSecurity.h"
#include "admin/frmUserDBAccess.h"
#include "admin/frmUserData.h"
#include "admin/frmUsers.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "support/DialogScript.h"
#include "ui/Lookup.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class ManagerRoadsTest : public ::testing::Test
{
  protected:
    std::string DB() const { return m_server.DatabaseFile(); }
    long long Count(const std::string& Sql) const { return ServerNumber(DB(), "SELECT COUNT(*) " + Sql); }
    TAppServerProcess m_server{{}, kAdminSql};
    TAdminSession m_manager{m_server, "OAKMGR", "mgr", "MRM"};
};

} // namespace

TEST_F(ManagerRoadsTest, TheUserEditorAddsEditsAndDeletesAUserHeManages)
{
    TfrmUsers users(m_manager.Context(OakManager()));
    users.FormShow();
    ASSERT_TRUE(users.tblUser->Active());
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    TDataSet& data = *users.tblUser;
    TDialogScript boxes;

    // Added: his enterprise, type USR, the password in upper case.
    editor.AddClick();
    EXPECT_EQ(data.FieldByName("C_ENTERPRISE")->AsInteger(), 20);
    data.FieldByName("USER_ID")->SetAsString("HELPER");
    data.FieldByName("LAST_NAME")->SetAsString("Help");
    data.FieldByName("FIRST_NAME")->SetAsString("Hal");
    editor.edtPassword->SetText("helper1");
    editor.OKClick();
    EXPECT_TRUE(boxes->Texts().empty()) << boxes->Texts().front();
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(
        ServerText(DB(),
                   "SELECT USER_TYPE || ' ' || C_ENTERPRISE || ' ' || USER_PASSWORD || ' ' || CREATED_BY "
                   "FROM TBL_USERS WHERE USER_ID = 'HELPER'"),
        "USR 20 HELPER1 OAKMGR");

    // Edited: the password box holds the stored password, so a change of
    // the names alone passes the password rules untouched.
    ASSERT_TRUE(data.Locate("USER_ID", Variant("OAKNURSE"), {}));
    EXPECT_EQ(editor.edtPassword->Text(), "nurse");
    editor.EditClick();
    ASSERT_EQ(data.State(), dsEdit);
    data.FieldByName("FIRST_NAME")->SetAsString("Norah");
    editor.OKClick();
    EXPECT_TRUE(boxes->Texts().empty()) << boxes->Texts().front();
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(ServerText(DB(), "SELECT FIRST_NAME || ' ' || USER_PASSWORD FROM TBL_USERS WHERE COUNTER = 21"),
              "Norah nurse");

    // Deleted with his override role, its modules, his access, his
    // facility and his mail.
    ASSERT_TRUE(data.Locate("USER_ID", Variant("GONE"), {}));
    boxes->QueueAnswer(mrOk);
    editor.DeleteClick();
    EXPECT_EQ(boxes->Texts(), (std::vector<std::string>{"Selected user is about to be deleted. Continue?"}));
    EXPECT_EQ(Count("FROM TBL_USERS WHERE COUNTER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE C_USER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLEMODULES WHERE C_ROLE = 24"), 0);
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_MAIL WHERE C_USER_TO = 26 OR C_USER_FROM = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_MAIL"), 1) << "STUCK's mail stays";
}

TEST_F(ManagerRoadsTest, TheRoleDialogAndTheRightsEditorKeepARoleOfHisEnterprise)
{
    TfrmUsers users(m_manager.Context(OakManager()));
    users.FormShow();
    bool allow = true;
    users.PageChanging(allow);
    ASSERT_TRUE(users.tblRole->Active());
    TfrmRoleData roles(users.Context(), &users);
    roles.SetDataSource(users.dsRole.get());
    roles.FormShow();
    TDataSet& data = *users.tblRole;
    TDialogScript boxes;

    roles.AddClick();
    EXPECT_EQ(data.FieldByName("C_ENTERPRISE")->AsInteger(), 20);
    data.FieldByName("ROLE_ID")->SetAsString("AIDE");
    data.FieldByName("C_ALIAS")->SetAsInteger(20);
    roles.OKClick();
    ASSERT_EQ(data.State(), dsBrowse);
    const long long aide = ServerNumber(DB(), "SELECT COUNTER FROM TBL_ROLES WHERE ROLE_ID = 'AIDE'");
    EXPECT_GT(aide, 100);
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_ENTERPRISE FROM TBL_ROLES WHERE ROLE_ID = 'AIDE'"), 20);

    // Its rights, no more than his own: view on "Oak One" and on the item
    // under it.
    TfrmSecurity security(m_manager.Context(OakManager()));
    security.RoleCounter = std::to_string(aide);
    security.EnterpriseCounter = "20";
    security.AliasCounter = "20";
    security.FormShow();
    ASSERT_TRUE(security.Editable());
    const auto items = security.tvMenu->findItems("Oak One", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(items.size(), 1);
    security.tvMenu->setCurrentItem(items.first());
    security.FormKey(Qt::Key_F2);
    EXPECT_TRUE(security.rbLevel[1]->isChecked());
    security.Save();
    EXPECT_EQ(security.Tag, 100);
    EXPECT_EQ(Hex(ServerText(DB(), "SELECT SECURITY FROM TBL_ROLES WHERE COUNTER = " + std::to_string(aide))),
              "004040");
    EXPECT_EQ(
        ServerNumber(DB(), "SELECT C_MODULE FROM TBL_ROLEMODULES WHERE C_ROLE = " + std::to_string(aide)),
        30);

    // Deleted with its modules.
    users.tblRole->Close();
    users.tblRole->Open();
    ASSERT_TRUE(data.Locate("COUNTER", Variant(static_cast<int32_t>(aide)), {}));
    boxes->QueueAnswer(mrOk);
    roles.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE ROLE_ID = 'AIDE'"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLEMODULES WHERE C_ROLE = " + std::to_string(aide)), 0);
}

TEST_F(ManagerRoadsTest, TheDatabaseAccessWindowGivesAndOverridesARoleOfAUserHeManages)
{
    TfrmUsers users(m_manager.Context(OakManager()));
    users.FormShow();
    ASSERT_TRUE(users.tblUser->Locate("USER_ID", Variant("OAKAIDE"), {}));
    TfrmUserDBAccess access(users.Context(), &users);
    access.SetUserTable(users.tblUser.get());
    access.FormShow();
    PickRole("NURSE");
    access.AddClick();
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_ROLE FROM TBL_USERDBACCESS WHERE C_USER = 22"), 20);

    access.EditRights = [](const std::string& Role, const std::string&, const std::string& Alias,
                           const std::string&) { return !Role.empty() && Alias == "20"; };
    access.OverrideClick();
    const long long copy = ServerNumber(DB(), "SELECT C_ROLE FROM TBL_USERDBACCESS WHERE C_USER = 22");
    EXPECT_NE(copy, 20);
    EXPECT_EQ(ServerText(DB(), "SELECT PARENT_ROLE || ' ' || C_USER || ' ' || C_ENTERPRISE FROM TBL_ROLES "
                               "WHERE COUNTER = " +
                                   std::to_string(copy)),
              "20 22 20");

    // Removing the overridden access removes the private role.
    TDialogScript boxes;
    boxes->QueueAnswer(mrYes);
    access.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 22"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE COUNTER = " + std::to_string(copy)), 0);
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE COUNTER = 20"), 1);
}
