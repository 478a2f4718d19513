#pragma once
// `TMenuItem` and `TPopupMenu`: a popup menu as a tree of entries, shown
// through QMenu with every entry painted by the system's handlers.
//
// - An entry has a caption ("-" makes a separator line; "&" marks the
//   accelerator), a picture index into the menu's image list, a tag, a
//   guarded reference to the object it stands for, and child entries, which
//   make it a sub-menu. A menu entry that stands for an item keeps it by
//   guarded reference, so that a host clearing its items while the menu is
//   open leaves the entry with no item instead of a dangling one.
// - Sizes come from MeasureItem and pictures from DrawItem: the entry's
//   OnMeasureItem and OnDrawItem when the menu is owner-drawn and they are
//   assigned, the default look otherwise. Both work without showing the
//   menu, so tests measure and draw entries directly.
// - Popup(X, Y) builds a QMenu from the entries at that moment and shows it
//   at the screen position (its left edge there, or by Alignment its right
//   edge or its centre), without waiting. Choosing an entry calls its
//   Click (OnClick when the entry is enabled and still exists). Changing the
//   entries while the menu shows does not change the menu on screen; an
//   entry deleted meanwhile is drawn as nothing and does nothing.

#include "platform/Canvas.h"
#include "platform/Guarded.h"
#include "platform/ImageList.h"
#include "platform/Persistent.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;

using TMenuMeasureItemEvent = std::function<void(TObject* sender, TCanvas& canvas, int& width, int& height)>;
using TMenuDrawItemEvent =
    std::function<void(TObject* sender, TCanvas& canvas, const TRect& rect, bool selected)>;

class TMenuItem : public TObject, public TGuarded
{
  public:
    TMenuItem() = default;
    ~TMenuItem() override;
    std::string ClassName() const override { return "TMenuItem"; }

    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& value) { m_caption = value; }
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int value) { m_imageIndex = value; }
    intptr_t Tag() const { return m_tag; }
    void SetTag(intptr_t value) { m_tag = value; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { m_visible = value; }
    bool Checked() const { return m_checked; }
    void SetChecked(bool value) { m_checked = value; }
    // The object the entry stands for (ItemRef().Get<T>() is nullptr once
    // that object is gone).
    const TGuardedRef& ItemRef() const { return m_itemRef; }
    void SetItemRef(const TGuardedRef& ref) { m_itemRef = ref; }
    bool IsLine() const { return m_caption == "-"; }

    TMenuItem* Parent() const { return m_parent; }
    int Count() const { return static_cast<int>(m_items.size()); }
    // nullptr out of range.
    TMenuItem* Items(int index) const;
    int IndexOf(const TMenuItem* item) const;
    // A new entry at the end of this one's children.
    TMenuItem* Add();
    void Delete(int index);
    void Clear();

    // Calls OnClick when the entry is enabled.
    void Click();

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;

  private:
    std::string m_caption;
    int m_imageIndex = -1;
    intptr_t m_tag = 0;
    bool m_enabled = true;
    bool m_visible = true;
    bool m_checked = false;
    TGuardedRef m_itemRef;
    TMenuItem* m_parent = nullptr;
    std::vector<std::unique_ptr<TMenuItem>> m_items;
};

// Where the menu stands relative to the point given to Popup.
enum TPopupAlignment
{
    paLeft,  // its left edge at the point
    paRight, // its right edge at the point
    paCenter // centred on the point
};

class TPopupMenu : public TObject, public TGuarded
{
  public:
    TPopupMenu();
    ~TPopupMenu() override;
    std::string ClassName() const override { return "TPopupMenu"; }

    // The root entry; its children are the menu's entries.
    TMenuItem& Items() { return m_items; }
    TCustomImageList* Images() const { return m_images.Get(); }
    void SetImages(TCustomImageList* images) { m_images = images; }
    bool OwnerDraw() const { return m_ownerDraw; }
    void SetOwnerDraw(bool value) { m_ownerDraw = value; }
    TPopupAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TPopupAlignment value) { m_alignment = value; }
    // The font entries are measured and drawn with by default.
    TFont& Font() { return m_font; }

    // Width and height of an entry.
    TSize MeasureItem(TMenuItem& item);
    void DrawItem(TMenuItem& item, TCanvas& canvas, const TRect& rect, bool selected);

    void Popup(int x, int y);
    // Where the last Popup showed the menu (screen coordinates).
    TPoint PopupPoint() const { return m_popupPoint; }
    bool Showing() const;
    void CloseMenu();
    // The Qt menu that the last Popup built (nullptr before); its actions
    // stand for the visible entries in order.
    QMenu* Menu() const;

    TNotifyEvent OnPopup;

  private:
    class TQtMenu;
    class TMenuStyle;
    void ReleaseMenu();
    void Fill(TQtMenu& menu, TMenuItem& parent, TMenuStyle& style);
    TSize DefaultMeasure(TMenuItem& item);
    void DefaultDraw(TMenuItem& item, TCanvas& canvas, const TRect& rect, bool selected);

    TMenuItem m_items;
    TImageListRef m_images;
    bool m_ownerDraw = false;
    TPopupAlignment m_alignment = paLeft;
    TFont m_font;
    TPoint m_popupPoint;
    TQtMenu* m_menu = nullptr; // owned; deleted later when released from its own signal
    int m_triggering = 0;
};
