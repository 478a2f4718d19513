#include "admin/frmRoleData.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "admin/frmSecurity.h"
#include "platform/DBStockControls.h"
#include "platform/DBCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "ui/Lookup.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmRoleData::TfrmRoleData(TAdminContext Context, QWidget* Parent) : TAdminDialog(std::move(Context), Parent)
{
    setWindowTitle("Role Data");
    SetPosition(poScreenCenter);
    qryEnterprise = std::make_unique<TovnOndrelQuery>();
    SetSchema(*qryEnterprise, {"COUNTER, ENTERPRISE, DESCRIPTION, CITY, STATE, ZIP"}, {"TBL_ENTERPRISES"},
              {"CURRENT_USE = 'T'"}, "ENTERPRISE");
    qryEnterprise->InvisibleFields().Add("COUNTER");
    qryAlias = std::make_unique<TovnOndrelQuery>();
    SetSchema(*qryAlias, {"TA.COUNTER, TA.ALIAS, TA.DESCRIPTION,TE.ENTERPRISE"},
              {"TBL_DBALIASES TA, TBL_ENTERPRISES TE"}, {}, "ALIAS");
    qryAlias->InvisibleFields().Add("COUNTER");

    auto edit = [this](const std::string& field) {
        auto* e = new TDBEdit(this);
        e->SetDataField(field);
        return e;
    };
    edtRole = edit("ROLE_ID");
    edtDescription = edit("DESCRIPTION");
    chkCU = new TDBCheckBox("Current Use", this);
    chkCU->SetDataField("CURRENT_USE");
    edtEnterprise = edit("ENTERPRISE");
    edtEnterprise->SetReadOnly(true);
    btnEnterprise = MakeAction(this, "...", [this] { EnterpriseClick(); });
    edtAlias = edit("ALIAS");
    edtAlias->SetReadOnly(true);
    btnAlias = MakeAction(this, "...", [this] { AliasClick(); });
    btnSecurity = MakeAction(this, "&Menu Security...", [this] { SecurityClick(); });
    btnAdd = MakeAction(this, "&Add", [this] { AddClick(); });
    btnEdit = MakeAction(this, "&Edit", [this] { EditClick(); });
    btnDelete = MakeAction(this, "&Delete", [this] { DeleteClick(); });
    btnOK = MakeAction(this, "&OK", [this] { OKClick(); });
    btnClose = MakeAction(this, "&Close", [this] { CloseClick(); });
    Navigator = new TDBNavigator(this);
    Navigator->Button(nbFirst)->hide();
    Navigator->Button(nbLast)->hide();

    auto* form = new QGridLayout;
    auto row = [&](int r, const char* caption, QWidget* w, QWidget* extra = nullptr) {
        form->addWidget(new TPlainLabel(caption, this), r, 0);
        form->addWidget(w, r, 1);
        if (extra)
            form->addWidget(extra, r, 2);
    };
    row(0, "Role:", edtRole);
    row(1, "Description:", edtDescription);
    row(2, "Enterprise:", edtEnterprise, btnEnterprise);
    row(3, "DB Alias:", edtAlias, btnAlias);
    form->addWidget(chkCU, 4, 1);
    form->addWidget(btnSecurity, 5, 1, Qt::AlignLeft);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Navigator);
    buttons->addStretch();
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete, btnOK, btnClose})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    m_dataControls = {edtRole, edtDescription, chkCU, edtEnterprise, btnEnterprise, edtAlias, btnAlias};
}

TfrmRoleData::~TfrmRoleData()
{
    SetDataSource(nullptr);
}

void TfrmRoleData::SetDataSource(TDataSource* Value)
{
    if (m_ds) {
        m_ds->OnDataChange = nullptr;
        m_ds->OnStateChange = nullptr;
    }
    m_ds = Value;
    for (TDBEdit* e : {edtRole, edtDescription, edtEnterprise, edtAlias})
        e->SetDataSource(Value);
    chkCU->SetDataSource(Value);
    Navigator->SetDataSource(Value);
    if (m_ds) {
        m_ds->OnDataChange = [this](TObject*, TField*) { UpdateSecurityButton(); };
        m_ds->OnStateChange = [this](TObject*) { UpdateSecurityButton(); };
        UpdateSecurityButton();
    }
}

TDataSet& TfrmRoleData::Data() const
{
    if (!m_ds || !m_ds->DataSet())
        throw Exception("Role Data has no data source");
    return *m_ds->DataSet();
}

void TfrmRoleData::UpdateSecurityButton()
{
    TDataSet* data = m_ds ? m_ds->DataSet() : nullptr;
    btnSecurity->setEnabled(data && data->Active() && data->State() == dsBrowse && !data->IsEmpty());
}

void TfrmRoleData::Load()
{
    qryEnterprise->SetDatabase(&SysDB(Context()));
    qryAlias->SetDatabase(&SysDB(Context()));
    if (Context().Admin.UserType == "MGR") {
        SetTag(edtEnterprise, LockedTag);
        SetTag(btnEnterprise, LockedTag);
    }
    View();
}

void TfrmRoleData::View()
{
    btnAdd->setEnabled(true);
    btnEdit->setEnabled(true);
    btnDelete->setEnabled(true);
    btnOK->setEnabled(false);
    btnClose->setText("&Close");
    Navigator->SetEnabled(true);
    SetDataControlsMode(m_dataControls, false);
    UpdateSecurityButton();
}

void TfrmRoleData::Change()
{
    btnAdd->setEnabled(false);
    btnEdit->setEnabled(false);
    btnDelete->setEnabled(false);
    Navigator->SetEnabled(false);
    btnOK->setEnabled(true);
    btnClose->setText("&Cancel");
    SetDataControlsMode(m_dataControls, true);
    UpdateSecurityButton();
}

void TfrmRoleData::AddClick()
{
    Data().Append();
    Change();
}

void TfrmRoleData::CheckManagerRole()
{
    if (Context().Admin.UserType == "MGR" &&
        FieldText(Data(), "C_ENTERPRISE") != std::to_string(Context().Admin.C_Enterprise))
        throw Exception("Manager can not modify global role");
}

void TfrmRoleData::EditClick()
{
    CheckManagerRole();
    Data().Edit();
    Change();
}

void TfrmRoleData::DeleteClick()
{
    TDataSet& data = Data();
    if (!data.Active() || data.IsEmpty())
        throw Exception("Nothing to Delete");
    CheckManagerRole();
    if (MessageDlg("Selected role is about to be deleted. Continue?", mtWarning, {mbOK, mbCancel}) != mrOk)
        return;
    TNembraDatabase& db = SysDB(Context());
    const std::string role = FieldText(data, "COUNTER");
    db.StartTransaction();
    try {
        TStringList modules;
        SetLines(modules, {"DELETE FROM TBL_ROLEMODULES WHERE C_ROLE = " + role});
        db.ExecBatch(modules, false);
        data.Delete();
        TStringList orphans;
        SetLines(orphans, {"UPDATE TBL_ROLES SET PARENT_ROLE = NULL WHERE PARENT_ROLE = " + role});
        db.ExecBatch(orphans, false);
        db.Commit();
    } catch (...) {
        if (db.InTransaction())
            db.Rollback();
        throw;
    }
}

void TfrmRoleData::OKClick()
{
    TDataSet& data = Data();
    const std::string role = edtRole->Text();
    if (!role.empty() && role[0] == '*') {
        MessageDlg("Can not create role with \"*\" at first position.\n\rThis charecter is reseved for individual "
                   "user role overrides",
                   mtError, {mbOK});
        return;
    }
    if (data.State() == dsInsert) {
        data.FieldByName("COUNTER")->SetAsInteger(Context().AutoCounter("TBL_ROLES"));
        data.FieldByName("C_USER")->SetAsInteger(1);
    }
    data.Post();
    View();
}

void TfrmRoleData::CloseClick()
{
    TDataSet& data = Data();
    if (!data.Active() || data.State() == dsBrowse) {
        SetModalResult(mrCancel);
        return;
    }
    data.Cancel();
    View();
}

void TfrmRoleData::EnterpriseClick()
{
    TDataSet& data = Data();
    if (!qryEnterprise->Active()) {
        qryEnterprise->SetDatabase(&SysDB(Context()));
        qryEnterprise->Open();
    }
    ShowLookup("Enterprises", qryEnterprise.get(), data.FieldByName("C_ENTERPRISE"), data.FieldByName("ENTERPRISE"),
               "COUNTER", "ENTERPRISE");
}

void TfrmRoleData::AliasClick()
{
    TDataSet& data = Data();
    if (!qryAlias->Active()) {
        TLines where = {"(TA.C_ENTERPRISE = TE.COUNTER) AND", "(TA.CURRENT_USE = 'T') AND", "(TE.CURRENT_USE = 'T')"};
        if (Context().Admin.UserType == "MGR") {
            const TLines scope = {"AND (", "TA.COUNTER IN (", "SELECT TR.C_ALIAS", "FROM TBL_ROLES TR, TBL_USERDBACCESS TDB",
                                  "WHERE (TDB.C_ROLE = TR.COUNTER) AND",
                                  "(TDB.C_USER = " + std::to_string(Context().Admin.Counter) + ")", ")", ")"};
            where.insert(where.end(), scope.begin(), scope.end());
        }
        SetLines(qryAlias->SQLSchema().Where(), where);
        qryAlias->SetDatabase(&SysDB(Context()));
        qryAlias->Open();
    }
    ShowLookup("DB Alias", qryAlias.get(), data.FieldByName("C_ALIAS"), data.FieldByName("ALIAS"), "COUNTER", "ALIAS");
}

void TfrmRoleData::SecurityClick()
{
    TDataSet& data = Data();
    if (!data.Active() || data.IsEmpty() || data.State() != dsBrowse)
        return;
    TfrmSecurity security(Context(), this);
    security.RoleCounter = FieldText(data, "COUNTER");
    security.EnterpriseCounter = FieldText(data, "C_ENTERPRISE");
    security.AliasCounter = FieldText(data, "C_ALIAS");
    security.setWindowTitle(QString::fromStdString("Security for role:  " + FieldText(data, "ROLE_ID") + " [DB: " +
                                                   FieldText(data, "ALIAS") + "]"));
    security.ShowModal();
}
