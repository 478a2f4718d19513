#include "ui/SchemaEditor.h"

#include "platform/DataSet.h"
#include "platform/Dialogs.h"
#include "platform/StdCtrls.h"
#include "platform/Threads.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

const std::vector<std::string> SchemaRelations = {">=", "<=", "=", ">", "<", "<>", "Like", "Not Like"};
const std::vector<std::string> SchemaSortOrders = {"Ascending", "Descending"};

namespace {

// The line breaks are LF then CR, as the messages have always been written.
constexpr const char* SInvalidRelation =
    "Invalid relationship operator for given field type and value.\n\rFields other than strings, may only use "
    "\"<>\" or \"=\" if the value is NULL (empty).";
constexpr const char* SLikeOnlyStrings = "\"Like\" relationship operator only works with string fields.";
constexpr const char* SClearAll = "Clear all filter and sort selections?";
constexpr const char* SCouldNotExecute = "Could not execute defined filter.\n\rTry to regroup or remove filter "
                                         "and/or sort conditions.\n\rError:\n\r";

bool IsLike(const std::string& relation)
{
    return SameText(relation, "Like") || SameText(relation, "Not Like");
}

bool IsStringType(TFieldType type)
{
    return type == ftString || type == ftFixedChar || type == ftWideString;
}

std::string CaseFlag(bool caseSensitive)
{
    return caseSensitive ? "Y" : "N";
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Installs the dialog as the schema's query builder when the library loads.
const bool s_queryBuilderInstalled = [] {
    OnExecuteQueryBuilder = &TfrmSchemaEditor::DoExecuteQueryBuilder;
    return true;
}();

} // namespace

// ===========================================================================
// TSchemaEditorLists

int TSchemaEditorLists::AddCondition(const std::string& field, TFieldType type, const std::string& relation,
                                     const std::string& value, bool newGroup, bool caseSensitive, int focused)
{
    if (type != ftString && value.empty() && relation != "<>" && relation != "=")
        throw Exception(SInvalidRelation);
    if (IsLike(relation) && !IsStringType(type))
        throw Exception(SLikeOnlyStrings);
    // A condition that makes no statement never joins the list.
    m_work.CreateFilterExpression(field, relation, value, caseSensitive);

    TSchemaFilterRow row{field, relation, value, 0, CaseFlag(caseSensitive)};
    const int count = static_cast<int>(m_conditions.size());
    if (newGroup || count == 0) {
        row.Group = ++m_groupCounter;
        m_conditions.push_back(row);
        return count;
    }
    if (focused < 0 || focused >= count)
        focused = count - 1;
    row.Group = m_conditions[static_cast<size_t>(focused)].Group;
    int at = focused + 1;
    while (at < count && m_conditions[static_cast<size_t>(at)].Group == row.Group)
        ++at;
    m_conditions.insert(m_conditions.begin() + at, row);
    return at;
}

TSchemaFilterRow TSchemaEditorLists::RemoveCondition(int index)
{
    const TSchemaFilterRow row = m_conditions.at(static_cast<size_t>(index));
    m_conditions.erase(m_conditions.begin() + index);
    if (m_conditions.empty())
        m_groupCounter = 0;
    return row;
}

int TSchemaEditorLists::AddSort(const std::string& field, const std::string& order, bool caseSensitive)
{
    m_sortRows.push_back({field, order, CaseFlag(caseSensitive)});
    return static_cast<int>(m_sortRows.size()) - 1;
}

TSchemaSortRow TSchemaEditorLists::RemoveSort(int index)
{
    const TSchemaSortRow row = m_sortRows.at(static_cast<size_t>(index));
    m_sortRows.erase(m_sortRows.begin() + index);
    return row;
}

void TSchemaEditorLists::Clear()
{
    m_conditions.clear();
    m_sortRows.clear();
    m_groupCounter = 0;
}

std::string TSchemaEditorLists::BuildFilter() const
{
    std::string filter;
    for (size_t i = 0; i < m_conditions.size(); ++i) {
        const TSchemaFilterRow& row = m_conditions[i];
        const bool startsGroup = i == 0 || row.Group != m_conditions[i - 1].Group;
        if (startsGroup)
            filter += i == 0 ? " ( " : " ) OR ( ";
        const std::string expression =
            m_work.CreateFilterExpression(row.Field, row.Relation, row.Value, row.CaseFlag != "N");
        filter += (startsGroup ? " (" : " AND (") + expression + ") ";
    }
    if (!m_conditions.empty())
        filter += " )";
    return filter;
}

std::string TSchemaEditorLists::BuildSort() const
{
    std::string sort;
    for (const TSchemaSortRow& row : m_sortRows) {
        if (!sort.empty())
            sort += ",";
        sort += m_work.CreateOrderByExpression(row.Field, SameText(row.Order, "descending"), row.CaseFlag != "N");
    }
    return sort;
}

std::string TSchemaEditorLists::BuildSQL()
{
    const std::string filter = BuildFilter();
    const std::string sort = BuildSort();
    m_work.BeginUpdate();
    m_work.SetUserFilter(filter);
    m_work.SetUserSort(sort);
    m_work.EndUpdate();
    return m_work.GetSQL();
}

bool IsValidFilterChar(TFieldType type, char32_t ch)
{
    const bool digitOrSign = (ch >= '0' && ch <= '9') || ch == '+' || ch == '-';
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        return digitOrSign;
    case ftFloat:
    case ftCurrency:
        return digitOrSign || ch == '.' || ch == 'E' || ch == 'e';
    case ftBCD:
    case ftFMTBcd:
        return digitOrSign || ch == '.';
    default:
        return true;
    }
}

// ===========================================================================
// TfrmSchemaEditor

TfrmSchemaEditor::TfrmSchemaEditor(QWidget* owner, const std::string& fieldName, TSQLQuerySchema* schema)
    : TDialogForm(owner), m_schema(schema), m_work(schema->DataSet()), m_presetField(fieldName)
{
    m_work.Assign(*schema);
    CreateControls();
}

TfrmSchemaEditor::~TfrmSchemaEditor() = default;

void TfrmSchemaEditor::DoExecuteQueryBuilder(TSQLQuerySchema* schema, const std::string& fieldName)
{
    auto* dialog = dynamic_cast<TfrmSchemaEditor*>(schema->QueryBuilder());
    if (!dialog) {
        auto made = std::make_unique<TfrmSchemaEditor>(nullptr, fieldName, schema);
        dialog = made.get();
        schema->SetQueryBuilder(std::move(made));
    }
    dialog->ShowModal();
}

template <class Fn> void TfrmSchemaEditor::Guarded(const char* where, Fn&& handler)
{
    try {
        handler();
    } catch (const EAbort&) {
    } catch (...) {
        try {
            ShowCurrentException();
        } catch (...) {
            ReportCurrentException(std::string("TfrmSchemaEditor.") + where);
        }
    }
}

void TfrmSchemaEditor::CreateControls()
{
    setWindowTitle("Advanced Filter");
    setFixedSize(688, 552); // a fixed dialog border
    SetPosition(poScreenCenter);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(8, 8, 8, 8);

    m_pages = new QStackedWidget(this);
    main->addWidget(m_pages, 1);
    auto* criteria = new QWidget(m_pages);
    auto* criteriaLayout = new QVBoxLayout(criteria);
    criteriaLayout->setContentsMargins(0, 0, 0, 0);
    m_pages->addWidget(criteria);
    m_sqlText = new QPlainTextEdit(m_pages);
    m_sqlText->setReadOnly(true);
    m_sqlText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pages->addWidget(m_sqlText);

    auto labelled = [](const char* caption, QWidget* editor) {
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        auto* label = new TPlainLabel(caption);
        label->setBuddy(editor);
        box->addWidget(label);
        box->addWidget(editor);
        return box;
    };
    auto list = [](QWidget* parent, const QStringList& columns) {
        auto* tree = new QTreeWidget(parent);
        tree->setColumnCount(static_cast<int>(columns.size()));
        tree->setHeaderLabels(columns);
        tree->setRootIsDecorated(false);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->header()->setStretchLastSection(true);
        return tree;
    };

    // Filtering criteria
    auto* filterGroup = new QGroupBox("Filtering Criteria", criteria);
    criteriaLayout->addWidget(filterGroup, 3);
    auto* filterLayout = new QVBoxLayout(filterGroup);
    auto* editors = new QHBoxLayout;
    filterLayout->addLayout(editors);
    m_field = new QComboBox(filterGroup);
    m_relation = new QComboBox(filterGroup);
    for (const std::string& relation : SchemaRelations)
        m_relation->addItem(Q(relation));
    m_value = new QLineEdit(filterGroup);
    m_value->installEventFilter(this);
    editors->addLayout(labelled("Field", m_field), 3);
    editors->addLayout(labelled("Relates", m_relation), 2);
    editors->addLayout(labelled("To Value", m_value), 3);
    auto* checks = new QVBoxLayout;
    m_newGroup = new QCheckBox("Create new \"OR\" group", filterGroup);
    m_case = new QCheckBox("Case-sensitive", filterGroup);
    checks->addWidget(m_newGroup);
    checks->addWidget(m_case);
    editors->addLayout(checks, 2);
    auto* filterButtons = new QVBoxLayout;
    m_add = new QPushButton("Add", filterGroup);
    m_remove = new QPushButton("Remove", filterGroup);
    filterButtons->addWidget(m_add);
    filterButtons->addWidget(m_remove);
    editors->addLayout(filterButtons);
    m_conditions = list(filterGroup, {"Field", "Relates", "Value", "Group", "Case"});
    filterLayout->addWidget(m_conditions, 1);

    // Sort order
    auto* sortGroup = new QGroupBox("Sort Order", criteria);
    criteriaLayout->addWidget(sortGroup, 2);
    auto* sortLayout = new QVBoxLayout(sortGroup);
    auto* sortEditors = new QHBoxLayout;
    sortLayout->addLayout(sortEditors);
    m_sortField = new QComboBox(sortGroup);
    m_order = new QComboBox(sortGroup);
    for (const std::string& order : SchemaSortOrders)
        m_order->addItem(Q(order));
    m_sortCase = new QCheckBox("Case-sensitive", sortGroup);
    sortEditors->addLayout(labelled("Field", m_sortField), 3);
    sortEditors->addLayout(labelled("Order", m_order), 2);
    sortEditors->addWidget(m_sortCase, 2, Qt::AlignBottom);
    auto* sortButtons = new QVBoxLayout;
    m_sortAdd = new QPushButton("Add", sortGroup);
    m_sortRemove = new QPushButton("Remove", sortGroup);
    sortButtons->addWidget(m_sortAdd);
    sortButtons->addWidget(m_sortRemove);
    sortEditors->addLayout(sortButtons);
    m_sortList = list(sortGroup, {"Field", "Order", "Case"});
    sortLayout->addWidget(m_sortList, 1);

    // Buttons
    auto* buttons = new QHBoxLayout;
    main->addLayout(buttons);
    m_sqlButton = new QPushButton("SQL", this);
    m_sqlButton->setFlat(true);
    m_sqlButton->setToolTip("Show/Hide SQL Statement Text");
    buttons->addWidget(m_sqlButton);
    buttons->addStretch(1);
    m_apply = MakeButton("&Apply", mrOk, true);
    m_clear = MakeButton("C&lear", mrNone);
    m_cancel = MakeButton("&Cancel", mrCancel, false, true);
    for (QPushButton* b : {m_apply, m_clear, m_cancel})
        buttons->addWidget(b);

    connect(m_field, &QComboBox::currentIndexChanged, this, [this] { Guarded("FieldChanged", [this] { FieldChanged(); }); });
    connect(m_add, &QPushButton::clicked, this, [this] { Guarded("Add", [this] { AddConditionClick(); }); });
    connect(m_remove, &QPushButton::clicked, this, [this] { Guarded("Remove", [this] { RemoveConditionClick(); }); });
    connect(m_sortAdd, &QPushButton::clicked, this, [this] { Guarded("SortAdd", [this] { AddSortClick(); }); });
    connect(m_sortRemove, &QPushButton::clicked, this,
            [this] { Guarded("SortRemove", [this] { RemoveSortClick(); }); });
    connect(m_clear, &QPushButton::clicked, this, [this] { Guarded("Clear", [this] { ClearClick(); }); });
    connect(m_sqlButton, &QPushButton::clicked, this,
            [this] { m_pages->setCurrentIndex(m_pages->currentIndex() == 0 ? 1 : 0); });
}

bool TfrmSchemaEditor::SQLShown() const
{
    return m_pages->currentIndex() == 1;
}

void TfrmSchemaEditor::showEvent(QShowEvent* event)
{
    TDialogForm::showEvent(event);
    Guarded("Show", [this] {
        if (!m_fieldsFilled) {
            m_fieldsFilled = true;
            FillFieldLists();
        }
        BuildSQL();
    });
}

void TfrmSchemaEditor::FillFieldLists()
{
    TDataSet* dataSet = m_schema->DataSet();
    if (!dataSet)
        return;
    for (TField* field : dataSet->Fields()) {
        if (!field->Visible() || field->IsBlob())
            continue;
        for (QComboBox* list : {m_field, m_sortField})
            list->addItem(Q(field->FieldName()), static_cast<int>(field->DataType()));
    }
    const int preset = m_field->findText(Q(m_presetField), Qt::MatchFixedString);
    if (preset >= 0) {
        m_field->setCurrentIndex(preset);
        m_sortField->setCurrentIndex(preset);
    }
}

bool TfrmSchemaEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_value || event->type() != QEvent::KeyPress)
        return TDialogForm::eventFilter(watched, event);
    const QString typed = static_cast<QKeyEvent*>(event)->text();
    const auto type = static_cast<TFieldType>(m_field->currentData().toInt());
    for (char32_t ch : typed.toUcs4()) {
        if (ch >= U' ' && ch != 0x7F && !IsValidFilterChar(type, ch)) {
            Beep();
            return true; // the key is dropped
        }
    }
    return TDialogForm::eventFilter(watched, event);
}

void TfrmSchemaEditor::FieldChanged()
{
    m_value->clear();
    m_relation->setCurrentIndex(0);
    m_newGroup->setChecked(false);
}

void TfrmSchemaEditor::AddConditionClick()
{
    const int count = m_conditions->topLevelItemCount();
    int focused = m_conditions->indexOfTopLevelItem(m_conditions->currentItem());
    if (focused < 0 && count > 0)
        focused = count - 1;
    const int added = m_lists.AddCondition(m_field->currentText().toStdString(),
                                           static_cast<TFieldType>(m_field->currentData().toInt()),
                                           m_relation->currentText().toStdString(), m_value->text().toStdString(),
                                           m_newGroup->isChecked(), m_case->isChecked(), focused);
    m_newGroup->setChecked(false);
    ShowConditions(focused < 0 ? -1 : focused >= added ? focused + 1 : focused);
    BuildSQL();
}

void TfrmSchemaEditor::RemoveConditionClick()
{
    const int focused = m_conditions->indexOfTopLevelItem(m_conditions->currentItem());
    if (focused < 0) {
        Beep();
        return;
    }
    const TSchemaFilterRow row = m_lists.RemoveCondition(focused);
    m_field->setCurrentIndex(m_field->findText(Q(row.Field), Qt::MatchFixedString));
    m_relation->setCurrentIndex(m_relation->findText(Q(row.Relation)));
    m_value->setText(Q(row.Value));
    m_case->setChecked(row.CaseFlag != "N");
    ShowConditions(-1);
    BuildSQL();
}

void TfrmSchemaEditor::AddSortClick()
{
    m_lists.AddSort(m_sortField->currentText().toStdString(), m_order->currentText().toStdString(),
                    m_sortCase->isChecked());
    ShowSortRows(m_sortList->indexOfTopLevelItem(m_sortList->currentItem()));
    BuildSQL();
}

void TfrmSchemaEditor::RemoveSortClick()
{
    const int focused = m_sortList->indexOfTopLevelItem(m_sortList->currentItem());
    if (focused < 0) {
        Beep();
        return;
    }
    const TSchemaSortRow row = m_lists.RemoveSort(focused);
    m_sortField->setCurrentIndex(m_sortField->findText(Q(row.Field), Qt::MatchFixedString));
    m_order->setCurrentIndex(m_order->findText(Q(row.Order)));
    m_sortCase->setChecked(row.CaseFlag != "N");
    ShowSortRows(-1);
    BuildSQL();
}

void TfrmSchemaEditor::ClearClick()
{
    if (MessageDlg(SClearAll, mtConfirmation, mbOKCancel) != mrOk)
        return;
    m_lists.Clear();
    ShowConditions(-1);
    ShowSortRows(-1);
    BuildSQL();
}

void TfrmSchemaEditor::CloseQuery(bool&)
{
    if (ModalResult() == mrOk)
        ApplyToQuery();
}

void TfrmSchemaEditor::ApplyToQuery()
{
    TSQLQuerySchema saved;
    saved.Assign(*m_schema);
    TDataSet* query = m_schema->DataSet();
    try {
        if (query)
            query->Close();
        m_schema->ApplyFilter(m_work.UserFilter(), m_work.UserSort());
        if (query)
            query->Open();
    } catch (const Exception& e) {
        m_schema->Assign(saved);
        try {
            if (query)
                query->Open();
        } catch (const Exception&) {
            // The filter's error is the one to report.
        }
        throw Exception(SCouldNotExecute + e.Message());
    }
}

void TfrmSchemaEditor::ShowConditions(int focused)
{
    m_conditions->clear();
    for (const TSchemaFilterRow& row : m_lists.Conditions()) {
        m_conditions->addTopLevelItem(new QTreeWidgetItem(
            {Q(row.Field), Q(row.Relation), Q(row.Value), QString::number(row.Group), Q(row.CaseFlag)}));
    }
    m_conditions->setCurrentItem(m_conditions->topLevelItem(focused));
}

void TfrmSchemaEditor::ShowSortRows(int focused)
{
    m_sortList->clear();
    for (const TSchemaSortRow& row : m_lists.SortRows())
        m_sortList->addTopLevelItem(new QTreeWidgetItem({Q(row.Field), Q(row.Order), Q(row.CaseFlag)}));
    m_sortList->setCurrentItem(m_sortList->topLevelItem(focused));
}

void TfrmSchemaEditor::BuildSQL()
{
    m_sqlText->setPlainText(Q(m_lists.BuildSQL()));
}

void TfrmSchemaEditor::Beep()
{
    ++m_beeps;
    QApplication::beep();
}
