#include "platform/Collection.h"

#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
class TNamedItem : public TCollectionItem
{
  public:
    std::string ClassName() const override { return "TNamedItem"; }
    std::string DisplayName() const override { return Name.empty() ? TCollectionItem::DisplayName() : Name; }

    void SetName(const std::string& name)
    {
        Name = name;
        Changed(false);
    }
    void Assign(const TPersistent& source) override
    {
        if (const auto* item = dynamic_cast<const TNamedItem*>(&source)) {
            Name = item->Name;
            return;
        }
        TCollectionItem::Assign(source);
    }

    std::string Name;
};

// A collection that records its notices and forwards updates to its owner.
class TRecordingCollection : public TOwnedCollection
{
  public:
    explicit TRecordingCollection(TPersistent* owner = nullptr)
        : TOwnedCollection(owner, CollectionItemClass<TNamedItem>())
    {
    }
    ~TRecordingCollection() override { Clear(); }

    TNamedItem* AddNamed(const std::string& name)
    {
        auto* item = static_cast<TNamedItem*>(Add());
        item->Name = name;
        return item;
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < Count(); ++i)
            names.push_back(static_cast<TNamedItem*>(Items(i))->Name);
        return names;
    }

    std::vector<std::string> Log;

  protected:
    void Update(TCollectionItem* item) override
    {
        Log.push_back(item ? "update " + static_cast<TNamedItem*>(item)->Name : "update all");
    }
    void Notify(TCollectionItem* item, TCollectionNotification action) override
    {
        static const char* const names[] = {"added", "extracting", "deleting"};
        Log.push_back(std::string(names[action]) + " " + std::to_string(item->ID()));
    }
};

using Strings = std::vector<std::string>;
} // namespace

TEST(Collection, IdsCountUpAndAreNeverReused)
{
    TRecordingCollection coll;
    auto* a = coll.AddNamed("a");
    auto* b = coll.AddNamed("b");
    EXPECT_EQ(a->ID(), 0);
    EXPECT_EQ(b->ID(), 1);
    coll.Delete(0);
    EXPECT_EQ(coll.AddNamed("c")->ID(), 2);
    coll.Clear();
    EXPECT_EQ(coll.Count(), 0);
    auto* d = coll.AddNamed("d");
    EXPECT_EQ(d->ID(), 3) << "IDs go on counting across Clear";
    EXPECT_EQ(coll.NextID(), 4);
    EXPECT_EQ(coll.FindItemID(3), d);
    EXPECT_EQ(coll.FindItemID(0), nullptr);
}

TEST(Collection, NoticesAndUpdates)
{
    TRecordingCollection coll;
    auto* a = coll.AddNamed("a");
    EXPECT_EQ(coll.Log, (Strings{"added 0", "update all"}));
    EXPECT_EQ(a->Collection(), &coll);

    coll.Log.clear();
    a->SetName("alpha");
    EXPECT_EQ(coll.Log, (Strings{"update alpha"})) << "an item's change names the item";

    coll.Log.clear();
    coll.Delete(0);
    EXPECT_EQ(coll.Log, (Strings{"deleting 0", "extracting 0", "update all"}));

    coll.AddNamed("x");
    coll.AddNamed("y");
    coll.Log.clear();
    coll.BeginUpdate();
    coll.BeginUpdate();
    coll.AddNamed("z");
    static_cast<TNamedItem*>(coll.Items(0))->SetName("x2");
    coll.Delete(1);
    coll.EndUpdate();
    EXPECT_EQ(coll.Log, (Strings{"added 3", "deleting 2", "extracting 2"})) << "no update inside a batch";
    coll.EndUpdate();
    EXPECT_EQ(coll.Log.back(), "update all");
    EXPECT_EQ(std::count(coll.Log.begin(), coll.Log.end(), "update all"), 1) << "one update at the end";
    EXPECT_EQ(coll.UpdateCount(), 0);
}

TEST(Collection, IndexMoveExchangeInsert)
{
    TRecordingCollection coll;
    for (const char* n : {"a", "b", "c", "d"})
        coll.AddNamed(n);
    coll.Items(0)->SetIndex(2);
    EXPECT_EQ(coll.Names(), (Strings{"b", "c", "a", "d"}));
    EXPECT_EQ(coll.Items(2)->Index(), 2);

    coll.Move(3, 0);
    EXPECT_EQ(coll.Names(), (Strings{"d", "b", "c", "a"}));
    coll.Exchange(0, 3);
    EXPECT_EQ(coll.Names(), (Strings{"a", "b", "c", "d"}));

    auto* inserted = static_cast<TNamedItem*>(coll.Insert(1));
    inserted->Name = "new";
    EXPECT_EQ(coll.Names(), (Strings{"a", "new", "b", "c", "d"}));

    struct Case
    {
        const char* desc;
        std::function<void()> action;
        const char* message;
    };
    const Case bad[] = {
        {"Items", [&] { coll.Items(5); }, "List index out of bounds (5)"},
        {"Delete", [&] { coll.Delete(-1); }, "List index out of bounds (-1)"},
        {"SetIndex", [&] { coll.Items(0)->SetIndex(9); }, "List index out of bounds (9)"},
        {"Insert", [&] { coll.Insert(7); }, "List index out of bounds (7)"},
        {"Exchange", [&] { coll.Exchange(0, 5); }, "List index out of bounds (5)"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.desc);
        try {
            c.action();
            ADD_FAILURE() << "no EListError";
        } catch (const EListError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    EXPECT_EQ(coll.Names(), (Strings{"a", "new", "b", "c", "d"})) << "failed edits change nothing";
}

TEST(Collection, AssignCopiesThroughTheItems)
{
    TRecordingCollection source;
    source.AddNamed("one");
    source.AddNamed("two");
    TRecordingCollection dest;
    dest.AddNamed("old");
    dest.Log.clear();
    dest.Assign(source);
    EXPECT_EQ(dest.Names(), (Strings{"one", "two"}));
    EXPECT_EQ(dest.Items(0)->ID(), 1) << "copies are new items of the destination";
    EXPECT_EQ(std::count(dest.Log.begin(), dest.Log.end(), "update all"), 1);

    class TPlainItem : public TCollectionItem
    {
    };
    TCollection plain(CollectionItemClass<TPlainItem>());
    try {
        plain.Assign(source);
        FAIL() << "no EConvertError";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TNamedItem to a TCollectionItem");
    }
    EXPECT_EQ(plain.UpdateCount(), 0);
}

TEST(Collection, ItemsMoveBetweenCollectionsAndLeaveWhenDeleted)
{
    TPersistent owner;
    TRecordingCollection first(&owner);
    TRecordingCollection second;
    EXPECT_EQ(first.Owner(), &owner);
    EXPECT_EQ(second.Owner(), nullptr);

    auto* a = first.AddNamed("a");
    first.AddNamed("b");
    second.AddNamed("x");
    a->SetCollection(&second);
    EXPECT_EQ(first.Names(), (Strings{"b"}));
    EXPECT_EQ(second.Names(), (Strings{"x", "a"}));
    EXPECT_EQ(a->ID(), 1) << "the item takes an ID of its new collection";

    first.Log.clear();
    delete first.Items(0);
    EXPECT_EQ(first.Count(), 0);
    EXPECT_EQ(first.Log, (Strings{"extracting 1", "update all"}));

    a->SetCollection(nullptr);
    EXPECT_EQ(a->Index(), -1);
    EXPECT_EQ(a->Collection(), nullptr);
    delete a;
    EXPECT_EQ(second.Names(), (Strings{"x"}));
}

TEST(Collection, DisplayNameDefaultsToClassName)
{
    TCollection coll(CollectionItemClass<TNamedItem>());
    auto* item = static_cast<TNamedItem*>(coll.Add());
    EXPECT_EQ(item->DisplayName(), "TNamedItem");
    item->Name = "Shown";
    EXPECT_EQ(item->DisplayName(), "Shown");

    TCollection noClass(nullptr);
    EXPECT_THROW(noClass.Add(), EListError);
}

TEST(Collection, GuardedReferencesNoticeTheCollectionGoing)
{
    auto collection = std::make_unique<TCollection>(CollectionItemClass<TNamedItem>());
    TGuardedPtr<TCollection> held(collection.get());
    EXPECT_EQ(held.Get(), collection.get());
    collection.reset();
    EXPECT_EQ(held.Get(), nullptr);
}
