#include "ui/LookupFormDBCombo.h"

#include "Components/Nembra/ovnOndrel.h"
#include "base/KldProgress.h"
#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/Dialogs.h"
#include "platform/Fields.h"
#include "platform/ListBox.h"
#include "platform/Mask.h"
#include "platform/Variants.h"
#include "ui/ovnTabUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kSelected = 100;
constexpr int kCleared = 1;
constexpr TColor kRed = 0x0000FF;
constexpr TColor kMarkedColumn = 0x00FFFF;
constexpr int kItemsOnlyHeight = 310;
constexpr int kMeasuredRows = 11;

std::string DoubledApostrophes(const std::string& Text)
{
    std::string result;
    result.reserve(Text.size());
    for (char c : Text) {
        result += c;
        if (c == '\'')
            result += '\'';
    }
    return result;
}

// A value of the type the filter reads from Field's rows; empty for the
// text kinds, which take any text.
Variant SampleOf(TFieldType Type)
{
    switch (Type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return Variant(0);
    case ftLargeint:
        return Variant(0LL);
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return Variant(0.0);
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        return Variant::FromDate(0.0);
    case ftBoolean:
        return Variant(false);
    default:
        return {};
    }
}

} // namespace

std::string DBComboQueryCondition(const std::string& OriginalField, const std::string& Text)
{
    return "(UPPER(" + OriginalField + ") >= '" + DoubledApostrophes(AnsiUpperCase(Text)) + "')";
}

bool LookupFilterAccepts(const TField* Field, const std::string& Text)
{
    if (!Field || Text.find('"') != std::string::npos)
        return false;
    const Variant sample = SampleOf(Field->DataType());
    if (sample.IsEmpty())
        return true;
    // The comparison the filter makes for every row, made once.
    try {
        VarCompareValue(sample, Variant(Text));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string DBComboLookupFilter(const std::string& OriginalField, const std::string& Text)
{
    return OriginalField + " >= \"" + Text + "\"";
}

std::vector<TDBComboColumn> PlanDBComboColumns(TDataSet& DataSet, const std::function<int(const std::string&)>& TextWidth,
                                               int ClientWidth, int GridWidth, const std::string& MarkedField)
{
    std::vector<TDBComboColumn> columns;
    std::vector<TField*> fields;
    for (TField* field : DataSet.Fields())
        if (field->Visible()) {
            fields.push_back(field);
            columns.push_back({field->FieldName(), TextWidth(field->DisplayLabel()) + 8,
                               SameText(field->FieldName(), MarkedField)});
        }
    const TBookmark saved = DataSet.GetBookmark();
    DataSet.DisableControls();
    try {
        for (int row = 0; row < kMeasuredRows && !DataSet.Eof(); ++row) {
            for (size_t i = 0; i < fields.size(); ++i)
                columns[i].Width = std::max(columns[i].Width, TextWidth(fields[i]->Text()));
            DataSet.Next();
        }
        if (!saved.empty())
            DataSet.GotoBookmark(saved);
    } catch (...) {
        DataSet.EnableControls();
        throw;
    }
    DataSet.EnableControls();
    int total = 0;
    for (TDBComboColumn& column : columns) {
        column.Width = std::min(column.Width, ClientWidth - 30);
        total += column.Width;
    }
    if (!columns.empty() && total < GridWidth)
        columns.back().Width += ClientWidth - total - 1;
    return columns;
}

// ---------------------------------------------------------------------------
// TfrmDBCombo

TfrmDBCombo::TfrmDBCombo(QWidget* Parent) : TDialogForm(Parent), m_color(clBtnFace)
{
    setWindowTitle(QStringLiteral("Lookup"));
    setWindowFlag(Qt::Tool, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    setMinimumSize(400, 158);
    resize(560, 380);
    SetPosition(poScreenCenter);

    DataSource = new TDataSource();
    Query = new TovnOndrelQuery();

    Book = new TPageControl(this);
    Book->SetName("Book");
    Book->SetTabWidth(120);
    Book->SetTabHeight(25);
    TabPainter->SetTabControl(Book);
    tsDatabase = new TTabSheet(Book);
    tsDatabase->SetCaption("Database Lookup");
    tsHardCoded = new TTabSheet(Book);
    tsHardCoded->SetCaption("Hard-Coded Lookup");

    Grid = new TDBGrid(tsDatabase);
    Grid->SetOptions({dgTitles, dgRowSelect});
    Grid->SetReadOnly(true);
    Grid->SetDataSource(DataSource);
    auto* dbLayout = new QVBoxLayout(tsDatabase);
    dbLayout->setContentsMargins(0, 0, 0, 0);
    dbLayout->addWidget(Grid);
    QObject::connect(Grid->selectionModel(), &QItemSelectionModel::currentRowChanged, Grid,
                     [this](const QModelIndex& current) {
                         if (current.isValid())
                             Grid->Model().SetCurrentRow(current.row());
                     });
    QObject::connect(Grid, &QAbstractItemView::doubleClicked, this, [this] { Finish(kSelected); });

    ListBox = new TListBox(tsHardCoded);
    ListBox->Font().SetName(QFontDatabase::systemFont(QFontDatabase::FixedFont).family().toStdString());
    ListBox->OnDblClick = [this](TObject*) { Finish(kSelected); };
    auto* listLayout = new QVBoxLayout(tsHardCoded);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(ListBox);

    pnlFilter = new QFrame(this);
    edtSimple = new TMaskEdit(pnlFilter);
    edtSimple->SetAutoSelect(false);
    edtSimple->OnKeyDown = [this](TObject*, uint16_t& key, TShiftState) { EditKeyDown(key); };
    edtSimple->OnChange = [this](TObject*) { EditChanged(); };
    btnApply = new TSpeedButton(pnlFilter);
    btnApply->SetCaption("Apply Filter");
    btnApply->SetGroupIndex(1);
    btnApply->SetAllowAllUp(true);
    btnApply->setFixedSize(90, 23);
    btnApply->OnClick = [this](TObject*) { ApplyQuickFilter(); };
    chkSaveFilter = new QCheckBox(QStringLiteral("Save filter"), pnlFilter);
    chkSaveFilter->setChecked(true);
    chkSaveFilter->hide();
    cboIndexField = new QComboBox(pnlFilter);
    cboIndexField->addItem(QStringLiteral("<default sort>"));
    cboIndexField->hide();
    QObject::connect(cboIndexField, &QComboBox::activated, this, [this](int index) {
        try {
            IndexFieldChanged(index);
        } catch (...) {
            ShowCurrentException();
        }
    });
    Bevel = new QFrame(pnlFilter);
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    auto* filterRow = new QHBoxLayout();
    filterRow->addWidget(edtSimple, 1);
    filterRow->addWidget(btnApply);
    filterRow->addWidget(chkSaveFilter);
    filterRow->addWidget(cboIndexField);
    auto* filterLayout = new QVBoxLayout(pnlFilter);
    filterLayout->setContentsMargins(0, 2, 0, 2);
    filterLayout->addLayout(filterRow);
    filterLayout->addWidget(Bevel);

    pnlBottom = new QFrame(this);
    btnSelect = new QPushButton(QStringLiteral("&Select"), pnlBottom);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), pnlBottom);
    btnClear = new QPushButton(QStringLiteral("C&lear"), pnlBottom);
    btnAdvanced = new QPushButton(QStringLiteral("&Advanced Filter..."), pnlBottom);
    // Enter anywhere but in the quick filter edit selects, whichever button
    // has the focus.
    for (QPushButton* b : {btnSelect, btnCancel, btnClear, btnAdvanced})
        b->setAutoDefault(false);
    btnSelect->setDefault(true);
    QObject::connect(btnSelect, &QPushButton::clicked, this, [this] { Finish(kSelected); });
    QObject::connect(btnCancel, &QPushButton::clicked, this, [this] { Finish(0); });
    QObject::connect(btnClear, &QPushButton::clicked, this, [this] { Finish(kCleared); });
    QObject::connect(btnAdvanced, &QPushButton::clicked, this, [this] {
        try {
            AdvancedFilterClick();
        } catch (...) {
            ShowCurrentException();
        }
    });
    auto* bottom = new QHBoxLayout(pnlBottom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(btnAdvanced);
    bottom->addStretch(1);
    bottom->addWidget(btnSelect);
    bottom->addWidget(btnCancel);
    bottom->addWidget(btnClear);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Book, 1);
    layout->addWidget(pnlFilter);
    layout->addWidget(pnlBottom);
}

TfrmDBCombo::~TfrmDBCombo()
{
    Grid->SetDataSource(nullptr);
    delete DataSource;
    delete Query;
}

void TfrmDBCombo::SetOwnerCombo(const std::string& Name, const std::string& SearchByField,
                                const std::string& LookupField)
{
    m_ownerName = Name;
    m_ownerSearchByField = SearchByField;
    m_ownerLookupField = LookupField;
}

std::string TfrmDBCombo::MarkedField() const
{
    return m_ownerSearchByField.empty() ? m_ownerLookupField : m_ownerSearchByField;
}

void TfrmDBCombo::SetColor(TColor Value)
{
    m_color = Value;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(Value));
    setPalette(pal);
    setAutoFillBackground(true);
}

void TfrmDBCombo::Finish(int Result)
{
    Tag = Result;
    SetModalResult(Result == 0 ? mrCancel : mrOk);
}

int TfrmDBCombo::ShowModal()
{
    Tag = 0;
    m_filterRestored = false;
    m_focusEdit = PrepareShow();
    TDialogForm::ShowModal();
    return Tag;
}

bool TfrmDBCombo::PrepareShow()
{
    const bool defined = Query->SQLSchema().Defined();
    // 1. Nothing to pick from: the window stays open, red, for a cancel.
    if (!defined && ListBox->Count() == 0 && !LookupDataSet) {
        SetColor(kRed);
        MessageDlg("No lookup choices available\n\rComponent Name: " + m_ownerName, mtError, {mbOK});
        return false;
    }
    // 2. Items only: no filtering, and the list fills the window.
    if (!defined && !LookupDataSet) {
        edtSimple->hide();
        btnApply->hide();
        chkSaveFilter->hide();
        btnAdvanced->hide();
        pnlFilter->hide();
        resize(width(), kItemsOnlyHeight);
    }
    // 3.
    btnAdvanced->setVisible(defined);
    // 4 and 5.
    WaitCursor(true);
    try {
        PrepareData();
    } catch (const std::exception& e) {
        WaitCursor(false);
        throw ELookup("Could not show lookup form.\n\rComponent Name: " + m_ownerName + "\n\r" +
                      "Exception text: " + "\n\r" + e.what());
    }
    WaitCursor(false);
    // 6. A saved quick filter comes back in force.
    if (!SearchField.empty() && !edtSimple->Text().empty() && !btnApply->isHidden()) {
        btnApply->SetDown(true);
        ApplyQuickFilter();
        chkSaveFilter->setChecked(true);
        // The caret goes to the end once the edit has the focus.
        m_filterRestored = true;
    }
    return true;
}

void TfrmDBCombo::SettleLayout()
{
    // The grid measures against its own width, which the layouts give it
    // only once the window shows: they are settled now.
    layout()->activate();
    QResizeEvent resized(Book->size(), QSize());
    QApplication::sendEvent(Book, &resized);
}

void TfrmDBCombo::PrepareData()
{
    if (Query->SQLSchema().Defined()) {
        Book->SetActivePage(tsDatabase);
        SettleLayout();
        Query->Open();
        m_dataSet = Query;
        DataSource->SetDataSet(Query);
        PrepareGrid();
    } else if (LookupDataSet) {
        Book->SetActivePage(tsDatabase);
        SettleLayout();
        m_dataSet = LookupDataSet;
        DataSource->SetDataSet(LookupDataSet);
        PrepareGrid();
        for (TField* field : LookupDataSet->Fields())
            if (field->Visible())
                cboIndexField->addItem(QString::fromStdString(field->FieldName()));
        cboIndexField->show();
    } else {
        Book->SetActivePage(tsHardCoded);
        tsDatabase->SetTabVisible(false);
        tsDatabase->hide();
    }
    if (ListBox->Count() > 0) {
        ListBox->SetItemIndex(0);
    } else {
        tsHardCoded->SetTabVisible(false);
        tsHardCoded->hide();
    }
}

void TfrmDBCombo::PrepareGrid()
{
    if (!m_dataSet || !m_dataSet->Active())
        return;
    const QFontMetrics metrics(Grid->font());
    auto textWidth = [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
    const std::vector<TDBComboColumn> plan =
        PlanDBComboColumns(*m_dataSet, textWidth, Grid->ClientWidth(), Grid->width(), MarkedField());
    TDBGridColumns& columns = Grid->Columns();
    columns.BeginUpdate();
    columns.Clear();
    for (const TDBComboColumn& planned : plan) {
        TColumn& column = columns.Add(planned.FieldName);
        column.Width = planned.Width;
        column.Alignment = taLeftJustify;
        if (planned.Marked)
            column.Color = kMarkedColumn;
    }
    columns.EndUpdate();
}

void TfrmDBCombo::ApplyQuickFilter()
{
    if (btnApply->isHidden())
        return;
    const std::string text = edtSimple->Text();
    const bool on = btnApply->Down() && !text.empty();
    TSQLQuerySchema& schema = Query->SQLSchema();
    if (!m_dataSet || m_dataSet == Query) {
        if (on)
            schema.ApplySimpleFilter(DBComboQueryCondition(schema.GetOriginalField(SearchField), text),
                                     "UPPER(" + SearchField + ")");
        else
            schema.ApplySimpleFilter("", "");
        PrepareGrid();
    } else if (LookupDataSet) {
        // A text the filter cannot hold would let every row pass: it is
        // not looked up, as an empty text is not.
        if (on && LookupFilterAccepts(LookupDataSet->FindField(SearchField), text)) {
            LookupDataSet->SetFilter(DBComboLookupFilter(schema.GetOriginalField(SearchField), text));
            LookupDataSet->SetFiltered(true);
        } else {
            btnApply->SetDown(false);
            LookupDataSet->SetFiltered(false);
            LookupDataSet->SetFilter("");
        }
    }
}

void TfrmDBCombo::EditKeyDown(uint16_t& Key)
{
    if (Key == VK_RETURN) {
        if (btnApply->Down()) {
            Finish(kSelected);
        } else {
            btnApply->SetDown(true);
            ApplyQuickFilter();
        }
        Key = 0;
    } else if (Key == VK_UP || Key == VK_DOWN) {
        Grid->setFocus(Qt::OtherFocusReason);
        Key = 0;
    }
}

void TfrmDBCombo::EditChanged()
{
    if (!btnApply->Down())
        return;
    btnApply->SetDown(false);
    ApplyQuickFilter();
}

void TfrmDBCombo::AdvancedFilterClick()
{
    if (!Query->Active())
        return;
    Query->ExecFilter("");
    if (Query->IsFiltered())
        btnApply->SetDown(false);
}

void TfrmDBCombo::IndexFieldChanged(int Index)
{
    if (!LookupDataSet)
        return;
    if (Index <= 0) {
        LookupDataSet->SetIndexFields("");
        LookupDataSet->SetIndexEnabled(false);
    } else {
        LookupDataSet->SetIndexFields(cboIndexField->itemText(Index).toStdString());
        LookupDataSet->SetIndexEnabled(true);
    }
}

void TfrmDBCombo::setVisible(bool Visible)
{
    TDialogForm::setVisible(Visible);
    // After the dialog's own showing, which gives its focus widget a
    // focus-in of its own (selecting an edit's whole text).
    if (!Visible || !m_focusEdit)
        return;
    if (!m_filterRestored && Book->ActivePage() == tsDatabase)
        Grid->setFocus(Qt::OtherFocusReason);
    if (edtSimple->isVisibleTo(this) && edtSimple->isEnabled())
        edtSimple->setFocus(Qt::OtherFocusReason);
    if (m_filterRestored) {
        edtSimple->SetSelStart(static_cast<int>(QString::fromStdString(edtSimple->Text()).size()));
        edtSimple->SetSelLength(0);
    }
}
