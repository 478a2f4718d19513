#include "ui/KldModuleView.h"

#include "support/GuiProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The rows as "caption@top+height".
std::vector<std::string> Rows(const TKldModuleLayout& layout)
{
    std::vector<std::string> out;
    for (const TKldModuleRow& r : layout.Rows)
        out.push_back(r.Item->Caption() + "@" + std::to_string(r.Top) + "+" + std::to_string(r.Height));
    return out;
}

TKldAppItem* Module(TKldAppItems& items, const std::string& caption, std::vector<std::string> children = {},
                    bool expanded = false)
{
    TKldAppItem* m = items.Add(caption, -1);
    for (const std::string& c : children)
        m->Items().Add(c, -1);
    m->SetState(isExpanded, expanded);
    return m;
}

TKldAppItem* Group(TKldAppItems& items, const std::string& caption, const std::string& members, bool expanded)
{
    TKldAppItem* g = items.Add(caption, -1);
    g->SetState(isGroup, true);
    g->SetState(isExpanded, expanded);
    g->Items().SetMemberText(members);
    return g;
}

TEST(KldModuleView, LayoutRules)
{
    struct Case
    {
        const char* Desc;
        std::function<void(TKldAppItems&)> Fill;
        bool ByGroups;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {"modules with the children of an open one",
         [](TKldAppItems& i) {
             Module(i, "Staff", {"List", "Hidden"}, true)->Items().Items(1)->SetVisible(false);
             Module(i, "Shifts", {"Plan"}, false);
             Module(i, "Off")->SetVisible(false);
             Group(i, "Daily", "Staff", true);
         },
         false,
         {"Staff@0+70", "List@70+20", "Shifts@90+70"}},
        {"group mode: groups open and name their modules",
         [](TKldAppItems& i) {
             Module(i, "Staff", {"List"}, true);
             Module(i, "Shifts");
             Module(i, "Mail");
             Group(i, "Daily", "shifts\r\nSTAFF\r\nNobody", true);
             Group(i, "Office", "Mail", false);
         },
         true,
         {"Daily@0+30", "Shifts@30+70", "Staff@100+70", "List@170+20", "Office@190+30"}},
        {"a module named by two open groups shows under the first",
         [](TKldAppItems& i) {
             Module(i, "Mail");
             Group(i, "A", "Mail", true);
             Group(i, "B", "Mail", true);
         },
         true,
         {"A@0+30", "Mail@30+70", "B@100+30"}},
        {"two modules of one caption fill two lines",
         [](TKldAppItems& i) {
             Module(i, "Twin")->SetTag(1);
             Module(i, "Twin")->SetTag(2);
             Group(i, "A", "Twin\nTwin\nTwin", true);
         },
         true,
         {"A@0+30", "Twin@30+70", "Twin@100+70"}},
        {"group mode without a visible group is plain",
         [](TKldAppItems& i) {
             Module(i, "Staff");
             Group(i, "Daily", "Staff", true)->SetVisible(false);
         },
         true,
         {"Staff@0+70"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TKldAppItemView owner;
        c.Fill(owner.Items());
        TKldModuleLayoutParams params;
        params.ShowByGroups = c.ByGroups;
        params.ItemHeight = 70;
        params.SubItemHeight = 20;
        params.GroupItemHeight = 30;
        const TKldModuleLayout layout = LayoutModuleRows(owner.Items(), params);
        EXPECT_EQ(Rows(layout), c.Expected);
        EXPECT_EQ(layout.ContentHeight,
                  layout.Rows.empty() ? 0 : layout.Rows.back().Top + layout.Rows.back().Height);
    }
}

TEST(KldModuleView, ScrollRules)
{
    struct Case
    {
        const char* Desc;
        int Offset, RowTop, RowHeight, Expected;
    };
    // Content 700 high in a view 300 high.
    const Case cases[] = {
        {"visible: unchanged", 100, 150, 70, 100},
        {"above: its top", 200, 140, 70, 140},
        {"below: its bottom at the view's bottom", 0, 350, 70, 120},
        {"the last row: the end", 0, 630, 70, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ScrollRowIntoView(c.Offset, {nullptr, c.RowTop, c.RowHeight}, 300, 700), c.Expected);
    }
    EXPECT_EQ(ClampModuleOffset(-10, 700, 300), 0);
    EXPECT_EQ(ClampModuleOffset(1000, 700, 300), 400);
    EXPECT_EQ(ClampModuleOffset(50, 200, 300), 0);
}

class ModuleViewTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        view.SetBounds(0, 0, 200, 300);
        view.SetColor(clWhite);
        view.SetSubItemHeight(20);
        view.SetGroupItemHeight(30);
        view.OnItemSelect = [this](TObject*, TKldAppItem* item) {
            selected.push_back(item ? item->Caption() : "-");
        };
        view.OnExpand = [this](TObject*) { ++expands; };
    }
    void Modules(int count)
    {
        view.Items().BeginUpdate();
        for (int i = 0; i < count; ++i)
            Module(view.Items(), "M" + std::to_string(i), {"c1", "c2"});
        view.Items().EndUpdate();
    }
    TKldAppItem* Top(int i) { return view.Items().Items(i); }
    // A click in the middle of row `row` (at x).
    void ClickRow(int row, int x = 100)
    {
        const TRect r = view.GetItemRect(view.GetVisItem(row));
        Input::Click(view, x, (r.Top + r.Bottom) / 2);
    }

    TKldModuleView view;
    std::vector<std::string> selected;
    int expands = 0;
};

TEST_F(ModuleViewTest, WheelScrollsWithinTheContent)
{
    Modules(10); // 700 high
    EXPECT_EQ(view.ContentHeight(), 700);
    EXPECT_TRUE(Input::Wheel(view, -120, 50, 50));
    EXPECT_EQ(view.Offset(), 40);
    for (int i = 0; i < 20; ++i)
        Input::Wheel(view, -120, 50, 50);
    EXPECT_EQ(view.Offset(), 400);
    EXPECT_FALSE(view.SliderVisible(false));
    EXPECT_TRUE(view.SliderVisible(true));
    Input::Wheel(view, 120, 50, 50);
    EXPECT_EQ(view.Offset(), 360);
    EXPECT_FALSE(Input::Wheel(view, 120, 250, 50)) << "outside the client area the wheel goes on";

    TKldModuleView shortView;
    shortView.SetBounds(0, 0, 200, 300);
    Module(shortView.Items(), "only");
    Input::Wheel(shortView, -120, 50, 50);
    EXPECT_EQ(shortView.Offset(), 0);
    EXPECT_FALSE(shortView.SliderVisible(true));
    EXPECT_FALSE(shortView.SliderVisible(false));
}

TEST_F(ModuleViewTest, ClicksSelectAndOpen)
{
    Modules(3);
    ClickRow(1);
    EXPECT_EQ(view.SelIdx(), 1);
    EXPECT_TRUE(Top(1)->GetState(isExpanded)) << "the release opens the row";
    EXPECT_EQ(expands, 1);
    EXPECT_EQ(view.GetVisCount(), 5);
    // Clicking the selected, open row again: selected again, stays open.
    ClickRow(1);
    EXPECT_EQ(selected, (std::vector<std::string>{"M1", "M1"}));
    EXPECT_TRUE(Top(1)->GetState(isExpanded));
    // In the strip: closes without selecting.
    ClickRow(1, 5);
    EXPECT_FALSE(Top(1)->GetState(isExpanded));
    EXPECT_EQ(selected.size(), 2u);
    EXPECT_EQ(view.GetSelItem(), Top(1));
    // With AutoCollapse a plain click closes.
    ClickRow(1);
    view.SetAutoCollapse(true);
    ClickRow(1);
    EXPECT_FALSE(Top(1)->GetState(isExpanded));
}

TEST_F(ModuleViewTest, OpeningClosesOthersAsAllowed)
{
    view.SetShowByGroups(true);
    view.Items().BeginUpdate();
    Module(view.Items(), "A", {"a"}, true);
    Module(view.Items(), "B", {"b"}, true);
    Group(view.Items(), "G1", "A", true);
    Group(view.Items(), "G2", "B", false);
    view.Items().EndUpdate();
    // Opening a group closes only the other groups.
    view.DoExpandCollapse(view.Items().ItemByText("G2"), false);
    EXPECT_FALSE(view.Items().ItemByText("G1")->GetState(isExpanded));
    EXPECT_TRUE(view.Items().ItemByText("G2")->GetState(isExpanded));
    EXPECT_TRUE(Top(0)->GetState(isExpanded));
    EXPECT_TRUE(Top(1)->GetState(isExpanded));
    // Opening a module without AllowAllExpanded closes every other item.
    view.SetAllowAllExpanded(false);
    Top(0)->SetState(isExpanded, false);
    view.DoExpandCollapse(Top(0), false);
    EXPECT_TRUE(Top(0)->GetState(isExpanded));
    EXPECT_FALSE(Top(1)->GetState(isExpanded));
    EXPECT_FALSE(view.Items().ItemByText("G2")->GetState(isExpanded));
    // Children and leaves do not open.
    view.DoExpandCollapse(Top(0)->Items().Items(0), true);
    view.DoExpandCollapse(nullptr, true);
    EXPECT_EQ(expands, 2);
}

TEST_F(ModuleViewTest, CheckSelItemSelectsWithoutEvent)
{
    Modules(3);
    TKldAppItem* child = Top(2)->Items().Items(1);
    view.CheckSelItem(child);
    EXPECT_EQ(view.SelIdx(), 2) << "a child not listed selects its parent";
    Top(2)->SetState(isExpanded, true);
    view.CheckSelItem(child);
    EXPECT_EQ(view.SelIdx(), 4);
    view.CheckSelItem(nullptr);
    EXPECT_EQ(view.SelIdx(), -1);
    EXPECT_TRUE(selected.empty());
    // A re-layout keeps the selected item selected.
    view.SetSelIdx(2);
    Top(0)->SetState(isExpanded, true);
    EXPECT_EQ(view.GetSelItem(), Top(2));
}

TEST_F(ModuleViewTest, RemovingOtherItemsKeepsTheSelectedItemSelected)
{
    Modules(4);
    view.SetSelIdx(2);
    ASSERT_EQ(view.GetSelItem(), Top(2));
    view.Items().Delete(0);
    EXPECT_EQ(view.GetSelItem(), view.Items().ItemByText("M2")) << "a module above goes";
    EXPECT_EQ(view.SelIdx(), 1);
    // A window of an open module closes: its child row goes.
    Top(0)->SetState(isExpanded, true);
    EXPECT_EQ(view.SelIdx(), 3);
    Top(0)->Items().Delete(0);
    EXPECT_EQ(view.SelIdx(), 2);
    EXPECT_EQ(view.GetSelItem(), view.Items().ItemByText("M2"));
    // Several removals in one update.
    view.Items().BeginUpdate();
    Top(0)->Items().Delete(0);
    view.Items().Delete(0);
    view.Items().EndUpdate();
    EXPECT_EQ(view.SelIdx(), 0);
    EXPECT_EQ(view.GetSelItem(), view.Items().ItemByText("M2"));
    // The selected item itself goes: the index stays as the layout leaves it.
    view.Items().Delete(0);
    EXPECT_EQ(view.SelIdx(), 0);
    EXPECT_EQ(view.GetSelItem(), view.Items().ItemByText("M3"));
}

TEST_F(ModuleViewTest, MouseAndKeysMoveTheHotRow)
{
    Modules(10);
    Input::Enter(view, 100, 10);
    Input::Move(view, 100, 100);
    EXPECT_EQ(view.CurIdx(), 1);
    Input::Move(view, 100, 299);
    EXPECT_EQ(view.CurIdx(), 4);
    Input::Key(view, Qt::Key_End);
    EXPECT_EQ(view.CurIdx(), 9);
    EXPECT_EQ(view.Offset(), 400) << "the hot row is scrolled into view";
    Input::Key(view, Qt::Key_Up);
    EXPECT_EQ(view.CurIdx(), 8);
    Input::Key(view, Qt::Key_Home);
    EXPECT_EQ(view.CurIdx(), 0);
    EXPECT_EQ(view.Offset(), 0);
    Input::Key(view, Qt::Key_Up);
    EXPECT_EQ(view.CurIdx(), 0);
    Input::Key(view, Qt::Key_Down);
    Input::Key(view, Qt::Key_Return);
    EXPECT_EQ(view.SelIdx(), 1);
    EXPECT_EQ(selected, std::vector<std::string>{"M1"});
}

TEST_F(ModuleViewTest, ArrowsScrollAndRepeatWhilePressed)
{
    Modules(10);
    Input::Enter(view, 100, 10);
    const TRect down = view.SliderRect(false);
    const int x = (down.Left + down.Right) / 2;
    const int y = (down.Top + down.Bottom) / 2;
    Input::Move(view, x, y);
    EXPECT_EQ(view.SliderHot(), 1);
    const int hotBefore = view.CurIdx();
    Input::Press(view, x, y);
    EXPECT_EQ(view.Offset(), 40);
    EXPECT_EQ(view.AutoSlide(), 1);
    QElapsedTimer clock;
    clock.start();
    while (view.Offset() < 120 && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_GE(view.Offset(), 120) << "the 100 ms repeat goes on while pressed";
    const TKldAppItem* under = view.GetVisItem(view.PosToItem({x, y}));
    ASSERT_NE(under, nullptr);
    Input::Release(view, x, y);
    EXPECT_EQ(view.AutoSlide(), 0);
    EXPECT_FALSE(under->GetState(isExpanded)) << "releasing an arrow opens nothing beneath it";
    EXPECT_EQ(view.CurIdx(), hotBefore);
    // Clicking the arrow quickly makes double clicks: their releases open
    // nothing either, and their presses do not scroll.
    const int offset = view.Offset();
    Input::DoubleClick(view, x, y);
    EXPECT_EQ(view.Offset(), offset + 40);
    for (int i = 0; i < view.GetVisCount(); ++i)
        EXPECT_FALSE(view.GetVisItem(i)->GetState(isExpanded)) << i;
    Input::Leave(view);
    EXPECT_EQ(view.SliderHot(), 0);
}

TEST_F(ModuleViewTest, PaintsRowsAsLaidOut)
{
    view.SetSelectedColorA(clNavy);
    view.SetSelectedColorB(clNavy);
    view.SetSubColorA(clYellow);
    view.SetSubColorB(clYellow);
    view.SetShowByGroups(true);
    view.Items().BeginUpdate();
    TKldAppItem* staff = Module(view.Items(), "Staff", {"List"}, true); // child Tag -1: colour 16
    Group(view.Items(), "Daily", "Staff", true);
    Group(view.Items(), "Closed", "", false);
    view.Items().EndUpdate();
    view.SetSelItem(staff);
    // Rows: Daily 0..30, Staff 30..100, List 100..120, Closed 120..150.
    const QImage image = Grab(view);
    EXPECT_EQ(PixelOf(image, 2, 200), ShiftColor(clWhite, 8)) << "the strip";
    EXPECT_EQ(PixelOf(image, 100, 200), clWhite);
    EXPECT_EQ(PixelOf(image, 150, 35), clNavy) << "the selected module";
    EXPECT_EQ(PixelOf(image, 5, 35), ShiftColor(clWhite, 8)) << "a selected module leaves the strip";
    EXPECT_EQ(PixelOf(image, 150, 101), clYellow) << "a child row";
    EXPECT_EQ(PixelOf(image, 9, 110), KldItemColor(-1)) << "the child's colour bar";
    EXPECT_EQ(KldItemColor(-1), 0x3C14DC);
    EXPECT_EQ(PixelOf(image, 4, 135), 0x808080) << "the closed group's sign";
    EXPECT_EQ(PixelOf(image, 6, 133), 0x808080) << "a plus";
    EXPECT_EQ(PixelOf(image, 6, 13), ShiftColor(clWhite, 8)) << "an open group: a minus";
    EXPECT_EQ(PixelOf(image, 4, 15), 0x808080);
    EXPECT_EQ(PixelOf(image, 12, 149), ShiftColor(clWhite, 8)) << "the group's last line starts its gradient";
    EXPECT_LT(GetRValue(PixelOf(image, 199, 149)), GetRValue(PixelOf(image, 12, 149))) << "...and darkens";
    EXPECT_EQ(PixelOf(image, 199, 148), ShiftColor(clWhite, 8)) << "a closed group has one colour";
}

} // namespace
