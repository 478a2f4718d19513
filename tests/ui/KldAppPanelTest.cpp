#include "ui/KldAppPanel.h"

#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "support/TestFont.h"

#include <QMenu>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// TOffset

TEST(KldOffset, SizesCallTheOwnerOnlyForARealChange)
{
    std::vector<bool> calls;
    TOffset offset([&](TObject*, bool layout) { calls.push_back(layout); });

    offset.SetSize(-1, -5);
    EXPECT_TRUE(calls.empty()) << "a negative size is ignored";
    EXPECT_EQ(offset.AsRect(), Rect(0, 0, 0, 0));

    offset.SetSize(0, 4);
    offset.SetSize(0, 4);
    EXPECT_EQ(calls, std::vector<bool>{true}) << "the same side twice calls once";

    offset.SetSize(-1, 3);
    EXPECT_EQ(offset.AsRect(), Rect(3, 3, 3, 3));
    EXPECT_EQ(offset.All(), 3);
    offset.SetSize(-1, 3);
    EXPECT_EQ(calls.size(), 3u) << "All always tells the owner";
    offset.SetBottom(7);
    EXPECT_EQ(offset.All(), 3) << "All is the last value written through it";

    // The sizes are Smallints: 40000 arrives as a negative value.
    offset.SetSize(1, 40000);
    EXPECT_EQ(offset.Top(), 3);

    calls.clear();
    offset.SetColor(1, clRed);
    EXPECT_TRUE(calls.empty()) << "only index 0 is the fill colour";
    offset.SetColor(0, clRed);
    offset.SetPaint(false);
    offset.SetPaint(false);
    EXPECT_EQ(calls, (std::vector<bool>{false, false})) << "colour and paint are no layout change";
    EXPECT_EQ(offset.FillColor(), clRed);

    calls.clear();
    TOffset copy([&](TObject*, bool layout) { calls.push_back(layout); });
    copy.Assign(offset);
    EXPECT_EQ(copy.AsRect(), offset.AsRect());
    EXPECT_EQ(copy.FillColor(), clRed);
    EXPECT_TRUE(copy.Paint()) << "Paint is not copied";
    EXPECT_EQ(calls, std::vector<bool>{true});
}

// ---------------------------------------------------------------------------
// TKldAppPanel: the frame

TEST(KldAppPanel, TheFrameIsTheSumOfMarginBorderPaddingAndCaption)
{
    struct Case
    {
        const char* Desc;
        int Margin;
        TSides Border;
        int Padding;
        int Caption;
        TRect Origin; // expected non-client strips (left, top, right, bottom)
    };
    const Case cases[] = {
        {"nothing", 0, {}, 0, 0, {0, 0, 0, 0}},
        {"margin 3, all borders, padding 2, caption 20: 12 narrower, 32 lower",
         3,
         AllSides,
         2,
         20,
         {6, 26, 6, 6}},
        {"border sides count one pixel each", 0, {sLeft, sBottom}, 0, 0, {1, 0, 0, 1}},
        {"a caption alone", 0, {}, 0, 18, {0, 18, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldAppPanel panel;
        panel.SetBounds(0, 0, 200, 150);
        panel.Margin().SetAll(c.Margin);
        panel.Padding().SetAll(c.Padding);
        panel.SetBorder(c.Border);
        panel.SetCaptionSize(c.Caption);
        EXPECT_EQ(panel.NonClientMargins(), c.Origin);
        EXPECT_EQ(panel.ClientWidth(), 200 - c.Origin.Left - c.Origin.Right);
        EXPECT_EQ(panel.ClientHeight(), 150 - c.Origin.Top - c.Origin.Bottom);
    }
}

TEST(KldAppPanel, FramePixels)
{
    QWidget host;
    auto* panel = new TKldAppPanel(&host);
    panel->SetBounds(0, 0, 120, 80);
    panel->Margin().SetAll(3);
    panel->Margin().SetFillColor(clRed);
    panel->Padding().SetAll(2);
    panel->Padding().SetFillColor(clBlue);
    panel->SetBorder(AllSides);
    panel->SetBorderColor(clBlack);
    panel->SetCaptionSize(20);
    panel->SetCaptionColor(0, clLime);
    panel->SetCaptionColor(1, clLime);
    panel->SetColor(clYellow);
    host.resize(120, 80);
    host.show();
    const QImage image = Grab(*panel);

    EXPECT_EQ(PixelOf(image, 0, 40), clRed) << "margin";
    EXPECT_EQ(PixelOf(image, 2, 40), clRed);
    EXPECT_EQ(PixelOf(image, 3, 40), clBlack) << "border";
    EXPECT_EQ(PixelOf(image, 3, 3), clBlack) << "border corner";
    EXPECT_EQ(PixelOf(image, 116, 76), clBlack) << "border, right bottom";
    EXPECT_EQ(PixelOf(image, 4, 40), clBlue) << "padding";
    EXPECT_EQ(PixelOf(image, 5, 40), clBlue);
    EXPECT_EQ(PixelOf(image, 6, 40), clYellow) << "the client area";
    EXPECT_EQ(PixelOf(image, 60, 4), clLime) << "caption bar";
    EXPECT_EQ(PixelOf(image, 60, 23), clLime) << "caption bar, last row";
    // The caption bar is filled one row taller, over the padding's first row.
    EXPECT_EQ(PixelOf(image, 60, 24), clLime);
    EXPECT_EQ(PixelOf(image, 60, 25), clBlue) << "padding under the caption";
    EXPECT_EQ(PixelOf(image, 60, 26), clYellow) << "client top";
    EXPECT_EQ(PixelOf(image, 60, 73), clYellow) << "client bottom";
    EXPECT_EQ(PixelOf(image, 60, 74), clBlue);
}

TEST(KldAppPanel, ABorderInClNoneIsNotDrawnButTakesItsPixel)
{
    TOffset margin;
    TOffset padding;
    TImageCanvas img(20, 20, clWhite);
    PaintKldFrame(img.Canvas(), Rect(0, 0, 20, 20), margin, padding, AllSides, clNone, 0, false);
    EXPECT_EQ(img.Pixel(0, 10), clWhite);
    PaintKldFrame(img.Canvas(), Rect(0, 0, 20, 20), margin, padding, AllSides, clGreen, 0, false);
    EXPECT_EQ(img.Pixel(0, 10), clGreen);

    TKldAppPanel panel;
    panel.SetBounds(0, 0, 50, 50);
    panel.SetBorder(AllSides);
    panel.SetBorderColor(clNone);
    EXPECT_EQ(panel.ClientWidth(), 48);
}

TEST(KldAppPanel, UnpaintedOffsetsAreLeftAloneButStillTakeRoom)
{
    TOffset margin;
    margin.SetAll(2);
    margin.SetFillColor(clRed);
    margin.SetPaint(false);
    TOffset padding;
    padding.SetAll(1);
    padding.SetFillColor(clBlue);
    TImageCanvas img(20, 20, clWhite);
    PaintKldFrame(img.Canvas(), Rect(0, 0, 20, 20), margin, padding, {sLeft}, clBlack, 0, false);
    EXPECT_EQ(img.Pixel(0, 10), clWhite) << "the margin is not filled";
    EXPECT_EQ(img.Pixel(2, 10), clBlack) << "the border still lies inside the margin";
    EXPECT_EQ(img.Pixel(3, 10), clBlue);

    // For a label an unpainted margin does not apply at all.
    TImageCanvas label(20, 20, clWhite);
    PaintKldFrame(label.Canvas(), Rect(0, 0, 20, 20), margin, padding, {sLeft}, clBlack, 0, true);
    EXPECT_EQ(label.Pixel(0, 10), clBlack);
    EXPECT_EQ(label.Pixel(1, 10), clBlue);
}

TEST(KldAppPanel, CaptionBarWithGradientTextAndMenuButton)
{
    QWidget host;
    auto* panel = new TKldAppPanel(&host);
    panel->SetBounds(0, 0, 200, 60);
    panel->SetCaptionSize(20);
    panel->SetCaptionColor(0, RGB(200, 200, 255));
    panel->SetCaptionColor(1, RGB(100, 100, 255));
    UseTestFont(panel->CaptionFont());
    panel->CaptionFont().SetColor(clBlack);
    panel->SetAlignment(taLeftJustify);
    panel->SetCaption("Widget");
    panel->SetColor(clWhite);
    host.resize(200, 60);
    host.show();
    QImage image = Grab(*panel);
    EXPECT_EQ(PixelOf(image, 150, 0), RGB(200, 200, 255)) << "the gradient starts at colour A";
    EXPECT_NE(PixelOf(image, 150, 19), RGB(200, 200, 255));
    bool text = false;
    for (int x = 4; x < 4 + TestTextWidth("Widget"); ++x)
        for (int y = 0; y < 20; ++y)
            text = text || PixelOf(image, x, y) == clBlack;
    EXPECT_TRUE(text) << "the caption is drawn from x 4";

    // The menu button: picture 0 at the right end of the text area.
    panel->SetShowMenuButton(true);
    image = Grab(*panel);
    const QImage picture = KldAppPanelMenuImages().GetImage(0);
    const int x = 200 - 4 - 35;
    const int y = (20 - 15) / 2;
    int same = 0;
    int opaque = 0;
    for (int py = 0; py < 15; ++py)
        for (int px = 0; px < 35; ++px)
            if (qAlpha(picture.pixel(px, py)) == 255) {
                ++opaque;
                same += PixelOf(image, x + px, y + py) == ColorFromQColor(picture.pixelColor(px, py));
            }
    EXPECT_GT(opaque, 0);
    EXPECT_EQ(same, opaque);
}

TEST(KldAppPanel, OffScreenCaptionPaintsTheSame)
{
    auto paint = [](bool offScreen) {
        QWidget host;
        auto* panel = new TKldAppPanel(&host);
        panel->SetBounds(0, 0, 160, 50);
        panel->Margin().SetAll(2);
        panel->SetBorder(AllSides);
        panel->SetCaptionSize(18);
        panel->SetCaptionColor(0, clWhite);
        panel->SetCaptionColor(1, clSkyBlue);
        panel->SetCaption("Caption");
        panel->SetUseOffScreen(offScreen);
        host.resize(160, 50);
        host.show();
        return Grab(*panel);
    };
    EXPECT_EQ(paint(true), paint(false));
}

TEST(KldAppPanel, TheMenuButtonReactsOnlyWithAPopupMenu)
{
    QWidget host;
    auto* panel = new TKldAppPanel(&host);
    panel->SetBounds(0, 0, 200, 100);
    panel->Margin().SetAll(2);
    panel->SetCaptionSize(20);
    panel->SetShowMenuButton(true);
    host.resize(200, 100);
    host.show();
    // Widget x 190 lies in the caption bar, over the button: client x is
    // 188, past 200 - 2 - 2 - 43.
    Input::Move(*panel, 190, 10);
    EXPECT_FALSE(panel->MenuButtonHot()) << "no popup menu";

    TPopupMenu menu;
    menu.Items().Add()->SetCaption("Close");
    panel->SetPopupMenu(&menu);
    Input::Move(*panel, 190, 10);
    EXPECT_TRUE(panel->MenuButtonHot());
    Input::Move(*panel, 40, 10);
    EXPECT_FALSE(panel->MenuButtonHot()) << "left of the button";
    Input::Move(*panel, 190, 50);
    EXPECT_FALSE(panel->MenuButtonHot()) << "in the client area";

    Input::Move(*panel, 190, 10);
    Input::Click(*panel, 190, 10);
    ASSERT_TRUE(menu.Showing());
    const QPoint corner =
        panel->mapToGlobal(QPoint(panel->ClientOrigin().X + 200 - 8, panel->ClientOrigin().Y));
    EXPECT_EQ(menu.PopupPoint(), Point(corner.x(), corner.y()));
    EXPECT_EQ(menu.Alignment(), paRight);
    menu.CloseMenu();

    Input::Leave(*panel);
    EXPECT_FALSE(panel->MenuButtonHot());

    panel->SetPopupMenu(nullptr);
    Input::Move(*panel, 190, 10);
    Input::Click(*panel, 190, 10);
    EXPECT_FALSE(menu.Showing());
}

TEST(KldAppPanel, AFreedPopupMenuIsNoLongerOpened)
{
    TKldAppPanel panel;
    {
        TPopupMenu menu;
        panel.SetPopupMenu(&menu);
        EXPECT_EQ(panel.PopupMenu(), &menu);
    }
    EXPECT_EQ(panel.PopupMenu(), nullptr);
}

TEST(KldAppPanel, MissingPicturesRaise)
{
    TCustomImageList list(35, 15);
    EXPECT_EQ(ErrorOf([&] {
                  LoadPngImages(list, {"PNG_APPPANEL_MENU", "PNG_NO_SUCH_PICTURE"});
              }),
              "Error loading resource");
    EXPECT_EQ(KldAppPanelMenuImages().Count(), 2);
}

} // namespace
