#pragma once
// The list view of the GUI library in report style as the system's forms
// place it: columns with captions, one row per item with a caption, a
// number the form keeps (Data) and a state image (0 none, 1 unchecked,
// 2 checked) in front of the caption, and one state image per further
// column. The images are drawn check boxes; the form toggles them.
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
    bool Centred = false;
};

class TReportList : public QTreeWidget, public TObject
{
  public:
    explicit TReportList(QWidget* Parent = nullptr);
    std::string ClassName() const override { return "TReportList"; }

    void SetColumns(const std::vector<TReportColumn>& Columns);
    // Adds an item; SubStates give the images of the further columns.
    int AddItem(const std::string& Caption, intptr_t Data, int StateIndex, const std::vector<int>& SubStates = {});
    void Clear() { clear(); }
    int Count() const { return topLevelItemCount(); }
    std::string Caption(int Index) const;
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

  protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;

  private:
    void ShowState(QTreeWidgetItem* Item, int Column, int State);
};
