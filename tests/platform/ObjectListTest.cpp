#include "platform/ObjectList.h"

#include "platform/SysUtils.h"

#include <gtest/gtest.h>

namespace {
class TCounted : public TObject
{
  public:
    TCounted(int value, int* deletions) : Value(value), m_deletions(deletions) {}
    ~TCounted() override { ++*m_deletions; }
    int Value;

  private:
    int* m_deletions;
};

int ValueAt(const TObjectList& list, int index)
{
    return static_cast<TCounted*>(list.Items(index))->Value;
}
} // namespace

TEST(ObjectList, OwnsAndDeletes)
{
    int deletions = 0;
    {
        TObjectList list;
        EXPECT_TRUE(list.OwnsObjects());
        auto* a = new TCounted(1, &deletions);
        auto* b = new TCounted(2, &deletions);
        auto* c = new TCounted(3, &deletions);
        list.Add(a);
        list.Add(b);
        list.Insert(0, c);
        EXPECT_EQ(list.IndexOf(a), 1);

        list.Delete(0);
        EXPECT_EQ(deletions, 1);
        EXPECT_EQ(list.Remove(a), 0);
        EXPECT_EQ(deletions, 2);
        EXPECT_EQ(list.Remove(a), -1) << "removing an absent object does nothing";

        EXPECT_EQ(list.Extract(b), b);
        EXPECT_EQ(deletions, 2) << "Extract hands the object back";
        EXPECT_EQ(list.Count(), 0);
        list.Add(b);
        list.SetItems(0, new TCounted(4, &deletions));
        EXPECT_EQ(deletions, 3) << "a replaced object is deleted";
        list.Add(nullptr);
        list.Add(new TCounted(5, &deletions));
    }
    EXPECT_EQ(deletions, 5);
}

TEST(ObjectList, BorrowingListLeavesObjects)
{
    int deletions = 0;
    TCounted a(1, &deletions);
    {
        TObjectList list(false);
        list.Add(&a);
        list.Delete(0);
        list.Add(&a);
        list.Clear();
        list.Add(&a);
    }
    EXPECT_EQ(deletions, 0);
}

TEST(ObjectList, SortMoveAndErrors)
{
    int deletions = 0;
    TObjectList list;
    for (int v : {3, 1, 2, 1})
        list.Add(new TCounted(v, &deletions));
    TObject* firstOne = list.Items(1);
    list.Sort([](TObject* x, TObject* y) {
        return static_cast<TCounted*>(x)->Value - static_cast<TCounted*>(y)->Value;
    });
    EXPECT_EQ(ValueAt(list, 0), 1);
    EXPECT_EQ(list.Items(0), firstOne) << "the sort is stable";
    EXPECT_EQ(ValueAt(list, 3), 3);

    list.Move(3, 0);
    EXPECT_EQ(ValueAt(list, 0), 3);
    list.Exchange(0, 3);
    EXPECT_EQ(ValueAt(list, 3), 3);
    EXPECT_EQ(list.First(), list.Items(0));
    EXPECT_EQ(list.Last(), list.Items(3));

    try {
        list.Items(4);
        FAIL() << "no EListError";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (4)");
    }
    EXPECT_THROW(list.Insert(6, nullptr), EListError);
    TObjectList empty;
    EXPECT_THROW(empty.First(), EListError);
    EXPECT_EQ(deletions, 0);
}

TEST(List, NotifyAndPack)
{
    class TRecordingList : public TList
    {
      public:
        ~TRecordingList() override { Clear(); }
        std::vector<std::pair<void*, TListNotification>> Notices;

      protected:
        void Notify(void* item, TListNotification action) override { Notices.emplace_back(item, action); }
    };
    int x = 0;
    int y = 0;
    TRecordingList list;
    list.Add(&x);
    list.Add(nullptr);
    list.Add(&y);
    list.Pack();
    EXPECT_EQ(list.Count(), 2);
    list.Extract(&x);
    list.Delete(0);
    using N = std::vector<std::pair<void*, TListNotification>>;
    EXPECT_EQ(list.Notices, (N{{&x, lnAdded}, {&y, lnAdded}, {&x, lnExtracted}, {&y, lnDeleted}}))
        << "null entries are never announced";
}
