#pragma once
// The tree of navigation items that the module list, the applet grids and
// the search results show: `TKldAppItem` (caption, name, tags, picture,
// states, children) and `TKldAppItems`, the collection that holds a view's
// top-level items and each item's children.
//
// Every collection of the tree knows the view that owns the top collection,
// so that any change anywhere reaches it: additions, removals and the end
// of an update re-lay out the view; caption and picture changes repaint it.
// Nothing reaches the view while the collection changed is inside
// BeginUpdate/EndUpdate; its outermost EndUpdate re-lays out once.
//
// Items are held by others (menu entries, hosts) through guarded references:
// TGuardedPtr<TKldAppItem> answers nullptr once the item is deleted.

#include "platform/Collection.h"
#include "platform/Guarded.h"
#include "platform/Persistent.h"
#include "platform/Sets.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TKldAppItems;
class TKldAppItemView;
class TMenuItem;

enum TKldAppItemState
{
    isLoaded,  // set and read by the hosts
    isStarted, // set and read by the hosts
    isGroup,   // a group header
    isExpanded // a group or item whose children are shown
};
using TKldAppItemStates = TSet<TKldAppItemState, uint8_t>;

class TKldAppItem : public TCollectionItem, public TGuarded
{
  public:
    TKldAppItem();
    ~TKldAppItem() override;
    std::string ClassName() const override { return "TKldAppItem"; }
    std::string DisplayName() const override { return m_caption; }

    const std::string& Caption() const { return m_caption; }
    // Stores the caption and repaints the view (also when unchanged).
    void SetCaption(const std::string& value);
    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value) { m_name = value; }
    // The host's key: a module or menu id, or an object reference.
    intptr_t Tag() const { return m_tag; }
    void SetTag(intptr_t value) { m_tag = value; }
    intptr_t TagExt() const { return m_tagExt; }
    void SetTagExt(intptr_t value) { m_tagExt = value; }
    // A picture of the view's image list; -1 for none.
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int value);
    TKldAppItemStates States() const { return m_states; }
    bool GetState(TKldAppItemState state) const { return m_states.Contains(state); }
    // Adds or removes the flag and tells the view (re-laid out for
    // isExpanded, repainted otherwise).
    void SetState(TKldAppItemState state, bool value);
    // Hidden items take no place in any view.
    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    // For a view's layout, which decides visibility itself: stores the flag
    // without telling the view (that would start the layout again).
    void StoreVisible(bool value) { m_visible = value; }

    // The item's children; created with the item and owned by it.
    TKldAppItems& Items() { return *m_items; }
    const TKldAppItems& Items() const { return *m_items; }
    bool HasChildren() const;
    // The item that owns this item's collection; nullptr at the top.
    TKldAppItem* GetParent() const;

    // Layout cells that the view writes while laying out and reads when
    // painting and hit-testing; their meaning is the view's.
    int Left() const { return m_left; }
    int Top() const { return m_top; }
    int Height() const { return m_height; }
    void SetCell(int left, int top, int height)
    {
        m_left = left;
        m_top = top;
        m_height = height;
    }

    // A new entry under `Menu` with this item's caption and picture,
    // referring to this item by guarded reference; OnClick is set only for an
    // item without children. Answers the new entry.
    TMenuItem* AddToMenu(TMenuItem& Menu, const std::function<void(TObject* sender)>& OnClick);

  private:
    friend class TKldAppItems;
    void Changed(bool relayout);

    std::string m_caption;
    std::string m_name;
    intptr_t m_tag = -1;
    intptr_t m_tagExt = 0;
    int m_imageIndex = -1;
    TKldAppItemStates m_states;
    bool m_visible = true;
    int m_left = 0;
    int m_top = 0;
    int m_height = 0;
    std::unique_ptr<TKldAppItems> m_items;
};

// Walks a tree of items: called with the current data, which it may change
// for the item's children (see TKldAppItems::ForEach).
using TItemIterator = std::function<void(TKldAppItem* item, void*& data)>;

class TKldAppItems : public TCollection
{
  public:
    // `view` owns the tree (nullptr until the collection joins one);
    // `owner` is the item whose children these are (nullptr at the top).
    TKldAppItems(TKldAppItemView* view, TKldAppItem* owner);
    ~TKldAppItems() override;
    std::string ClassName() const override { return "TKldAppItems"; }

    TKldAppItem* Add();
    TKldAppItem* Add(const std::string& caption, int imageIndex);
    // EListError out of range.
    TKldAppItem* Items(int index) const;
    TKldAppItem* GetItem(int index) const { return Items(index); }
    // nullptr out of range.
    TKldAppItem* FindItem(int index) const;
    // The collection's own search by item ID, this level only.
    TKldAppItem* ItemByID(int id) const;
    // The first item in pre-order (an item before its children, its
    // children before its next sibling) whose Tag (TagExt with byTagExt)
    // equals `tag`; nullptr if none.
    TKldAppItem* ItemByTag(intptr_t tag, bool byTagExt = false) const;
    // The first item in pre-order whose Caption (or Name) equals `text`
    // without regard to case.
    TKldAppItem* ItemByText(const std::string& text, bool byCaption = true) const;
    // Adds to `count` every item of the tree (only those without children
    // with leavesOnly).
    void GetTotalCount(int& count, bool leavesOnly) const;
    void BuildList(std::vector<TKldAppItem*>& list, bool leavesOnly) const;
    // Walks the tree in pre-order. The iterator gets the current data; the
    // item's children are walked with the data as the iterator left it, the
    // next sibling with the data from before the call. So an iterator that
    // sets data to a new container puts the children into it.
    void ForEach(const TItemIterator& iterator, void* data) const;

    // Tells the view, unless inside an update: re-layout (and repaint), or
    // repaint only.
    void Changed(bool relayout);
    TKldAppItemView* GetPanel() const { return m_view; }
    // The item whose children these are; nullptr at the top.
    TKldAppItem* OwnerItem() const { return m_owner; }

    // The captions, one a line (CR LF), of the modules a group holds in the
    // module list's group mode; the host writes it.
    const std::string& MemberText() const { return m_memberText; }
    void SetMemberText(const std::string& text) { m_memberText = text; }

  protected:
    void Update(TCollectionItem* item) override;
    void Notify(TCollectionItem* item, TCollectionNotification action) override;

  private:
    friend class TKldAppItem;
    void SetView(TKldAppItemView* view);

    TKldAppItemView* m_view;
    TKldAppItem* m_owner;
    std::string m_memberText;
};
