#pragma once
// `TKldAppletView`: a two-level item tree as a grid of tiles under group
// headers. Every top-level item is a header across the view; its children
// are tiles of ItemWidth x ItemHeight flowing left to right in as many
// columns as fit, each group's last row ended by placeholders. A tile with
// children opens an owner-drawn popup menu of its subtree; a leaf is chosen
// by click (OneClickSelect), double click or Enter and reported through
// OnItemSelect. The view sets its own height to its content, so hosts put it
// in a scrolling container; with nothing to show it may show its Caption as
// a text the user can click.
//
// The layout is LayoutAppletGrid, a plain function of the tree; it also
// decides which empty groups stay visible.

#include "platform/Menus.h"
#include "ui/KldAppItemView.h"

#include <unordered_map>
#include <vector>

struct TKldAppletLayoutParams
{
    TRect Work;      // the work rectangle
    int Columns = 1; // at least 1
    int GroupHeight = 21;
    int ItemWidth = 100;
    int ItemHeight = 100;
    bool ShowEmptyGroups = true;
    int BorderRows = 0; // 1 for each of the top and bottom border sides
};

struct TKldAppletLayout
{
    // Tiles in order, each group's last row filled up with nullptr.
    std::vector<TKldAppItem*> Entries;
    // The content's height, border rows included.
    int Height = 0;
};

// Lays the grid out: fills Entries, writes every listed tile's and visible
// group's Left and Top, and sets Visible (without telling the view) of child
// groups without children (unless ShowEmptyGroups) and of top-level groups
// that listed nothing (unless ShowEmptyGroups). Hidden top-level items are
// skipped and stay hidden until the host shows them again. A group without
// visible tiles takes no height.
TKldAppletLayout LayoutAppletGrid(TKldAppItems& items, const TKldAppletLayoutParams& params);
// max(1, workWidth div itemWidth); one column for a zero or negative width.
int AppletColumns(int workWidth, int itemWidth);

class TKldAppletView : public TKldAppItemView
{
  public:
    explicit TKldAppletView(QWidget* parent = nullptr);
    ~TKldAppletView() override;
    std::string ClassName() const override { return "TKldAppletView"; }

    int GroupHeight() const { return m_groupHeight; }
    void SetGroupHeight(int value);
    int ItemPadding() const { return m_itemPadding; }
    void SetItemPadding(int value);
    bool ShowDefaultText() const { return m_showDefaultText; }
    void SetShowDefaultText(bool value);
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& value);
    bool ShowEmptyGroups() const { return m_showEmptyGroups; }
    void SetShowEmptyGroups(bool value);
    int GroupFontSize() const { return m_groupFontSize; }
    void SetGroupFontSize(int value);
    TColor GroupFontColor() const { return m_groupFontColor; }
    void SetGroupFontColor(TColor value);
    // Used by the search results; the grid's own headers are always bold.
    TFontStyles GroupFontStyle() const { return m_groupFontStyle; }
    void SetGroupFontStyle(TFontStyles value);

    int GetColCount() const;
    int CalcRowCount(int n) const;
    int CalcChildCount(TKldAppItem* item) const;
    // (column, row) of a tile inside its group.
    TPoint ItemCell(TKldAppItem* item) const;
    TRect CalcGroupRect(TKldAppItem* group) const;
    // Whether the default text shows, and where a click on it counts.
    bool DefaultTextShown() const { return m_defaultTextShown; }
    TRect DefaultTextRect() const { return m_defaultTextRect; }
    TRect DefaultTextClickRect() const { return m_defaultTextClick; }
    bool OverDefaultText() const { return m_overDefaultText; }

    // The popup of a tile with children (nothing for a leaf).
    void DoShowPopup(TKldAppItem* item);
    // Selects entry N; then a selected tile with children opens its popup,
    // a leaf fires OnItemSelect.
    void DoSetSelIdx(int n);
    TPopupMenu& PopupMenu() { return m_popup; }

    TNotifyEvent OnDefTextClick;

    using TKldAppItemView::SetColor;
    // Indices 8 and 9 are taken (and repaint) without other effect.
    void SetColor(int index, TColor color) override;
    int GetVisCount() const override;
    TKldAppItem* GetVisItem(int index) const override;
    int GetItemIdx(TKldAppItem* item) const override;
    TRect GetItemRect(TKldAppItem* item) const override;
    void PaintItem(TKldAppItem* item) override;
    void AdjustContent() override;
    void ItemRemoved(TKldAppItem* item) override;
    virtual void PaintGroup(TKldAppItem* item);
    virtual void PaintItemText(TCanvas& canvas, TRect rect, TKldAppItem* item);

  protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;

  private:
    void PaintDefaultText();
    void SetDefaultTextFont(TCanvas& canvas) const;
    void MeasurePopupEntry(TObject* sender, TCanvas& canvas, int& width, int& height);
    void DrawPopupEntry(TObject* sender, TCanvas& canvas, const TRect& rect, bool selected);
    void PopupEntryClick(TObject* sender);
    // Whether a group takes room in the grid (it has visible tiles).
    bool GroupShown(TKldAppItem* group) const;

    int m_groupHeight = 21;
    int m_itemPadding = 10;
    bool m_showDefaultText = false;
    std::string m_caption;
    bool m_showEmptyGroups = true;
    int m_groupFontSize = 9;
    TColor m_groupFontColor = 0xCC6600;
    TFontStyles m_groupFontStyle;
    TColor m_spareColor8 = 0;
    TColor m_spareColor9 = 0;

    std::unordered_map<const TKldAppItem*, int> m_entryIndex;
    bool m_adjusting = false;
    bool m_defaultTextShown = false;
    TRect m_defaultTextRect;
    TRect m_defaultTextClick;
    bool m_overDefaultText = false;
    TPopupMenu m_popup;
};
