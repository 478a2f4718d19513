#include "ui/KldAppInfoBar.h"

#include "support/ErrorOf.h"
#include "support/GuiProbe.h"
#include "support/TestFont.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A bar placed in a window, measuring in the test font.
struct TBar
{
    TBar()
    {
        Host.resize(400, 24);
        Bar = new TKldAppInfoBar(&Host);
        Bar->SetBounds(0, 0, 400, 24);
        UseTestFont(Bar->Font());
        Bar->Font().SetColor(clBlack);
    }
    TKldAppInfoItem* Add(const std::string& name, const std::string& caption)
    {
        TKldAppInfoItem* item = Bar->Items().Add();
        item->SetName(name);
        item->SetCaption(caption);
        return item;
    }
    QWidget Host;
    TKldAppInfoBar* Bar;
};

std::unique_ptr<TCustomImageList> Pictures16()
{
    auto list = std::make_unique<TCustomImageList>(16, 16);
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    list->Add(red);
    return list;
}

TEST(KldAppInfoBar, SpacingNeverFallsBelowTheSpacer)
{
    TBar b;
    b.Bar->SetSpacer(1);
    b.Bar->SetSpacing(6);
    b.Bar->SetSpacing(0);
    EXPECT_EQ(b.Bar->Spacing(), 1);
    b.Bar->SetSpacer(4);
    EXPECT_EQ(b.Bar->Spacing(), 4) << "raised to a wider spacer";
    b.Bar->SetSpacer(2);
    EXPECT_EQ(b.Bar->Spacing(), 4) << "a narrower spacer leaves it";
}

TEST(KldAppInfoBar, WidthsAndLefts)
{
    TBar b;
    const auto pictures = Pictures16();
    b.Bar->SetImages(pictures.get());
    b.Bar->SetPadding(8);
    b.Bar->SetSpacing(6);
    TKldAppInfoItem* user = b.Add("user", "Anna Berg");
    TKldAppInfoItem* home = b.Add("home", "Lindenhof");
    TKldAppInfoItem* fixed = b.Add("db", "Main");
    user->SetImageIndex(0);
    fixed->SetAutoWidth(false);
    fixed->SetWidth(90);

    const int userWidth = TestTextWidth("Anna Berg") + 16 + 4 + 16 + 4;
    const int homeWidth = TestTextWidth("Lindenhof") + 16 + 4;
    EXPECT_EQ(user->Width(), userWidth) << "text + picture + 4 + 2 x padding + 4";
    EXPECT_EQ(home->Width(), homeWidth);
    EXPECT_EQ(fixed->Width(), 90);
    EXPECT_EQ(user->Left(), 0);
    EXPECT_EQ(home->Left(), userWidth + 6);
    EXPECT_EQ(fixed->Left(), userWidth + 6 + homeWidth + 6);

    home->SetWidth(10);
    EXPECT_EQ(home->Width(), homeWidth) << "an auto-width item ignores Width";
    home->SetFontStyle({fsBold});
    EXPECT_EQ(home->Width(), TestTextWidth("Lindenhof", {fsBold}) + 16 + 4);
    home->SetImageIndex(5);
    EXPECT_EQ(home->Width(), TestTextWidth("Lindenhof", {fsBold}) + 16 + 4)
        << "an invalid picture adds nothing";

    b.Bar->SetMargin(3);
    const TRect cell = b.Bar->CellRect(*fixed);
    EXPECT_EQ(cell, Rect(fixed->Left() + 3, 3, fixed->Left() + 93, 21));
}

TEST(KldAppInfoBar, LayoutWaitsForAParentAndForTheEndOfAnUpdate)
{
    QWidget host; // outlives the bar, which it receives later
    TKldAppInfoBar lone;
    UseTestFont(lone.Font());
    TKldAppInfoItem* item = lone.Items().Add();
    item->SetCaption("Text");
    EXPECT_EQ(item->Width(), 50) << "no parent: no layout";
    lone.setParent(&host);
    lone.UpdateLayout();
    EXPECT_EQ(item->Width(), TestTextWidth("Text") + 4);

    TBar b;
    b.Bar->Items().BeginUpdate();
    TKldAppInfoItem* a = b.Add("a", "Alpha");
    TKldAppInfoItem* c = b.Add("c", "Gamma");
    EXPECT_EQ(c->Left(), 0);
    b.Bar->Items().EndUpdate();
    EXPECT_EQ(c->Left(), a->Width());

    b.Bar->Font().SetStyle({fsBold});
    EXPECT_EQ(a->Width(), TestTextWidth("Alpha", {fsBold}) + 4) << "a font change re-lays out";
}

TEST(KldAppInfoBar, NamesAreUniqueWithoutRegardToCase)
{
    TBar b;
    TKldAppInfoItem* a = b.Add("User", "Anna");
    TKldAppInfoItem* c = b.Add("Base", "Main");
    EXPECT_EQ(ErrorOf([&] { c->SetName("USER"); }), "Duplicate item name USER");
    EXPECT_EQ(c->Name(), "Base");
    a->SetName("user");
    EXPECT_EQ(a->Name(), "User") << "its own name in another case changes nothing";
    EXPECT_EQ(b.Bar->Items().FindByName("BASE"), c);
    EXPECT_EQ(b.Bar->Items().FindByName("none"), nullptr);

    EXPECT_EQ(a->GetDisplayName(), "Anna");
    a->SetCaption("");
    EXPECT_EQ(a->GetDisplayName(), "TKldAppInfoItem - 0");
}

TEST(KldAppInfoBar, AssigningCopiesItemsAndBackground)
{
    TBar from;
    from.Bar->SetColor(0, clRed);
    from.Bar->SetColor(1, clBlue);
    TKldAppInfoItem* item = from.Add("user", "Anna");
    item->SetTransparent(false);
    item->SetColorA(clYellow);
    item->SetBorder({sLeft});
    item->SetTag(9);
    item->SetFontStyle({fsItalic});
    item->SetAlignment(taCenter);

    TBar to;
    to.Bar->Assign(*from.Bar);
    EXPECT_EQ(to.Bar->ColorA(), clRed);
    EXPECT_EQ(to.Bar->ColorB(), clBlue);
    ASSERT_EQ(to.Bar->Items().Count(), 1);
    const TKldAppInfoItem* copy = to.Bar->Items().Items(0);
    EXPECT_EQ(copy->Name(), "user");
    EXPECT_EQ(copy->Caption(), "Anna");
    EXPECT_FALSE(copy->Transparent());
    EXPECT_EQ(copy->ColorA(), clYellow);
    EXPECT_EQ(copy->Border(), TSides{sLeft});
    EXPECT_EQ(copy->Tag(), 9);
    EXPECT_EQ(copy->FontStyle(), TFontStyles{fsItalic});
    EXPECT_EQ(copy->Alignment(), taCenter);
    EXPECT_EQ(copy->Width(), TestTextWidth("Anna", {fsItalic}) + 4) << "re-laid out";
}

TEST(KldAppInfoBar, Painting)
{
    TBar b;
    b.Bar->SetColor(0, clWhite);
    b.Bar->SetColor(1, clWhite);
    b.Bar->SetSpacer(2);
    b.Bar->SetSpacing(8);
    b.Bar->SetSpacerColor(0, clGreen);
    b.Bar->SetSpacerColor(1, clGreen);
    b.Bar->SetSpacerMargin(1);
    TKldAppInfoItem* first = b.Add("a", "MMMM");
    TKldAppInfoItem* second = b.Add("b", "MMMM");
    second->SetTransparent(false);
    second->SetColorA(clYellow);
    second->SetColorB(clYellow);
    second->SetFontColor(clRed);
    second->SetBorder(AllSides);
    second->SetBorderColor(clBlue);
    first->SetFontColor(clRed); // transparent: the bar's font colour wins
    b.Host.show();
    const QImage image = Grab(*b.Bar);

    auto has = [&](int x0, int x1, TColor colour) {
        for (int x = x0; x < x1; ++x)
            for (int y = 0; y < 24; ++y)
                if (PixelOf(image, x, y) == colour)
                    return true;
        return false;
    };
    const int w = first->Width();
    EXPECT_TRUE(has(0, w, clBlack)) << "the transparent item's text is the bar's colour";
    EXPECT_FALSE(has(0, w, clRed));
    EXPECT_FALSE(has(0, w, clGreen)) << "no spacer before the first item";
    EXPECT_TRUE(has(second->Left(), second->Left() + second->Width(), clRed));
    EXPECT_EQ(PixelOf(image, second->Left(), 12), clBlue) << "border";
    EXPECT_EQ(PixelOf(image, second->Left() + 1, 2), clYellow) << "background";

    // The spacer: 2 pixels centred in the 8-pixel gap, 2 pixels short at
    // top and bottom.
    const int gap = second->Left() - 8;
    EXPECT_EQ(PixelOf(image, gap + 2, 12), clWhite);
    EXPECT_EQ(PixelOf(image, gap + 3, 12), clGreen);
    EXPECT_EQ(PixelOf(image, gap + 4, 12), clGreen);
    EXPECT_EQ(PixelOf(image, gap + 5, 12), clWhite);
    EXPECT_EQ(PixelOf(image, gap + 3, 1), clWhite);
    EXPECT_EQ(PixelOf(image, gap + 3, 2), clGreen);
    EXPECT_EQ(PixelOf(image, gap + 3, 21), clGreen);
    EXPECT_EQ(PixelOf(image, gap + 3, 22), clWhite);
}

TEST(KldAppInfoBar, PicturesLeftOrRight)
{
    TBar b;
    const auto pictures = Pictures16();
    b.Bar->SetImages(pictures.get());
    b.Bar->SetPadding(3);
    b.Bar->SetColor(0, clWhite);
    b.Bar->SetColor(1, clWhite);
    TKldAppInfoItem* left = b.Add("l", "Left");
    left->SetImageIndex(0);
    TKldAppInfoItem* right = b.Add("r", "Right");
    right->SetImageIndex(0);
    right->SetImagePosition(ipRight);
    b.Host.show();
    const QImage image = Grab(*b.Bar);
    EXPECT_EQ(PixelOf(image, left->Left() + 3, 12), clRed);
    EXPECT_EQ(PixelOf(image, left->Left() + 2, 12), clWhite);
    const int rightEnd = right->Left() + right->Width() - 3;
    EXPECT_EQ(PixelOf(image, rightEnd - 1, 12), clRed);
    EXPECT_EQ(PixelOf(image, rightEnd, 12), clWhite);
    EXPECT_EQ(PixelOf(image, rightEnd - 16, 4), clRed) << "centred vertically: rows 4 to 19";
    EXPECT_EQ(PixelOf(image, rightEnd - 16, 3), clWhite);
}

} // namespace
