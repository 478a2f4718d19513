#include "ui/KldTabControl.h"

#include "platform/DrawText.h"
#include "platform/Resources.h"

#include <QPainter>

#include <algorithm>
#include <memory>

static void InitKldAppResources()
{
    Q_INIT_RESOURCE(KldAppResources);
}

// ---------------------------------------------------------------------------
// Geometry

TRect KldTabBodyRect(TTabPosition Position, const TRect& P, TPoint Size, int BodyOffset)
{
    switch (Position) {
    case tpTop:
        return {0, P.Top + BodyOffset - 2, Size.X, Size.Y};
    case tpBottom:
        return {0, 0, Size.X, P.Bottom - BodyOffset};
    case tpLeft:
        return {P.Left + BodyOffset, 0, Size.X, Size.Y};
    case tpRight:
        return {0, 0, P.Right - BodyOffset, Size.Y};
    }
    return P;
}

std::vector<TPoint> KldTabShape(TKldTabStyle Style, TTabPosition Position, const TRect& R)
{
    const int l = R.Left;
    const int t = R.Top;
    const int r = R.Right;
    const int b = R.Bottom;
    const int h = b - t;
    if (Style == ctsVS2005TopTabs && Position == tpTop)
        return {{l - 1, b - 1}, {l + h - 4, t + 2}, {l + h + 1, t}, {r - 2, t}, {r, t + 2}, {r, b}};
    if (Style == ctsVS2005TopTabs && Position == tpBottom)
        return {{l, t}, {l + h - 2, b - 2}, {l + h + 2, b}, {r - 2, b}, {r, b - 2}, {r, t}};
    switch (Position) {
    case tpTop:
        return {{l, b - 1}, {l, t + 2}, {l + 2, t}, {r - 2, t}, {r, t + 2}, {r, b}};
    case tpBottom:
        return {{l, t}, {l, b - 2}, {l + 2, b}, {r - 2, b}, {r, b - 2}, {r, t}};
    case tpLeft:
        return {{r - 1, t}, {l + 2, t}, {l, t + 2}, {l, b - 2}, {l + 2, b}, {r, b}};
    case tpRight:
        return {{l, t}, {r - 2, t}, {r, t + 2}, {r, b - 2}, {r - 2, b}, {l, b}};
    }
    return {};
}

std::optional<TPoint> KldTabPadding(TKldTabStyle Style, TTabPosition Position, int TabWidth, bool HasImages,
                                    bool ShowCloseIcon)
{
    if (Style != ctsVS2005TopTabs || (Position != tpTop && Position != tpBottom) || TabWidth != 0)
        return std::nullopt;
    // Half the close icon's width and 2 more for the icon.
    return TPoint{(HasImages ? 8 : 13) + (ShowCloseIcon ? 8 : 0), 0};
}

std::optional<int> KldFitTabWidth(const std::vector<int>& TextWidths, int Width, int PerTab,
                                  bool ShowCloseIcon)
{
    // Without tabs there is nothing to fit (the width rule would divide by
    // zero).
    if (TextWidths.empty())
        return std::nullopt;
    int64_t needed = 8;
    for (int w : TextWidths)
        needed += w + PerTab + (ShowCloseIcon ? 8 : 0);
    if (Width >= needed)
        return 0;
    return std::max(0, (Width - 4) / static_cast<int>(TextWidths.size()));
}

TCustomImageList& KldCloseTabImages()
{
    static const std::unique_ptr<TCustomImageList> images = [] {
        InitKldAppResources();
        auto list = std::make_unique<TCustomImageList>(12, 12);
        list->ResourceLoad(rtBitmap, "BMP_CLOSE_TAB", clFuchsia);
        list->ResourceLoad(rtBitmap, "BMP_CLOSE_TABA", clFuchsia);
        return list;
    }();
    return *images;
}

// ---------------------------------------------------------------------------
// The tab routine

void KldPaintTab(TCanvas& Canvas, const TRect& R, const TKldTabLook& Look)
{
    if (Look.Selected) {
        const std::vector<TPoint> shape = KldTabShape(Look.Style, Look.Position, R);
        Canvas.Brush().Style = bsSolid;
        Canvas.Brush().Color = Look.TabColor;
        Canvas.Pen().Style = psClear;
        Canvas.Polygon(shape);
        Canvas.Pen().Style = psSolid;
        Canvas.Pen().Width = 1;
        Canvas.Pen().Color = Look.BorderColor;
        Canvas.Polyline(shape);
    }
    Canvas.Brush().Style = bsClear;
    if (Look.Font)
        Canvas.Font().Assign(*Look.Font);
    TRect c = InflateRect(R, -4, -4);
    if (Look.Style == ctsVS2005TopTabs && (Look.Position == tpTop || Look.Position == tpBottom)) {
        c.Left += c.Height() - 2;
        if (Look.Position == tpTop)
            c = OffsetRect(c, 0, 1);
    }
    if (Look.Images && Look.ImageIndex >= 0) {
        Look.Images->Draw(Canvas, c.Left, c.Top + (c.Height() - Look.Images->Height()) / 2, Look.ImageIndex);
        c.Left += Look.Images->Width() + 2;
    }
    if (Look.Selected && Look.CloseIndex >= 0) {
        TCustomImageList& close = KldCloseTabImages();
        close.Draw(Canvas, c.Right - 12, c.Top + (c.Height() - close.Height()) / 2, 0);
        c.Right -= 12;
    }
    TRect text = c;
    DrawText(Canvas, Look.Text, text, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    if (Look.Selected && Look.Focused) {
        TRect measured{0, 0, 0, 0};
        DrawText(Canvas, Look.Text, measured, DT_CALCRECT | DT_SINGLELINE);
        const int top = c.Top + (c.Height() - measured.Height()) / 2;
        Canvas.DrawFocusRect(
            InflateRect({c.Left, top, c.Left + measured.Width() + 1, top + measured.Height()}, 1, 1));
    }
    Canvas.Brush().Style = bsSolid;
}

// ---------------------------------------------------------------------------
// TKldStyledTabs

template <class TBase> TKldStyledTabs<TBase>::TKldStyledTabs(QWidget* parent) : TBase(parent)
{
    m_selectedFont.Assign(this->Font());
    // The selected tab's font takes part in the tab heights.
    m_selectedFont.OnChange = [this](TObject*) { this->TabsChanged(); };
    UpdatePadding();
}

template <class TBase> TKldStyledTabs<TBase>::~TKldStyledTabs()
{
    m_selectedFont.OnChange = nullptr;
}

template <class TBase> void TKldStyledTabs<TBase>::SetBgColor(TColor Value)
{
    if (Value == m_bgColor)
        return;
    m_bgColor = Value;
    this->Invalidate();
}

template <class TBase> void TKldStyledTabs<TBase>::SetBorderColor(TColor Value)
{
    if (Value == m_borderColor)
        return;
    m_borderColor = Value;
    this->Invalidate();
}

template <class TBase> void TKldStyledTabs<TBase>::SetBodyOffset(int Value)
{
    if (Value == m_bodyOffset)
        return;
    m_bodyOffset = Value;
    this->RecreateWnd();
}

template <class TBase> void TKldStyledTabs<TBase>::SetTabStyle(TKldTabStyle Value)
{
    if (Value == m_tabStyle)
        return;
    m_tabStyle = Value;
    this->RecreateWnd();
}

template <class TBase> void TKldStyledTabs<TBase>::SetShowCloseIcon(bool Value)
{
    if (Value == m_showCloseIcon)
        return;
    m_showCloseIcon = Value;
    UpdatePadding();
    this->TabsChanged();
}

template <class TBase> void TKldStyledTabs<TBase>::SetImages(TCustomImageList* Value)
{
    TBase::SetImages(Value);
    UpdatePadding();
}

template <class TBase> void TKldStyledTabs<TBase>::CreateWnd()
{
    TBase::CreateWnd();
    UpdatePadding();
}

template <class TBase> void TKldStyledTabs<TBase>::UpdatePadding()
{
    if (const auto padding = KldTabPadding(m_tabStyle, this->TabPosition(), this->TabWidth(),
                                           this->Images() != nullptr, m_showCloseIcon))
        this->SetTabPadding(*padding);
}

template <class TBase> TRect TKldStyledTabs<TBase>::AdjustDisplayRect(const TRect& Rect) const
{
    if (m_tabStyle == ctsDefault)
        return TBase::AdjustDisplayRect(Rect);
    m_body = KldTabBodyRect(this->TabPosition(), TBase::AdjustDisplayRect(Rect),
                            {this->ClientWidth(), this->ClientHeight()}, m_bodyOffset);
    return m_body;
}

template <class TBase> void TKldStyledTabs<TBase>::AdjustTabLayout(TTabLayoutInput& Input) const
{
    if (m_tabStyle == ctsDefault)
        return;
    // The tab routine draws in the tab, extended by 2 toward the body and
    // shrunk by 4 on every side: that rectangle must hold a line of either
    // font, the picture and the close icon, or their bottoms are cut off.
    TCanvas measure;
    measure.Font().Assign(m_selectedFont);
    int content = std::max(Input.LineHeight, measure.TextHeight("Wg"));
    if (this->Images())
        content = std::max(content, this->Images()->Height());
    if (m_showCloseIcon)
        content = std::max(content, KldCloseTabImages().Height());
    if (Input.Position == tpTop || Input.Position == tpBottom)
        Input.MinRowSize = std::max(Input.MinRowSize, content + 2 * 4 - 2);
    else
        Input.MinTabLength = std::max(Input.MinTabLength, content + 2 * 4);
}

template <class TBase> void TKldStyledTabs<TBase>::WndProc(TMessage& Message)
{
    switch (Message.Msg) {
    case CM_FITALLTABS:
        CMFFitAllTabs();
        Message.Result = 0;
        return;
    case WM_ERASEBKGND:
        if (m_tabStyle != ctsDefault && this->TabCount() > 0) {
            Message.Result = 1; // the whole control is painted: nothing to erase
            return;
        }
        break;
    default:
        break;
    }
    TBase::WndProc(Message);
}

template <class TBase> void TKldStyledTabs<TBase>::CMFFitAllTabs()
{
    DoFit();
}

template <class TBase> void TKldStyledTabs<TBase>::FitTabs(int PerTab)
{
    if (this->TabPosition() != tpTop && this->TabPosition() != tpBottom)
        return;
    TCanvas measure;
    measure.Font().Assign(this->Font());
    std::vector<int> widths;
    for (int i = 0; i < this->TabCount(); ++i)
        widths.push_back(measure.TextWidth(this->TabText(i)));
    TCustomImageList* images = this->Images();
    const int imageWidth = images ? images->Width() : 0;
    const int perTab = m_tabStyle == ctsVS2005TopTabs && !images ? 26 : imageWidth + PerTab;
    if (const auto width = KldFitTabWidth(widths, this->Width(), perTab, m_showCloseIcon))
        this->SetTabWidth(*width);
}

template <class TBase> void TKldStyledTabs<TBase>::Resize()
{
    TBase::Resize();
    if (this->SizeType() == SIZE_RESTORED && m_fit)
        PostMessage(this->Handle(), CM_FITALLTABS, 0, 0);
}

template <class TBase> bool TKldStyledTabs<TBase>::MouseInCloseBtn(int X, int Y) const
{
    const TRect r = this->TabRect(this->TabIndex());
    if (IsRectEmpty(r))
        return false;
    return X >= r.Right - 16 && X < r.Right - 4 && Y >= r.Top && Y < r.Bottom;
}

template <class TBase> void TKldStyledTabs<TBase>::Paint()
{
    if (m_tabStyle == ctsDefault)
        TBase::Paint();
    else
        PaintTabSetVS2005();
}

template <class TBase> void TKldStyledTabs<TBase>::PaintTabSetVS2005()
{
    TCanvas& c = this->Canvas();
    QPainter* p = c.Handle();
    if (!p)
        return;
    p->save();
    c.Font().Assign(this->Font());
    this->DisplayRect(); // brings the body rectangle up to date
    const TRect b = m_body;
    const int offset = m_bodyOffset;
    const int w = this->ClientWidth();
    const int h = this->ClientHeight();
    TRect body = b;
    TRect strip;
    TRect border;
    switch (this->TabPosition()) {
    case tpTop:
        body.Top = b.Top - offset + 2;
        strip = {b.Left, 0, b.Right, body.Top};
        border = {strip.Left, strip.Bottom - 1, strip.Right, strip.Bottom};
        break;
    case tpBottom:
        body.Bottom = b.Bottom + offset;
        strip = {b.Left, body.Bottom, b.Right, h};
        border = {strip.Left, strip.Top, strip.Right, strip.Top + 1};
        break;
    case tpLeft:
        body.Left = b.Left - offset;
        strip = {0, b.Top, body.Left, b.Bottom};
        border = {strip.Right - 1, strip.Top, strip.Right, strip.Bottom};
        break;
    case tpRight:
        body.Right = b.Right + offset;
        strip = {body.Right, b.Top, w, b.Bottom};
        border = {strip.Left, strip.Top, strip.Left + 1, strip.Bottom};
        break;
    }
    c.Brush().Style = bsSolid;
    c.Brush().Color = TabFillColor();
    c.FillRect(body);
    c.Brush().Color = m_bgColor;
    c.FillRect(strip);
    c.Brush().Color = m_borderColor;
    c.FillRect(border);

    const int selected = this->TabIndex();
    const bool focused = this->hasFocus() && this->TabStop();
    for (int i = 0; i < this->TabCount(); ++i) {
        TRect r = this->TabRect(i);
        switch (this->TabPosition()) {
        case tpTop:
            r.Bottom += 2;
            break;
        case tpBottom:
            r.Top -= 2;
            break;
        case tpLeft:
            r.Right += 2;
            break;
        case tpRight:
            r.Left -= 2;
            break;
        }
        TKldTabLook look;
        look.Position = this->TabPosition();
        look.CloseIndex = m_showCloseIcon && TabHasCloseIcon(i) ? 0 : -1;
        look.Style = m_tabStyle;
        look.ImageIndex = this->TabImageIndex(i);
        look.Images = this->Images();
        look.BorderColor = m_borderColor;
        look.TabColor = TabFillColor();
        look.Focused = focused;
        look.Selected = i == selected;
        look.Font = i == selected ? &m_selectedFont : &this->Font();
        look.Text = this->TabText(i);
        KldPaintTab(c, r, look);
    }
    p->restore();
}

template class TKldStyledTabs<TTabControl>;
template class TKldStyledTabs<TPageControl>;

// ---------------------------------------------------------------------------
// TKldTabControl

TKldTabControl::TKldTabControl(QWidget* parent) : TKldStyledTabs<TTabControl>(parent) {}

void TKldTabControl::SetTabColor(TColor Value)
{
    if (Value == m_tabColor)
        return;
    m_tabColor = Value;
    Invalidate();
}

void TKldTabControl::Loaded()
{
    RecreateWnd();
}

void TKldTabControl::UpdateTabIndex(int Index)
{
    if (!CanChange())
        return;
    SetTabIndex(Index);
    Change();
}

void TKldTabControl::DoFitAllTabs()
{
    FitTabs(16);
}

bool TKldTabControl::TabHasCloseIcon(int I) const
{
    return I >= 0 && I < Tabs().Count() && Tabs().Objects(I) != nullptr;
}

void TKldTabControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    const bool shiftKeys = Shift.Contains(ssShift) || Shift.Contains(ssCtrl) || Shift.Contains(ssAlt);
    if (ShowCloseIcon() && Button == mbLeft && !shiftKeys && OnCloseTab && MouseInCloseBtn(X, Y)) {
        OnCloseTab(this);
        return;
    }
    TKldStyledTabs<TTabControl>::MouseUp(Button, Shift, X, Y);
}

// ---------------------------------------------------------------------------
// TKldPageControl

TKldPageControl::TKldPageControl(QWidget* parent) : TKldStyledTabs<TPageControl>(parent)
{
    SetColor(0xFFFFFF);
}

void TKldPageControl::DoFitAllPages()
{
    FitTabs(TabHeight());
}

bool TKldPageControl::TabHasCloseIcon(int I) const
{
    const TTabSheet* page = TabPage(I);
    return page && page->Tag() != 0;
}

void TKldPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (ShowCloseIcon() && Button == mbLeft && OnCloseTab && MouseInCloseBtn(X, Y)) {
        OnCloseTab(this);
        return;
    }
    // A double click counts as a single one.
    Shift.Exclude(ssDouble);
    TKldStyledTabs<TPageControl>::MouseDown(Button, Shift, X, Y);
}
