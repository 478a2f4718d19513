#include "ui/KldGridItems.h"

#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A column collection without a view.
struct TColumnsFixture
{
    TKldColumns Columns{nullptr};

    TKldColumn* Add(const std::string& name, int width = 70, TColumnSizingOption sizing = csoFixed)
    {
        TKldColumn* c = Columns.Add();
        c->SetName(name);
        c->SetWidth(width);
        c->SetSizingOption(sizing);
        return c;
    }
    std::vector<std::string> VisibleNames() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < Columns.GetVisCount(); ++i)
            names.push_back(Columns.GetVisColumn(i)->Name());
        return names;
    }
};

// Counts the rebuilds that the collection asks for.
class TCountingItems : public TKldGridItems
{
  public:
    TCountingItems() : TKldGridItems(nullptr, CollectionItemClass<TKldGridItem>()) {}
    void LayoutChanged() override { ++Rebuilds; }
    int Rebuilds = 0;
    int Visible() const { return GetVisCount(); }
};

TEST(GridItem, NamingRules)
{
    TKldGridItems items(nullptr, CollectionItemClass<TKldGridItem>());
    TKldGridItem* alpha = items.Add();
    TKldGridItem* beta = items.Add();
    alpha->SetName("Alpha");
    EXPECT_EQ(alpha->Caption(), "Alpha") << "an empty caption takes the new name";
    beta->SetName("Beta");

    struct Case
    {
        const char* Desc;
        TKldGridItem* Item;
        std::string NewName;
        std::string Error;
        std::string NameAfter;
    };
    const Case cases[] = {
        {"exactly the own name does nothing", alpha, "Alpha", "", "Alpha"},
        {"the own name in another letter case is a duplicate", alpha, "ALPHA", "Duplicate name: ALPHA", "Alpha"},
        {"another item's name in any case", beta, "alpha", "Duplicate name: alpha", "Beta"},
        {"a free name", beta, "Gamma", "", "Gamma"},
        {"an empty name is never a duplicate", beta, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf([&] { c.Item->SetName(c.NewName); }), c.Error);
        EXPECT_EQ(c.Item->Name(), c.NameAfter);
    }
    // A rename leaves a caption that is set alone.
    EXPECT_EQ(beta->Caption(), "Beta");
    TKldGridItem* third = items.Add();
    EXPECT_NO_THROW(third->SetName("")) << "two empty names";
    EXPECT_EQ(items.Find("ALPHA"), alpha);
    EXPECT_EQ(items.Find("nobody"), nullptr);
    EXPECT_EQ(alpha->DisplayName(), "Alpha");
}

TEST(GridItem, AssignCopiesTheDisplaySettingsOnly)
{
    TKldGridItems items(nullptr, CollectionItemClass<TKldGridItem>());
    TKldGridItem* source = items.Add();
    source->SetName("Source");
    source->SetCaption("Shown");
    source->SetAlignment(taCenter);
    source->SetTextAlignment(taRightJustify);
    source->SetVisible(false);
    source->SetColor(clYellow);
    source->SetTextColor(clRed);
    source->SetStates({csReadOnly, csEmpty});
    source->SetEditType(etValueList);
    source->ValueList().Add("a");
    source->ValueList().Add("b");
    source->SetHint("hint");
    source->SetCustom(true);
    source->SetNullable(true);

    TKldGridItem* target = items.Add();
    target->SetName("Target");
    target->SetDefaultColors(true);
    target->Assign(*source);
    EXPECT_EQ(target->Caption(), "Shown");
    EXPECT_EQ(target->Alignment(), taCenter);
    EXPECT_FALSE(target->Visible());
    EXPECT_EQ(target->Color(), clYellow);
    EXPECT_EQ(target->TextColor(), clRed);
    EXPECT_EQ(target->States(), (TKldCellStates{csReadOnly, csEmpty}));
    EXPECT_EQ(target->EditType(), etValueList);
    EXPECT_EQ(target->ValueList().Text(), "a\r\nb\r\n");
    EXPECT_EQ(target->Hint(), "hint");
    // Not copied.
    EXPECT_EQ(target->Name(), "Target");
    EXPECT_EQ(target->TextAlignment(), taLeftJustify);
    EXPECT_FALSE(target->Custom());
    EXPECT_FALSE(target->Nullable());
    EXPECT_TRUE(target->DefaultColors());

    TStringList unrelated;
    EXPECT_THROW(target->Assign(unrelated), EConvertError);
}

TEST(GridItem, ColorsAndNotices)
{
    TCountingItems items;
    TKldGridItem* item = items.Add();
    const int afterAdd = items.Rebuilds;
    EXPECT_EQ(item->Color(), clWindow) << "without a view";
    item->SetDefaultColors(true);
    item->SetColor(clWindow);
    EXPECT_FALSE(item->DefaultColors()) << "setting a colour switches the grid's colours off";
    item->SetCaption("Name");
    item->SetVisible(false);
    const int noticed = items.Rebuilds - afterAdd;
    EXPECT_EQ(noticed, 4);
    // Stored without notice.
    item->SetEditType(etCheck);
    item->SetItemState(csDisabled, true);
    item->SetCustom(true);
    item->SetNullable(true);
    item->SetHint("h");
    item->SetCaption("Name");
    EXPECT_EQ(items.Rebuilds - afterAdd, noticed);
    EXPECT_TRUE(item->Disabled());
    item->SetItemState(csDisabled, false);
    EXPECT_FALSE(item->GetItemState(csDisabled));
}

TEST(GridItems, AnUpdateEmptiesTheVisibleListAndRebuildsOnce)
{
    TColumnsFixture f;
    f.Add("A");
    f.Add("B");
    EXPECT_EQ(f.VisibleNames(), (std::vector<std::string>{"A", "B"}));
    f.Columns.BeginUpdate();
    EXPECT_EQ(f.Columns.GetVisCount(), 0) << "no columns show during an update";
    f.Add("C")->SetVisible(false);
    f.Columns.GetColumn(0)->SetWidth(10);
    f.Columns.BeginUpdate();
    f.Columns.EndUpdate();
    EXPECT_EQ(f.Columns.GetVisCount(), 0) << "still inside the outer update";
    EXPECT_TRUE(f.Columns.InUpdate());
    f.Columns.EndUpdate();
    EXPECT_EQ(f.VisibleNames(), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(f.Columns.Pending());

    TCountingItems counting;
    counting.Add();
    counting.Add();
    const int before = counting.Rebuilds;
    counting.BeginUpdate();
    counting.Add();
    counting.Delete(0);
    counting.GetItem(0)->SetCaption("x");
    counting.EndUpdate();
    EXPECT_EQ(counting.Rebuilds - before, 1);
}

TEST(GridItems, ClearNotCustomKeepsCustomItemsInOrder)
{
    TColumnsFixture f;
    f.Add("A");
    f.Add("B")->SetCustom(true);
    f.Add("C");
    f.Add("D")->SetCustom(true);
    f.Columns.ClearNotCustom();
    EXPECT_EQ(f.VisibleNames(), (std::vector<std::string>{"B", "D"}));
    // A deleted item never stays in the visible list, also for a collection
    // that does not rebuild it.
    TCountingItems counting;
    counting.Add();
    counting.Delete(0);
    EXPECT_EQ(counting.Visible(), 0);
}

TEST(Columns, LayoutTexts)
{
    struct Case
    {
        const char* Desc;
        std::string Layout;
        std::string Stored;
        std::vector<std::string> Order;
    };
    const Case cases[] = {
        {"names compared without case", "b;a", "B;A;", {"B", "A", "C", "D"}},
        {"a blank after the separator is part of the next name", "b; a", "B; A;", {"B", "A", "C", "D"}},
        {"trimmed and upper-cased as a whole", "  d;c  ", "D;C;", {"D", "C", "A", "B"}},
        {"unknown names are skipped", "x;c", "X;C;", {"C", "A", "B", "D"}},
        {"no known name changes nothing", "x;y;", "X;Y;", {"A", "B", "C", "D"}},
        {"a leading separator applies nothing", ";c", ";C;", {"A", "B", "C", "D"}},
        {"an empty layout", "", "", {"A", "B", "C", "D"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TColumnsFixture f;
        for (const char* name : {"A", "B", "C", "D"})
            f.Add(name);
        f.Columns.SetLayout(c.Layout);
        EXPECT_EQ(f.Columns.Layout(), c.Stored);
        EXPECT_EQ(f.VisibleNames(), (std::vector<std::string>{"A", "B", "C", "D"})) << "applied at the next rebuild";
        f.Columns.GetColumn(0)->SetWidth(71);
        EXPECT_EQ(f.VisibleNames(), c.Order);
    }
    // The layout also orders only the visible columns.
    TColumnsFixture f;
    for (const char* name : {"A", "B", "C"})
        f.Add(name);
    f.Columns.GetColumn(2)->SetVisible(false);
    f.Columns.SetLayout("c;b");
    f.Columns.BeginUpdate();
    f.Columns.EndUpdate();
    EXPECT_EQ(f.VisibleNames(), (std::vector<std::string>{"B", "A"}));
}

TEST(Columns, AdjustWidthTables)
{
    struct Col
    {
        int Width;
        TColumnSizingOption Sizing;
    };
    struct Case
    {
        const char* Desc;
        std::vector<Col> Cols;
        int WorkWidth;
        std::vector<int> Widths;
        std::vector<int> Lefts;
        int Total;
    };
    const Case cases[] = {
        {"fixed, auto, auto in 301: the first auto takes the remainder",
         {{100, csoFixed}, {70, csoAutoWidth}, {70, csoAutoWidth}},
         301,
         {100, 101, 100},
         {0, 100, 201},
         301},
        {"fixed, auto, auto in 110: none below 16",
         {{100, csoFixed}, {70, csoAutoWidth}, {70, csoAutoWidth}},
         110,
         {100, 16, 16},
         {0, 100, 116},
         132},
        {"no auto column keeps the widths",
         {{40, csoFixed}, {50, csoNone}},
         500,
         {40, 50},
         {0, 40},
         90},
        {"fixed wider than the view", {{300, csoFixed}, {70, csoAutoWidth}}, 200, {300, 16}, {0, 300}, 316},
        {"three auto columns share 100", {{1, csoAutoWidth}, {1, csoAutoWidth}, {1, csoAutoWidth}}, 100,
         {34, 33, 33}, {0, 34, 67}, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TColumnsFixture f;
        for (size_t i = 0; i < c.Cols.size(); ++i)
            f.Add("C" + std::to_string(i), c.Cols[i].Width, c.Cols[i].Sizing);
        f.Columns.AdjustWidth(c.WorkWidth);
        std::vector<int> widths;
        std::vector<int> lefts;
        for (int i = 0; i < f.Columns.GetVisCount(); ++i) {
            widths.push_back(f.Columns.GetVisColumn(i)->Width());
            lefts.push_back(f.Columns.GetVisColumn(i)->Left());
        }
        EXPECT_EQ(widths, c.Widths);
        EXPECT_EQ(lefts, c.Lefts);
        EXPECT_EQ(f.Columns.TotalWidth(), c.Total);
    }
}

TEST(Columns, SortedIsStoredAndSortsNothing)
{
    TColumnsFixture f;
    f.Add("Z");
    f.Add("A");
    f.Columns.SetSorted(true);
    EXPECT_TRUE(f.Columns.Sorted());
    EXPECT_EQ(f.VisibleNames(), (std::vector<std::string>{"Z", "A"}));
}

TEST(Columns, ColumnAssignAndAutoWidth)
{
    TColumnsFixture f;
    TKldColumn* source = f.Add("S", 120, csoAutoWidth);
    source->SetSortOption(isoDesc);
    source->SetColumnClick(true);
    source->SetCaption("Shown");
    TKldColumn* target = f.Add("T");
    target->Assign(*source);
    EXPECT_EQ(target->Width(), 120);
    EXPECT_EQ(target->SizingOption(), csoAutoWidth);
    EXPECT_EQ(target->SortOption(), isoDesc);
    EXPECT_EQ(target->Caption(), "Shown");
    EXPECT_FALSE(target->ColumnClick()) << "not copied";

    EXPECT_TRUE(target->AutoWidth());
    target->SetAutoWidth(false);
    EXPECT_EQ(target->SizingOption(), csoFixed);
    target->SetSizingOption(csoNone);
    target->SetAutoWidth(true);
    EXPECT_EQ(target->SizingOption(), csoAutoWidth);

    // Columns copied as a whole.
    TKldColumns copy(nullptr);
    copy.Assign(f.Columns);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.GetColumn(0)->Width(), 120);
    EXPECT_EQ(copy.GetColumn(0)->Name(), "") << "names are not copied by the items";
}

TEST(Columns, PublishedSettings)
{
    TColumnsFixture f;
    TKldColumn* column = f.Add("Room");
    struct Case
    {
        const char* Desc;
        std::string Property;
        std::string Written;
        std::string ReadBack;
    };
    const Case cases[] = {
        {"width", "Width", "120", "120"},
        {"sizing option", "SizingOption", "csoAutoWidth", "csoAutoWidth"},
        {"auto width follows the sizing option", "AutoWidth", "false", "False"},
        {"text alignment", "TextAlignment", "taCenter", "taCenter"},
        {"edit type", "EditType", "etDialogOnly", "etDialogOnly"},
        {"a state as a Boolean", "ReadOnly", "True", "True"},
        {"colour as a number", "Color", "255", "255"},
        {"caption", "caption", "Room no.", "Room no."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        SetPropValue(*column, c.Property, c.Written);
        EXPECT_EQ(GetPropValue(*column, c.Property), c.ReadBack);
    }
    EXPECT_EQ(column->Width(), 120);
    EXPECT_TRUE(column->ReadOnly());
    EXPECT_EQ(ErrorOf([&] { SetPropValue(*column, "Name", "ROOM"); }), "Duplicate name: ROOM");
    EXPECT_EQ(ErrorOf([&] { SetPropValue(*column, "SortOption", "ascending"); }),
              "Invalid property element: ascending");
}

} // namespace
