#include "ui/KldGridView.h"

#include "support/GuiProbe.h"
#include "support/TableGrid.h"

#include <QHelpEvent>
#include <QLabel>
#include <QScrollBar>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(GridText, BooleanHelpers)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        bool Expected;
    };
    const Case cases[] = {
        {"T", "T", true},        {"t", "t", true},         {"True", "True", true}, {"TRUE", "TRUE", true},
        {"1", "1", true},        {"1 with blank", " 1", false}, {"False", "False", false}, {"empty", "", false},
        {"Yes", "Yes", false},   {"Tr", "Tr", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(StrToBoolean(c.Input), c.Expected);
    }
    EXPECT_EQ(BooleanToStr(true), "True");
    EXPECT_EQ(BooleanToStr(false), "False");
}

TEST(GridText, InvertBoolStrSteps)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        bool AllowEmpty;
        std::string Expected;
    };
    const Case cases[] = {
        {"true to false", "True", false, "False"},
        {"true in any case to empty when nullable", "tRUE", true, ""},
        {"blank to true", "  ", false, "True"},
        {"blank to false when nullable", "", true, "False"},
        {"false to true", "False", true, "True"},
        {"other text to true", "x", false, "True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::string s = c.Input;
        InvertBoolStr(s, c.AllowEmpty);
        EXPECT_EQ(s, c.Expected);
    }
    // The nullable cycle: empty, False, True, empty.
    std::string s;
    InvertBoolStr(s, true);
    EXPECT_EQ(s, "False");
    InvertBoolStr(s, true);
    EXPECT_EQ(s, "True");
    InvertBoolStr(s, true);
    EXPECT_EQ(s, "");
}

TEST(GridPictures, NineByNineListFromResources)
{
    TCustomImageList& images = KldGridImages();
    EXPECT_EQ(images.Width(), 9);
    EXPECT_EQ(images.Height(), 9);
    EXPECT_EQ(images.Count(), 4);
}

TEST(GridView, DefaultsAndBaseAnswers)
{
    TKldGridView grid;
    EXPECT_EQ(grid.ShowOptions().Bits(), 0x816B);
    EXPECT_TRUE(grid.ShowOptions().Contains(soAlwaysShowEditor));
    EXPECT_FALSE(grid.ShowOptions().Contains(soMarker));
    EXPECT_EQ(grid.RowHeight(), 17);
    EXPECT_EQ(grid.HeaderHeight(), 21);
    EXPECT_EQ(grid.CaptionHeight(), 21);
    EXPECT_EQ(grid.MarkerWidth(), 17);
    EXPECT_EQ(grid.Color(), clWindow);
    EXPECT_EQ(grid.HighlightColor(), clHighlight);
    EXPECT_EQ(grid.CurCell(), (TPoint{-1, -1}));
    EXPECT_EQ(grid.GetColCaption(3), "Column");
    int left = 0;
    int width = 0;
    grid.GetCellPlace(3, 0, left, width);
    EXPECT_EQ(left, 210);
    EXPECT_EQ(width, 70);
    EXPECT_EQ(grid.DoGetCellEditType(0, 0), etNone);
    std::string text = "x";
    grid.DoGetCellText(0, 0, text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(grid.DoCellState(0, 0, {csReadOnly}), TKldCellStates{csReadOnly});
    EXPECT_FALSE(grid.DoCellExecDialog(0, 0, text));

    // The host's events answer through the base operations.
    grid.OnGetCellText = [](TObject*, int c, int r, std::string& t) { t = Format("%d/%d", c, r); };
    grid.OnCellEditType = [](TObject*, int, int) { return etCheck; };
    grid.DoGetCellText(2, 5, text);
    EXPECT_EQ(text, "2/5");
    EXPECT_EQ(grid.DoGetCellEditType(0, 0), etCheck);

    grid.SetColCount(3);
    grid.SetRowCount(4);
    grid.resize(400, 200);
    grid.LayoutChanged();
    EXPECT_EQ(grid.TotalWidth(), 210);
    EXPECT_EQ(grid.CurCell(), (TPoint{0, 0})) << "the first layout makes the first cell current";
    EXPECT_FALSE(grid.DoMoveRow(0, 1)) << "soRowMoved is off";
}

TEST(GridView, CellRectsAndPointToCell)
{
    TTableGrid grid(3, 50);
    grid.SetShowOptions(grid.ShowOptions() + TKldListViewShowOptions{soCaption, soMarker});
    grid.Layout();
    // caption 21 + header 21; marker 17; rows of 17.
    struct Case
    {
        const char* Desc;
        int Col, Row;
        bool Scrolled;
        TRect Expected;
    };
    grid.SetTopRow(2);
    const Case cases[] = {
        {"cell", 1, 3, false, Rect(77, 42 + 51, 137, 42 + 68)},
        {"cell scrolled", 1, 3, true, Rect(77, 42 + 17, 137, 42 + 34)},
        {"header band", 2, -1, true, Rect(137, 21, 197, 42)},
        {"header and visible rows", 0, -2, true, Rect(17, 21, 77, 42 + grid.VisibleRows() * 17)},
        {"marker", -1, 2, true, Rect(0, 42, 17, 59)},
        {"to the total width", -2, 2, true, Rect(0, 42, 180, 59)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(grid.GetCellRect(c.Col, c.Row, c.Scrolled), c.Expected);
    }
    EXPECT_EQ(grid.PointToCell(17, 42), (TPoint{0, 2}));
    EXPECT_EQ(grid.PointToCell(77, 42 + 17), (TPoint{0, 3})) << "a shared edge belongs to the first column";
    EXPECT_EQ(grid.PointToCell(78, 42 + 16), (TPoint{1, 2}));
    EXPECT_EQ(grid.PointToCell(300, 60), (TPoint{3, 3})) << "right of the last column: the column count";
}

TEST(GridView, SetCurCellLimitsAndEmptyGrids)
{
    TTableGrid grid(3, 5);
    grid.Layout();
    grid.SetCurCell(10, 10);
    EXPECT_EQ(grid.CurCell(), (TPoint{2, 4}));
    grid.SetCurCell(-5, -5);
    EXPECT_EQ(grid.CurCell(), (TPoint{0, 0}));

    for (auto [cols, rows] : {std::pair{0, 5}, std::pair{3, 0}}) {
        SCOPED_TRACE(Format("%d x %d", cols, rows));
        TTableGrid empty(cols, rows);
        empty.show();
        empty.Layout();
        empty.SetCurCell(1, 1, crNoReason, true);
        EXPECT_EQ(empty.CurCell(), (TPoint{-1, -1}));
        EXPECT_FALSE(empty.Editor().isVisible());
    }
}

TEST(GridView, WalkPastDisabledCells)
{
    TTableGrid grid(3, 3);
    grid.Layout();
    grid.SetCurCell(1, 0);
    grid.States[{2, 0}] = {csDisabled};
    grid.States[{0, 1}] = {csDisabled};
    uint16_t key = VK_RIGHT;
    grid.SetCurCell(2, 0, key);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 1})) << "past (2,0), wrapping to the next row, past (0,1)";
    grid.SetCurCell(0, 1, VK_LEFT);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 0})) << "back over (0,1) and (2,0)";

    // A row change walks along the column.
    grid.States[{1, 1}] = {csDisabled};
    grid.SetCurCell(1, 1, VK_DOWN);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 2}));

    // When every remaining cell is disabled, the current cell stays.
    grid.States[{2, 2}] = {csDisabled};
    grid.SetCurCell(2, 2, VK_RIGHT);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 2}));
}

TEST(GridView, TopRowLimitsAndScrolling)
{
    TTableGrid grid(3, 100);
    grid.Layout();
    ASSERT_EQ(grid.VisibleRows(), 10); // (200 - 21) div 17
    EXPECT_TRUE(grid.SetTopRow(500));
    EXPECT_EQ(grid.TopRow(), 90) << "the last row ends at the bottom";
    EXPECT_FALSE(grid.SetTopRow(95));
    grid.SetTopRow(-3);
    EXPECT_EQ(grid.TopRow(), 0);

    // Fewer rows than fit: TopRow stays 0.
    TTableGrid small(3, 4);
    small.Layout();
    small.SetTopRow(2);
    EXPECT_EQ(small.TopRow(), 0);

    // Moving the current cell scrolls it into view.
    grid.SetCurCell(0, 0);
    grid.SetCurCell(0, 25);
    EXPECT_EQ(grid.TopRow(), 16) << "a row below the view becomes the last visible row";
    grid.SetCurCell(0, 3);
    EXPECT_EQ(grid.TopRow(), 3);
    // Horizontally: a column left of the view becomes its left edge.
    TTableGrid wide(12, 5, 100);
    wide.Layout();
    wide.SetCurCell(9, 0);
    EXPECT_EQ(wide.LeftPos(), 800) << "the column comes to the left edge";
    wide.SetCurCell(2, 0);
    EXPECT_EQ(wide.LeftPos(), 200);
}

TEST(GridView, BandsSwitchedOnLaterReshapeTheView)
{
    // A caption, header or marker switched on at run time takes room from
    // the rows and columns as a resize does.
    TTableGrid grid(3, 30);
    grid.show();
    grid.Layout();
    ASSERT_EQ(grid.VisibleRows(), 10); // (200 - 21) div 17
    grid.SetShowOptions(grid.ShowOptions() + TKldListViewShowOptions{soCaption});
    EXPECT_EQ(grid.VisibleRows(), 9); // (200 - 42) div 17
    grid.SetCurCell(0, 9);
    EXPECT_EQ(grid.TopRow(), 1) << "the tenth row no longer fits below the caption";
    grid.SetShowOptions(grid.ShowOptions() - TKldListViewShowOptions{soCaption, soHeader});
    EXPECT_EQ(grid.VisibleRows(), 11); // 200 div 17
}

TEST(GridView, KeysMoveTheCurrentCell)
{
    TTableGrid grid(4, 40);
    grid.ColTypes = {{0, etNone}, {1, etNone}, {2, etNone}, {3, etNone}};
    grid.SetShowOptions(grid.ShowOptions() + soTabs);
    grid.show();
    grid.Layout();
    grid.SetCurCell(0, 0);
    struct Step
    {
        const char* Desc;
        int Key;
        Qt::KeyboardModifiers Mods;
        TPoint Expected;
    };
    const Step steps[] = {
        {"right", Qt::Key_Right, Qt::NoModifier, {1, 0}},
        {"down", Qt::Key_Down, Qt::NoModifier, {1, 1}},
        {"page down", Qt::Key_PageDown, Qt::NoModifier, {1, 11}},
        {"end", Qt::Key_End, Qt::NoModifier, {3, 11}},
        {"tab wraps to the next row", Qt::Key_Tab, Qt::NoModifier, {0, 12}},
        {"shift+tab wraps back", Qt::Key_Backtab, Qt::ShiftModifier, {3, 11}},
        {"ctrl+end", Qt::Key_End, Qt::ControlModifier, {3, 39}},
        {"tab on the last cell stays", Qt::Key_Tab, Qt::NoModifier, {3, 39}},
        {"page up", Qt::Key_PageUp, Qt::NoModifier, {3, 29}},
        {"home", Qt::Key_Home, Qt::NoModifier, {0, 29}},
        {"ctrl+home", Qt::Key_Home, Qt::ControlModifier, {0, 0}},
        {"up at the top stays", Qt::Key_Up, Qt::NoModifier, {0, 0}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Desc);
        Input::Key(grid, s.Key, s.Mods);
        EXPECT_EQ(grid.CurCell(), s.Expected);
    }
    EXPECT_EQ(grid.TopRow(), 0);
}

TEST(GridView, CheckCells)
{
    TTableGrid grid(2, 3);
    grid.ColTypes = {{0, etCheck}, {1, etNone}};
    grid.show();
    grid.Layout();
    grid.SetCurCell(0, 0);

    struct Case
    {
        const char* Desc;
        bool Nullable;
        std::string Start;
        int Key;
        std::string Expected;
    };
    const Case cases[] = {
        {"space: empty to False", true, "", Qt::Key_Space, "False"},
        {"space: False to True", true, "False", Qt::Key_Space, "True"},
        {"space: True to empty", true, "True", Qt::Key_Space, ""},
        {"space toggles a plain cell", false, "True", Qt::Key_Space, "False"},
        {"space: False to True on a plain cell", false, "False", Qt::Key_Space, "True"},
        {"delete empties a nullable cell", true, "True", Qt::Key_Delete, ""},
        {"delete leaves a plain cell", false, "True", Qt::Key_Delete, "True"},
        {"backspace empties a nullable cell", true, "False", Qt::Key_Backspace, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        grid.Nullable = c.Nullable;
        grid.Texts[{0, 0}] = c.Start;
        Input::Key(grid, c.Key);
        EXPECT_EQ(grid.Text(0, 0), c.Expected);
    }

    // A click inside a check cell toggles it; read-only cells and a
    // read-only grid do not change.
    grid.Nullable = false;
    grid.Texts[{0, 1}] = "False";
    const TRect r = grid.GetCellRect(0, 1, true);
    Input::Click(grid, r.Left + 5, r.Top + 5);
    EXPECT_EQ(grid.CurCell(), (TPoint{0, 1}));
    EXPECT_EQ(grid.Text(0, 1), "True");
    grid.States[{0, 1}] = {csReadOnly};
    Input::Click(grid, r.Left + 5, r.Top + 5);
    EXPECT_EQ(grid.Text(0, 1), "True");
    grid.States.clear();
    grid.SetReadOnly(true);
    Input::Click(grid, r.Left + 5, r.Top + 5);
    EXPECT_EQ(grid.Text(0, 1), "True");
}

TEST(GridView, MouseSelectsSizesAndMoves)
{
    TTableGrid grid(3, 30);
    grid.ColTypes = {{0, etNone}, {1, etNone}, {2, etNone}};
    grid.show();
    grid.Layout();

    Input::Click(grid, 70, 21 + 17 * 2 + 3);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 2}));
    // Right of the last column: that row's last cell.
    Input::Click(grid, 390, 21 + 17 * 4 + 3);
    EXPECT_EQ(grid.CurCell(), (TPoint{2, 4}));
    // Below the last visible row: the last visible row.
    grid.resize(400, 21 + 17 * 5 + 8);
    grid.Layout();
    Input::Click(grid, 10, 21 + 17 * 5 + 4);
    EXPECT_EQ(grid.CurCell(), (TPoint{0, 4}));

    // Dragging the first column's edge to the left stops at 16.
    Input::Press(grid, 59, 10);
    Input::DragTo(grid, 58, 10); // starts the size drag
    Input::DragTo(grid, 40, 10);
    EXPECT_EQ(grid.m_widths[0], 40);
    Input::DragTo(grid, -30, 10);
    EXPECT_EQ(grid.m_widths[0], 16);
    Input::Release(grid, -30, 10);

    // Dragging a header with soColMoved moves the column.
    grid.SetShowOptions(grid.ShowOptions() + soColMoved);
    Input::Press(grid, 16 + 30, 10); // header of column 1 (widths 16, 60, 60)
    Input::DragTo(grid, 16 + 60 + 30, 10);
    Input::Release(grid, 16 + 60 + 30, 10);
    ASSERT_EQ(grid.ColIndexMoves.size(), 1u);
    EXPECT_EQ(grid.ColIndexMoves[0], (std::pair<int, int>{1, 2}));
}

TEST(GridView, MarkerClicksRowDragsAndAutoAddRow)
{
    TTableGrid grid(2, 6);
    grid.ColTypes = {{0, etNone}, {1, etNone}};
    grid.SetShowOptions(grid.ShowOptions() + TKldListViewShowOptions{soMarker, soRowMoved});
    grid.show();
    grid.Layout();
    grid.SetCurCell(1, 0);
    Input::Click(grid, 5, 21 + 17 * 3 + 2);
    ASSERT_EQ(grid.MarkerClicks.size(), 1u);
    EXPECT_EQ(grid.MarkerClicks[0], 3);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 3})) << "a marker click keeps the current column";

    // A row dragged by its marker lands where it is dropped.
    Input::Press(grid, 5, 21 + 17 * 3 + 2);
    Input::DragTo(grid, 5, 21 + 17 * 5 + 2);
    Input::Release(grid, 5, 21 + 17 * 5 + 2);
    ASSERT_EQ(grid.MovedRows.size(), 1u);
    EXPECT_EQ(grid.MovedRows[0], (std::pair<int, int>{3, 5}));
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 5}));

    // An empty grid with arFirst shows one row; a click on it adds one.
    TTableGrid empty(2, 0);
    empty.SetAutoAddRow(arFirst);
    empty.show();
    empty.Layout();
    const QImage before = Grab(empty);
    EXPECT_EQ(PixelOf(before, 30, 21 + 16), clKldGridLineEmpty) << "the one empty row past the end";
    Input::Click(empty, 30, 21 + 5);
    EXPECT_EQ(empty.AddRowCalls, 1);
    EXPECT_EQ(empty.CurCell(), (TPoint{0, 0}));
}

TEST(GridView, PaintsLinesSelectionAndHeaders)
{
    TTableGrid grid(3, 4);
    grid.ColTypes = {{0, etNone}, {1, etNone}, {2, etNone}};
    grid.resize(300, 200);
    grid.show();
    grid.Layout();
    grid.SetCurCell(1, 1);
    const QImage img = Grab(grid);
    const int rowTop = 21 + 17;
    // Grid lines of real rows at right - 1 and bottom - 1.
    EXPECT_EQ(PixelOf(img, 59, rowTop + 5 + 17), clKldGridLine);
    EXPECT_EQ(PixelOf(img, 30, 21 + 16), clKldGridLine);
    // Rows past the end: the lighter line.
    EXPECT_EQ(PixelOf(img, 30, 21 + 17 * 5 - 1), clKldGridLineEmpty);
    // The current cell in the highlight colour, the rest of its row in the
    // row-selection colour, other rows in the cell colour.
    EXPECT_EQ(PixelOf(img, 62, rowTop + 3), ColorToRGB(clHighlight));
    EXPECT_EQ(PixelOf(img, 2, rowTop + 3), grid.RowSelectColor());
    EXPECT_NE(grid.RowSelectColor(), ColorToRGB(clHighlight));
    EXPECT_EQ(PixelOf(img, 2, 21 + 3), ColorToRGB(clWindow));
    // Header in button face; right of the last column the header part too,
    // below the rows the grid colour.
    EXPECT_EQ(PixelOf(img, 30, 5), ColorToRGB(clBtnFace));
    EXPECT_EQ(PixelOf(img, 250, 5), ColorToRGB(clBtnFace));
    EXPECT_EQ(PixelOf(img, 250, 100), ColorToRGB(clWindow));

    // The row-selection colour is the mix of Color and HighlightColor.
    grid.SetColor(RGB(255, 255, 255));
    grid.SetHighlightColor(RGB(0, 0, 0));
    EXPECT_EQ(grid.RowSelectColor(), RGB(190, 190, 190));
}

TEST(GridView, CellHints)
{
    TTableGrid grid(2, 3);
    grid.SetShowHint(true);
    grid.show();
    grid.Layout();
    grid.Texts[{0, 0}] = std::string(300, 'W');
    std::string text;
    TRect screen;
    ASSERT_TRUE(grid.GetCellHint({10, 21 + 5}, text, screen));
    EXPECT_EQ(text.size(), 255u);
    const TPoint corner = grid.ClientToScreen({0, 21});
    EXPECT_EQ(screen.TopLeft(), (TPoint{corner.X - 1, corner.Y - 1}));
    EXPECT_LE(screen.Width(), grid.ClientWidth());
    EXPECT_FALSE(grid.GetCellHint({70, 21 + 5}, text, screen)) << "a text that fits shows no hint";
    EXPECT_FALSE(grid.GetCellHint({300, 21 + 5}, text, screen)) << "no column under the point";
    EXPECT_FALSE(grid.GetCellHint({10, 5}, text, screen)) << "the header";

    // The tool-tip event shows the hint window over the cell.
    QHelpEvent help(QEvent::ToolTip, QPoint(10, 21 + 5), grid.mapToGlobal(QPoint(10, 21 + 5)));
    QApplication::sendEvent(&grid, &help);
    QLabel* hint = grid.findChild<QLabel*>();
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text().size(), 255);
    EXPECT_EQ(hint->geometry().topLeft(), QPoint(corner.X - 1, corner.Y - 1));
    Input::Leave(grid);
    EXPECT_FALSE(hint->isVisible());
}

TEST(GridView, ScrollBarsFollowTheView)
{
    TTableGrid grid(10, 100, 80);
    grid.SetScrollBars(ssBoth);
    grid.show();
    grid.Layout();
    QScrollBar* v = grid.VertScrollBar();
    QScrollBar* h = grid.HorzScrollBar();
    ASSERT_TRUE(v->isVisible());
    ASSERT_TRUE(h->isVisible());
    EXPECT_EQ(grid.ClientWidth(), 400 - v->width());
    EXPECT_EQ(v->maximum(), 100 - grid.VisibleRows());
    EXPECT_EQ(v->pageStep(), grid.VisibleRows());
    v->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(grid.TopRow(), grid.VisibleRows());
    v->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(grid.TopRow(), 100 - grid.VisibleRows());
    EXPECT_EQ(v->value(), grid.TopRow());
    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid.LeftPos(), 5);
    h->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(grid.LeftPos(), 45);
    EXPECT_EQ(h->maximum(), 800 - grid.WorkWidth());

    // The wheel moves one row.
    const int top = grid.TopRow();
    Input::Wheel(grid, 120, 50, 50);
    EXPECT_EQ(grid.TopRow(), top - 1);

    // With few rows the vertical bar goes, or is disabled under
    // soNoHideScrollBar.
    grid.m_rows = 3;
    grid.Layout();
    EXPECT_FALSE(v->isVisible());
    grid.SetShowOptions(grid.ShowOptions() + soNoHideScrollBar);
    grid.Layout();
    EXPECT_TRUE(v->isVisible());
    EXPECT_FALSE(v->isEnabled());
}

TEST(GridView, EditorModeBySecondClickAndF2)
{
    TTableGrid grid(3, 5);
    grid.SetShowOptions(grid.ShowOptions() - soAlwaysShowEditor);
    grid.show();
    grid.Layout();
    const TRect r = grid.GetCellRect(1, 2, true);
    Input::Click(grid, r.Left + 5, r.Top + 5);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 2}));
    EXPECT_FALSE(grid.Editor().isVisible()) << "the first click only selects";
    Input::Click(grid, r.Left + 5, r.Top + 5);
    EXPECT_TRUE(grid.EditorMode());
    EXPECT_TRUE(grid.Editor().isVisible()) << "a second click on the current cell opens the editor";
    // F2 in the editor takes the selection away; on the grid it toggles the
    // editor mode.
    Input::Key(grid, Qt::Key_F2);
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_FALSE(grid.Editor().isVisible());
    Input::Key(grid, Qt::Key_F2);
    EXPECT_TRUE(grid.Editor().isVisible());
}

TEST(GridView, HeaderClicksCaptionMenuAndMarkers)
{
    TTableGrid grid(3, 4);
    grid.SetShowOptions(grid.ShowOptions() + TKldListViewShowOptions{soCaption, soDropDownMenu, soMarker});
    grid.SetNumberedRow(nrDescending);
    std::vector<int> clicked;
    grid.OnColumnClick = [&](TObject*, int col) { clicked.push_back(col); };
    TPopupMenu menu;
    menu.Items().Add()->SetCaption("Columns...");
    grid.SetPopupMenu(&menu);
    grid.show();
    grid.Layout();
    Input::Click(grid, 17 + 60 + 20, 21 + 5); // header of column 1
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], 1);
    // The header band right of the last column (and its edge zone) is no
    // header and no cell: a click there changes nothing.
    grid.SetCurCell(1, 2);
    Input::Click(grid, 17 + 3 * 60 + 20, 21 + 5);
    EXPECT_EQ(clicked.size(), 1u);
    EXPECT_EQ(grid.CurCell(), (TPoint{1, 2}));
    Input::Click(grid, 40, 5); // the caption
    EXPECT_EQ(menu.PopupPoint(), grid.ClientToScreen({32, 21}));
    menu.CloseMenu();

    // Numbered rows count down from the row count; the marker column is
    // button face.
    const QImage img = Grab(grid);
    EXPECT_EQ(PixelOf(img, 2, 42 + 3), ColorToRGB(clBtnFace));
    EXPECT_EQ(PixelOf(img, 2, 42 + 16), clKldGridLine) << "the line under a numbered marker";
}

TEST(GridView, CellDrawHandlerAndEmptyStates)
{
    TTableGrid grid(2, 3);
    grid.ColTypes = {{0, etNone}, {1, etNone}};
    grid.States[{1, 2}] = {csEmpty};
    std::vector<std::pair<int, int>> drawn;
    grid.OnCellDraw = [&](TObject*, TCanvas& canvas, const TRect& r, int col, int row, const std::string& text,
                          bool& handled) {
        drawn.emplace_back(col, row);
        if (col == 0 && row == 1) {
            canvas.Brush().Color = clRed;
            canvas.FillRect(r);
            handled = true;
        }
        if (col == 1 && row == 2) {
            EXPECT_EQ(text, "") << "an empty cell has no text";
        }
    };
    grid.resize(200, 120);
    grid.show();
    grid.Layout();
    const QImage img = Grab(grid);
    EXPECT_EQ(PixelOf(img, 30, 21 + 17 + 8), clRed) << "the handler drew the cell, nothing more";
    EXPECT_EQ(PixelOf(img, 59, 21 + 17 + 8), clRed) << "no grid line over a handled cell";
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), std::pair<int, int>{1, 2}), drawn.end());
}

TEST(GridView, EditorFollowsTheCellWhenScrolling)
{
    TTableGrid grid(3, 100);
    grid.show();
    grid.Layout();
    grid.SetCurCell(1, 2);
    TKldValueEditor& e = grid.Editor();
    ASSERT_TRUE(e.isVisible());
    e.setCursorPosition(2);
    grid.SetTopRow(1);
    EXPECT_EQ(e.y(), grid.GetCellRect(1, 2, true).Top);
    EXPECT_EQ(e.cursorPosition(), 2) << "re-placing the editor leaves the caret alone";
    grid.SetTopRow(5);
    EXPECT_FALSE(e.isVisible()) << "the cell left the view";
    grid.SetTopRow(0);
    EXPECT_TRUE(e.isVisible());
    EXPECT_EQ(e.y(), grid.GetCellRect(1, 2, true).Top);
}

TEST(GridView, ModifiedApplyAndCancel)
{
    TTableGrid grid(3, 5);
    grid.show();
    grid.Layout();
    grid.SetCurCell(1, 1);
    TKldValueEditor& e = grid.Editor();
    EXPECT_FALSE(grid.GetModified());
    e.setText("typed");
    e.setModified(true);
    EXPECT_TRUE(grid.GetModified());
    grid.CancelEdits();
    EXPECT_EQ(e.Text(), "r1c1");
    EXPECT_EQ(grid.Text(1, 1), "r1c1");
    EXPECT_FALSE(grid.EditorMode());

    grid.SetCurCell(2, 1);
    e.setText("kept");
    e.setModified(true);
    grid.ApplyEdits();
    EXPECT_EQ(grid.Text(2, 1), "kept");
    EXPECT_TRUE(grid.GetModified() || grid.Changed());
    EXPECT_TRUE(grid.Changed());
}

TEST(GridView, PendingTextLandsInItsOwnCell)
{
    // A modified text hidden by scrolling is committed to the cell it was
    // typed in when the current cell moves, never to the next cell.
    TTableGrid grid(3, 100);
    grid.show();
    grid.Layout();
    grid.SetCurCell(1, 2);
    TKldValueEditor& e = grid.Editor();
    e.setText("pending");
    e.setModified(true);
    grid.SetTopRow(20);
    ASSERT_FALSE(e.isVisible());
    grid.SetCurCell(1, 25);
    EXPECT_EQ(grid.Text(1, 2), "pending");
    EXPECT_EQ(grid.Text(1, 25), "r25c1");
}

} // namespace
