#include "ui/KldValueEditor.h"

#include "platform/Threads.h"
#include "support/BoundaryErrors.h"
#include "support/GuiProbe.h"
#include "support/TableGrid.h"
#include "ui/KldValueListBox.h"

#include <QApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

// A shown grid whose current cell is (1, 1), with the editor on it.
class EditorTest : public ::testing::Test
{
  protected:
    void Open(TKldEditType type)
    {
        grid.ColTypes = {{0, etNone}, {1, type}, {2, etValue}};
        grid.show();
        grid.activateWindow();
        grid.Layout();
        grid.SetFocus();
        grid.SetCurCell(1, 1, crNoReason, true);
    }
    TKldValueEditor& Editor() { return grid.Editor(); }

    TTableGrid grid{3, 5, 80};
};

TEST_F(EditorTest, OpensOverTheCurrentCell)
{
    grid.Texts[{1, 1}] = "hello";
    Open(etValue);
    TKldValueEditor& e = Editor();
    ASSERT_TRUE(e.isVisible());
    EXPECT_TRUE(grid.EditorMode());
    EXPECT_EQ(e.Text(), "hello");
    EXPECT_EQ(e.StartText(), "hello");
    EXPECT_FALSE(e.isModified());
    const TRect cell = grid.GetCellRect(1, 1, true);
    EXPECT_EQ(e.geometry(), QRect(cell.Left, cell.Top, cell.Width() - 1, cell.Height() - 1));
    EXPECT_FALSE(e.HasButton());

    // Moving to a cell that takes no editor hides it.
    grid.SetCurCell(0, 1);
    EXPECT_FALSE(e.isVisible());
    EXPECT_FALSE(grid.EditorMode());
}

TEST_F(EditorTest, EnterCommitsEscRestores)
{
    Open(etValue);
    TKldValueEditor& e = Editor();
    e.selectAll();
    Input::TypeText(e, "new");
    EXPECT_TRUE(e.isModified());
    Input::Key(e, Qt::Key_Escape);
    EXPECT_EQ(e.Text(), "r1c1");
    EXPECT_EQ(grid.SetTextCalls, 0) << "Esc restores without asking the grid";

    e.selectAll();
    Input::TypeText(e, "abc");
    Input::Key(e, Qt::Key_Return);
    EXPECT_EQ(grid.Text(1, 1), "abc");
    EXPECT_EQ(e.StartText(), "abc");
    EXPECT_FALSE(e.isModified());
    EXPECT_TRUE(grid.Changed());
}

TEST_F(EditorTest, FailedCommitRestoresAndKeyGoesNoFurther)
{
    TBoundaryErrors errors;
    grid.SetShowOptions(grid.ShowOptions() + soTabs);
    grid.FailOn = "bad";
    Open(etValue);
    TKldValueEditor& e = Editor();
    e.selectAll();
    Input::TypeText(e, "bad");
    Input::Key(e, Qt::Key_Tab);
    EXPECT_EQ(e.Text(), "r1c1") << "the text read at the start is back";
    EXPECT_FALSE(e.isModified());
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 1})) << "Tab did not move on";
    EXPECT_EQ(grid.Text(1, 1), "r1c1");
    ASSERT_EQ(errors.Reports.size(), 1u);
    EXPECT_NE(errors.Reports[0].find("refused: bad"), std::string::npos);

    // A good value moves on with Tab, and the grid is still usable.
    e.selectAll();
    Input::TypeText(e, "good");
    Input::Key(e, Qt::Key_Tab);
    EXPECT_EQ(grid.Text(1, 1), "good");
    EXPECT_EQ(grid.CurCell(), (TPoint{2, 1}));

    // A click on another cell does not leave a refused text either.
    grid.SetCurCell(1, 1);
    e.selectAll();
    Input::TypeText(e, "bad");
    const TRect other = grid.GetCellRect(0, 3, true);
    Input::Click(grid, other.Left + 5, other.Top + 5);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 1}));
    EXPECT_EQ(e.Text(), "good");
    EXPECT_EQ(errors.Reports.size(), 2u);

    // Programmatic calls raise to their caller.
    grid.SetCurCell(1, 1);
    e.setText("bad");
    e.setModified(true);
    EXPECT_THROW(e.UpdateValue(), Exception);
    EXPECT_EQ(e.Text(), "good");
}

TEST_F(EditorTest, ArrowsAtTheEdgesGoToTheGrid)
{
    Open(etValue);
    TKldValueEditor& e = Editor();
    e.setCursorPosition(2);
    Input::Key(e, Qt::Key_Left);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 1})) << "inside the text the caret moves";
    e.setCursorPosition(0);
    Input::Key(e, Qt::Key_Left);
    EXPECT_EQ(grid.CurCell(), (TPoint{0, 1}));
    grid.SetCurCell(1, 1);
    Editor().selectAll();
    Input::Key(Editor(), Qt::Key_Right);
    EXPECT_EQ(grid.CurCell(), (TPoint{2, 1})) << "the whole text selected: to the grid";
    Input::Key(Editor(), Qt::Key_Down);
    EXPECT_EQ(grid.CurCell(), (TPoint{2, 2}));
}

TEST_F(EditorTest, CompletionFromTheValueList)
{
    grid.Values = {"Apple", "Abbey"};
    grid.Texts[{1, 1}] = "";
    Open(etValueList);
    TKldValueEditor& e = Editor();
    ASSERT_TRUE(e.HasButton());
    Input::TypeText(e, "a");
    EXPECT_EQ(e.Text(), "Apple");
    EXPECT_EQ(e.selectedText(), "pple");
    Input::TypeText(e, "b");
    EXPECT_EQ(e.Text(), "Abbey");
    EXPECT_EQ(e.selectedText(), "bey");
    Input::Type(e, Qt::Key_Backspace, QString(QChar(8)));
    EXPECT_EQ(e.Text(), "Apple");
    EXPECT_EQ(e.SearchText(), "a");
    EXPECT_TRUE(e.isModified());

    // A value not in the list stays as typed and is committed on Enter.
    e.selectAll();
    Input::TypeText(e, "Z");
    EXPECT_EQ(e.Text(), "Z");
    Input::TypeText(e, "oo");
    EXPECT_EQ(e.Text(), "Zoo");
    Input::Key(e, Qt::Key_Return);
    EXPECT_EQ(grid.Text(1, 1), "Zoo");
}

TEST_F(EditorTest, DropDownAndAccept)
{
    grid.Values = {"one", "two", "three"};
    grid.Texts[{1, 1}] = "two";
    Open(etValueListOnly);
    TKldValueEditor& e = Editor();
    Input::Key(e, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(e.DroppedDown());
    TKldValueListBox& list = e.ListBox();
    EXPECT_TRUE(list.IsVisible());
    EXPECT_EQ(list.ItemIndex(), 1) << "the item equal to the start text";
    EXPECT_EQ(list.VisibleRows(), 3);
    EXPECT_TRUE(list.isWindow());
    Input::Key(e, Qt::Key_Down);
    EXPECT_EQ(list.ItemIndex(), 2);
    Input::Key(e, Qt::Key_Return);
    EXPECT_FALSE(e.DroppedDown());
    EXPECT_FALSE(list.isVisible());
    EXPECT_EQ(grid.Text(1, 1), "three");

    // Esc closes without accepting; the button toggles the list.
    Input::Key(e, Qt::Key_Down, Qt::AltModifier);
    Input::Key(e, Qt::Key_Up);
    Input::Key(e, Qt::Key_Escape);
    EXPECT_FALSE(e.DroppedDown());
    EXPECT_EQ(grid.Text(1, 1), "three");
    const QRect button = e.ButtonRect();
    Input::Click(e, button.center().x(), button.center().y());
    EXPECT_TRUE(e.DroppedDown());
    Input::Click(e, button.center().x(), button.center().y());
    EXPECT_FALSE(e.DroppedDown()) << "a press on the button while down closes the list";
    EXPECT_EQ(grid.Text(1, 1), "three");
}

TEST_F(EditorTest, DialogCells)
{
    grid.DialogAccepts = true;
    grid.DialogResult = "picked";
    Open(etDialogOnly);
    TKldValueEditor& e = Editor();
    EXPECT_TRUE(e.isReadOnly());
    Input::TypeText(e, "x");
    EXPECT_EQ(e.Text(), "r1c1") << "an etDialogOnly cell cannot be typed into";
    const QRect button = e.ButtonRect();
    Input::Click(e, button.center().x(), button.center().y());
    EXPECT_EQ(grid.DialogCalls, 1);
    EXPECT_FALSE(e.DialogRunning());
    EXPECT_EQ(e.Text(), "picked");
    EXPECT_TRUE(e.isModified());
    Input::Key(e, Qt::Key_Return);
    EXPECT_EQ(grid.Text(1, 1), "picked");
}

TEST_F(EditorTest, MaxEditorWidthAndButtonPainting)
{
    grid.m_widths = {80, 300, 80};
    grid.SetMaxEditorWidth(100);
    grid.resize(600, 200);
    Open(etDialog);
    TKldValueEditor& e = Editor();
    EXPECT_EQ(e.width(), 100);
    const QImage img = e.grab().toImage();
    const QRect b = e.ButtonRect();
    EXPECT_EQ(PixelOf(img, b.left(), b.top() + 2), ColorToRGB(clBtnShadow)) << "the flat button's frame";
    EXPECT_EQ(PixelOf(img, b.left() + 2, b.top() + 2), ColorToRGB(clBtnFace));

    // The rule compares with the cell's width, not the editor's rectangle
    // (one pixel less): a limit one pixel under the cell still applies, and
    // a long text widens the editor past it.
    grid.Texts[{1, 2}] = std::string(40, 'W');
    grid.m_widths = {80, 101, 80};
    grid.SetMaxEditorWidth(100);
    grid.SetCurCell(1, 2);
    const int textWidth = e.fontMetrics().horizontalAdvance(e.text());
    ASSERT_GT(textWidth + e.ButtonWidth() + 5, 100);
    EXPECT_EQ(e.width(), std::min(textWidth + e.ButtonWidth() + 5, grid.ClientWidth() - 80));
}

TEST(ValueListPlacement, SizeAndPosition)
{
    const TRect work = Rect(0, 0, 800, 600);
    struct Case
    {
        const char* Desc;
        TRect Editor;
        int Widest, Count;
        TRect Expected;
        int Rows;
    };
    const Case cases[] = {
        {"three items under the editor", Rect(100, 50, 200, 66), 40, 3, Rect(100, 66, 200, 66 + 3 * 13 + 2), 3},
        {"no items: one row high", Rect(100, 50, 200, 66), 0, 0, Rect(100, 66, 200, 66 + 13 + 2), 0},
        {"twelve items: eight rows and a scroll bar", Rect(100, 50, 200, 66), 40, 12,
         Rect(100, 66, 200, 66 + 8 * 13 + 2), 8},
        {"wider than the editor: ends at its right edge", Rect(100, 50, 200, 66), 150, 3,
         Rect(42, 66, 200, 66 + 41), 3},
        {"wider with a scroll bar", Rect(100, 50, 200, 66), 150, 9, Rect(25, 66, 200, 66 + 106), 8},
        {"at the bottom: moved up by its height less one", Rect(100, 570, 200, 586), 40, 3,
         Rect(100, 586 - 40, 200, 586 - 40 + 41), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TValueListPlacement p = PlaceValueList(c.Editor, c.Widest, c.Count, 13, 17, work);
        EXPECT_EQ(p.Bounds, c.Expected);
        EXPECT_EQ(p.VisibleRows, c.Rows);
    }
}

TEST_F(EditorTest, ListWheelSteps)
{
    for (int i = 0; i < 20; ++i)
        grid.Values.push_back(Format("v%02d", i));
    Open(etValueList);
    TKldValueEditor& e = Editor();
    e.DropDown();
    TKldValueListBox& list = e.ListBox();
    ASSERT_EQ(list.VisibleRows(), 8);
    list.SetTopIndex(0);
    Input::Wheel(e, -120, 5, 5);
    EXPECT_EQ(list.TopIndex(), 4);
    for (int i = 0; i < 5; ++i)
        list.WheelStep(-120);
    EXPECT_EQ(list.TopIndex(), 12) << "down at most to items - VisibleRows";
    list.WheelStep(120);
    EXPECT_EQ(list.TopIndex(), 8);
    e.CloseUp(false);
}

TEST_F(EditorTest, ListOpensUpwardAtTheBottomOfTheScreen)
{
    grid.Values = {"one", "two", "three"};
    Open(etValueList);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect work = screen->availableGeometry();
    // Row 4 ends 106 pixels down the grid: a few pixels above the work
    // area's bottom.
    grid.move(work.left() + 10, work.bottom() - 110);
    TKldValueEditor& e = Editor();
    grid.SetCurCell(1, 4, crNoReason, true);
    e.DropDown();
    TKldValueListBox& list = e.ListBox();
    const QPoint editorTop = e.mapToGlobal(QPoint(0, 0));
    const int editorBottom = editorTop.y() + e.height();
    ASSERT_GT(editorBottom + list.height(), work.bottom() + 1);
    EXPECT_EQ(list.geometry().top(), editorBottom - (list.height() - 1));
    EXPECT_EQ(list.geometry().right(), editorTop.x() + std::max(e.width(), list.width()) - 1);
    e.CloseUp(false);
}

TEST_F(EditorTest, ScrollingTheCellOutAndBackBringsTheEditorBack)
{
    // A focused editor whose cell scrolls out of view leaves it as on any
    // focus loss (the grid takes the focus and the text is written); when
    // the cell comes back while the grid holds the focus, so do the editor
    // and the focus.
    grid.m_rows = 100;
    grid.m_widths = {80, 300, 300};
    grid.show();
    QApplication::setActiveWindow(&grid);
    Open(etValue);
    TKldValueEditor& e = Editor();
    struct Case
    {
        const char* Desc;
        int TopRow, LeftPos;
    };
    const Case cases[] = {
        {"the wheel scrolls the row out", 2, 0},
        {"the cell slides under the left edge", 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        ASSERT_TRUE(e.hasFocus());
        e.selectAll();
        Input::TypeText(e, c.TopRow ? "rows" : "cols");
        for (int notch = 0; notch < c.TopRow && e.isVisible(); ++notch)
            Input::Wheel(e, -120, 5, 5);
        grid.SetLeftPos(c.LeftPos);
        ASSERT_EQ(grid.TopRow(), c.TopRow);
        EXPECT_FALSE(e.isVisible());
        EXPECT_TRUE(grid.hasFocus());
        EXPECT_EQ(grid.Text(1, 1), c.TopRow ? "rows" : "cols");
        grid.SetTopRow(0);
        grid.SetLeftPos(0);
        EXPECT_TRUE(e.isVisible());
        EXPECT_TRUE(e.hasFocus());
        EXPECT_EQ(e.Cell(), (TPoint{1, 1}));
        EXPECT_EQ(e.Text(), c.TopRow ? "rows" : "cols");
    }
    // A grid that lost the focus meanwhile leaves its editor closed.
    grid.SetTopRow(2);
    ASSERT_TRUE(grid.hasFocus());
    grid.clearFocus();
    grid.SetTopRow(0);
    EXPECT_FALSE(e.isVisible());
}

TEST_F(EditorTest, FocusLossHidesAndCommits)
{
    // The grid and another control in one window.
    QWidget window;
    auto* other = new QLineEdit(&window);
    grid.setParent(&window);
    // The fixture owns the grid: it leaves the window before the window goes.
    struct TLeave
    {
        QWidget& Grid;
        ~TLeave() { Grid.setParent(nullptr); }
    } leave{grid};
    grid.move(0, 30);
    window.resize(420, 240);
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    Open(etValue);
    TKldValueEditor& e = Editor();
    ASSERT_TRUE(e.hasFocus());
    e.setText("left behind");
    e.setModified(true);
    other->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(e.isVisible());
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_EQ(grid.Text(1, 1), "left behind");

    // The grid getting the focus again opens the editor on its cell.
    grid.setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(e.isVisible());
    EXPECT_TRUE(e.hasFocus());
}

} // namespace
