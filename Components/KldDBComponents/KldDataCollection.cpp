#include "Components/KldDBComponents/KldDataCollection.h"

#include <algorithm>

#include "platform/SysUtils.h"

TKldDataCollectionItem::TKldDataCollectionItem() : m_props(std::make_unique<TStringList>())
{
}

TKldDataCollectionItem::~TKldDataCollectionItem() = default;

void TKldDataCollectionItem::SetName(const std::string& value)
{
    m_name = value;
}

std::string TKldDataCollectionItem::DisplayName() const
{
    return m_name.empty() ? TCollectionItem::DisplayName() : m_name;
}

void TKldDataCollectionItem::SetProps(const TStrings& value)
{
    m_props->Assign(value);
}

void TKldDataCollectionItem::SetItemIndex(int value)
{
    if (!Collection())
        return;
    SetIndex(std::clamp(value, 0, Collection()->Count() - 1));
}

TKldDataCollection* TKldDataCollectionItem::DataCollection() const
{
    return dynamic_cast<TKldDataCollection*>(Collection());
}

TKldDataCollection::TKldDataCollection(TPersistent* owner, TCollectionItemClass itemClass)
    : TOwnedCollection(owner, std::move(itemClass))
{
}

std::string TKldDataCollection::GetAutoName(const std::string& baseName, int index) const
{
    std::string name = index > 0 ? baseName + IntToStr(index) : baseName;
    while (Find(name))
    {
        ++index;
        name = baseName + IntToStr(index);
    }
    return name;
}

TKldDataCollectionItem* TKldDataCollection::Find(const std::string& name) const
{
    for (int i = 0; i < Count(); ++i)
    {
        if (AnsiSameText(Item(i)->Name(), name))
            return Item(i);
    }
    return nullptr;
}

TKldDataCollectionItem* TKldDataCollection::Get(const std::string& name) const
{
    TKldDataCollectionItem* item = Find(name);
    if (!item)
        NotFoundError(name);
    return item;
}

void TKldDataCollection::NotFoundError(const std::string& name) const
{
    throw Exception(Format("Item not found: %s", name));
}

void TKldDataCollection::GetNames(TStrings& list) const
{
    list.BeginUpdate();
    try
    {
        list.Clear();
        for (int i = 0; i < Count(); ++i)
            list.Add(Item(i)->Name());
    }
    catch (...)
    {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

int TKldDataCollection::IndexOf(const TKldDataCollectionItem* item) const
{
    for (int i = 0; i < Count(); ++i)
    {
        if (Item(i) == item)
            return i;
    }
    return -1;
}

bool TKldDataCollection::IsUnique(const std::string& name, const TKldDataCollectionItem* item) const
{
    if (m_namesChecked)
        return true;
    for (int i = 0; i < Count(); ++i)
    {
        if (Item(i) != item && AnsiSameText(Item(i)->Name(), name))
            return false;
    }
    return true;
}
