#pragma once
// The small drawing routines every self-painting control shares: two-colour
// gradients, colour mixing and shading, rectangle arithmetic, border sides,
// text measuring, and two anti-aliased circles rendered into 32-bit pixel
// buffers. Plain routines without state; user-interface thread only.
//
// Colours given to any routine pass through ColorToRGB first, so system
// colours resolve to the palette's current values.

#include "platform/Canvas.h"
#include "platform/Colors.h"
#include "platform/Sets.h"
#include "platform/Types.h"

#include <cstdint>
#include <span>
#include <string>

class QPainter;

enum TKldGradientDir
{
    gdVert, // the colour changes from top to bottom
    gdHorz  // from left to right
};

struct TGradient
{
    TColor ColorA = 0;
    TColor ColorB = 0;
    TKldGradientDir Dir = gdVert;
};

enum TSide
{
    sLeft,
    sTop,
    sRight,
    sBottom
};
using TSides = TSet<TSide, uint8_t>;
inline constexpr TSides AllSides{sLeft, sTop, sRight, sBottom};

struct TVertex
{
    TColor Color = 0;
    uint8_t Alpha = 0;
};

// Fills Rect on the device with a gradient from ColorA to ColorB (the
// platform's GradientFill in its rectangle modes).
void DoGradientFill(QPainter* DC, const TRect& Rect, TColor ColorA, TColor ColorB, TKldGradientDir Dir);
void DoGradientFill(TCanvas& Canvas, const TRect& Rect, TColor ColorA, TColor ColorB, TKldGradientDir Dir);
void DoGradientFill(TCanvas& Canvas, const TRect& Rect, const TGradient& Gradient);
TGradient Gradient(TColor ColorA, TColor ColorB, TKldGradientDir Dir);
TVertex Vertex(TColor Color, uint8_t Alpha);

// The two colours half and half, lightened half way toward 225; with Spread
// each channel then moves a quarter of its distance away from 122. Rounded
// with ties to even: black and black give (112, 112, 112).
TColor MixColor(TColor ColorA, TColor ColorB, bool Spread);
// N > 0 darkens every channel by the same amount, at most by the largest
// channel; N < 0 lightens by -N; channels clamp to 0..255.
TColor ShiftColor(TColor Color, int N);

// R with a box of Size centred in it, each axis on its own; an axis whose
// size is not positive or does not fit stays as it is.
TRect CenterRect(TRect R, TPoint Size);
TPoint RectSize(const TRect& R);
void ShrinkRect(TRect& R, const TRect& Margin);
void GrowRect(TRect& R, const TRect& Margin);
// 1 when Side is in Sides: a border is one pixel wide.
int BorderSize(TSides Sides, TSide Side);
// (Left, Top, Right, Bottom) = the border size of each side.
TRect BorderAsRect(TSides Sides);
// Draws the chosen sides of Rect with a one-pixel solid pen: all four as a
// closed outline on Right - 1 and Bottom - 1; otherwise walking clockwise
// from the top-left corner.
void DrawBorder(TCanvas& Canvas, const TRect& Rect, TSides Sides, TColor Color);

// The extent of Text as DrawText measures it with DT_CALCRECT added to
// Flags, starting from (0, 0, 0, |font height|); CalcTextSize starts from
// (0, 0, Size.X, |font height|) so word breaks wrap at Size.X.
int CalcTextWidth(TCanvas& Canvas, const std::string& Text, unsigned Flags);
int CalcTextHeight(TCanvas& Canvas, const std::string& Text, unsigned Flags);
TPoint CalcTextSize(TCanvas& Canvas, const std::string& Text, TPoint Size, unsigned Flags);

// Pixel buffers of the circle routines: Size.X * Size.Y pixels, row after
// row, each alpha << 24 | red << 16 | green << 8 | blue. A buffer shorter
// than the size, or a negative size, draws nothing (and PaintCircle answers
// the empty bounds (Size.X, Size.Y, -1, -1)).

// A three-pixel anti-aliased ring of Radius centred at (Radius + 2,
// Radius + 2), colour not premultiplied; Bounds receives the written pixels'
// extent (inclusive).
void PaintCircle(int Radius, TColor Color, std::span<uint32_t> Buffer, TPoint Size, TRect& Bounds);
// A one-pixel anti-aliased circle of radius min(Size) div 2 centred at
// (radius, radius), premultiplied for per-pixel alpha blending.
void DrawCircle(TColor Color, std::span<uint32_t> Buffer, TPoint Size);
