#include "ui/KldAppItems.h"

#include "platform/Menus.h"
#include "platform/SysUtils.h"
#include "ui/KldAppItemView.h"

// ---------------------------------------------------------------------------
// TKldAppItem

TKldAppItem::TKldAppItem() : m_items(std::make_unique<TKldAppItems>(nullptr, this)) {}

TKldAppItem::~TKldAppItem()
{
    // An item deleted directly leaves its collection while still whole, so
    // that the view hears of it.
    if (Collection())
        SetCollection(nullptr);
    // The view has dropped every entry it listed when the item left, so the
    // children go without telling it.
    m_items->SetView(nullptr);
}

void TKldAppItem::Changed(bool relayout)
{
    if (auto* items = dynamic_cast<TKldAppItems*>(Collection()))
        items->Changed(relayout);
}

void TKldAppItem::SetCaption(const std::string& value)
{
    m_caption = value;
    Changed(false);
}

void TKldAppItem::SetImageIndex(int value)
{
    if (value == m_imageIndex)
        return;
    m_imageIndex = value;
    Changed(false);
}

void TKldAppItem::SetState(TKldAppItemState state, bool value)
{
    m_states.Set(state, value);
    Changed(state == isExpanded);
}

void TKldAppItem::SetVisible(bool value)
{
    if (value == m_visible)
        return;
    m_visible = value;
    Changed(true);
}

bool TKldAppItem::HasChildren() const
{
    return m_items->Count() > 0;
}

TKldAppItem* TKldAppItem::GetParent() const
{
    auto* items = dynamic_cast<TKldAppItems*>(Collection());
    return items ? items->OwnerItem() : nullptr;
}

TMenuItem* TKldAppItem::AddToMenu(TMenuItem& Menu, const std::function<void(TObject* sender)>& OnClick)
{
    TMenuItem* entry = Menu.Add();
    entry->SetCaption(m_caption);
    entry->SetImageIndex(m_imageIndex);
    // A guarded reference, never the raw item: the host may clear its items
    // while the menu is open.
    entry->SetItemRef(TGuardedRef::Make(this));
    if (!HasChildren())
        entry->OnClick = OnClick;
    return entry;
}

// ---------------------------------------------------------------------------
// TKldAppItems

TKldAppItems::TKldAppItems(TKldAppItemView* view, TKldAppItem* owner)
    : TCollection(CollectionItemClass<TKldAppItem>()), m_view(view), m_owner(owner)
{
}

TKldAppItems::~TKldAppItems()
{
    // The items leave without Notify (the view, if any, is told by the
    // caller); see TCollection's destructor.
    m_view = nullptr;
}

void TKldAppItems::SetView(TKldAppItemView* view)
{
    m_view = view;
    for (int i = 0; i < Count(); ++i)
        Items(i)->m_items->SetView(view);
}

TKldAppItem* TKldAppItems::Add()
{
    return static_cast<TKldAppItem*>(TCollection::Add());
}

TKldAppItem* TKldAppItems::Add(const std::string& caption, int imageIndex)
{
    BeginUpdate();
    TKldAppItem* item = nullptr;
    try {
        item = Add();
        item->SetCaption(caption);
        item->SetImageIndex(imageIndex);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return item;
}

TKldAppItem* TKldAppItems::Items(int index) const
{
    return static_cast<TKldAppItem*>(TCollection::Items(index));
}

TKldAppItem* TKldAppItems::FindItem(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return Items(index);
}

TKldAppItem* TKldAppItems::ItemByID(int id) const
{
    return static_cast<TKldAppItem*>(FindItemID(id));
}

namespace {
// The first item of the tree, in pre-order, for which `match` is true.
template <class Match> TKldAppItem* FindInTree(const TKldAppItems& items, const Match& match)
{
    for (int i = 0; i < items.Count(); ++i) {
        TKldAppItem* item = items.Items(i);
        if (match(*item))
            return item;
        if (TKldAppItem* found = FindInTree(item->Items(), match))
            return found;
    }
    return nullptr;
}
} // namespace

TKldAppItem* TKldAppItems::ItemByTag(intptr_t tag, bool byTagExt) const
{
    return FindInTree(
        *this, [&](const TKldAppItem& item) { return (byTagExt ? item.TagExt() : item.Tag()) == tag; });
}

TKldAppItem* TKldAppItems::ItemByText(const std::string& text, bool byCaption) const
{
    return FindInTree(*this, [&](const TKldAppItem& item) {
        return AnsiSameText(byCaption ? item.Caption() : item.Name(), text);
    });
}

void TKldAppItems::GetTotalCount(int& count, bool leavesOnly) const
{
    for (int i = 0; i < Count(); ++i) {
        const TKldAppItem* item = Items(i);
        if (!leavesOnly || !item->HasChildren())
            ++count;
        item->Items().GetTotalCount(count, leavesOnly);
    }
}

void TKldAppItems::BuildList(std::vector<TKldAppItem*>& list, bool leavesOnly) const
{
    for (int i = 0; i < Count(); ++i) {
        TKldAppItem* item = Items(i);
        if (!leavesOnly || !item->HasChildren())
            list.push_back(item);
        item->Items().BuildList(list, leavesOnly);
    }
}

void TKldAppItems::ForEach(const TItemIterator& iterator, void* data) const
{
    if (!iterator)
        return;
    for (int i = 0; i < Count(); ++i) {
        TKldAppItem* item = Items(i);
        void* childData = data;
        iterator(item, childData);
        item->Items().ForEach(iterator, childData);
    }
}

void TKldAppItems::Changed(bool relayout)
{
    if (UpdateCount() == 0 && m_view)
        m_view->ItemsChanged(relayout);
}

void TKldAppItems::Update(TCollectionItem* item)
{
    // Additions, removals and the end of an update.
    Changed(true);
}

void TKldAppItems::Notify(TCollectionItem* item, TCollectionNotification action)
{
    auto* appItem = static_cast<TKldAppItem*>(item);
    if (action == cnAdded) {
        // The item's children now belong to this tree's view too.
        appItem->m_items->SetView(m_view);
    } else if (action == cnExtracting) {
        appItem->m_items->SetView(nullptr);
        if (m_view)
            m_view->ItemRemoved(appItem);
    }
}
