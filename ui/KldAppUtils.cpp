#include "ui/KldAppUtils.h"

#include "platform/DrawText.h"
#include "platform/Math.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

// ---------------------------------------------------------------------------
// Gradients

void DoGradientFill(QPainter* DC, const TRect& Rect, TColor ColorA, TColor ColorB, TKldGradientDir Dir)
{
    const TColor a = ColorToRGB(ColorA);
    const TColor b = ColorToRGB(ColorB);
    auto vertex = [](int x, int y, TColor c) {
        TTriVertex v;
        v.X = x;
        v.Y = y;
        v.Red = static_cast<uint16_t>(GetRValue(c) << 8);
        v.Green = static_cast<uint16_t>(GetGValue(c) << 8);
        v.Blue = static_cast<uint16_t>(GetBValue(c) << 8);
        v.Alpha = 0;
        return v;
    };
    const TTriVertex vertices[2] = {vertex(Rect.Left, Rect.Top, a), vertex(Rect.Right, Rect.Bottom, b)};
    const TGradientRect mesh{0, 1};
    GradientFill(DC, vertices, 2, &mesh, 1, Dir == gdVert ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

void DoGradientFill(TCanvas& Canvas, const TRect& Rect, TColor ColorA, TColor ColorB, TKldGradientDir Dir)
{
    DoGradientFill(Canvas.Handle(), Rect, ColorA, ColorB, Dir);
}

void DoGradientFill(TCanvas& Canvas, const TRect& Rect, const TGradient& Gradient)
{
    DoGradientFill(Canvas, Rect, Gradient.ColorA, Gradient.ColorB, Gradient.Dir);
}

TGradient Gradient(TColor ColorA, TColor ColorB, TKldGradientDir Dir)
{
    return {ColorA, ColorB, Dir};
}

TVertex Vertex(TColor Color, uint8_t Alpha)
{
    return {Color, Alpha};
}

// ---------------------------------------------------------------------------
// Colours

TColor MixColor(TColor ColorA, TColor ColorB, bool Spread)
{
    const TColor a = ColorToRGB(ColorA);
    const TColor b = ColorToRGB(ColorB);
    auto mix = [Spread](int ca, int cb) {
        double m = ca + (cb - ca) * 0.5;
        m = m + (225 - m) * 0.5;
        if (Spread)
            m = m - (122 - m) * 0.25;
        return static_cast<int>(EnsureRange<int64_t>(Round(m), 0, 255));
    };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
               mix(GetBValue(a), GetBValue(b)));
}

TColor ShiftColor(TColor Color, int N)
{
    const TColor c = ColorToRGB(Color);
    const int r = GetRValue(c);
    const int g = GetGValue(c);
    const int b = GetBValue(c);
    const int s = N >= 0 ? std::max({std::min(N, r), std::min(N, g), std::min(N, b)}) : N;
    return RGB(EnsureRange(r - s, 0, 255), EnsureRange(g - s, 0, 255), EnsureRange(b - s, 0, 255));
}

// ---------------------------------------------------------------------------
// Rectangles and borders

TRect CenterRect(TRect R, TPoint Size)
{
    if (Size.Y > 0 && R.Height() >= Size.Y) {
        R.Top = R.Top + (R.Bottom - Size.Y - R.Top) / 2;
        R.Bottom = R.Top + Size.Y;
    }
    if (Size.X > 0 && R.Width() >= Size.X) {
        R.Left = R.Left + (R.Right - Size.X - R.Left) / 2;
        R.Right = R.Left + Size.X;
    }
    return R;
}

TPoint RectSize(const TRect& R)
{
    return {R.Width(), R.Height()};
}

void ShrinkRect(TRect& R, const TRect& Margin)
{
    R.Left += Margin.Left;
    R.Top += Margin.Top;
    R.Right -= Margin.Right;
    R.Bottom -= Margin.Bottom;
}

void GrowRect(TRect& R, const TRect& Margin)
{
    R.Left -= Margin.Left;
    R.Top -= Margin.Top;
    R.Right += Margin.Right;
    R.Bottom += Margin.Bottom;
}

int BorderSize(TSides Sides, TSide Side)
{
    return Sides.Contains(Side) ? 1 : 0;
}

TRect BorderAsRect(TSides Sides)
{
    return {BorderSize(Sides, sLeft), BorderSize(Sides, sTop), BorderSize(Sides, sRight),
            BorderSize(Sides, sBottom)};
}

void DrawBorder(TCanvas& Canvas, const TRect& Rect, TSides Sides, TColor Color)
{
    TPen& pen = Canvas.Pen();
    pen.Color = Color;
    pen.Mode = pmCopy;
    pen.Style = psSolid;
    pen.Width = 1;
    if (Sides == AllSides) {
        Canvas.Brush().Style = bsClear;
        Canvas.Rectangle(Rect);
        return;
    }
    Canvas.MoveTo(Rect.Left, Rect.Top);
    auto walk = [&](TSide side, int x, int y) {
        if (Sides.Contains(side))
            Canvas.LineTo(x, y);
        else
            Canvas.MoveTo(x, y);
    };
    walk(sTop, Rect.Right - 1, Rect.Top);
    walk(sRight, Rect.Right - 1, Rect.Bottom - 1);
    walk(sBottom, Rect.Left, Rect.Bottom - 1);
    if (Sides.Contains(sLeft))
        Canvas.LineTo(Rect.Left, Rect.Top - 1);
}

// ---------------------------------------------------------------------------
// Text measuring

TPoint CalcTextSize(TCanvas& Canvas, const std::string& Text, TPoint Size, unsigned Flags)
{
    TRect r{0, 0, Size.X, std::abs(Canvas.Font().Height())};
    DrawText(Canvas, Text, r, Flags | DT_CALCRECT);
    return {r.Width(), r.Height()};
}

int CalcTextWidth(TCanvas& Canvas, const std::string& Text, unsigned Flags)
{
    return CalcTextSize(Canvas, Text, {0, 0}, Flags).X;
}

int CalcTextHeight(TCanvas& Canvas, const std::string& Text, unsigned Flags)
{
    return CalcTextSize(Canvas, Text, {0, 0}, Flags).Y;
}

// ---------------------------------------------------------------------------
// Circles

namespace {

// Whether the buffer holds Size.X * Size.Y pixels (never for a negative size).
bool BufferFits(std::span<uint32_t> buffer, TPoint size)
{
    if (size.X < 0 || size.Y < 0)
        return false;
    return static_cast<uint64_t>(size.X) * static_cast<uint64_t>(size.Y) <= buffer.size();
}

// The fractional part the circle's edge passes beyond a whole pixel in row y.
double EdgeFraction(int r, int y)
{
    const double s = std::sqrt(static_cast<double>(r) * r - static_cast<double>(y) * y);
    return std::ceil(s) - s;
}

class TRingWriter
{
  public:
    TRingWriter(std::span<uint32_t> buffer, TPoint size, TRect& bounds)
        : m_buffer(buffer), m_size(size), m_bounds(bounds)
    {
    }
    void Put(int x, int y, uint32_t pixel)
    {
        if (x < 0 || y < 0 || x >= m_size.X || y >= m_size.Y)
            return;
        m_buffer[static_cast<size_t>(y) * m_size.X + x] = pixel;
        m_bounds.Left = std::min(m_bounds.Left, x);
        m_bounds.Top = std::min(m_bounds.Top, y);
        m_bounds.Right = std::max(m_bounds.Right, x);
        m_bounds.Bottom = std::max(m_bounds.Bottom, y);
    }

  private:
    std::span<uint32_t> m_buffer;
    TPoint m_size;
    TRect& m_bounds;
};

uint32_t Pixel(uint32_t rgb, int alpha)
{
    return static_cast<uint32_t>(alpha) << 24 | rgb;
}

} // namespace

void PaintCircle(int Radius, TColor Color, std::span<uint32_t> Buffer, TPoint Size, TRect& Bounds)
{
    Bounds = {Size.X, Size.Y, -1, -1};
    if (!BufferFits(Buffer, Size))
        return;
    std::fill_n(Buffer.begin(), static_cast<size_t>(Size.X) * Size.Y, 0u);
    // A negative radius has no point on the ring (the walk below would not
    // start either).
    if (Radius < 0)
        return;
    const TColor rgb = ColorToRGB(Color);
    const uint32_t p = static_cast<uint32_t>(GetRValue(rgb)) << 16 | GetGValue(rgb) << 8 | GetBValue(rgb);
    const int r = Radius;
    const int c = r + 2;
    TRingWriter out(Buffer, Size, Bounds);

    int x = r;
    int y = -1;
    double prev = 0;
    while (y < x) {
        ++y;
        const double t = EdgeFraction(r, y);
        if (t < prev)
            --x;
        const int a = static_cast<int>(Round(t * 127));
        // The points (c +- x, c +- y) take neighbours left and right, the
        // points (c +- y, c +- x) above and below; the neighbour toward the
        // centre gets a, the one away from it 127 - a.
        struct TPointOfRing
        {
            int Px, Py;
            bool Horizontal; // neighbours left and right
            int Outward;     // +1 when the far neighbour lies at +1
        };
        const TPointOfRing points[8] = {
            {c + x, c + y, true, 1},   {c + y, c + x, false, 1}, {c - x, c + y, true, -1},
            {c - y, c + x, false, 1},  {c + x, c - y, true, 1},  {c + y, c - x, false, -1},
            {c - y, c - x, false, -1}, {c - x, c - y, true, -1},
        };
        for (const TPointOfRing& pt : points) {
            out.Put(pt.Px, pt.Py, Pixel(p, 255));
            const int dx = pt.Horizontal ? 1 : 0;
            const int dy = pt.Horizontal ? 0 : 1;
            out.Put(pt.Px - pt.Outward * dx, pt.Py - pt.Outward * dy, Pixel(p, a));
            out.Put(pt.Px + pt.Outward * dx, pt.Py + pt.Outward * dy, Pixel(p, 127 - a));
        }
        prev = t;
    }
}

void DrawCircle(TColor Color, std::span<uint32_t> Buffer, TPoint Size)
{
    if (!BufferFits(Buffer, Size))
        return;
    std::fill_n(Buffer.begin(), static_cast<size_t>(Size.X) * Size.Y, 0u);
    const TColor rgb = ColorToRGB(Color);
    auto premultiplied = [rgb](int alpha) {
        auto ch = [alpha](int v) { return static_cast<uint32_t>(Round(v * alpha / 255.0)); };
        return static_cast<uint32_t>(alpha) << 24 | ch(GetRValue(rgb)) << 16 | ch(GetGValue(rgb)) << 8 |
               ch(GetBValue(rgb));
    };
    TRect unused;
    TRingWriter out(Buffer, Size, unused);
    const int r = std::min(Size.X, Size.Y) / 2;
    const uint32_t full = premultiplied(255);
    out.Put(0, r, full);
    out.Put(2 * r, r, full);
    out.Put(r, 0, full);
    out.Put(r, 2 * r, full);

    int x = r;
    int y = 0;
    double prev = 0;
    int prevX = r;
    while (y < x) {
        ++y;
        const double t = EdgeFraction(r, y);
        if (t < prev)
            --x;
        if (y > x || (y == x && x == prevX))
            break;
        const uint32_t outer = premultiplied(static_cast<int>(Round((1 - t) * 136)));
        const uint32_t inner = premultiplied(static_cast<int>(Round(t * 136)));
        for (const int sx : {1, -1}) {
            for (const int sy : {1, -1}) {
                out.Put(r + sx * x, r + sy * y, outer);
                out.Put(r + sx * y, r + sy * x, outer);
                if (x - 1 >= y) {
                    out.Put(r + sx * (x - 1), r + sy * y, inner);
                    out.Put(r + sx * y, r + sy * (x - 1), inner);
                }
            }
        }
        prev = t;
        prevX = x;
    }
}
