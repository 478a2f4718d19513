#include "Components/Controller/signin/frmDBLogin.h"

#include "Components/Controller/mainwindow/OrvaneBrowser4.h"
#include "Components/Controller/ovnController.h"
#include "platform/DataSetModel.h"
#include "platform/DataSource.h"
#include "platform/Fields.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The columns the dialog shows, in order; other fields are hidden.
const char* const ShownColumns[] = {"Database", "Description", "Enterprise"};

std::string FieldText(TDataSet& DataSet, const char* Name)
{
    TField* field = DataSet.FindField(Name);
    return field ? field->AsString() : std::string();
}

bool Contains(const std::string& Upper, const std::string& Value)
{
    return AnsiUpperCase(Value).find(Upper) != std::string::npos;
}

} // namespace

bool DBLoginRowMatches(const std::string& Search, const std::string& Database, const std::string& Description,
                       const std::string& Enterprise)
{
    const std::string upper = AnsiUpperCase(Search);
    return Contains(upper, Database) || Contains(upper, Description) || Contains(upper, Enterprise);
}

int DBLoginClientWidth(const std::vector<int>& ColumnWidths, int ScrollBarHeight)
{
    int width = ScrollBarHeight + 4;
    for (int w : ColumnWidths)
        width += w + 1;
    return width;
}

bool DBLoginExecute(TDataSet& DataBases)
{
    DataBases.SetFiltered(false);
    DataBases.First();
    if (DataBases.IsEmpty())
        throw EDBLogin("No database access assigned");
    // One database needs no choice.
    DataBases.Next();
    const bool single = DataBases.Eof();
    DataBases.First();
    if (single)
        return true;
    TfrmDBLogin dialog(DataBases, ApplicationMainForm());
    return dialog.ShowModal() == mrOk;
}

TfrmDBLogin::TfrmDBLogin(TDataSet& DataBases, QWidget* parent) : TDialogForm(parent), m_dataBases(DataBases)
{
    setObjectName("frmDBLogin");
    setWindowTitle(QStringLiteral("Select Database"));
    SetPosition(poMainFormCenter);
    // A dialog border without border icons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_source = std::make_unique<TDataSource>();
    m_source->SetDataSet(&DataBases);
    m_model = new TDataSetModel(this);
    m_model->SetDataSource(m_source.get());

    m_grid = new QTableView(this);
    m_grid->setObjectName("Grid");
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setShowGrid(true);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->setTabKeyNavigation(false);
    m_grid->setMinimumHeight(180);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != m_model->CurrentRow())
                    m_model->SetCurrentRow(current.row());
            });
    connect(m_model, &TDataSetModel::currentRowChanged, this, [this](int) { SelectCurrentRow(); });
    connect(m_grid, &QTableView::doubleClicked, this, [this](const QModelIndex&) { SetModalResult(mrOk); });

    m_lblSearch = new TPlainLabel(QStringLiteral("Search"), this);
    m_lblSearch->setObjectName("lblSearch");
    m_lblSearch->setToolTip(QStringLiteral("Press \"Backspace\" to remove filter"));
    m_lblSearch->hide();
    m_btnOK = MakeButton("OK", mrOk, true);
    m_btnCancel = MakeButton("Cancel", mrCancel, false, true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_lblSearch);
    bottom->addStretch();
    bottom->addWidget(m_btnOK);
    bottom->addWidget(m_btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addWidget(m_grid);
    auto* buttons = new QWidget(this);
    buttons->setLayout(bottom);
    bottom->setContentsMargins(8, 0, 8, 0);
    layout->addWidget(buttons);

    // Key preview: the dialog sees every key before the control that has
    // the focus.
    for (QWidget* w : {static_cast<QWidget*>(m_grid), m_grid->viewport(), static_cast<QWidget*>(m_btnOK),
                       static_cast<QWidget*>(m_btnCancel), static_cast<QWidget*>(this)})
        WatchKeys(w);

    m_previousFilter = m_dataBases.OnFilterRecord;
    m_dataBases.OnFilterRecord = [this](TDataSet* DataSet, bool& Accept) { FilterRecord(DataSet, Accept); };
    SizeColumns();
    SelectCurrentRow();
    m_grid->setFocus();
}

TfrmDBLogin::~TfrmDBLogin()
{
    m_dataBases.OnFilterRecord = m_previousFilter;
    m_model->SetDataSource(nullptr);
}

void TfrmDBLogin::WatchKeys(QWidget* Widget)
{
    Widget->installEventFilter(this);
}

void TfrmDBLogin::SizeColumns()
{
    const QFontMetrics metrics = m_grid->fontMetrics();
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    m_columnWidths.clear();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        TField* field = m_model->ColumnField(c);
        bool shown = false;
        for (const char* name : ShownColumns)
            shown = shown || (field && SameText(field->FieldName(), name));
        m_grid->setColumnHidden(c, !shown);
        if (!shown)
            continue;
        const int title = metrics.horizontalAdvance(QString::fromStdString(field->DisplayLabel()));
        const int width = std::max(title, field->DisplayWidth() * digit) + 4;
        m_grid->setColumnWidth(c, width);
        m_columnWidths.push_back(width);
    }
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int frame = 2 * m_grid->frameWidth();
    m_grid->setMinimumWidth(DBLoginClientWidth(m_columnWidths, scrollBar) + frame - 4);
    resize(DBLoginClientWidth(m_columnWidths, scrollBar) + frame, sizeHint().height());
}

void TfrmDBLogin::SelectCurrentRow()
{
    const int row = m_model->CurrentRow();
    if (row < 0 || m_grid->currentIndex().row() == row)
        return;
    int column = 0;
    while (column < m_model->columnCount() && m_grid->isColumnHidden(column))
        ++column;
    m_grid->setCurrentIndex(m_model->index(row, column));
}

void TfrmDBLogin::FilterRecord(TDataSet* DataSet, bool& Accept)
{
    Accept = DBLoginRowMatches(m_searchText, FieldText(*DataSet, "DATABASE"), FieldText(*DataSet, "Description"),
                               FieldText(*DataSet, "Enterprise"));
}

void TfrmDBLogin::TypeChar(char32_t Char)
{
    if (Char == U'\b')
        m_searchText.clear();
    else
        m_searchText += QString::fromUcs4(&Char, 1).toStdString();
    ApplySearch();
}

void TfrmDBLogin::ApplySearch()
{
    m_lblSearch->setText(QString::fromStdString(Format("Find what: \"%s\"", m_searchText)));
    m_lblSearch->setVisible(!m_searchText.empty());
    // Switching the filter off and on again evaluates it anew.
    m_dataBases.SetFiltered(false);
    if (!m_searchText.empty())
        m_dataBases.SetFiltered(true);
    SelectCurrentRow();
}

void TfrmDBLogin::CloseQuery(bool& CanClose)
{
    // Nothing to choose while the search leaves no row.
    if (ModalResult() == mrOk && m_dataBases.IsEmpty())
        CanClose = false;
}

bool TfrmDBLogin::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return TDialogForm::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & Qt::AltModifier) {
        if (key->key() == Qt::Key_C) {
            SetModalResult(mrCancel);
            return true;
        }
        if (key->key() == Qt::Key_O) {
            SetModalResult(mrOk);
            return true;
        }
        return false;
    }
    if (key->key() == Qt::Key_Backspace) {
        TypeChar(U'\b');
        return true;
    }
    // Characters that can be typed; keys without one (arrows, Enter,
    // Escape, Tab) keep their meaning in the list and the dialog.
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (key->modifiers() & Qt::ControlModifier))
        return false;
    for (char32_t c : text.toUcs4())
        TypeChar(c);
    return true;
}
