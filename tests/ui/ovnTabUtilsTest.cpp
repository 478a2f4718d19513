#include "ui/ovnTabUtils.h"

#include "support/GuiProbe.h"
#include "support/TestFont.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(ovnTabUtils, GetVisTabIdxCountsVisiblePages)
{
    TPageControl pages;
    std::vector<TTabSheet*> sheet;
    for (int i = 0; i < 5; ++i)
        sheet.push_back(new TTabSheet(&pages));
    sheet[0]->SetTabVisible(false);
    sheet[1]->SetTabVisible(false);
    sheet[3]->SetTabVisible(false);
    EXPECT_EQ(TTabPainter::GetVisTabIdx(pages, 0), 2) << "the first two pages hidden";
    EXPECT_EQ(TTabPainter::GetVisTabIdx(pages, 1), 4);
    EXPECT_EQ(TTabPainter::GetVisTabIdx(pages, 2), -1) << "no third visible tab";
    EXPECT_EQ(TTabPainter::GetVisTabIdx(pages, -1), -1);
}

TEST(ovnTabUtils, SetTabControlTakesTabAndPageControlsOnly)
{
    TTabControl tabs;
    TPageControl pages;
    TCustomControl other;
    TabPainter->SetTabControl(&tabs);
    TabPainter->SetTabControl(&pages);
    TabPainter->SetTabControl(&other);
    TabPainter->SetTabControl(nullptr);
    EXPECT_TRUE(tabs.OwnerDraw());
    EXPECT_TRUE(static_cast<bool>(tabs.OnDrawTab));
    EXPECT_TRUE(pages.OwnerDraw());
    EXPECT_TRUE(static_cast<bool>(pages.OnDrawTab));
}

TEST(ovnTabUtils, DoPaintTab)
{
    TImageList images(10, 8);
    QImage red(10, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    images.Add(red);
    const TColor face = ColorToRGB(clBtnFace);

    TImageCanvas img(120, 30, clWhite);
    UseTestFont(img.Canvas().Font());
    img.Canvas().Font().SetColor(clBlack);
    TabPainter->DoPaintTab(img.Canvas(), &images, Rect(10, 2, 110, 28), "Tab", 0);
    EXPECT_EQ(img.Pixel(9, 10), clWhite);
    EXPECT_EQ(img.Pixel(10, 3), face) << "the button face";
    EXPECT_EQ(img.Pixel(13, 15), face);
    EXPECT_EQ(img.Pixel(14, 11), clRed) << "the picture 4 pixels in, centred: rows 11 to 18";
    EXPECT_EQ(img.Pixel(14, 10), face);
    EXPECT_EQ(img.Pixel(23, 18), clRed);
    bool text = false;
    for (int x = 10 + 10 + 6; x < 10 + 10 + 6 + TestTextWidth("Tab"); ++x)
        for (int y = 2; y < 28; ++y)
            text = text || img.Pixel(x, y) == clBlack;
    EXPECT_TRUE(text) << "the text from left + picture width + 6";
    for (int y = 2; y < 28; ++y)
        EXPECT_NE(img.Pixel(25, y), clBlack) << "nothing between picture and text, row " << y;

    TImageCanvas plain(120, 30, clWhite);
    TabPainter->DoPaintTab(plain.Canvas(), &images, Rect(10, 2, 110, 28), "Tab", 3);
    EXPECT_EQ(plain.Pixel(14, 15), face) << "an index the list does not hold draws no picture";
}

// An opaque pixel of a picture, from its middle outwards.
QPoint OpaquePixel(const QImage& picture)
{
    for (int r = 0; r < 8; ++r)
        for (int y = 8 - r; y <= 8 + r && y < picture.height(); ++y)
            for (int x = 8 - r; x <= 8 + r && x < picture.width(); ++x)
                if (x >= 0 && y >= 0 && qAlpha(picture.pixel(x, y)) == 255)
                    return {x, y};
    return {8, 8};
}

// A shown page control whose tabs the painter draws.
struct TBook
{
    explicit TBook(const char* name)
    {
        Host.resize(400, 120);
        Pages = new TPageControl(&Host);
        Pages->SetName(name);
        Pages->SetBounds(0, 0, 400, 120);
        for (int i = 0; i < 3; ++i) {
            auto* sheet = new TTabSheet(Pages);
            sheet->SetCaption("Sheet " + std::to_string(i));
            sheet->SetImageIndex(0);
        }
        TabPainter->SetTabControl(Pages);
        Host.show();
        QApplication::processEvents();
    }
    // The colour of tab I at a picture's pixel (X, Y) where the painter
    // puts a 16 x 16 picture: 4 pixels into the drawing rectangle,
    // centred vertically.
    TColor PictureSpot(const QImage& image, int i, QPoint at = {8, 8})
    {
        const TRect r = InflateRect(Pages->TabRect(i), -3, -2);
        return PixelOf(image, r.Left + 4 + at.x(), r.Top + (r.Height() - 16) / 2 + at.y());
    }
    QWidget Host;
    TPageControl* Pages;
};

TEST(ovnTabUtils, TheBookShowsMasterAndDetailOnItsFirstTwoTabs)
{
    TImageList own(16, 16);
    QImage blue(16, 16, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    own.Add(blue);

    TBook book("Book");
    book.Pages->SetImages(&own);
    const QImage image = Grab(*book.Pages);
    const QImage master = TabPainterImages().GetImage(0);
    const QImage detail = TabPainterImages().GetImage(1);
    ASSERT_FALSE(master.isNull());
    ASSERT_FALSE(detail.isNull());
    const QPoint m = OpaquePixel(master);
    const QPoint d = OpaquePixel(detail);
    EXPECT_EQ(book.PictureSpot(image, 0, m), ColorFromQColor(master.pixelColor(m)));
    EXPECT_EQ(book.PictureSpot(image, 1, d), ColorFromQColor(detail.pixelColor(d)));
    EXPECT_EQ(book.PictureSpot(image, 2), clBlue) << "the third tab keeps the control's own pictures";

    TBook other("Pages");
    other.Pages->SetImages(&own);
    EXPECT_EQ(other.PictureSpot(Grab(*other.Pages), 0), clBlue) << "only the control named Book";
}

TEST(ovnTabUtils, ABookWithoutPicturesDrawsNone)
{
    // Without pictures of its own the Book does not take the painter's: its
    // tabs look like those of any page control without pictures.
    TBook book("Book");
    TBook other("Pages");
    EXPECT_EQ(Grab(*book.Pages), Grab(*other.Pages));
}

TEST(ovnTabUtils, HiddenPagesGiveTheirTabsToTheNextVisibleOnes)
{
    TImageList own(16, 16);
    for (QColor colour : {QColor(Qt::blue), QColor(Qt::red)}) {
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(colour);
        own.Add(picture);
    }
    TBook book("Pages");
    book.Pages->SetImages(&own);
    book.Pages->Pages(0)->SetTabVisible(false);
    book.Pages->Pages(1)->SetImageIndex(1);
    const QImage image = Grab(*book.Pages);
    EXPECT_EQ(book.PictureSpot(image, 0), clRed) << "tab 0 is page 1";
    EXPECT_EQ(book.PictureSpot(image, 1), clBlue) << "tab 1 is page 2";
}

} // namespace
