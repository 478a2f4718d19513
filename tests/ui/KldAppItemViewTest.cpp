#include "ui/KldAppItemView.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A view whose visible list is given by the test (nullptr: a placeholder).
class TListView : public TKldAppItemView
{
  public:
    std::vector<TKldAppItem*> List;
    int GetVisCount() const override { return static_cast<int>(List.size()); }
    TKldAppItem* GetVisItem(int index) const override
    {
        return index >= 0 && index < static_cast<int>(List.size()) ? List[index] : nullptr;
    }
};

TEST(KldAppItemView, SetSelIdxRules)
{
    TListView view;
    TKldAppItem* a = view.Items().Add("a", -1);
    TKldAppItem* b = view.Items().Add("b", -1);
    view.List = {a, b, nullptr, nullptr, b};
    struct Step
    {
        const char* Desc;
        int Ask;
        int Expected;
    };
    const Step steps[] = {
        {"asking -1 with nothing selected selects the first", -1, 0},
        {"beyond the end: the last", 1000, 4},
        {"a placeholder falls back to the nearest earlier entry", 3, 1},
        {"-1 with an entry selected clears", -1, -1},
        {"-1 again selects the first", -1, 0},
        {"-5 clears as well", -5, -5},
        {"in range", 4, 4},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Desc);
        view.SetSelIdx(s.Ask);
        EXPECT_EQ(view.SelIdx(), s.Expected);
    }
    view.List.clear();
    view.SetSelIdx(2);
    EXPECT_EQ(view.SelIdx(), 4) << "an empty list changes nothing";
}

TEST(KldAppItemView, HotIndexAndItems)
{
    TListView view;
    for (const char* c : {"a", "b", "c", "d", "e"})
        view.List.push_back(view.Items().Add(c, -1));
    EXPECT_TRUE(view.SetCurIdx(7, false));
    EXPECT_EQ(view.CurIdx(), 7);
    EXPECT_EQ(view.GetCurItem(), nullptr);
    EXPECT_FALSE(view.SetCurIdx(7, false));
    EXPECT_TRUE(view.SetCurIdx(7, true));
    EXPECT_EQ(view.CurIdx(), 4);
    view.SetCurIdx(-3, true);
    EXPECT_EQ(view.CurIdx(), 0);
    view.SetCurItem(view.List[2]);
    EXPECT_EQ(view.CurIdx(), 2);
    view.SetCurItem(nullptr);
    EXPECT_EQ(view.CurIdx(), 2);
    view.SetSelItem(view.List[3]);
    EXPECT_EQ(view.GetSelItem(), view.List[3]);
    view.SetSelItem(nullptr);
    EXPECT_EQ(view.SelIdx(), -1);
}

TEST(KldAppItemView, CellsFillTheWorkRectangleRowByRow)
{
    TKldAppItemView view;
    view.SetBounds(0, 0, 252, 300);
    view.SetBorder({sLeft, sTop});
    view.SetItemWidth(50);
    view.SetItemHeight(40);
    for (int i = 0; i < 7; ++i)
        view.Items().Add("i", -1);
    EXPECT_EQ(view.GetWorkRect(), Rect(1, 1, 252, 300));
    EXPECT_EQ(view.GetWorkSize(), Point(251, 299));
    EXPECT_EQ(view.GetItemRect(view.Items().Items(0)), Bounds(1, 1, 50, 40));
    EXPECT_EQ(view.GetItemRect(view.Items().Items(6)), Bounds(51, 41, 50, 40)); // five columns
    EXPECT_EQ(view.GetItemRect(nullptr), TRect{});
    EXPECT_EQ(view.PosToItem({60, 50}), 6);
    EXPECT_EQ(view.PosToItem({200, 50}), -1);
    // Narrower than a cell, or cells of no width: one column.
    view.SetItemWidth(0);
    EXPECT_EQ(view.GetItemRect(view.Items().Items(2)), Bounds(1, 81, 0, 40));
    view.SetItemWidth(500);
    EXPECT_EQ(view.GetItemRect(view.Items().Items(1)), Bounds(1, 41, 500, 40));
}

TEST(KldAppItemView, ColourSetsByIndex)
{
    TKldAppItemView view;
    struct Case
    {
        int Index;
        TColor (TKldAppItemView::*Get)() const;
    };
    const Case cases[] = {
        {0, &TKldAppItemView::SelectedColorA},    {1, &TKldAppItemView::SelectedColorB},
        {2, &TKldAppItemView::SelectedFontColor}, {3, &TKldAppItemView::HighlightColorA},
        {4, &TKldAppItemView::HighlightColorB},   {5, &TKldAppItemView::HighlightFontColor},
        {6, &TKldAppItemView::SelectedPenColor},  {7, &TKldAppItemView::HighlightPenColor},
        {-1, &TKldAppItemView::ItemColorA},       {-2, &TKldAppItemView::ItemColorB},
        {-3, &TKldAppItemView::ItemPenColor},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Index);
        EXPECT_EQ((view.*c.Get)(), 0);
        view.SetColor(c.Index, 0x102030 + c.Index);
        EXPECT_EQ((view.*c.Get)(), 0x102030 + c.Index);
    }
    view.SetColor(42, clRed); // ignored
    EXPECT_EQ(view.SelectedGradientDir(), gdVert);
}

TEST(KldAppItemView, AutoSplitterEdges)
{
    struct Case
    {
        const char* Desc;
        TAlign Align;
        TPoint Pos;
        int Expected;
    };
    const TPoint size{100, 80};
    const Case cases[] = {
        {"left-aligned, 3 from the right edge", alLeft, {97, 40}, HTRIGHT},
        {"left-aligned, 5 from the right edge", alLeft, {95, 40}, HTCLIENT},
        {"left-aligned, at the left edge", alLeft, {0, 40}, HTCLIENT},
        {"right-aligned, near the left edge", alRight, {4, 40}, HTLEFT},
        {"right-aligned, 5 in", alRight, {5, 40}, HTCLIENT},
        {"top-aligned, near the bottom", alTop, {50, 79}, HTBOTTOM},
        {"bottom-aligned, near the top", alBottom, {50, 2}, HTTOP},
        {"client-aligned: no splitter", alClient, {99, 79}, HTCLIENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(AutoSplitterHitTest(c.Align, size, c.Pos), c.Expected);
    }

    QWidget host;
    host.resize(400, 300);
    auto* view = new TKldAppItemView(&host);
    view->SetWidth(100);
    view->SetAlign(alLeft);
    view->SetAutoSplitter(true);
    Input::Move(*view, 97, 40);
    EXPECT_EQ(view->cursor().shape(), Qt::SplitHCursor);
    EXPECT_EQ(view->LastMousePos(), Point(97, 40));
    Input::Move(*view, 95, 40);
    EXPECT_NE(view->cursor().shape(), Qt::SplitHCursor);
    // Dragging the edge widens the view.
    Input::Press(*view, 98, 40);
    Input::DragTo(*view, 148, 40);
    Input::Release(*view, 148, 40);
    EXPECT_EQ(view->Width(), 150);
}

TEST(KldAppItemView, BordersAndBackground)
{
    TKldAppItemView view;
    view.SetBounds(0, 0, 30, 20);
    view.SetColor(clWhite);
    view.SetBorderColor(clRed);
    view.SetBorder({sTop, sRight});
    const QImage image = Grab(view);
    EXPECT_EQ(PixelOf(image, 0, 0), clRed);
    EXPECT_EQ(PixelOf(image, 29, 0), clRed);
    EXPECT_EQ(PixelOf(image, 29, 19), clRed);
    EXPECT_EQ(PixelOf(image, 0, 19), clWhite);
    EXPECT_EQ(PixelOf(image, 10, 10), clWhite);
}

TEST(KldAppItemView, SharedPicturesAndImageLists)
{
    const TKldAppViewPictures& pictures = KldAppViewPictures();
    for (const QImage* p : {&pictures.SliderUp, &pictures.SliderDn, &pictures.SliderUpSel,
                            &pictures.SliderDnSel, &pictures.Dn, &pictures.Right})
        EXPECT_FALSE(p->isNull());
    ASSERT_NE(pictures.Small, nullptr);
    EXPECT_EQ(pictures.Small->Count(), 3);
    EXPECT_EQ(pictures.Small->Width(), 11);
    EXPECT_EQ(pictures.Small->Height(), 10);
    // White is transparent in the bitmaps.
    EXPECT_EQ(pictures.Small->GetImage(2).pixelColor(0, 0).alpha(), 0);
    // A PNG keeps its own alpha.
    EXPECT_EQ(pictures.Right.pixelColor(0, 0).alpha(), 0);

    TKldAppItemView view;
    auto list = std::make_unique<TImageList>(16, 16);
    view.SetImages(list.get());
    EXPECT_EQ(view.Images(), list.get());
    list.reset();
    EXPECT_EQ(view.Images(), nullptr);
}

TEST(KldAppItemView, ImageListsLoadEveryKindOfResource)
{
    struct Case
    {
        const char* Desc;
        TResType Type;
        const char* Name;
        TColor Key;
        int Size;
        TPoint Background; // a pixel of the picture's background
        int BackgroundAlpha;
    };
    const Case cases[] = {
        {"bitmap, white key", rtBitmap, "BMP_DROPDOWN", clWhite, 9, {0, 0}, 0},
        {"bitmap, magenta key", rtBitmap, "BMP_CLOSE_TAB", clFuchsia, 12, {0, 0}, 0},
        {"bitmap without key", rtBitmap, "BMP_PLUS", clNone, 9, {1, 1}, 255},
        {"PNG with its own alpha", rtRCData, "PNG_APPPANEL_MENU", clNone, 35, {0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TImageList list(c.Size, c.Size == 35 ? 15 : c.Size);
        ASSERT_TRUE(list.ResourceLoad(c.Type, c.Name, c.Key));
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.GetImage(0).pixelColor(c.Background.X, c.Background.Y).alpha(), c.BackgroundAlpha);
    }
    TImageList list(9, 9);
    EXPECT_FALSE(list.ResourceLoad(rtBitmap, "BMP_NO_SUCH_PICTURE", clWhite));
    EXPECT_EQ(list.Count(), 0);
}

TEST(KldAppItemView, RemovingAnItemEmptiesTheVisibleListAtOnce)
{
    // A view that lists every item of the tree and never lays out again on
    // its own, to show what a removal leaves behind.
    class TTreeView : public TKldAppItemView
    {
      public:
        bool Frozen = false;
        void AdjustContent() override
        {
            if (Frozen)
                return;
            VisibleList().clear();
            Items().BuildList(VisibleList(), false);
        }
        int GetVisCount() const override { return static_cast<int>(VisibleList().size()); }
        TKldAppItem* GetVisItem(int i) const override
        {
            return i >= 0 && i < GetVisCount() ? VisibleList()[i] : nullptr;
        }
    } view;
    TKldAppItem* group = view.Items().Add("g", -1);
    group->Items().Add("x", -1);
    EXPECT_EQ(view.GetVisCount(), 2);
    view.Frozen = true;
    view.Items().Delete(0);
    EXPECT_EQ(view.GetVisCount(), 0);
    EXPECT_EQ(view.GetVisItem(1), nullptr);
}

} // namespace
