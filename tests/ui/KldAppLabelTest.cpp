#include "ui/KldAppLabel.h"

#include "platform/DrawText.h"
#include "support/GuiProbe.h"
#include "support/TestFont.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A 16 x 10 picture list with two pictures (red, green).
std::unique_ptr<TCustomImageList> Pictures()
{
    auto list = std::make_unique<TCustomImageList>(16, 10);
    QImage red(16, 10, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QImage green(16, 10, QImage::Format_ARGB32);
    green.fill(Qt::green);
    list->Add(red);
    list->Add(green);
    return list;
}

TEST(KldAppLabel, ContentPlacement)
{
    const int lh = TestLineHeight();
    // A 200 x 60 label, caption "Label".
    const int tw = TestTextWidth("Label");
    struct Case
    {
        const char* Desc;
        std::function<void(TKldAppLabel&)> Setup;
        int ImageIndex;
        TPoint ImagePos;
        TRect Text;
    };
    const Case cases[] = {
        {"no picture, centred vertically only",
         [](TKldAppLabel&) {},
         -1,
         {},
         {0, (60 - lh) / 2, 200, (60 - lh) / 2 + lh}},
        {"no picture, taCenter centres both ways",
         [](TKldAppLabel& l) { l.SetAlignment(0, taCenter); },
         -1,
         {},
         {(200 - tw) / 2, (60 - lh) / 2, (200 - tw) / 2 + tw, (60 - lh) / 2 + lh}},
        {"tlTop leaves the rectangle",
         [](TKldAppLabel& l) { l.SetLayout(0, tlTop); },
         -1,
         {},
         {0, 0, 200, 60}},
        {"text indent on all sides",
         [](TKldAppLabel& l) {
             l.SetLayout(0, tlTop);
             l.SetIndent(0, 5);
         },
         -1,
         {},
         {5, 5, 195, 55}},
        {"margin, border and padding",
         [](TKldAppLabel& l) {
             l.Margin().SetAll(3);
             l.Padding().SetAll(2);
             l.SetBorder(AllSides);
             l.SetLayout(0, tlTop);
         },
         -1,
         {},
         {6, 6, 194, 54}},
        {"a margin not painted is ignored",
         [](TKldAppLabel& l) {
             l.Margin().SetAll(3);
             l.Margin().SetPaint(false);
             l.SetLayout(0, tlTop);
         },
         -1,
         {},
         {0, 0, 200, 60}},
        {"picture left, centred: text starts at its right edge",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 0);
             l.SetIndent(1, 4);
             l.SetLayout(0, tlTop);
         },
         0,
         {4, 25},
         {20, 0, 200, 60}},
        {"picture right, text ends at its left edge",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 0);
             l.SetAlignment(1, taRightJustify);
             l.SetIndent(1, 4);
             l.SetLayout(0, tlTop);
         },
         0,
         {200 - 4 - 16, 25},
         {0, 0, 180, 60}},
        {"picture centred on top: text below it",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 0);
             l.SetAlignment(1, taCenter);
             l.SetLayout(1, tlTop);
             l.SetIndent(1, 2);
             l.SetLayout(0, tlTop);
         },
         0,
         {92, 2},
         {0, 12, 200, 60}},
        {"picture top left, text layout top: text returns to the top",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 0);
             l.SetLayout(1, tlTop);
             l.SetLayout(0, tlTop);
         },
         0,
         {0, 0},
         {16, 0, 200, 60}},
        {"picture bottom left, text layout bottom: text returns to the bottom",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 0);
             l.SetLayout(1, tlBottom);
             l.SetLayout(0, tlBottom);
         },
         0,
         {0, 50},
         {16, 0, 200, 60}},
        {"picture bottom left, text centred: above the picture's top",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 0);
             l.SetLayout(1, tlBottom);
         },
         0,
         {0, 50},
         {16, (50 - lh) / 2, 200, (50 - lh) / 2 + lh}},
        {"an invalid picture index places nothing",
         [](TKldAppLabel& l) {
             l.SetImageIdx(0, 7);
             l.SetLayout(0, tlTop);
         },
         -1,
         {},
         {0, 0, 200, 60}},
    };
    const auto pictures = Pictures();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldAppLabel label;
        UseTestFont(label.Font());
        label.SetBounds(0, 0, 200, 60);
        label.SetImages(pictures.get());
        label.SetCaption("Label");
        c.Setup(label);
        const TKldLabelContent content = label.CalcContent();
        EXPECT_EQ(content.ImageIndex, c.ImageIndex);
        if (c.ImageIndex >= 0) {
            EXPECT_EQ(content.ImagePos, c.ImagePos);
        }
        EXPECT_EQ(content.TextRect, c.Text);
    }
}

TEST(KldAppLabel, TheHotPictureShowsWhileThePointerIsOverAnEnabledLabel)
{
    const auto pictures = Pictures();
    QWidget host;
    auto* label = new TKldAppLabel(&host);
    label->SetBounds(0, 0, 100, 30);
    label->SetImages(pictures.get());
    label->SetImageIdx(0, 0);
    label->SetImageIdx(1, 1);
    host.resize(100, 30);
    host.show();
    EXPECT_EQ(label->CalcContent().ImageIndex, 0);
    EXPECT_EQ(PixelOf(Grab(*label), 5, 15), clRed);
    Input::Enter(*label);
    EXPECT_TRUE(label->Hot());
    EXPECT_EQ(label->CalcContent().ImageIndex, 1);
    EXPECT_EQ(PixelOf(Grab(*label), 5, 15), clLime);
    label->SetEnabled(false);
    EXPECT_EQ(label->CalcContent().ImageIndex, 0);
    label->SetEnabled(true);
    Input::Leave(*label);
    EXPECT_EQ(label->CalcContent().ImageIndex, 0);

    label->SetImageIdx(1, -1);
    Input::Enter(*label);
    EXPECT_EQ(label->CalcContent().ImageIndex, 0) << "no hot picture";
}

TEST(KldAppLabel, ASingleLineLaidOutAtTheBottomSitsOnTheBottomEdge)
{
    QWidget host;
    auto* label = new TKldAppLabel(&host);
    UseTestFont(label->Font());
    label->Font().SetColor(clBlack);
    label->SetColor(0, clWhite);
    label->SetColor(1, clWhite);
    label->SetBounds(0, 0, 100, 60);
    label->SetCaption("Mg");
    label->SetLayout(0, tlBottom);
    host.resize(100, 60);
    host.show();
    EXPECT_TRUE(label->CalcContent().TextFlags & DT_BOTTOM);
    const QImage image = Grab(*label);
    int top = -1;
    for (int y = 0; y < 60 && top < 0; ++y)
        for (int x = 0; x < 40; ++x)
            if (PixelOf(image, x, y) != clWhite) {
                top = y;
                break;
            }
    EXPECT_GT(top, 60 - TestLineHeight() - 1) << "the text is in the last line's rows";
    label->SetWordWrap(true);
    EXPECT_FALSE(label->CalcContent().TextFlags & DT_BOTTOM) << "word-wrapped text starts at the top";
}

TEST(KldAppLabel, BackgroundPixels)
{
    QWidget host;
    auto* label = new TKldAppLabel(&host);
    label->SetBounds(0, 0, 40, 20);
    label->SetBorder(AllSides);
    label->SetColor(2, clBlack);
    label->SetColor(0, clRed);
    label->SetColor(1, clBlue);
    host.resize(40, 20);
    host.show();
    QImage image = Grab(*label);
    EXPECT_EQ(PixelOf(image, 0, 10), clBlack);
    EXPECT_EQ(PixelOf(image, 1, 10), clRed) << "horizontal gradient from colour A";
    EXPECT_NE(PixelOf(image, 38, 10), clRed);

    // A tiled background picture: tiles from the origin, the border again.
    QImage tile(8, 8, QImage::Format_ARGB32);
    tile.fill(Qt::green);
    tile.setPixelColor(0, 0, Qt::yellow);
    label->SetBackground(&tile);
    label->Invalidate();
    image = Grab(*label);
    EXPECT_EQ(PixelOf(image, 8, 8), clYellow) << "the second tile's corner";
    EXPECT_EQ(PixelOf(image, 32, 8), clYellow) << "a partial tile at the right";
    EXPECT_EQ(PixelOf(image, 0, 0), clBlack) << "the border over the tiles";
    EXPECT_EQ(PixelOf(image, 39, 10), clBlack);
    // The label is 40 x 20 and R (inside the border) ends at 39 x 19: the
    // tiles reach its last row and column although R's size is a multiple
    // of theirs in neither direction.
    label->SetBounds(0, 0, 18, 18);
    label->Invalidate();
    image = Grab(*label);
    EXPECT_EQ(PixelOf(image, 16, 15), clLime) << "the last column inside the border is tiled";
    EXPECT_EQ(PixelOf(image, 15, 16), clLime) << "the last row inside the border is tiled";
    EXPECT_EQ(PixelOf(image, 17, 15), clBlack);
    label->SetBackground(nullptr);
    EXPECT_TRUE(label->Background().isNull());
}

TEST(KldAppLabel, AFreedImageListIsNotDrawn)
{
    TKldAppLabel label;
    label.SetBounds(0, 0, 100, 30);
    {
        const auto pictures = Pictures();
        label.SetImages(pictures.get());
        label.SetImageIdx(0, 0);
        EXPECT_EQ(label.CalcContent().ImageIndex, 0);
    }
    EXPECT_EQ(label.Images(), nullptr);
    EXPECT_EQ(label.CalcContent().ImageIndex, -1);
}

} // namespace
