#include "admin/MasterRecordDialog.h"

#include "admin/AdminForms.h"
#include "platform/DBCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DBStockControls.h"
#include "platform/DataSet.h"
#include "platform/DataSource.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

std::optional<int32_t> Counter(const TDataSet& Data)
{
    TField* counter = Data.FindField("COUNTER");
    if (!Data.Active() || Data.IsEmpty() || !counter || counter->IsNull())
        return std::nullopt;
    return counter->AsInteger();
}

} // namespace

TMasterRecordDialog::TMasterRecordDialog(TAdminContext Context, TMasterTable Table, QWidget* Parent)
    : TAdminDialog(std::move(Context), Parent), m_table(Table)
{
    SetPosition(poScreenCenter);
    btnAdd = MakeAction(this, "&Add", [this] { AddClick(); });
    btnEdit = MakeAction(this, "&Edit", [this] { EditClick(); });
    btnDelete = MakeAction(this, "&Delete", [this] { DeleteClick(); });
    btnOK = MakeAction(this, Table == TMasterTable::Facility ? "&Ok" : "&OK", [this] { OKClick(); });
    btnClose = MakeAction(this, "&Close", [this] { CloseClick(); });
    Navigator = new TDBNavigator(this);
    Navigator->Button(nbFirst)->hide();
    Navigator->Button(nbLast)->hide();
    chkCU = AddCheck("Current Use", "CURRENT_USE");
}

TMasterRecordDialog::~TMasterRecordDialog()
{
    Bind(nullptr);
}

TDBEdit* TMasterRecordDialog::AddEdit(const std::string& Field)
{
    auto* edit = new TDBEdit(this);
    edit->SetDataField(Field);
    m_binders.push_back([edit](TDataSource* ds) { edit->SetDataSource(ds); });
    m_dataControls.push_back(edit);
    return edit;
}

TDBComboBox* TMasterRecordDialog::AddCombo(const std::string& Field)
{
    auto* combo = new TDBComboBox(this);
    combo->SetDataField(Field);
    m_binders.push_back([combo](TDataSource* ds) { combo->SetDataSource(ds); });
    m_dataControls.push_back(combo);
    return combo;
}

TDBMemo* TMasterRecordDialog::AddMemo(const std::string& Field)
{
    auto* memo = new TDBMemo(this);
    memo->SetDataField(Field);
    m_binders.push_back([memo](TDataSource* ds) { memo->SetDataSource(ds); });
    m_dataControls.push_back(memo);
    return memo;
}

TDBCheckBox* TMasterRecordDialog::AddCheck(const std::string& Caption, const std::string& Field)
{
    auto* check = new TDBCheckBox(Caption, this);
    check->SetDataField(Field);
    m_binders.push_back([check](TDataSource* ds) { check->SetDataSource(ds); });
    m_dataControls.push_back(check);
    return check;
}

QHBoxLayout* TMasterRecordDialog::ButtonRow()
{
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Navigator);
    buttons->addStretch();
    for (QPushButton* b : {btnAdd, btnEdit, btnDelete, btnOK, btnClose})
        buttons->addWidget(b);
    return buttons;
}

void TMasterRecordDialog::Bind(TDataSource* Value)
{
    for (const auto& bind : m_binders)
        bind(Value);
    Navigator->SetDataSource(Value);
}

TDataSet& TMasterRecordDialog::Data() const
{
    if (!m_ds || !m_ds->DataSet())
        throw Exception(windowTitle().toStdString() + " has no data source");
    return *m_ds->DataSet();
}

void TMasterRecordDialog::Load()
{
    Bind(m_ds);
    View();
}

void TMasterRecordDialog::ApplyState(bool Editing)
{
    const TDataSet* data = m_ds ? m_ds->DataSet() : nullptr;
    const TRecordDialogState state =
        RecordDialogState(m_table, Editing, data && Editing ? Counter(*data) : std::nullopt);
    btnAdd->setEnabled(state.Add);
    btnEdit->setEnabled(state.Edit);
    btnDelete->setEnabled(state.Delete);
    Navigator->SetEnabled(state.Navigator);
    btnOK->setEnabled(state.OK);
    btnClose->setText(QString::fromStdString(state.CloseCaption));
    SetDataControlsMode(m_dataControls, state.DataControls);
    chkCU->setEnabled(state.CurrentUse);
}

void TMasterRecordDialog::View()
{
    ApplyState(false);
}

void TMasterRecordDialog::Change()
{
    ApplyState(true);
}

void TMasterRecordDialog::AddClick()
{
    Data().Append();
    Change();
}

void TMasterRecordDialog::EditClick()
{
    Data().Edit();
    Change();
}

void TMasterRecordDialog::DeleteClick()
{
    TDataSet& data = Data();
    const bool empty = !data.Active() || data.IsEmpty();
    const TDeleteDecision decision = DeleteDecision(m_table, empty, empty ? std::nullopt : Counter(data));
    if (!decision.Refusal.empty())
        throw Exception(decision.Refusal);
    if (MessageDlg(decision.Warning, mtWarning, {mbOK, mbCancel}) != mrOk)
        return;
    data.Delete();
}

void TMasterRecordDialog::OKClick()
{
    TDataSet& data = Data();
    // What a control holds but has not yet written counts for the check.
    data.UpdateRecord();
    if (!SaveCheck())
        return;
    if (data.State() == dsInsert)
        data.FieldByName("COUNTER")->SetAsInteger(Context().AutoCounter(TableName(m_table)));
    data.Post();
    View();
}

void TMasterRecordDialog::CloseClick()
{
    TDataSet& data = Data();
    if (!data.Active() || data.State() == dsBrowse) {
        SetModalResult(mrCancel);
        return;
    }
    data.Cancel();
    View();
}

TAddressRecordDialog::TAddressRecordDialog(TAdminContext Context, TMasterTable Table, const std::string& NameCaption,
                                           const std::string& NameField, QWidget* Parent)
    : TMasterRecordDialog(std::move(Context), Table, Parent), m_grid(new QGridLayout)
{
    m_name = AddEdit(NameField);
    edtDescription = AddEdit("DESCRIPTION");
    edtAddress1 = AddEdit("ADDRESS1");
    edtAddress2 = AddEdit("ADDRESS2");
    edtCity = AddEdit("CITY");
    edtState = AddEdit("STATE");
    edtState->SetCharCase(ecUpperCase);
    edtZip = AddEdit("ZIP");
    edtPhone1 = AddEdit("PHONE1");
    edtPhone2 = AddEdit("PHONE2");
    edtFax = AddEdit("FAX");
    edtContact1 = AddEdit("CONTACT1");
    edtContact2 = AddEdit("CONTACT2");

    AddRow(0, 0, NameCaption, m_name);
    AddRow(1, 0, "Description:", edtDescription);
    AddRow(2, 0, "Address 1:", edtAddress1);
    AddRow(3, 0, "Address 2:", edtAddress2);
    AddRow(4, 0, "City:", edtCity);
    AddRow(5, 0, "State:", edtState);
    AddRow(6, 0, "Zip:", edtZip);
    AddRow(0, 1, "Phone 1:", edtPhone1);
    AddRow(1, 1, "Phone 2:", edtPhone2);
    AddRow(2, 1, "Fax:", edtFax);
    AddRow(3, 1, "Contact 1:", edtContact1);
    AddRow(4, 1, "Contact 2:", edtContact2);
    m_grid->setColumnStretch(1, 1);
    m_grid->setColumnStretch(3, 1);
}

void TAddressRecordDialog::AddRow(int Row, int Pair, const std::string& Caption, QWidget* Control)
{
    m_grid->addWidget(new TPlainLabel(QString::fromStdString(Caption), this), Row, 2 * Pair);
    m_grid->addWidget(Control, Row, 2 * Pair + 1);
}

void TAddressRecordDialog::FinishLayout()
{
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_grid);
    layout->addLayout(ButtonRow());
}
