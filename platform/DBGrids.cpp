#include "platform/DBGrids.h"

#include "platform/DataSet.h"
#include "platform/DataSetModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Hands each cell to the grid's hook first.
class TCellPainter : public QStyledItemDelegate
{
  public:
    explicit TCellPainter(TDBGrid* Grid) : QStyledItemDelegate(Grid), m_grid(Grid) {}
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

TDBGrid::TDBGrid(QWidget* parent) : QTableView(parent), m_model(new TDataSetModel(this))
{
    setModel(m_model);
    setItemDelegate(new TCellPainter(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_model->SetCurrentRow(index.row());
    });
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
    // The glyphs of the four moves.
    const char* glyphs[] = {"|<", "<", ">", ">|"};
    const char* hints[] = {"First record", "Prior record", "Next record", "Last record"};
    for (int i = nbFirst; i <= nbLast; ++i) {
        auto* button = new QToolButton(this);
        button->setText(glyphs[i]);
        button->setToolTip(hints[i]);
        button->setFixedSize(25, 25);
        connect(button, &QToolButton::clicked, this, [this, i] { BtnClick(static_cast<TNavigateBtn>(i)); });
        layout->addWidget(button);
        m_buttons[i] = button;
    }
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
    }
    UpdateButtons();
}

void TDBNavigator::UpdateButtons()
{
    TDataSet* dataSet = m_link->Active() ? m_link->DataSet() : nullptr;
    const bool usable = isEnabled() && dataSet;
    const bool bof = !dataSet || dataSet->Bof();
    const bool eof = !dataSet || dataSet->Eof();
    m_buttons[nbFirst]->setEnabled(usable && !bof);
    m_buttons[nbPrior]->setEnabled(usable && !bof);
    m_buttons[nbNext]->setEnabled(usable && !eof);
    m_buttons[nbLast]->setEnabled(usable && !eof);
}
