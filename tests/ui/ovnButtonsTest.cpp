// The control button's picture: its alpha by state (divided by 5 while
// disabled or down, as it is under the mouse, divided by 1.4 otherwise,
// halves to even), palette pictures as they are, and the hand cursor.
#include "ui/ovnButtons.h"

#include "base/KldProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>

namespace {

QImage Picture(int alpha)
{
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(qRgba(200, 100, 50, alpha));
    return image;
}

void Enter(QWidget& w)
{
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), w.mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(&w, &event);
}

void Leave(QWidget& w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&w, &event);
}

} // namespace

TEST(ControlButton, AlphaArithmetic)
{
    struct Case
    {
        int alpha;
        double divisor;
        int expected;
    };
    const Case cases[] = {
        {255, 5.0, 51}, {255, 1.4, 182}, {0, 5.0, 0},   {0, 1.4, 0},   {1, 5.0, 0},
        {3, 5.0, 1},    {7, 1.4, 5},     {128, 5.0, 26}, {100, 1.4, 71}, {254, 1.4, 181},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaleButtonAlpha(static_cast<uint8_t>(c.alpha), c.divisor), c.expected)
            << c.alpha << " / " << c.divisor;
    // Halves go to the even neighbour: 5 / 2 is 2, 7 / 2 is 4.
    EXPECT_EQ(ScaleButtonAlpha(5, 2.0), 2);
    EXPECT_EQ(ScaleButtonAlpha(7, 2.0), 4);
}

TEST(ControlButton, PictureByStateOnTheUnpremultipliedColours)
{
    QWidget parent;
    auto* button = new TovnControlButton(&parent);
    button->SetFlat(true);
    button->resize(20, 20);
    const QImage picture = Picture(255);
    button->SetPngPicture(&picture);
    parent.show();

    auto alphaOf = [&] {
        const QImage painted = button->PaintedPicture();
        EXPECT_EQ(painted.size(), picture.size());
        return qAlpha(painted.pixel(1, 1));
    };
    EXPECT_EQ(alphaOf(), 182) << "resting";
    Enter(*button);
    EXPECT_TRUE(button->MouseOver());
    EXPECT_EQ(alphaOf(), 255) << "under the mouse";
    Leave(*button);
    EXPECT_FALSE(button->MouseOver());
    EXPECT_EQ(alphaOf(), 182);
    button->setEnabled(false);
    EXPECT_EQ(alphaOf(), 51) << "disabled";
    button->setEnabled(true);
    button->SetGroupIndex(1);
    button->SetDown(true);
    EXPECT_EQ(alphaOf(), 51) << "down";

    // The colours stay as they were: the alpha is scaled on the
    // unpremultiplied picture.
    const QRgb faded = button->PaintedPicture().pixel(0, 0);
    EXPECT_EQ(qRed(faded), 200);
    EXPECT_EQ(qGreen(faded), 100);
    EXPECT_EQ(qBlue(faded), 50);

    // Painting puts the picture in the middle, one pixel down.
    button->SetDown(false);
    const QImage shot = button->grab().toImage();
    // 20 x 20 with a 4 x 3 picture: x 8..11, y 8 + 1 .. 10 + 1.
    EXPECT_NE(shot.pixel(8, 9), shot.pixel(8, 8));
    EXPECT_EQ(shot.pixel(8, 11), shot.pixel(9, 10));
    EXPECT_NE(shot.pixel(8, 11), shot.pixel(8, 12));
}

TEST(ControlButton, PicturesWithoutAlphaGainItAndPalettePicturesStay)
{
    QImage rgb(2, 2, QImage::Format_RGB32);
    rgb.fill(qRgb(10, 20, 30));
    const QImage faded = FadeButtonPicture(rgb, 5.0);
    EXPECT_TRUE(faded.hasAlphaChannel());
    EXPECT_EQ(qAlpha(faded.pixel(0, 0)), 51);
    EXPECT_EQ(qBlue(faded.pixel(0, 0)), 30);

    QImage palette(2, 2, QImage::Format_Indexed8);
    palette.setColorTable({qRgba(10, 20, 30, 255), qRgba(0, 0, 0, 0)});
    palette.fill(0);
    const QImage kept = FadeButtonPicture(palette, 5.0);
    EXPECT_EQ(kept.format(), QImage::Format_Indexed8);
    EXPECT_EQ(qAlpha(kept.pixel(0, 0)), 255);

    // A premultiplied picture is read through its unpremultiplied colours.
    QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
    premultiplied.setPixelColor(0, 0, QColor(200, 100, 50, 128));
    const QImage fromPremultiplied = FadeButtonPicture(premultiplied, 1.4);
    EXPECT_EQ(qAlpha(fromPremultiplied.pixel(0, 0)), 91);
    EXPECT_NEAR(qRed(fromPremultiplied.pixel(0, 0)), 200, 1);
}

TEST(ControlButton, NoPictureIsNoPaintingAndAPictureClearsTheGlyph)
{
    TovnControlButton button;
    QImage glyph(3, 3, QImage::Format_ARGB32);
    glyph.fill(Qt::red);
    button.SetGlyph(glyph);
    EXPECT_TRUE(button.PaintedPicture().isNull());
    button.SetPngPicture(nullptr);
    EXPECT_FALSE(button.Glyph().isNull()) << "a null picture leaves the glyph";
    const QImage picture = Picture(255);
    button.SetPngPicture(&picture);
    EXPECT_TRUE(button.Glyph().isNull());
}

TEST(ControlButton, HandCursorOverTheInformationButton)
{
    static std::vector<int> cursors;
    cursors.clear();
    const TScreenCursorProc previous = ScreenCursorProc.exchange([](int c) { cursors.push_back(c); });
    QWidget parent;
    auto* button = new TovnControlButton(&parent);
    button->SetFlat(true);
    button->SetHandCursor(true);
    EXPECT_EQ(button->Cursor(), crHandPoint);
    parent.show();
    Enter(*button);
    Leave(*button);
    auto* plain = new TovnControlButton(&parent);
    plain->SetFlat(true);
    plain->show();
    Enter(*plain);
    Leave(*plain);
    ScreenCursorProc.store(previous);
    EXPECT_EQ(cursors, (std::vector<int>{crHandPoint, crDefault, crDefault}));
}
