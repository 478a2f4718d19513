#pragma once
// `TKldAppItemView`: the owner-drawn control that the module list, the applet
// grid and the search results derive from. It owns the item tree, an
// off-screen canvas, the selected and the hot index, the border and the
// colour sets, and leaves layout, painting and input to its descendants
// through a fixed list of virtual operations.
//
// - Indices (SelIdx, CurIdx) count entries of the visible list, which the
//   descendant's layout (AdjustContent) builds; it may hold nullptr
//   placeholders. When an item anywhere in the tree is removed, the list is
//   emptied at once (the indices stay), so that nothing painted or hit in the
//   meantime reaches a deleted item; the re-layout that follows fills it
//   again.
// - Painting draws the exposed part of the client area into the off-screen
//   canvas (background, items, borders) and copies it to the screen in one
//   block.
// - With AutoSplitter, the edge facing the rest of the form drags the view's
//   size (AutoSplitterHitTest).

#include "base/KldCanvas.h"
#include "platform/Controls.h"
#include "platform/ImageList.h"
#include "ui/KldAppItems.h"
#include "ui/KldAppUtils.h"

#include <QImage>

#include <functional>
#include <memory>
#include <vector>

using TSelectKldAppItemEvent = std::function<void(TObject* sender, TKldAppItem* item)>;

// Colour-set indices of SetColor.
constexpr int kcSelectedColorA = 0;
constexpr int kcSelectedColorB = 1;
constexpr int kcSelectedFontColor = 2;
constexpr int kcHighlightColorA = 3;
constexpr int kcHighlightColorB = 4;
constexpr int kcHighlightFontColor = 5;
constexpr int kcSelectedPenColor = 6;
constexpr int kcHighlightPenColor = 7;
constexpr int kcItemColorA = -1;
constexpr int kcItemColorB = -2;
constexpr int kcItemPenColor = -3;

// The 17 colours of child rows and tiles without a picture ($BBGGRR).
extern const TColor KldItemColors[17];
// The table colour for a key: its remainder by 17 taken from 0 to 16, so -1
// gives colour 16.
TColor KldItemColor(intptr_t key);

// The pictures the two views share, loaded once from the program's
// resources; a missing picture is a null image and is not drawn.
struct TKldAppViewPictures
{
    QImage SliderUp;    // "PNG_SLIDERUP"
    QImage SliderDn;    // "PNG_SLIDERDN"
    QImage SliderUpSel; // "PNG_SLIDERUP_SEL"
    QImage SliderDnSel; // "PNG_SLIDERDN_SEL"
    QImage Dn;          // "PNG_DN"
    QImage Right;       // "PNG_RIGHT"
    // 11 x 10: "BMP_UP", "BMP_DN", "BMP_APPSUB" (white is transparent).
    std::unique_ptr<TCustomImageList> Small;
};
const TKldAppViewPictures& KldAppViewPictures();

// What the auto-splitter answers at a client point: the sizing edge facing
// the rest of the form when the point is less than 5 pixels from it (the
// bottom edge of a top-aligned view, the top edge of a bottom-aligned one,
// the right edge of a left-aligned one, the left edge of a right-aligned
// one); HTCLIENT elsewhere.
int AutoSplitterHitTest(TAlign align, TPoint clientSize, TPoint pos);

class TKldAppItemView : public TCustomControl
{
  public:
    explicit TKldAppItemView(QWidget* parent = nullptr);
    ~TKldAppItemView() override;
    std::string ClassName() const override { return "TKldAppItemView"; }

    TKldAppItems& Items() { return *m_items; }
    const TKldAppItems& Items() const { return *m_items; }

    int ItemWidth() const { return m_itemWidth; }
    void SetItemWidth(int value);
    int ItemHeight() const { return m_itemHeight; }
    void SetItemHeight(int value);
    // Held by guarded reference: a freed list is noticed and not drawn.
    TCustomImageList* Images() const { return m_images.Get(); }
    void SetImages(TCustomImageList* images) { m_images = images; }
    TSides Border() const { return m_border; }
    void SetBorder(TSides value);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor value);
    bool AutoSplitter() const { return m_autoSplitter; }
    void SetAutoSplitter(bool value) { m_autoSplitter = value; }
    bool OneClickSelect() const { return m_oneClickSelect; }
    void SetOneClickSelect(bool value) { m_oneClickSelect = value; }
    bool ColoredItems() const { return m_coloredItems; }
    void SetColoredItems(bool value);

    int SelIdx() const { return m_selIdx; }
    int CurIdx() const { return m_curIdx; }
    TKldAppItem* GetSelItem() const;
    void SetSelItem(TKldAppItem* item);
    TKldAppItem* GetCurItem() const;
    TPoint GetWorkSize() const { return RectSize(GetWorkRect()); }
    // The client position of the last hit test.
    TPoint LastMousePos() const { return m_lastMouse; }

    // The colour sets; SetColor(index, colour) writes them (see kc...).
    using TCustomControl::SetColor;
    TColor SelectedColorA() const { return m_selectedColorA; }
    TColor SelectedColorB() const { return m_selectedColorB; }
    TColor SelectedFontColor() const { return m_selectedFontColor; }
    TColor SelectedPenColor() const { return m_selectedPenColor; }
    TColor HighlightColorA() const { return m_highlightColorA; }
    TColor HighlightColorB() const { return m_highlightColorB; }
    TColor HighlightFontColor() const { return m_highlightFontColor; }
    TColor HighlightPenColor() const { return m_highlightPenColor; }
    TColor ItemColorA() const { return m_itemColorA; }
    TColor ItemColorB() const { return m_itemColorB; }
    TColor ItemPenColor() const { return m_itemPenColor; }
    void SetSelectedColorA(TColor c) { SetColor(kcSelectedColorA, c); }
    void SetSelectedColorB(TColor c) { SetColor(kcSelectedColorB, c); }
    void SetSelectedFontColor(TColor c) { SetColor(kcSelectedFontColor, c); }
    void SetSelectedPenColor(TColor c) { SetColor(kcSelectedPenColor, c); }
    void SetHighlightColorA(TColor c) { SetColor(kcHighlightColorA, c); }
    void SetHighlightColorB(TColor c) { SetColor(kcHighlightColorB, c); }
    void SetHighlightFontColor(TColor c) { SetColor(kcHighlightFontColor, c); }
    void SetHighlightPenColor(TColor c) { SetColor(kcHighlightPenColor, c); }
    void SetItemColorA(TColor c) { SetColor(kcItemColorA, c); }
    void SetItemColorB(TColor c) { SetColor(kcItemColorB, c); }
    void SetItemPenColor(TColor c) { SetColor(kcItemPenColor, c); }
    // Every set starts vertical.
    TKldGradientDir SelectedGradientDir() const { return m_selectedDir; }
    TKldGradientDir HighlightGradientDir() const { return m_highlightDir; }
    TKldGradientDir ItemGradientDir() const { return m_itemDir; }

    // Re-lays out (with relayout) and repaints.
    void ItemsChanged(bool relayout);
    // An item of the tree is leaving it: the visible list is emptied (and a
    // descendant drops whatever else refers to items).
    virtual void ItemRemoved(TKldAppItem* item);

    // The virtual operations, in the system's order.
    // 1. Stores a colour of the sets (others are ignored) and repaints.
    virtual void SetColor(int index, TColor color);
    // 2. Entries of the visible list (base: the top-level items).
    virtual int GetVisCount() const;
    // 3. Entry `index` (base: top-level item); nullptr out of range.
    virtual TKldAppItem* GetVisItem(int index) const;
    // 4. The item's rectangle (base: cells of ItemWidth x ItemHeight filling
    //    the work rectangle row by row); empty for nullptr.
    virtual TRect GetItemRect(TKldAppItem* item) const;
    // 5. Selects entry N: see the rules in the source.
    virtual void SetSelIdx(int n);
    // 6. With clamp, N is limited to the visible list; a new value is stored
    //    and repainted. Answers whether it changed.
    virtual bool SetCurIdx(int n, bool clamp);
    // 7. SetCurIdx(GetItemIdx(item), true) for an item.
    virtual void SetCurItem(TKldAppItem* item);
    // 8. The item's index in the visible list; -1 for nullptr (base: its
    //    collection index).
    virtual int GetItemIdx(TKldAppItem* item) const;
    // 9. The first non-nil visible entry whose rectangle holds the point; -1.
    virtual int PosToItem(const TPoint& p) const;
    // 10. Paints one item (base: nothing).
    virtual void PaintItem(TKldAppItem* item);
    // 11. The client rectangle less one pixel on each border side.
    virtual TRect GetWorkRect() const;
    // 12. Builds the visible list and the item positions (base: nothing).
    virtual void AdjustContent();

    // The off-screen drawing surface.
    TKldCanvas& OffScreen() { return m_canvas; }

    // An item was chosen.
    TSelectKldAppItemEvent OnItemSelect;

  protected:
    // Paints the border sides onto the off-screen canvas.
    void PaintBorders();
    // Painting: BeginPaint readies the off-screen canvas for the exposed part
    // of the client area (with the view's font), EndPaint copies it to the
    // screen. Descendants paint between the two.
    TKldCanvas& BeginPaint();
    void EndPaint();
    void Paint() override;

    int NCHitTest(const TPoint& clientPos) override;
    TCursor HitTestCursor(int hit) const override;
    void MouseEnter() override;
    void MouseLeave() override;
    void DoEnter() override;
    void DoExit() override;
    void Resize() override;

    // The visible list the descendant's layout builds.
    std::vector<TKldAppItem*>& VisibleList() { return m_visible; }
    const std::vector<TKldAppItem*>& VisibleList() const { return m_visible; }
    void SetSelIdxValue(int value) { m_selIdx = value; }
    // The selected item for a layout to find again: the entry at SelIdx, or,
    // when removals have emptied the list since the last layout, the item
    // that was selected before the first of them (nullptr once it is gone).
    TKldAppItem* SelItemBeforeLayout();
    // Whether the top collection is inside an update (layouts wait for its end).
    bool Updating() const { return m_items->UpdateCount() > 0; }

  private:
    std::unique_ptr<TKldAppItems> m_items;
    TKldCanvas m_canvas;
    std::vector<TKldAppItem*> m_visible;
    int m_itemWidth = 100;
    int m_itemHeight = 100;
    TImageListRef m_images;
    TSides m_border;
    TColor m_borderColor = 0;
    bool m_autoSplitter = false;
    bool m_oneClickSelect = false;
    bool m_coloredItems = false;
    int m_selIdx = -1;
    int m_curIdx = -1;
    TPoint m_lastMouse;
    // Set while removals have emptied the visible list and no layout has
    // filled it again; the item selected before then.
    bool m_listDropped = false;
    TGuardedPtr<TKldAppItem> m_selBeforeDrop;

    TColor m_selectedColorA = 0;
    TColor m_selectedColorB = 0;
    TColor m_selectedFontColor = 0;
    TColor m_selectedPenColor = 0;
    TColor m_highlightColorA = 0;
    TColor m_highlightColorB = 0;
    TColor m_highlightFontColor = 0;
    TColor m_highlightPenColor = 0;
    TColor m_itemColorA = 0;
    TColor m_itemColorB = 0;
    TColor m_itemPenColor = 0;
    TKldGradientDir m_selectedDir = gdVert;
    TKldGradientDir m_highlightDir = gdVert;
    TKldGradientDir m_itemDir = gdVert;
};
