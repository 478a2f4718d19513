#include "platform/FrameControls.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

namespace {

TEST(DrawEdge, RingsSidesAndAdjust)
{
    TImageCanvas img(20, 10, clRed);
    TRect r = Rect(0, 0, 20, 10);
    ASSERT_TRUE(DrawEdge(img.Canvas(), r, BDR_RAISEDINNER, BF_LEFT | BF_RIGHT | BF_BOTTOM | BF_ADJUST));
    EXPECT_EQ(img.Pixel(0, 5), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(img.Pixel(19, 5), ColorToRGB(clBtnShadow));
    EXPECT_EQ(img.Pixel(5, 9), ColorToRGB(clBtnShadow));
    EXPECT_EQ(img.Pixel(5, 0), clRed) << "the top was not asked for";
    EXPECT_EQ(r, Rect(1, 0, 19, 9));

    // Etched: the outer ring sunken, the inner raised; along the bottom the
    // outer ring's light colour lies below the inner ring's dark one.
    TRect e = Rect(0, 0, 20, 10);
    DrawEdge(img.Canvas(), e, EDGE_ETCHED, BF_BOTTOM | BF_SOFT);
    EXPECT_EQ(img.Pixel(5, 9), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(img.Pixel(5, 8), ColorToRGB(clBtnShadow));
    EXPECT_EQ(e, Rect(0, 0, 20, 10)) << "without BF_ADJUST the rectangle stays";

    TRect none = Rect(0, 0, 5, 5);
    EXPECT_FALSE(DrawEdge(img.Canvas(), none, 0, BF_RECT));
}

TEST(DrawFrameControl, FlatCheckBoxAndButtons)
{
    TImageCanvas img(40, 16, clRed);
    // A 16 x 16 slot holds a 16 x 16 box: frame, window colour, check mark.
    ASSERT_TRUE(DrawFrameControl(img.Canvas(), Rect(0, 0, 16, 16), DFC_BUTTON,
                                 DFCS_BUTTONCHECK | DFCS_FLAT | DFCS_CHECKED));
    EXPECT_EQ(img.Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(img.Pixel(15, 15), ColorToRGB(clBtnShadow));
    EXPECT_EQ(img.Pixel(2, 2), ColorToRGB(clWindow));
    int marked = 0;
    for (int y = 1; y < 15; ++y)
        for (int x = 1; x < 15; ++x)
            marked += img.Pixel(x, y) == ColorToRGB(clWindowText);
    EXPECT_GT(marked, 10);

    // Inactive and unchecked: button face inside, no mark.
    DrawFrameControl(img.Canvas(), Rect(20, 0, 36, 16), DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | DFCS_INACTIVE);
    int face = 0;
    for (int y = 1; y < 15; ++y)
        for (int x = 21; x < 35; ++x)
            face += img.Pixel(x, y) == ColorToRGB(clBtnFace);
    EXPECT_EQ(face, 14 * 14);

    TImageCanvas btn(17, 17, clRed);
    ASSERT_TRUE(DrawFrameControl(btn.Canvas(), Rect(0, 0, 17, 17), DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_FLAT));
    EXPECT_EQ(btn.Pixel(0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(btn.Pixel(2, 2), ColorToRGB(clBtnFace));
    EXPECT_EQ(btn.Pixel(8, 8), ColorToRGB(clBtnText)) << "the arrow sits in the middle";
    EXPECT_FALSE(DrawFrameControl(btn.Canvas(), Rect(0, 0, 17, 17), 99, 0));
}

} // namespace
