#pragma once
// `TKldObjectView`: a two-column property list on the grid view. The column
// "Property" shows the props' captions, the column "Value" their values as
// text, edited in place. The rows are `TKldPropItem` objects of the view's
// `Props`; with ByCategory they are grouped under `TKldCategoryItem` rows
// of `Categories`, which the user opens and closes. Hosts fill the list from
// Name=Value lines and read the values back as lines or as one ";"-delimited
// text.
//
// Rules hosts rely on:
// - Rows are rebuilt after every change of the props or the categories (a
//   category opened or closed included) and of Sorted, ByCategory,
//   HideEmptyCategory, HiddenProps and ShowReadOnlyProps; never while the
//   props collection is being updated, during which there are no rows.
// - Sorting compares captions without regard to case and keeps equal
//   captions in collection order.
// - A prop that HiddenPropItem names is not a row (nor is a category whose
//   props are all hidden, under HideEmptyCategory); GetValuesAsStrings and
//   SetValuesAsStrings still cover it.
// - A prop's category link is resolved by name when CategoryName is set (or
//   given by AddChild) and is never re-resolved when a category is renamed;
//   deleting a category clears the link of every prop that had it, shown or
//   not (the prop keeps its CategoryName).
// - The host's OnGetCellText, OnCellProps and OnCellState run after the
//   view's own answer for a prop's cells and may change it; the names'
//   column stays disabled whatever OnCellState says, so the current cell
//   never lands on a name.
// User-interface thread only.

#include "platform/StringList.h"
#include "ui/KldCollectionView.h"
#include "ui/KldGridItems.h"
#include "ui/KldGridView.h"

#include <memory>
#include <string>

class TKldCategoryItem;
class TKldCategoryItems;
class TKldObjectView;
class TKldPropItems;

enum TUpdateValueKind
{
    uvkSet,
    uvkSave,
    uvkRestore
};

class TKldPropItem : public TKldGridItem
{
  public:
    std::string ClassName() const override { return "TKldPropItem"; }

    // From another prop: CategoryName (the link resolved again) and Key,
    // then the grid item's settings, then the change is reported. The value
    // is not copied.
    void Assign(const TPersistent& Source) override;

    const std::string& Value() const { return m_value; }
    // UpdateItem (Value, the current states, uvkSet).
    void SetValue(const std::string& Value);
    // Nothing when Value and States equal the current ones. When Value
    // differs, or Kind is not uvkSet: uvkSave keeps the current value as
    // SavedValue first, uvkRestore takes SavedValue instead of Value; the
    // result becomes the value and the prop is Modified. Then the states
    // become States and the value cell repaints.
    void UpdateItem(const std::string& Value, TKldCellStates States, TUpdateValueKind Kind);
    const std::string& SavedValue() const { return m_savedValue; }
    bool Modified() const { return m_modified; }
    void SetModified(bool Value) { m_modified = Value; }

    const std::string& CategoryName() const { return m_categoryName; }
    // Ignored for a category, for the current text and for the prop's own
    // Name (compared exactly); otherwise stored and the link resolved in
    // the view's Categories (none for an empty or unknown name). The rows
    // show the new grouping at their next rebuild.
    virtual void SetCategoryName(const std::string& Value);
    // The category the link holds; null for none.
    TKldCategoryItem* Category() const { return m_category.Get(); }
    virtual void SetExpanded(bool Value) {}
    virtual bool GetExpanded() const { return false; }
    bool Key() const { return m_key; }
    // The name is drawn bold.
    virtual void SetKey(bool Value);
    virtual bool GetHasChild() const { return false; }
    virtual void SetHasChild(bool Value) {}
    virtual bool IsCategory() const { return false; }
    // No category, or its category is expanded (or visible).
    bool ParentExpanded() const;
    bool ParentVisible() const;

    TKldPropItems* PropItems() const;
    TKldObjectView* ObjectView() const;

    static const TPropList& ClassProps();
    const TPropList& PublishedProps() const override { return ClassProps(); }

  protected:
    // Resolves the link from CategoryName in the view's Categories.
    void UpdateCategory();
    void SetCategoryLink(TKldCategoryItem* Category);
    void StoreCategoryName(const std::string& Value) { m_categoryName = Value; }

  private:
    friend class TKldObjectView;
    friend class TKldPropItems;
    friend class TKldCategoryItems;

    std::string m_value;
    std::string m_savedValue;
    std::string m_categoryName;
    bool m_modified = false;
    TGuardedPtr<TKldCategoryItem> m_category; // not owned
    bool m_key = false;
};

class TKldCategoryItem : public TKldPropItem
{
  public:
    std::string ClassName() const override { return "TKldCategoryItem"; }

    // Copies Expanded, then the prop's settings; CategoryName stays empty.
    void Assign(const TPersistent& Source) override;

    void SetCategoryName(const std::string& Value) override {}
    // A change rebuilds the rows.
    void SetExpanded(bool Value) override;
    bool GetExpanded() const override { return m_expanded; }
    bool Expanded() const { return m_expanded; }
    bool GetHasChild() const override { return m_hasChild; }
    void SetHasChild(bool Value) override { m_hasChild = Value; }
    bool IsCategory() const override { return true; }

    static const TPropList& ClassProps();
    const TPropList& PublishedProps() const override { return ClassProps(); }

  private:
    friend class TKldCategoryItems;
    bool m_expanded = false;
    bool m_hasChild = false;
};

class TKldPropItems : public TKldGridItems
{
  public:
    explicit TKldPropItems(TKldObjectView* View);
    std::string ClassName() const override { return "TKldPropItems"; }

    TKldPropItem* Add();
    // A new prop linked to Category (when it is a category of a collection),
    // whose CategoryName becomes the category's Name.
    TKldPropItem* AddChild(TKldPropItem* Category);
    TKldPropItem* Find(std::string_view Name) const;
    TKldPropItem* GetPropItem(int Index) const;
    // In row order.
    TKldPropItem* GetVisPropItem(int Row) const;
    TKldCategoryItems* GetCategories() const;
    TKldCategoryItem* GetCategoryItem(int Index) const;

    bool ByCategory() const { return m_byCategory; }
    bool Sorted() const { return m_sorted; }
    bool HideEmptyCategory() const { return m_hideEmptyCategory; }

    // Rebuilds the rows (MakeVisibleList) and tells the view; while the
    // collection is being updated only the pending flag is set.
    void LayoutChanged() override;
    // The rows go at once: a text still in the editor is written first.
    void BeginUpdate() override;

  private:
    friend class TKldObjectView;
    void MakeVisibleList();
    bool Shown(const TKldPropItem& Prop) const;

    TKldObjectView* m_objectView;
    bool m_byCategory = false;
    bool m_sorted = false;
    bool m_hideEmptyCategory = false;
};

class TKldCategoryItems : public TKldGridItems
{
  public:
    explicit TKldCategoryItems(TKldObjectView* View);
    std::string ClassName() const override { return "TKldCategoryItems"; }

    // With a non-empty Name, the category of that name when there is one;
    // otherwise a new, expanded category named and captioned Name (no
    // duplicate check).
    TKldCategoryItem* Add(const std::string& Name);
    // A leading "+" or "-" is taken off Name; then Add (Name), and the
    // category is expanded for "+" or no prefix and collapsed for "-"
    // (also when it existed), without rebuilding the rows.
    TKldCategoryItem* AddExt(std::string& Name);
    TKldCategoryItem* Items(int Index) const;
    TKldCategoryItem* GetItem(int Index) const { return Items(Index); }
    void SetItem(int Index, const TKldCategoryItem& Value);

    // Rebuilds the props' rows, or marks them pending while the props
    // collection is being updated.
    void LayoutChanged() override;

  protected:
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

  private:
    TKldObjectView* m_objectView;
};

// Sets Item's Name (with the duplicate check), Caption and EditType; a null
// Item is ignored.
void InitProp(TKldPropItem* Item, const std::string& Name, const std::string& Caption, TKldEditType EditType);

class TKldObjectView : public TKldGridView
{
  public:
    explicit TKldObjectView(QWidget* parent = nullptr);
    ~TKldObjectView() override;
    std::string ClassName() const override { return "TKldObjectView"; }

    // After the host has set the stored settings (as a form does when it
    // is loaded): adds soAutoWidth and remembers the ReadOnly setting.
    void Loaded();

    TKldCategoryItems& Categories() { return *m_categories; }
    TKldPropItems& Props() { return *m_props; }
    // Null only while the view is being made.
    TKldPropItems* PropsOrNull() const { return m_props.get(); }
    // Copy the given collections.
    void SetCategories(const TKldCategoryItems& Value);
    void SetProps(const TKldPropItems& Value);

    TObject* Object() const { return m_object; }
    // Unless the view was read-only when loaded, it becomes read-only
    // exactly when Obj is null.
    void SetObject(TObject* Obj);

    int NameColWidth() const { return m_nameColWidth; }
    void SetNameColWidth(int Value);
    bool ColAutoWidth() const { return m_colAutoWidth; }
    void SetColAutoWidth(bool Value) { m_colAutoWidth = Value; }
    int MaxColWidth() const { return m_maxColWidth; }
    void SetMaxColWidth(int Value) { m_maxColWidth = Value; }
    // Upper-case names, each followed by ";".
    const std::string& HiddenProps() const { return m_hiddenProps; }
    void SetHiddenProps(const std::string& Value);
    bool ShowReadOnlyProps() const { return m_showReadOnlyProps; }
    void SetShowReadOnlyProps(bool Value);
    // Every value counts as Nullable.
    bool EmptyValues() const { return m_emptyValues; }
    void SetEmptyValues(bool Value) { m_emptyValues = Value; }
    bool Sorted() const { return m_props->Sorted(); }
    void SetSorted(bool Value);
    bool ByCategory() const { return m_props->ByCategory(); }
    void SetByCategory(bool Value);
    bool HideEmptyCategory() const { return m_props->HideEmptyCategory(); }
    void SetHideEmptyCategory(bool Value);

    // False for a category; True for a read-only prop while
    // ShowReadOnlyProps is off; otherwise whether the prop's upper-case
    // name followed by ";" occurs anywhere in HiddenProps (so a list naming
    // USERID hides ID too).
    bool HiddenPropItem(const TKldPropItem& Prop) const;

    // With ColAutoWidth: the name column takes the widest Name of the
    // visible props + 16, at most MaxColWidth.
    void AdjustColWidth();

    TKldPropItem* GetSelected();
    // Moves to the prop's value cell when it is a row.
    void SetSelected(TKldPropItem* Prop);
    std::string GetSelectedHint();
    // Repaints the prop's value cell when it is a row.
    void UpdatePropItem(TKldPropItem* Prop);
    // The row showing Prop; -1 when it is not a row.
    int RowOf(const TKldPropItem* Prop) const;
    // Writes a modified text of the editor to its prop now, before the rows
    // change under it (a refusal propagates).
    void CommitEditor();

    // --- Text forms -------------------------------------------------------
    // Replaces the props that are not Custom by one prop per Name=Value
    // line (the first line of a name wins); with KeepValues an empty value
    // keeps the value the row had. Values set so are not Modified.
    void SetPropsAsStrings(const TStrings* Strings, bool KeepValues);
    // Name=Value of every row that is not a category (nor Custom, unless
    // IncludeCustom).
    void GetPropsAsStrings(TStrings& Strings, bool IncludeCustom);
    // Every prop, shown or not, takes the value of its name in Strings
    // (with NonEmptyOnly only a value that is not blank).
    void SetValuesAsStrings(const TStrings& Strings, bool NonEmptyOnly);
    void GetValuesAsStrings(TStrings& Strings, bool NonEmptyOnly);
    // The lines of GetValuesAsStrings as one text, delimited by ";" and
    // quoted with '"' where needed, and back.
    void SetValuesAsString(const std::string& S, bool NonEmptyOnly);
    std::string GetValuesAsString(bool NonEmptyOnly);

    // --- Grid operations ----------------------------------------------
    int GetRowCount() override;
    int GetColCount() override;
    std::string GetColCaption(int ACol) override;
    void CalcColsWidth() override;
    void SetColWidth(int ACol, int AWidth) override;
    TKldEditType DoGetCellEditType(int ACol, int ARow) override;
    void DoGetCellText(int ACol, int ARow, std::string& AText) override;
    void DoSetCellText(int ACol, int ARow, std::string& AText) override;
    void DoCellProps(int ACol, int ARow, TFont& AFont, TColor& AColor, TAlignment& AAlignment) override;
    TKldCellStates DoCellState(int ACol, int ARow, TKldCellStates ADefault) override;
    void DoCellEditOptions(int ACol, int ARow, TCellEditOptions& AOptions) override;
    bool DoCellExecDialog(int ACol, int ARow, std::string& AText) override;
    void DoCellClick(int ACol, int ARow, int AReason) override;
    void DoDrawRowMarker(int ARow, const TRect& ARect) override;
    void LayoutChanged() override;
    void GetCellPlace(int ACol, int ARow, int& ALeft, int& AWidth) override;

    TItemExecDialog OnExecDialog;

  protected:
    void KeyDown(uint16_t& key, TShiftState shift) override;
    bool event(QEvent* event) override;

  private:
    // The prop shown in Row; null outside the rows.
    TKldPropItem* RowProp(int ARow) const;
    void SetCurCellAgain();

    bool m_loadedReadOnly = false;
    // Categories before props: the props go first when the view does.
    std::unique_ptr<TKldCategoryItems> m_categories;
    std::unique_ptr<TKldPropItems> m_props;
    TObject* m_object = nullptr; // not owned
    int m_nameColWidth = 70;
    bool m_colAutoWidth = true;
    int m_maxColWidth = 200;
    std::string m_hiddenProps;
    bool m_showReadOnlyProps = false;
    bool m_emptyValues = false;
    bool m_windowCreated = false;
};
