// The speed button's click and group rules, the list box's lines, and the
// data grid's options and columns.
#include "platform/Buttons.h"
#include "platform/DBGrids.h"
#include "platform/DataSetModel.h"
#include "platform/ListBox.h"
#include "platform/StringList.h"

#include "VectorDataSet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>

namespace {

void SendMouse(QWidget& w, QEvent::Type type, const QPoint& at)
{
    const QPointF local(at);
    const QPointF global(w.mapToGlobal(at));
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, global, Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
}

void MouseClick(QWidget& w)
{
    const QPoint middle(w.width() / 2, w.height() / 2);
    SendMouse(w, QEvent::MouseButtonPress, middle);
    SendMouse(w, QEvent::MouseButtonRelease, middle);
}

void MouseDoubleClick(QWidget& w, const QPoint& at)
{
    SendMouse(w, QEvent::MouseButtonPress, at);
    SendMouse(w, QEvent::MouseButtonRelease, at);
    SendMouse(w, QEvent::MouseButtonDblClick, at);
    SendMouse(w, QEvent::MouseButtonRelease, at);
}

} // namespace

TEST(SpeedButton, ClicksFireAndGroupsKeepOneButtonDown)
{
    QWidget parent;
    auto* a = new TSpeedButton(&parent);
    auto* b = new TSpeedButton(&parent);
    auto* plain = new TSpeedButton(&parent);
    int clicks = 0;
    plain->OnClick = [&](TObject*) { ++clicks; };
    parent.show();

    MouseClick(*plain);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(plain->Down()) << "a button without a group is never kept down";
    plain->SetDown(true);
    EXPECT_FALSE(plain->Down());

    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    MouseClick(*a);
    EXPECT_TRUE(a->Down());
    MouseClick(*b);
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down()) << "the other button of the group is lifted";
    MouseClick(*b);
    EXPECT_TRUE(b->Down()) << "without AllowAllUp a down button stays down";
    b->SetAllowAllUp(true);
    MouseClick(*b);
    EXPECT_FALSE(b->Down());

    b->SetDown(true);
    a->SetDown(true);
    EXPECT_FALSE(b->Down()) << "SetDown follows the group rule too";

    a->setEnabled(false);
    EXPECT_EQ(a->State(), bsDisabled);
    a->setEnabled(true);
    EXPECT_EQ(a->State(), bsExclusive);
    a->SetGroupIndex(0);
    EXPECT_EQ(a->State(), bsUp);
}

TEST(ListBox, ItemsAreTheRowsAndADoubleClickOnALineFires)
{
    TListBox box;
    box.resize(200, 120);
    TStringList lines;
    lines.SetText("ABC Alpha\nDEF Delta\nGHI Gamma");
    box.Items().Assign(lines);
    ASSERT_EQ(box.Count(), 3);
    EXPECT_EQ(box.item(1)->text().toStdString(), "DEF Delta");
    EXPECT_EQ(box.Items().Strings(2), "GHI Gamma");
    EXPECT_EQ(box.ItemIndex(), -1);
    box.SetItemIndex(1);
    EXPECT_EQ(box.ItemIndex(), 1);
    box.SetItemIndex(7);
    EXPECT_EQ(box.ItemIndex(), -1) << "out of range selects nothing";
    box.Items().Delete(0);
    EXPECT_EQ(box.Items().Text(), "DEF Delta\r\nGHI Gamma\r\n");
    EXPECT_THROW(box.Items().Strings(5), Exception);

    int doubles = 0;
    box.OnDblClick = [&](TObject* sender) {
        EXPECT_EQ(sender, &box);
        ++doubles;
    };
    box.show();
    const QRect first = box.visualItemRect(box.item(0));
    MouseDoubleClick(*box.viewport(), first.center());
    EXPECT_EQ(doubles, 1);
    MouseDoubleClick(*box.viewport(), QPoint(5, box.viewport()->height() - 3));
    EXPECT_EQ(doubles, 1) << "a double click below the lines";
}

TEST(DBGrid, OptionsAndColumnsShapeTheGrid)
{
    TVectorDataSet ds;
    DefinePeople(ds);
    for (int i = 1; i <= 4; ++i)
        ds.AddRow({Variant(i), Variant("P" + std::to_string(i)), Variant(i * 0.5)});
    ds.Open();
    TDataSource src;
    src.SetDataSet(&ds);
    TDBGrid grid;
    grid.resize(300, 200);
    grid.SetDataSource(&src);

    grid.SetOptions({dgTitles, dgRowSelect});
    EXPECT_FALSE(grid.horizontalHeader()->isHidden());
    EXPECT_TRUE(grid.verticalHeader()->isHidden());
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    grid.SetOptions({dgIndicator});
    EXPECT_TRUE(grid.horizontalHeader()->isHidden());
    EXPECT_FALSE(grid.verticalHeader()->isHidden());
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectItems);
    // The indicator marks the current row only.
    ds.First();
    ds.Next();
    EXPECT_EQ(grid.Model().headerData(1, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
    EXPECT_EQ(grid.Model().headerData(0, Qt::Vertical).toString(), QString());

    EXPECT_EQ(grid.Model().columnCount(), 3) << "without columns every visible field shows";
    TDBGridColumns& columns = grid.Columns();
    columns.BeginUpdate();
    TColumn& name = columns.Add("NAME");
    name.Width = 77;
    name.Color = 0x00FFFF;
    columns.Add("ID").Width = 40;
    EXPECT_EQ(grid.Model().columnCount(), 3) << "nothing reaches the grid before EndUpdate";
    columns.EndUpdate();
    ASSERT_EQ(grid.Model().columnCount(), 2);
    EXPECT_EQ(grid.Model().ColumnField(0)->FieldName(), "NAME");
    EXPECT_EQ(grid.columnWidth(0), 77);
    EXPECT_EQ(grid.columnWidth(1), 40);
    EXPECT_EQ(grid.ColumnColor(0), TColor(0x00FFFF));
    EXPECT_EQ(grid.ColumnColor(1), clWindow);
    grid.show();
    const QImage shot = grid.grab().toImage();
    const QRect cell = grid.visualRect(grid.Model().index(2, 0));
    const QPoint inCell = grid.viewport()->mapTo(&grid, cell.topLeft() + QPoint(cell.width() - 3, 2));
    EXPECT_EQ(QColor(shot.pixel(inCell)), QColor(255, 255, 0)) << "the coloured column paints yellow";

    columns.Clear();
    EXPECT_EQ(grid.Model().columnCount(), 3);
}
