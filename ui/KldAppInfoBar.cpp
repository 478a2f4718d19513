#include "ui/KldAppInfoBar.h"

#include "platform/DrawText.h"
#include "platform/SysUtils.h"

#include <QPainter>

#include <algorithm>

// ---------------------------------------------------------------------------
// TKldAppInfoItem

TKldAppInfoBar* TKldAppInfoItem::Bar() const
{
    const auto* items = dynamic_cast<const TKldAppInfoItems*>(Collection());
    return items ? items->Bar() : nullptr;
}

std::string TKldAppInfoItem::GetDisplayName() const
{
    if (!m_caption.empty())
        return m_caption;
    return Format("%s - %d", ClassName(), Index());
}

void TKldAppInfoItem::Changed(bool Relayout)
{
    if (TKldAppInfoBar* bar = Bar(); bar && Collection()->UpdateCount() == 0)
        bar->ItemChanged(Relayout);
}

void TKldAppInfoItem::Assign(const TPersistent& Source)
{
    const auto* item = dynamic_cast<const TKldAppInfoItem*>(&Source);
    if (!item) {
        TCollectionItem::Assign(Source);
        return;
    }
    m_name = item->m_name;
    m_autoWidth = item->m_autoWidth;
    m_caption = item->m_caption;
    m_width = item->m_width;
    m_transparent = item->m_transparent;
    m_borderColor = item->m_borderColor;
    m_border = item->m_border;
    m_colorA = item->m_colorA;
    m_colorB = item->m_colorB;
    m_gradientDir = item->m_gradientDir;
    m_imageIndex = item->m_imageIndex;
    m_imagePosition = item->m_imagePosition;
    m_alignment = item->m_alignment;
    m_tag = item->m_tag;
    m_fontColor = item->m_fontColor;
    m_fontStyle = item->m_fontStyle;
    Changed(true);
}

void TKldAppInfoItem::SetName(const std::string& Name)
{
    if (SameText(Name, m_name))
        return;
    if (const auto* items = dynamic_cast<const TKldAppInfoItems*>(Collection())) {
        const TKldAppInfoItem* other = items->FindByName(Name);
        if (other && other != this)
            throw Exception(Format("Duplicate item name %s", Name));
    }
    m_name = Name;
}

void TKldAppInfoItem::SetCaption(const std::string& Value)
{
    if (Value == m_caption)
        return;
    m_caption = Value;
    SizeChanged();
}

void TKldAppInfoItem::SetAutoWidth(bool Value)
{
    if (Value == m_autoWidth)
        return;
    m_autoWidth = Value;
    Changed(Value);
}

void TKldAppInfoItem::SetWidth(int Value)
{
    if (m_autoWidth || Value == m_width)
        return;
    m_width = Value;
    Changed(true);
}

void TKldAppInfoItem::SetAlignment(TAlignment Value)
{
    if (Value == m_alignment)
        return;
    m_alignment = Value;
    Changed(false);
}

void TKldAppInfoItem::SetColorA(TColor Value)
{
    if (Value == m_colorA)
        return;
    m_colorA = Value;
    Changed(false);
}

void TKldAppInfoItem::SetColorB(TColor Value)
{
    if (Value == m_colorB)
        return;
    m_colorB = Value;
    Changed(false);
}

void TKldAppInfoItem::SetTransparent(bool Value)
{
    if (Value == m_transparent)
        return;
    m_transparent = Value;
    Changed(false);
}

void TKldAppInfoItem::SetBorderColor(TColor Value)
{
    if (Value == m_borderColor)
        return;
    m_borderColor = Value;
    Changed(false);
}

void TKldAppInfoItem::SetBorder(TSides Value)
{
    if (Value == m_border)
        return;
    m_border = Value;
    Changed(false);
}

void TKldAppInfoItem::SetImageIndex(int Value)
{
    if (Value == m_imageIndex)
        return;
    m_imageIndex = Value;
    SizeChanged();
}

void TKldAppInfoItem::SetImagePosition(TKldImagePosition Value)
{
    if (Value == m_imagePosition)
        return;
    m_imagePosition = Value;
    Changed(false);
}

void TKldAppInfoItem::SetFontStyle(TFontStyles Value)
{
    if (Value == m_fontStyle)
        return;
    m_fontStyle = Value;
    SizeChanged();
}

void TKldAppInfoItem::SetFontColor(TColor Value)
{
    if (Value == m_fontColor)
        return;
    m_fontColor = Value;
    Changed(false);
}

// ---------------------------------------------------------------------------
// TKldAppInfoItems

TKldAppInfoItems::TKldAppInfoItems(TKldAppInfoBar* Bar)
    : TCollection(CollectionItemClass<TKldAppInfoItem>()), m_bar(Bar)
{
}

TKldAppInfoItem* TKldAppInfoItems::Add()
{
    return static_cast<TKldAppInfoItem*>(TCollection::Add());
}

TKldAppInfoItem* TKldAppInfoItems::Items(int Index) const
{
    return static_cast<TKldAppInfoItem*>(TCollection::Items(Index));
}

TKldAppInfoItem* TKldAppInfoItems::FindByName(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(Items(i)->Name(), Name))
            return Items(i);
    return nullptr;
}

void TKldAppInfoItems::Update(TCollectionItem* Item)
{
    if (m_bar)
        m_bar->ItemChanged(true);
}

// ---------------------------------------------------------------------------
// TKldAppInfoBar

TKldAppInfoBar::TKldAppInfoBar(QWidget* parent)
    : TCustomControl(parent), m_items(std::make_unique<TKldAppInfoItems>(this)), m_canvas(10, 10)
{
}

TKldAppInfoBar::~TKldAppInfoBar()
{
    m_items.reset();
}

void TKldAppInfoBar::SetItems(const TKldAppInfoItems& Value)
{
    m_items->Assign(Value);
}

void TKldAppInfoBar::Assign(const TKldAppInfoBar& Source)
{
    if (&Source == this)
        return;
    m_colorA = Source.m_colorA;
    m_colorB = Source.m_colorB;
    SetItems(Source.Items());
    Invalidate();
}

template <class T> void TKldAppInfoBar::Store(T& field, const T& value, bool relayout)
{
    if (field == value)
        return;
    field = value;
    ItemChanged(relayout);
}

void TKldAppInfoBar::SetColor(int Index, TColor Color)
{
    if (Index == 0)
        Store(m_colorA, Color, false);
    else if (Index == 1)
        Store(m_colorB, Color, false);
}

void TKldAppInfoBar::SetImages(TCustomImageList* Value)
{
    if (Value == m_images.Get())
        return;
    m_images = Value;
    Invalidate();
}

void TKldAppInfoBar::SetSpacing(int S)
{
    if (S == m_spacing)
        return;
    m_spacing = std::max(S, m_spacer);
    Relayout();
}

void TKldAppInfoBar::SetMargin(int Value)
{
    Store(m_margin, Value, true);
}

void TKldAppInfoBar::SetPadding(int Value)
{
    Store(m_padding, Value, true);
}

void TKldAppInfoBar::SetSpacer(int S)
{
    if (S == m_spacer)
        return;
    m_spacer = S;
    if (m_spacing < m_spacer) {
        m_spacing = m_spacer;
        Relayout();
    } else {
        Invalidate();
    }
}

void TKldAppInfoBar::SetSpacerMargin(int Value)
{
    Store(m_spacerMargin, Value, false);
}

void TKldAppInfoBar::SetSpacerColor(int Index, TColor Color)
{
    if (Index == 0)
        Store(m_spacerColorA, Color, false);
    else if (Index == 1)
        Store(m_spacerColorB, Color, false);
}

void TKldAppInfoBar::SetBorderColor(TColor Value)
{
    Store(m_borderColor, Value, true);
}

void TKldAppInfoBar::SetBorder(TSides Value)
{
    Store(m_border, Value, true);
}

void TKldAppInfoBar::UpdateLayout()
{
    Relayout();
}

void TKldAppInfoBar::ItemChanged(bool relayout)
{
    if (relayout)
        Relayout();
    else
        Invalidate();
}

int TKldAppInfoBar::CalcAutoWidth(const TKldAppInfoItem& Item)
{
    TCanvas measure;
    measure.Font().Assign(Font());
    measure.Font().SetStyle(Item.FontStyle());
    int width = CalcTextWidth(measure, Item.Caption(), DT_SINGLELINE | DT_VCENTER);
    TCustomImageList* images = Images();
    if (images && images->ValidIndex(Item.ImageIndex()))
        width += images->Width() + 4;
    return width + 2 * m_padding + 4;
}

void TKldAppInfoBar::Relayout()
{
    if (m_items->UpdateCount() > 0 || !parentWidget())
        return;
    int x = 0;
    for (int i = 0; i < m_items->Count(); ++i) {
        TKldAppInfoItem* item = m_items->Items(i);
        item->m_left = x;
        if (item->AutoWidth())
            item->m_width = CalcAutoWidth(*item);
        x += item->Width() + m_spacing;
    }
    Invalidate();
}

void TKldAppInfoBar::FontChanged()
{
    Relayout();
}

void TKldAppInfoBar::Resize()
{
    TCustomControl::Resize();
    Invalidate();
}

TRect TKldAppInfoBar::CellRect(const TKldAppInfoItem& Item) const
{
    return {Item.Left() + m_margin, m_margin, Item.Left() + Item.Width() + m_margin,
            ClientHeight() - m_margin};
}

// ---------------------------------------------------------------------------
// Painting

void TKldAppInfoBar::FillTwoColours(const TRect& R, TColor A, TColor B, TKldGradientDir Dir)
{
    if (A == B) {
        m_canvas.Brush().Style = bsSolid;
        m_canvas.Brush().Color = A;
        m_canvas.FillRect(R);
    } else {
        DoGradientFill(m_canvas, R, A, B, Dir);
    }
}

void TKldAppInfoBar::Paint()
{
    const QPoint size(ClientWidth(), ClientHeight());
    if (size.x() <= 0 || size.y() <= 0)
        return;
    if (m_canvas.Size() != size)
        m_canvas.SetSize(size);
    if (QPainter* p = m_canvas.Handle()) {
        p->resetTransform();
        p->setClipping(false);
    }
    const TRect client = ClientRect();
    FillTwoColours(client, m_colorA, m_colorB, gdVert);
    if (!m_border.Empty())
        DrawBorder(m_canvas, client, m_border, m_borderColor);
    for (int i = 0; i < m_items->Count(); ++i)
        PaintItem(*m_items->Items(i), i == 0);
    if (QPainter* screen = Canvas().Handle(); screen && !m_canvas.Bitmap().isNull())
        screen->drawImage(QPoint(0, 0), m_canvas.Bitmap());
}

void TKldAppInfoBar::PaintItem(TKldAppInfoItem& Item, bool First)
{
    TKldCanvas& c = m_canvas;
    TRect r = CellRect(Item);
    const TRect cell = r;
    if (!Item.Border().Empty())
        DrawBorder(c, r, Item.Border(), Item.BorderColor());
    if (!Item.Transparent()) {
        TRect inside = r;
        ShrinkRect(inside, BorderAsRect(Item.Border()));
        FillTwoColours(inside, Item.ColorA(), Item.ColorB(), Item.GradientDir());
    }
    r.Left += m_padding;
    r.Right -= m_padding;
    c.Font().Assign(Font());
    c.Font().SetStyle(Item.FontStyle());
    if (!Item.Transparent())
        c.Font().SetColor(Item.FontColor());

    TRect text{r.Left + 4, r.Top, r.Right, r.Bottom};
    TCustomImageList* images = Images();
    if (images && images->ValidIndex(Item.ImageIndex())) {
        const int y = r.Top + (r.Height() - images->Height()) / 2;
        if (Item.ImagePosition() == ipLeft) {
            images->Draw(c, r.Left, y, Item.ImageIndex());
            text = {r.Left + images->Width() + 4, r.Top, r.Right, r.Bottom};
        } else {
            images->Draw(c, r.Right - images->Width(), y, Item.ImageIndex());
            text = {r.Left, r.Top, r.Right - images->Width() - 4, r.Bottom};
        }
    }
    unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    if (Item.Alignment() == taCenter)
        flags |= DT_CENTER;
    else if (Item.Alignment() == taRightJustify)
        flags |= DT_RIGHT;
    DrawText(c, Item.Caption(), text, flags);

    if (!First && m_spacer > 0) {
        const int gapLeft = cell.Left - m_spacing;
        const int left = gapLeft + (m_spacing - m_spacer) / 2;
        const TRect bar{left, cell.Top + 2 * m_spacerMargin, left + m_spacer,
                        cell.Bottom - 2 * m_spacerMargin};
        if (!IsRectEmpty(bar))
            FillTwoColours(bar, m_spacerColorA, m_spacerColorB, gdVert);
    }
}
