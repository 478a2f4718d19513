#include "ui/KldAppItemView.h"

#include "platform/Resources.h"

#include <QPainter>

#include <algorithm>

static void InitKldAppResources()
{
    Q_INIT_RESOURCE(KldAppResources);
}

// ---------------------------------------------------------------------------
// Shared colours and pictures

const TColor KldItemColors[17] = {0x5C5CCD, 0x808000, 0x00008B, 0x8515C7, 0x0045FF, 0x008080,
                                  0x00D7FF, 0x71B33C, 0x8B008B, 0x32CD32, 0x8B3D48, 0x6BB7BD,
                                  0x00A5FF, 0x7AA0FF, 0x87B8DE, 0xA09E5F, 0x3C14DC};

TColor KldItemColor(intptr_t key)
{
    return KldItemColors[((key % 17) + 17) % 17];
}

namespace {
TKldAppViewPictures LoadPictures()
{
    InitKldAppResources();
    TKldAppViewPictures p;
    p.SliderUp = LoadResourceImage("PNG_SLIDERUP", rtRCData);
    p.SliderDn = LoadResourceImage("PNG_SLIDERDN", rtRCData);
    p.SliderUpSel = LoadResourceImage("PNG_SLIDERUP_SEL", rtRCData);
    p.SliderDnSel = LoadResourceImage("PNG_SLIDERDN_SEL", rtRCData);
    p.Dn = LoadResourceImage("PNG_DN", rtRCData);
    p.Right = LoadResourceImage("PNG_RIGHT", rtRCData);
    p.Small = std::make_unique<TCustomImageList>(11, 10);
    for (const char* name : {"BMP_UP", "BMP_DN", "BMP_APPSUB"})
        p.Small->ResourceLoad(rtBitmap, name, clWhite);
    return p;
}
} // namespace

const TKldAppViewPictures& KldAppViewPictures()
{
    static const TKldAppViewPictures pictures = LoadPictures();
    return pictures;
}

int AutoSplitterHitTest(TAlign align, TPoint clientSize, TPoint pos)
{
    auto near = [](int distance) { return distance >= 0 && distance < 5; };
    switch (align) {
    case alTop:
        return near(clientSize.Y - pos.Y) ? HTBOTTOM : HTCLIENT;
    case alBottom:
        return near(pos.Y) ? HTTOP : HTCLIENT;
    case alLeft:
        return near(clientSize.X - pos.X) ? HTRIGHT : HTCLIENT;
    case alRight:
        return near(pos.X) ? HTLEFT : HTCLIENT;
    default:
        return HTCLIENT;
    }
}

// ---------------------------------------------------------------------------
// TKldAppItemView

TKldAppItemView::TKldAppItemView(QWidget* parent)
    : TCustomControl(parent), m_items(std::make_unique<TKldAppItems>(this, nullptr)), m_canvas(10, 10)
{
    SetTabStop(true);
}

TKldAppItemView::~TKldAppItemView()
{
    m_visible.clear();
    // The items go before the rest of the view, and without telling it.
    m_items.reset();
}

void TKldAppItemView::SetItemWidth(int value)
{
    if (value == m_itemWidth)
        return;
    m_itemWidth = value;
    ItemsChanged(true);
}

void TKldAppItemView::SetItemHeight(int value)
{
    if (value == m_itemHeight)
        return;
    m_itemHeight = value;
    ItemsChanged(true);
}

void TKldAppItemView::SetBorder(TSides value)
{
    if (value == m_border)
        return;
    m_border = value;
    Invalidate();
}

void TKldAppItemView::SetBorderColor(TColor value)
{
    if (value == m_borderColor)
        return;
    m_borderColor = value;
    Invalidate();
}

void TKldAppItemView::SetColoredItems(bool value)
{
    if (value == m_coloredItems)
        return;
    m_coloredItems = value;
    Invalidate();
}

TKldAppItem* TKldAppItemView::GetSelItem() const
{
    return GetVisItem(m_selIdx);
}

void TKldAppItemView::SetSelItem(TKldAppItem* item)
{
    SetSelIdx(item ? GetItemIdx(item) : -1);
}

TKldAppItem* TKldAppItemView::GetCurItem() const
{
    return GetVisItem(m_curIdx);
}

void TKldAppItemView::ItemsChanged(bool relayout)
{
    if (relayout)
        AdjustContent();
    Invalidate();
}

void TKldAppItemView::ItemRemoved(TKldAppItem* item)
{
    // The selection is an index into the list being dropped: keep the item
    // it names, so that the next layout finds it at its new place.
    if (!m_listDropped) {
        m_selBeforeDrop = GetSelItem();
        m_listDropped = true;
    }
    m_visible.clear();
}

TKldAppItem* TKldAppItemView::SelItemBeforeLayout()
{
    TKldAppItem* item = m_listDropped ? m_selBeforeDrop.Get() : GetSelItem();
    m_listDropped = false;
    m_selBeforeDrop = nullptr;
    return item;
}

void TKldAppItemView::SetColor(int index, TColor color)
{
    TColor* target = nullptr;
    switch (index) {
    case kcSelectedColorA:
        target = &m_selectedColorA;
        break;
    case kcSelectedColorB:
        target = &m_selectedColorB;
        break;
    case kcSelectedFontColor:
        target = &m_selectedFontColor;
        break;
    case kcHighlightColorA:
        target = &m_highlightColorA;
        break;
    case kcHighlightColorB:
        target = &m_highlightColorB;
        break;
    case kcHighlightFontColor:
        target = &m_highlightFontColor;
        break;
    case kcSelectedPenColor:
        target = &m_selectedPenColor;
        break;
    case kcHighlightPenColor:
        target = &m_highlightPenColor;
        break;
    case kcItemColorA:
        target = &m_itemColorA;
        break;
    case kcItemColorB:
        target = &m_itemColorB;
        break;
    case kcItemPenColor:
        target = &m_itemPenColor;
        break;
    default:
        Invalidate();
        return;
    }
    if (*target == color)
        return;
    *target = color;
    Invalidate();
}

int TKldAppItemView::GetVisCount() const
{
    return m_items->Count();
}

TKldAppItem* TKldAppItemView::GetVisItem(int index) const
{
    return m_items->FindItem(index);
}

TRect TKldAppItemView::GetItemRect(TKldAppItem* item) const
{
    const int index = GetItemIdx(item);
    if (!item || index < 0)
        return {};
    const TRect work = GetWorkRect();
    // A zero item width, or a view narrower than one cell, still gives one column.
    const int columns = m_itemWidth > 0 ? std::max(1, work.Width() / m_itemWidth) : 1;
    return Bounds(work.Left + (index % columns) * m_itemWidth, work.Top + (index / columns) * m_itemHeight,
                  m_itemWidth, m_itemHeight);
}

// Selecting: a negative index clears the selection unless nothing is
// selected, in which case (as any other index) it is clamped to the list and
// moved back over placeholders; so asking for -1 twice selects the first
// entry.
void TKldAppItemView::SetSelIdx(int n)
{
    if (n < 0 && n != m_selIdx) {
        m_selIdx = n;
        Invalidate();
        return;
    }
    const int count = GetVisCount();
    if (count == 0)
        return;
    n = std::min(std::max(n, 0), count - 1);
    while (n > 0 && GetVisItem(n) == nullptr)
        --n;
    if (n == m_selIdx)
        return;
    m_selIdx = n;
    Invalidate();
}

bool TKldAppItemView::SetCurIdx(int n, bool clamp)
{
    if (clamp)
        n = std::min(std::max(n, 0), GetVisCount() - 1);
    if (n == m_curIdx)
        return false;
    m_curIdx = n;
    Invalidate();
    return true;
}

void TKldAppItemView::SetCurItem(TKldAppItem* item)
{
    if (item)
        SetCurIdx(GetItemIdx(item), true);
}

int TKldAppItemView::GetItemIdx(TKldAppItem* item) const
{
    return item ? item->Index() : -1;
}

int TKldAppItemView::PosToItem(const TPoint& p) const
{
    const int count = GetVisCount();
    for (int i = 0; i < count; ++i) {
        TKldAppItem* item = GetVisItem(i);
        if (item && PtInRect(GetItemRect(item), p))
            return i;
    }
    return -1;
}

void TKldAppItemView::PaintItem(TKldAppItem* item) {}

TRect TKldAppItemView::GetWorkRect() const
{
    TRect r = ClientRect();
    ShrinkRect(r, BorderAsRect(m_border));
    return r;
}

void TKldAppItemView::AdjustContent() {}

void TKldAppItemView::PaintBorders()
{
    if (m_border.Empty())
        return;
    TCanvas& c = m_canvas;
    c.Pen().Color = m_borderColor;
    c.Pen().Mode = pmCopy;
    c.Pen().Style = psSolid;
    c.Pen().Width = 1;
    const int w = ClientWidth();
    const int h = ClientHeight();
    auto line = [&](int x0, int y0, int x1, int y1) {
        c.MoveTo(x0, y0);
        c.LineTo(x1, y1);
    };
    if (m_border.Contains(sTop))
        line(0, 0, w, 0);
    if (m_border.Contains(sRight))
        line(w - 1, 0, w - 1, h);
    if (m_border.Contains(sBottom))
        line(0, h - 1, w, h - 1);
    if (m_border.Contains(sLeft))
        line(0, 0, 0, h);
}

TKldCanvas& TKldAppItemView::BeginPaint()
{
    const TRect r = PaintRect();
    // The canvas grows to the largest part ever exposed, not to the whole
    // client area: a grid that sizes itself to thousands of tiles inside a
    // scrolling host paints only what shows.
    const QPoint size = m_canvas.Size();
    if (r.Width() > size.x() || r.Height() > size.y())
        m_canvas.SetSize(QPoint(std::max(r.Width(), size.x()), std::max(r.Height(), size.y())));
    if (QPainter* p = m_canvas.Handle()) {
        p->resetTransform();
        p->setClipping(false);
        p->translate(-r.Left, -r.Top);
    }
    m_canvas.Font().Assign(Font());
    return m_canvas;
}

void TKldAppItemView::EndPaint()
{
    const TRect r = PaintRect();
    QPainter* screen = Canvas().Handle();
    if (!screen || m_canvas.Bitmap().isNull())
        return;
    screen->drawImage(QPoint(r.Left, r.Top), m_canvas.Bitmap(), QRect(0, 0, r.Width(), r.Height()));
}

void TKldAppItemView::Paint()
{
    TKldCanvas& c = BeginPaint();
    c.Brush().Style = bsSolid;
    c.Brush().Color = Color();
    c.FillRect(ClientRect());
    PaintBorders();
    EndPaint();
}

int TKldAppItemView::NCHitTest(const TPoint& clientPos)
{
    m_lastMouse = clientPos;
    if (m_autoSplitter && !Designing()) {
        const int hit = AutoSplitterHitTest(Align(), {ClientWidth(), ClientHeight()}, clientPos);
        if (hit != HTCLIENT)
            return hit;
    }
    return TCustomControl::NCHitTest(clientPos);
}

TCursor TKldAppItemView::HitTestCursor(int hit) const
{
    if (hit == HTLEFT || hit == HTRIGHT)
        return crHSplit;
    if (hit == HTTOP || hit == HTBOTTOM)
        return crVSplit;
    return TCustomControl::HitTestCursor(hit);
}

void TKldAppItemView::MouseEnter()
{
    TCustomControl::MouseEnter();
    Invalidate();
}

void TKldAppItemView::MouseLeave()
{
    TCustomControl::MouseLeave();
    Invalidate();
}

void TKldAppItemView::DoEnter()
{
    TCustomControl::DoEnter();
    Invalidate();
}

void TKldAppItemView::DoExit()
{
    TCustomControl::DoExit();
    Invalidate();
}

void TKldAppItemView::Resize()
{
    // The layout depends on the work size (columns, scroll range).
    AdjustContent();
    TCustomControl::Resize();
    Invalidate();
}
