#pragma once
// `TKldTabControl` and `TKldPageControl` (unit KldTabControl): tab and page
// controls that paint their whole tab strip themselves in one of two flat
// styles, or leave it to the platform (ctsDefault: exactly the platform's
// tab controls, whatever BodyOffset says).
// - ctsVS2005: the selected tab is a filled shape with chamfered corners,
//   joined to the body; ctsVS2005TopTabs: its leading edge is slanted when
//   the tabs are on top or at the bottom.
// - The body is moved BodyOffset pixels away from the strip; strip, body
//   and border have colours of their own; the selected tab is drawn in
//   SelectedFont and may carry a close icon (OnCloseTab fires for a click
//   on it).
// - After a plain resize the control posts itself CM_FITALLTABS; its
//   handler narrows the tabs to equal widths when they do not fit, and
//   gives them back their own widths when they do.
// Tabs of a page control stand for its visible pages: pictures, captions
// and the close icon are taken from the page of each visible tab.
// The geometry is plain: KldTabBodyRect, KldTabShape, KldTabPadding and
// KldFitTabWidth, which tests drive directly.

#include "platform/Canvas.h"
#include "platform/ComCtrls.h"

#include <optional>
#include <string>
#include <vector>

enum TKldTabStyle
{
    ctsDefault,
    ctsVS2005,
    ctsVS2005TopTabs
};

// The body rectangle for the platform's display rectangle P in a client
// area of Size, moved BodyOffset away from the tabs.
TRect KldTabBodyRect(TTabPosition Position, const TRect& P, TPoint Size, int BodyOffset);
// The selected tab's outline through its rectangle R (already extended 2
// pixels toward the body).
std::vector<TPoint> KldTabShape(TKldTabStyle Style, TTabPosition Position, const TRect& R);
// The tab padding the style asks for; none when the window's own stays.
std::optional<TPoint> KldTabPadding(TKldTabStyle Style, TTabPosition Position, int TabWidth, bool HasImages,
                                    bool ShowCloseIcon);
// The TabWidth that fits the tabs into Width: 0 (their own widths) when
// 8 + the sum of (text width + PerTab + 8 with close icons) fits, otherwise
// (Width - 4) div the number of tabs (never below 0). No tabs: nothing to
// fit (nullopt).
std::optional<int> KldFitTabWidth(const std::vector<int>& TextWidths, int Width, int PerTab,
                                  bool ShowCloseIcon);

// What the tab routine draws one tab with.
struct TKldTabLook
{
    TTabPosition Position = tpTop;
    int CloseIndex = -1; // 0 when the tab carries the close icon
    TKldTabStyle Style = ctsVS2005;
    int ImageIndex = -1;
    TCustomImageList* Images = nullptr;
    TColor BorderColor = 0;
    TColor TabColor = 0;
    bool Focused = false;
    bool Selected = false;
    const TFont* Font = nullptr;
    std::string Text;
};
// Draws one tab in R (already extended toward the body).
void KldPaintTab(TCanvas& Canvas, const TRect& R, const TKldTabLook& Look);

// The close icons (12 x 12, magenta transparent): 0 "BMP_CLOSE_TAB",
// 1 "BMP_CLOSE_TABA"; only 0 is drawn. Loaded on first use.
TCustomImageList& KldCloseTabImages();

// What the tab and the page control share; TBase is TTabControl or
// TPageControl.
template <class TBase> class TKldStyledTabs : public TBase
{
  public:
    explicit TKldStyledTabs(QWidget* parent);
    ~TKldStyledTabs() override;

    TColor BgColor() const { return m_bgColor; }
    void SetBgColor(TColor Value);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor Value);
    int BodyOffset() const { return m_bodyOffset; }
    void SetBodyOffset(int Value);
    TKldTabStyle TabStyle() const { return m_tabStyle; }
    void SetTabStyle(TKldTabStyle Value);
    // The font of the selected tab (a copy of Font at creation).
    TFont& SelectedFont() { return m_selectedFont; }
    bool ShowCloseIcon() const { return m_showCloseIcon; }
    void SetShowCloseIcon(bool Value);
    // The body rectangle kept from the last display-rectangle request.
    TRect BodyRect() const { return m_body; }

    // Whether the point lies on the selected tab's close button: from 16 to
    // 4 pixels before the tab's right edge (the last excluded), at any
    // height of the tab.
    bool MouseInCloseBtn(int X, int Y) const;
    // The handler of CM_FITALLTABS.
    void CMFFitAllTabs();
    void SetImages(TCustomImageList* Value) override;
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnCloseTab;

  protected:
    // The fill of the selected tab and the body.
    virtual TColor TabFillColor() const = 0;
    // Whether tab I carries the close icon.
    virtual bool TabHasCloseIcon(int I) const = 0;
    // Fits the tabs with PerTab added to each text width (plus the
    // picture width); only for tabs on top or at the bottom.
    void FitTabs(int PerTab);
    virtual void DoFit() = 0;
    bool Fitting() const { return m_fit; }
    void SetFitting(bool Value) { m_fit = Value; }
    void UpdatePadding();

    void CreateWnd() override;
    TRect AdjustDisplayRect(const TRect& Rect) const override;
    void AdjustTabLayout(TTabLayoutInput& Input) const override;
    void Paint() override;
    void Resize() override;

  private:
    void PaintTabSetVS2005();

    TColor m_bgColor = clBtnFace;
    TColor m_borderColor = clBtnShadow;
    int m_bodyOffset = 2;
    TKldTabStyle m_tabStyle = ctsDefault;
    TFont m_selectedFont;
    bool m_showCloseIcon = false;
    bool m_fit = true;
    mutable TRect m_body;
};

extern template class TKldStyledTabs<TTabControl>;
extern template class TKldStyledTabs<TPageControl>;

class TKldTabControl : public TKldStyledTabs<TTabControl>
{
  public:
    explicit TKldTabControl(QWidget* parent = nullptr);
    std::string ClassName() const override { return "TKldTabControl"; }

    TColor TabColor() const { return m_tabColor; }
    void SetTabColor(TColor Value);
    bool FitAllTabs() const { return Fitting(); }
    void SetFitAllTabs(bool Value) { SetFitting(Value); }
    // After the form loaded the control: the window is made again.
    void Loaded();
    // Selects tab Index the way a user would (OnChanging may refuse).
    void UpdateTabIndex(int Index);
    void DoFitAllTabs();

  protected:
    TColor TabFillColor() const override { return m_tabColor; }
    // A tab carries the close icon when its entry in Tabs has an object.
    bool TabHasCloseIcon(int I) const override;
    void DoFit() override { DoFitAllTabs(); }
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

  private:
    TColor m_tabColor = 0xFFFFFF;
};

class TKldPageControl : public TKldStyledTabs<TPageControl>
{
  public:
    explicit TKldPageControl(QWidget* parent = nullptr);
    std::string ClassName() const override { return "TKldPageControl"; }

    bool FitAllPages() const { return Fitting(); }
    void SetFitAllPages(bool Value) { SetFitting(Value); }
    void DoFitAllPages();

  protected:
    // The page control's tabs are filled with its Color.
    TColor TabFillColor() const override { return this->Color(); }
    // The tab's page carries the close icon when its Tag is not 0.
    bool TabHasCloseIcon(int I) const override;
    void DoFit() override { DoFitAllPages(); }
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override {}
};
