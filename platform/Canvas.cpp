#include "platform/Canvas.h"

#include "platform/Math.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

// ---------------------------------------------------------------------------
// TFont

namespace {
constexpr int DefaultFontSize = 8;
constexpr const char* DefaultFontName = "Tahoma";

Qt::PenStyle ToQtPenStyle(TPenStyle style)
{
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psClear:
        return Qt::NoPen;
    case psSolid:
    case psInsideFrame:
        break;
    }
    return Qt::SolidLine;
}

Qt::BrushStyle ToQtBrushStyle(TBrushStyle style)
{
    switch (style) {
    case bsClear:
        return Qt::NoBrush;
    case bsHorizontal:
        return Qt::HorPattern;
    case bsVertical:
        return Qt::VerPattern;
    case bsFDiagonal:
        return Qt::FDiagPattern;
    case bsBDiagonal:
        return Qt::BDiagPattern;
    case bsCross:
        return Qt::CrossPattern;
    case bsDiagCross:
        return Qt::DiagCrossPattern;
    case bsSolid:
        break;
    }
    return Qt::SolidPattern;
}

QBrush ToQBrush(const TBrush& brush)
{
    if (brush.Style == bsClear)
        return QBrush(Qt::NoBrush);
    return QBrush(ToQColor(brush.Color), ToQtBrushStyle(brush.Style));
}

QPen ToQPen(const TPen& pen)
{
    if (pen.Style == psClear)
        return QPen(Qt::NoPen);
    QPen p(ToQColor(pen.Color));
    p.setWidth(std::max(pen.Width, 1) == 1 ? 0 : pen.Width); // 0 is Qt's one-pixel cosmetic pen
    p.setStyle(ToQtPenStyle(pen.Style));
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    return p;
}

// Normalises a box given by two corners, as the platform's shape calls do.
void Order(int& a, int& b)
{
    if (b < a)
        std::swap(a, b);
}
} // namespace

TFont::TFont()
    : m_name(DefaultFontName), m_height(-MulDiv(DefaultFontSize, PixelsPerInch, 72)), m_color(clWindowText)
{
    Changed();
}

void TFont::Assign(const TPersistent& source)
{
    const auto* font = dynamic_cast<const TFont*>(&source);
    if (!font) {
        TPersistent::Assign(source);
        return;
    }
    if (font == this || SameAs(*font))
        return;
    if (m_name == font->m_name && m_height == font->m_height && m_style == font->m_style) {
        SetColor(font->m_color); // the Qt font stays as it is
        return;
    }
    m_name = font->m_name;
    m_height = font->m_height;
    m_style = font->m_style;
    m_color = font->m_color;
    Changed();
}

void TFont::SetName(const std::string& name)
{
    if (name == m_name || name.empty())
        return;
    m_name = name;
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(m_height, 72, PixelsPerInch);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, PixelsPerInch, 72));
}

void TFont::SetHeight(int pixels)
{
    if (pixels == m_height)
        return;
    m_height = pixels;
    Changed();
}

void TFont::SetStyle(TFontStyles style)
{
    if (style == m_style)
        return;
    m_style = style;
    Changed();
}

void TFont::SetColor(TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    // The colour is not part of the Qt font.
    if (OnChange)
        OnChange(this);
}

bool TFont::SameAs(const TFont& other) const
{
    return m_name == other.m_name && m_height == other.m_height && m_style == other.m_style &&
           m_color == other.m_color;
}

void TFont::Changed()
{
    QFont f(QString::fromStdString(m_name));
    f.setPixelSize(std::max(1, std::abs(m_height)));
    f.setBold(m_style.Contains(fsBold));
    f.setItalic(m_style.Contains(fsItalic));
    f.setUnderline(m_style.Contains(fsUnderline));
    f.setStrikeOut(m_style.Contains(fsStrikeOut));
    f.setStyleStrategy(QFont::PreferDefault);
    m_qfont = f;
    if (OnChange)
        OnChange(this);
}

// ---------------------------------------------------------------------------
// TPen, TBrush

void TPen::Assign(const TPersistent& source)
{
    const auto* pen = dynamic_cast<const TPen*>(&source);
    if (!pen) {
        TPersistent::Assign(source);
        return;
    }
    Color = pen->Color;
    Width = pen->Width;
    Style = pen->Style;
    Mode = pen->Mode;
}

void TBrush::Assign(const TPersistent& source)
{
    const auto* brush = dynamic_cast<const TBrush*>(&source);
    if (!brush) {
        TPersistent::Assign(source);
        return;
    }
    Color = brush->Color;
    Style = brush->Style;
}

// ---------------------------------------------------------------------------
// GradientFill

bool GradientFill(QPainter* dc, const TTriVertex* vertices, unsigned vertexCount, const TGradientRect* rects,
                  unsigned rectCount, unsigned mode)
{
    if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V)
        return false;
    for (unsigned i = 0; i < rectCount; ++i)
        if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount)
            return false;
    if (!dc || !dc->isActive())
        return true;
    for (unsigned i = 0; i < rectCount; ++i) {
        const TTriVertex& a = vertices[rects[i].UpperLeft];
        const TTriVertex& b = vertices[rects[i].LowerRight];
        const int left = std::min(a.X, b.X);
        const int right = std::max(a.X, b.X);
        const int top = std::min(a.Y, b.Y);
        const int bottom = std::max(a.Y, b.Y);
        const bool horizontal = mode == GRADIENT_FILL_RECT_H;
        const int steps = horizontal ? right - left : bottom - top;
        if (right <= left || bottom <= top)
            continue;
        // The gradient runs from the upper-left vertex's edge.
        const TTriVertex& first = horizontal ? (a.X <= b.X ? a : b) : (a.Y <= b.Y ? a : b);
        const TTriVertex& last = &first == &a ? b : a;
        if (first.Red >> 8 == last.Red >> 8 && first.Green >> 8 == last.Green >> 8 &&
            first.Blue >> 8 == last.Blue >> 8) {
            // One colour all along: every step has it.
            dc->fillRect(QRect(left, top, right - left, bottom - top),
                         QColor(first.Red >> 8, first.Green >> 8, first.Blue >> 8));
            continue;
        }
        auto channel = [steps](int c0, int c1, int k) {
            return static_cast<uint32_t>((c0 + (c1 - c0) * static_cast<int64_t>(k) / steps) >> 8);
        };
        // One pixel per step in a strip, stretched across the rectangle by
        // picking pixels: every row (or column) gets its step's exact colour
        // in one drawing call.
        QImage strip(horizontal ? steps : 1, horizontal ? 1 : steps, QImage::Format_RGB32);
        auto* pixels = reinterpret_cast<QRgb*>(strip.bits());
        for (int k = 0; k < steps; ++k)
            pixels[k] = 0xFF000000u | channel(first.Red, last.Red, k) << 16 |
                        channel(first.Green, last.Green, k) << 8 | channel(first.Blue, last.Blue, k);
        const bool smooth = dc->testRenderHint(QPainter::SmoothPixmapTransform);
        dc->setRenderHint(QPainter::SmoothPixmapTransform, false);
        dc->drawImage(QRect(left, top, right - left, bottom - top), strip);
        dc->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    }
    return true;
}

// ---------------------------------------------------------------------------
// TCanvas

QPainter* TCanvas::Handle()
{
    if (!m_painter)
        CreateHandle();
    if (m_painter && !m_painter->isActive())
        return nullptr;
    return m_painter;
}

bool TCanvas::ThinSolidPen() const
{
    return m_pen.Style == psSolid || m_pen.Style == psInsideFrame ? m_pen.Width <= 1 : false;
}

void TCanvas::ApplyPenMode(QPainter& p) const
{
    switch (m_pen.Mode) {
    case pmCopy:
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        break;
    case pmNot:
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        break;
    case pmXor:
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        break;
    case pmNotXor:
        p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        break;
    }
}

void TCanvas::MoveTo(int X, int Y)
{
    m_penPos = {X, Y};
}

// The platform's line: every pixel from `from` toward `to`, `to` itself left
// out, so that a polyline does not draw its corners twice.
void TCanvas::SolidLine(QPainter& p, TPoint from, TPoint to, const QColor& color)
{
    if (from == to)
        return;
    if (from.Y == to.Y) {
        const int x0 = from.X < to.X ? from.X : to.X + 1;
        const int x1 = from.X < to.X ? to.X - 1 : from.X;
        p.fillRect(QRect(x0, from.Y, x1 - x0 + 1, 1), color);
        return;
    }
    if (from.X == to.X) {
        const int y0 = from.Y < to.Y ? from.Y : to.Y + 1;
        const int y1 = from.Y < to.Y ? to.Y - 1 : from.Y;
        p.fillRect(QRect(from.X, y0, 1, y1 - y0 + 1), color);
        return;
    }
    // Bresenham over the longer axis.
    const int dx = std::abs(to.X - from.X);
    const int dy = std::abs(to.Y - from.Y);
    const int sx = from.X < to.X ? 1 : -1;
    const int sy = from.Y < to.Y ? 1 : -1;
    int err = dx - dy;
    int x = from.X;
    int y = from.Y;
    while (x != to.X || y != to.Y) {
        p.fillRect(QRect(x, y, 1, 1), color);
        const int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x += sx;
        }
        if (e2 < dx) {
            err += dx;
            y += sy;
        }
    }
}

void TCanvas::LineTo(int X, int Y)
{
    const TPoint from = m_penPos;
    m_penPos = {X, Y};
    QPainter* p = Handle();
    if (!p || m_pen.Style == psClear)
        return;
    if (m_pen.Mode != pmCopy)
        ApplyPenMode(*p);
    if (ThinSolidPen()) {
        SolidLine(*p, from, {X, Y}, ToQColor(m_pen.Color));
    } else {
        p->setPen(ToQPen(m_pen));
        p->drawLine(from.X, from.Y, X, Y);
    }
    if (m_pen.Mode != pmCopy)
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    QPainter* p = Handle();
    if (!p)
        return;
    Order(X1, X2);
    Order(Y1, Y2);
    if (m_pen.Style == psClear) {
        if (m_brush.Style != bsClear)
            p->fillRect(QRect(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1), ToQBrush(m_brush));
        return;
    }
    if (X2 - X1 < 1 || Y2 - Y1 < 1)
        return;
    if (m_brush.Style != bsClear && X2 - X1 > 2 && Y2 - Y1 > 2)
        p->fillRect(QRect(X1 + 1, Y1 + 1, X2 - X1 - 2, Y2 - Y1 - 2), ToQBrush(m_brush));
    if (m_pen.Mode != pmCopy)
        ApplyPenMode(*p);
    if (ThinSolidPen()) {
        const QColor c = ToQColor(m_pen.Color);
        p->fillRect(QRect(X1, Y1, X2 - X1, 1), c);
        if (Y2 - Y1 > 1)
            p->fillRect(QRect(X1, Y2 - 1, X2 - X1, 1), c);
        if (Y2 - Y1 > 2) {
            p->fillRect(QRect(X1, Y1 + 1, 1, Y2 - Y1 - 2), c);
            if (X2 - X1 > 1)
                p->fillRect(QRect(X2 - 1, Y1 + 1, 1, Y2 - Y1 - 2), c);
        }
    } else {
        p->setPen(ToQPen(m_pen));
        p->setBrush(Qt::NoBrush);
        p->drawRect(QRect(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1));
    }
    if (m_pen.Mode != pmCopy)
        p->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TCanvas::FillRect(const TRect& r)
{
    QPainter* p = Handle();
    if (!p || m_brush.Style == bsClear || IsRectEmpty(r))
        return;
    p->fillRect(ToQRect(r), ToQBrush(m_brush));
}

void TCanvas::FrameRect(const TRect& r)
{
    QPainter* p = Handle();
    if (!p || IsRectEmpty(r))
        return;
    const QColor c = ToQColor(m_brush.Color);
    p->fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    p->fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    p->fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    p->fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
}

void TCanvas::DrawFocusRect(const TRect& r)
{
    QPainter* p = Handle();
    if (!p || IsRectEmpty(r))
        return;
    p->save();
    // White in difference mode inverts the colour and keeps the alpha.
    p->setCompositionMode(QPainter::CompositionMode_Difference);
    const QColor white(255, 255, 255);
    auto dot = [&](int x, int y) {
        if (((x - r.Left) + (y - r.Top)) % 2 == 0)
            p->fillRect(QRect(x, y, 1, 1), white);
    };
    for (int x = r.Left; x < r.Right; ++x) {
        dot(x, r.Top);
        if (r.Bottom - 1 > r.Top)
            dot(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
        dot(r.Left, y);
        if (r.Right - 1 > r.Left)
            dot(r.Right - 1, y);
    }
    p->restore();
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3)
{
    QPainter* p = Handle();
    if (!p)
        return;
    Order(X1, X2);
    Order(Y1, Y2);
    if (X2 - X1 < 2 || Y2 - Y1 < 2)
        return;
    if (X3 <= 2 && Y3 <= 2 && ThinSolidPen() && m_pen.Mode == pmCopy && X2 - X1 > 2 && Y2 - Y1 > 2) {
        // Corners of one pixel: the outline of Rectangle without its four
        // corner pixels.
        if (m_brush.Style != bsClear)
            p->fillRect(QRect(X1 + 1, Y1 + 1, X2 - X1 - 2, Y2 - Y1 - 2), ToQBrush(m_brush));
        const QColor c = ToQColor(m_pen.Color);
        p->fillRect(QRect(X1 + 1, Y1, X2 - X1 - 2, 1), c);
        p->fillRect(QRect(X1 + 1, Y2 - 1, X2 - X1 - 2, 1), c);
        p->fillRect(QRect(X1, Y1 + 1, 1, Y2 - Y1 - 2), c);
        p->fillRect(QRect(X2 - 1, Y1 + 1, 1, Y2 - Y1 - 2), c);
        return;
    }
    p->setPen(ToQPen(m_pen));
    p->setBrush(ToQBrush(m_brush));
    p->drawRoundedRect(QRect(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1), X3 / 2.0, Y3 / 2.0);
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2)
{
    QPainter* p = Handle();
    if (!p)
        return;
    Order(X1, X2);
    Order(Y1, Y2);
    if (X2 - X1 < 2 || Y2 - Y1 < 2)
        return;
    p->setPen(ToQPen(m_pen));
    p->setBrush(ToQBrush(m_brush));
    p->drawEllipse(QRect(X1, Y1, X2 - X1 - 1, Y2 - Y1 - 1));
}

namespace {
// The platform fills a polygon's pixel (x, y) when the point (x, y) lies
// inside (alternate rule; the left and top edges belong to the shape, the
// right and bottom ones do not). Qt tests pixel centres instead, which
// leaves the row above a gently sloping bottom edge half empty (a selected
// tab would not join its body). The spans of each row, as the platform
// finds them.
std::vector<std::pair<int, int>> PolygonRowSpans(const std::vector<TPoint>& points, int y)
{
    std::vector<double> xs;
    const size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        const TPoint& a = points[i];
        const TPoint& b = points[(i + 1) % n];
        if (a.Y == b.Y || y < std::min(a.Y, b.Y) || y >= std::max(a.Y, b.Y))
            continue;
        xs.push_back(a.X + static_cast<double>(y - a.Y) * (b.X - a.X) / (b.Y - a.Y));
    }
    std::sort(xs.begin(), xs.end());
    std::vector<std::pair<int, int>> spans;
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
        const int from = static_cast<int>(std::ceil(xs[i]));
        const int to = static_cast<int>(std::ceil(xs[i + 1]));
        if (to > from)
            spans.emplace_back(from, to);
    }
    return spans;
}
} // namespace

void TCanvas::Polygon(const std::vector<TPoint>& points)
{
    QPainter* p = Handle();
    if (!p || points.size() < 2)
        return;
    if (m_brush.Style != bsClear) {
        const auto [top, bottom] = std::minmax_element(points.begin(), points.end(),
                                                       [](const TPoint& a, const TPoint& b) { return a.Y < b.Y; });
        const QBrush brush = ToQBrush(m_brush);
        for (int y = top->Y; y < bottom->Y; ++y)
            for (const auto& [from, to] : PolygonRowSpans(points, y))
                p->fillRect(QRect(from, y, to - from, 1), brush);
    }
    if (m_pen.Style == psClear)
        return;
    QPolygon poly;
    for (const TPoint& pt : points)
        poly << QPoint(pt.X, pt.Y);
    p->setPen(ToQPen(m_pen));
    p->setBrush(Qt::NoBrush);
    p->drawPolygon(poly);
}

void TCanvas::Polyline(const std::vector<TPoint>& points)
{
    if (points.empty())
        return;
    MoveTo(points.front().X, points.front().Y);
    for (size_t i = 1; i < points.size(); ++i)
        LineTo(points[i].X, points[i].Y);
}

void TCanvas::Draw(int X, int Y, const QImage& picture)
{
    QPainter* p = Handle();
    if (!p || picture.isNull())
        return;
    p->drawImage(QPoint(X, Y), picture);
}

void TCanvas::StretchDraw(const TRect& r, const QImage& picture)
{
    QPainter* p = Handle();
    if (!p || picture.isNull() || IsRectEmpty(r))
        return;
    const bool smooth = p->testRenderHint(QPainter::SmoothPixmapTransform);
    p->setRenderHint(QPainter::SmoothPixmapTransform, false);
    p->drawImage(ToQRect(r), picture);
    p->setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

QPainter* TCanvas::TextPainter()
{
    QPainter* p = Handle();
    if (!p)
        return nullptr;
    p->setFont(m_font.Handle());
    p->setPen(ToQColor(m_font.Color()));
    return p;
}

void TCanvas::TextOut(int X, int Y, const std::string& text)
{
    const QString s = QString::fromStdString(text);
    const QFontMetrics fm(m_font.Handle());
    const int width = fm.horizontalAdvance(s);
    m_penPos = {X + width, Y};
    QPainter* p = TextPainter();
    if (!p)
        return;
    if (m_brush.Style != bsClear)
        p->fillRect(QRect(X, Y, width, fm.height()), ToQColor(m_brush.Color));
    p->drawText(QPoint(X, Y + fm.ascent()), s);
}

void TCanvas::TextRect(const TRect& r, int X, int Y, const std::string& text)
{
    QPainter* p = Handle();
    if (!p)
        return;
    p->save();
    p->setClipRect(ToQRect(r), Qt::IntersectClip);
    TextOut(X, Y, text);
    p->restore();
}

int TCanvas::TextWidth(const std::string& text)
{
    return TextExtent(text).cx;
}

int TCanvas::TextHeight(const std::string& text)
{
    return TextExtent(text).cy;
}

TSize TCanvas::TextExtent(const std::string& text)
{
    const QFontMetrics fm(m_font.Handle());
    return {fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
}

TColor TCanvas::Pixels(int X, int Y)
{
    QPainter* p = Handle();
    if (!p || !p->device() || p->device()->devType() != QInternal::Image)
        return clNone;
    const auto* image = static_cast<const QImage*>(p->device());
    const QPoint at = p->worldTransform().map(QPoint(X, Y));
    if (!image->valid(at))
        return clNone;
    return ColorFromQColor(image->pixelColor(at));
}

void TCanvas::SetPixel(int X, int Y, TColor color)
{
    QPainter* p = Handle();
    if (!p)
        return;
    p->fillRect(QRect(X, Y, 1, 1), ToQColor(color));
}
