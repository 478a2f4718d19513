#include "ui/KldAppletView.h"

#include "support/GuiProbe.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TKldAppItem* Group(TKldAppItems& items, const std::string& caption, int tiles)
{
    TKldAppItem* g = items.Add(caption, -1);
    for (int i = 0; i < tiles; ++i)
        g->Items().Add(caption + std::to_string(i + 1), -1);
    return g;
}

// The entries as captions, "-" for a placeholder.
std::vector<std::string> Entries(const std::vector<TKldAppItem*>& list)
{
    std::vector<std::string> out;
    for (const TKldAppItem* item : list)
        out.push_back(item ? item->Caption() : "-");
    return out;
}

TEST(KldAppletView, LayoutRules)
{
    struct Case
    {
        const char* Desc;
        std::function<void(TKldAppItems&)> Fill;
        int Columns;
        bool ShowEmptyGroups;
        int BorderRows;
        std::vector<std::string> Entries;
        int Height;
    };
    const Case cases[] = {
        {"five tiles in three columns take two rows",
         [](TKldAppItems& i) {
             Group(i, "A", 5);
             Group(i, "B", 2);
         },
         3,
         true,
         0,
         {"A1", "A2", "A3", "A4", "A5", "-", "B1", "B2", "-"},
         21 + 200 + 21 + 100},
        {"a full last row has no placeholder",
         [](TKldAppItems& i) { Group(i, "A", 4); },
         2,
         true,
         0,
         {"A1", "A2", "A3", "A4"},
         21 + 200},
        {"hidden tiles leave no gap",
         [](TKldAppItems& i) { Group(i, "A", 3)->Items().Items(1)->SetVisible(false); },
         3,
         true,
         0,
         {"A1", "A3", "-"},
         121},
        {"an empty group shown takes no height",
         [](TKldAppItems& i) {
             Group(i, "Empty", 0);
             Group(i, "A", 1);
         },
         2,
         true,
         0,
         {"A1", "-"},
         121},
        {"empty groups hidden",
         [](TKldAppItems& i) {
             Group(i, "Empty", 0);
             Group(i, "A", 1);
         },
         2,
         false,
         0,
         {"A1", "-"},
         121},
        {"a child group without children is hidden unless shown",
         [](TKldAppItems& i) {
             TKldAppItem* g = Group(i, "A", 1);
             g->Items().Add("Sub", -1)->SetState(isGroup, true);
         },
         3,
         false,
         0,
         {"A1", "-", "-"},
         121},
        {"one column", [](TKldAppItems& i) { Group(i, "A", 2); }, 1, true, 0, {"A1", "A2"}, 221},
        {"border rows count", [](TKldAppItems& i) { Group(i, "A", 1); }, 1, true, 2, {"A1"}, 123},
        {"nothing", [](TKldAppItems&) {}, 3, true, 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldAppItemView owner;
        c.Fill(owner.Items());
        TKldAppletLayoutParams params;
        params.Work = {0, 0, 300, 1000};
        params.Columns = c.Columns;
        params.ShowEmptyGroups = c.ShowEmptyGroups;
        params.BorderRows = c.BorderRows;
        const TKldAppletLayout layout = LayoutAppletGrid(owner.Items(), params);
        EXPECT_EQ(Entries(layout.Entries), c.Entries);
        EXPECT_EQ(layout.Height, c.Height);
    }
}

TEST(KldAppletView, CellsOfTilesAndGroups)
{
    TKldAppItemView owner;
    TKldAppItem* a = Group(owner.Items(), "A", 5);
    TKldAppItem* b = Group(owner.Items(), "B", 1);
    TKldAppletLayoutParams params;
    params.Work = {1, 1, 301, 1000};
    params.Columns = 3;
    LayoutAppletGrid(owner.Items(), params);
    EXPECT_EQ(a->Top(), 1);
    EXPECT_EQ(a->Left(), 1);
    EXPECT_EQ(a->Items().Items(4)->Left(), 101);
    EXPECT_EQ(a->Items().Items(4)->Top(), 1 + 21 + 100);
    EXPECT_EQ(b->Top(), 1 + 21 + 200) << "the next header starts below the second row";
    EXPECT_EQ(b->Items().Items(0)->Top(), 1 + 21 + 200 + 21);
    EXPECT_EQ(AppletColumns(299, 100), 2);
    EXPECT_EQ(AppletColumns(50, 100), 1);
    EXPECT_EQ(AppletColumns(300, 0), 1);
}

TEST(KldAppletView, HiddenEmptyGroupsStayHiddenUntilTheHostShowsThem)
{
    TKldAppletView view;
    view.SetBounds(0, 0, 300, 10);
    view.SetShowEmptyGroups(false);
    TKldAppItem* g = Group(view.Items(), "G", 1);
    g->Items().Items(0)->SetVisible(false);
    EXPECT_FALSE(g->Visible());
    EXPECT_EQ(view.Height(), 0);
    g->Items().Add("late", -1);
    EXPECT_FALSE(g->Visible());
    EXPECT_EQ(view.GetVisCount(), 0);
    g->SetVisible(true);
    EXPECT_EQ(view.GetVisCount(), 3);
    EXPECT_EQ(view.Height(), 121);
}

class AppletViewTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        host.resize(400, 500);
        view = new TKldAppletView(&host);
        view->SetWidth(300); // three columns
        view->SetColor(clWhite);
        view->OnItemSelect = [this](TObject*, TKldAppItem* item) { chosen.push_back(item->Caption()); };
    }
    void Fill()
    {
        view->Items().BeginUpdate();
        Group(view->Items(), "A", 5);
        TKldAppItem* b = Group(view->Items(), "B", 2);
        TKldAppItem* sub = b->Items().Items(0);
        sub->Items().Add("s1", -1);
        sub->Items().Add("s2", -1)->Items().Add("s21", -1);
        view->Items().EndUpdate();
    }
    TPoint Centre(int index)
    {
        const TRect r = view->GetItemRect(view->GetVisItem(index));
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }

    QWidget host;
    TKldAppletView* view = nullptr;
    std::vector<std::string> chosen;
};

TEST_F(AppletViewTest, SizesItselfToItsContent)
{
    Fill();
    EXPECT_EQ(view->Height(), 21 + 200 + 21 + 100);
    view->SetBorder({sTop, sBottom});
    view->Items().Add("C", -1);
    EXPECT_EQ(view->Height(), 21 + 200 + 21 + 100 + 2);
    view->SetWidth(200); // two columns: A takes three rows
    EXPECT_EQ(view->Height(), 21 + 300 + 21 + 100 + 2);
}

TEST_F(AppletViewTest, KeysMoveTheSelectionOverPlaceholders)
{
    Fill(); // A1..A5, -, B1 (with children), B2, -
    struct Step
    {
        const char* Desc;
        int Key;
        Qt::KeyboardModifiers Mods;
        int Expected;
    };
    const Step steps[] = {
        {"home", Qt::Key_Home, Qt::NoModifier, 0},
        {"right", Qt::Key_Right, Qt::NoModifier, 1},
        {"down a row", Qt::Key_Down, Qt::NoModifier, 4},
        {"right onto the group's last tile", Qt::Key_Right, Qt::NoModifier, 4},
        {"down into the next group's placeholder row", Qt::Key_Down, Qt::NoModifier, 7},
        {"up", Qt::Key_Up, Qt::NoModifier, 4},
        {"left", Qt::Key_Left, Qt::NoModifier, 3},
        {"end: the last tile", Qt::Key_End, Qt::NoModifier, 7},
        {"up from the first row stays at 0", Qt::Key_Home, Qt::NoModifier, 0},
        {"up at 0", Qt::Key_Up, Qt::NoModifier, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.Desc);
        Input::Key(*view, s.Key, s.Mods);
        EXPECT_EQ(view->SelIdx(), s.Expected);
    }
}

TEST_F(AppletViewTest, EnterChoosesALeafAndOpensATileWithChildren)
{
    Fill();
    view->SetSelIdx(1);
    Input::Key(*view, Qt::Key_Return);
    EXPECT_EQ(chosen, std::vector<std::string>{"A2"});
    Input::Key(*view, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(chosen.size(), 1u);
    view->SetSelIdx(6); // B1, with children
    Input::Key(*view, Qt::Key_Return);
    EXPECT_EQ(chosen.size(), 1u);
    EXPECT_TRUE(view->PopupMenu().Showing());
    view->PopupMenu().CloseMenu();
    Input::Key(*view, Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(view->PopupMenu().Showing());
    EXPECT_EQ(view->SelIdx(), 6);
    view->PopupMenu().CloseMenu();
}

TEST_F(AppletViewTest, ClicksSelectAndChoose)
{
    Fill();
    Input::Enter(*view);
    const TPoint a3 = Centre(2);
    Input::Move(*view, a3.X, a3.Y);
    EXPECT_EQ(view->CurIdx(), 2);
    Input::Click(*view, a3.X, a3.Y);
    EXPECT_EQ(view->SelIdx(), 2);
    EXPECT_TRUE(chosen.empty()) << "a single click only selects";
    Input::DoubleClick(*view, a3.X, a3.Y);
    EXPECT_EQ(chosen, std::vector<std::string>{"A3"});
    view->SetOneClickSelect(true);
    const TPoint a1 = Centre(0);
    Input::Click(*view, a1.X, a1.Y);
    EXPECT_EQ(chosen, (std::vector<std::string>{"A3", "A1"}));
    Input::Click(*view, 290, 150); // a placeholder: no tile
    EXPECT_EQ(view->SelIdx(), -1);
}

TEST_F(AppletViewTest, ThePopupShowsTheSubtreeAndChoosesByGuardedReference)
{
    Fill();
    view->SetItemWidth(120);
    view->SetWidth(360);
    TKldAppItem* b1 = view->Items().Items(1)->Items().Items(0);
    Input::Enter(*view);
    const TPoint at = Centre(view->GetItemIdx(b1));
    Input::Move(*view, at.X, at.Y);
    Input::Release(*view, at.X, at.Y); // a release over a tile with children opens it
    TPopupMenu& popup = view->PopupMenu();
    ASSERT_TRUE(popup.Showing());
    const TRect cell = view->GetItemRect(b1);
    EXPECT_EQ(popup.PopupPoint(), view->ClientToScreen({cell.Left + view->ItemPadding(), cell.Bottom}));
    ASSERT_EQ(popup.Items().Count(), 2);
    TMenuItem* s1 = popup.Items().Items(0);
    TMenuItem* s2 = popup.Items().Items(1);
    EXPECT_EQ(s1->Caption(), "s1");
    EXPECT_EQ(s2->Count(), 1) << "nested children become a sub-menu";
    EXPECT_FALSE(s2->OnClick);
    EXPECT_EQ(popup.MeasureItem(*s1), (TSize{120, 100}));

    const QList<QAction*> actions = popup.Menu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(popup.Menu()->actionGeometry(actions[0]).size(), QSize(120, 100));
    actions[0]->trigger();
    EXPECT_EQ(chosen, std::vector<std::string>{"s1"});
    // The host clears its items while the menu shows: a click chooses nothing.
    view->Items().Clear();
    actions[0]->trigger();
    EXPECT_EQ(chosen.size(), 1u);
    popup.CloseMenu();
}

TEST_F(AppletViewTest, PopupEntriesArePainted)
{
    Fill();
    view->SetSelectedColorA(clNavy);
    view->SetSelectedColorB(clBlue);
    view->SetSelectedPenColor(clRed);
    view->DoShowPopup(view->Items().Items(1)->Items().Items(0));
    TPopupMenu& popup = view->PopupMenu();
    TMenuItem* entry = popup.Items().Items(0);
    TImageCanvas plain(100, 100, clBlack);
    popup.DrawItem(*entry, plain.Canvas(), {0, 0, 100, 100}, false);
    EXPECT_EQ(plain.Pixel(1, 1), clWhite) << "not selected: the view's colour";
    EXPECT_EQ(plain.Pixel(99, 50), clWhite);
    TImageCanvas selected(100, 100, clBlack);
    popup.DrawItem(*entry, selected.Canvas(), {0, 0, 100, 100}, true);
    EXPECT_EQ(selected.Pixel(50, 0), clRed) << "the outline";
    EXPECT_EQ(selected.Pixel(2, 1), RGB(0, 0, 129)) << "one step into the gradient from colour A";
    EXPECT_EQ(GetBValue(selected.Pixel(2, 98)), 252);
    popup.CloseMenu();
}

TEST_F(AppletViewTest, DefaultTextFillsTheParentAndCanBeClicked)
{
    int clicks = 0;
    view->OnDefTextClick = [&](TObject*) { ++clicks; };
    view->SetCaption("Nothing here yet");
    view->SetShowDefaultText(true);
    EXPECT_TRUE(view->DefaultTextShown());
    EXPECT_EQ(view->Height(), 500) << "the parent's client height";
    const TRect text = view->DefaultTextClickRect();
    EXPECT_EQ(text.Left, 21);
    EXPECT_GT(text.Width(), 0);
    Input::Enter(*view);
    Input::Move(*view, text.Left + 2, text.Top + 2);
    EXPECT_TRUE(view->OverDefaultText());
    EXPECT_EQ(view->cursor().shape(), Qt::PointingHandCursor);
    Input::Click(*view, text.Left + 2, text.Top + 2);
    EXPECT_EQ(clicks, 1);
    Input::Click(*view, text.Right + 5, text.Top + 2);
    EXPECT_EQ(clicks, 1) << "beside the text nothing happens";
    Input::Move(*view, text.Right + 5, text.Top + 2);
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);

    const QImage image = Grab(*view);
    bool grey = false;
    for (int x = text.Left; x < text.Right && !grey; ++x)
        for (int y = text.Top; y < text.Bottom + 5 && !grey; ++y)
            grey = PixelOf(image, x, y) == 0x808080;
    EXPECT_TRUE(grey) << "the default text is drawn in grey";

    // Items make it go away.
    Group(view->Items(), "A", 1);
    EXPECT_FALSE(view->DefaultTextShown());
    EXPECT_EQ(view->Height(), 121);

    // A group whose tiles are all hidden takes no room and paints no header,
    // so the default text shows again.
    view->Items().Items(0)->Items().Items(0)->SetVisible(false);
    EXPECT_TRUE(view->Items().Items(0)->Visible());
    EXPECT_TRUE(view->DefaultTextShown());

    // Without a parent the view keeps its height.
    TKldAppletView lone;
    lone.SetShowDefaultText(true);
    lone.SetBounds(0, 0, 200, 77);
    EXPECT_EQ(lone.Height(), 77);
    lone.SetShowDefaultText(false);
    EXPECT_EQ(lone.Height(), 0) << "without the text an empty grid takes no room";
}

TEST_F(AppletViewTest, PaintsTilesHeadersAndColourBars)
{
    view->SetItemColorA(clSilver);
    view->SetItemColorB(clSilver);
    view->SetItemPenColor(clGray);
    view->SetSelectedColorA(clNavy);
    view->SetSelectedColorB(clNavy);
    view->SetBorderColor(clRed);
    view->SetColoredItems(true);
    Fill();
    view->SetSelIdx(1);
    const QImage image = Grab(*view);
    // Tile 0's cell is (0, 21, 100, 121): padded by 10, its bottom 1 up.
    EXPECT_EQ(PixelOf(image, 50, 60), clSilver);
    EXPECT_EQ(PixelOf(image, 5, 60), clWhite) << "the padding";
    EXPECT_EQ(PixelOf(image, 50, 31), clGray) << "the outline";
    EXPECT_EQ(PixelOf(image, 50, 120), KldItemColor(0)) << "the colour bar under tile 0";
    EXPECT_EQ(PixelOf(image, 50, 119), KldItemColor(0));
    EXPECT_EQ(PixelOf(image, 150, 120), KldItemColor(1));
    EXPECT_EQ(PixelOf(image, 150, 60), clNavy) << "the selected tile";
    // Header A: its last row carries a gradient from the border colour to
    // 0.7 of its right edge.
    EXPECT_EQ(PixelOf(image, 0, 20), clRed);
    EXPECT_EQ(PixelOf(image, 210, 20), clWhite);
    EXPECT_NE(PixelOf(image, 100, 20), clWhite);
}

TEST_F(AppletViewTest, OddSettings)
{
    Fill();
    view->SetColor(8, clRed);
    view->SetColor(9, clRed);
    view->SetItemWidth(0);
    EXPECT_EQ(view->GetColCount(), 1);
    EXPECT_EQ(view->GetVisCount(), 7 + 0); // one column: no placeholders
    EXPECT_EQ(view->CalcRowCount(5), 5);
    EXPECT_EQ(view->ItemCell(view->Items().Items(0)->Items().Items(3)), Point(0, 3));
    view->SetItemWidth(100);
    EXPECT_EQ(view->ItemCell(view->Items().Items(0)->Items().Items(4)), Point(1, 1));
    EXPECT_EQ(view->CalcChildCount(view->Items().Items(0)), 5);
    EXPECT_EQ(view->CalcGroupRect(view->Items().Items(1)), Rect(0, 221, 300, 242));
}

} // namespace
