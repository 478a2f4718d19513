#include "platform/Canvas.h"
#include "platform/Colors.h"

#include "support/GuiProbe.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

namespace {

TEST(Colors, ChannelsAndSystemColours)
{
    EXPECT_EQ(RGB(1, 2, 3), 0x030201);
    EXPECT_EQ(GetRValue(0x3C14DC), 0xDC);
    EXPECT_EQ(GetGValue(0x3C14DC), 0x14);
    EXPECT_EQ(GetBValue(0x3C14DC), 0x3C);
    EXPECT_TRUE(IsSystemColor(clBtnFace));
    EXPECT_FALSE(IsSystemColor(clNone));
    EXPECT_FALSE(IsSystemColor(clWhite));

    // System colours follow the application's palette.
    const QColor button = QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(button.red(), button.green(), button.blue()));
    const QColor highlight = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    EXPECT_EQ(ToQColor(clHighlight), highlight);
    // Other values pass as they are, markers included.
    EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
    EXPECT_EQ(ColorToRGB(clNone), clNone);
    EXPECT_EQ(ToQColor(clNone).alpha(), 0);
    EXPECT_EQ(ToQColor(0x3C14DC), QColor(0xDC, 0x14, 0x3C));
    EXPECT_EQ(ColorFromQColor(QColor(0xDC, 0x14, 0x3C)), 0x3C14DC);
}

TEST(Font, SizeAndHeightAt96PixelsPerInch)
{
    TFont font;
    EXPECT_EQ(font.Size(), 8);
    EXPECT_EQ(font.Height(), -11);
    EXPECT_EQ(font.Handle().pixelSize(), 11);
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    font.SetSize(9);
    EXPECT_EQ(font.Height(), -12);
    font.SetSize(9);
    font.SetStyle({fsBold});
    EXPECT_TRUE(font.Handle().bold());
    font.SetColor(clRed);
    EXPECT_EQ(changes, 3);

    TFont copy;
    copy.Assign(font);
    EXPECT_TRUE(copy.SameAs(font));
    EXPECT_EQ(copy.Color(), clRed);
    EXPECT_EQ(copy.Handle().pixelSize(), 12);
}

TEST(Canvas, LineToLeavesOutTheEndPoint)
{
    struct Case
    {
        const char* Desc;
        TPoint From, To;
        TPoint Drawn, NotDrawn;
    };
    const Case cases[] = {
        {"right", {2, 5}, {8, 5}, {7, 5}, {8, 5}},    {"left", {8, 5}, {2, 5}, {3, 5}, {2, 5}},
        {"down", {4, 1}, {4, 9}, {4, 8}, {4, 9}},     {"up", {4, 9}, {4, 1}, {4, 2}, {4, 1}},
        {"diagonal", {1, 1}, {6, 6}, {5, 5}, {6, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TImageCanvas img(12, 12);
        img.Canvas().Pen().Color = clRed;
        img.Canvas().MoveTo(c.From.X, c.From.Y);
        img.Canvas().LineTo(c.To.X, c.To.Y);
        EXPECT_EQ(img.Canvas().PenPos(), c.To);
        EXPECT_EQ(img.Pixel(c.From.X, c.From.Y), clRed);
        EXPECT_EQ(img.Pixel(c.Drawn.X, c.Drawn.Y), clRed);
        EXPECT_EQ(img.Pixel(c.NotDrawn.X, c.NotDrawn.Y), clWhite);
    }
}

TEST(Canvas, RectangleOutlinesUpToRightAndBottomLessOne)
{
    TImageCanvas img(12, 12);
    TCanvas& c = img.Canvas();
    c.Pen().Color = clBlue;
    c.Brush().Color = clYellow;
    c.Rectangle(2, 3, 8, 9);
    EXPECT_EQ(img.Pixel(2, 3), clBlue);
    EXPECT_EQ(img.Pixel(7, 3), clBlue);
    EXPECT_EQ(img.Pixel(7, 8), clBlue);
    EXPECT_EQ(img.Pixel(2, 8), clBlue);
    EXPECT_EQ(img.Pixel(8, 5), clWhite);
    EXPECT_EQ(img.Pixel(5, 9), clWhite);
    EXPECT_EQ(img.Pixel(3, 4), clYellow);
    EXPECT_EQ(img.Pixel(6, 7), clYellow);

    // A clear brush leaves the inside; a clear pen fills one pixel less.
    c.Brush().Style = bsClear;
    c.Pen().Color = clRed;
    c.Rectangle(0, 0, 12, 12);
    EXPECT_EQ(img.Pixel(11, 11), clRed);
    EXPECT_EQ(img.Pixel(4, 5), clYellow);
    c.Brush().Style = bsSolid;
    c.Brush().Color = clGreen;
    c.Pen().Style = psClear;
    c.Rectangle(1, 1, 4, 4);
    EXPECT_EQ(img.Pixel(1, 1), clGreen);
    EXPECT_EQ(img.Pixel(2, 2), clGreen);
    EXPECT_NE(img.Pixel(3, 3), clGreen);
}

TEST(Canvas, FillFrameAndRoundRect)
{
    TImageCanvas img(20, 20);
    TCanvas& c = img.Canvas();
    c.Brush().Color = clRed;
    c.FillRect(Rect(2, 2, 5, 5));
    EXPECT_EQ(img.Pixel(2, 2), clRed);
    EXPECT_EQ(img.Pixel(4, 4), clRed);
    EXPECT_EQ(img.Pixel(5, 4), clWhite);
    EXPECT_EQ(img.Pixel(4, 5), clWhite);
    c.Brush().Style = bsClear;
    c.FillRect(Rect(0, 0, 20, 20));
    EXPECT_EQ(img.Pixel(0, 0), clWhite);

    c.Brush().Style = bsSolid;
    c.Brush().Color = clBlue;
    c.FrameRect(Rect(10, 10, 15, 15));
    EXPECT_EQ(img.Pixel(10, 12), clBlue);
    EXPECT_EQ(img.Pixel(14, 12), clBlue);
    EXPECT_EQ(img.Pixel(12, 12), clWhite);

    // A rounded rectangle keeps the box of Rectangle: the sides lie on
    // Left, Top, Right - 1 and Bottom - 1.
    TImageCanvas round(20, 20);
    round.Canvas().Pen().Color = clBlack;
    round.Canvas().Brush().Color = clLime;
    round.Canvas().RoundRect(2, 2, 18, 14, 2, 2);
    EXPECT_EQ(round.Pixel(10, 2), clBlack);
    EXPECT_EQ(round.Pixel(10, 13), clBlack);
    EXPECT_EQ(round.Pixel(2, 8), clBlack);
    EXPECT_EQ(round.Pixel(17, 8), clBlack);
    EXPECT_EQ(round.Pixel(10, 8), clLime);
    EXPECT_EQ(round.Pixel(18, 8), clWhite);
    EXPECT_EQ(round.Pixel(10, 14), clWhite);
}

TEST(Canvas, APolygonFillsThePixelsWhoseCornerLiesInside)
{
    // A shape whose bottom edge slopes by one pixel over its width, like a
    // selected tab's: the row above that edge is filled all along (pixel
    // (x, y) counts as inside when the point (x, y) does), and the right and
    // bottom edges stay outside.
    TImageCanvas img(40, 16);
    TCanvas& c = img.Canvas();
    c.Pen().Style = psClear;
    c.Brush().Color = clRed;
    c.Polygon({{10, 11}, {10, 4}, {12, 2}, {28, 2}, {30, 4}, {30, 12}});
    struct Case
    {
        const char* Desc;
        TPoint At;
        TColor Expected;
    };
    const Case cases[] = {
        {"inside", {20, 6}, clRed},
        {"left end of the row above the sloping edge", {11, 11}, clRed},
        {"right end of that row", {29, 11}, clRed},
        {"left edge", {10, 6}, clRed},
        {"top edge", {20, 2}, clRed},
        {"right edge", {30, 6}, clWhite},
        {"below the sloping edge", {20, 12}, clWhite},
        {"a cut corner", {10, 2}, clWhite},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.Desc);
        EXPECT_EQ(img.Pixel(k.At.X, k.At.Y), k.Expected);
    }

    // A rectangle covers what FillRect does; the outline goes on top.
    TImageCanvas box(12, 12);
    box.Canvas().Brush().Color = clYellow;
    box.Canvas().Pen().Style = psClear;
    box.Canvas().Polygon({{2, 2}, {8, 2}, {8, 8}, {2, 8}});
    EXPECT_EQ(box.Pixel(2, 2), clYellow);
    EXPECT_EQ(box.Pixel(7, 7), clYellow);
    EXPECT_EQ(box.Pixel(8, 5), clWhite);
    EXPECT_EQ(box.Pixel(5, 8), clWhite);
    box.Canvas().Pen().Style = psSolid;
    box.Canvas().Pen().Color = clBlue;
    box.Canvas().Brush().Style = bsClear;
    box.Canvas().Polygon({{2, 2}, {8, 2}, {8, 8}, {2, 8}});
    EXPECT_EQ(box.Pixel(2, 5), clBlue);
    EXPECT_EQ(box.Pixel(5, 5), clYellow) << "a clear brush leaves the inside";
}

TEST(Canvas, AFocusRectangleInvertsEveryOtherPixelAndASecondOneRemovesIt)
{
    TImageCanvas img(12, 10, clWhite);
    TCanvas& c = img.Canvas();
    c.Brush().Color = clRed;
    c.FillRect(Rect(2, 2, 10, 8));
    c.DrawFocusRect(Rect(2, 2, 10, 8));
    EXPECT_EQ(img.Pixel(2, 2), RGB(0, 255, 255)) << "red inverted";
    EXPECT_EQ(img.Pixel(3, 2), clRed) << "the next pixel is left";
    EXPECT_EQ(img.Pixel(9, 3), RGB(0, 255, 255));
    EXPECT_EQ(img.Pixel(2, 7), clRed);
    EXPECT_EQ(img.Pixel(3, 7), RGB(0, 255, 255));
    EXPECT_EQ(img.Pixel(5, 5), clRed) << "the inside is untouched";
    EXPECT_EQ(img.Pixel(1, 2), clWhite);
    EXPECT_EQ(img.Alpha(2, 2), 255);
    c.DrawFocusRect(Rect(2, 2, 10, 8));
    for (int x = 2; x < 10; ++x)
        EXPECT_EQ(img.Pixel(x, 2), clRed) << x;
}

TEST(Canvas, PicturesBlendAndStretchByPickingPixels)
{
    QImage picture(2, 1, QImage::Format_ARGB32);
    picture.setPixelColor(0, 0, QColor(255, 0, 0, 255));
    picture.setPixelColor(1, 0, QColor(0, 0, 255, 0)); // transparent
    TImageCanvas img(10, 4);
    img.Canvas().Draw(1, 1, picture);
    EXPECT_EQ(img.Pixel(1, 1), clRed);
    EXPECT_EQ(img.Pixel(2, 1), clWhite);

    img.Canvas().StretchDraw(Rect(0, 2, 8, 4), picture);
    EXPECT_EQ(img.Pixel(0, 2), clRed);
    EXPECT_EQ(img.Pixel(3, 3), clRed);
    EXPECT_EQ(img.Pixel(4, 3), clWhite);
    EXPECT_EQ(img.Pixel(8, 3), clWhite);
}

TEST(Canvas, TextOutPaintsTheBrushBehindUnlessClear)
{
    TImageCanvas img(60, 20);
    TCanvas& c = img.Canvas();
    c.Brush().Color = clYellow;
    c.Font().SetColor(clBlack);
    const TSize extent = c.TextExtent("Wm");
    EXPECT_GT(extent.cx, 0);
    EXPECT_EQ(extent.cy, c.TextHeight("x"));
    c.TextOut(2, 2, "Wm");
    EXPECT_EQ(c.PenPos(), Point(2 + extent.cx, 2));
    EXPECT_EQ(img.Pixel(2, 2 + extent.cy - 1), clYellow);
    EXPECT_EQ(img.Pixel(2 + extent.cx, 3), clWhite);

    TImageCanvas clear(60, 20);
    clear.Canvas().Brush().Style = bsClear;
    clear.Canvas().TextOut(2, 2, "Wm");
    EXPECT_EQ(clear.Pixel(2, 2 + extent.cy - 1), clWhite);
}

TEST(Canvas, PixelsFollowThePaintersOrigin)
{
    TImageCanvas img(10, 10);
    img.Painter().translate(3, 4);
    img.Canvas().SetPixel(1, 1, clRed);
    EXPECT_EQ(img.Pixel(4, 5), clRed);
    EXPECT_EQ(img.Canvas().Pixels(1, 1), clRed);
    EXPECT_EQ(img.Canvas().Pixels(20, 1), clNone);
}

TEST(Canvas, WithoutPainterNothingHappens)
{
    TCanvas canvas;
    EXPECT_EQ(canvas.Handle(), nullptr);
    canvas.MoveTo(1, 1);
    canvas.LineTo(5, 5);
    canvas.Rectangle(0, 0, 4, 4);
    canvas.FillRect(Rect(0, 0, 4, 4));
    canvas.TextOut(0, 0, "x");
    EXPECT_EQ(canvas.PenPos(), Point(0 + canvas.TextWidth("x"), 0));
    EXPECT_EQ(canvas.Pixels(0, 0), clNone);
}

} // namespace
