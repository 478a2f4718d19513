#pragma once
// The platform's tab controls: `TTabControl` (a strip of tabs over one
// body) and `TPageControl` (a strip of tabs over pages, `TTabSheet`, of
// which the active one shows). Both paint in the Qt style's own look; with
// OwnerDraw each tab's content is drawn by OnDrawTab over the style's tab
// shape.
//
// Geometry, as the old platform's tab control had it (tests rely on it):
// - One row of tabs along TabPosition, starting 2 pixels from the edges.
//   A tab is as high as the font's line (or the pictures) plus twice the
//   vertical padding plus 2 (TabHeight when set; a control that paints its
//   tabs itself may ask for more, AdjustTabLayout), and as wide as its text
//   plus twice the horizontal padding plus 6, plus the picture and 3 when
//   it has one (TabWidth when set). The style draws the tab's shape; its
//   picture follows the padding and its text is centred in the rest. The padding starts at (6, 3) and returns
//   to it when the window is made again (RecreateWnd). Tabs that do not fit are cut off at the edge. On the
//   left or right the tabs stack downwards, their width being the row's height.
// - The display rectangle (DisplayRect) is the client area less the tab row
//   and 2 pixels beside it, and 4 pixels on the other sides; descendants
//   change it through AdjustDisplayRect (the old platform's adjust-rectangle
//   message). Aligned children and pages fill it.
// - Tab indices of a page control count its visible pages only.
// A tab control is a window: it has a Handle for posted messages, which
// reach WndProc on the user-interface thread.

#include "platform/Controls.h"
#include "platform/ImageList.h"
#include "platform/Messages.h"
#include "platform/StringList.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum TTabPosition
{
    tpTop,
    tpBottom,
    tpLeft,
    tpRight
};

class TCustomTabControl;
class TTabSheet;
class TPageControl;

using TDrawTabEvent =
    std::function<void(TCustomTabControl* Control, int TabIndex, const TRect& Rect, bool Active)>;
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

// The window-size kinds of a resize (the old platform's WM_SIZE wParam).
constexpr int SIZE_RESTORED = 0;
constexpr int SIZE_MINIMIZED = 1;
constexpr int SIZE_MAXIMIZED = 2;

// What the tab row needs to be laid out.
struct TTabLayoutInput
{
    TTabPosition Position = tpTop;
    TPoint ClientSize;
    std::vector<int> TextWidths; // one per tab
    std::vector<bool> HasImage;  // one per tab
    int LineHeight = 0;
    TPoint ImageSize; // (0, 0) without pictures
    TPoint Padding{6, 3};
    int TabWidth = 0;  // 0: each tab's own width
    int TabHeight = 0; // 0: from the font and pictures
    // The least thickness of the row and length of a tab that a painter of
    // its own needs for its content (0: none); they apply where the tabs
    // take their size from the font, not to TabHeight and TabWidth.
    int MinRowSize = 0;
    int MinTabLength = 0;
};
struct TTabLayout
{
    std::vector<TRect> Tabs;
    // The tab row's thickness (a tab's height, or width on the left/right).
    int RowSize = 0;
    TRect DisplayRect;
};
TTabLayout LayoutTabs(const TTabLayoutInput& Input);

class TCustomTabControl : public TCustomControl, public IMessageReceiver
{
  public:
    explicit TCustomTabControl(QWidget* parent = nullptr);
    ~TCustomTabControl() override;
    std::string ClassName() const override { return "TCustomTabControl"; }

    TTabPosition TabPosition() const { return m_tabPosition; }
    void SetTabPosition(TTabPosition Value);
    int TabWidth() const { return m_tabWidth; }
    void SetTabWidth(int Value);
    int TabHeight() const { return m_tabHeight; }
    void SetTabHeight(int Value);
    // The space around each tab's content (the window's padding).
    TPoint TabPadding() const { return m_padding; }
    void SetTabPadding(TPoint Value);
    TCustomImageList* Images() const { return m_images.Get(); }
    virtual void SetImages(TCustomImageList* Value);
    bool OwnerDraw() const { return m_ownerDraw; }
    void SetOwnerDraw(bool Value);

    // The tabs as the strip shows them.
    virtual int TabCount() const = 0;
    virtual std::string TabText(int Index) const = 0;
    virtual int TabImageIndex(int Index) const { return -1; }
    // The selected tab; -1 for none.
    virtual int TabIndex() const = 0;
    virtual void SetTabIndex(int Value) = 0;

    // Client coordinates; empty for an index out of range.
    TRect TabRect(int Index) const;
    // The tab under a client point; -1 for none.
    int IndexOfTabAt(int X, int Y) const;
    // Where the body's content goes (client coordinates).
    TRect DisplayRect() const;

    // Whether the selection may change (OnChanging); Change tells of a
    // change made (OnChange).
    virtual bool CanChange();
    virtual void Change();

    // The window handle (made on first use); posted messages reach WndProc.
    HWND Handle();
    void WndProc(TMessage& Message) override;
    // Makes the window again: the padding returns to its default and
    // CreateWnd runs.
    void RecreateWnd();

    void AdjustClientRect(TRect& Rect) const override;

    TDrawTabEvent OnDrawTab;
    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;

  protected:
    // Runs when the window is made (at creation and by RecreateWnd).
    virtual void CreateWnd() {}
    // The adjust-rectangle message: the display rectangle as the platform
    // computed it, answered as the control wants it.
    virtual TRect AdjustDisplayRect(const TRect& Rect) const { return Rect; }
    // Lets a control that paints its tabs itself ask for room (the minimums
    // of the input) before the tabs are laid out.
    virtual void AdjustTabLayout(TTabLayoutInput& Input) const {}
    // One tab's content when OwnerDraw is set: OnDrawTab.
    virtual void DrawTab(int TabIndex, const TRect& Rect, bool Active);
    // The size kind of the resize being handled.
    int SizeType() const { return m_sizeType; }
    // The tab layout now.
    TTabLayout Layout() const;
    // Tabs or their texts changed: lay out and paint again.
    virtual void TabsChanged();

    void Paint() override;
    void Resize() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void FontChanged() override;

  private:
    // Selects a tab the user chose, when allowed.
    void SelectTab(int Index);
    // Picture and text of a tab in the platform's look: the picture after
    // the padding, the text centred in the rest.
    void PaintTabLabel(int Index, const TRect& Tab, bool Selected);
    // A tab and the 2 pixels beside it toward the pane.
    TRect TabClip(const TRect& Tab) const;

    TTabPosition m_tabPosition = tpTop;
    int m_tabWidth = 0;
    int m_tabHeight = 0;
    TPoint m_padding{6, 3};
    TImageListRef m_images;
    bool m_ownerDraw = false;
    HWND m_handle = NullHWnd;
    int m_sizeType = SIZE_RESTORED;
    bool m_windowStateSeen = false;
    Qt::WindowStates m_lastWindowState = Qt::WindowNoState;
};

class TTabControl : public TCustomTabControl
{
  public:
    explicit TTabControl(QWidget* parent = nullptr);
    ~TTabControl() override;
    std::string ClassName() const override { return "TTabControl"; }

    // The tabs' texts; an entry's object is the host's.
    TStringList& Tabs() { return m_tabs; }
    const TStringList& Tabs() const { return m_tabs; }

    int TabCount() const override { return m_tabs.Count(); }
    std::string TabText(int Index) const override;
    int TabIndex() const override { return m_tabIndex; }
    void SetTabIndex(int Value) override;

  private:
    TStringList m_tabs;
    int m_tabIndex = -1;
};

class TTabSheet : public TCustomControl
{
  public:
    // Joins `PageControl` (which shows it when it is the active page).
    explicit TTabSheet(TPageControl* PageControl = nullptr);
    ~TTabSheet() override;
    std::string ClassName() const override { return "TTabSheet"; }

    TPageControl* PageControl() const { return m_pageControl; }
    void SetPageControl(TPageControl* Value);
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& Value);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int Value);
    // Whether the page has a tab (a page without one cannot be active).
    bool TabVisible() const { return m_tabVisible; }
    void SetTabVisible(bool Value);
    int PageIndex() const;
    void SetPageIndex(int Value);
    // The page's tab among the visible ones; -1 without a tab.
    int TabIndex() const;

  private:
    friend class TPageControl;
    TPageControl* m_pageControl = nullptr;
    std::string m_caption;
    int m_imageIndex = -1;
    bool m_tabVisible = true;
};

class TPageControl : public TCustomTabControl
{
  public:
    explicit TPageControl(QWidget* parent = nullptr);
    ~TPageControl() override;
    std::string ClassName() const override { return "TPageControl"; }

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // nullptr out of range.
    TTabSheet* Pages(int Index) const;
    TTabSheet* ActivePage() const { return m_activePage; }
    // A page of this control with a tab, or nullptr.
    void SetActivePage(TTabSheet* Page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int Index);

    int TabCount() const override;
    std::string TabText(int Index) const override;
    int TabImageIndex(int Index) const override;
    int TabIndex() const override;
    void SetTabIndex(int Value) override;
    // The page of the Index-th visible tab; nullptr out of range.
    TTabSheet* TabPage(int Index) const;

  protected:
    void Resize() override;
    void TabsChanged() override;

  private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* Page);
    void RemovePage(TTabSheet* Page);
    void PageTabChanged(TTabSheet* Page);
    // The first page with a tab from After on, else the last one up to
    // Before; nullptr when none.
    TTabSheet* NearestTabPage(int After, int Before) const;
    void PlacePages();

    std::vector<TTabSheet*> m_pages; // children
    TTabSheet* m_activePage = nullptr;
};
