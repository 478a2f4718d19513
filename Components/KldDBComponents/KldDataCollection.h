#pragma once
// The base item and base collection shared by tables, columns and relations:
// named items found without regard to case.

#include <memory>
#include <string>

#include "platform/Collection.h"
#include "platform/StringList.h"

class TKldDataCollection;

class TKldDataCollectionItem : public TCollectionItem
{
public:
    TKldDataCollectionItem();
    ~TKldDataCollectionItem() override;
    std::string ClassName() const override { return "TKldDataCollectionItem"; }

    const std::string& Name() const noexcept { return m_name; }
    virtual void SetName(const std::string& value);
    std::string DisplayName() const override;

    // Arbitrary properties of the item, assigned by copy.
    TStringList& Props() { return *m_props; }
    const TStringList& Props() const { return *m_props; }
    void SetProps(const TStrings& value);

    // The item's position, 0-based for reading and writing; writing moves the
    // item, clamped to the collection.
    int ItemIndex() const { return Index(); }
    void SetItemIndex(int value);

    TKldDataCollection* DataCollection() const;

protected:
    // Stores the name without any check or notice.
    void StoreName(const std::string& value) { m_name = value; }

private:
    std::string m_name;
    std::unique_ptr<TStringList> m_props;
};

class TKldDataCollection : public TOwnedCollection
{
public:
    TKldDataCollection(TPersistent* owner, TCollectionItemClass itemClass);
    std::string ClassName() const override { return "TKldDataCollection"; }

    TKldDataCollectionItem* Item(int index) const { return static_cast<TKldDataCollectionItem*>(Items(index)); }

    // A name not used by any item: BaseName, or BaseName followed by Index when
    // Index is above 0; while taken, Index grows by one.
    virtual std::string GetAutoName(const std::string& baseName, int index) const;
    // First item whose name equals `name` without regard to case; nullptr when none.
    TKldDataCollectionItem* Find(const std::string& name) const;
    // As Find, raising the collection's not-found message.
    TKldDataCollectionItem* Get(const std::string& name) const;
    void GetNames(TStrings& list) const;
    int IndexOf(const TKldDataCollectionItem* item) const;
    // True unless an item other than `item` has the name (without regard to case).
    bool IsUnique(const std::string& name, const TKldDataCollectionItem* item) const;
    // While set, IsUnique answers true without looking: whoever adds the items
    // has checked their names against each other already, through a set (a
    // stream load), so that thousands of names do not cost millions of
    // comparisons.
    void SetNamesChecked(bool value) { m_namesChecked = value; }

protected:
    // Raises the "not found" error for `name`.
    [[noreturn]] virtual void NotFoundError(const std::string& name) const;

private:
    bool m_namesChecked = false;
};
