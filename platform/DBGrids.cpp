#include "platform/DBGrids.h"

#include "platform/DataSet.h"
#include "platform/DataSetModel.h"
#include "platform/Dialogs.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {

// Hands each cell to the grid's hook first; otherwise paints each column on
// its own background and with its own alignment.
class TColumnDelegate : public QStyledItemDelegate
{
  public:
    explicit TColumnDelegate(TDBGrid* Grid) : QStyledItemDelegate(Grid), m_grid(Grid) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const TDBGridColumns& columns = m_grid->Columns();
        if (index.column() >= columns.Count())
            return;
        const TColumn& column = columns[index.column()];
        if (column.Color != clWindow)
            option->backgroundBrush = QBrush(ToQColor(column.Color));
        const Qt::Alignment h = column.Alignment == taRightJustify ? Qt::AlignRight
                                : column.Alignment == taCenter     ? Qt::AlignHCenter
                                                                   : Qt::AlignLeft;
        option->displayAlignment = h | Qt::AlignVCenter;
    }

  public:
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        if (m_grid->OnDrawColumnCell) {
            TGridCell cell{Option.rect, Index.row(), Index.column(), Index.data().toString(),
                           (Option.state & QStyle::State_Selected) != 0};
            bool handled = false;
            Painter->save();
            try {
                m_grid->OnDrawColumnCell(*Painter, cell, handled);
            } catch (...) {
                handled = false;
            }
            Painter->restore();
            if (handled)
                return;
        }
        QStyledItemDelegate::paint(Painter, Option, Index);
    }

  private:
    TDBGrid* m_grid;
};

} // namespace

// ---------------------------------------------------------------------------
// TDBGridColumns

TColumn& TDBGridColumns::Add(const std::string& FieldName)
{
    m_items.push_back(TColumn{FieldName});
    Changed();
    return m_items.back();
}

void TDBGridColumns::Clear()
{
    m_items.clear();
    Changed();
}

void TDBGridColumns::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        Changed();
}

void TDBGridColumns::Changed()
{
    if (m_updateCount == 0)
        m_grid.ApplyColumns();
}

// ---------------------------------------------------------------------------
// TDBGrid

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), m_model(new TDataSetModel(this))
{
    setModel(m_model);
    setItemDelegate(new TColumnDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_font.OnChange = [this](TObject*) { setFont(m_font.Handle()); };
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_model->SetCurrentRow(index.row());
    });
    // A new set of rows or fields drops the widths the view had; the
    // columns' own widths come back.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { ApplyColumns(); });
    ApplyOptions();
}

TField* TDBGrid::SelectedField() const
{
    const QModelIndex current = currentIndex();
    return m_model->ColumnField(current.isValid() ? current.column() : 0);
}

void TDBGrid::SetOptions(TDBGridOptions Value)
{
    m_options = Value;
    ApplyOptions();
}

void TDBGrid::SetReadOnly(bool Value)
{
    m_readOnly = Value;
}

void TDBGrid::ApplyOptions()
{
    horizontalHeader()->setVisible(m_options.Contains(dgTitles));
    verticalHeader()->setVisible(m_options.Contains(dgIndicator));
    m_model->SetIndicator(m_options.Contains(dgIndicator));
    if (m_options.Contains(dgIndicator))
        verticalHeader()->setFixedWidth(12);
    setSelectionBehavior(m_options.Contains(dgRowSelect) ? QAbstractItemView::SelectRows
                                                          : QAbstractItemView::SelectItems);
    // Whether titles show decides how wide a column without a width must be.
    ApplyColumns();
}

int TDBGrid::ClientWidth() const
{
    int w = viewport()->width();
    // Before the grid is shown the viewport has no size of its own yet.
    if (!isVisible() || w <= 0) {
        w = width() - 2 * frameWidth();
        if (m_options.Contains(dgIndicator))
            w -= verticalHeader()->width();
        // The scroll bar the rows will need.
        int h = height() - 2 * frameWidth();
        if (m_options.Contains(dgTitles))
            h -= horizontalHeader()->sizeHint().height();
        const int rows = m_model->rowCount();
        if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff && rows > 0 &&
            (m_model->canFetchMore(QModelIndex()) || rows * verticalHeader()->defaultSectionSize() > h))
            w -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    }
    return std::max(0, w);
}

TColor TDBGrid::ColumnColor(int Index) const
{
    return Index >= 0 && Index < m_columns.Count() ? m_columns[Index].Color : clWindow;
}

void TDBGrid::ApplyColumns()
{
    std::vector<std::string> names;
    for (int i = 0; i < m_columns.Count(); ++i)
        names.push_back(m_columns[i].FieldName);
    m_model->SetColumnFieldNames(names);
    for (int i = 0; i < m_model->columnCount(); ++i) {
        const bool ownWidth = i < m_columns.Count() && m_columns[i].Width >= 0;
        const int width = ownWidth ? m_columns[i].Width : DefaultColumnWidth(i);
        if (width >= 0)
            setColumnWidth(i, width);
    }
    viewport()->update();
}

int TDBGrid::DefaultColumnWidth(int Index) const
{
    const TField* field = m_model->ColumnField(Index);
    if (!field)
        return -1;
    // The cell's text sits inside the margins the style keeps on either side;
    // without them the last characters of a full-width value would be cut.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const QString digits(std::max(0, field->DisplayWidth()), QLatin1Char('0'));
    int width = fontMetrics().horizontalAdvance(digits) + 2 * margin;
    // A short field under a long caption still shows its whole title.
    if (m_options.Contains(dgTitles))
        width = std::max(width, horizontalHeader()->sectionSizeHint(Index));
    return width;
}

void TDBGrid::changeEvent(QEvent* Event)
{
    QTableView::changeEvent(Event);
    if (Event->type() == QEvent::FontChange || Event->type() == QEvent::StyleChange)
        ApplyColumns();
}

TDBGrid::~TDBGrid()
{
    m_model->SetDataSource(nullptr);
}

TDataSource* TDBGrid::DataSource() const
{
    return m_model->DataSource();
}

void TDBGrid::SetDataSource(TDataSource* Value)
{
    m_model->SetDataSource(Value);
}

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent), m_link(std::make_unique<TNavDataLink>(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const char* glyphs[] = {"|<", "<", ">", ">|", "+", "-", "\u270E", "\u2714", "\u2716"};
    const char* hints[] = {"First record", "Prior record", "Next record", "Last record", "Insert record",
                           "Delete record", "Edit record",  "Post edit",   "Cancel edit"};
    for (int i = 0; i < NavigateBtnCount; ++i) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromUtf8(glyphs[i]));
        button->setToolTip(hints[i]);
        button->setFixedSize(25, 25);
        connect(button, &QToolButton::clicked, this, [this, i] { BtnClick(static_cast<TNavigateBtn>(i)); });
        layout->addWidget(button);
        m_buttons[i] = button;
        if (i > nbLast)
            button->hide();
    }
    ConfirmDeleteQuery = [] { return MessageDlg("Delete record?", mtConfirmation, {mbOK, mbCancel}) == mrOk; };
    UpdateButtons();
}

TDBNavigator::~TDBNavigator()
{
    m_link->SetDataSource(nullptr);
}

void TDBNavigator::SetDataSource(TDataSource* Value)
{
    m_link->SetDataSource(Value);
    UpdateButtons();
}

void TDBNavigator::SetEnabled(bool Value)
{
    setEnabled(Value);
    UpdateButtons();
}

void TDBNavigator::SetVisibleButtons(std::initializer_list<TNavigateBtn> Buttons)
{
    for (QToolButton* button : m_buttons)
        button->hide();
    for (TNavigateBtn which : Buttons)
        m_buttons[which]->show();
}

void TDBNavigator::SetHints(const std::vector<std::string>& Hints)
{
    for (size_t i = 0; i < Hints.size() && i < m_buttons.size(); ++i)
        if (!Hints[i].empty())
            m_buttons[i]->setToolTip(QString::fromStdString(Hints[i]));
}

std::string TDBNavigator::Hint(TNavigateBtn Which) const
{
    return m_buttons[Which]->toolTip().toStdString();
}

void TDBNavigator::BtnClick(TNavigateBtn Which)
{
    TDataSet* dataSet = m_link->Active() ? m_link->DataSet() : nullptr;
    if (!dataSet)
        return;
    switch (Which) {
    case nbFirst:
        dataSet->First();
        break;
    case nbPrior:
        dataSet->Prior();
        break;
    case nbNext:
        dataSet->Next();
        break;
    case nbLast:
        dataSet->Last();
        break;
    case nbInsert:
        dataSet->Insert();
        break;
    case nbDelete:
        if (!ConfirmDelete || !ConfirmDeleteQuery || ConfirmDeleteQuery())
            dataSet->Delete();
        break;
    case nbEdit:
        dataSet->Edit();
        break;
    case nbPost:
        dataSet->Post();
        break;
    case nbCancel:
        dataSet->Cancel();
        break;
    }
    UpdateButtons();
}

void TDBNavigator::UpdateButtons()
{
    TDataSet* dataSet = m_link->Active() ? m_link->DataSet() : nullptr;
    const bool usable = isEnabled() && dataSet;
    const bool bof = !dataSet || dataSet->Bof();
    const bool eof = !dataSet || dataSet->Eof();
    const bool canModify = usable && dataSet->CanModify();
    const bool editing = usable && (dataSet->State() == dsEdit || dataSet->State() == dsInsert);
    m_buttons[nbFirst]->setEnabled(usable && !bof);
    m_buttons[nbPrior]->setEnabled(usable && !bof);
    m_buttons[nbNext]->setEnabled(usable && !eof);
    m_buttons[nbLast]->setEnabled(usable && !eof);
    m_buttons[nbInsert]->setEnabled(canModify);
    m_buttons[nbDelete]->setEnabled(canModify && !(bof && eof));
    m_buttons[nbEdit]->setEnabled(canModify && !editing);
    m_buttons[nbPost]->setEnabled(canModify && editing);
    m_buttons[nbCancel]->setEnabled(canModify && editing);
}
