#include "admin/frmEnterprises.h"

#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/ovnOndrel.h"
#include "admin/AdminForms.h"
#include "admin/frmDataAlias.h"
#include "admin/frmDataEnterprise.h"
#include "admin/frmDataFacility.h"
#include "platform/DBGrids.h"
#include "platform/DataSet.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "platform/StockControls.h"

#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

using TColumns = std::vector<std::pair<std::string, std::string>>;

const TColumns EnterpriseColumns = {{"ENTERPRISE", "ENTERPRISE"},
                                    {"DESCRIPTION", "DESCRIPTION"},
                                    {"CITY", "CITY"},
                                    {"STATE", "STATE"},
                                    {"ZIP", "ZIP"},
                                    {"CONTACT1", "CONTACT1"},
                                    {"CURRENT_USE", "CURRENT USE"},
                                    {"ADVERTISE", "ADVERTISE"},
                                    {"INDUSTRY", "INDUSTRY"}};
const TColumns AliasColumns = {{"ALIAS", "ALIAS"},
                               {"DESCRIPTION", "DESCRIPTION"},
                               {"SERVER_NAME", "SERVER NAME"},
                               {"DRIVER_NAME", "DRIVER NAME"},
                               {"CURRENT_USE", "CURRENT USE"},
                               {"USER_NAME", "USER_NAME"}};
const TColumns FacilityColumns = {{"FACILITY", "FACILITY"}, {"DESCRIPTION", "DESCRIPTION"},
                                  {"ADDRESS1", "ADDRESS1"}, {"CITY", "CITY"},
                                  {"STATE", "STATE"},       {"ZIP", "ZIP"},
                                  {"PHONE1", "PHONE1"},     {"CONTACT1", "CONTACT1"},
                                  {"FAX", "FAX"},           {"CURRENT_USE", "CURRENT USE"}};

const TColumns& Columns(TMasterTable Table)
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return EnterpriseColumns;
    case TMasterTable::Alias:
        return AliasColumns;
    case TMasterTable::Facility:
        break;
    }
    return FacilityColumns;
}

// A form-level table over all columns of a master table, rows addressed by
// COUNTER.
std::unique_ptr<TovnOndrelTable> MakeTable(TMasterTable Table, const std::string& OrderBy)
{
    auto table = std::make_unique<TovnOndrelTable>();
    table->SetTableName(TableName(Table));
    table->SetKeyFieldName("COUNTER");
    table->SetServerUpdate(true);
    SetSchema(*table, {"T1.*"}, {TableName(Table) + " T1"}, {}, OrderBy);
    if (OrderBy.empty())
        table->SQLSchema().OrderBy().Clear();
    table->InvisibleFields().Add("COUNTER");
    if (Table != TMasterTable::Enterprise)
        table->InvisibleFields().Add("C_ENTERPRISE");
    return table;
}

TGroupBox* MakeGroup(QWidget* Parent, const std::string& Caption)
{
    auto* group = new TGroupBox(Parent);
    group->SetCaption(Caption);
    return group;
}

QHBoxLayout* Row(std::initializer_list<QPushButton*> Buttons)
{
    auto* row = new QHBoxLayout;
    for (QPushButton* b : Buttons)
        row->addWidget(b);
    row->addStretch();
    return row;
}

} // namespace

TfrmEnterprises::TfrmEnterprises(TAdminContext Context, QWidget* Parent)
    : TAdminDialog(std::move(Context), Parent)
{
    setWindowTitle("Enterprises");
    SetPosition(poScreenCenter);
    tblEnterprise = MakeTable(TMasterTable::Enterprise, "ENTERPRISE");
    tblAlias = MakeTable(TMasterTable::Alias, "");
    // The connection parameters come with the row that shows them.
    tblAlias->SetFetchBlobs(false);
    tblAlias->InvisibleFields().Add("LOGIN_PARAMS");
    tblFacility = MakeTable(TMasterTable::Facility, "");
    dsEnterprise = std::make_unique<TDataSource>();
    dsAlias = std::make_unique<TDataSource>();
    dsFacility = std::make_unique<TDataSource>();
    dsEnterprise->SetDataSet(tblEnterprise.get());
    dsAlias->SetDataSet(tblAlias.get());
    dsFacility->SetDataSet(tblFacility.get());

    auto* enterprises = MakeGroup(this, "Enterprise List");
    grdEnterprise = new TDBGrid(enterprises);
    grdEnterprise->SetDataSource(dsEnterprise.get());
    btnEnterpriseFilter =
        MakeAction(enterprises, "Filter...", [this] { FilterClick(TMasterTable::Enterprise); });
    btnEnterpriseDetails =
        MakeAction(enterprises, "Details", [this] { DetailsClick(TMasterTable::Enterprise); });
    btnEnterpriseRefresh =
        MakeAction(enterprises, "Refresh", [this] { RefreshClick(TMasterTable::Enterprise); });
    auto* top = new QVBoxLayout(enterprises);
    top->addWidget(grdEnterprise, 1);
    top->addLayout(Row({btnEnterpriseFilter, btnEnterpriseDetails, btnEnterpriseRefresh}));

    auto* facilities = MakeGroup(this, "Facilities");
    grdFacility = new TDBGrid(facilities);
    grdFacility->SetDataSource(dsFacility.get());
    btnFacilityFilter = MakeAction(facilities, "Filter...", [this] { FilterClick(TMasterTable::Facility); });
    btnFacilityDetails = MakeAction(facilities, "Details", [this] { DetailsClick(TMasterTable::Facility); });
    btnFacilityRefresh = MakeAction(facilities, "Refresh", [this] { RefreshClick(TMasterTable::Facility); });
    btnFacilityShow = MakeAction(facilities, "Show", [this] { ShowDetail(TMasterTable::Facility); });
    auto* left = new QVBoxLayout(facilities);
    left->addWidget(grdFacility, 1);
    left->addLayout(Row({btnFacilityFilter, btnFacilityDetails, btnFacilityRefresh, btnFacilityShow}));

    auto* aliases = MakeGroup(this, "DB Aliases");
    grdAlias = new TDBGrid(aliases);
    grdAlias->SetDataSource(dsAlias.get());
    btnAliasShow = MakeAction(aliases, "Show", [this] { ShowDetail(TMasterTable::Alias); });
    btnAliasFilter = MakeAction(aliases, "Filter...", [this] { FilterClick(TMasterTable::Alias); });
    btnAliasDetails = MakeAction(aliases, "Details", [this] { DetailsClick(TMasterTable::Alias); });
    btnAliasRefresh = MakeAction(aliases, "Refresh", [this] { RefreshClick(TMasterTable::Alias); });
    auto* right = new QVBoxLayout(aliases);
    right->addWidget(grdAlias, 1);
    right->addLayout(Row({btnAliasShow, btnAliasFilter, btnAliasDetails, btnAliasRefresh}));

    auto* details = new QSplitter(Qt::Horizontal);
    details->addWidget(facilities);
    details->addWidget(aliases);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(enterprises);
    splitter->addWidget(details);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(MakeButtonRow({MakeButton("&Close", mrCancel, false, true)}));
    resize(900, 560);

    for (TMasterTable table : {TMasterTable::Enterprise, TMasterTable::Alias, TMasterTable::Facility}) {
        Table(table).AfterOpen = [this, table](TDataSet*) { TableOpened(table); };
        Table(table).OnNewRecord = [this, table](TDataSet*) { NewRow(table); };
    }
    // Only a move to another row counts, not a field's change.
    dsEnterprise->OnDataChange = [this](TObject*, TField* Field) {
        if (!Field)
            EnterpriseRecordChanged();
    };
    for (TMasterTable table : {TMasterTable::Alias, TMasterTable::Facility})
        SetDetailButtons(table, DetailButtonsAfterEnterpriseChange(true));
}

TfrmEnterprises::~TfrmEnterprises()
{
    dsEnterprise->OnDataChange = nullptr;
    for (TDBGrid* grid : {grdEnterprise, grdFacility, grdAlias})
        grid->SetDataSource(nullptr);
}

TovnOndrelTable& TfrmEnterprises::Table(TMasterTable Table) const
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return *tblEnterprise;
    case TMasterTable::Alias:
        return *tblAlias;
    case TMasterTable::Facility:
        break;
    }
    return *tblFacility;
}

TDataSource& TfrmEnterprises::Source(TMasterTable Table) const
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return *dsEnterprise;
    case TMasterTable::Alias:
        return *dsAlias;
    case TMasterTable::Facility:
        break;
    }
    return *dsFacility;
}

void TfrmEnterprises::Load()
{
    TNembraDatabase& db = SysDB(Context());
    for (TMasterTable table : {TMasterTable::Enterprise, TMasterTable::Alias, TMasterTable::Facility})
        Table(table).SetDatabase(&db);
    tblEnterprise->Open();
}

void TfrmEnterprises::SetDetailButtons(TMasterTable Table, const TDetailButtons& Buttons)
{
    const bool aliases = Table == TMasterTable::Alias;
    (aliases ? btnAliasShow : btnFacilityShow)->setEnabled(Buttons.Show);
    (aliases ? btnAliasFilter : btnFacilityFilter)->setEnabled(Buttons.Filter);
    (aliases ? btnAliasDetails : btnFacilityDetails)->setEnabled(Buttons.Details);
    (aliases ? btnAliasRefresh : btnFacilityRefresh)->setEnabled(Buttons.Refresh);
}

void TfrmEnterprises::EnterpriseRecordChanged()
{
    tblAlias->Close();
    tblFacility->Close();
    const bool empty = !tblEnterprise->Active() || tblEnterprise->IsEmpty();
    for (TMasterTable table : {TMasterTable::Alias, TMasterTable::Facility})
        SetDetailButtons(table, DetailButtonsAfterEnterpriseChange(empty));
}

int32_t TfrmEnterprises::CurrentEnterprise() const
{
    TField* counter = tblEnterprise->Active() ? tblEnterprise->FindField("COUNTER") : nullptr;
    if (!counter || counter->IsNull())
        throw Exception("No enterprise is chosen");
    return counter->AsInteger();
}

void TfrmEnterprises::ShowDetail(TMasterTable Table)
{
    TovnOndrelTable& table = this->Table(Table);
    table.Close();
    table.SetDatabase(&SysDB(Context()));
    SetLines(table.SQLSchema().Where(), {DetailWhere(CurrentEnterprise())});
    table.Open();
    SetDetailButtons(Table, DetailButtonsAfterShow(!table.IsEmpty()));
}

void TfrmEnterprises::FilterClick(TMasterTable Table)
{
    this->Table(Table).ExecFilter(FilterField(Table));
}

void TfrmEnterprises::RefreshClick(TMasterTable Table)
{
    TovnOndrelTable& table = this->Table(Table);
    if (!table.Active())
        table.Open();
}

void TfrmEnterprises::TableOpened(TMasterTable Table)
{
    TovnOndrelTable& table = this->Table(Table);
    ShowColumns(table, Columns(Table));
    for (const auto& [name, mask] : EditMasks(Table))
        if (TField* field = table.FindField(name))
            field->SetEditMask(mask);
}

void TfrmEnterprises::NewRow(TMasterTable Table)
{
    const int32_t enterprise = Table == TMasterTable::Enterprise ? 0 : CurrentEnterprise();
    SetFields(this->Table(Table), NewRowValues(Table, enterprise));
}

std::unique_ptr<TMasterRecordDialog> TfrmEnterprises::MakeDialog(TMasterTable Table)
{
    switch (Table) {
    case TMasterTable::Enterprise:
        return std::make_unique<TfrmDataEnterprise>(Context(), this);
    case TMasterTable::Alias:
        return std::make_unique<TfrmDataAlias>(Context(), this);
    case TMasterTable::Facility:
        break;
    }
    return std::make_unique<TfrmDataFacility>(Context(), this);
}

void TfrmEnterprises::DetailsClick(TMasterTable Table)
{
    // A row the dialog left in edit or insert state goes, also when showing
    // failed.
    struct TCancel
    {
        TDataSet& Data;
        ~TCancel()
        {
            if (Data.Active() && (Data.State() == dsEdit || Data.State() == dsInsert))
                Data.Cancel();
        }
    } cancel{this->Table(Table)};
    std::unique_ptr<TMasterRecordDialog> dialog = MakeDialog(Table);
    dialog->SetDataSource(&Source(Table));
    dialog->ShowModal();
}
