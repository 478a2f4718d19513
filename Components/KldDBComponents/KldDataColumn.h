#pragma once
// TKldDataColumn and TKldDataColumns: the typed columns of an engine table.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Components/KldDBComponents/KldDataCollection.h"
#include "Components/KldDBComponents/KldDataCompare.h"
#include "Components/KldDBComponents/KldDataTypes.h"

class TKldDataTable;
class TKldDataRelation;
class TKldDataContainer;

enum TKldDataColumnAttribute
{
    caRequired,
    caReadOnly,
    caPrimaryKey,
    caForeignKey,
    caCalculated,
    caReferencedKey
};
using TKldDataColumnAttributes = KldSet<TKldDataColumnAttribute, uint8_t>;

// A column and whether it sorts in descending order.
struct TKldOrderByColumn
{
    TKldDataColumn* Column = nullptr;
    bool Descending = false;
};
using TKldOrderByColumns = std::vector<TKldOrderByColumn>;

// Bytes a value of the type takes in this port's row buffer, and its alignment.
int KldSlotSize(TKldDataType dataType);
int KldSlotAlign(TKldDataType dataType);
// True for the types kept in a row's text area (see TKldTextArea).
inline bool KldIsTextType(TKldDataType t)
{
    return t == cdtString || t == cdtWideString || t == cdtMemo || t == cdtBlob;
}

class TKldDataColumn : public TKldDataCollectionItem
{
public:
    TKldDataColumn() = default;
    ~TKldDataColumn() override;
    std::string ClassName() const override { return "TKldDataColumn"; }

    TKldDataTable* GetDataTable() const;
    TKldDataContainer* GetDataContainer() const;

    void SetName(const std::string& value) override;
    const std::string& ColumnName() const noexcept { return Name(); }

    TKldDataType DataType() const noexcept { return m_dataType; }
    void SetDataType(TKldDataType value);
    // The stored length for String, WideString and BCD, else the type's size.
    int DataLength() const;
    void SetDataLength(int value);
    // The length as stored (what a stream writes).
    int StoredDataLength() const noexcept { return m_dataLength; }
    // The type's size as the engine reports it (references count 4 bytes).
    int GetDataSize() const { return DataTypeSizes[m_dataType]; }

    std::string DataTypeName() const;
    void SetDataTypeName(const std::string& value);

    TKldDataColumnAttributes Attributes() const noexcept { return m_attributes; }
    void SetAttribute(TKldDataColumnAttribute attribute, bool value);
    bool Required() const noexcept { return m_attributes.Contains(caRequired); }
    void SetRequired(bool value) { SetAttribute(caRequired, value); }
    bool ReadOnly() const noexcept { return m_attributes.Contains(caReadOnly); }
    void SetReadOnly(bool value) { SetAttribute(caReadOnly, value); }
    bool PrimaryKey() const noexcept { return m_attributes.Contains(caPrimaryKey); }
    void SetPrimaryKey(bool value) { SetAttribute(caPrimaryKey, value); }
    bool Calculated() const noexcept { return m_attributes.Contains(caCalculated); }
    void SetCalculated(bool value) { SetAttribute(caCalculated, value); }

    const std::string& DisplayLabel() const noexcept { return m_displayLabel; }
    void SetDisplayLabel(const std::string& value) { m_displayLabel = value; }
    const std::string& RelationName() const noexcept { return m_relationName; }
    void SetRelationName(const std::string& value) { m_relationName = value; }
    // The cached relation, else the container's relation named RelationName
    // (nullptr when none), which is then cached.
    TKldDataRelation* GetRelation();

    // Set by the table's Prepare.
    int ColumnIndex() const noexcept { return m_columnIndex; }
    int Offset() const noexcept { return static_cast<int>(m_offset); }
    bool Checked() const noexcept { return m_checked; }

    void Assign(const TPersistent& source) override;

private:
    friend class TKldDataTable;
    friend class TKldDataColumns;
    friend class TKldDataRow;

    void Changed();

    TKldDataType m_dataType = cdtUnknown;
    uint16_t m_dataLength = 0;
    uint32_t m_offset = 0;     // the fixed slot; the text area for a text column
    uint32_t m_bitsOffset = 0; // the assigned bitmap
    int m_textIndex = -1;      // entry in the text area, -1 for other types
    int m_columnIndex = -1;
    TKldDataColumnAttributes m_attributes;
    std::string m_relationName;
    TKldDataRelation* m_relation = nullptr;
    std::string m_displayLabel;
    bool m_checked = false;
    TKldDataTable* m_layoutTable = nullptr; // the table whose prepared layout gave m_offset
};

class TKldDataColumns : public TKldDataCollection
{
public:
    explicit TKldDataColumns(TKldDataTable* table);
    std::string ClassName() const override { return "TKldDataColumns"; }

    TKldDataTable* GetDataTable() const noexcept { return m_table; }
    TKldDataColumn* Columns(int index) const { return static_cast<TKldDataColumn*>(Items(index)); }
    TKldDataColumn* Add() { return static_cast<TKldDataColumn*>(TCollection::Add()); }
    TKldDataColumn* Find(const std::string& name) const
    {
        return static_cast<TKldDataColumn*>(TKldDataCollection::Find(name));
    }
    TKldDataColumn* Get(const std::string& name) const
    {
        return static_cast<TKldDataColumn*>(TKldDataCollection::Get(name));
    }

    // A negative length keeps the type's default length.
    TKldDataColumn* AddColumn(const std::string& name, TKldDataType dataType, int dataLength = -1,
                              bool required = false);
    // Clears `list` and appends the column of each ";"-separated name.
    void GetColumnList(std::vector<TKldDataColumn*>& list, const std::string& names) const;
    TKldColumnArray GetColumnArray(const std::string& names) const;
    // "," separates the names unless the text holds a ";"; "-" before a name
    // sorts it descending, "+" ascending.
    TKldOrderByColumns GetOrderByColumns(const std::string& names) const;

protected:
    void Update(TCollectionItem* item) override;
    void Notify(TCollectionItem* item, TCollectionNotification action) override;
    [[noreturn]] void NotFoundError(const std::string& name) const override;

private:
    TKldDataTable* m_table;
};
