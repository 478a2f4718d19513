#pragma once
// `TCanvas` with its `TFont`, `TPen` and `TBrush`: drawing with the rules of
// the old platform's device context, over a QPainter.
//
// Pixel rules callers rely on (the views compute their geometry with them):
// - LineTo draws from the pen position up to, but not including, the end
//   point, and leaves the pen there.
// - Rectangle(X1, Y1, X2, Y2) outlines columns X1 .. X2 - 1 and rows
//   Y1 .. Y2 - 1 with the pen and fills the inside with the brush (not with a
//   clear brush); with a clear pen the fill covers X1 .. X2 - 2.
// - FillRect fills Left .. Right - 1 and Top .. Bottom - 1 with the brush.
// - RoundRect and Ellipse fit the same box as Rectangle.
// - Draw and StretchDraw blend a picture with its alpha; StretchDraw scales
//   by picking pixels (no smoothing).
// - Text drawn by TextOut has its top at Y; it has the brush's background
//   unless the brush is clear. DrawText (DrawText.h) is always transparent.
// Pen, brush and font are plain settings of the canvas, applied to the
// painter at each drawing call. Drawing on a canvas without painter does
// nothing. A painter's transform (an origin moved by the control) applies to
// every call, Pixels included.

#include "platform/Colors.h"
#include "platform/Persistent.h"
#include "platform/Sets.h"
#include "platform/Types.h"

#include <QFont>
#include <QRect>

#include <string>
#include <vector>

class QImage;
class QPainter;

inline QRect ToQRect(const TRect& r)
{
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}
inline TRect FromQRect(const QRect& r)
{
    return Bounds(r.x(), r.y(), r.width(), r.height());
}

enum TFontStyle
{
    fsBold,
    fsItalic,
    fsUnderline,
    fsStrikeOut
};
using TFontStyles = TSet<TFontStyle, uint8_t>;

// A font as the platform describes it: a face name, a size in points at 96
// pixels per inch (Height in pixels: negative for the character height),
// styles and a colour. Changes fire OnChange.
class TFont : public TPersistent
{
  public:
    static constexpr int PixelsPerInch = 96;

    TFont();
    std::string ClassName() const override { return "TFont"; }
    void Assign(const TPersistent& source) override;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& name);
    // Points; setting it sets Height to -MulDiv(Size, 96, 72).
    int Size() const;
    void SetSize(int points);
    int Height() const { return m_height; }
    void SetHeight(int pixels);
    TFontStyles Style() const { return m_style; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);

    // The Qt font: pixel size |Height|, so that text measures the same on
    // every screen.
    const QFont& Handle() const { return m_qfont; }
    bool SameAs(const TFont& other) const;

    TNotifyEvent OnChange;

  private:
    void Changed();

    std::string m_name;
    int m_height;
    TFontStyles m_style;
    TColor m_color;
    QFont m_qfont;
};

enum TPenStyle
{
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};
enum TPenMode
{
    pmCopy,
    pmNot,
    pmXor,
    pmNotXor
};

class TPen : public TPersistent
{
  public:
    std::string ClassName() const override { return "TPen"; }
    void Assign(const TPersistent& source) override;

    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
};

enum TBrushStyle
{
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};

class TBrush : public TPersistent
{
  public:
    std::string ClassName() const override { return "TBrush"; }
    void Assign(const TPersistent& source) override;

    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

// The platform's two-colour gradient fill (GradientFill in its rectangle
// modes): each vertex carries 16-bit channels (the 8-bit value shifted left
// by 8); between the two corners of a rectangle the colour changes linearly
// from column to column (GRADIENT_FILL_RECT_H) or from row to row
// (GRADIENT_FILL_RECT_V). The first column or row has the upper-left
// vertex's colour exactly; column i of n has c0 + (c1 - c0) * i / n, so the
// last one stops one step short of the lower-right colour.
struct TTriVertex
{
    int X = 0;
    int Y = 0;
    uint16_t Red = 0;
    uint16_t Green = 0;
    uint16_t Blue = 0;
    uint16_t Alpha = 0;
};
struct TGradientRect
{
    unsigned UpperLeft = 0;
    unsigned LowerRight = 0;
};
constexpr unsigned GRADIENT_FILL_RECT_H = 0;
constexpr unsigned GRADIENT_FILL_RECT_V = 1;
// False (nothing drawn) for another mode or a vertex index out of range.
bool GradientFill(QPainter* dc, const TTriVertex* vertices, unsigned vertexCount, const TGradientRect* rects,
                  unsigned rectCount, unsigned mode);

class TCanvas : public TPersistent
{
  public:
    TCanvas() = default;
    // Draws through `painter`, which the caller keeps alive while bound.
    explicit TCanvas(QPainter* painter) : m_painter(painter) {}
    ~TCanvas() override = default;
    std::string ClassName() const override { return "TCanvas"; }

    // The painter; a canvas without one asks CreateHandle first (and may
    // still have none: then drawing does nothing).
    QPainter* Handle();
    void SetHandle(QPainter* painter) { m_painter = painter; }
    bool HandleAllocated() const { return m_painter != nullptr; }

    TFont& Font() { return m_font; }
    const TFont& Font() const { return m_font; }
    TPen& Pen() { return m_pen; }
    const TPen& Pen() const { return m_pen; }
    TBrush& Brush() { return m_brush; }
    const TBrush& Brush() const { return m_brush; }

    TPoint PenPos() const { return m_penPos; }
    void SetPenPos(const TPoint& p) { m_penPos = p; }

    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    // A one-pixel outline of r in the brush colour.
    void FrameRect(const TRect& r);
    // The focus rectangle: every other pixel of r's outline inverted, so a
    // second call on the same rectangle removes it.
    void DrawFocusRect(const TRect& r);
    // A rectangle with corners rounded by an ellipse of X3 x Y3.
    void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
    void Ellipse(int X1, int Y1, int X2, int Y2);
    // A closed, filled shape through the points.
    void Polygon(const std::vector<TPoint>& points);
    // Lines from point to point, the last point not drawn.
    void Polyline(const std::vector<TPoint>& points);

    void Draw(int X, int Y, const QImage& picture);
    void StretchDraw(const TRect& r, const QImage& picture);

    void TextOut(int X, int Y, const std::string& text);
    // TextOut clipped to r.
    void TextRect(const TRect& r, int X, int Y, const std::string& text);
    int TextWidth(const std::string& text);
    int TextHeight(const std::string& text);
    TSize TextExtent(const std::string& text);

    // The pixel's colour (clNone outside the picture, or when the canvas
    // does not draw on a picture); setting one paints it.
    TColor Pixels(int X, int Y);
    void SetPixel(int X, int Y, TColor color);

  protected:
    // Makes the painter for a canvas that owns its device.
    virtual void CreateHandle() {}

    // Applies the font (and the font colour as the pen) for text.
    QPainter* TextPainter();

  private:
    friend int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned flags);
    void SolidLine(QPainter& p, TPoint from, TPoint to, const QColor& color);
    bool ThinSolidPen() const;
    void ApplyPenMode(QPainter& p) const;

    QPainter* m_painter = nullptr;
    TFont m_font;
    TPen m_pen;
    TBrush m_brush;
    TPoint m_penPos;
};
