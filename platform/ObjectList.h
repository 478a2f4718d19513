#pragma once
// `TList` (a list of raw pointers) and `TObjectList` (a list of objects that
// it deletes when OwnsObjects is set, the default). Index errors raise
// EListError "List index out of bounds (%d)".

#include "platform/Persistent.h"

#include <functional>
#include <vector>

enum TListNotification
{
    lnAdded,     // the pointer has joined
    lnExtracted, // the pointer left through Extract (the caller keeps it)
    lnDeleted    // the pointer left through Delete, Remove, Clear or replacement
};

// Compares two items: < 0, 0 or > 0.
using TListSortCompare = std::function<int(void* item1, void* item2)>;

class TList : public TObject
{
  public:
    TList() = default;
    ~TList() override; // clears through Notify
    std::string ClassName() const override { return "TList"; }

    int Count() const { return static_cast<int>(m_items.size()); }
    void* Items(int index) const;
    void SetItems(int index, void* item); // the old pointer is deleted, the new one added
    int Add(void* item);
    void Insert(int index, void* item);
    void Delete(int index);
    int Remove(void* item);    // the index it had, -1 when absent
    void* Extract(void* item); // removes without deleting; null when absent
    int IndexOf(const void* item) const;
    void Clear(); // last first
    void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);
    void* First() const; // EListError when empty
    void* Last() const;  // EListError when empty
    void Pack();         // drops null entries
    // Stable sort by `compare`.
    void Sort(const TListSortCompare& compare);

  protected:
    // Null pointers are never announced. The destructor's final Clear only
    // reaches the Notify of classes whose destructor has not run yet, so a
    // subclass whose Notify must see it calls Clear() in its own destructor
    // (TObjectList does).
    virtual void Notify(void* item, TListNotification action) {}
    void CheckIndex(int index) const;

  private:
    std::vector<void*> m_items;
};

class TObjectList : public TList
{
  public:
    explicit TObjectList(bool ownsObjects = true) : m_ownsObjects(ownsObjects) {}
    ~TObjectList() override;
    std::string ClassName() const override { return "TObjectList"; }

    TObject* Items(int index) const { return static_cast<TObject*>(TList::Items(index)); }
    void SetItems(int index, TObject* item) { TList::SetItems(index, item); }
    int Add(TObject* item) { return TList::Add(item); }
    void Insert(int index, TObject* item) { TList::Insert(index, item); }
    int Remove(TObject* item) { return TList::Remove(item); }
    TObject* Extract(TObject* item) { return static_cast<TObject*>(TList::Extract(item)); }
    int IndexOf(const TObject* item) const { return TList::IndexOf(item); }
    TObject* First() const { return static_cast<TObject*>(TList::First()); }
    TObject* Last() const { return static_cast<TObject*>(TList::Last()); }
    void Sort(const std::function<int(TObject* item1, TObject* item2)>& compare);

    bool OwnsObjects() const { return m_ownsObjects; }
    void SetOwnsObjects(bool owns) { m_ownsObjects = owns; }

  protected:
    // Deletes the object of lnDeleted when OwnsObjects is set.
    void Notify(void* item, TListNotification action) override;

  private:
    bool m_ownsObjects;
};
