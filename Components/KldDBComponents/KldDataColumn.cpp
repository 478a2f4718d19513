#include "Components/KldDBComponents/KldDataColumn.h"

#include <algorithm>

#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataRelation.h"
#include "Components/KldDBComponents/KldDataRowSet.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "base/KldLogFile.h"
#include "platform/SysUtils.h"

int KldSlotSize(TKldDataType dataType)
{
    switch (dataType)
    {
    case cdtString:
    case cdtWideString:
    case cdtMemo:
    case cdtBlob:
        return sizeof(TKldStoredString*);
    case cdtReference:
        return 0;
    default:
        return DataTypeSizes[dataType];
    }
}

int KldSlotAlign(TKldDataType dataType)
{
    switch (dataType)
    {
    case cdtSmallInt:
    case cdtBoolean:
    case cdtBCD:
        return 2;
    case cdtInteger:
    case cdtGuid:
    case cdtSQLTimeStamp:
        return 4;
    case cdtUnknown:
    case cdtReference:
        return 1;
    default:
        return 8;
    }
}

namespace
{

// Pieces of a name list split at `separator`: each trimmed of blanks; a
// separator at the very end adds no piece.
std::vector<std::string> SplitNames(const std::string& names, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < names.size())
    {
        size_t end = names.find(separator, start);
        if (end == std::string::npos)
            end = names.size();
        pieces.push_back(Trim(std::string_view(names).substr(start, end - start)));
        start = end + 1;
    }
    return pieces;
}

} // namespace

// --- TKldDataColumn ------------------------------------------------------------

TKldDataColumn::~TKldDataColumn()
{
    // The rows are laid out by the columns: they go (or are saved for the
    // next activation) while this column is still whole, not when the
    // collection hears of the removal half-way through its destruction.
    TKldDataTable* table = GetDataTable();
    if (!table)
        return;
    try
    {
        if (TKldDataContainer* container = table->GetDataContainer())
        {
            // Open row sets over the table must not sort or range by it.
            for (int i = container->CursorCount() - 1; i >= 0; --i)
            {
                if (i < container->CursorCount() && container->Cursor(i)->DataTable() == table)
                    container->Cursor(i)->ForgetColumn(this);
            }
            container->SetActive(false);
        }
        else
        {
            table->UnPrepare();
        }
    }
    catch (const Exception& e)
    {
        // Rows kept for the next activation could not be saved: they are lost
        // like those of a container without persistent data.
        Log.Error(e, "KldData");
    }
}

TKldDataTable* TKldDataColumn::GetDataTable() const
{
    auto* columns = dynamic_cast<TKldDataColumns*>(Collection());
    return columns ? columns->GetDataTable() : nullptr;
}

TKldDataContainer* TKldDataColumn::GetDataContainer() const
{
    TKldDataTable* table = GetDataTable();
    return table ? table->GetDataContainer() : nullptr;
}

void TKldDataColumn::Changed()
{
    if (TKldDataTable* table = GetDataTable())
        table->NotifyEvent(this, cdeColumnListChanged);
}

void TKldDataColumn::SetName(const std::string& value)
{
    if (value == Name())
        return;
    std::string trimmed = Trim(value);
    if (trimmed.empty())
        throw Exception("Column name should not be empty");
    if (auto* collection = DataCollection(); collection && !collection->IsUnique(trimmed, this))
        throw Exception(Format("Duplicate column name: %s", trimmed));
    if (TKldDataTable* table = GetDataTable())
        table->CheckUnPrepared();
    StoreName(value);
    Changed();
}

void TKldDataColumn::SetDataType(TKldDataType value)
{
    if (value == m_dataType)
        return;
    if (TKldDataTable* table = GetDataTable())
        table->CheckUnPrepared();
    m_dataType = value;
    if (value == cdtString || value == cdtWideString)
        m_dataLength = 20;
    else if (value == cdtBCD)
        m_dataLength = 2;
    else
        m_dataLength = 0;
    Changed();
}

int TKldDataColumn::DataLength() const
{
    if (m_dataType == cdtString || m_dataType == cdtWideString || m_dataType == cdtBCD)
        return m_dataLength;
    return DataTypeSizes[m_dataType];
}

void TKldDataColumn::SetDataLength(int value)
{
    if (value == m_dataLength)
        return;
    if (TKldDataTable* table = GetDataTable())
        table->CheckUnPrepared();
    // The length is a 16-bit field: keep a hostile value inside it.
    int clamped = std::clamp(value, 0, 0xFFFF);
    if (m_dataType == cdtString || m_dataType == cdtWideString)
        m_dataLength = static_cast<uint16_t>(clamped);
    else if (m_dataType == cdtBCD)
        m_dataLength = static_cast<uint16_t>(std::min(clamped, 4));
    Changed();
}

std::string TKldDataColumn::DataTypeName() const
{
    if (m_dataType == cdtReference)
        return "->" + m_relationName;
    return DataTypeNames[m_dataType];
}

void TKldDataColumn::SetDataTypeName(const std::string& value)
{
    if (value.empty())
    {
        SetDataType(cdtUnknown);
    }
    else if (value.rfind("->", 0) == 0)
    {
        SetDataType(cdtReference);
        m_relationName = value.substr(2);
    }
    else
    {
        SetDataType(DataTypeNameToType(value));
    }
}

void TKldDataColumn::SetAttribute(TKldDataColumnAttribute attribute, bool value)
{
    if (m_attributes.Contains(attribute) == value)
        return;
    m_attributes.Set(attribute, value);
    Changed();
}

TKldDataRelation* TKldDataColumn::GetRelation()
{
    if (m_relation)
        return m_relation;
    TKldDataContainer* container = GetDataContainer();
    TKldDataRelation* relation = container ? container->Relations().Find(m_relationName) : nullptr;
    // Only a prepared table forgets the cache (when it is unprepared, which
    // removing a relation causes); an unprepared one must not keep it.
    if (TKldDataTable* table = GetDataTable(); table && table->Prepared())
        m_relation = relation;
    return relation;
}

void TKldDataColumn::Assign(const TPersistent& source)
{
    auto* other = dynamic_cast<const TKldDataColumn*>(&source);
    if (!other)
    {
        TKldDataCollectionItem::Assign(source);
        return;
    }
    // The definition changes under the rows: they go first, also from a
    // table that prepared itself outside any container.
    if (TKldDataContainer* container = GetDataContainer())
        container->SetActive(false);
    else if (TKldDataTable* table = GetDataTable())
        table->UnPrepare();
    if (other->Name() != Name())
    {
        auto* collection = DataCollection();
        SetName(collection ? collection->GetAutoName(other->Name(), 0) : other->Name());
    }
    m_dataType = other->m_dataType;
    m_dataLength = other->m_dataLength;
    m_attributes = other->m_attributes;
    m_displayLabel = other->m_displayLabel;
    m_relationName = other->m_relationName;
    m_relation = nullptr;
    SetProps(other->Props());
    Changed();
}

// --- TKldDataColumns -----------------------------------------------------------

TKldDataColumns::TKldDataColumns(TKldDataTable* table)
    : TKldDataCollection(table, CollectionItemClass<TKldDataColumn>()), m_table(table)
{
}

void TKldDataColumns::Update(TCollectionItem* item)
{
    if (m_table)
        m_table->NotifyEvent(m_table, cdeColumnListChanged);
}

void TKldDataColumns::Notify(TCollectionItem* item, TCollectionNotification action)
{
    // A column joining or leaving changes every row's layout: the container
    // (and with it every table) goes inactive, which discards the rows.
    if (action == cnAdded || action == cnExtracting)
    {
        if (m_table && m_table->GetDataContainer())
            m_table->GetDataContainer()->SetActive(false);
        else if (m_table)
            m_table->UnPrepare();
    }
    TKldDataCollection::Notify(item, action);
}

void TKldDataColumns::NotFoundError(const std::string& name) const
{
    throw Exception(Format("Column %s not found in table %s", name, m_table ? m_table->Name() : std::string()));
}

TKldDataColumn* TKldDataColumns::AddColumn(const std::string& name, TKldDataType dataType, int dataLength,
                                           bool required)
{
    TKldDataColumn* column = Add();
    try
    {
        column->SetName(name);
        column->SetDataType(dataType);
        column->m_attributes.Set(caRequired, required);
        if (dataLength >= 0)
            column->SetDataLength(dataLength);
    }
    catch (...)
    {
        delete column;
        throw;
    }
    return column;
}

void TKldDataColumns::GetColumnList(std::vector<TKldDataColumn*>& list, const std::string& names) const
{
    list.clear();
    for (const std::string& name : SplitNames(names, ';'))
        list.push_back(Get(name));
}

TKldColumnArray TKldDataColumns::GetColumnArray(const std::string& names) const
{
    TKldColumnArray columns;
    GetColumnList(columns, names);
    return columns;
}

TKldOrderByColumns TKldDataColumns::GetOrderByColumns(const std::string& names) const
{
    char separator = names.find(';') != std::string::npos ? ';' : ',';
    TKldOrderByColumns result;
    for (std::string piece : SplitNames(names, separator))
    {
        if (piece.empty())
            continue;
        bool descending = false;
        if (piece[0] == '-' || piece[0] == '+')
        {
            descending = piece[0] == '-';
            piece.erase(0, 1);
        }
        result.push_back({Get(piece), descending});
    }
    return result;
}
