// The notification center's rules: layout, hit tests, selection, the item
// event, the toast's cycle by driven ticks, the bubble and the date line.
#include "Components/Controller/notifications/NotifyRules.h"
#include "platform/DateUtils.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

// Text height: 14 pixels a line, a line per 10 characters.
int32_t Lines(const std::string& text, int32_t) { return 14 * static_cast<int32_t>(1 + text.size() / 10); }

struct ListFixture
{
    TNotifications list;
    TNotifyListState state;
    ListFixture(int count, int clientHeight = 200)
    {
        for (int i = 0; i < count; ++i)
            list.NewItem(i % 2 ? "a text of twenty ch" : "short", 100 + i);
        state.List = &list;
        state.ClientWidth = 298;
        state.ClientHeight = clientHeight;
        state.Layout(Lines);
    }
};

} // namespace

TEST(NotifyRules, AutoUpdateBelowASecondIsOff)
{
    EXPECT_EQ(NotifyAutoUpdateInterval(999), 0);
    EXPECT_EQ(NotifyAutoUpdateInterval(1000), 1000);
    EXPECT_EQ(NotifyAutoUpdateInterval(600000), 600000);
    EXPECT_EQ(NotifyAutoUpdateInterval(-5), 0);
}

TEST(NotifyRules, BubbleRegionAndPlace)
{
    const TNotifyBubble b = NotifyBubble(Rect(100, 49, 900, 600), 300, true);
    EXPECT_EQ(b.Bounds, Rect(600, 49, 900, 600));
    const std::vector<TPoint> right = {{0, 8}, {274, 8}, {282, 0}, {290, 8}, {300, 8}, {300, 551}, {0, 551}, {0, 8}};
    EXPECT_EQ(b.Region, right);
    const TNotifyBubble l = NotifyBubble(Rect(100, 49, 900, 149), 300, false);
    EXPECT_EQ(l.Bounds, Rect(100, 49, 400, 149));
    EXPECT_EQ(l.Region[1], (TPoint{10, 8}));
    EXPECT_EQ(l.Region[2], (TPoint{18, 0}));
}

TEST(NotifyRules, DateLineTodayAndEarlier)
{
    const TDateTime today = EncodeDateTime(2026, 12, 11, 15, 0, 0, 0);
    const TDateTime morning = EncodeDateTime(2026, 12, 11, 8, 5, 0, 0);
    const TDateTime yesterday = EncodeDateTime(2026, 12, 10, 8, 5, 0, 0);
    EXPECT_EQ(NotifyDateLine(morning, today), "At " + FormatDateTime("t", morning));
    EXPECT_EQ(NotifyDateLine(yesterday, today),
              "On " + FormatDateTime("ddddd", yesterday) + " at " + FormatDateTime("t", yesterday));
}

TEST(NotifyRules, LayoutStacksItemsMeasuredInTheNarrowedWidth)
{
    ListFixture f(3);
    int32_t seenWidth = 0;
    f.state.Layout([&](const std::string& t, int32_t w) {
        seenWidth = w;
        return Lines(t, w);
    });
    EXPECT_EQ(seenWidth, 298 - 56);
    EXPECT_EQ(f.list[0]->Top, 0);
    EXPECT_EQ(f.list[0]->Height, 14 + 58);
    EXPECT_EQ(f.list[1]->Top, 72);
    EXPECT_EQ(f.list[1]->Height, 28 + 58);
    EXPECT_EQ(f.list[2]->Top, 158);
    EXPECT_EQ(f.state.Total, 230);
    // Layout clears hot and selected and clamps the offset.
    f.state.Selected = 1;
    f.state.HotIndex = 2;
    f.state.Offset = 500;
    f.state.Layout(Lines);
    EXPECT_EQ(f.state.Selected, -1);
    EXPECT_EQ(f.state.HotIndex, -1);
    EXPECT_EQ(f.state.Offset, 30);
}

TEST(NotifyRules, HitTests)
{
    ListFixture f(3);
    f.state.Offset = 10;
    struct Case { TPoint p; int item; TNotifyItemElement element; };
    using E = TNotifyItemElement;
    // Item 1 spans 72..158 in the list, 62..148 on screen; shrunk by 8:
    // 8..290 across and 70..140 down.
    const Case cases[] = {
        {{100, 61}, 0, E::elNone},   // item 0's bottom margin
        {{100, 62}, 1, E::elNone},   // item 1, inside the 8-pixel margin
        {{100, 70}, 1, E::elText},
        {{281, 80}, 1, E::elIgnore}, // right of 290-16, above 70+16
        {{283, 86}, 1, E::elNone},   // below the glyph, right of the text
        {{281, 100}, 1, E::elText},
        {{282, 100}, 1, E::elNone},
        {{7, 100}, 1, E::elNone},
        {{100, 139}, 1, E::elText},
        {{100, 140}, 1, E::elNone},
        {{100, 221}, -1, E::elNone}, // below every item
    };
    for (const Case& c : cases) {
        const int idx = f.state.ItemAtPos(c.p);
        EXPECT_EQ(idx, c.item) << c.p.X << "," << c.p.Y;
        EXPECT_EQ(f.state.ElementAtPos(idx, c.p), c.element) << c.p.X << "," << c.p.Y;
    }
    EXPECT_EQ(f.state.ElementAtPos(7, {100, 100}), E::elNone);
    EXPECT_TRUE(f.state.MouseMove({100, 100}));
    EXPECT_FALSE(f.state.MouseMove({101, 100}));
    EXPECT_EQ(f.state.HotIndex, 1);
}

TEST(NotifyRules, SelectionClampsAndScrollsIntoView)
{
    ListFixture f(6, 100); // heights 72, 86, 72, 86, 72, 86: total 474
    EXPECT_EQ(f.state.Total, 474);
    f.state.Select(3); // top 230, height 86 at most 90: offset 230+86-100
    EXPECT_EQ(f.state.Selected, 3);
    EXPECT_EQ(f.state.Offset, 216);
    f.state.Select(0);
    EXPECT_EQ(f.state.Offset, 0);
    f.state.Select(99);
    EXPECT_EQ(f.state.Selected, 5);
    EXPECT_EQ(f.state.Offset, 374);
    f.state.Select(-4);
    EXPECT_EQ(f.state.Selected, 0);

    ListFixture tall(1, 40); // an item taller than the control: its top shows
    tall.state.Select(0);
    EXPECT_EQ(tall.state.Offset, 0);
    ListFixture empty(0);
    empty.state.Select(0);
    EXPECT_EQ(empty.state.Selected, -1);
}

TEST(NotifyRules, ItemEventDeletesAcceptedItemsAndKeepsOnFailure)
{
    ListFixture f(3);
    using E = TNotifyItemElement;
    std::vector<std::pair<int, E>> calls;
    auto record = [&](TNotifyItem* item, E e, bool& accepted) {
        calls.push_back({item->Counter, e});
        accepted = item->Counter != 101;
    };
    f.state.Select(2);
    f.state.DoItemEvent(2, E::elIgnore, record);
    EXPECT_EQ(f.list.Count(), 2);
    EXPECT_EQ(f.state.Selected, 1);
    f.state.DoItemEvent(1, E::elText, record); // not accepted: stays
    EXPECT_EQ(f.list.Count(), 2);
    f.state.DoItemEvent(1, E::elNone, record);
    f.state.DoItemEvent(5, E::elText, record);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_THROW(f.state.DoItemEvent(0, E::elIgnore,
                                     [](TNotifyItem*, E, bool&) { throw std::runtime_error("dismissal failed"); }),
                 std::runtime_error);
    EXPECT_EQ(f.list.Count(), 2);
    // Delete with nothing selected does nothing.
    ListFixture g(2);
    g.state.DoItemEvent(g.state.Selected, E::elIgnore, record);
    EXPECT_EQ(g.list.Count(), 2);
}

TEST(NotifyRules, ThreeToastsFortySixTicksApart)
{
    TNotifications list;
    for (int i = 0; i < 3; ++i)
        list.NewItem("n" + std::to_string(i), 10 + i);
    TNotifyToastCycle toast;
    toast.Check(list, false);
    EXPECT_FALSE(toast.Running); // not armed: no toast
    toast.Armed = true;
    toast.Check(list, false);
    ASSERT_TRUE(toast.Running);

    std::vector<int> shownAt;
    std::vector<std::pair<int, int>> alphaAt;
    std::vector<int> hiddenAt;
    int lastCounter = -1;
    bool wasVisible = false;
    for (int tick = 0; tick < 200 && toast.Running; ++tick) {
        const int elapsed = toast.Elapsed;
        const int alpha = toast.Alpha;
        toast.Tick(list);
        if (toast.Visible && toast.Shown.Counter != lastCounter) {
            shownAt.push_back(tick);
            lastCounter = toast.Shown.Counter;
        }
        if (toast.Alpha != alpha)
            alphaAt.push_back({elapsed, toast.Alpha});
        if (wasVisible && !toast.Visible)
            hiddenAt.push_back(elapsed);
        wasVisible = toast.Visible;
    }
    EXPECT_EQ(shownAt, (std::vector<int>{0, 46, 92}));
    EXPECT_EQ(hiddenAt, (std::vector<int>{4300, 4300, 4300}));
    EXPECT_EQ(alphaAt, (std::vector<std::pair<int, int>>{
                           {4100, 150}, {4200, 100}, {0, 255}, {4100, 150}, {4200, 100}, {0, 255}, {4100, 150}, {4200, 100}}));
    EXPECT_FALSE(toast.Running); // the fourth look finds nothing new
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(list[i]->New());
}

TEST(NotifyRules, SeenWhenTheCenterShowsAndClosingUpSelectsTheToastsItem)
{
    TNotifications list;
    list.NewItem("a", 1);
    list.NewItem("b", 2);
    TNotifyToastCycle toast;
    toast.Armed = true;
    toast.Check(list, true);
    EXPECT_FALSE(toast.Running);
    EXPECT_FALSE(list[0]->New());
    list[1]->SetNew(true);
    toast.Check(list, false);
    toast.Tick(list);
    EXPECT_TRUE(toast.Visible);
    EXPECT_EQ(toast.CloseUp(list), 1);
    EXPECT_FALSE(toast.Visible);
    EXPECT_FALSE(toast.Running);
    list.DeleteItem(2);
    EXPECT_EQ(toast.CloseUp(list), -1);

    using E = TNotifyItemElement;
    EXPECT_EQ(TNotifyToastCycle::HitTest({100, 40}, 300, 80), E::elText);
    EXPECT_EQ(TNotifyToastCycle::HitTest({285, 40}, 300, 80), E::elIgnore);
    EXPECT_EQ(TNotifyToastCycle::HitTest({285, 60}, 300, 80), E::elText);
    EXPECT_EQ(TNotifyToastCycle::HitTest({100, 120}, 300, 80), E::elNone);
    EXPECT_EQ(TNotifyToastCycle::HitTest({4, 60}, 300, 80), E::elNone);
}
