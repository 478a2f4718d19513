#include "ui/Lookup.h"

#include "Components/Nembra/ovnOndrel.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kChosen = 100;
constexpr int kCleared = 200;

TNembraQuery* CheckedDataSet(TNembraDBDataSet* DataSet)
{
    if (!DataSet)
        throw EovnLookup("Dataset is nil");
    if (!dynamic_cast<TovnOndrelTable*>(DataSet) && !dynamic_cast<TovnOndrelQuery*>(DataSet))
        throw EovnLookup("Dataset must be Query or Table");
    return static_cast<TNembraQuery*>(DataSet);
}

// The common start after the checks: the dataset opened, the window shown;
// answers the window's result.
int RunLookup(const std::string& Caption, TNembraQuery* DataSet)
{
    if (!DataSet->Active())
        DataSet->Open();
    auto form = std::make_unique<TfrmLookup>(QApplication::activeWindow());
    form->setWindowTitle(QString::fromStdString(Caption));
    form->SetDataSet(DataSet);
    form->ShowModal();
    return form->Tag;
}

} // namespace

TfrmLookup::TfrmLookup(QWidget* Parent) : TDialogForm(Parent)
{
    setWindowTitle(QStringLiteral("Lookup"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    resize(520, 340);
    DS = new TDataSource();
    Grid = new TDBGrid(this);
    Grid->SetDataSource(DS);
    GridModel = &Grid->Model();
    Grid->SetOptions({dgTitles, dgIndicator, dgRowSelect});
    Grid->SetReadOnly(true);
    // The keys move the dataset as a click does.
    QObject::connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, Grid,
                     [this](const QModelIndex& current) {
                         if (current.isValid())
                             GridModel->SetCurrentRow(current.row());
                     });
    QObject::connect(Grid, &QAbstractItemView::doubleClicked, this, [this] { Finish(kChosen); });

    btnOk = new QPushButton(QStringLiteral("&Ok"), this);
    btnClear = new QPushButton(QStringLiteral("C&lear"), this);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnFilter = new QPushButton(QStringLiteral("&Filter..."), this);
    btnOk->setDefault(true);
    QObject::connect(btnOk, &QPushButton::clicked, this, [this] { Finish(kChosen); });
    QObject::connect(btnClear, &QPushButton::clicked, this, [this] { Finish(kCleared); });
    QObject::connect(btnCancel, &QPushButton::clicked, this, [this] { Finish(0); });
    QObject::connect(btnFilter, &QPushButton::clicked, this, [this] {
        try {
            FilterClick();
        } catch (...) {
            ShowCurrentException();
        }
    });

    auto* bottom = new QHBoxLayout();
    bottom->addWidget(btnFilter);
    bottom->addStretch(1);
    bottom->addWidget(btnOk);
    bottom->addWidget(btnClear);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid, 1);
    layout->addLayout(bottom);
}

TfrmLookup::~TfrmLookup()
{
    Grid->SetDataSource(nullptr);
    delete DS;
}

void TfrmLookup::SetDataSet(TNembraQuery* DataSet)
{
    m_dataSet = DataSet;
    DS->SetDataSet(DataSet);
    UpdateFilterButton();
}

bool TfrmLookup::FilterBold() const { return btnFilter->font().bold(); }

void TfrmLookup::Finish(int Result)
{
    Tag = Result;
    // Closing by the window's own close button leaves the result 0.
    SetModalResult(Result == 0 ? mrCancel : mrOk);
}

void TfrmLookup::FilterClick()
{
    if (!m_dataSet)
        return;
    m_dataSet->ExecFilter("");
    UpdateFilterButton();
}

void TfrmLookup::UpdateFilterButton()
{
    QFont f = btnFilter->font();
    f.setBold(m_dataSet && m_dataSet->IsFiltered());
    btnFilter->setFont(f);
}

bool ShowLookup(const std::string& Caption, TNembraDBDataSet* DataSet, TField* Field1, TField* Field2,
                const std::string& Name1, const std::string& Name2)
{
    TNembraQuery* ds = CheckedDataSet(DataSet);
    const int result = RunLookup(Caption, ds);
    const bool second = Field2 && !Name2.empty();
    if (result == kChosen) {
        if (Field1)
            Field1->SetAsString(ds->FieldByName(Name1)->AsString());
        if (second)
            Field2->SetAsString(ds->FieldByName(Name2)->AsString());
    } else if (result == kCleared) {
        if (Field1)
            Field1->Clear();
        if (second)
            Field2->Clear();
    }
    return result != 0;
}

bool ShowLookup2(const std::string& Caption, TNembraDBDataSet* DataSet, TCustomEdit* Edit, const std::string& KeyField,
                 const std::string& TextField)
{
    TNembraQuery* ds = CheckedDataSet(DataSet);
    if (!Edit || KeyField.empty())
        throw EovnLookup("Undefined return/take field");
    const int result = RunLookup(Caption, ds);
    if (!TextField.empty()) {
        if (result == kChosen) {
            // Both read before either is written: a key that is no integer
            // leaves the edit as it was.
            const int32_t key = ds->FieldByName(KeyField)->AsInteger();
            const std::string text = ds->FieldByName(TextField)->AsString();
            Edit->Tag = key;
            Edit->SetText(text);
        } else if (result == kCleared) {
            Edit->Tag = 0;
            Edit->SetText("");
        }
    }
    return result != 0;
}

bool ShowLookupEx(const std::string& Caption, TNembraDBDataSet* DataSet, const std::vector<std::string>& Names,
                  const std::vector<TObject*>& Targets)
{
    TNembraQuery* ds = CheckedDataSet(DataSet);
    // One name with one target is a call like any other.
    if (Names.size() != Targets.size())
        throw EovnLookup("Undefined return/take field");
    const int result = RunLookup(Caption, ds);
    if (result == 0)
        return false;
    const bool chosen = result == kChosen;
    for (size_t i = 0; i < Names.size(); ++i) {
        TField* source = ds->FieldByName(Names[i]);
        if (auto* field = dynamic_cast<TField*>(Targets[i])) {
            if (chosen)
                field->SetValue(source->Value());
            else
                field->Clear();
        } else if (auto* edit = dynamic_cast<TCustomEdit*>(Targets[i])) {
            edit->SetText(chosen ? source->AsString() : std::string());
        } else if (auto* label = dynamic_cast<TCustomLabel*>(Targets[i])) {
            label->SetCaption(chosen ? source->AsString() : std::string());
        } else {
            throw EovnLookup("ShowLookupEx: Unsupported component type");
        }
    }
    return true;
}
