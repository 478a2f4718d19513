// Samples of the administration forms with sample rows: the console and the
// system page, the users window, the user and role editors, the rights
// editor, the database and facility access windows.

#include "tools/gallery/GallerySamples.h"
#include "tools/gallery/SampleTable.h"

#include "Components/Controller/ovnController.h"
#include "Components/KldDBComponents/KldDataSet.h"
#include "admin/frmAdmin.h"
#include "admin/frmRoleData.h"
#include "admin/frmSecurity.h"
#include "admin/frmUserDBAccess.h"
#include "admin/frmUserData.h"
#include "admin/frmUserFacility.h"
#include "admin/frmUsers.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/DataSource.h"
#include "platform/ReportList.h"
#include "ui/KldAppletView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QTreeWidget>

#include <memory>
#include <variant>

namespace {

TAdministrator Admin(const std::string& Type)
{
    TAdministrator admin;
    admin.UserType = Type;
    admin.ID = Type == "SYS" ? "ADMIN" : "MANAGER";
    admin.Counter = Type == "SYS" ? 2 : 10;
    admin.FacilityAccessFlag = Type == "SYS" ? "A" : "I";
    admin.DefineRole = admin.DefineFacilityAccess = admin.DefineDBAccess = "T";
    return admin;
}

TAdminContext Context(const std::string& Type)
{
    TAdminContext context;
    context.Admin = Admin(Type);
    return context;
}

TSampleTable& Users()
{
    static TSampleTable table(
        {{"COUNTER", cdtInteger}, {"USER_ID", cdtString, 30}, {"FULL_NAME", cdtString, 60}, {"USER_TYPE", cdtString, 3},
         {"ENTERPRISE", cdtString, 30}, {"FACILITY_ACCESS_FLAG", cdtString, 1}, {"EXPIRATION_DATE", cdtString, 18},
         {"CREATED_BY", cdtString, 30}, {"CURRENT_USE", cdtString, 1}, {"EXPIRATION_INTERVAL", cdtInteger},
         {"LAST_PASSWORD_CHANGE", cdtString, 18}, {"DAYS_PASSWORD_WARNING", cdtInteger}, {"DEFINE_ROLE", cdtString, 1},
         {"DEFINE_FACILITY_ACCESS", cdtString, 1}, {"DEFINE_DB_ACCESS", cdtString, 1}, {"RESTRICTED_SYSTEM", cdtString, 1},
         {"USER_PASSWORD", cdtString, 4000}, {"FIRST_NAME", cdtString, 30}, {"LAST_NAME", cdtString, 30}, {"EMAIL", cdtString, 4000},
         {"C_ENTERPRISE", cdtInteger}},
        {{2, "ADMIN", "System Manager", "SYS", "GLOBAL ENTERPRISE", "A", "", "", "T", 0, "2026-01-05", 0, "T", "T", "T",
          "F", "admin", "", "", "", 1},
         {10, "MANAGER", "Helen Brooks", "MGR", "HARBOUR VIEW CARE", "A", "", "ADMIN", "T", 0, "2026-03-02", 0, "T",
          "T", "T", "F", "MANAGER", "Helen", "Brooks", "helen.brooks@harbourview.example.org", 10},
         {11, "NURSE", "Tom Ward", "USR", "HARBOUR VIEW CARE", "I", "", "ADMIN", "T", 0, "2026-03-02", 0, "F", "F", "F",
          "F", "NURSE", "Tom", "Ward", "tom.ward@harbourview.example.org", 10},
         {12, "CAROL", "Carol Reed", "USR", "HARBOUR VIEW CARE", "I", "2027-12-31", "MANAGER", "T", 90, "2026-09-22",
          14, "F", "F", "F", "F", "Tulips2026", "Carol", "Reed", "", 10}});
    return table;
}

QWidget* MakeConsole(QWidget* parent)
{
    auto* f = new TfrmAdmin(parent, nullptr, Context("SYS"));
    f->setWindowFlags(Qt::Widget);
    return f;
}

QWidget* MakeManagerConsole(QWidget* parent)
{
    auto* f = new TfrmAdmin(parent, nullptr, Context("MGR"));
    f->setWindowFlags(Qt::Widget);
    return f;
}

QWidget* MakeSystemView(QWidget* parent)
{
    static TCustomImageList images(24, 24);
    if (images.Count() == 0)
        for (int i = 0; i < 9; ++i)
            images.Add(GallerySampleIcon(24, 0x3366CC + 0x101010 * static_cast<unsigned>(i), "ACUMEOLIU"[i]));
    auto* f = new TfrmSystemView(parent, nullptr, &images);
    f->setWindowFlags(Qt::Widget);
    return f;
}

QWidget* MakeUsers(QWidget* parent)
{
    auto* f = new TfrmUsers(Context("SYS"), parent);
    f->setWindowFlags(Qt::Widget);
    TSampleTable& users = Users();
    for (const char* hidden : {"COUNTER", "USER_PASSWORD", "FIRST_NAME", "LAST_NAME", "EMAIL", "C_ENTERPRISE"})
        users.Ds.FieldByName(hidden)->SetVisible(false);
    f->grdUsers->SetDataSource(&users.Source);
    const char* captions[] = {"User ID", "Full Name", "User Type", "Enterprise", "Facility Access", "Expiration Date",
                              "Created By", "Current Use", "Expiration Interval", "Last Password Change",
                              "Days Password Warning", "Def Role", "Def Facil Acc", "Def DB Acc", "Restricted System"};
    for (int i = 0; i < 15; ++i)
        users.Ds.Fields().Fields(i + 1)->SetDisplayLabel(captions[i]);
    f->grdUsers->selectRow(2);
    return f;
}

QWidget* MakeUserData(QWidget* parent)
{
    auto* f = new TfrmUserData(Context("SYS"), parent);
    f->setWindowFlags(Qt::Widget);
    f->SetDataSource(&Users().Source);
    Users().Ds.First();
    Users().Ds.Next();
    Users().Ds.Next();
    f->View();
    return f;
}

QWidget* MakeRoleData(QWidget* parent)
{
    static TSampleTable roles({{"COUNTER", cdtInteger}, {"ROLE_ID", cdtString, 30}, {"DESCRIPTION", cdtString, 80},
                               {"ENTERPRISE", cdtString, 30}, {"ALIAS", cdtString, 20}, {"CURRENT_USE", cdtString, 1}},
                              {{12, "NURSE", "Nursing staff", "HARBOUR VIEW CARE", "MAPLE", "T"}});
    auto* f = new TfrmRoleData(Context("SYS"), parent);
    f->setWindowFlags(Qt::Widget);
    f->SetDataSource(&roles.Source);
    f->View();
    return f;
}

TMenuRow Row(int Level, const std::string& Caption, std::optional<int> Index, int Module,
             std::array<std::string, 6> Attributes = {})
{
    TMenuRow row;
    row.Level = Level;
    row.Description = Caption;
    row.SecurityIndex = Index;
    row.Module = Module;
    row.Attributes = Attributes;
    return row;
}

QWidget* MakeSecurity(QWidget* parent, const std::string& Type)
{
    auto* f = new TfrmSecurity(Context(Type), parent);
    f->setWindowFlags(Qt::Widget);
    f->setWindowTitle("Security for role:  [NURSE] Nursing staff");
    TRights role("\x00\x40\xA0\xC0\x40\x00", 6);
    TRights mine("\x00\xFF\xE0\xC0\xC0\x40", 6);
    f->SetRights(role, mine, true);
    f->ShowMenu({Row(0, "Residents", std::nullopt, 13), Row(1, "Admissions", 1, 13, {"Print", "Export"}),
                 Row(2, "Admit Resident", 2, 13, {"Discharge"}), Row(1, "Care Plans", 3, 13, {"Print", "", "Sign Off"}),
                 Row(2, "Review Care Plan", 4, 13), Row(1, "Medication", 5, 13, {"Controlled Drugs"})});
    f->tvMenu->expandAll();
    f->tvMenu->setCurrentItem(f->tvMenu->topLevelItem(0)->child(0));
    return f;
}

QWidget* MakeDBAccess(QWidget* parent)
{
    static TSampleTable access({{"ALIAS", cdtString, 20}, {"ROLE_ID", cdtString, 30}, {"DESCRIPTION", cdtString, 80},
                                {"PARENT_ROLE", cdtInteger}},
                               {{"CEDAR", "HOME MANAGER", "Manager of a home", 0}, {"MAPLE", "NURSE", "Nursing staff", 12}});
    auto* f = new TfrmUserDBAccess(Context("SYS"), parent);
    f->setWindowFlags(Qt::Widget);
    f->setWindowTitle("Database Access for Tom Ward");
    access.Ds.FieldByName("PARENT_ROLE")->SetVisible(false);
    access.Ds.FieldByName("ALIAS")->SetDisplayLabel("DB Alias");
    access.Ds.FieldByName("ROLE_ID")->SetDisplayLabel("Role");
    access.Ds.FieldByName("DESCRIPTION")->SetDisplayLabel("Role Description");
    f->grdAccess->Model().OnRowTag = [](TDataSet& data) { return data.FieldByName("PARENT_ROLE")->AsInteger(); };
    f->grdAccess->SetDataSource(&access.Source);
    return f;
}

QWidget* MakeFacility(QWidget* parent)
{
    auto* f = new TfrmUserFacility(Context("SYS"), parent);
    f->setWindowFlags(Qt::Widget);
    f->setWindowTitle("Helen Brooks [MANAGER]  - Facility Access");
    f->SetInfo("Grant access to selected facilities");
    f->lvFacilities->AddItem("CEDAR HOUSE [Cedar House Nursing Home]", 11, 2, {1});
    f->lvFacilities->AddItem("MAPLE COURT [Maple Court Residence]", 10, 2, {2});
    f->lvFacilities->AddItem("WILLOW LODGE [Willow Lodge]", 12, 1, {1});
    return f;
}

const TGalleryRegistration Console{{"admin-console", QSize(460, 260), MakeConsole, nullptr}};
const TGalleryRegistration ManagerConsole{{"admin-console-manager", QSize(460, 160), MakeManagerConsole, nullptr}};
const TGalleryRegistration SystemView{{"system-module-page", QSize(460, 300), MakeSystemView, nullptr}};
const TGalleryRegistration UsersWindow{{"admin-users", QSize(900, 420), MakeUsers, nullptr}};
const TGalleryRegistration UserData{{"admin-user-data", QSize(640, 330), MakeUserData, nullptr}};
const TGalleryRegistration RoleData{{"admin-role-data", QSize(420, 230), MakeRoleData, nullptr}};
const TGalleryRegistration Security{
    {"admin-security", QSize(640, 420), [](QWidget* p) { return MakeSecurity(p, "SYS"); }, nullptr}};
const TGalleryRegistration SecurityManager{
    {"admin-security-manager", QSize(640, 420), [](QWidget* p) { return MakeSecurity(p, "MGR"); }, nullptr}};
const TGalleryRegistration DBAccess{{"admin-db-access", QSize(560, 260), MakeDBAccess, nullptr}};
const TGalleryRegistration Facility{{"admin-facility-access", QSize(440, 300), MakeFacility, nullptr}};

} // namespace
