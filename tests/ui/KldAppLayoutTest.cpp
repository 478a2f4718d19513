#include "ui/KldAppLayout.h"

#include "ui/KldAppPanel.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(KldAppLayout, PackingRule)
{
    struct Case
    {
        const char* Desc;
        std::vector<TWidgetSlot> Widgets;
        int ColCount;
        bool Uniform;
        TPoint Size;
        std::vector<TWidgetPlace> Expected;
    };
    const Case cases[] = {
        {"heights 100, 50, 80 in two columns: the third joins the shorter second column",
         {{100, 1, true}, {50, 1, true}, {80, 1, true}},
         2,
         false,
         {200, 300},
         {{0, {0, 0, 100, 300}}, {1, {100, 0, 200, 150}}, {1, {100, 150, 200, 300}}}},
        {"equal sums go to the leftmost column",
         {{50, 1, true}, {50, 1, true}, {50, 1, true}},
         3,
         false,
         {300, 90},
         {{0, {0, 0, 100, 90}}, {1, {100, 0, 200, 90}}, {2, {200, 0, 300, 90}}}},
        {"a span that does not fit from the shortest (last) column starts at column 0",
         {{100, 1, true}, {100, 1, true}, {50, 2, true}},
         3,
         false,
         {300, 300},
         {{0, {0, 0, 100, 150}}, {1, {100, 0, 200, 300}}, {0, {0, 150, 200, 300}}}},
        {"the spanned column takes the spanning column's sum",
         {{10, 2, true}, {100, 1, true}, {10, 1, true}},
         2,
         false,
         {200, 200},
         // Both sums are 10 after the span; the second goes left (100), the
         // third to column 1 (10 < 110).
         {{0, {0, 0, 200, 100}}, {0, {0, 100, 100, 200}}, {1, {100, 100, 200, 300}}}},
        {"ColSpan 5 in two columns spans both",
         {{40, 5, true}},
         2,
         false,
         {200, 100},
         {{0, {0, 0, 200, 100}}}},
        {"UniformRowHeight: counts 3 and 1 give every widget a third",
         {{10, 1, true}, {100, 1, true}, {10, 1, true}, {10, 1, true}},
         2,
         true,
         {200, 300},
         {{0, {0, 0, 100, 100}}, {1, {100, 0, 200, 100}}, {0, {0, 100, 100, 200}}, {0, {0, 200, 100, 300}}}},
        {"without UniformRowHeight the single widget fills its column",
         {{10, 1, true}, {100, 1, true}, {10, 1, true}, {10, 1, true}},
         2,
         false,
         {200, 300},
         {{0, {0, 0, 100, 100}}, {1, {100, 0, 200, 300}}, {0, {0, 100, 100, 200}}, {0, {0, 200, 100, 300}}}},
        {"hidden widgets take no place",
         {{100, 1, false}, {50, 1, true}, {80, 1, false}, {20, 1, true}},
         2,
         false,
         {200, 300},
         {{-1, {}}, {0, {0, 0, 100, 300}}, {-1, {}}, {1, {100, 0, 200, 300}}}},
        {"ColCount 0 is one column",
         {{10, 1, true}, {10, 1, true}},
         0,
         false,
         {120, 100},
         {{0, {0, 0, 120, 50}}, {0, {0, 50, 120, 100}}}},
        {"widths and heights divide without remainder",
         {{10, 1, true}, {10, 1, true}, {10, 1, true}, {10, 1, true}},
         2,
         false,
         {301, 101},
         {{0, {0, 0, 150, 50}}, {1, {150, 0, 300, 50}}, {0, {0, 50, 150, 100}}, {1, {150, 50, 300, 100}}}},
        {"a zero span counts as one", {{10, 0, true}}, 2, false, {200, 100}, {{0, {0, 0, 100, 100}}}},
        {"nothing", {}, 2, false, {200, 100}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::vector<TWidgetPlace> places = PackWidgets(c.Widgets, c.ColCount, c.Uniform, c.Size);
        ASSERT_EQ(places.size(), c.Expected.size());
        for (size_t i = 0; i < places.size(); ++i) {
            SCOPED_TRACE("widget " + std::to_string(i));
            EXPECT_EQ(places[i].Column, c.Expected[i].Column);
            EXPECT_EQ(places[i].Bounds, c.Expected[i].Bounds);
        }
    }
}

// An area panel of 200 x 300 client pixels inside a frame.
struct TArea
{
    TArea()
    {
        Panel.SetBounds(0, 0, 204, 322);
        Panel.SetBorder(AllSides);
        Panel.Padding().SetAll(1);
        Panel.SetCaptionSize(18);
        Panel.OnWidgetCreate = [this](TKldAppLayoutItem* item) {
            Events.push_back("create " + std::to_string(item->Index()) + (item->Panel() ? "" : " no panel"));
        };
        Panel.OnWidgetDelete = [this](TKldAppLayoutItem* item) {
            Events.push_back("delete " + item->Name() + (item->Panel() ? "" : " no panel"));
        };
    }
    TKldAppLayoutItem* Add(const std::string& name, int height)
    {
        TKldAppLayoutItem* item = Panel.Layout().Add();
        item->SetName(name);
        item->SetVisible(true);
        item->SetHeight(height);
        return item;
    }
    std::vector<std::string> Events; // outlives the panel, which reports into it
    TKldAppPanel Panel;
};

TEST(KldAppLayout, WidgetsLiveInTheAreaPanel)
{
    TArea area;
    ASSERT_EQ(area.Panel.ClientWidth(), 200);
    ASSERT_EQ(area.Panel.ClientHeight(), 300);
    area.Panel.Layout().SetColCount(2);

    TKldAppLayoutItem* a = area.Panel.Layout().Add();
    EXPECT_EQ(area.Events, std::vector<std::string>{"create 0"});
    EXPECT_EQ(a->Panel()->parentWidget(), &area.Panel);
    EXPECT_EQ(a->Panel()->Widget(), a);
    EXPECT_EQ(a->ColSpan(), 1);
    EXPECT_FALSE(a->GetVisible()) << "AutoVisible is off";

    area.Panel.Layout().SetAutoVisible(true);
    TKldAppLayoutItem* b = area.Add("B", 50);
    EXPECT_TRUE(b->GetVisible());
    a->SetName("A");
    a->SetVisible(true);
    a->SetHeight(100);
    // Placed in the client area, which starts inside the frame.
    EXPECT_EQ(a->GetRect(), Bounds(2, 20, 100, 300));
    EXPECT_EQ(b->GetRect(), Bounds(102, 20, 100, 300));
    EXPECT_EQ(a->Column(), 0);
    EXPECT_EQ(b->Column(), 1);

    // Resizing the area re-aligns.
    area.Panel.SetBounds(0, 0, 404, 122);
    EXPECT_EQ(b->GetRect(), Bounds(202, 20, 200, 100));

    b->SetColSpan(2);
    EXPECT_EQ(b->Column(), 0) << "two columns from column 1 do not fit";
    EXPECT_EQ(b->GetRect(), Bounds(2, 70, 400, 50));
    b->SetColSpan(0);
    EXPECT_EQ(b->ColSpan(), 2) << "ignored";

    area.Panel.Layout().SetColCount(0);
    EXPECT_EQ(area.Panel.Layout().ColCount(), 1);
    EXPECT_EQ(a->GetRect(), Bounds(2, 20, 400, 50));
    EXPECT_EQ(b->GetRect(), Bounds(2, 70, 400, 50));

    EXPECT_EQ(area.Panel.Layout().FindByName("b"), b);
    EXPECT_EQ(area.Panel.Layout().FindByName("x"), nullptr);
    b->SetTag(7);
    EXPECT_EQ(area.Panel.Layout().FindByTag(7), b);
    EXPECT_EQ(area.Panel.Layout().GetLast(), b);
}

TEST(KldAppLayout, TheHostHearsOfEachWidgetBeforeItsPanelGoes)
{
    TArea area;
    TKldAppLayoutItem* a = area.Add("A", 10);
    TKldAppLayoutItem* b = area.Add("B", 10);
    area.Add("C", 10);
    QPointer<TKldAppPanel> aPanel = a->Panel();
    QPointer<TKldAppPanel> bPanel = b->Panel();
    area.Events.clear();

    area.Panel.Layout().Delete(0);
    EXPECT_EQ(area.Events, std::vector<std::string>{"delete A"});
    EXPECT_TRUE(aPanel.isNull());

    delete b; // directly
    EXPECT_EQ(area.Events, (std::vector<std::string>{"delete A", "delete B"}));
    EXPECT_TRUE(bPanel.isNull());
    EXPECT_EQ(area.Panel.Layout().Count(), 1);
    EXPECT_EQ(area.Panel.Layout().Items(0)->GetRect(), Bounds(2, 20, 200, 300)) << "re-aligned";

    area.Panel.Layout().Clear();
    EXPECT_EQ(area.Events.back(), "delete C");
}

TEST(KldAppLayout, TheAreaPanelTakesItsWidgetsAlong)
{
    std::vector<std::string> deleted;
    QPointer<TKldAppPanel> widget;
    {
        TKldAppPanel area;
        area.OnWidgetDelete = [&](TKldAppLayoutItem* item) { deleted.push_back(item->Name()); };
        TKldAppLayoutItem* item = area.Layout().Add();
        item->SetName("W");
        widget = item->Panel();
    }
    EXPECT_EQ(deleted, std::vector<std::string>{"W"});
    EXPECT_TRUE(widget.isNull());
}

TEST(KldAppLayout, LayoutListRoundTrip)
{
    TArea area;
    TKldAppLayoutItem* a = area.Add("A", 10);
    TKldAppLayoutItem* b = area.Add("B", 10);
    TKldAppLayoutItem* c = area.Add("C", 10);
    c->SetVisible(false);

    TStringList list;
    area.Panel.Layout().GetLayout(list);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], "A");
    EXPECT_NE(list.Objects(0), nullptr);
    EXPECT_NE(list.Objects(1), nullptr);
    EXPECT_EQ(list.Objects(2), nullptr) << "C is hidden";

    // B (visible), A (hidden) and X (visible): B first, A hidden, X ignored;
    // C keeps its visibility and follows in its old order.
    c->SetVisible(true);
    TStringList lines;
    TObject visible;
    lines.AddObject("b", &visible);
    lines.AddObject("A", nullptr);
    lines.AddObject("X", &visible);
    area.Panel.Layout().SetLayout(lines);
    EXPECT_EQ(area.Panel.Layout().Items(0), b);
    EXPECT_EQ(area.Panel.Layout().Items(1), a);
    EXPECT_EQ(area.Panel.Layout().Items(2), c);
    EXPECT_FALSE(a->GetVisible());
    EXPECT_TRUE(b->GetVisible());
    EXPECT_TRUE(c->GetVisible());
    EXPECT_EQ(b->GetRect(), Bounds(2, 20, 200, 150)) << "the hidden widget gave up its room";
    EXPECT_EQ(c->GetRect(), Bounds(2, 170, 200, 150));
}

TEST(KldAppLayout, VisibilityOfTheWhole)
{
    TArea area;
    EXPECT_FALSE(area.Panel.Layout().GetVisible());
    TKldAppLayoutItem* a = area.Add("A", 10);
    area.Add("B", 10);
    EXPECT_TRUE(area.Panel.Layout().GetVisible());
    area.Panel.Layout().SetVisible(false);
    EXPECT_FALSE(area.Panel.Layout().GetVisible());
    a->SetVisible(true);
    EXPECT_TRUE(area.Panel.Layout().GetVisible());
}

} // namespace
