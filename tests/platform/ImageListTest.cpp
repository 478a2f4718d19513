#include "platform/ImageList.h"

#include "platform/Guarded.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A strip of `count` pictures of w x h, picture i filled with colours[i],
// with a one-pixel frame of `frame` round each.
QImage Strip(int w, int h, std::vector<QColor> colours, QColor frame)
{
    QImage strip(w * static_cast<int>(colours.size()), h, QImage::Format_RGB32);
    for (size_t i = 0; i < colours.size(); ++i) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                strip.setPixelColor(static_cast<int>(i) * w + x, y, edge ? frame : colours[i]);
            }
    }
    return strip;
}

TEST(ImageList, AddCutsAStripIntoPicturesOfTheListsSize)
{
    TImageList list(4, 3);
    EXPECT_EQ(list.Add(Strip(4, 3, {Qt::red, Qt::green, Qt::blue}, Qt::black)), 0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Add(Strip(4, 3, {Qt::yellow}, Qt::black)), 3);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.GetImage(1).pixelColor(1, 1), QColor(Qt::green));
    EXPECT_EQ(list.GetImage(1).size(), QSize(4, 3));
    EXPECT_TRUE(list.GetImage(4).isNull());
    EXPECT_EQ(list.Add(QImage()), -1);

    list.Delete(0);
    EXPECT_EQ(list.GetImage(0).pixelColor(1, 1), QColor(Qt::green));
    list.Delete(99);
    EXPECT_EQ(list.Count(), 3);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, KeyColourBecomesTransparent)
{
    struct Case
    {
        const char* Desc;
        QColor Frame;
        TColor Key;
        int FrameAlpha;
    };
    const Case cases[] = {
        {"white key", Qt::white, clWhite, 0},
        {"magenta key", QColor(255, 0, 255), clFuchsia, 0},
        {"a key the picture lacks", Qt::white, clFuchsia, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TImageList list(5, 5);
        list.AddMasked(Strip(5, 5, {Qt::red}, c.Frame), c.Key);
        const QImage p = list.GetImage(0);
        EXPECT_EQ(p.pixelColor(0, 0).alpha(), c.FrameAlpha);
        EXPECT_EQ(p.pixelColor(2, 2), QColor(Qt::red));

        TImageCanvas img(10, 10, clBlue);
        list.Draw(img.Canvas(), 2, 2, 0);
        EXPECT_EQ(img.Pixel(2, 2), c.FrameAlpha ? ColorFromQColor(c.Frame) : clBlue);
        EXPECT_EQ(img.Pixel(4, 4), clRed);
    }
}

TEST(ImageList, DisabledPicturesAreGreyAndInvalidIndicesDrawNothing)
{
    TImageList list(5, 5);
    list.Add(Strip(5, 5, {Qt::red}, Qt::red));
    TImageCanvas img(20, 10, clWhite);
    list.Draw(img.Canvas(), 0, 0, 0, false);
    const TColor grey = img.Pixel(2, 2);
    EXPECT_EQ(GetRValue(grey), GetGValue(grey));
    EXPECT_EQ(GetGValue(grey), GetBValue(grey));
    EXPECT_NE(grey, clWhite);
    list.Draw(img.Canvas(), 10, 0, 1);
    list.Draw(img.Canvas(), 10, 0, -1);
    EXPECT_EQ(img.Pixel(12, 2), clWhite);
}

TEST(ImageList, HoldersNoticeAFreedList)
{
    auto list = std::make_unique<TImageList>(16, 16);
    TImageListRef held(list.get());
    EXPECT_EQ(held.Get(), list.get());
    TGuardedRef any = TGuardedRef::Make(list.get());
    EXPECT_EQ(any.Get<TImageList>(), list.get());
    EXPECT_EQ(any.Get<TObject>(), nullptr); // stored as another type
    list.reset();
    EXPECT_EQ(held.Get(), nullptr);
    EXPECT_FALSE(held);
    EXPECT_FALSE(any.Alive());
    EXPECT_EQ(any.Get<TImageList>(), nullptr);
}

} // namespace
