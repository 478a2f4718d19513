#include "base/KldCanvas.h"

#include <QColor>
#include <QPen>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// The 32-bit value of pixel (x, y) read straight from the pixel memory.
uint32_t PixelAt(TKldCanvas& canvas, int x, int y)
{
    uint32_t value = 0;
    std::memcpy(&value, canvas.Bits() + (static_cast<std::size_t>(y) * canvas.Width() + x) * 4, 4);
    return value;
}

TEST(KldCanvas, CreatesNothingUntilUsed)
{
    TKldCanvas canvas(10, 20);
    EXPECT_EQ(canvas.Width(), 10);
    EXPECT_EQ(canvas.Height(), 20);
    EXPECT_FALSE(canvas.HandleAllocated());
    EXPECT_TRUE(canvas.Bitmap().isNull());

    TKldCanvas fromPoint(QPoint(7, 3));
    EXPECT_EQ(fromPoint.Size(), QPoint(7, 3));
    EXPECT_FALSE(fromPoint.HandleAllocated());
}

TEST(KldCanvas, BitsMakeAZeroedBitmapWithoutRowPadding)
{
    TKldCanvas canvas(10, 10);
    uint8_t* bits = canvas.Bits();
    ASSERT_NE(bits, nullptr);
    EXPECT_TRUE(canvas.HandleAllocated());
    EXPECT_EQ(canvas.Bitmap().format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(canvas.Bitmap().sizeInBytes(), 400);
    EXPECT_EQ(canvas.Bitmap().bytesPerLine(), 40);
    const std::vector<uint8_t> zeros(400, 0);
    EXPECT_EQ(std::memcmp(bits, zeros.data(), zeros.size()), 0);

    // Odd widths get no padding either.
    TKldCanvas odd(3, 2);
    ASSERT_NE(odd.Bits(), nullptr);
    EXPECT_EQ(odd.Bitmap().bytesPerLine(), 12);
}

TEST(KldCanvas, RowsAreTopDown)
{
    TKldCanvas canvas(10, 10);
    QPainter& painter = canvas.Painter();
    ASSERT_TRUE(painter.isActive());
    painter.fillRect(0, 0, 1, 1, QColor(255, 0, 0)); // top left
    painter.fillRect(9, 9, 1, 1, QColor(0, 0, 255)); // bottom right
    painter.fillRect(3, 6, 1, 1, QColor(0, 255, 0)); // somewhere inside
    const uint8_t* bits = canvas.Bits();
    ASSERT_NE(bits, nullptr);

    EXPECT_EQ(PixelAt(canvas, 0, 0), 0xFFFF0000u) << "top left is the first pixel in memory";
    EXPECT_EQ(PixelAt(canvas, 9, 9), 0xFF0000FFu) << "bottom right is the last pixel in memory";
    EXPECT_EQ(PixelAt(canvas, 3, 6), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(canvas, 1, 0), 0u);
}

TEST(KldCanvas, PixelsWrittenThroughBitsShowInThePicture)
{
    TKldCanvas canvas(4, 3);
    uint8_t* bits = canvas.Bits();
    ASSERT_NE(bits, nullptr);
    const uint32_t orange = 0xFFFF8000u;
    std::memcpy(bits + (2 * 4 + 1) * 4, &orange, 4); // (1, 2)
    EXPECT_EQ(canvas.Bitmap().pixel(1, 2), orange);
    EXPECT_EQ(canvas.Bitmap().pixel(1, 0), 0u);
}

TEST(KldCanvas, SameSizeKeepsTheBitmapAndItsPicture)
{
    TKldCanvas canvas(10, 10);
    canvas.Painter().fillRect(0, 0, 10, 10, QColor(10, 20, 30));
    const uint8_t* before = canvas.Bits();
    canvas.SetSize(QPoint(10, 10));
    EXPECT_EQ(canvas.Bits(), before);
    EXPECT_EQ(PixelAt(canvas, 5, 5), 0xFF0A141Eu);
}

TEST(KldCanvas, OtherSizeMakesANewEmptyBitmap)
{
    TKldCanvas canvas(10, 10);
    canvas.Painter().fillRect(0, 0, 10, 10, QColor(10, 20, 30));
    const uint8_t* before = canvas.Bits();
    canvas.SetSize(QPoint(20, 5));
    EXPECT_EQ(canvas.Width(), 20);
    EXPECT_EQ(canvas.Height(), 5);
    EXPECT_NE(canvas.Bits(), before);
    EXPECT_EQ(canvas.Bitmap().size(), QSize(20, 5));
    EXPECT_EQ(PixelAt(canvas, 5, 2), 0u) << "the old picture is lost";
    // The painter draws into the new bitmap.
    canvas.Painter().fillRect(19, 4, 1, 1, QColor(255, 255, 255));
    EXPECT_EQ(PixelAt(canvas, 19, 4), 0xFFFFFFFFu);
}

TEST(KldCanvas, SizeChangeWithoutHandleMakesIt)
{
    TKldCanvas canvas(10, 10);
    canvas.SetSize(QPoint(4, 4));
    EXPECT_TRUE(canvas.HandleAllocated());
    EXPECT_EQ(canvas.Bitmap().size(), QSize(4, 4));
}

TEST(KldCanvas, PainterStateSurvivesASizeChange)
{
    TKldCanvas canvas(5, 5);
    canvas.Painter().setPen(QPen(QColor(1, 2, 3)));
    canvas.Painter().setBrush(QColor(4, 5, 6));
    canvas.SetSize(QPoint(6, 6));
    EXPECT_EQ(canvas.Painter().pen().color(), QColor(1, 2, 3));
    EXPECT_EQ(canvas.Painter().brush().color(), QColor(4, 5, 6));
}

TEST(KldCanvas, ZeroSizeHasNoBitmap)
{
    struct Case
    {
        const char* Desc;
        int Width;
        int Height;
    };
    const Case cases[] = {
        {"zero by zero", 0, 0},
        {"zero width", 0, 10},
        {"zero height", 10, 0},
        {"negative", -3, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldCanvas canvas(c.Width, c.Height);
        EXPECT_EQ(canvas.Bits(), nullptr);
        EXPECT_TRUE(canvas.Bitmap().isNull());
        EXPECT_FALSE(canvas.Painter().isActive());
    }
}

TEST(KldCanvas, GrowingFromZeroAndShrinkingToZero)
{
    TKldCanvas canvas(0, 0);
    EXPECT_EQ(canvas.Bits(), nullptr);
    canvas.SetSize(QPoint(2, 2));
    ASSERT_NE(canvas.Bits(), nullptr);
    EXPECT_TRUE(canvas.Painter().isActive());
    canvas.SetSize(QPoint(0, 2));
    EXPECT_EQ(canvas.Bits(), nullptr);
    EXPECT_FALSE(canvas.Painter().isActive());
}

TEST(KldCanvas, FreeContextReleasesAndTheNextUseRemakes)
{
    TKldCanvas canvas(3, 3);
    ASSERT_NE(canvas.Bits(), nullptr);
    canvas.FreeContext();
    EXPECT_FALSE(canvas.HandleAllocated());
    EXPECT_TRUE(canvas.Bitmap().isNull());
    ASSERT_NE(canvas.Bits(), nullptr);
    EXPECT_EQ(PixelAt(canvas, 2, 2), 0u);
}

TEST(KldCanvas, ACopyOfThePictureDoesNotSeparateBitsFromThePainter)
{
    TKldCanvas canvas(4, 4);
    canvas.Painter();
    const QImage copy = canvas.Bitmap();
    uint8_t* bits = canvas.Bits();
    const uint32_t white = 0xFFFFFFFFu;
    std::memcpy(bits, &white, 4);
    canvas.Painter().fillRect(1, 0, 1, 1, QColor(255, 255, 255));
    // What Bits() wrote and what the painter drew are in the same picture.
    EXPECT_EQ(canvas.Bitmap().pixel(0, 0), white);
    EXPECT_EQ(canvas.Bitmap().pixel(1, 0), white);
    EXPECT_EQ(copy.size(), QSize(4, 4));
}

} // namespace
