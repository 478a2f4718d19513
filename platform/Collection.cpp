#include "platform/Collection.h"

#include "platform/SysUtils.h"

#include <algorithm>

namespace {
[[noreturn]] void IndexError(int index)
{
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
} // namespace

// ---------------------------------------------------------------------------
// TCollectionItem

TCollectionItem::~TCollectionItem()
{
    if (m_collection) {
        // Nothing may escape a destructor; the item leaves its list regardless.
        try {
            m_collection->RemoveItem(this);
        } catch (...) {
            auto& items = m_collection->m_items;
            items.erase(std::remove(items.begin(), items.end(), this), items.end());
            m_collection = nullptr;
        }
    }
}

void TCollectionItem::SetCollection(TCollection* collection)
{
    if (collection == m_collection)
        return;
    if (m_collection)
        m_collection->RemoveItem(this);
    if (collection)
        collection->InsertItem(this);
}

int TCollectionItem::Index() const
{
    if (!m_collection)
        return -1;
    const auto& items = m_collection->m_items;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int index)
{
    const int current = Index();
    if (current < 0 || current == index)
        return;
    auto& items = m_collection->m_items;
    if (index < 0 || index >= static_cast<int>(items.size()))
        IndexError(index);
    items.erase(items.begin() + current);
    items.insert(items.begin() + index, this);
    Changed(true);
}

void TCollectionItem::Changed(bool allItems)
{
    if (m_collection && m_collection->m_updateCount == 0)
        m_collection->Update(allItems ? nullptr : this);
}

// ---------------------------------------------------------------------------
// TCollection

TCollection::TCollection(TCollectionItemClass itemClass) : m_itemClass(std::move(itemClass)) {}

TCollection::~TCollection()
{
    // The subclass is gone, so its Notify and Update are not called any more:
    // the items are simply detached and deleted.
    std::vector<TCollectionItem*> items;
    items.swap(m_items);
    for (TCollectionItem* item : items)
        item->m_collection = nullptr;
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        delete *it;
}

void TCollection::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        IndexError(index);
}

TCollectionItem* TCollection::Items(int index) const
{
    CheckIndex(index);
    return m_items[index];
}

TCollectionItem* TCollection::Add()
{
    if (!m_itemClass)
        throw EListError(ClassName() + " has no item class");
    std::unique_ptr<TCollectionItem> item = m_itemClass();
    if (!item)
        throw EListError(ClassName() + " item class made no item");
    TCollectionItem* raw = item.release();
    try {
        InsertItem(raw);
    } catch (...) {
        // InsertItem owns the item once it is in the list.
        if (raw->m_collection == nullptr)
            delete raw;
        throw;
    }
    return raw;
}

TCollectionItem* TCollection::Insert(int index)
{
    if (index < 0 || index > Count())
        IndexError(index);
    TCollectionItem* item = Add();
    item->SetIndex(index);
    return item;
}

void TCollection::Delete(int index)
{
    CheckIndex(index);
    TCollectionItem* item = m_items[index];
    Notify(item, cnDeleting);
    // Leaves the list (with its notices) while whole, then goes.
    if (item->m_collection == this)
        RemoveItem(item);
    delete item;
}

void TCollection::Clear()
{
    if (m_items.empty())
        return;
    BeginUpdate();
    try {
        while (!m_items.empty())
            Delete(Count() - 1);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::Move(int curIndex, int newIndex)
{
    Items(curIndex)->SetIndex(newIndex);
}

void TCollection::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    if (index1 == index2)
        return;
    std::swap(m_items[index1], m_items[index2]);
    Changed();
}

TCollectionItem* TCollection::FindItemID(int id) const
{
    for (TCollectionItem* item : m_items)
        if (item->m_id == id)
            return item;
    return nullptr;
}

void TCollection::Assign(const TPersistent& source)
{
    const auto* collection = dynamic_cast<const TCollection*>(&source);
    if (!collection) {
        TPersistent::Assign(source);
        return;
    }
    if (collection == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (TCollectionItem* item : collection->m_items)
            Add()->Assign(*item);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TCollection::BeginUpdate()
{
    ++m_updateCount;
}

void TCollection::EndUpdate()
{
    if (m_updateCount <= 0)
        return;
    --m_updateCount;
    Changed();
}

void TCollection::Changed()
{
    if (m_updateCount == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item)
{
    m_items.push_back(item);
    item->m_collection = this;
    item->m_id = m_nextID++;
    Notify(item, cnAdded);
    Changed();
    Added(item);
}

void TCollection::RemoveItem(TCollectionItem* item)
{
    Notify(item, cnExtracting);
    m_items.erase(std::remove(m_items.begin(), m_items.end(), item), m_items.end());
    item->m_collection = nullptr;
    Changed();
}
