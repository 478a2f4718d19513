#pragma once
// `TCollection` and `TCollectionItem`: an ordered list of items of one class,
// made by the collection, with IDs and change notices.
//
// - The collection owns its items. Add/Insert make an item through the item
//   class (a factory), so the item is fully built before it joins and before
//   Notify(cnAdded) sees it. An item may move to another collection with
//   SetCollection; SetCollection(nullptr) hands it to the caller, who must
//   delete it. Deleting an item directly also removes it from its collection.
// - Each item gets the collection's NextID when it joins; IDs count up for the
//   life of the collection and are never reused, even after Clear.
// - Changes call Update(item) (item null: the whole collection) unless inside
//   BeginUpdate/EndUpdate; the outermost EndUpdate calls Update(nullptr) once.
//   Subclasses override Update to tell their owner, and Notify to add events.
// - A collection is guarded: views that show one without owning it hold a
//   TGuardedPtr, which answers nullptr once the collection is gone.
// - Index errors raise EListError "List index out of bounds (%d)".

#include "platform/Guarded.h"
#include "platform/Persistent.h"

#include <memory>
#include <string>
#include <vector>

class TCollection;
class TCollectionItem;

enum TCollectionNotification
{
    cnAdded,      // the item has joined
    cnExtracting, // the item is about to leave (it still is in the list)
    cnDeleting    // the item is about to be deleted (followed by cnExtracting)
};

// Makes one new, detached item of the collection's item class.
using TCollectionItemClass = std::function<std::unique_ptr<TCollectionItem>()>;

// The item class of T: `TCollection coll(CollectionItemClass<TMyItem>());`
template <class T> TCollectionItemClass CollectionItemClass()
{
    return [] { return std::unique_ptr<TCollectionItem>(std::make_unique<T>()); };
}

class TCollectionItem : public TPersistent
{
  public:
    TCollectionItem() = default;
    ~TCollectionItem() override; // leaves its collection
    std::string ClassName() const override { return "TCollectionItem"; }

    TCollection* Collection() const { return m_collection; }
    // Moves the item to `collection` (which then owns it), or detaches it (null).
    virtual void SetCollection(TCollection* collection);

    int ID() const { return m_id; }
    int Index() const; // -1 when detached
    // Moves the item to `index` in its collection (EListError when out of range).
    virtual void SetIndex(int index);

    // Text that design tools and views show; the class name by default.
    virtual std::string DisplayName() const { return ClassName(); }
    virtual void SetDisplayName(const std::string& value) {}

  protected:
    // Tells the collection that this item (or, with allItems, every item) changed.
    void Changed(bool allItems);

  private:
    friend class TCollection;
    TCollection* m_collection = nullptr;
    int m_id = 0;
};

class TCollection : public TPersistent, public TGuarded
{
  public:
    explicit TCollection(TCollectionItemClass itemClass);
    // Deletes the items without Notify or Update (the subclass is gone by
    // then); a subclass that must hear of them calls Clear() in its destructor.
    ~TCollection() override;
    std::string ClassName() const override { return "TCollection"; }

    // The persistent object that owns the collection; null for a plain collection.
    virtual TPersistent* Owner() const { return nullptr; }

    int Count() const { return static_cast<int>(m_items.size()); }
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    TCollectionItem* Insert(int index);
    void Delete(int index);
    void Clear();
    void Move(int curIndex, int newIndex);
    void Exchange(int index1, int index2);
    TCollectionItem* FindItemID(int id) const; // null when none
    int NextID() const { return m_nextID; }

    // Clears this collection and adds one item per item of `source` (a
    // collection), each taking its source item through the item's Assign.
    void Assign(const TPersistent& source) override;

    virtual void BeginUpdate();
    virtual void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

  protected:
    // The whole collection changed: Update(nullptr) unless inside an update.
    void Changed();
    // Called after a change of `item` (null: the list or every item).
    virtual void Update(TCollectionItem* item) {}
    virtual void Notify(TCollectionItem* item, TCollectionNotification action) {}
    // Called after an item joined, after Notify(cnAdded).
    virtual void Added(TCollectionItem* item) {}

  private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* item);
    void RemoveItem(TCollectionItem* item);
    void CheckIndex(int index) const;

    TCollectionItemClass m_itemClass;
    std::vector<TCollectionItem*> m_items; // owned
    int m_nextID = 0;
    int m_updateCount = 0;
};

// A collection that knows the persistent object owning it.
class TOwnedCollection : public TCollection
{
  public:
    TOwnedCollection(TPersistent* owner, TCollectionItemClass itemClass)
        : TCollection(std::move(itemClass)), m_owner(owner)
    {
    }
    std::string ClassName() const override { return "TOwnedCollection"; }
    TPersistent* Owner() const override { return m_owner; }

  private:
    TPersistent* m_owner;
};
