#include "platform/DrawText.h"

#include "platform/Canvas.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every character is 6 pixels wide, a line 10 high, tab stops every 40.
class TFixedMeasure : public ITextMeasure
{
  public:
    int TextWidth(const QString& text) const override { return 6 * static_cast<int>(text.size()); }
    int LineHeight() const override { return 10; }
    int ExternalLeading() const override { return 2; }
    int AveCharWidth() const override { return 5; }
};

// The lines of a layout as "x,y:text" (runs joined by '|').
std::vector<std::string> Lines(const TDrawTextLayout& layout)
{
    std::vector<std::string> out;
    for (const TDrawTextLine& line : layout.Lines) {
        std::string s = std::to_string(line.Runs.front().X) + "," + std::to_string(line.Y) + ":";
        for (size_t i = 0; i < line.Runs.size(); ++i)
            s += (i ? "|" : "") + line.Runs[i].Text.toStdString();
        out.push_back(s);
    }
    return out;
}

TEST(DrawText, LayoutRules)
{
    struct Case
    {
        const char* Desc;
        const char* Text;
        TRect Rect;
        unsigned Flags;
        std::vector<std::string> Expected;
    };
    const TRect box{10, 20, 70, 60}; // 60 wide (ten characters), 40 high
    const Case cases[] = {
        {"top left", "abc", box, 0, {"10,20:abc"}},
        {"centred", "abc", box, DT_CENTER, {"31,20:abc"}},
        {"right", "abc", box, DT_RIGHT, {"52,20:abc"}},
        {"single line centred vertically", "abc", box, DT_SINGLELINE | DT_VCENTER, {"10,35:abc"}},
        {"single line at the bottom", "abc", box, DT_SINGLELINE | DT_BOTTOM, {"10,50:abc"}},
        {"vertical centre needs a single line", "abc", box, DT_VCENTER, {"10,20:abc"}},
        {"centring rounds toward zero", "abc", Rect(0, 0, 60, 5), DT_SINGLELINE | DT_VCENTER, {"0,-2:abc"}},
        {"line breaks", "ab\r\ncd\nef\rg", box, 0, {"10,20:ab", "10,30:cd", "10,40:ef", "10,50:g"}},
        {"a final break adds no line", "ab\n", box, 0, {"10,20:ab"}},
        {"single line drops breaks", "ab\r\ncd", box, DT_SINGLELINE, {"10,20:abcd"}},
        {"word break", "one two three four", box, DT_WORDBREAK, {"10,20:one two", "10,30:three four"}},
        {"a long word stays whole",
         "abcdefghijklmn x",
         box,
         DT_WORDBREAK,
         {"10,20:abcdefghijklmn", "10,30:x"}},
        {"word break keeps paragraphs", "a\nb c", box, DT_WORDBREAK, {"10,20:a", "10,30:b c"}},
        {"end ellipsis", "abcdefghijklmn", box, DT_SINGLELINE | DT_END_ELLIPSIS, {"10,20:abcdefg..."}},
        {"no ellipsis when it fits",
         "abcdefghij",
         box,
         DT_SINGLELINE | DT_END_ELLIPSIS,
         {"10,20:abcdefghij"}},
        {"prefixes", "&File && &Edit", Rect(0, 0, 200, 10), 0, {"0,0:File & Edit"}},
        {"no prefix", "&File", box, DT_NOPREFIX, {"10,20:&File"}},
        {"lone ampersand at the end", "a&", box, 0, {"10,20:a"}},
        {"tabs expanded", "ab\tc", box, DT_EXPANDTABS, {"10,20:ab|c"}},
    };
    const TFixedMeasure measure;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TDrawTextLayout layout = LayoutDrawText(measure, QString::fromUtf8(c.Text), c.Rect, c.Flags);
        EXPECT_EQ(Lines(layout), c.Expected);
    }
}

TEST(DrawText, TabsMoveToStopsOfEightAverageCharacters)
{
    const TFixedMeasure measure;
    TDrawTextLayout layout = LayoutDrawText(measure, "ab\tc\td", Rect(0, 0, 200, 10), DT_EXPANDTABS);
    ASSERT_EQ(layout.Lines.size(), 1u);
    const auto& runs = layout.Lines[0].Runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1].X, 40);
    EXPECT_EQ(runs[2].X, 80);
    EXPECT_EQ(layout.Lines[0].Width, 86);

    layout = LayoutDrawText(measure, "ab\tc", Rect(0, 0, 200, 10), 0);
    EXPECT_EQ(layout.Lines[0].Runs[1].X, 12); // a tab shows nothing
}

TEST(DrawText, AcceleratorPosition)
{
    const TFixedMeasure measure;
    const TDrawTextLayout layout = LayoutDrawText(measure, "E&xit && go", Rect(0, 0, 200, 10), 0);
    ASSERT_EQ(layout.Lines.size(), 1u);
    EXPECT_EQ(layout.Lines[0].MnemonicRun, 0);
    EXPECT_EQ(layout.Lines[0].MnemonicPos, 1);
    const TDrawTextLayout none = LayoutDrawText(measure, "E&xit", Rect(0, 0, 200, 10), DT_NOPREFIX);
    EXPECT_EQ(none.Lines[0].MnemonicRun, -1);
}

TEST(DrawText, CalcRectAndHeight)
{
    struct Case
    {
        const char* Desc;
        const char* Text;
        unsigned Flags;
        TRect Expected;
        int Height;
    };
    const TRect box{10, 20, 70, 60};
    const Case cases[] = {
        {"one line", "abc", DT_SINGLELINE, {10, 20, 28, 30}, 10},
        {"two lines", "abc\nabcdef", 0, {10, 20, 46, 40}, 20},
        {"wrapped", "one two three", DT_WORDBREAK, {10, 20, 52, 40}, 20},
        {"leading", "a\nb", DT_EXTERNALLEADING, {10, 20, 16, 44}, 24},
        {"empty single line", "", DT_SINGLELINE, {10, 20, 10, 30}, 10},
        {"empty", "", 0, {10, 20, 10, 20}, 0},
    };
    const TFixedMeasure measure;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const TDrawTextLayout layout = LayoutDrawText(measure, QString::fromUtf8(c.Text), box, c.Flags);
        EXPECT_EQ(layout.CalcRect, c.Expected);
        EXPECT_EQ(layout.Height, c.Height);
    }
    // The result of bottom-aligned text runs from the rectangle's top.
    EXPECT_EQ(LayoutDrawText(measure, "abc", box, DT_SINGLELINE | DT_BOTTOM).Height, 40);
}

TEST(DrawText, DrawsOnTheCanvasInTheFontColourAndClips)
{
    TImageCanvas img(100, 30);
    TCanvas& c = img.Canvas();
    c.Font().SetColor(clRed);
    c.Font().SetSize(14);
    TRect measure{0, 0, 0, 0};
    const int h = DrawText(c, "MMMM", measure, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(h, measure.Height());
    EXPECT_GT(measure.Width(), 20);
    // Nothing was drawn by measuring.
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(img.Pixel(x, h / 2), clWhite);

    // Text cut by a rectangle half as wide stays inside it.
    TRect r{0, 0, measure.Width() / 2, 30};
    DrawText(c, "MMMM", r, DT_SINGLELINE | DT_VCENTER);
    bool red = false;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 100; ++x) {
            const TColor p = img.Pixel(x, y);
            if (p != clWhite) {
                EXPECT_LT(x, r.Right) << "drawn outside the rectangle";
                red = red || GetRValue(p) > 200;
            }
        }
    }
    EXPECT_TRUE(red);
}

} // namespace
