#include "admin/frmUsers.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "admin/frmRoleData.h"
#include "admin/frmSecurity.h"
#include "admin/frmUserDBAccess.h"
#include "admin/frmUserData.h"
#include "admin/frmUserFacility.h"
#include "platform/ComCtrls.h"
#include "platform/DBStockControls.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "ui/Lookup.h"
#include "ui/ovnTabUtils.h"
#include "base/KldCanvas.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The user grid's columns.
const std::vector<std::pair<std::string, std::string>> UserColumns = {
    {"USER_ID", "User ID"},
    {"FULL_NAME", "Full Name"},
    {"USER_TYPE", "User Type"},
    {"ENTERPRISE", "Enterprise"},
    {"FACILITY_ACCESS_FLAG", "Facility Access"},
    {"EXPIRATION_DATE", "Expiration Date"},
    {"CREATED_BY", "Created By"},
    {"CURRENT_USE", "Current Use"},
    {"EXPIRATION_INTERVAL", "Expiration Interval"},
    {"LAST_PASSWORD_CHANGE", "Last Password Change"},
    {"DAYS_PASSWORD_WARNING", "Days Password Warning"},
    {"DEFINE_ROLE", "Def Role"},
    {"DEFINE_FACILITY_ACCESS", "Def Facil Acc"},
    {"DEFINE_DB_ACCESS", "Def DB Acc"},
    {"RESTRICTED_SYSTEM", "Restricted System"}};

const std::vector<std::pair<std::string, std::string>> RoleColumns = {{"ROLE_ID", "Role"},
                                                                      {"DESCRIPTION", "Description"},
                                                                      {"ALIAS", "DB Alias"},
                                                                      {"ENTERPRISE", "Enterprise"},
                                                                      {"CURRENT_USE", "Current Use"}};

QColor Color(uint32_t BGR)
{
    return QColor(BGR & 0xFF, (BGR >> 8) & 0xFF, (BGR >> 16) & 0xFF);
}

// The "User Type" cell: a vertical two-colour gradient behind the centred
// text for "SYS" and "MGR".
void PaintUserType(QPainter& Painter, const TGridCell& Cell, bool& Handled)
{
    if (Cell.Column != 2)
        return;
    uint32_t top = 0;
    uint32_t bottom = 0;
    if (Cell.Text == "SYS")
        top = 0xCBC0FF, bottom = 0xC1B6FF;
    else if (Cell.Text == "MGR")
        top = 0xDCDCDC, bottom = 0xD3D3D3;
    else {
        // The column is centred for every type.
        Painter.fillRect(Cell.Rect, Cell.Selected ? QColor(0x30, 0x8C, 0xC6) : QColor(Qt::white));
        Painter.setPen(Cell.Selected ? Qt::white : Qt::black);
        Painter.drawText(Cell.Rect, Qt::AlignCenter, Cell.Text);
        Handled = true;
        return;
    }
    QLinearGradient gradient(Cell.Rect.topLeft(), Cell.Rect.bottomLeft());
    gradient.setColorAt(0, Color(top));
    gradient.setColorAt(1, Color(bottom));
    Painter.fillRect(Cell.Rect, gradient);
    Painter.setPen(Qt::black);
    Painter.drawText(Cell.Rect, Qt::AlignCenter, Cell.Text);
    Handled = true;
}

TEdit* MakeValueBox(QWidget* Parent)
{
    auto* edit = new TEdit(Parent);
    edit->SetReadOnly(true);
    return edit;
}

} // namespace

TfrmUsers::TfrmUsers(TAdminContext Context, QWidget* Parent) : TAdminDialog(std::move(Context), Parent)
{
    setWindowTitle("Users");
    SetPosition(poScreenCenter);
    tblUser = std::make_unique<TovnOndrelTable>();
    tblRole = std::make_unique<TovnOndrelTable>();
    qryLookup = std::make_unique<TovnOndrelQuery>();
    dsUser = std::make_unique<TDataSource>();
    dsRole = std::make_unique<TDataSource>();
    dsUser->SetDataSet(tblUser.get());
    dsRole->SetDataSet(tblRole.get());

    tblUser->SetTableName("TBL_USERS");
    tblUser->SetKeyFieldName("COUNTER");
    tblUser->SetServerUpdate(true);
    SetSchema(*tblUser, {"T1.*,TE.ENTERPRISE"}, {"TBL_USERS T1,", "TBL_ENTERPRISES TE"},
              {"T1.C_ENTERPRISE = TE.COUNTER"}, UserOrderBy);
    tblRole->SetTableName("TBL_ROLES");
    tblRole->SetKeyFieldName("COUNTER");
    tblRole->SetServerUpdate(true);
    tblRole->SetFetchBlobs(false);
    SetSchema(*tblRole, {"T1.*, TE.ENTERPRISE, TA.ALIAS"}, {"TBL_ROLES T1,", "TBL_ENTERPRISES TE,", "TBL_DBALIASES TA"},
              RoleDesignWhere(), RoleOrderBy);

    Pages = new TPageControl(this);
    TabPainter->SetTabControl(Pages);
    tsUsers = new TTabSheet(Pages);
    tsUsers->SetCaption("Users");
    tsRoles = new TTabSheet(Pages);
    tsRoles->SetCaption("Roles");

    // Users tab.
    cboListBy = new QComboBox(tsUsers);
    for (const char* name : ListByNames)
        cboListBy->addItem(name);
    edtValue = MakeValueBox(tsUsers);
    btnValue = MakeAction(tsUsers, "...", [this] { ValuePick(); });
    grdUsers = new TDBGrid(tsUsers);
    grdUsers->SetDataSource(dsUser.get());
    grdUsers->OnDrawColumnCell = PaintUserType;
    btnFilter = MakeAction(tsUsers, "Filter...", [this] { tblUser->ExecFilter(""); });
    btnRefresh = MakeAction(tsUsers, "Refresh", [this] {
        if (!tblUser->Active())
            tblUser->Open();
    });
    btnDetails = MakeAction(tsUsers, "&Details...", [this] { UserDetails(); });
    btnFacility = MakeAction(tsUsers, "&Facility Access", [this] { FacilityAccess(); });
    btnDBAccess = MakeAction(tsUsers, "Database &Access", [this] { DatabaseAccess(); });
    auto* top = new QHBoxLayout;
    top->addWidget(new TPlainLabel("List By:", tsUsers));
    top->addWidget(cboListBy);
    top->addWidget(edtValue, 1);
    top->addWidget(btnValue);
    auto* userButtons = new QHBoxLayout;
    for (QPushButton* b : {btnFilter, btnRefresh})
        userButtons->addWidget(b);
    userButtons->addStretch();
    for (QPushButton* b : {btnDetails, btnFacility, btnDBAccess})
        userButtons->addWidget(b);
    auto* users = new QVBoxLayout(tsUsers);
    users->addLayout(top);
    users->addWidget(grdUsers, 1);
    users->addLayout(userButtons);

    // Roles tab.
    edtRoleValue = MakeValueBox(tsRoles);
    btnRoleValue = MakeAction(tsRoles, "...", [this] { RoleValuePick(); });
    grdRoles = new TDBGrid(tsRoles);
    grdRoles->SetDataSource(dsRole.get());
    btnRoleFilter = MakeAction(tsRoles, "Filter...", [this] { tblRole->ExecFilter(""); });
    btnRoleRefresh = MakeAction(tsRoles, "Refresh", [this] {
        if (!tblRole->Active())
            tblRole->Open();
    });
    btnRoleDetails = MakeAction(tsRoles, "&Details...", [this] { RoleDetails(); });
    btnMenuSecurity = MakeAction(tsRoles, "&Menu Security", [this] { MenuSecurity(); });
    auto* roleTop = new QHBoxLayout;
    roleTop->addWidget(new TPlainLabel("List By Enterprise:", tsRoles));
    roleTop->addWidget(edtRoleValue, 1);
    roleTop->addWidget(btnRoleValue);
    auto* roleButtons = new QHBoxLayout;
    for (QPushButton* b : {btnRoleFilter, btnRoleRefresh})
        roleButtons->addWidget(b);
    roleButtons->addStretch();
    for (QPushButton* b : {btnRoleDetails, btnMenuSecurity})
        roleButtons->addWidget(b);
    auto* roles = new QVBoxLayout(tsRoles);
    roles->addLayout(roleTop);
    roles->addWidget(grdRoles, 1);
    roles->addLayout(roleButtons);

    Pages->SetActivePageIndex(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages, 1);
    layout->addLayout(MakeButtonRow({MakeButton("&Close", mrCancel, false, true)}));
    resize(900, 520);

    connect(cboListBy, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { Guarded([this] { ListByChange(); }); });
    edtValue->OnChange = [this](TObject*) { ValueChange(); };
    edtRoleValue->OnChange = [this](TObject*) { RoleValueChange(); };
    Pages->OnChanging = [this](TObject*, bool& allow) { PageChanging(allow); };
    tblUser->AfterOpen = [this](TDataSet*) { UserActiveChanged(); };
    tblUser->AfterClose = [this](TDataSet*) { UserActiveChanged(); };
    tblUser->OnNewRecord = [this](TDataSet*) { NewUser(); };
    tblRole->OnNewRecord = [this](TDataSet*) { NewRole(); };
    tblUser->AfterOpen = [this](TDataSet*) {
        ShowColumns(*tblUser, UserColumns);
        UserActiveChanged();
    };
    tblRole->AfterOpen = [this](TDataSet*) { ShowColumns(*tblRole, RoleColumns); };
    dsUser->OnDataChange = [this](TObject*, TField*) { UserDataChanged(); };
    dsRole->OnDataChange = [this](TObject*, TField*) { RoleDataChanged(); };
    dsRole->OnStateChange = [this](TObject*) { RoleDataChanged(); };
    UserActiveChanged();
}

TfrmUsers::~TfrmUsers()
{
    dsUser->OnDataChange = nullptr;
    dsRole->OnDataChange = nullptr;
    dsRole->OnStateChange = nullptr;
    tblUser->AfterOpen = tblUser->AfterClose = nullptr;
    grdUsers->SetDataSource(nullptr);
    grdRoles->SetDataSource(nullptr);
}

void TfrmUsers::Load()
{
    TNembraDatabase& db = SysDB(Context());
    qryLookup->SetDatabase(&db);
    tblUser->SetDatabase(&db);
    const TAdministrator& admin = Context().Admin;
    btnFacility->setEnabled(admin.DefineFacilityAccess == "T");
    btnDBAccess->setEnabled(admin.DefineDBAccess == "T");
    tsRoles->SetTabVisible(admin.DefineRole == "T");
    {
        QSignalBlocker block(cboListBy);
        cboListBy->setCurrentIndex(lbAll);
    }
    ListByChange();
}

void TfrmUsers::ListByChange()
{
    edtValue->SetText("");
    edtValue->Tag = 0;
    const bool all = ListBy() == lbAll;
    edtValue->setEnabled(!all);
    btnValue->setEnabled(!all);
    btnFilter->setEnabled(all);
    tblUser->Close();
    if (all) {
        SetLines(tblUser->SQLSchema().Where(), UserWhere(lbAll, Context().Admin, 0));
        tblUser->Open();
    }
}

void TfrmUsers::FillLookup(TListBy Choice)
{
    const TPickList list = PickList(Choice, Context().Admin);
    qryLookup->Close();
    qryLookup->SetDatabase(&SysDB(Context()));
    SetSchema(*qryLookup, list.Select, list.From, list.Where, list.OrderBy);
    qryLookup->InvisibleFields().Clear();
    qryLookup->InvisibleFields().Add("COUNTER");
    qryLookup->Open();
    if (TField* key = qryLookup->FindField("COUNTER"))
        key->SetVisible(false);
}

void TfrmUsers::ValuePick()
{
    const TListBy choice = ListBy();
    if (choice == lbAll)
        return;
    FillLookup(choice);
    const TPickList list = PickList(choice, Context().Admin);
    ShowLookup2(list.Caption, qryLookup.get(), edtValue, "COUNTER", list.ShownField);
}

void TfrmUsers::ValueChange()
{
    btnFilter->setEnabled(false);
    tblUser->Close();
    if (edtValue->Text().empty())
        return;
    SetLines(tblUser->SQLSchema().Where(), UserWhere(ListBy(), Context().Admin, static_cast<int32_t>(edtValue->Tag)));
    tblUser->Open();
    btnFilter->setEnabled(true);
}

void TfrmUsers::RoleValuePick()
{
    FillLookup(lbEnterprise);
    const TPickList list = PickList(lbEnterprise, Context().Admin);
    ShowLookup2(list.Caption, qryLookup.get(), edtRoleValue, "COUNTER", list.ShownField);
}

void TfrmUsers::RoleValueChange()
{
    if (Context().Admin.DefineRole != "T")
        return;
    tblRole->Close();
    tblRole->SetDatabase(&SysDB(Context()));
    std::optional<int32_t> value;
    if (!edtRoleValue->Text().empty())
        value = static_cast<int32_t>(edtRoleValue->Tag);
    TSQLQuerySchema& schema = tblRole->SQLSchema();
    SetLines(schema.Where(), RoleWhere(Context().Admin, value));
    SetLines(schema.OrderBy(), {RoleFilterOrderBy});
    tblRole->Open();
    btnRoleFilter->setEnabled(true);
}

void TfrmUsers::PageChanging(bool&)
{
    if (tblRole->Active() || Context().Admin.DefineRole != "T")
        return;
    Guarded([this] {
        tblRole->SetDatabase(&SysDB(Context()));
        if (Context().Admin.UserType == "MGR") {
            TLines where = RoleDesignWhere();
            const TLines scope = ManagerRoleScope(Context().Admin);
            where.insert(where.end(), scope.begin(), scope.end());
            SetLines(tblRole->SQLSchema().Where(), where);
        }
        tblRole->Open();
    });
}

void TfrmUsers::UserActiveChanged()
{
    const bool active = tblUser->Active();
    btnDetails->setEnabled(active);
    btnRefresh->setEnabled(active);
    if (!active) {
        btnFacility->setEnabled(false);
        btnDBAccess->setEnabled(false);
    }
}

void TfrmUsers::UserDataChanged()
{
    if (!tblUser->Active())
        return;
    if (tblUser->State() == dsBrowse) {
        TField* counter = tblUser->FindField("C_ENTERPRISE");
        m_enterprise = counter && !counter->IsNull() ? counter->AsInteger() : 0;
        m_enterpriseName = FieldText(*tblUser, "ENTERPRISE");
    }
    if (tblUser->IsEmpty())
        return;
    const TUserRow row{FieldText(*tblUser, "FACILITY_ACCESS_FLAG"), FieldText(*tblUser, "CREATED_BY"),
                       FieldText(*tblUser, "USER_TYPE")};
    btnFacility->setEnabled(FacilityAccessEnabled(Context().Admin, row, btnFacility->isEnabled()));
    btnDBAccess->setEnabled(DBAccessEnabled(Context().Admin, row, btnDBAccess->isEnabled()));
}

void TfrmUsers::RoleDataChanged()
{
    btnMenuSecurity->setEnabled(tblRole->Active() && tblRole->State() == dsBrowse && !tblRole->IsEmpty());
}

void TfrmUsers::NewUser()
{
    TFieldValues values = NewUserValues(Context().Admin, ListBy(), m_enterprise, m_enterpriseName);
    SetFields(*tblUser, values);
    tblUser->FieldByName("LAST_PASSWORD_CHANGE")->SetAsDateTime(Date());
}

void TfrmUsers::NewRole()
{
    tblRole->FieldByName("CURRENT_USE")->SetAsString("T");
    const auto [counter, name] = NewRoleEnterprise(Context().Admin, m_enterprise, m_enterpriseName);
    if (counter != 0) {
        tblRole->FieldByName("C_ENTERPRISE")->SetAsInteger(counter);
        tblRole->FieldByName("ENTERPRISE")->SetAsString(name);
    }
}

void TfrmUsers::CancelPending(TDataSet& DataSet)
{
    if (DataSet.Active() && (DataSet.State() == dsEdit || DataSet.State() == dsInsert))
        DataSet.Cancel();
}

void TfrmUsers::UserDetails()
{
    struct TCancel
    {
        TfrmUsers* Form;
        ~TCancel() { Form->CancelPending(*Form->tblUser); }
    } cancel{this};
    TfrmUserData editor(Context(), this);
    editor.SetDataSource(dsUser.get());
    editor.ShowModal();
}

void TfrmUsers::FacilityAccess()
{
    if (!tblUser->Active() || tblUser->IsEmpty())
        return;
    TfrmUserFacility facility(Context(), this);
    facility.setWindowTitle(QString::fromStdString(FieldText(*tblUser, "FULL_NAME") + " [" +
                                                   FieldText(*tblUser, "USER_ID") + "] " + " - Facility Access"));
    const bool individual = FieldText(*tblUser, "FACILITY_ACCESS_FLAG") == "I";
    facility.SetInfo(individual ? "Grant access to selected facilities" : "Revoke access to selected facilities");
    if (individual)
        facility.IsManager = FieldText(*tblUser, "USER_TYPE") == "MGR";
    facility.UserCounter = tblUser->FieldByName("COUNTER")->AsInteger();
    facility.Enterprise = tblUser->FieldByName("C_ENTERPRISE")->AsInteger();
    facility.ShowModal();
}

void TfrmUsers::DatabaseAccess()
{
    struct TCancel
    {
        TfrmUsers* Form;
        ~TCancel() { Form->CancelPending(*Form->tblUser); }
    } cancel{this};
    if (!tblUser->Active() || tblUser->IsEmpty())
        return;
    TfrmUserDBAccess access(Context(), this);
    access.SetUserTable(tblUser.get());
    access.ShowModal();
}

void TfrmUsers::RoleDetails()
{
    struct TRestore
    {
        TfrmUsers* Form;
        ~TRestore()
        {
            Form->btnMenuSecurity->setVisible(true);
            Form->CancelPending(*Form->tblRole);
        }
    } restore{this};
    TfrmRoleData editor(Context(), this);
    editor.SetDataSource(dsRole.get());
    btnMenuSecurity->setVisible(false);
    editor.ShowModal();
}

void TfrmUsers::MenuSecurity()
{
    if (!tblRole->Active() || tblRole->IsEmpty())
        return;
    TfrmSecurity security(Context(), this);
    security.RoleCounter = FieldText(*tblRole, "COUNTER");
    security.EnterpriseCounter = FieldText(*tblRole, "C_ENTERPRISE");
    security.AliasCounter = FieldText(*tblRole, "C_ALIAS");
    security.setWindowTitle(QString::fromStdString("Security for role:  [" + FieldText(*tblRole, "ROLE_ID") + "] " +
                                                   FieldText(*tblRole, "DESCRIPTION")));
    security.ShowModal();
}
