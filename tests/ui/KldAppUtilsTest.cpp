#include "ui/KldAppUtils.h"

#include "platform/DrawText.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(KldAppUtils, ShiftColor)
{
    struct Case
    {
        const char* Desc;
        TColor Color;
        int N;
        TColor Expected;
    };
    const Case cases[] = {
        {"white darker by 40", clWhite, 40, RGB(215, 215, 215)},
        {"each channel by the same, clamped", RGB(10, 200, 30), 40, RGB(0, 160, 0)},
        {"at most the largest channel", RGB(10, 200, 30), 20, RGB(0, 180, 10)},
        {"black stays black", clBlack, 40, clBlack},
        {"lighter", RGB(10, 200, 30), -40, RGB(50, 240, 70)},
        {"lighter clamps to 255", clWhite, -40, clWhite},
        {"system colours resolve first", clBlack, 0, clBlack},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ShiftColor(c.Color, c.N), c.Expected);
    }
    EXPECT_EQ(ShiftColor(clBtnFace, 0), ColorToRGB(clBtnFace));
}

TEST(KldAppUtils, MixColorRoundsTiesToEven)
{
    struct Case
    {
        const char* Desc;
        TColor A, B;
        bool Spread;
        TColor Expected;
    };
    const Case cases[] = {
        {"black and black: 112.5 gives 112", clBlack, clBlack, false, RGB(112, 112, 112)},
        {"spread: 110.125 gives 110", clBlack, clBlack, true, RGB(110, 110, 110)},
        {"white and black", clWhite, clBlack, false, RGB(176, 176, 176)},
        {"white and black spread", clWhite, clBlack, true, RGB(190, 190, 190)},
        {"white spread clamps", clWhite, clWhite, true, clWhite},
        {"per channel", RGB(255, 0, 0), RGB(0, 0, 255), false, RGB(176, 112, 176)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(MixColor(c.A, c.B, c.Spread), c.Expected);
    }
}

TEST(KldAppUtils, Rectangles)
{
    struct Case
    {
        const char* Desc;
        TRect R;
        TPoint Size;
        TRect Expected;
    };
    const Case cases[] = {
        {"centred both ways", {0, 0, 100, 50}, {20, 10}, {40, 20, 60, 30}},
        {"odd remainder rounds down", {0, 0, 11, 11}, {4, 4}, {3, 3, 7, 7}},
        {"too wide: x unchanged", {0, 0, 10, 50}, {20, 10}, {0, 20, 10, 30}},
        {"zero height: y unchanged", {0, 0, 100, 50}, {20, 0}, {40, 0, 60, 50}},
        {"negative: unchanged", {5, 5, 15, 15}, {-2, -2}, {5, 5, 15, 15}},
        {"exact fit", {0, 0, 10, 10}, {10, 10}, {0, 0, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(CenterRect(c.R, c.Size), c.Expected);
    }
    EXPECT_EQ(RectSize({3, 4, 10, 20}), Point(7, 16));
    TRect r{10, 10, 100, 100};
    ShrinkRect(r, {1, 2, 3, 4});
    EXPECT_EQ(r, Rect(11, 12, 97, 96));
    GrowRect(r, {1, 2, 3, 4});
    EXPECT_EQ(r, Rect(10, 10, 100, 100));
    EXPECT_EQ(BorderAsRect({sLeft, sBottom}), Rect(1, 0, 0, 1));
    EXPECT_EQ(BorderAsRect(AllSides), Rect(1, 1, 1, 1));
    EXPECT_EQ(BorderSize({sTop}, sTop), 1);
    EXPECT_EQ(BorderSize({sTop}, sRight), 0);
}

TEST(KldAppUtils, DrawBorderDrawsTheChosenSides)
{
    struct Probe
    {
        int X, Y;
        bool Drawn;
    };
    struct Case
    {
        const char* Desc;
        TSides Sides;
        std::vector<Probe> Probes;
    };
    // The rectangle (2, 2, 10, 8): columns 2..9, rows 2..7.
    const Case cases[] = {
        {"all sides on right - 1 and bottom - 1",
         AllSides,
         {{2, 2, true},
          {9, 2, true},
          {9, 7, true},
          {2, 7, true},
          {10, 5, false},
          {5, 8, false},
          {5, 5, false}}},
        {"left only: bottom - 1 up to top",
         {sLeft},
         {{2, 7, true}, {2, 2, true}, {2, 1, false}, {9, 5, false}}},
        {"top only", {sTop}, {{2, 2, true}, {8, 2, true}, {2, 3, false}, {5, 7, false}}},
        {"right only", {sRight}, {{9, 2, true}, {9, 6, true}, {8, 4, false}}},
        {"bottom only: right to left, the left end left out",
         {sBottom},
         {{9, 7, true}, {3, 7, true}, {2, 7, false}, {5, 2, false}}},
        {"top and right", {sTop, sRight}, {{2, 2, true}, {9, 2, true}, {9, 6, true}, {2, 4, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TImageCanvas img(12, 10);
        img.Canvas().Brush().Color = clYellow;
        DrawBorder(img.Canvas(), {2, 2, 10, 8}, c.Sides, clRed);
        for (const Probe& p : c.Probes) {
            SCOPED_TRACE(testing::Message() << "(" << p.X << "," << p.Y << ")");
            EXPECT_EQ(img.Pixel(p.X, p.Y) == clRed, p.Drawn);
        }
        // The inside keeps its colour: the outline is not filled.
        EXPECT_EQ(img.Pixel(5, 5), clWhite);
    }
}

TEST(KldAppUtils, GradientsRunFromTheFirstColourStepByStep)
{
    TImageCanvas img(40, 20);
    // Red to blue over 10 rows: row k has red 255 - 255 * k / 10.
    DoGradientFill(img.Canvas(), {0, 0, 10, 10}, clRed, clBlue, gdVert);
    EXPECT_EQ(img.Pixel(3, 0), clRed);
    EXPECT_EQ(img.Pixel(3, 5), RGB(127, 0, 127));
    EXPECT_EQ(img.Pixel(3, 9), RGB(25, 0, 229));
    EXPECT_EQ(img.Pixel(3, 10), clWhite);
    EXPECT_EQ(img.Pixel(9, 9), img.Pixel(0, 9));
    // Across: columns change, rows do not.
    const TGradient across = Gradient(clBlack, clWhite, gdHorz);
    EXPECT_EQ(across.Dir, gdHorz);
    DoGradientFill(img.Canvas(), {10, 0, 30, 5}, across);
    EXPECT_EQ(img.Pixel(10, 0), clBlack);
    EXPECT_EQ(img.Pixel(20, 4), RGB(127, 127, 127));
    EXPECT_EQ(img.Pixel(20, 0), img.Pixel(20, 4));
    // One colour fills evenly; system colours resolve.
    DoGradientFill(img.Canvas(), {30, 0, 40, 20}, clBtnFace, clBtnFace, gdVert);
    EXPECT_EQ(img.Pixel(35, 19), ColorToRGB(clBtnFace));
    const TVertex v = Vertex(clRed, 7);
    EXPECT_EQ(v.Color, clRed);
    EXPECT_EQ(v.Alpha, 7);
}

TEST(KldAppUtils, TextMeasuresAsDrawTextDoes)
{
    TImageCanvas img(10, 10);
    TCanvas& c = img.Canvas();
    const int oneLine = CalcTextHeight(c, "one two three", DT_SINGLELINE);
    EXPECT_GT(oneLine, 0);
    TRect r{0, 0, 0, 0};
    DrawText(c, "one two three", r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(CalcTextWidth(c, "one two three", DT_SINGLELINE), r.Width());
    // Word breaks wrap at Size.X.
    const int narrow = CalcTextWidth(c, "one two", DT_SINGLELINE);
    const TPoint wrapped = CalcTextSize(c, "one two three", {narrow, 999}, DT_WORDBREAK);
    EXPECT_EQ(wrapped.Y, 2 * oneLine);
    EXPECT_LE(wrapped.X, narrow);
    EXPECT_EQ(CalcTextSize(c, "one two three", {narrow, 0}, DT_SINGLELINE).Y, oneLine);
}

uint32_t Rgb(TColor c)
{
    return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

TEST(KldAppUtils, PaintCircleWritesARingWithPlainColour)
{
    const TColor colour = RGB(10, 20, 30);
    std::vector<uint32_t> buffer(11 * 11, 0xDEADBEEF);
    TRect bounds;
    PaintCircle(3, colour, buffer, {11, 11}, bounds);
    EXPECT_EQ(bounds, Rect(1, 1, 9, 9));
    auto at = [&](int x, int y) { return buffer[y * 11 + x]; };
    EXPECT_EQ(at(8, 5), 0xFF000000u | Rgb(colour));        // the ring's rightmost point
    EXPECT_EQ(at(9, 5), 127u << 24 | Rgb(colour));         // its outer neighbour
    EXPECT_EQ(at(9, 6), (127u - 22u) << 24 | Rgb(colour)); // the colour is not premultiplied
    EXPECT_EQ(at(5, 5), 0u);                               // cleared inside
    EXPECT_EQ(at(0, 0), 0u);                               // cleared outside

    // Radius 0: only the points around the centre (2, 2).
    std::vector<uint32_t> small(5 * 5, 0xDEADBEEF);
    PaintCircle(0, colour, small, {5, 5}, bounds);
    EXPECT_EQ(bounds, Rect(1, 1, 3, 3));
    EXPECT_EQ(small[2 * 5 + 2] >> 24, 255u);
    int written = 0;
    int opaque = 0;
    for (uint32_t p : small) {
        written += p != 0;
        opaque += (p >> 24) != 0;
    }
    EXPECT_EQ(written, 5); // the centre and its four neighbours...
    EXPECT_EQ(opaque, 3);  // ...the two toward the centre with alpha 0

    // A negative radius has no points: the buffer is only cleared.
    PaintCircle(-1, colour, small, {5, 5}, bounds);
    EXPECT_EQ(bounds, Rect(5, 5, -1, -1));
    for (uint32_t p : small)
        ASSERT_EQ(p, 0u);
}

TEST(KldAppUtils, CirclesRefuseABufferThatDoesNotFit)
{
    struct Case
    {
        const char* Desc;
        size_t Length;
        TPoint Size;
    };
    const Case cases[] = {
        {"one pixel short", 11 * 11 - 1, {11, 11}},
        {"negative width", 16, {-4, -4}},
        {"negative height", 16, {4, -4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::vector<uint32_t> buffer(c.Length, 0xABCDEF01);
        TRect bounds{1, 2, 3, 4};
        PaintCircle(3, clRed, buffer, c.Size, bounds);
        EXPECT_EQ(bounds, Rect(c.Size.X, c.Size.Y, -1, -1));
        DrawCircle(clRed, buffer, c.Size);
        for (uint32_t p : buffer)
            ASSERT_EQ(p, 0xABCDEF01u);
    }
    // Pixels past the size are written neither.
    std::vector<uint32_t> big(200, 0x12345678);
    TRect bounds;
    PaintCircle(3, clRed, std::span<uint32_t>(big).first(121), {11, 11}, bounds);
    EXPECT_EQ(big[121], 0x12345678u);
}

TEST(KldAppUtils, DrawCircleIsThinAndPremultiplied)
{
    const TColor colour = RGB(100, 50, 25);
    std::vector<uint32_t> buffer(16 * 16, 0xDEADBEEF);
    DrawCircle(colour, buffer, {16, 16}); // radius 8: points at 16 fall outside
    auto at = [&](int x, int y) { return buffer[y * 16 + x]; };
    EXPECT_EQ(at(0, 8), 0xFF000000u | Rgb(colour));
    EXPECT_EQ(at(8, 0), 0xFF000000u | Rgb(colour));
    // Row 1 from the axis: the edge lies 0.063 beyond a whole pixel, so the
    // outer pixel gets alpha 127 and the inner one 9, each premultiplied.
    EXPECT_EQ(at(0, 9), 127u << 24 | 50u << 16 | 25u << 8 | 12u);
    EXPECT_EQ(at(1, 9), 9u << 24 | 4u << 16 | 2u << 8 | 1u);
    EXPECT_EQ(at(8, 8), 0u);
    EXPECT_EQ(at(15, 15), 0u);
}

} // namespace
