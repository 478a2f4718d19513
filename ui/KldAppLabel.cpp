#include "ui/KldAppLabel.h"

#include "platform/DrawText.h"

TKldAppLabel::TKldAppLabel(QWidget* parent) : TCustomControl(parent)
{
    m_margin.OnChange = [this](TObject*, bool) { Invalidate(); };
    m_padding.OnChange = [this](TObject*, bool) { Invalidate(); };
}

TKldAppLabel::~TKldAppLabel()
{
    m_margin.OnChange = nullptr;
    m_padding.OnChange = nullptr;
}

template <class T> void TKldAppLabel::Store(T& field, const T& value)
{
    if (field == value)
        return;
    field = value;
    Invalidate();
}

void TKldAppLabel::SetBorder(TSides Value)
{
    Store(m_border, Value);
}

void TKldAppLabel::SetColor(int Index, TColor Color)
{
    switch (Index) {
    case 0:
        Store(m_colorA, Color);
        break;
    case 1:
        Store(m_colorB, Color);
        break;
    case 2:
        Store(m_borderColor, Color);
        break;
    default:
        break;
    }
}

void TKldAppLabel::SetColorDir(TKldGradientDir Value)
{
    Store(m_gradientDir, Value);
}

void TKldAppLabel::SetImages(TCustomImageList* Value)
{
    if (Value == m_images.Get())
        return;
    m_images = Value;
    Invalidate();
}

void TKldAppLabel::SetImageIdx(int Index, int Value)
{
    if (Index == 0)
        Store(m_imageIndex, Value);
    else if (Index == 1)
        Store(m_hotImageIndex, Value);
}

void TKldAppLabel::SetAlignment(int Index, TAlignment Value)
{
    if (Index == 0)
        Store(m_textAlignment, Value);
    else if (Index == 1)
        Store(m_imageAlignment, Value);
}

void TKldAppLabel::SetLayout(int Index, TTextLayout Value)
{
    if (Index == 0)
        Store(m_textLayout, Value);
    else if (Index == 1)
        Store(m_imageLayout, Value);
}

void TKldAppLabel::SetIndent(int Index, int Value)
{
    if (Index == 0)
        Store(m_textIndent, Value);
    else if (Index == 1)
        Store(m_imageIndent, Value);
}

void TKldAppLabel::SetWordWrap(bool Value)
{
    Store(m_wordWrap, Value);
}

void TKldAppLabel::SetCaption(const std::string& Value)
{
    Store(m_caption, Value);
}

void TKldAppLabel::SetBackground(const QImage* Bitmap)
{
    m_background = Bitmap ? Bitmap->copy() : QImage();
}

void TKldAppLabel::MouseEnter()
{
    m_hot = true;
    Invalidate();
    TCustomControl::MouseEnter();
}

void TKldAppLabel::MouseLeave()
{
    m_hot = false;
    Invalidate();
    TCustomControl::MouseLeave();
}

// ---------------------------------------------------------------------------
// Content placement

TKldLabelContent TKldAppLabel::CalcContent()
{
    TKldLabelContent content;
    TRect r = ClientRect();
    if (m_margin.Paint())
        ShrinkRect(r, m_margin.AsRect());
    ShrinkRect(r, BorderAsRect(m_border));
    if (m_padding.Paint())
        ShrinkRect(r, m_padding.AsRect());
    content.Inner = r;

    TRect t = r;
    const int index = Enabled() && m_hot && m_hotImageIndex >= 0 ? m_hotImageIndex : m_imageIndex;
    TCustomImageList* images = Images();
    if (images && images->ValidIndex(index)) {
        const int w = images->Width();
        const int h = images->Height();
        int x = r.Left + (r.Width() - w) / 2;
        int y = r.Top + (r.Height() - h) / 2;
        switch (m_imageAlignment) {
        case taLeftJustify:
            x = r.Left + m_imageIndent;
            t.Left = x + w;
            break;
        case taRightJustify:
            x = r.Right - m_imageIndent - w;
            t.Right = x;
            break;
        case taCenter:
            break;
        }
        switch (m_imageLayout) {
        case tlTop:
            y = r.Top + m_imageIndent;
            t.Top = y + h;
            break;
        case tlBottom:
            y = r.Bottom - m_imageIndent - h;
            t.Bottom = y;
            break;
        case tlCenter:
            break;
        }
        // Beside the picture the text may use the full height again.
        if (m_imageAlignment != taCenter) {
            if (m_textLayout == tlTop)
                t.Top = r.Top;
            else if (m_textLayout == tlBottom)
                t.Bottom = r.Bottom;
        }
        content.ImageIndex = index;
        content.ImagePos = {x, y};
    }

    t = InflateRect(t, -m_textIndent, -m_textIndent);
    unsigned flags = m_wordWrap ? DT_WORDBREAK : DT_SINGLELINE | DT_END_ELLIPSIS;
    // A single line laid out at the bottom sits on T's bottom edge (which
    // returns to R's bottom beside a picture for this very purpose).
    if (!m_wordWrap && m_textLayout == tlBottom)
        flags |= DT_BOTTOM;
    if (m_textAlignment == taCenter)
        flags |= DT_CENTER;
    else if (m_textAlignment == taRightJustify)
        flags |= DT_RIGHT;
    TCanvas measure;
    measure.Font().Assign(Font());
    TPoint size = CalcTextSize(measure, m_caption, {t.Width(), 0}, flags);
    if (m_textAlignment != taCenter)
        size.X = 0;
    if (m_textLayout == tlCenter)
        t = CenterRect(t, size);
    content.TextRect = t;
    content.TextFlags = flags;
    return content;
}

// ---------------------------------------------------------------------------
// Painting

void TKldAppLabel::Paint()
{
    TCanvas& c = Canvas();
    const TRect r0 = ClientRect();
    PaintKldFrame(c, r0, m_margin, m_padding, m_border, m_borderColor, 0, true);
    TRect r = r0;
    if (m_margin.Paint())
        ShrinkRect(r, m_margin.AsRect());
    const TRect bordered = r;
    ShrinkRect(r, BorderAsRect(m_border));

    if (!m_background.isNull() && m_background.width() > 0 && m_background.height() > 0) {
        // Tiles from the canvas origin, as many as reach R's right and
        // bottom edges (counting R's size alone left its last row and
        // column bare whenever R does not start at the origin).
        const int w = m_background.width();
        const int h = m_background.height();
        const int cols = r.Right / w + (r.Right % w ? 1 : 0);
        const int rows = r.Bottom / h + (r.Bottom % h ? 1 : 0);
        for (int row = 0; row < rows; ++row)
            for (int col = 0; col < cols; ++col)
                c.Draw(col * w, row * h, m_background);
        if (!m_border.Empty() && m_borderColor != clNone)
            DrawBorder(c, bordered, m_border, m_borderColor);
    } else if (m_colorA == m_colorB) {
        c.Brush().Style = bsSolid;
        c.Brush().Color = m_colorA;
        c.FillRect(r);
    } else {
        DoGradientFill(c, r, m_colorA, m_colorB, m_gradientDir);
    }

    const TKldLabelContent content = CalcContent();
    if (content.ImageIndex >= 0)
        if (TCustomImageList* images = Images())
            images->Draw(c, content.ImagePos.X, content.ImagePos.Y, content.ImageIndex, true);
    c.Font().Assign(Font());
    c.Brush().Style = bsClear;
    TRect text = content.TextRect;
    DrawText(c, m_caption, text, content.TextFlags);
    c.Brush().Style = bsSolid;
}
