#pragma once
// `TFieldDefs` and `TFieldDef`: the physical structure of a dataset, one
// definition per column the dataset's cursor delivers. Default fields are made
// from the definitions when a dataset opens without persistent fields.
//
// - Names are unique without regard to case; Add raises "Duplicate field name
//   '%s'" for a second one.
// - FieldNo is the definition's 1-based position unless set otherwise.
// - Required and the faRequired attribute are the same setting.
// - Assign copies every definition (name, type, size, precision, attributes,
//   internal-calc flag, field number).

#include <string>

#include "platform/Collection.h"
#include "platform/DBTypes.h"

class TDataSet;
class TField;
class TFieldDefs;

class TFieldDef : public TCollectionItem
{
  public:
    TFieldDef() = default;
    std::string ClassName() const override { return "TFieldDef"; }

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& value);
    TFieldType DataType() const { return m_dataType; }
    void SetDataType(TFieldType value);
    int Size() const { return m_size; }
    void SetSize(int value);
    int Precision() const { return m_precision; }
    void SetPrecision(int value);
    bool Required() const { return m_attributes.Contains(faRequired); }
    void SetRequired(bool value);
    TFieldAttributes Attributes() const { return m_attributes; }
    void SetAttributes(TFieldAttributes value);
    bool InternalCalcField() const { return m_internalCalcField; }
    void SetInternalCalcField(bool value);
    // 1-based; the position + 1 unless set explicitly.
    int FieldNo() const;
    void SetFieldNo(int value) { m_fieldNo = value; }

    std::string DisplayName() const override { return m_name; }
    void Assign(const TPersistent& source) override;

    TFieldDefs* FieldDefs() const;
    // Makes the field for this definition, owned by `owner`, attached to the
    // definitions' dataset (when there is one). Raises "Field '%s' is of an
    // unknown type" for types without a field class.
    TField* CreateField(TComponent* owner);

  private:
    std::string m_name;
    TFieldType m_dataType = ftUnknown;
    int m_size = 0;
    int m_precision = 0;
    TFieldAttributes m_attributes;
    bool m_internalCalcField = false;
    int m_fieldNo = 0;
};

class TFieldDefs : public TOwnedCollection
{
  public:
    // `dataSet` may be null for a free-standing list (as a snapshot reader keeps).
    explicit TFieldDefs(TDataSet* dataSet);
    std::string ClassName() const override { return "TFieldDefs"; }

    TDataSet* DataSet() const { return m_dataSet; }
    TFieldDef* Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }
    TFieldDef* operator[](int index) const { return Items(index); }

    TFieldDef* AddFieldDef();
    // Raises "Duplicate field name '%s'" when the name is taken.
    TFieldDef* Add(const std::string& name, TFieldType dataType, int size = 0, bool required = false);
    // -1 when absent (names compared without regard to case).
    int IndexOf(const std::string& name) const;
    TFieldDef* Find(const std::string& name) const;    // raises "Field '%s' not found"
    TFieldDef* FindDef(const std::string& name) const; // null when absent

    // Whether the definitions reflect the dataset's cursor; cleared by changes.
    bool Updated() const { return m_updated; }
    void SetUpdated(bool value) { m_updated = value; }
    // Asks the dataset to rebuild the definitions (when not up to date).
    void Update();

  protected:
    void Update(TCollectionItem* item) override;

  private:
    TDataSet* m_dataSet;
    bool m_updated = false;
};
