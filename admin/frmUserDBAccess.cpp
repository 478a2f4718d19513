#include "admin/frmUserDBAccess.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AccessRules.h"
#include "admin/AdminForms.h"
#include "admin/frmSecurity.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "platform/StringList.h"
#include "ui/Lookup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// Rows whose role is an override show their alias in red.
void PaintOverride(TDBGrid* Grid, QPainter& Painter, const TGridCell& Cell, bool& Handled)
{
    if (Cell.Column != 0 || Grid->Model().RowTag(Cell.Row) == 0)
        return;
    Painter.fillRect(Cell.Rect, Cell.Selected ? QColor(0x33, 0x66, 0xCC) : QColor(Qt::white));
    Painter.setPen(Qt::red);
    Painter.drawText(Cell.Rect.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, Cell.Text);
    Handled = true;
}

void Execute(TNembraDatabase& DB, const std::string& Sql)
{
    TStringList lines;
    SetLines(lines, {Sql});
    DB.ExecBatch(lines, false);
}

} // namespace

TfrmUserDBAccess::TfrmUserDBAccess(TAdminContext Context, QWidget* Parent)
    : TAdminDialog(std::move(Context), Parent)
{
    SetPosition(poScreenCenter);
    tblUA = std::make_unique<TovnOndrelTable>();
    tblUA->SetTableName("TBL_USERDBACCESS");
    tblUA->SetServerUpdate(true);
    qryRole = std::make_unique<TovnOndrelQuery>();
    qryRole->InvisibleFields().Add("COUNTER");
    qryRole->InvisibleFields().Add("C_ALIAS");
    qryBLOB = std::make_unique<TovnOndrelQuery>();
    SetSQLText(*qryBLOB, PrivilegeBlobSQL());
    qryBLOB->SetFetchBy(255);
    qryDouble = std::make_unique<TovnOndrelQuery>();
    SetSchema(*qryDouble, DoubleRoleSelect(), DoubleRoleFrom(), DoubleRoleWhere(), "");
    tblRoleOverride = std::make_unique<TovnOndrelTable>();
    tblRoleOverride->SetTableName("TBL_ROLES");
    tblRoleOverride->SetKeyFieldName("COUNTER");
    tblRoleOverride->SetServerUpdate(true);
    SetSchema(*tblRoleOverride, {"T1.*"}, {"TBL_ROLES T1"}, {"COUNTER = :C"}, "");
    tblRoleOverride->OnNewRecord = [this](TDataSet*) { tblRoleOverride->FieldByName("CURRENT_USE")->SetAsString("T"); };
    dsUA = std::make_unique<TDataSource>();
    dsUA->SetDataSet(tblUA.get());

    grdAccess = new TDBGrid(this);
    grdAccess->Model().OnRowTag = [](TDataSet& data) {
        TField* parent = data.FindField("PARENT_ROLE");
        return parent && !parent->IsNull() ? 1 : 0;
    };
    grdAccess->SetDataSource(dsUA.get());
    grdAccess->OnDrawColumnCell = [this](QPainter& painter, const TGridCell& cell, bool& handled) {
        PaintOverride(grdAccess, painter, cell, handled);
    };
    lblOverriden = new TPlainLabel("Overriden Role", this);
    lblOverriden->setStyleSheet("color: red");
    btnRefresh = MakeAction(this, "Refresh", [this] {
        if (!tblUA->Active())
            tblUA->Open();
    });
    btnAdd = MakeAction(this, "&Add", [this] { AddClick(); });
    btnDelete = MakeAction(this, "&Delete", [this] { DeleteClick(); });
    btnOverride = MakeAction(this, "&Override", [this] { OverrideClick(); });
    btnClose = MakeButton("&Close", mrCancel, false, true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblOverriden);
    buttons->addStretch();
    for (QPushButton* b : {btnRefresh, btnAdd, btnDelete, btnOverride, btnClose})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdAccess, 1);
    layout->addLayout(buttons);
    resize(560, 340);

    dsUA->OnDataChange = [this](TObject*, TField*) { UpdateButtons(); };
    dsUA->OnStateChange = [this](TObject*) { UpdateButtons(); };
    tblUA->AfterOpen = [this](TDataSet*) {
        ShowColumns(*tblUA, {{"ALIAS", "DB Alias"}, {"ROLE_ID", "Role"}, {"DESCRIPTION", "Role Description"}});
    };
    EditRights = [this](const std::string& Role, const std::string& Enterprise, const std::string& Alias,
                        const std::string& Caption) {
        TfrmSecurity security(this->Context(), this);
        security.RoleCounter = Role;
        security.EnterpriseCounter = Enterprise;
        security.AliasCounter = Alias;
        security.setWindowTitle(QString::fromStdString(Caption));
        security.ShowModal();
        return security.Tag == 100;
    };
    UpdateButtons();
}

TfrmUserDBAccess::~TfrmUserDBAccess()
{
    dsUA->OnDataChange = nullptr;
    dsUA->OnStateChange = nullptr;
    grdAccess->SetDataSource(nullptr);
}

void TfrmUserDBAccess::SetUserTable(TDataSet* Users)
{
    m_users = Users;
    if (m_users && m_users->Active())
        setWindowTitle(QString::fromStdString("Database Access for " + FieldText(*m_users, "FULL_NAME")));
}

int32_t TfrmUserDBAccess::UserCounter() const
{
    if (!m_users)
        throw Exception("No user");
    return m_users->FieldByName("COUNTER")->AsInteger();
}

void TfrmUserDBAccess::UpdateButtons()
{
    btnOverride->setEnabled(tblUA->Active() && !tblUA->IsEmpty());
}

void TfrmUserDBAccess::Load()
{
    TNembraDatabase& db = SysDB(Context());
    for (TNembraDBDataSet* data : std::initializer_list<TNembraDBDataSet*>{tblUA.get(), qryRole.get(), qryBLOB.get(),
                                                                             qryDouble.get(), tblRoleOverride.get()})
        data->SetDatabase(&db);
    const int32_t enterprise = m_users->FieldByName("C_ENTERPRISE")->AsInteger();
    SetSchema(*tblUA, UserAccessSelect(), UserAccessFrom(), UserAccessWhere(UserCounter()), "ALIAS, ROLE_ID");
    SetSchema(*qryRole, OfferedRolesSelect(), OfferedRolesFrom(), OfferedRolesWhere(Context().Admin, enterprise),
              "ALIAS, ROLE_ID");
    tblUA->Open();
}

void TfrmUserDBAccess::AddClick()
{
    tblUA->Append();
    try {
        if (!qryRole->Active())
            qryRole->Open();
        TField* role = tblUA->FieldByName("C_ROLE");
        if (!ShowLookup("Role", qryRole.get(), role, tblUA->FieldByName("ROLE_ID"), "COUNTER", "ROLE_ID") ||
            role->IsNull()) {
            tblUA->Cancel();
            return;
        }
        const int32_t picked = qryRole->FieldByName("COUNTER")->AsInteger();
        const int32_t alias = qryRole->FieldByName("C_ALIAS")->AsInteger();
        tblUA->FieldByName("C_USER")->SetAsInteger(UserCounter());
        role->SetAsInteger(picked);
        tblUA->FieldByName("ROLE_ID")->SetAsString(FieldText(*qryRole, "ROLE_ID"));
        tblUA->FieldByName("DESCRIPTION")->SetAsString(FieldText(*qryRole, "ROLE_DESCRIPTION"));
        tblUA->FieldByName("ALIAS")->SetAsString(FieldText(*qryRole, "ALIAS"));
        tblUA->FieldByName("C_ALIAS")->SetAsInteger(alias);
        if (Context().Admin.UserType == "MGR") {
            qryBLOB->Close();
            qryBLOB->Params().ParamByName("UME")->SetAsInteger(Context().Admin.Counter);
            qryBLOB->Params().ParamByName("R")->SetAsInteger(picked);
            qryBLOB->Params().ParamByName("A")->SetAsInteger(alias);
            qryBLOB->Open();
            TRights mine;
            TRights theirs;
            for (qryBLOB->First(); !qryBLOB->Eof(); qryBLOB->Next()) {
                TField* security = qryBLOB->FieldByName("SECURITY");
                if (security->IsNull())
                    continue;
                (FieldText(*qryBLOB, "WHO") == "ME" ? mine : theirs) = security->AsString();
            }
            qryBLOB->Close();
            const std::string refusal = ComparePrivilege(mine, theirs);
            if (!refusal.empty())
                throw Exception(refusal);
        }
        qryDouble->Close();
        qryDouble->Params().ParamByName("A")->SetAsInteger(alias);
        qryDouble->Params().ParamByName("U")->SetAsInteger(UserCounter());
        qryDouble->Open();
        const int count = qryDouble->Fields().Fields(0)->AsInteger();
        qryDouble->Close();
        if (count > 0)
            throw Exception("Only one role with the same alias can be assigned");
        tblUA->Post();
    } catch (...) {
        if (tblUA->State() == dsInsert)
            tblUA->Cancel();
        throw;
    }
}

void TfrmUserDBAccess::DeleteClick()
{
    if (!tblUA->Active() || tblUA->IsEmpty())
        throw Exception("Nothing to delete");
    if (MessageDlg("Selected role will be deleted. Continue?", mtConfirmation, {mbYes, mbNo}) != mrYes)
        return;
    TField* parent = tblUA->FieldByName("PARENT_ROLE");
    const bool overridden = !parent->IsNull();
    const std::string role = FieldText(*tblUA, "C_ROLE");
    tblUA->Delete();
    if (overridden) {
        TNembraDatabase& db = SysDB(Context());
        Execute(db, DeleteOverrideSQL(role, true));
        Execute(db, DeleteOverrideSQL(role, false));
    }
}

void TfrmUserDBAccess::OverrideClick()
{
    if (!tblUA->Active() || tblUA->IsEmpty())
        return;
    TNembraDatabase& db = SysDB(Context());
    const bool first = tblUA->FieldByName("PARENT_ROLE")->IsNull();
    const std::string baseRole = FieldText(*tblUA, "C_ROLE");
    std::string role = baseRole;
    std::string enterprise = FieldText(*tblUA, "C_ENTERPRISE");
    std::string alias = FieldText(*tblUA, "C_ALIAS");
    int32_t counter = 0;
    struct TCloseOverride
    {
        TovnOndrelTable& Table;
        ~TCloseOverride() { Table.Close(); }
    } closeOverride{*tblRoleOverride};
    if (first) {
        counter = Context().AutoCounter("TBL_ROLES");
        db.StartTransaction();
    }
    try {
        if (first) {
            tblRoleOverride->Close();
            tblRoleOverride->Params().ParamByName("C")->SetAsInteger(std::stoi(baseRole));
            tblRoleOverride->Open();
            if (tblRoleOverride->IsEmpty())
                throw Exception("Role was deleted by other user");
            const std::string roleID = FieldText(*tblRoleOverride, "ROLE_ID");
            const std::string description = FieldText(*tblRoleOverride, "DESCRIPTION");
            TField* enterpriseField = tblRoleOverride->FieldByName("C_ENTERPRISE");
            TField* securityField = tblRoleOverride->FieldByName("SECURITY");
            const bool noSecurity = securityField->IsNull();
            const std::string security = noSecurity ? std::string() : securityField->AsString();
            const std::string baseEnterprise = enterpriseField->AsString();
            const std::string baseAlias = FieldText(*tblRoleOverride, "C_ALIAS");
            tblRoleOverride->Append();
            tblRoleOverride->FieldByName("COUNTER")->SetAsInteger(counter);
            tblRoleOverride->FieldByName("ROLE_ID")->SetAsString(roleID);
            tblRoleOverride->FieldByName("DESCRIPTION")->SetAsString(description);
            tblRoleOverride->FieldByName("C_ENTERPRISE")->SetAsString(baseEnterprise);
            if (!noSecurity)
                tblRoleOverride->FieldByName("SECURITY")->SetAsString(security);
            tblRoleOverride->FieldByName("C_ALIAS")->SetAsString(baseAlias);
            tblRoleOverride->FieldByName("PARENT_ROLE")->SetAsString(baseRole);
            tblRoleOverride->FieldByName("C_USER")->SetAsInteger(UserCounter());
            tblRoleOverride->Post();
            role = std::to_string(counter);
            enterprise = baseEnterprise;
            alias = baseAlias;
        }
        const std::string caption =
            "Security for:  [" + FieldText(*m_users, "USER_ID") + "] " + FieldText(*m_users, "FULL_NAME");
        if (!EditRights || !EditRights(role, enterprise, alias, caption))
            throw EAbort("Operation aborted");
        if (first) {
            tblUA->Edit();
            tblUA->FieldByName("C_ROLE")->SetAsInteger(counter);
            tblUA->FieldByName("PARENT_ROLE")->SetAsString(baseRole);
            tblUA->Post();
            db.Commit();
        }
    } catch (...) {
        if (tblUA->State() != dsBrowse)
            tblUA->Cancel();
        if (first && db.InTransaction())
            db.Rollback();
        throw;
    }
}
