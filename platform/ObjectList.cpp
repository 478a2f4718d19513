#include "platform/ObjectList.h"

#include "platform/ClassesText.h"
#include "platform/SysUtils.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TList

TList::~TList()
{
    // Only this class's (empty) Notify is reachable now; see the header.
    m_items.clear();
}

void TList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void* TList::Items(int index) const
{
    CheckIndex(index);
    return m_items[index];
}

void TList::SetItems(int index, void* item)
{
    CheckIndex(index);
    void* old = m_items[index];
    if (old == item)
        return;
    m_items[index] = item;
    if (old)
        Notify(old, lnDeleted);
    if (item)
        Notify(item, lnAdded);
}

int TList::Add(void* item)
{
    m_items.push_back(item);
    if (item)
        Notify(item, lnAdded);
    return Count() - 1;
}

void TList::Insert(int index, void* item)
{
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    m_items.insert(m_items.begin() + index, item);
    if (item)
        Notify(item, lnAdded);
}

void TList::Delete(int index)
{
    CheckIndex(index);
    void* item = m_items[index];
    m_items.erase(m_items.begin() + index);
    if (item)
        Notify(item, lnDeleted);
}

int TList::Remove(void* item)
{
    const int index = IndexOf(item);
    if (index >= 0)
        Delete(index);
    return index;
}

void* TList::Extract(void* item)
{
    const int index = IndexOf(item);
    if (index < 0)
        return nullptr;
    m_items.erase(m_items.begin() + index);
    if (item)
        Notify(item, lnExtracted);
    return item;
}

int TList::IndexOf(const void* item) const
{
    auto it = std::find(m_items.begin(), m_items.end(), item);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

void TList::Clear()
{
    while (!m_items.empty())
        Delete(Count() - 1);
}

void TList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    std::swap(m_items[index1], m_items[index2]);
}

void TList::Move(int curIndex, int newIndex)
{
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    if (curIndex == newIndex)
        return;
    void* item = m_items[curIndex];
    m_items.erase(m_items.begin() + curIndex);
    m_items.insert(m_items.begin() + newIndex, item);
}

void* TList::First() const
{
    return Items(0);
}

void* TList::Last() const
{
    return Items(Count() - 1);
}

void TList::Pack()
{
    m_items.erase(std::remove(m_items.begin(), m_items.end(), nullptr), m_items.end());
}

void TList::Sort(const TListSortCompare& compare)
{
    if (compare)
        kld_classes::SafeStableSort(m_items, [&](void* a, void* b) { return compare(a, b) < 0; });
}

// ---------------------------------------------------------------------------
// TObjectList

TObjectList::~TObjectList()
{
    Clear();
}

void TObjectList::Sort(const std::function<int(TObject* item1, TObject* item2)>& compare)
{
    if (!compare)
        return;
    TList::Sort(
        [&](void* a, void* b) { return compare(static_cast<TObject*>(a), static_cast<TObject*>(b)); });
}

void TObjectList::Notify(void* item, TListNotification action)
{
    if (m_ownsObjects && action == lnDeleted)
        delete static_cast<TObject*>(item);
}
