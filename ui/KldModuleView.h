#pragma once
// `TKldModuleView`: the vertical accordion list at the left of the main
// window. One row per module item, the children of an expanded item as
// indented sub-rows, and in group mode group rows that open and close the
// modules they name. It scrolls with two arrows painted inside the list
// (repeating every 100 ms while pressed) and with the wheel, keeps the hot
// row under the mouse, selects on click or Enter, and opens or closes rows
// on click.
//
// The row layout is LayoutModuleRows, a plain function of the tree; the
// scroll rules are ClampModuleOffset and ScrollRowIntoView.

#include "platform/Timers.h"
#include "ui/KldAppItemView.h"

#include <unordered_map>
#include <vector>

// Colour-set indices the module list adds.
constexpr int kcSpacerColorA = 8;
constexpr int kcSpacerColorB = 9;
constexpr int kcSubColorA = 10;
constexpr int kcSubColorB = 11;

struct TKldModuleRow
{
    TKldAppItem* Item = nullptr;
    int Top = 0; // from the top of the content
    int Height = 0;
};

struct TKldModuleLayoutParams
{
    bool ShowByGroups = false;
    int ItemHeight = 70;
    int SubItemHeight = 0;
    int GroupItemHeight = 0;
};

struct TKldModuleLayout
{
    std::vector<TKldModuleRow> Rows;
    int ContentHeight = 0;
    bool GroupMode = false;
};

// The rows the list shows, in order. Group mode (ShowByGroups and at least
// one visible top-level group): each visible group, and under an expanded
// group the first not yet listed visible module named by each line of its
// children's MemberText (captions compared without regard to case), with
// the children of an expanded module; modules that no open group names are
// not shown. Otherwise each visible top-level module with the visible
// children of an expanded one; groups are not shown.
TKldModuleLayout LayoutModuleRows(const TKldAppItems& items, const TKldModuleLayoutParams& params);
// Y limited to 0 .. ContentHeight - work height (never below 0).
int ClampModuleOffset(int y, int contentHeight, int workHeight);
// The offset that shows a row: its top when it begins above the view, its
// bottom at the view's bottom when it ends below it; then clamped.
int ScrollRowIntoView(int offset, const TKldModuleRow& row, int workHeight, int contentHeight);

class TKldModuleView : public TKldAppItemView
{
  public:
    explicit TKldModuleView(QWidget* parent = nullptr);
    ~TKldModuleView() override;
    std::string ClassName() const override { return "TKldModuleView"; }

    int SubItemHeight() const { return m_subItemHeight; }
    // The new height applies from the next re-layout. (SetSubHeight and
    // SetGroupHeight are the setters' names in the system's code.)
    void SetSubItemHeight(int value) { m_subItemHeight = value; }
    void SetSubHeight(int value) { SetSubItemHeight(value); }
    int GroupItemHeight() const { return m_groupItemHeight; }
    void SetGroupItemHeight(int value) { m_groupItemHeight = value; }
    void SetGroupHeight(int value) { SetGroupItemHeight(value); }
    int SpacerSize() const { return m_spacerSize; }
    void SetSpacerSize(int value);
    bool AllowAllExpanded() const { return m_allowAllExpanded; }
    void SetAllowAllExpanded(bool value) { m_allowAllExpanded = value; }
    bool AutoCollapse() const { return m_autoCollapse; }
    void SetAutoCollapse(bool value) { m_autoCollapse = value; }
    bool ShowByGroups() const { return m_showByGroups; }
    // Rebuilds the rows (no repaint of its own).
    void SetShowByGroups(bool value);

    using TKldAppItemView::SetColor;
    TColor SpacerColorA() const { return m_spacerColorA; }
    TColor SpacerColorB() const { return m_spacerColorB; }
    TColor SubColorA() const { return m_subColorA; }
    TColor SubColorB() const { return m_subColorB; }
    void SetSpacerColorA(TColor c) { SetColor(kcSpacerColorA, c); }
    void SetSpacerColorB(TColor c) { SetColor(kcSpacerColorB, c); }
    void SetSubColorA(TColor c) { SetColor(kcSubColorA, c); }
    void SetSubColorB(TColor c) { SetColor(kcSubColorB, c); }

    int Offset() const { return m_offset; }
    int ContentHeight() const { return m_contentHeight; }
    // -1 over the up arrow, 1 over the down arrow, 0 elsewhere.
    int SliderHot() const { return m_sliderHot; }
    // The direction the arrows repeat in while pressed (0: none).
    int AutoSlide() const { return m_autoSlide; }

    // Selects an item (or its parent when it is not listed, -1 when neither
    // is) without an event, scrolls it into view and repaints.
    void CheckSelItem(TKldAppItem* item);
    void ExpandItem(TKldAppItem* item) { DoExpandCollapse(item, false); }
    // Opens a closed top-level group or item with children, or closes an
    // open one (without force only with AutoCollapse). Opening a group closes
    // the other groups; opening a module without AllowAllExpanded closes all
    // other top-level items. OnExpand follows an opening.
    void DoExpandCollapse(TKldAppItem* item, bool force);
    void ScrollTo(int y);
    bool SliderVisible(bool up) const;
    // Where the arrow is painted: right-aligned 2 pixels inside the work
    // rectangle, 2 pixels from its top (up) or bottom (down).
    TRect SliderRect(bool up) const;

    TNotifyEvent OnExpand;

    void SetColor(int index, TColor color) override;
    int GetVisCount() const override;
    TKldAppItem* GetVisItem(int index) const override;
    TRect GetItemRect(TKldAppItem* item) const override;
    // The base rule, then the row is scrolled into view and OnItemSelect
    // fires, also when the selection did not change.
    void SetSelIdx(int n) override;
    // The base rule; a new hot row is scrolled into view.
    bool SetCurIdx(int n, bool clamp) override;
    int GetItemIdx(TKldAppItem* item) const override;
    void PaintItem(TKldAppItem* item) override;
    void AdjustContent() override;
    void ItemRemoved(TKldAppItem* item) override;

  protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    bool DoMouseWheel(TShiftState shift, int wheelDelta, const TPoint& mousePos) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void MouseLeave() override;
    void DoExit() override;

  private:
    void ScrollIntoView(int index);
    void StartAutoSlide(int direction);
    void StopAutoSlide();
    int SliderAt(const TPoint& p) const;
    const TKldModuleRow* RowOf(int index) const;

    int m_subItemHeight = 0;
    int m_groupItemHeight = 0;
    int m_spacerSize = 12;
    bool m_allowAllExpanded = true;
    bool m_autoCollapse = false;
    bool m_showByGroups = false;
    TColor m_spacerColorA = 0;
    TColor m_spacerColorB = 0;
    TColor m_subColorA = 0;
    TColor m_subColorB = 0;
    TKldGradientDir m_subDir = gdHorz;

    std::vector<TKldModuleRow> m_rows;
    std::unordered_map<const TKldAppItem*, int> m_rowIndex;
    int m_contentHeight = 0;
    int m_offset = 0;
    int m_sliderHot = 0;
    int m_autoSlide = 0;
    // The left button went down on an arrow: its release opens nothing.
    bool m_arrowPressed = false;
    TTimer m_timer;
};
