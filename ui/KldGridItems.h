#pragma once
// Grid items and columns: the display settings of one column or one row of a
// grid view, and the collections a view keeps them in.
//
// - `TKldGridItem`: caption (its display name), a name unique in its
//   collection without regard to case, alignments, visibility, the cell
//   states, colours, hint, edit kind and a value list. Its colours start as
//   the view's colour and font colour when the item joins the view's
//   collection.
// - `TKldGridItems`: the owned collection of a view. Besides its items in
//   collection order it keeps the visible list (the visible items in display
//   order), which the subclass rebuilds in LayoutChanged. Every change of the
//   collection (items added, deleted, moved or changed) asks LayoutChanged;
//   inside BeginUpdate .. EndUpdate the visible list is empty and the rebuild
//   follows at the outermost EndUpdate.
// - `TKldColumn`/`TKldColumns`: items that are columns, with widths, sizing
//   rules, a left position for each visible column and a layout text that
//   pulls named columns to the front. `Sorted` is a stored setting only: no
//   row is ever sorted by it.
//
// Items publish their settings (platform/TypInfo.h), so that a collection
// view can show a collection of columns, or of any published item, by
// property name. User-interface thread only.

#include "platform/Collection.h"
#include "platform/Colors.h"
#include "platform/Guarded.h"
#include "platform/StringList.h"
#include "platform/TypInfo.h"
#include "ui/KldGridView.h"

#include <string>
#include <string_view>
#include <vector>

class TKldGridItems;

class TKldGridItem : public TCollectionItem, public IPublished, public TGuarded
{
  public:
    TKldGridItem();
    ~TKldGridItem() override;
    std::string ClassName() const override { return "TKldGridItem"; }
    std::string DisplayName() const override { return m_caption; }

    // From another grid item: Caption, Alignment, Visible, Color, TextColor,
    // the states, EditType, the value list's lines and Hint, then Changed.
    // Name, TextAlignment, Custom, Nullable and DefaultColors stay.
    void Assign(const TPersistent& Source) override;

    // Tells the collection that the item's look changed (ItemChanged with
    // the item) or that the layout must be rebuilt (ItemChanged without);
    // nothing reaches the view while the collection is being updated.
    void Changed();
    void LayoutChanged();

    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& Value);
    // Unchanged when Value is exactly the current name. A non-empty name
    // that any item of the collection already has, without regard to case
    // (this item included), raises "Duplicate name: %s" and the name stays;
    // otherwise an empty caption becomes the new name.
    const std::string& Name() const { return m_name; }
    void SetName(const std::string& Value);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment Value);
    TAlignment TextAlignment() const { return m_textAlignment; }
    void SetTextAlignment(TAlignment Value);
    bool Visible() const { return m_visible; }
    void SetVisible(bool Value);

    TKldCellStates States() const { return m_states; }
    void SetStates(TKldCellStates Value) { m_states = Value; }
    bool GetItemState(TKldCellState State) const { return m_states.Contains(State); }
    void SetItemState(TKldCellState State, bool On);
    bool ReadOnly() const { return GetItemState(csReadOnly); }
    void SetReadOnly(bool Value) { SetItemState(csReadOnly, Value); }
    bool Disabled() const { return GetItemState(csDisabled); }
    void SetDisabled(bool Value) { SetItemState(csDisabled, Value); }
    bool Empty() const { return GetItemState(csEmpty); }
    void SetEmpty(bool Value) { SetItemState(csEmpty, Value); }

    bool Custom() const { return m_custom; }
    void SetCustom(bool Value) { m_custom = Value; }
    bool Nullable() const { return m_nullable; }
    void SetNullable(bool Value) { m_nullable = Value; }
    TColor Color() const { return m_color; }
    // Also switches DefaultColors off.
    void SetColor(TColor Value);
    TColor TextColor() const { return m_textColor; }
    void SetTextColor(TColor Value);
    // The cells keep the grid's own colours.
    bool DefaultColors() const { return m_defaultColors; }
    void SetDefaultColors(bool Value);
    const std::string& Hint() const { return m_hint; }
    void SetHint(const std::string& Value) { m_hint = Value; }
    TKldEditType EditType() const { return m_editType; }
    void SetEditType(TKldEditType Value) { m_editType = Value; }
    TStringList& ValueList() { return m_valueList; }
    const TStringList& ValueList() const { return m_valueList; }
    // Copies the lines of Value.
    void SetValueList(const TStrings& Value);
    bool ValueListSorted() const { return m_valueList.Sorted(); }
    void SetValueListSorted(bool Value) { m_valueList.SetSorted(Value); }

    // The collection when it is a grid item collection, and its view.
    TKldGridItems* GridItems() const;
    TKldGridView* View() const;

    static const TPropList& ClassProps();
    const TPropList& PublishedProps() const override { return ClassProps(); }

  private:
    friend class TKldGridItems;
    // The colours of a new item are the view's when it first joins a view's
    // collection (the item is made before it joins).
    void TakeViewColors(const TKldGridView& View);

    std::string m_caption;
    std::string m_name;
    TAlignment m_alignment = taLeftJustify;
    TAlignment m_textAlignment = taLeftJustify;
    bool m_visible = true;
    TKldCellStates m_states;
    bool m_custom = false;
    bool m_nullable = false;
    TColor m_color = clWindow;
    TColor m_textColor = clWindowText;
    bool m_colorsTaken = false;
    bool m_defaultColors = false;
    std::string m_hint;
    TKldEditType m_editType = etNone;
    TStringList m_valueList;
};

class TKldGridItems : public TCollection
{
  public:
    // View: the view that owns the collection (may be null).
    TKldGridItems(TKldGridView* View, TCollectionItemClass ItemClass);
    ~TKldGridItems() override;
    std::string ClassName() const override { return "TKldGridItems"; }

    TKldGridItem* Add();
    TKldGridItem* GetItem(int Index) const;
    // The first item, in collection order, whose Name equals Name without
    // regard to case; null when none.
    TKldGridItem* Find(std::string_view Name) const;
    // The visible list, in display order.
    int GetVisCount() const { return static_cast<int>(m_visible.size()); }
    TKldGridItem* GetVisItem(int Index) const;
    TKldGridView* GetView() const { return m_view; }

    // BeginUpdate empties the visible list; the outermost EndUpdate rebuilds
    // it (and once more when a rebuild is still pending).
    void BeginUpdate() override;
    void EndUpdate() override;
    bool InUpdate() const { return UpdateCount() > 0; }
    // A rebuild was asked for while the collection was being updated.
    bool Pending() const { return m_pending; }
    void SetPending(bool Value) { m_pending = Value; }

    // The collection's change notice (Item null: the layout).
    virtual void ItemChanged(TKldGridItem* Item);
    // Rebuilds the visible list; the base keeps it as it is.
    virtual void LayoutChanged() {}

    // Deletes every item that is not Custom; the others keep their order.
    void ClearNotCustom();

  protected:
    void Update(TCollectionItem* Item) override;
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
    std::vector<TKldGridItem*>& VisibleList() { return m_visible; }

  private:
    TKldGridView* m_view; // borrowed: the view owns the collection
    std::vector<TKldGridItem*> m_visible;
    bool m_pending = false;
};

class TKldColumn : public TKldGridItem
{
  public:
    std::string ClassName() const override { return "TKldColumn"; }

    // From a column: Width, SizingOption and SortOption, then the grid
    // item's settings, then Changed; ColumnClick stays.
    void Assign(const TPersistent& Source) override;

    bool ColumnClick() const { return m_columnClick; }
    void SetColumnClick(bool Value) { m_columnClick = Value; }
    TItemSortOption SortOption() const { return m_sortOption; }
    void SetSortOption(TItemSortOption Value) { m_sortOption = Value; }
    int Width() const { return m_width; }
    // When changed, the columns' layout is rebuilt.
    void SetWidth(int Value);
    TColumnSizingOption SizingOption() const { return m_sizingOption; }
    void SetSizingOption(TColumnSizingOption Value) { m_sizingOption = Value; }
    // SizingOption is csoAutoWidth; True sets it, False gives csoFixed.
    bool AutoWidth() const { return m_sizingOption == csoAutoWidth; }
    void SetAutoWidth(bool Value) { m_sizingOption = Value ? csoAutoWidth : csoFixed; }
    // The x of the left edge within the row of visible columns (AdjustWidth).
    int Left() const { return m_left; }

    static const TPropList& ClassProps();
    const TPropList& PublishedProps() const override { return ClassProps(); }

  private:
    friend class TKldColumns;
    friend class TKldCollectionView;

    // The collection view's look-up of the property this column names. It
    // is kept for the class and the name it was made for (a renamed column
    // or an item of another class looks up again) and dropped when the
    // view's collection changes. Null when the class has no such property.
    const TPropInfo* PropertyFor(const TObject& Item);
    void DropPropertyLookup() { m_lookupValid = false; }

    bool m_columnClick = false;
    TItemSortOption m_sortOption = isoNone;
    int m_width = 70;
    TColumnSizingOption m_sizingOption = csoFixed;
    int m_left = 0;

    bool m_lookupValid = false;
    const TPropList* m_lookupList = nullptr;
    std::string m_lookupName;
    const TPropInfo* m_lookupInfo = nullptr;
};

class TKldColumns : public TKldGridItems
{
  public:
    explicit TKldColumns(TKldGridView* View);
    std::string ClassName() const override { return "TKldColumns"; }

    TKldColumn* Add();
    TKldColumn* GetColumn(int Index) const;
    TKldColumn* GetVisColumn(int Index) const;

    // Stored only; switching it on rebuilds the layout. No row is sorted.
    bool Sorted() const { return m_sorted; }
    void SetSorted(bool Value);
    // The sum of the visible columns' widths, as AdjustWidth left it.
    int TotalWidth() const { return m_totalWidth; }
    // Upper-case column names, each followed by ";". Setting it (trimmed and
    // upper-cased, ";" added when missing) applies at the next rebuild of
    // the columns, not at once.
    const std::string& Layout() const { return m_layout; }
    void SetLayout(const std::string& Value);

    // Moves the visible columns that Layout names to the front, in the
    // layout's order (names not trimmed; the first empty name ends it).
    void UpdateLayout();
    // Sets every visible column's Left and TotalWidth; auto-width columns
    // share what the others leave of Width (the first takes the remainder),
    // none narrower than 16 pixels.
    void AdjustWidth(int Width);

    void LayoutChanged() override;

  private:
    bool m_sorted = false;
    int m_totalWidth = 0;
    std::string m_layout;
};

// The names of the published enumerations.
const std::vector<std::string>& AlignmentNames();
const std::vector<std::string>& EditTypeNames();
const std::vector<std::string>& SortOptionNames();
const std::vector<std::string>& SizingOptionNames();
