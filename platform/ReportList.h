#pragma once
// The list view of the GUI library in report style as the system's forms
// place it: columns with captions, one row per item with a caption, a
// number the form keeps (Data) and a state image (0 none, 1 unchecked,
// 2 checked) in front of the caption, and one state image per further
// column. The images are drawn check boxes; the form toggles them.
// Lists of plain text rows add them whole (AddRow), may keep them sorted
// by text (SortType) and may let their columns only widen (WidenColumns).
// Widgets: main thread only.

#include "platform/Controls.h"
#include "platform/Persistent.h"

#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TReportColumn
{
    std::string Caption;
    int Width = 100;
    bool Centred = false;      // the caption only
    bool RightAligned = false; // the caption and the cells
};

// How a list keeps its rows in order.
enum TSortType
{
    stNone, // as added
    stText  // by the text of the first column, case-insensitively; a click
            // on a column caption sorts by that column instead
};

class TReportList : public QTreeWidget, public TObject
{
  public:
    explicit TReportList(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TReportList"; }

    void SetColumns(const std::vector<TReportColumn>& Columns);
    TSortType SortType() const { return m_sortType; }
    void SetSortType(TSortType Value);
    // Off (the default): the last column fills the list. On: the widths
    // only grow - each column widens to its widest text so far, caption
    // counted, plus 16 pixels as rows are added, and the last column keeps
    // its own width.
    bool WidenColumns() const { return m_widenColumns; }
    void SetWidenColumns(bool Value);
    // Adds an item; SubStates give the images of the further columns.
    int AddItem(const std::string& Caption, intptr_t Data, int StateIndex,
                const std::vector<int>& SubStates = {});
    // Adds a row of text cells, the first being the caption; returns where
    // the row stands (sorted lists place it by its text).
    int AddRow(const std::vector<std::string>& Cells);
    void Clear() { clear(); }
    int Count() const { return topLevelItemCount(); }
    std::string Caption(int Index) const;
    std::string Cell(int Index, int Column) const;
    void SetCell(int Index, int Column, const std::string& Text);
    intptr_t Data(int Index) const;
    int StateIndex(int Index) const;
    void SetStateIndex(int Index, int Value);
    // The image of column Column (1 and up).
    int SubState(int Index, int Column) const;
    void SetSubState(int Index, int Column, int Value);
    // The item whose caption cell holds the point; -1 outside one.
    int ItemAt(int X, int Y) const;
    // The row at height Y whatever the column; -1 below the last.
    int RowAt(int Y) const;
    // The right edge of the first column in viewport coordinates.
    int FirstColumnRight() const;

    // A mouse button released over the rows (viewport coordinates).
    std::function<void(TMouseButton Button, int X, int Y)> OnMouseUp;
    // A row double-clicked, by where it stands now.
    std::function<void(int Index)> OnDblClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;

  private:
    void ShowState(QTreeWidgetItem* Item, int Column, int State);
    void Align(QTreeWidgetItem* Item) const;
    void Widen(const std::vector<std::string>& Cells);

    std::vector<TReportColumn> m_columns;
    TSortType m_sortType = stNone;
    bool m_widenColumns = false;
};
