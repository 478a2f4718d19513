#include "ui/KldAppItems.h"
#include "ui/KldAppItemView.h"

#include "platform/Menus.h"
#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A view that counts what reaches it.
class TCountingView : public TKldAppItemView
{
  public:
    int Layouts = 0;
    int Repaints = 0;
    void AdjustContent() override { ++Layouts; }
    void Invalidate() override
    {
        ++Repaints;
        TKldAppItemView::Invalidate();
    }
    void Reset() { Layouts = Repaints = 0; }
};

std::vector<std::string> Captions(const std::vector<TKldAppItem*>& items)
{
    std::vector<std::string> out;
    for (const TKldAppItem* item : items)
        out.push_back(item->Caption());
    return out;
}

// A: a1, a2 (a21), B: b1
void Fill(TKldAppItems& items)
{
    TKldAppItem* a = items.Add("A", 0);
    a->Items().Add("a1", 1);
    TKldAppItem* a2 = a->Items().Add("a2", 2);
    a2->Items().Add("a21", 3);
    items.Add("B", 4)->Items().Add("b1", 5);
}

TEST(KldAppItems, DefaultsAndStructure)
{
    TKldAppItemView view;
    TKldAppItems& items = view.Items();
    TKldAppItem* plain = items.Add();
    EXPECT_EQ(plain->Tag(), -1);
    EXPECT_EQ(plain->TagExt(), 0);
    EXPECT_EQ(plain->ImageIndex(), -1);
    EXPECT_TRUE(plain->Visible());
    EXPECT_TRUE(plain->States().Empty());
    EXPECT_EQ(plain->GetParent(), nullptr);
    EXPECT_EQ(items.GetPanel(), &view);
    EXPECT_EQ(items.OwnerItem(), nullptr);

    TKldAppItem* child = plain->Items().Add("child", 7);
    EXPECT_EQ(child->GetParent(), plain);
    EXPECT_EQ(child->ImageIndex(), 7);
    EXPECT_EQ(plain->Items().GetPanel(), &view);
    EXPECT_EQ(plain->Items().OwnerItem(), plain);
    EXPECT_TRUE(plain->HasChildren());

    EXPECT_EQ(items.FindItem(-1), nullptr);
    EXPECT_EQ(items.FindItem(items.Count()), nullptr);
    EXPECT_EQ(items.FindItem(0), plain);
    EXPECT_EQ(items.ItemByID(plain->ID()), plain);
    EXPECT_EQ(items.ItemByID(child->ID() + 100), nullptr);
    EXPECT_THROW(items.Items(5), EListError);
}

TEST(KldAppItems, SearchesWalkTheTreeInPreOrder)
{
    TKldAppItemView view;
    TKldAppItems& items = view.Items();
    Fill(items);
    TKldAppItem* a21 = items.ItemByText("A21");
    ASSERT_NE(a21, nullptr);
    a21->SetTag(42);
    items.Items(1)->SetTag(42); // B, later at the top level
    items.Items(1)->SetTagExt(9);
    EXPECT_EQ(items.ItemByTag(42), a21);
    EXPECT_EQ(items.ItemByTag(9, true), items.Items(1));
    EXPECT_EQ(items.ItemByTag(1234), nullptr);

    a21->SetName("Ärzte");
    EXPECT_EQ(items.ItemByText("äRZTE", false), a21);
    EXPECT_EQ(items.ItemByText("äRZTE", true), nullptr);
    EXPECT_EQ(items.ItemByText("b1")->Caption(), "b1");

    int count = 0;
    items.GetTotalCount(count, false);
    EXPECT_EQ(count, 6);
    count = 10;
    items.GetTotalCount(count, true);
    EXPECT_EQ(count, 13);
    std::vector<TKldAppItem*> list;
    items.BuildList(list, false);
    EXPECT_EQ(Captions(list), (std::vector<std::string>{"A", "a1", "a2", "a21", "B", "b1"}));
    list.clear();
    items.BuildList(list, true);
    EXPECT_EQ(Captions(list), (std::vector<std::string>{"a1", "a21", "b1"}));
}

TEST(KldAppItems, ForEachHandsChildrenTheDataTheIteratorLeft)
{
    TKldAppItemView view;
    Fill(view.Items());
    // Each item with children opens a folder named after it; the others go
    // into the folder current for them.
    std::map<std::string, std::vector<std::string>> folders;
    std::vector<std::string> names;
    names.reserve(16); // stable addresses for the data pointers
    names.push_back("root");
    view.Items().ForEach(
        [&](TKldAppItem* item, void*& data) {
            const auto* folder = static_cast<const std::string*>(data);
            folders[*folder].push_back(item->Caption());
            if (item->HasChildren()) {
                names.push_back(item->Caption());
                data = &names.back();
            }
        },
        &names.front());
    EXPECT_EQ(folders["root"], (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(folders["A"], (std::vector<std::string>{"a1", "a2"}));
    EXPECT_EQ(folders["a2"], std::vector<std::string>{"a21"});
    EXPECT_EQ(folders["B"], std::vector<std::string>{"b1"});
    view.Items().ForEach(nullptr, nullptr); // no iterator: nothing happens
}

TEST(KldAppItems, ChangesReachTheViewOutsideUpdatesOnly)
{
    TCountingView view;
    Fill(view.Items());
    TKldAppItem* a = view.Items().Items(0);
    TKldAppItem* a1 = a->Items().Items(0);

    struct Case
    {
        const char* Desc;
        std::function<void()> Change;
        int Layouts, Repaints;
    };
    const Case cases[] = {
        {"caption repaints, also unchanged", [&] { a->SetCaption("A"); }, 0, 1},
        {"same picture: nothing", [&] { a->SetImageIndex(a->ImageIndex()); }, 0, 0},
        {"new picture repaints", [&] { a->SetImageIndex(9); }, 0, 1},
        {"visibility lays out", [&] { a1->SetVisible(false); }, 1, 1},
        {"same visibility: nothing", [&] { a1->SetVisible(false); }, 0, 0},
        {"expanding lays out", [&] { a->SetState(isExpanded, true); }, 1, 1},
        {"other states repaint", [&] { a->SetState(isLoaded, true); }, 0, 1},
        {"adding a child lays out", [&] { a1->Items().Add(); }, 1, 1},
        {"clearing lays out once", [&] { a->Items().Clear(); }, 1, 1},
        {"batched: one layout at the end",
         [&] {
             view.Items().BeginUpdate();
             a->SetCaption("changed");
             view.Items().Add("C", -1);
             EXPECT_EQ(view.Layouts, 0);
             EXPECT_EQ(view.Repaints, 0);
             view.Items().EndUpdate();
         },
         1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        view.Reset();
        c.Change();
        EXPECT_EQ(view.Layouts, c.Layouts);
        EXPECT_EQ(view.Repaints, c.Repaints);
    }
}

TEST(KldAppItems, AddToMenuRefersToTheItemByGuardedReference)
{
    TKldAppItemView view;
    Fill(view.Items());
    TPopupMenu menu;
    std::vector<std::string> clicked;
    auto onClick = [&](TObject* sender) {
        auto* entry = static_cast<TMenuItem*>(sender);
        // A click whose item is gone selects nothing.
        if (TKldAppItem* item = entry->ItemRef().Get<TKldAppItem>())
            clicked.push_back(item->Caption());
    };
    TKldAppItem* a = view.Items().Items(0);
    TMenuItem* parent = a->AddToMenu(menu.Items(), onClick);
    EXPECT_EQ(parent->Caption(), "A");
    EXPECT_EQ(parent->ImageIndex(), 0);
    EXPECT_EQ(parent->ItemRef().Get<TKldAppItem>(), a);
    EXPECT_FALSE(parent->OnClick); // an item with children opens, it is not chosen
    TMenuItem* leaf = a->Items().Items(0)->AddToMenu(*parent, onClick);
    ASSERT_TRUE(leaf->OnClick);
    leaf->Click();
    view.Items().Clear();
    leaf->Click();
    EXPECT_EQ(clicked, std::vector<std::string>{"a1"});
    EXPECT_EQ(parent->ItemRef().Get<TKldAppItem>(), nullptr);
}

} // namespace
