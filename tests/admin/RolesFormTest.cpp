// The role dialog, the rights editor and the database access window
// against the local application server; the console and the system page.

#include "AdminServerTesting.h"

#include "Components/Controller/ovnController.h"
#include "admin/frmAdmin.h"
#include "admin/frmEnterprises.h"
#include "admin/frmConnections.h"
#include "admin/frmNETHealth.h"
#include "admin/frmRoleData.h"
#include "admin/frmSecurity.h"
#include "admin/frmUserDBAccess.h"
#include "admin/frmUserData.h"
#include "platform/DBStockControls.h"
#include "admin/frmUsers.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/DataSet.h"
#include "support/DialogScript.h"
#include "support/TempFolder.h"
#include "ui/KldAppletView.h"
#include "ui/Lookup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class RolesFormTest : public ::testing::Test
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
TAppServerProcess* RolesFormTest::s_server = nullptr;

QTreeWidgetItem* FindItem(QTreeWidget* Tree, const QString& Caption)
{
    const auto items = Tree->findItems(Caption, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.first();
}

} // namespace

TEST_F(RolesFormTest, RightsAreSavedWithTheRoleModulesAndReadBack)
{
    TAdminSession session(*s_server, "ADMIN", "", "RFS");
    TfrmSecurity security(session.Context(SysAdmin()));
    security.RoleCounter = "22"; // CLERK on PINE, no rights yet
    security.EnterpriseCounter = "20";
    security.AliasCounter = "21";
    security.FormShow();
    EXPECT_TRUE(security.Editable());
    EXPECT_FALSE(security.btnOK->isEnabled());
    EXPECT_FALSE(security.Legend->isVisibleTo(&security));
    QTreeWidgetItem* two = FindItem(security.tvMenu, "Oak Two Item");
    QTreeWidgetItem* one = FindItem(security.tvMenu, "Oak One"); // the resource's description
    ASSERT_TRUE(one && two);
    EXPECT_EQ(two->parent(), one);
    security.tvMenu->setCurrentItem(two);
    EXPECT_EQ(security.chkAttr[1]->text(), "Export");
    EXPECT_EQ(security.chkAttr[0]->text(), "N/A");
    // Under "Oak One" without access nothing can be raised.
    EXPECT_FALSE(security.rbLevel[1]->isEnabled());

    security.tvMenu->setCurrentItem(one);
    security.rbLevel[3]->click(); // full on Oak One and its descendant
    EXPECT_TRUE(security.btnOK->isEnabled());
    security.tvMenu->setCurrentItem(two);
    EXPECT_TRUE(security.rbLevel[1]->isEnabled());
    security.chkAttr[1]->click(); // Export on Oak Two
    security.FormKey(Qt::Key_F2);  // view only on Oak Two
    EXPECT_TRUE(security.rbLevel[1]->isChecked());
    security.Save();
    EXPECT_EQ(security.Tag, 100);
    EXPECT_EQ(Hex(ServerText(DB(), "SELECT SECURITY FROM TBL_ROLES WHERE COUNTER = 22")), "00C050");
    EXPECT_EQ(Count("FROM TBL_ROLEMODULES WHERE C_ROLE = 22"), 1);
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_MODULE FROM TBL_ROLEMODULES WHERE C_ROLE = 22"), 30);

    // Read back.
    TfrmSecurity again(session.Context(SysAdmin()));
    again.RoleCounter = "22";
    again.AliasCounter = "21";
    again.FormShow();
    again.tvMenu->setCurrentItem(FindItem(again.tvMenu, "Oak Two Item"));
    EXPECT_TRUE(again.rbLevel[1]->isChecked());
    EXPECT_TRUE(again.chkAttr[1]->isChecked());

    // No access at the top turns the descendants off, keeping attributes.
    again.tvMenu->setCurrentItem(FindItem(again.tvMenu, "Oak One"));
    again.FormKey(Qt::Key_F1);
    EXPECT_EQ(Hex(again.RoleRights()), "000010");
    again.Save();
    EXPECT_EQ(Count("FROM TBL_ROLEMODULES WHERE C_ROLE = 22"), 0);
}

TEST_F(RolesFormTest, ManagersSeeOnlyWhatTheyMayHandOn)
{
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "RFM");
    // His own role: shown, not editable.
    TfrmSecurity own(manager.Context(OakManager()));
    own.RoleCounter = "20";
    own.AliasCounter = "20";
    own.FormShow();
    EXPECT_FALSE(own.Editable());
    EXPECT_FALSE(own.grpAttributes->isEnabled());
    // NURSE gives index 1 view, index 2 full; SENIOR asks more than he holds.
    TfrmSecurity senior(manager.Context(OakManager()));
    senior.RoleCounter = "21";
    senior.AliasCounter = "20";
    senior.FormShow();
    EXPECT_TRUE(senior.Editable());
    EXPECT_EQ(FindItem(senior.tvMenu, "Oak One"), nullptr); // SENIOR holds full there, he view
    // On PINE he holds no role: an empty tree.
    TfrmSecurity pine(manager.Context(OakManager()));
    pine.RoleCounter = "22";
    pine.AliasCounter = "21";
    pine.FormShow();
    EXPECT_EQ(pine.tvMenu->topLevelItemCount(), 0);
    EXPECT_FALSE(pine.grpAttributes->isEnabled());
}

TEST_F(RolesFormTest, IconsAreLoadedByKindAndTheOthersSkipped)
{
    TTempFolder folder;
    QImage png(20, 20, QImage::Format_ARGB32);
    png.fill(Qt::red);
    ASSERT_TRUE(png.save(QString::fromStdString(folder / "icon.png"), "PNG"));
    QImage bmp(20, 20, QImage::Format_RGB32);
    bmp.fill(Qt::green);
    ASSERT_TRUE(bmp.save(QString::fromStdString(folder / "icon.bmp"), "BMP"));
    QFile text(QString::fromStdString(folder / "icon.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();

    TAdminSession session(*s_server, "ADMIN", "", "RFI");
    TAdminContext context = session.Context(SysAdmin());
    std::vector<std::string> asked;
    context.ResourceFile = [&](const std::string& Resource, const std::string& FileName) {
        asked.push_back(Resource + ":" + FileName);
        return std::string(folder / FileName);
    };
    TfrmSecurity security(context);
    security.RoleCounter = "22";
    security.AliasCounter = "21";
    security.FormShow();
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(security.IconCount(), 2);
    EXPECT_FALSE(FindItem(security.tvMenu, "Oak")->icon(0).isNull());
    EXPECT_TRUE(FindItem(security.tvMenu, "Oak Two Item")->icon(0).isNull());
}

TEST_F(RolesFormTest, RoleDialogRefusesStarAndDeletesInATransaction)
{
    TAdminSession session(*s_server, "ADMIN", "", "RFR");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    bool allow = true;
    users.PageChanging(allow);
    ASSERT_TRUE(users.tblRole->Active());
    TfrmRoleData roles(users.Context(), &users);
    roles.SetDataSource(users.dsRole.get());
    roles.FormShow();
    TDialogScript boxes;
    roles.AddClick();
    TDataSet& data = *users.tblRole;
    data.FieldByName("ROLE_ID")->SetAsString("*MINE");
    data.FieldByName("C_ALIAS")->SetAsInteger(21);
    data.FieldByName("C_ENTERPRISE")->SetAsInteger(20);
    boxes->QueueAnswer(mrOk);
    roles.OKClick();
    EXPECT_EQ(boxes->Texts().back(), "Can not create role with \"*\" at first position.\n\rThis charecter is "
                                     "reseved for individual user role overrides");
    EXPECT_EQ(data.State(), dsInsert);
    data.FieldByName("ROLE_ID")->SetAsString("COOK");
    roles.OKClick();
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_USER FROM TBL_ROLES WHERE ROLE_ID = 'COOK'"), 1);
    EXPECT_GT(ServerNumber(DB(), "SELECT COUNTER FROM TBL_ROLES WHERE ROLE_ID = 'COOK'"), 100);

    // Deleting DOOMED: its modules go and its override loses the parent.
    ASSERT_TRUE(data.Locate("COUNTER", 23, {}));
    boxes->QueueAnswer(mrOk);
    roles.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE COUNTER = 23"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLEMODULES WHERE C_ROLE = 23"), 0);
    EXPECT_EQ(ServerNumber(DB(), "SELECT PARENT_ROLE FROM TBL_ROLES WHERE COUNTER = 24"), -1);

    // A manager may not touch a role of another enterprise.
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "RFQ");
    TAdminContext context = manager.Context(OakManager());
    context.Admin.C_Enterprise = 99;
    TfrmRoleData foreign(context, &users);
    foreign.SetDataSource(users.dsRole.get());
    data.First();
    EXPECT_THROW(foreign.EditClick(), Exception);
}

TEST_F(RolesFormTest, DatabaseAccessAddsOneRolePerAliasAndOverrides)
{
    TAdminSession session(*s_server, "ADMIN", "", "RFD");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    ASSERT_TRUE(users.tblUser->Locate("USER_ID", "LONER", {}));
    TfrmUserDBAccess access(users.Context(), &users);
    access.SetUserTable(users.tblUser.get());
    EXPECT_EQ(access.windowTitle().toStdString(), "Database Access for Lou Oak");
    access.FormShow();
    EXPECT_FALSE(access.btnOverride->isEnabled());

    auto shown = PickRole("NURSE");
    access.AddClick();
    EXPECT_TRUE(*shown);
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 28 AND C_ROLE = 20"), 1);
    EXPECT_TRUE(access.btnOverride->isEnabled());
    // A second role on OAK is refused, also while the window stays open.
    PickRole("SENIOR");
    try {
        access.AddClick();
        ADD_FAILURE() << "a second role on one alias";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Only one role with the same alias can be assigned");
    }
    EXPECT_EQ(access.tblUA->State(), dsBrowse);
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 28"), 1);

    // An override closed without saving leaves nothing.
    const long long roles = Count("FROM TBL_ROLES");
    access.EditRights = [](const std::string&, const std::string&, const std::string&, const std::string&) {
        return false;
    };
    EXPECT_THROW(access.OverrideClick(), EAbort);
    EXPECT_EQ(Count("FROM TBL_ROLES"), roles);
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_ROLE FROM TBL_USERDBACCESS WHERE C_USER = 28"), 20);

    // Saved: the access row points at a private copy of NURSE.
    std::string caption;
    access.EditRights = [&](const std::string& Role, const std::string&, const std::string& Alias,
                            const std::string& Caption) {
        caption = Caption;
        return !Role.empty() && Alias == "20";
    };
    access.OverrideClick();
    EXPECT_EQ(caption, "Security for:  [LONER] Lou Oak");
    const long long copy = ServerNumber(DB(), "SELECT C_ROLE FROM TBL_USERDBACCESS WHERE C_USER = 28");
    EXPECT_NE(copy, 20);
    EXPECT_EQ(ServerNumber(DB(), "SELECT PARENT_ROLE FROM TBL_ROLES WHERE COUNTER = " + std::to_string(copy)), 20);
    EXPECT_EQ(ServerNumber(DB(), "SELECT C_USER FROM TBL_ROLES WHERE COUNTER = " + std::to_string(copy)), 28);
    EXPECT_EQ(Hex(ServerText(DB(), "SELECT SECURITY FROM TBL_ROLES WHERE COUNTER = " + std::to_string(copy))), "0040C0");
    // The grid paints the overridden alias red.
    access.tblUA->Close();
    access.tblUA->Open();
    EXPECT_EQ(access.grdAccess->Model().RowTag(0), 1);

    // Deleting the overridden row removes the private role.
    TDialogScript boxes;
    boxes->QueueAnswer(mrYes);
    access.DeleteClick();
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE COUNTER = " + std::to_string(copy)), 0);
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 28"), 0);
    EXPECT_EQ(Count("FROM TBL_ROLES WHERE COUNTER = 20"), 1);
}

TEST_F(RolesFormTest, AManagerCannotAssignARoleAboveHisOwn)
{
    TAdminSession manager(*s_server, "OAKMGR", "mgr", "RFP");
    TfrmUsers users(manager.Context(OakManager()));
    users.FormShow();
    ASSERT_TRUE(users.tblUser->Locate("USER_ID", "OAKAIDE", {}));
    TfrmUserDBAccess access(users.Context(), &users);
    access.SetUserTable(users.tblUser.get());
    access.FormShow();
    PickRole("SENIOR");
    try {
        access.AddClick();
        ADD_FAILURE() << "SENIOR exceeds NURSE";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Administrator role does not have enough priviledge to assign selected role\r\n"
                               "[idx: 1 (0x1)] My = 0x40 < 0xC0");
    }
    EXPECT_EQ(Count("FROM TBL_USERDBACCESS WHERE C_USER = 22"), 0);
}

TEST_F(RolesFormTest, ConsoleItemsByUserTypeAndTheUsersToolIsDestroyedAfterShowing)
{
    TAdminSession session(*s_server, "ADMIN", "", "RFC");
    auto visible = [](TfrmAdmin& console) {
        std::vector<std::string> captions;
        TKldAppItems& tools = console.View().Items().Items(0)->Items();
        for (int i = 0; i < tools.Count(); ++i)
            if (tools.Items(i)->Visible())
                captions.push_back(tools.Items(i)->Caption());
        return captions;
    };
    TfrmAdmin mgr(nullptr, nullptr, session.Context(OakManager()));
    EXPECT_EQ(visible(mgr), (std::vector<std::string>{"Connections", "Users"}));
    TfrmAdmin sys(nullptr, nullptr, session.Context(SysAdmin()));
    EXPECT_EQ(visible(sys),
              (std::vector<std::string>{"Connections", "Users", "Enterprises", "Ondrel Explorer", "Information"}));
    EXPECT_EQ(sys.windowTitle().toStdString(), "Administration Console");

    QPointer<TDialogForm> made;
    sys.ToolFactory = [&](int Tag, const TAdminContext& Context) {
        TDialogForm* tool = MakeAdminTool(Tag, Context);
        made = tool;
        return tool;
    };
    bool usersShown = false;
    WhenModal<TfrmUsers>([&](TfrmUsers& w) {
        usersShown = w.tblUser->Active();
        w.SetModalResult(mrCancel);
    });
    sys.KldOnAppSelect(nullptr, sys.View().Items().Items(0)->Items().ItemByTag(12));
    EXPECT_TRUE(usersShown);
    EXPECT_TRUE(made.isNull());
    // "Information" shows the System Information dialog modally, and it is
    // gone afterwards.
    bool infoShown = false;
    WhenModal<TfrmNETHealth>([&](TfrmNETHealth& w) {
        infoShown = true;
        w.SetModalResult(mrCancel);
    });
    sys.KldOnAppSelect(nullptr, sys.View().Items().Items(0)->Items().ItemByTag(17));
    EXPECT_TRUE(infoShown);
    EXPECT_TRUE(made.isNull());
    // "Enterprises" shows the enterprise list modally, and it is gone
    // afterwards.
    bool enterprisesShown = false;
    WhenModal<TfrmEnterprises>([&](TfrmEnterprises& w) {
        enterprisesShown = w.tblEnterprise->Active() && !w.tblEnterprise->IsEmpty();
        w.SetModalResult(mrCancel);
    });
    sys.KldOnAppSelect(nullptr, sys.View().Items().Items(0)->Items().ItemByTag(13));
    EXPECT_TRUE(enterprisesShown);
    EXPECT_TRUE(made.isNull());
    // "Connections" shows the sessions modally on the console's connection,
    // and it is gone afterwards.
    bool connectionsShown = false;
    WhenModal<TfrmConnections>([&](TfrmConnections& w) {
        connectionsShown = w.sysSessions->Active() && w.Context().SysConnectionName == "RFC" &&
                           w.Context().UserType == "SYS";
        w.SetModalResult(mrCancel);
    });
    sys.KldOnAppSelect(nullptr, sys.View().Items().Items(0)->Items().ItemByTag(11));
    EXPECT_TRUE(connectionsShown);
    EXPECT_TRUE(made.isNull());
    // "Ondrel Explorer" (16) asks for the explorer, once per choice.
    int explorer = 0;
    sys.OpenExplorer = [&] { ++explorer; };
    sys.KldOnAppSelect(nullptr, sys.View().Items().Items(0)->Items().ItemByTag(16));
    EXPECT_EQ(explorer, 1);
    sys.KldOnAppSelect(nullptr, nullptr);
}

TEST(SystemView, ItemsByBrandAndTagsToRunSysApplet)
{
    const int32_t brand = AppBrand;
    AppBrand = 0;
    TfrmSystemView page(nullptr, nullptr, nullptr);
    ASSERT_EQ(page.View().Items().Count(), 2);
    EXPECT_EQ(page.View().Items().Items(0)->Caption(), "Communication");
    std::vector<int32_t> kinds;
    page.RunSysApplet = [&](int32_t Kind) { kinds.push_back(Kind); };
    for (TKldAppItem* group : {page.View().Items().Items(0), page.View().Items().Items(1)})
        for (int i = 0; i < group->Items().Count(); ++i)
            page.DoOnAppSelect(nullptr, group->Items().Items(i));
    EXPECT_EQ(kinds, (std::vector<int32_t>{1, 3, 10}));
    AppBrand = 1;
    TfrmSystemView branded(nullptr, nullptr, nullptr);
    ASSERT_EQ(branded.View().Items().Count(), 1);
    EXPECT_EQ(branded.View().Items().Items(0)->Caption(), "Administration");
    EXPECT_EQ(branded.View().Items().Items(0)->Items().Items(0)->Caption(), "Administration Console");
    AppBrand = brand;
}

TEST_F(RolesFormTest, ANewUserSignsInAndGetsHisRoleOnTheAlias)
{
    TAdminSession session(*s_server, "ADMIN", "", "RFN");
    TfrmUsers users(session.Context(SysAdmin()));
    users.FormShow();
    TfrmUserData editor(users.Context(), &users);
    editor.SetDataSource(users.dsUser.get());
    editor.FormShow();
    editor.AddClick();
    TDataSet& data = *users.tblUser;
    data.FieldByName("USER_ID")->SetAsString("ROOKIE");
    data.FieldByName("LAST_NAME")->SetAsString("Rook");
    data.FieldByName("FIRST_NAME")->SetAsString("Ria");
    data.FieldByName("C_ENTERPRISE")->SetAsInteger(20);
    data.FieldByName("ENTERPRISE")->SetAsString("OAK CARE");
    editor.edtPassword->SetText("rookie1");
    editor.OKClick();
    ASSERT_EQ(data.State(), dsBrowse);
    ASSERT_TRUE(data.Locate("USER_ID", "ROOKIE", {}));
    TfrmUserDBAccess access(users.Context(), &users);
    access.SetUserTable(&data);
    access.FormShow();
    PickRole("NURSE");
    access.AddClick();

    // He signs in (his enterprise compares passwords without regard to case)
    // and the database sign-in hands him NURSE on OAK.
    TAdminSession rookie(*s_server, "ROOKIE", "rookie1", "RFK");
    TovnOndrelSystem login;
    login.SetProcedureName("DatabaseLogin");
    login.SetDatabase(&rookie.DB());
    login.Params().CreateParam(ftString, "Alias", ptInput)->SetValue(Variant(std::string("OAK")));
    login.Params().CreateParam(ftBlob, "Security", ptOutput);
    login.Params().CreateParam(ftInteger, "C_Role", ptOutput);
    for (const char* name : {"Role", "Modules", "GM_Modules", "GM_User", "GM_Groups"})
        login.Params().CreateParam(ftString, name, ptOutput);
    login.Execute();
    EXPECT_EQ(login.Params().ParamByName("C_Role")->AsInteger(), 20);
    EXPECT_EQ(login.Params().ParamByName("Role")->AsString(), "NURSE");
}
