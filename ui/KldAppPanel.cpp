#include "ui/KldAppPanel.h"

#include "base/KldCanvas.h"
#include "platform/DrawText.h"
#include "platform/Resources.h"
#include "platform/SysUtils.h"

#include <QPainter>

static void InitKldAppResources()
{
    Q_INIT_RESOURCE(KldAppResources);
}

// ---------------------------------------------------------------------------
// TOffset

TOffset::TOffset(TOffsetChangedEvent OnChange) : OnChange(std::move(OnChange)) {}

void TOffset::Changed(bool LayoutChange)
{
    if (OnChange)
        OnChange(this, LayoutChange);
}

void TOffset::SetSize(int Index, int Value)
{
    // The sizes are Smallints: what the caller passes is taken as one.
    const auto v = static_cast<int16_t>(Value);
    if (v < 0)
        return;
    int16_t* side = nullptr;
    switch (Index) {
    case -1:
        m_all = v;
        m_left = m_top = m_right = m_bottom = v;
        Changed(true);
        return;
    case 0:
        side = &m_left;
        break;
    case 1:
        side = &m_top;
        break;
    case 2:
        side = &m_right;
        break;
    case 3:
        side = &m_bottom;
        break;
    default:
        return;
    }
    if (*side == v)
        return;
    *side = v;
    Changed(true);
}

void TOffset::SetColor(int Index, TColor Color)
{
    if (Index != 0 || Color == m_fillColor)
        return;
    m_fillColor = Color;
    Changed(false);
}

void TOffset::SetPaint(bool Value)
{
    if (Value == m_paint)
        return;
    m_paint = Value;
    Changed(false);
}

void TOffset::Assign(const TPersistent& Source)
{
    const auto* offset = dynamic_cast<const TOffset*>(&Source);
    if (!offset) {
        TPersistent::Assign(Source);
        return;
    }
    m_left = offset->m_left;
    m_top = offset->m_top;
    m_right = offset->m_right;
    m_bottom = offset->m_bottom;
    m_fillColor = offset->m_fillColor;
    Changed(true);
}

// ---------------------------------------------------------------------------
// The frame

void PaintKldFrame(TCanvas& Canvas, const TRect& R0, const TOffset& Margin, const TOffset& Padding,
                   TSides Border, TColor BorderColor, int CaptionSize, bool OffsetsApplyOnlyPainted)
{
    const TRect m = !OffsetsApplyOnlyPainted || Margin.Paint() ? Margin.AsRect() : TRect{};
    const TRect p = !OffsetsApplyOnlyPainted || Padding.Paint() ? Padding.AsRect() : TRect{};
    Canvas.Brush().Style = bsSolid;
    if (Margin.Paint()) {
        Canvas.Brush().Color = Margin.FillColor();
        if (m.Left > 0)
            Canvas.FillRect({R0.Left, R0.Top, R0.Left + m.Left, R0.Bottom});
        if (m.Top > 0)
            Canvas.FillRect({R0.Left, R0.Top, R0.Right, R0.Top + m.Top});
        if (m.Right > 0)
            Canvas.FillRect({R0.Right - m.Right, R0.Top, R0.Right, R0.Bottom});
        if (m.Bottom > 0)
            Canvas.FillRect({R0.Left, R0.Bottom - m.Bottom, R0.Right, R0.Bottom});
    }
    TRect inner = R0;
    ShrinkRect(inner, m);
    TRect r = inner;
    ShrinkRect(r, BorderAsRect(Border));
    if (Padding.Paint()) {
        Canvas.Brush().Color = Padding.FillColor();
        if (p.Left > 0)
            Canvas.FillRect({r.Left, r.Top, r.Left + p.Left, r.Bottom});
        if (p.Right > 0)
            Canvas.FillRect({r.Right - p.Right, r.Top, r.Right, r.Bottom});
        if (p.Top > 0)
            Canvas.FillRect({r.Left, r.Top + CaptionSize, r.Right, r.Top + CaptionSize + p.Top});
        if (p.Bottom > 0)
            Canvas.FillRect({r.Left, r.Bottom - p.Bottom, r.Right, r.Bottom});
    }
    if (!Border.Empty() && BorderColor != clNone)
        DrawBorder(Canvas, inner, Border, BorderColor);
}

void LoadPngImages(TCustomImageList& Images, std::initializer_list<const char*> Names)
{
    InitKldAppResources();
    for (const char* name : Names)
        if (!Images.ResourceLoad(rtRCData, name, clNone))
            throw Exception("Error loading resource");
}

TCustomImageList& KldAppPanelMenuImages()
{
    static const std::unique_ptr<TCustomImageList> images = [] {
        auto list = std::make_unique<TCustomImageList>(35, 15);
        LoadPngImages(*list, {"PNG_APPPANEL_MENU", "PNG_APPPANEL_MENU_SEL"});
        return list;
    }();
    return *images;
}

// ---------------------------------------------------------------------------
// TKldAppPanel

namespace {
constexpr int MenuButtonWidth = 35;
constexpr int MenuButtonReach = 43; // from the right edge, less the margins
} // namespace

TKldAppPanel::TKldAppPanel(QWidget* parent)
    : TCustomControl(parent), m_layout(std::make_unique<TKldAppLayout>(this))
{
    SetParentColor(false);
    m_margin.OnChange = [this](TObject*, bool layout) { OffsetChanged(layout); };
    m_padding.OnChange = [this](TObject*, bool layout) { OffsetChanged(layout); };
    m_captionFont.OnChange = [this](TObject*) { Invalidate(); };
}

TKldAppPanel::~TKldAppPanel()
{
    m_margin.OnChange = nullptr;
    m_padding.OnChange = nullptr;
    m_captionFont.OnChange = nullptr;
    m_layout.reset();
}

void TKldAppPanel::OffsetChanged(bool LayoutChange)
{
    if (LayoutChange)
        RecreateWnd();
    else
        Invalidate();
}

void TKldAppPanel::RecreateWnd()
{
    const TRect m = m_margin.AsRect();
    const TRect p = m_padding.AsRect();
    SetNonClientMargins({BorderSize(sLeft) + m.Left + p.Left,
                         BorderSize(sTop) + m.Top + p.Top + m_captionSize,
                         BorderSize(sRight) + m.Right + p.Right, BorderSize(sBottom) + m.Bottom + p.Bottom});
    Changed();
}

void TKldAppPanel::SetBorder(TSides Value)
{
    if (Value == m_border)
        return;
    m_border = Value;
    RecreateWnd();
}

void TKldAppPanel::SetBorderColor(TColor Value)
{
    if (Value == m_borderColor)
        return;
    m_borderColor = Value;
    Invalidate();
}

void TKldAppPanel::SetCaptionSize(int Value)
{
    if (Value == m_captionSize)
        return;
    m_captionSize = Value;
    RecreateWnd();
}

void TKldAppPanel::SetCaptionColor(int Index, TColor Color)
{
    TColor* target = Index == 0 ? &m_captionColorA : Index == 1 ? &m_captionColorB : nullptr;
    if (!target || *target == Color)
        return;
    *target = Color;
    Invalidate();
}

void TKldAppPanel::SetAlignment(TAlignment Value)
{
    if (Value == m_alignment)
        return;
    m_alignment = Value;
    Invalidate();
}

void TKldAppPanel::SetShowMenuButton(bool Value)
{
    if (Value == m_showMenuButton)
        return;
    m_showMenuButton = Value;
    RecreateWnd();
}

void TKldAppPanel::SetUseOffScreen(bool Value)
{
    if (Value == m_useOffScreen)
        return;
    m_useOffScreen = Value;
    Invalidate();
}

void TKldAppPanel::SetCaption(const std::string& Value)
{
    if (Value == m_caption)
        return;
    m_caption = Value;
    Invalidate();
}

void TKldAppPanel::Changed()
{
    if (m_layout)
        m_layout->ReAlign();
}

void TKldAppPanel::DoOnWidgetCreate(TKldAppLayoutItem* Item)
{
    if (OnWidgetCreate)
        OnWidgetCreate(Item);
    if (TKldAppPanel* panel = Item->Panel(); panel && panel->parentWidget() != this)
        panel->setParent(this);
    Changed();
}

void TKldAppPanel::DoOnWidgetDelete(TKldAppLayoutItem* Item)
{
    if (OnWidgetDelete)
        OnWidgetDelete(Item);
}

void TKldAppPanel::Resize()
{
    Changed();
    TCustomControl::Resize();
}

// ---------------------------------------------------------------------------
// Painting

void TKldAppPanel::PaintNonClient(TCanvas& Canvas)
{
    const TRect r0 = Rect(0, 0, Width(), Height());
    PaintKldFrame(Canvas, r0, m_margin, m_padding, m_border, m_borderColor, m_captionSize, false);
    if (m_captionSize <= 0)
        return;
    TRect bar = r0;
    ShrinkRect(bar, m_margin.AsRect());
    ShrinkRect(bar, BorderAsRect(m_border));
    bar.Bottom = bar.Top + m_captionSize;
    if (!m_useOffScreen) {
        PaintCaptionBar(Canvas, bar);
        return;
    }
    TKldCanvas offScreen(bar.Width(), bar.Height());
    offScreen.Font().Assign(Canvas.Font());
    PaintCaptionBar(offScreen, Rect(0, 0, bar.Width(), bar.Height()));
    if (QPainter* p = Canvas.Handle(); p && !offScreen.Bitmap().isNull())
        p->drawImage(QPoint(bar.Left, bar.Top), offScreen.Bitmap());
}

void TKldAppPanel::PaintCaptionBar(TCanvas& Canvas, const TRect& Bar)
{
    const TRect fill{Bar.Left, Bar.Top, Bar.Right, Bar.Bottom + 1};
    if (m_captionColorA == m_captionColorB) {
        Canvas.Brush().Style = bsSolid;
        Canvas.Brush().Color = m_captionColorA;
        Canvas.FillRect(fill);
    } else {
        DoGradientFill(Canvas, fill, m_captionColorA, m_captionColorB, gdVert);
    }
    TRect text{Bar.Left + 4, Bar.Top, Bar.Right - 4, Bar.Bottom};
    if (m_showMenuButton) {
        TCustomImageList& pictures = KldAppPanelMenuImages();
        const int x = text.Right - MenuButtonWidth;
        pictures.Draw(Canvas, x, Bar.Top + (Bar.Height() - pictures.Height()) / 2, m_menuButtonHot ? 1 : 0);
        text.Right = x - 8;
    }
    Canvas.Font().Assign(m_captionFont);
    unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_EXPANDTABS;
    if (m_alignment == taCenter)
        flags |= DT_CENTER;
    else if (m_alignment == taRightJustify)
        flags |= DT_RIGHT;
    DrawText(Canvas, m_caption, text, flags);
}

// ---------------------------------------------------------------------------
// The menu button

int TKldAppPanel::NCHitTest(const TPoint& ClientPos)
{
    int hit = TCustomControl::NCHitTest(ClientPos);
    // The frame is no part of the window that the platform knows (the old
    // platform answered "nowhere"); only the menu button counts there.
    const bool over = hit != HTCLIENT && !Designing() && m_showMenuButton && PopupMenu() &&
                      ClientPos.X > Width() - m_margin.Right() - m_margin.Left() - MenuButtonReach;
    m_menuButtonHot = over;
    if (over)
        hit = HTCLIENT;
    return hit;
}

void TKldAppPanel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl::MouseUp(Button, Shift, X, Y);
    TPopupMenu* menu = PopupMenu();
    if (!m_menuButtonHot || !menu)
        return;
    const TPoint at = ClientToScreen({Width() - 8, 0});
    menu->SetAlignment(paRight);
    menu->Popup(at.X, at.Y);
}

void TKldAppPanel::MouseLeave()
{
    m_menuButtonHot = false;
    TCustomControl::MouseLeave();
}

void TKldAppPanel::DoExit()
{
    m_menuButtonHot = false;
    TCustomControl::DoExit();
}
