#include "platform/ComCtrls.h"

#include "support/GuiProbe.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

TEST(ComCtrls, TabLayout)
{
    struct Case
    {
        const char* Desc;
        std::function<void(TTabLayoutInput&)> Setup;
        std::vector<TRect> Tabs;
        TRect Display;
    };
    // Two tabs with texts 30 and 50 wide, line height 14: a row of
    // 14 + 2 x 3 + 2 = 22, tabs of 30 + 12 + 6 and 50 + 12 + 6.
    const Case cases[] = {
        {"on top", [](TTabLayoutInput&) {}, {{2, 2, 50, 24}, {50, 2, 118, 24}}, {4, 26, 196, 96}},
        {"at the bottom",
         [](TTabLayoutInput& i) { i.Position = tpBottom; },
         {{2, 76, 50, 98}, {50, 76, 118, 98}},
         {4, 4, 196, 74}},
        {"on the left",
         [](TTabLayoutInput& i) { i.Position = tpLeft; },
         {{2, 2, 24, 50}, {2, 50, 24, 118}},
         {26, 4, 196, 96}},
        {"on the right",
         [](TTabLayoutInput& i) { i.Position = tpRight; },
         {{176, 2, 198, 50}, {176, 50, 198, 118}},
         {4, 4, 174, 96}},
        {"a fixed tab width",
         [](TTabLayoutInput& i) { i.TabWidth = 20; },
         {{2, 2, 22, 24}, {22, 2, 42, 24}},
         {4, 26, 196, 96}},
        {"a fixed tab height",
         [](TTabLayoutInput& i) { i.TabHeight = 30; },
         {{2, 2, 50, 32}, {50, 2, 118, 32}},
         {4, 34, 196, 96}},
        {"padding",
         [](TTabLayoutInput& i) {
             i.Padding = {13, 0};
         },
         {{2, 2, 64, 18}, {64, 2, 146, 18}},
         {4, 20, 196, 96}},
        {"a picture on the second tab",
         [](TTabLayoutInput& i) {
             i.ImageSize = {16, 18};
             i.HasImage = {false, true};
         },
         {{2, 2, 50, 28}, {50, 2, 50 + 68 + 19, 28}},
         {4, 30, 196, 96}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TTabLayoutInput input;
        input.ClientSize = {200, 100};
        input.TextWidths = {30, 50};
        input.LineHeight = 14;
        c.Setup(input);
        const TTabLayout layout = LayoutTabs(input);
        EXPECT_EQ(layout.Tabs, c.Tabs);
        EXPECT_EQ(layout.DisplayRect, c.Display);
    }
}

TEST(ComCtrls, TabControlSelection)
{
    QWidget host;
    auto* tabs = new TTabControl(&host);
    tabs->SetBounds(0, 0, 300, 120);
    EXPECT_EQ(tabs->TabIndex(), -1);
    tabs->Tabs().Add("First");
    EXPECT_EQ(tabs->TabIndex(), 0) << "the first tab is selected when it arrives";
    tabs->Tabs().Add("Second");
    tabs->Tabs().Add("Third");

    std::vector<std::string> events;
    bool allow = false;
    tabs->OnChanging = [&](TObject*, bool& ok) {
        events.push_back("changing");
        ok = allow;
    };
    tabs->OnChange = [&](TObject*) { events.push_back("change " + std::to_string(tabs->TabIndex())); };
    host.resize(300, 120);
    host.show();

    const TRect second = tabs->TabRect(1);
    Input::Click(*tabs, second.Left + 3, second.Top + 3);
    EXPECT_EQ(tabs->TabIndex(), 0) << "refused";
    allow = true;
    Input::Click(*tabs, second.Left + 3, second.Top + 3);
    EXPECT_EQ(tabs->TabIndex(), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"changing", "changing", "change 1"}));
    EXPECT_EQ(tabs->IndexOfTabAt(second.Left, second.Top), 1);
    EXPECT_EQ(tabs->IndexOfTabAt(150, 80), -1);

    tabs->SetFocus();
    Input::Key(*tabs, Qt::Key_Right);
    EXPECT_EQ(tabs->TabIndex(), 2);
    Input::Key(*tabs, Qt::Key_Right);
    EXPECT_EQ(tabs->TabIndex(), 2) << "the last stays";

    tabs->Tabs().Delete(2);
    EXPECT_EQ(tabs->TabIndex(), 1) << "kept inside the tabs";
    tabs->Tabs().Clear();
    EXPECT_EQ(tabs->TabIndex(), -1);
    EXPECT_TRUE(tabs->TabRect(0) == TRect{});
}

TEST(ComCtrls, AlignedChildrenFillTheDisplayRect)
{
    TTabControl tabs;
    tabs.SetBounds(0, 0, 200, 100);
    tabs.Tabs().Add("A");
    auto* child = new TCustomControl(&tabs);
    child->SetAlign(alClient);
    EXPECT_EQ(child->BoundsRect(), tabs.DisplayRect());
    tabs.SetTabPosition(tpBottom);
    EXPECT_EQ(child->BoundsRect(), tabs.DisplayRect());
    EXPECT_EQ(child->BoundsRect().Top, 4);
}

TEST(ComCtrls, OwnerDrawnTabsAreDrawnByTheirHandler)
{
    QWidget host;
    auto* tabs = new TTabControl(&host);
    tabs->SetBounds(0, 0, 300, 100);
    tabs->Tabs().Add("One");
    tabs->Tabs().Add("Two");
    tabs->SetTabIndex(1);
    std::vector<std::pair<int, bool>> drawn;
    tabs->OnDrawTab = [&](TCustomTabControl* control, int index, const TRect& r, bool active) {
        EXPECT_EQ(control, tabs);
        drawn.push_back({index, active});
        control->Canvas().Brush().Color = clRed;
        control->Canvas().FillRect(r);
    };
    host.resize(300, 100);
    host.show();
    Grab(*tabs);
    EXPECT_TRUE(drawn.empty()) << "not owner-drawn yet";
    tabs->SetOwnerDraw(true);
    const QImage image = Grab(*tabs);
    EXPECT_EQ(drawn, (std::vector<std::pair<int, bool>>{{0, false}, {1, true}})) << "the selected tab last";
    const TRect first = tabs->TabRect(0);
    EXPECT_EQ(PixelOf(image, (first.Left + first.Right) / 2, (first.Top + first.Bottom) / 2), clRed);
}

TEST(ComCtrls, PagesAndTheirTabs)
{
    QWidget host;
    auto* pages = new TPageControl(&host);
    pages->SetBounds(0, 0, 300, 150);
    std::vector<TTabSheet*> sheet;
    for (const char* caption : {"A", "B", "C", "D"}) {
        auto* s = new TTabSheet(pages);
        s->SetCaption(caption);
        sheet.push_back(s);
    }
    host.resize(300, 150);
    host.show();
    EXPECT_EQ(pages->PageCount(), 4);
    EXPECT_EQ(pages->ActivePage(), sheet[0]) << "the first page is active";
    EXPECT_TRUE(sheet[0]->isVisible());
    EXPECT_FALSE(sheet[1]->isVisible());
    EXPECT_EQ(sheet[0]->BoundsRect(), pages->DisplayRect());

    // Hidden pages have no tab: tabs count the visible pages only.
    sheet[0]->SetTabVisible(false);
    sheet[1]->SetTabVisible(false);
    EXPECT_EQ(pages->TabCount(), 2);
    EXPECT_EQ(pages->TabPage(0), sheet[2]);
    EXPECT_EQ(pages->TabText(1), "D");
    EXPECT_EQ(pages->ActivePage(), sheet[2]) << "the active page lost its tab: the next one";
    EXPECT_EQ(pages->TabIndex(), 0);
    EXPECT_EQ(sheet[3]->TabIndex(), 1);
    EXPECT_EQ(sheet[0]->TabIndex(), -1);
    EXPECT_EQ(sheet[3]->PageIndex(), 3);

    std::vector<int> changes;
    pages->OnChange = [&](TObject*) { changes.push_back(pages->ActivePageIndex()); };
    const TRect second = pages->TabRect(1);
    Input::Click(*pages, second.Left + 2, second.Top + 2);
    EXPECT_EQ(pages->ActivePage(), sheet[3]);
    EXPECT_EQ(changes, std::vector<int>{3});
    EXPECT_TRUE(sheet[3]->isVisible());
    EXPECT_FALSE(sheet[2]->isVisible());

    pages->SetActivePage(sheet[0]);
    EXPECT_EQ(pages->ActivePage(), sheet[3]) << "a page without a tab cannot be active";

    delete sheet[3];
    EXPECT_EQ(pages->ActivePage(), sheet[2]) << "the one before";
    EXPECT_EQ(pages->PageCount(), 3);
    sheet[2]->SetPageIndex(0);
    EXPECT_EQ(pages->Pages(0), sheet[2]);
}

TEST(ComCtrls, APostedMessageReachesTheWindow)
{
    struct TProbe : TTabControl
    {
        void WndProc(TMessage& m) override { Messages.push_back(m.Msg); }
        std::vector<uint32_t> Messages;
    } tabs;
    ASSERT_TRUE(PostMessage(tabs.Handle(), CM_FITALLTABS, 0, 0));
    EXPECT_TRUE(tabs.Messages.empty());
    QApplication::processEvents();
    EXPECT_EQ(tabs.Messages, std::vector<uint32_t>{CM_FITALLTABS});
    EXPECT_EQ(tabs.Handle(), tabs.Handle());
}

} // namespace
