#include "platform/ReportList.h"

#include "platform/Forms.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

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

} // namespace

TReportList::TReportList(QWidget* Parent) : QTreeWidget(Parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
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
    }
}

void TReportList::ShowState(QTreeWidgetItem* Item, int Column, int State)
{
    Item->setData(Column, StateRole, State);
    Item->setIcon(Column, StateIcon(State));
}

int TReportList::AddItem(const std::string& Caption, intptr_t Data, int StateIndex, const std::vector<int>& SubStates)
{
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, QString::fromStdString(Caption));
    item->setData(0, DataRole, QVariant::fromValue<qlonglong>(Data));
    ShowState(item, 0, StateIndex);
    for (size_t i = 0; i < SubStates.size(); ++i)
        ShowState(item, static_cast<int>(i) + 1, SubStates[i]);
    return indexOfTopLevelItem(item);
}

std::string TReportList::Caption(int Index) const
{
    return topLevelItem(Index)->text(0).toStdString();
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
    const TMouseButton button = Event->button() == Qt::RightButton ? mbRight
                                : Event->button() == Qt::MiddleButton ? mbMiddle
                                                                      : mbLeft;
    try {
        OnMouseUp(button, Event->position().toPoint().x(), Event->position().toPoint().y());
    } catch (...) {
        ShowCurrentException();
    }
}
