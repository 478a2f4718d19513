#include "platform/ReportList.h"

#include "platform/Forms.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace {

constexpr int StateRole = Qt::UserRole + 1;
constexpr int DataRole = Qt::UserRole + 2;

// The drawn check box of a state image (none for 0).
QIcon StateIcon(int State)
{
    if (State <= 0)
        return {};
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QStyleOptionButton option;
    option.rect = QRect(1, 1, 14, 14);
    option.state = QStyle::State_Enabled | (State == 2 ? QStyle::State_On : QStyle::State_Off);
    QApplication::style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter);
    return QIcon(pixmap);
}

constexpr Qt::Alignment RightAlignment = Qt::AlignRight | Qt::AlignVCenter;

// The list view compares texts regardless of case; equal texts fall back to
// the exact order so that sorting stays stable from one run to the next.
class TReportItem : public QTreeWidgetItem
{
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& Other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QString mine = text(column);
        const QString theirs = Other.text(column);
        const int order = mine.compare(theirs, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : mine < theirs;
    }
};

} // namespace

TReportList::TReportList(QWidget* Parent) : QTreeWidget(Parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    QObject::connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* Item, int) {
        if (!OnDblClick)
            return;
        try {
            OnDblClick(indexOfTopLevelItem(Item));
        } catch (...) {
            ShowCurrentException();
        }
    });
}

void TReportList::SetColumns(const std::vector<TReportColumn>& Columns)
{
    setColumnCount(static_cast<int>(Columns.size()));
    QStringList captions;
    for (const TReportColumn& column : Columns)
        captions << QString::fromStdString(column.Caption);
    setHeaderLabels(captions);
    for (int i = 0; i < static_cast<int>(Columns.size()); ++i) {
        setColumnWidth(i, Columns[static_cast<size_t>(i)].Width);
        if (Columns[static_cast<size_t>(i)].Centred)
            headerItem()->setTextAlignment(i, Qt::AlignCenter);
        if (Columns[static_cast<size_t>(i)].RightAligned)
            headerItem()->setTextAlignment(i, RightAlignment);
        // A click on another caption sorts ascending whatever the style's
        // arrow placement would suggest.
        headerItem()->setData(i, Qt::InitialSortOrderRole, static_cast<int>(Qt::AscendingOrder));
    }
    m_columns = Columns;
}

void TReportList::SetSortType(TSortType Value)
{
    m_sortType = Value;
    setSortingEnabled(Value == stText);
    if (Value == stText)
        sortByColumn(0, Qt::AscendingOrder);
}

void TReportList::SetWidenColumns(bool Value)
{
    m_widenColumns = Value;
    header()->setStretchLastSection(!Value);
}

void TReportList::Align(QTreeWidgetItem* Item) const
{
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].RightAligned)
            Item->setTextAlignment(static_cast<int>(i), RightAlignment);
}

void TReportList::Widen(const std::vector<std::string>& Cells)
{
    const QFontMetrics metrics(font());
    for (int column = 0; column < static_cast<int>(Cells.size()) && column < columnCount(); ++column) {
        const int wanted =
            std::max(metrics.horizontalAdvance(QString::fromStdString(Cells[static_cast<size_t>(column)])),
                     metrics.horizontalAdvance(headerItem()->text(column))) +
            16;
        if (wanted > columnWidth(column))
            setColumnWidth(column, wanted);
    }
}

int TReportList::AddRow(const std::vector<std::string>& Cells)
{
    // Filled before it joins the list, so a sorted list places it once.
    auto* item = new TReportItem;
    for (size_t i = 0; i < Cells.size(); ++i)
        item->setText(static_cast<int>(i), QString::fromStdString(Cells[i]));
    Align(item);
    addTopLevelItem(item);
    if (m_widenColumns)
        Widen(Cells);
    return indexOfTopLevelItem(item);
}

void TReportList::ShowState(QTreeWidgetItem* Item, int Column, int State)
{
    Item->setData(Column, StateRole, State);
    Item->setIcon(Column, StateIcon(State));
}

int TReportList::AddItem(const std::string& Caption, intptr_t Data, int StateIndex,
                         const std::vector<int>& SubStates)
{
    auto* item = new TReportItem(this);
    item->setText(0, QString::fromStdString(Caption));
    item->setData(0, DataRole, QVariant::fromValue<qlonglong>(Data));
    ShowState(item, 0, StateIndex);
    Align(item);
    for (size_t i = 0; i < SubStates.size(); ++i)
        ShowState(item, static_cast<int>(i) + 1, SubStates[i]);
    return indexOfTopLevelItem(item);
}

std::string TReportList::Caption(int Index) const
{
    return topLevelItem(Index)->text(0).toStdString();
}

std::string TReportList::Cell(int Index, int Column) const
{
    return topLevelItem(Index)->text(Column).toStdString();
}

void TReportList::SetCell(int Index, int Column, const std::string& Text)
{
    topLevelItem(Index)->setText(Column, QString::fromStdString(Text));
}

intptr_t TReportList::Data(int Index) const
{
    return static_cast<intptr_t>(topLevelItem(Index)->data(0, DataRole).toLongLong());
}

int TReportList::StateIndex(int Index) const
{
    return topLevelItem(Index)->data(0, StateRole).toInt();
}

void TReportList::SetStateIndex(int Index, int Value)
{
    ShowState(topLevelItem(Index), 0, Value);
}

int TReportList::SubState(int Index, int Column) const
{
    return topLevelItem(Index)->data(Column, StateRole).toInt();
}

void TReportList::SetSubState(int Index, int Column, int Value)
{
    ShowState(topLevelItem(Index), Column, Value);
}

int TReportList::RowAt(int Y) const
{
    QTreeWidgetItem* item = itemAt(QPoint(0, Y));
    return item ? indexOfTopLevelItem(item) : -1;
}

int TReportList::ItemAt(int X, int Y) const
{
    if (X >= FirstColumnRight())
        return -1;
    QTreeWidgetItem* item = itemAt(QPoint(X, Y));
    return item ? indexOfTopLevelItem(item) : -1;
}

int TReportList::FirstColumnRight() const
{
    return header()->sectionViewportPosition(0) + columnWidth(0);
}

void TReportList::mouseReleaseEvent(QMouseEvent* Event)
{
    QTreeWidget::mouseReleaseEvent(Event);
    if (!OnMouseUp)
        return;
    const TMouseButton button = Event->button() == Qt::RightButton    ? mbRight
                                : Event->button() == Qt::MiddleButton ? mbMiddle
                                                                      : mbLeft;
    try {
        OnMouseUp(button, Event->position().toPoint().x(), Event->position().toPoint().y());
    } catch (...) {
        ShowCurrentException();
    }
}
