#pragma once
// The framed containers and labels of the module windows and the main
// window (unit KldAppPanel):
// - `TOffset`: the four-sided size that margins and paddings are made of.
// - `TKldAppPanel`: a container whose whole frame (outer margin, border
//   sides, caption bar with an optional menu button, inner padding) lies
//   outside its client area; the client area holds child controls. A panel
//   owns a widget layout (KldAppLayout.h): the module window's widget column
//   is one panel, and every widget in it another.
// - `TKldAppLabel` (KldAppLabel.h): a label with the same frame model.
// - `TKldAppInfoBar` (KldAppInfoBar.h): the main window's strip of facts.
// The frame's size is exactly the sum of its parts: a panel with margin 3,
// all four border sides, padding 2 and a 20-pixel caption bar has a client
// area 12 pixels narrower and 32 pixels lower than the panel.
// User-interface thread only.

#include "platform/Canvas.h"
#include "platform/Controls.h"
#include "platform/Guarded.h"
#include "platform/ImageList.h"
#include "platform/Menus.h"
#include "ui/KldAppLayout.h"
#include "ui/KldAppUtils.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// ALayoutChange: a size changed (the frame must be measured again), rather
// than a colour or whether the strips are painted.
using TOffsetChangedEvent = std::function<void(TObject* Sender, bool ALayoutChange)>;

class TOffset : public TPersistent
{
  public:
    explicit TOffset(TOffsetChangedEvent OnChange = {});
    std::string ClassName() const override { return "TOffset"; }

    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Right() const { return m_right; }
    int Bottom() const { return m_bottom; }
    // The last value written through All (not the sides' values).
    int All() const { return m_all; }
    // Index 0-3: Left, Top, Right, Bottom; -1: All (all four sides). The
    // value is a Smallint: negative values are ignored, an unchanged single
    // side does nothing; otherwise the owner hears of a layout change.
    void SetSize(int Index, int Value);
    void SetLeft(int Value) { SetSize(0, Value); }
    void SetTop(int Value) { SetSize(1, Value); }
    void SetRight(int Value) { SetSize(2, Value); }
    void SetBottom(int Value) { SetSize(3, Value); }
    void SetAll(int Value) { SetSize(-1, Value); }

    TColor FillColor() const { return m_fillColor; }
    // Index 0 only; a change is not a layout change.
    void SetColor(int Index, TColor Color);
    void SetFillColor(TColor Color) { SetColor(0, Color); }
    // Whether the strips are filled (and, for a label, whether the offset
    // applies at all).
    bool Paint() const { return m_paint; }
    void SetPaint(bool Value);

    // (Left, Top, Right, Bottom).
    TRect AsRect() const { return {m_left, m_top, m_right, m_bottom}; }
    // Copies the sides and the fill colour; the owner hears of a layout change.
    void Assign(const TPersistent& Source) override;

    TOffsetChangedEvent OnChange;

  private:
    void Changed(bool LayoutChange);

    int16_t m_left = 0;
    int16_t m_top = 0;
    int16_t m_right = 0;
    int16_t m_bottom = 0;
    int16_t m_all = 0;
    TColor m_fillColor = 0;
    bool m_paint = true;
};

// The frame shared by panel and label, in R0 (the outer rectangle): margin
// strips (when painted), padding strips inside the border (when painted,
// the top one CaptionSize pixels down), then the border sides (unless
// BorderColor is clNone). For a label, an offset that is not painted does
// not apply (pass OffsetsApplyOnlyPainted).
void PaintKldFrame(TCanvas& Canvas, const TRect& R0, const TOffset& Margin, const TOffset& Padding,
                   TSides Border, TColor BorderColor, int CaptionSize, bool OffsetsApplyOnlyPainted);

// The panel's menu-button pictures (35 x 15): 0 normal, 1 with the pointer
// over it; loaded once. A missing picture raises "Error loading resource".
TCustomImageList& KldAppPanelMenuImages();
// Fills `Images` from PNG resources of the program; raises "Error loading
// resource" for one that is missing.
void LoadPngImages(TCustomImageList& Images, std::initializer_list<const char*> Names);

class TKldAppPanel : public TCustomControl
{
  public:
    explicit TKldAppPanel(QWidget* parent = nullptr);
    // The widgets go first, while the panel is whole.
    ~TKldAppPanel() override;
    std::string ClassName() const override { return "TKldAppPanel"; }

    TOffset& Margin() { return m_margin; }
    const TOffset& Margin() const { return m_margin; }
    void SetMargin(const TOffset& Value) { m_margin.Assign(Value); }
    TOffset& Padding() { return m_padding; }
    const TOffset& Padding() const { return m_padding; }
    void SetPadding(const TOffset& Value) { m_padding.Assign(Value); }
    TSides Border() const { return m_border; }
    void SetBorder(TSides Value);
    TColor BorderColor() const { return m_borderColor; }
    void SetBorderColor(TColor Value);
    // 1 when the side is in Border, else 0.
    int BorderSize(TSide Side) const { return ::BorderSize(m_border, Side); }
    int CaptionSize() const { return m_captionSize; }
    // 0: no caption bar.
    void SetCaptionSize(int Value);
    TColor CaptionColorA() const { return m_captionColorA; }
    TColor CaptionColorB() const { return m_captionColorB; }
    // 0: CaptionColorA, 1: CaptionColorB.
    void SetCaptionColor(int Index, TColor Color);
    void SetCaptionColorA(TColor Color) { SetCaptionColor(0, Color); }
    void SetCaptionColorB(TColor Color) { SetCaptionColor(1, Color); }
    TFont& CaptionFont() { return m_captionFont; }
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment Value);
    bool ShowMenuButton() const { return m_showMenuButton; }
    void SetShowMenuButton(bool Value);
    TPopupMenu* PopupMenu() const { return m_popupMenu.Get(); }
    void SetPopupMenu(TPopupMenu* Value) { m_popupMenu = Value; }
    bool UseOffScreen() const { return m_useOffScreen; }
    void SetUseOffScreen(bool Value);
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& Value);
    // Whether the pointer is over the menu button (set by the hit test).
    bool MenuButtonHot() const { return m_menuButtonHot; }

    TKldAppLayout& Layout() { return *m_layout; }
    // The widget whose own panel this is; nullptr for other panels.
    TKldAppLayoutItem* Widget() const { return m_widget; }

    // Re-aligns the widget layout.
    void Changed();
    // Fires OnWidgetCreate, parents the widget's panel here and re-aligns.
    void DoOnWidgetCreate(TKldAppLayoutItem* Item);
    void DoOnWidgetDelete(TKldAppLayoutItem* Item);
    // Measures the frame again (the old platform recreated the window).
    void RecreateWnd();

    TWidgetEvent OnWidgetCreate;
    TWidgetEvent OnWidgetDelete;

  protected:
    void PaintNonClient(TCanvas& Canvas) override;
    int NCHitTest(const TPoint& ClientPos) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseLeave() override;
    void DoExit() override;
    void Resize() override;

  private:
    friend class TKldAppLayoutItem;
    void OffsetChanged(bool LayoutChange);
    void PaintCaptionBar(TCanvas& Canvas, const TRect& Bar);

    TOffset m_margin;
    TOffset m_padding;
    TSides m_border;
    TColor m_borderColor = 0;
    int m_captionSize = 0;
    TColor m_captionColorA = 0;
    TColor m_captionColorB = 0;
    TFont m_captionFont;
    TAlignment m_alignment = taCenter;
    bool m_showMenuButton = false;
    TGuardedPtr<TPopupMenu> m_popupMenu;
    bool m_useOffScreen = false;
    std::string m_caption;
    bool m_menuButtonHot = false;
    TKldAppLayoutItem* m_widget = nullptr;
    std::unique_ptr<TKldAppLayout> m_layout;
};

#include "ui/KldAppInfoBar.h"
#include "ui/KldAppLabel.h"
