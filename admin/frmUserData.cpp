#include "admin/frmUserData.h"

#include "Components/Controller/signin/CheckPassword.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "admin/UserDataRules.h"
#include "platform/DBCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/DateUtils.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "ui/Lookup.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

TDBEdit* MakeEdit(QWidget* Parent, const std::string& Field)
{
    auto* edit = new TDBEdit(Parent);
    edit->SetDataField(Field);
    return edit;
}

} // namespace

TfrmUserData::TfrmUserData(TAdminContext Context, QWidget* Parent) : TAdminDialog(std::move(Context), Parent)
{
    setWindowTitle("User Data");
    SetPosition(poScreenCenter);
    qryEnterprise = std::make_unique<TovnOndrelQuery>();
    SetSchema(*qryEnterprise, {"COUNTER, ENTERPRISE, DESCRIPTION, CITY, STATE, ZIP"}, {"TBL_ENTERPRISES"},
              {"CURRENT_USE = 'T'"}, "ENTERPRISE");
    qryEnterprise->InvisibleFields().Add("COUNTER");

    edtID = MakeEdit(this, "USER_ID");
    edtID->SetCharCase(ecUpperCase);
    edtPassword = new TEdit(this);
    SetPasswordChar(edtPassword, '*');
    btnPassword = MakeAction(this, "?", [this] { PasswordClick(); });
    btnPassword->setToolTip("Show the stored password");
    btnPassword->setEnabled(false);
    edtLast = MakeEdit(this, "LAST_NAME");
    edtFirst = MakeEdit(this, "FIRST_NAME");
    cboType = new TDBComboBox(this);
    cboType->SetDataField("USER_TYPE");
    cboType->SetStyle(csDropDownList);
    cboType->SetItems({"USR", "MGR", "SYS"});
    cboType->OnClick = [this](TObject*) { TypeRules(); };
    cboEnterprise = MakeEdit(this, "ENTERPRISE");
    cboEnterprise->SetReadOnly(true);
    btnEnterprise = MakeAction(this, "...", [this] { EnterpriseClick(); });
    edtExpDate = MakeEdit(this, "EXPIRATION_DATE");
    edtInterval = MakeEdit(this, "EXPIRATION_INTERVAL");
    edtWarning = MakeEdit(this, "DAYS_PASSWORD_WARNING");
    cboFAF = new TDBComboBox(this);
    cboFAF->SetDataField("FACILITY_ACCESS_FLAG");
    cboFAF->SetStyle(csDropDownList);
    cboFAF->SetItems({"I", "A"});
    chkCU = new TDBCheckBox("Current Use", this);
    chkCU->SetDataField("CURRENT_USE");
    chkRole = new TDBCheckBox("Define Role", this);
    chkRole->SetDataField("DEFINE_ROLE");
    chkFA = new TDBCheckBox("Define Facility Access", this);
    chkFA->SetDataField("DEFINE_FACILITY_ACCESS");
    chkDBA = new TDBCheckBox("Define DB Access", this);
    chkDBA->SetDataField("DEFINE_DB_ACCESS");
    chkRes = new TDBCheckBox("Restricted", this);
    chkRes->SetDataField("RESTRICTED_SYSTEM");
    edtEMail = MakeEdit(this, "EMAIL");

    btnAdd = MakeAction(this, "&Add", [this] { AddClick(); });
    btnEdit = MakeAction(this, "&Edit", [this] { EditClick(); });
    btnDelete = MakeAction(this, "&Delete", [this] { DeleteClick(); });
    btnOK = MakeAction(this, "&OK", [this] { OKClick(); });
    btnClose = MakeAction(this, "&Close", [this] { CloseClick(); });
    Navigator = new TDBNavigator(this);
    Navigator->Button(nbFirst)->hide();
    Navigator->Button(nbLast)->hide();

    auto* form = new QGridLayout;
    auto row = [&](int r, int c, const char* caption, QWidget* w, QWidget* extra = nullptr) {
        form->addWidget(new TPlainLabel(caption, this), r, c);
        if (extra) {
            auto* h = new QHBoxLayout;
            h->addWidget(w, 1);
            h->addWidget(extra);
            form->addLayout(h, r, c + 1);
        } else {
            form->addWidget(w, r, c + 1);
        }
    };
    row(0, 0, "ID:", edtID);
    row(1, 0, "Password:", edtPassword, btnPassword);
    row(2, 0, "Last Name:", edtLast);
    row(3, 0, "First Name:", edtFirst);
    row(4, 0, "Type:", cboType);
    row(5, 0, "Enterprise:", cboEnterprise, btnEnterprise);
    row(6, 0, "EMail address:", edtEMail);
    row(0, 2, "Expiration Date:", edtExpDate);
    row(1, 2, "Expiration Interval:", edtInterval);
    row(2, 2, "Password Waring Days:", edtWarning);
    row(3, 2, "Facility Access Flag:", cboFAF);
    form->addWidget(chkCU, 4, 3);
    form->addWidget(chkRole, 5, 3);
    form->addWidget(chkFA, 6, 3);
    form->addWidget(chkDBA, 7, 3);
    form->addWidget(chkRes, 8, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Navigator);
    buttons->addStretch();
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete, btnOK, btnClose})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    m_dataControls = {edtID,       edtPassword, edtLast, edtFirst, cboType, cboEnterprise, btnEnterprise, edtExpDate,
                      edtInterval, edtWarning,  cboFAF,  chkCU,    chkRole, chkFA,         chkDBA,        chkRes,
                      edtEMail};
}

TfrmUserData::~TfrmUserData()
{
    SetDataSource(nullptr);
}

void TfrmUserData::SetDataSource(TDataSource* Value)
{
    if (m_ds)
        m_ds->OnDataChange = nullptr;
    m_ds = Value;
    for (TDBEdit* e : {edtID, edtLast, edtFirst, cboEnterprise, edtExpDate, edtInterval, edtWarning, edtEMail})
        e->SetDataSource(Value);
    for (TDBComboBox* c : {cboType, cboFAF})
        c->SetDataSource(Value);
    for (TDBCheckBox* c : {chkCU, chkRole, chkFA, chkDBA, chkRes})
        c->SetDataSource(Value);
    Navigator->SetDataSource(Value);
    if (m_ds) {
        m_ds->OnDataChange = [this](TObject*, TField* field) {
            if (!field)
                RecordChanged();
        };
        RecordChanged();
    }
}

TDataSet& TfrmUserData::Data() const
{
    if (!m_ds || !m_ds->DataSet())
        throw Exception("User Data has no data source");
    return *m_ds->DataSet();
}

void TfrmUserData::RecordChanged()
{
    if (!m_ds || !m_ds->DataSet() || !m_ds->DataSet()->Active())
        return;
    TDataSet& data = *m_ds->DataSet();
    edtPassword->SetText(FieldText(data, "USER_PASSWORD"));
    if (data.State() == dsBrowse)
        m_rememberedFlag = FieldText(data, "FACILITY_ACCESS_FLAG");
}

void TfrmUserData::Load()
{
    qryEnterprise->SetDatabase(&SysDB(Context()));
    const TAdministrator& admin = Context().Admin;
    if (admin.UserType != "SYS") {
        cboType->RemoveItem("SYS");
        SetTag(cboEnterprise, LockedTag);
        SetTag(btnEnterprise, LockedTag);
        if (admin.FacilityAccessFlag == "I")
            SetTag(cboFAF, LockedTag);
        if (admin.DefineRole == "F")
            SetTag(chkRole, LockedTag);
        if (admin.DefineFacilityAccess == "F")
            SetTag(chkFA, LockedTag);
        if (admin.DefineDBAccess == "F")
            SetTag(chkDBA, LockedTag);
    } else {
        btnPassword->setEnabled(true);
    }
    View();
}

void TfrmUserData::View()
{
    btnAdd->setEnabled(true);
    btnEdit->setEnabled(true);
    btnDelete->setEnabled(true);
    btnOK->setEnabled(false);
    btnClose->setText("&Close");
    Navigator->SetEnabled(true);
    SetDataControlsMode(m_dataControls, false);
}

void TfrmUserData::Change()
{
    btnAdd->setEnabled(false);
    btnEdit->setEnabled(false);
    btnDelete->setEnabled(false);
    Navigator->SetEnabled(false);
    btnOK->setEnabled(true);
    btnClose->setText("&Cancel");
    SetDataControlsMode(m_dataControls, true);
}

void TfrmUserData::AddClick()
{
    Data().Append();
    edtPassword->SetText("");
    Change();
    TypeRules();
}

namespace {

TUserRecord Record(const TDataSet& Data)
{
    TField* counter = Data.FindField("COUNTER");
    return {counter && !counter->IsNull() ? counter->AsInteger() : 0, FieldText(Data, "USER_TYPE"),
            FieldText(Data, "FACILITY_ACCESS_FLAG"), FieldText(Data, "CREATED_BY")};
}

} // namespace

void TfrmUserData::EditClick()
{
    TDataSet& data = Data();
    const std::string refusal = ModificationCheck(Context().Admin, Record(data));
    if (!refusal.empty()) {
        MessageDlg(refusal, mtError, {mbOK});
        return;
    }
    data.Edit();
    Change();
    if (Context().Admin.Counter == 2 && Record(data).Counter == 2)
        for (QWidget* control : std::vector<QWidget*>{cboType, cboEnterprise, btnEnterprise, edtExpDate, edtInterval,
                                                      edtWarning, cboFAF, chkCU, chkRole, chkFA, chkDBA})
            control->setEnabled(false);
    TypeRules();
}

void TfrmUserData::DeleteClick()
{
    TDataSet& data = Data();
    const std::string refusal = DeletionCheck(Context().Admin, Record(data), !data.Active() || data.IsEmpty());
    if (!refusal.empty()) {
        MessageDlg(refusal, mtError, {mbOK});
        return;
    }
    if (MessageDlg("Selected user is about to be deleted. Continue?", mtWarning, {mbOK, mbCancel}) != mrOk)
        return;
    // The cascade and the row go together or not at all, so that no user is
    // left without his mail, roles and access.
    TNembraDatabase& db = SysDB(Context());
    const int32_t user = Record(data).Counter;
    db.StartTransaction();
    try {
        TStringList script;
        SetLines(script, DeleteUserScript(user));
        db.ExecBatch(script, true);
        data.Delete();
        db.Commit();
    } catch (...) {
        if (db.InTransaction())
            db.Rollback();
        if (data.State() != dsBrowse && data.Active())
            data.Cancel();
        throw;
    }
}

void TfrmUserData::TypeRules()
{
    TDataSet& data = Data();
    const TDataSetState state = data.State();
    if (state != dsEdit && state != dsInsert)
        return;
    const TTypeRuleResult rules =
        ::TypeRules(Context().Admin, {cboType->Text(), state == dsInsert, edtID->Text()});
    SetFields(data, rules.Values);
    chkRes->setEnabled(rules.RestrictedEnabled);
    TDBCheckBox* defines[3] = {chkRole, chkFA, chkDBA};
    for (int i = 0; i < 3; ++i)
        if (rules.DefineEnabled[i])
            defines[i]->setEnabled(*rules.DefineEnabled[i]);
}

void TfrmUserData::OKClick()
{
    if (Save())
        View();
}

bool TfrmUserData::Save()
{
    TDataSet& data = Data();
    const bool editing = data.State() == dsEdit;
    TField* enterprise = data.FieldByName("C_ENTERPRISE");
    TField* email = data.FieldByName("EMAIL");
    TSaveCheckInput input;
    input.EnterpriseEmpty = enterprise->IsNull();
    if (!enterprise->IsNull())
        input.C_Enterprise = enterprise->AsInteger();
    if (!email->IsNull())
        input.EMail = EMailToStore(email->AsString());
    if (!input.EMail && !email->IsNull())
        email->Clear();
    input.TypeBox = cboType->Text();
    input.FacilityAccessFlag = FieldText(data, "FACILITY_ACCESS_FLAG");
    input.IDBox = edtID->Text();
    if (auto refusal = SaveChecks(input)) {
        MessageDlg(refusal->Text, refusal->Warning ? mtWarning : mtError, {mbOK});
        return false;
    }
    bool dropFacilities = false;
    if (AsksFacilityFlag(editing, m_rememberedFlag, input.FacilityAccessFlag)) {
        if (MessageDlg(FacilityFlagQuestion, mtWarning, {mbOK, mbCancel}) != mrOk)
            return false;
        dropFacilities = true;
    }

    TNembraDatabase& db = SysDB(Context());
    std::string password = edtPassword->Text();
    const std::string stored = FieldText(data, "USER_PASSWORD");
    if (!(editing && password == stored)) {
        TovnOndrelQuery secure;
        secure.SetDatabase(&db);
        SetSQLText(secure, {"Select e.require_secure_password From tbl_enterprises e Where e.counter = :c_enterprise"});
        secure.Params().ParamByName("c_enterprise")->SetAsInteger(*input.C_Enterprise);
        secure.Open();
        if (secure.IsEmpty() || secure.Fields().Fields(0)->AsString() != "T") {
            password = UpperCase(password);
            edtPassword->SetText(password);
        }
        secure.Close();
        std::string history;
        const std::string answer = DoCheckPassword(db, 0, &data, OldPasswordMarker, password, history,
                                                   Context().Admin.UserType != "SYS");
        if (!answer.empty()) {
            MessageDlg(answer, mtWarning, {mbOK});
            return false;
        }
        data.FieldByName("PASSWORD_HISTORY")->SetAsString(history);
        if (password != stored)
            data.FieldByName("LAST_PASSWORD_CHANGE")->SetAsDateTime(Date());
    }
    if (data.State() == dsInsert)
        data.FieldByName("COUNTER")->SetAsInteger(Context().AutoCounter("TBL_USERS"));
    if (password.empty())
        data.FieldByName("USER_PASSWORD")->Clear();
    else
        data.FieldByName("USER_PASSWORD")->SetAsString(password);

    // The user's facility rows go only with the post that changes his flag.
    if (dropFacilities) {
        db.StartTransaction();
        try {
            TStringList script;
            SetLines(script, {DeleteFacilityAccessSQL(Record(data).Counter)});
            db.ExecBatch(script, false);
            data.Post();
            db.Commit();
        } catch (...) {
            if (db.InTransaction())
                db.Rollback();
            throw;
        }
    } else {
        data.Post();
    }
    return true;
}

void TfrmUserData::CloseClick()
{
    TDataSet& data = Data();
    if (data.State() == dsBrowse || !data.Active()) {
        SetModalResult(mrCancel);
        return;
    }
    data.Cancel();
    View();
}

void TfrmUserData::CloseQuery(bool& CanClose)
{
    CanClose = true;
}

void TfrmUserData::PasswordClick()
{
    MessageDlg("Password: " + FieldText(Data(), "USER_PASSWORD"), mtInformation, {mbOK});
}

void TfrmUserData::EnterpriseClick()
{
    TDataSet& data = Data();
    if (!qryEnterprise->Active()) {
        qryEnterprise->SetDatabase(&SysDB(Context()));
        qryEnterprise->Open();
    }
    ShowLookup("Enterprises", qryEnterprise.get(), data.FieldByName("C_ENTERPRISE"), data.FieldByName("ENTERPRISE"),
               "COUNTER", "ENTERPRISE");
}
