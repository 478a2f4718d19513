// The users window, the user editor and the access windows against the
// local application server.

#include "AdminServerTesting.h"

#include "admin/frmUserData.h"
#include "admin/frmUserFacility.h"
#include "admin/UserDataRules.h"
#include "admin/frmUsers.h"
#include "platform/ComCtrls.h"
#include "platform/DBStockControls.h"
#include "platform/DBCtrls.h"
#include "platform/DataSet.h"
#include "platform/ReportList.h"
#include "support/DialogScript.h"
#include "support/GuiProbe.h"
#include "ui/Lookup.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

class UsersFormTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { s_server = new TAppServerProcess({}, kAdminSql); }
    static void TearDownTestSuite()
    {
        delete s_server;
        s_server = nullptr;
    }
    std::string DB() const { return s_server->DatabaseFile(); }
    long long Count(const std::string& Sql) const { return ServerNumber(DB(), "SELECT COUNT(*) " + Sql); }
    static TAppServerProcess* s_server;
};
TAppServerProcess* UsersFormTest::s_server = nullptr;

std::set<std::string> UserIDs(TDataSet& Users)
{
    std::set<std::string> ids;
    for (Users.First(); !Users.Eof(); Users.Next())
        ids.insert(Users.FieldByName("USER_ID")->AsString());
    Users.First();
    return ids;
}

bool Locate(TDataSet& Data, const std::string& Field, const Variant& Value)
{
    return Data.Locate(Field, Value, {});
}

} // namespace

TEST_F(UsersFormTest, ViewingShowsTheRecordInTheStylesGreyText)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFG");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "OAKMGR"));
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.resize(640, 330);
    editor.show();
    editor.FormShow();
    for (TDBEdit* edit : {editor.edtID, editor.edtLast, editor.cboEnterprise}) {
        SCOPED_TRACE(edit->objectName().toStdString());
        ASSERT_FALSE(edit->Text().empty());
        EXPECT_FALSE(edit->isEnabled()) << "viewing: read-only";
        EXPECT_EQ(edit->palette().color(QPalette::Disabled, QPalette::Text).name().toStdString(),
                  QApplication::palette(edit).color(QPalette::Disabled, QPalette::Text).name().toStdString());
        EXPECT_EQ(DarkPixels(*edit), 0) << "no black text on a read-only edit";
    }
    // Editing shows the text black again.
    editor.EditClick();
    ASSERT_TRUE(editor.edtLast->isEnabled());
    EXPECT_GT(DarkPixels(*editor.edtLast), 0);
    editor.CloseClick();
    EXPECT_EQ(users.tblUser->State(), dsBrowse);
}

TEST_F(UsersFormTest, ListsPerAdministratorAndChoice)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFL");
    TfrmUsers sys(session.Context(SysAdmin()));
    sys.FormShow();
    ASSERT_TRUE(sys.tblUser->Active());
    std::set<std::string> all = UserIDs(*sys.tblUser);
    EXPECT_FALSE(all.count("$SYSTEM")); // COUNTER 1 is never listed
    EXPECT_TRUE(all.count("ADMIN"));
    EXPECT_TRUE(all.count("ELMUSER"));
    EXPECT_TRUE(sys.btnFilter->isEnabled());
    EXPECT_TRUE(sys.tsRoles->TabVisible());

    // "Facility" without a value: nothing listed and no filter.
    sys.cboListBy->setCurrentIndex(lbFacility);
    EXPECT_FALSE(sys.tblUser->Active());
    EXPECT_FALSE(sys.btnFilter->isEnabled());
    EXPECT_FALSE(sys.btnDetails->isEnabled());
    sys.edtValue->Tag = 21;
    sys.edtValue->SetText("OAK SOUTH");
    ASSERT_TRUE(sys.tblUser->Active());
    // All-facility users, the admin himself, and those granted OAK SOUTH.
    EXPECT_EQ(UserIDs(*sys.tblUser), (std::set<std::string>{"ADMIN", "OAKAIDE", "OTHERMGR", "FLAGGED"}));
    EXPECT_TRUE(sys.btnFilter->isEnabled());

    sys.cboListBy->setCurrentIndex(lbAlias);
    sys.edtValue->Tag = 21; // PINE
    sys.edtValue->SetText("PINE");
    EXPECT_EQ(UserIDs(*sys.tblUser), (std::set<std::string>{"ADMIN", "GONE"}));

    // A manager with flag "I": his enterprise, no SYS, the manager scope.
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "UFM");
    TfrmUsers mgr(manager.Context(OakManager()));
    mgr.FormShow();
    EXPECT_EQ(UserIDs(*mgr.tblUser),
              (std::set<std::string>{"OAKMGR", "OAKNURSE", "OAKAIDE", "STUCK", "GONE", "FLAGGED"}));
}

TEST_F(UsersFormTest, ButtonStatesFollowTheRow)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFB");
    TfrmUsers sys(session.Context(SysAdmin()));
    sys.FormShow();
    ASSERT_TRUE(Locate(*sys.tblUser, "USER_ID", "ADMIN"));
    EXPECT_FALSE(sys.btnDBAccess->isEnabled()); // never on a SYS row
    EXPECT_FALSE(sys.btnFacility->isEnabled()); // flag "A"
    ASSERT_TRUE(Locate(*sys.tblUser, "USER_ID", "OAKNURSE"));
    EXPECT_TRUE(sys.btnDBAccess->isEnabled());
    EXPECT_TRUE(sys.btnFacility->isEnabled());
    EXPECT_EQ(sys.RememberedEnterprise(), 20);

    // Without the right to define roles: no Roles tab, the roles value box does nothing.
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "UFR");
    TAdministrator noRoles = OakManager();
    noRoles.DefineRole = "F";
    noRoles.DefineFacilityAccess = "F";
    TfrmUsers mgr(manager.Context(noRoles));
    mgr.FormShow();
    EXPECT_FALSE(mgr.tsRoles->TabVisible());
    EXPECT_FALSE(mgr.btnFacility->isEnabled());
    mgr.edtRoleValue->Tag = 20;
    mgr.edtRoleValue->SetText("OAK CARE");
    EXPECT_FALSE(mgr.tblRole->Active());
    bool allow = true;
    mgr.PageChanging(allow);
    EXPECT_FALSE(mgr.tblRole->Active());
}

TEST_F(UsersFormTest, AddingAUserStoresHisRowAndUpperCasesThePassword)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFA");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    users.cboListBy->setCurrentIndex(lbEnterprise);
    users.edtValue->Tag = 20;
    users.edtValue->SetText("OAK CARE");
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    EXPECT_FALSE(editor.btnOK->isEnabled());
    EXPECT_FALSE(editor.edtID->isEnabled());
    editor.AddClick();
    TDataSet& data = *users.tblUser;
    // The enterprise of the list is preset for a SYS admin listing by enterprise.
    EXPECT_EQ(data.FieldByName("C_ENTERPRISE")->AsInteger(), 20);
    EXPECT_EQ(data.FieldByName("USER_TYPE")->AsString(), "USR");
    EXPECT_TRUE(editor.btnOK->isEnabled());
    EXPECT_EQ(editor.btnClose->text(), "&Cancel");
    data.FieldByName("USER_ID")->SetAsString("NEWBIE");
    data.FieldByName("LAST_NAME")->SetAsString("Bie");
    data.FieldByName("FIRST_NAME")->SetAsString("New");
    data.FieldByName("EMAIL")->SetAsString("new.bie@oak-care.org");
    editor.edtPassword->SetText("secret1");
    TDialogScript boxes;
    editor.OKClick();
    EXPECT_TRUE(boxes->Texts().empty());
    EXPECT_EQ(data.State(), dsBrowse);
    const long long counter = ServerNumber(DB(), "SELECT COUNTER FROM TBL_USERS WHERE USER_ID = 'NEWBIE'");
    EXPECT_GT(counter, 100);
    EXPECT_EQ(ServerText(DB(), "SELECT USER_PASSWORD FROM TBL_USERS WHERE USER_ID = 'NEWBIE'"), "SECRET1");
    EXPECT_EQ(ServerText(DB(), "SELECT CREATED_BY FROM TBL_USERS WHERE USER_ID = 'NEWBIE'"), "ADMIN");
    EXPECT_EQ(ServerText(DB(), "SELECT FACILITY_ACCESS_FLAG FROM TBL_USERS WHERE USER_ID = 'NEWBIE'"), "I");

    // A bad address is refused with its warning and the row stays in insert state.
    editor.AddClick();
    data.FieldByName("USER_ID")->SetAsString("BADMAIL");
    data.FieldByName("EMAIL")->SetAsString("bad@mail");
    boxes->QueueAnswer(mrOk);
    editor.OKClick();
    EXPECT_EQ(boxes->Texts().back(), "EMail address is not valid (domain suffix)");
    EXPECT_EQ(data.State(), dsInsert);
    editor.CloseClick();
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(Count("FROM TBL_USERS WHERE USER_ID = 'BADMAIL'"), 0);
}

TEST_F(UsersFormTest, ChangingTheFacilityFlagAsksAndARefusedSaveKeepsTheGrants)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFF");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "FLAGGED"));
    TDataSet& data = *users.tblUser;
    TDialogScript boxes;
    editor.EditClick();
    data.FieldByName("FACILITY_ACCESS_FLAG")->SetAsString("A");
    // The question is answered, then a later check (a blank password) refuses.
    editor.edtPassword->SetText("");
    boxes->QueueAnswer(mrOk);
    boxes->QueueAnswer(mrOk);
    editor.OKClick();
    ASSERT_EQ(boxes->Texts().size(), 2u);
    EXPECT_EQ(boxes->Texts()[0], FacilityFlagQuestion);
    EXPECT_EQ(data.State(), dsEdit);
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 27"), 2);
    // Cancelling the question keeps them too.
    editor.edtPassword->SetText("flagged");
    boxes->QueueAnswer(mrCancel);
    editor.OKClick();
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 27"), 2);
    // Accepted: the grants go with the post.
    boxes->QueueAnswer(mrOk);
    editor.OKClick();
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 27"), 0);
    EXPECT_EQ(ServerText(DB(), "SELECT FACILITY_ACCESS_FLAG FROM TBL_USERS WHERE COUNTER = 27"), "A");
    // "A" back to "I" asks nothing.
    editor.EditClick();
    data.FieldByName("FACILITY_ACCESS_FLAG")->SetAsString("I");
    const size_t asked = boxes->Texts().size();
    editor.OKClick();
    EXPECT_EQ(boxes->Texts().size(), asked);
    EXPECT_EQ(ServerText(DB(), "SELECT FACILITY_ACCESS_FLAG FROM TBL_USERS WHERE COUNTER = 27"), "I");
}

// The administrator removes an address by emptying its edit (or leaving
// blanks in it): the user's EMAIL becomes NULL, which is not checked.
TEST_F(UsersFormTest, AnEmptiedEMailAddressIsStoredAsNull)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFE");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    editor.show();
    editor.activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "LONER"));
    TDataSet& data = *users.tblUser;
    TDialogScript boxes;
    const std::string stored = "SELECT EMAIL FROM TBL_USERS WHERE USER_ID = 'LONER'";
    // Edit, keys into the e-mail edit, then a click on "&OK".
    const auto save = [&](const std::function<void(QWidget&)>& Keys) {
        editor.EditClick();
        ASSERT_EQ(data.State(), dsEdit);
        editor.edtEMail->SetFocus();
        QApplication::processEvents();
        Keys(*editor.edtEMail);
        // The edit writes its text on leaving it for the button.
        Input::FocusingClick(*editor.btnOK, 5, 5);
        QApplication::processEvents();
    };
    const auto typeAddress = [](QWidget& w) {
        Keys::SelectAll(w);
        Keys::Type(w, "lou@oak-care.org");
    };

    struct Case
    {
        const char* Desc;
        std::function<void(QWidget&)> Keys;
    };
    const Case cases[] = {
        {"select all, Delete",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Press(w, Qt::Key_Delete);
         }},
        {"blanks only",
         [](QWidget& w) {
             Keys::SelectAll(w);
             Keys::Type(w, "   ");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        save(typeAddress);
        ASSERT_TRUE(boxes->Texts().empty()) << boxes->Texts().back();
        ASSERT_EQ(ServerText(DB(), stored), "lou@oak-care.org");
        save(c.Keys);
        EXPECT_TRUE(boxes->Texts().empty()) << "refused: " << boxes->Texts().back();
        EXPECT_EQ(data.State(), dsBrowse);
        EXPECT_TRUE(data.FieldByName("EMAIL")->IsNull());
        EXPECT_EQ(ServerText(DB(), stored), "<null>");
        if (data.State() != dsBrowse)
            editor.CloseClick();
    }
}

TEST_F(UsersFormTest, DeletingAUserCascadesInOneTransaction)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFD");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    TDialogScript boxes;

    // The row delete fails (a trigger keeps STUCK): nothing of his goes.
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "STUCK"));
    boxes->QueueAnswer(mrOk);
    EXPECT_ANY_THROW(editor.DeleteClick());
    EXPECT_EQ(Count("FROM TBL_USERS WHERE COUNTER = 25"), 1);
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 25"), 1);
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 25"), 1);
    EXPECT_EQ(Count("FROM TBL_MAIL WHERE C_USER_TO = 25"), 1);

    // GONE with an override role, its modules, access, facility and mail.
    users.tblUser->Close();
    users.tblUser->Open();
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "GONE"));
    boxes->QueueAnswer(mrOk);
    editor.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_USERS WHERE COUNTER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE C_USER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLEMODULES WHERE C_ROLE = 24"), 0);
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 26"), 0);
    EXPECT_EQ(Count("FROM TBL_MAIL WHERE C_USER_TO = 26 OR C_USER_FROM = 26"), 0);

    // Nobody deletes the main system manager.
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "ADMIN"));
    boxes->QueueAnswer(mrOk);
    editor.DeleteClick();
    EXPECT_EQ(boxes->Texts().back(), "Main System Manager can not be deleted");
}

TEST_F(UsersFormTest, AManagerCannotChooseSysNorChangeTheEnterprise)
{
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "UFT");
    TfrmUsers users(manager.Context(OakManager()));
    users.FormShow();
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    EXPECT_EQ(editor.cboType->findText("SYS"), -1);
    EXPECT_FALSE(editor.btnPassword->isEnabled());
    editor.AddClick();
    EXPECT_FALSE(editor.btnEnterprise->isEnabled());
    EXPECT_FALSE(editor.cboFAF->isEnabled()); // his own flag is "I"
    EXPECT_TRUE(editor.edtID->isEnabled());
    EXPECT_EQ(users.tblUser->FieldByName("C_ENTERPRISE")->AsInteger(), 20);
    editor.CloseClick();
    // Another admin's manager cannot be modified.
    ASSERT_TRUE(Locate(*users.tblUser, "USER_ID", "OAKMGR"));
}

TEST_F(UsersFormTest, FacilityAccessListsAndRewritesTheListedFacilities)
{
    TAdminSession session(*s_server, "ADMIN", "", "UFX");
    TfrmUserFacility facility(session.Context(SysAdmin()));
    facility.UserCounter = 21; // OAKNURSE: OAK NORTH as USR
    facility.Enterprise = 20;
    facility.IsManager = false;
    facility.FormShow();
    ASSERT_EQ(facility.lvFacilities->Count(), 2);
    int north = facility.lvFacilities->Data(0) == 20 ? 0 : 1;
    EXPECT_EQ(facility.lvFacilities->Caption(north), "OAK NORTH [North wing]");
    EXPECT_EQ(facility.lvFacilities->StateIndex(north), 2);
    EXPECT_EQ(facility.lvFacilities->StateIndex(1 - north), 1);
    EXPECT_EQ(facility.lvFacilities->SubState(north, 1), 0); // not a manager: no "Mgr" tick
    facility.lvFacilities->SetStateIndex(1 - north, 2);
    facility.OKClick();
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 21 AND ACCESS_TYPE = 'USR'"), 2);

    // A manager with flag "I" sees and rewrites only what he manages.
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "UFY");
    TfrmUserFacility scoped(manager.Context(OakManager()));
    scoped.UserCounter = 21;
    scoped.Enterprise = 20;
    scoped.IsManager = true;
    scoped.FormShow();
    ASSERT_EQ(scoped.lvFacilities->Count(), 1);
    EXPECT_EQ(scoped.lvFacilities->Data(0), 20);
    EXPECT_EQ(scoped.lvFacilities->SubState(0, 1), 1);
    scoped.lvFacilities->SetSubState(0, 1, 2);
    scoped.OKClick();
    EXPECT_EQ(ServerText(DB(), "SELECT ACCESS_TYPE FROM TBL_USERFACILITYACCESS WHERE C_USER = 21 AND C_FACILITY = 20"),
              "MGR");
    EXPECT_EQ(Count("FROM TBL_USERFACILITYACCESS WHERE C_USER = 21 AND C_FACILITY = 21"), 1);
}
