// Container, table and row persistence.
//
// Container stream: Boolean WithStructure; when set, the Tables collection
// then the Relations collection (items as lists of property name and value);
// then a list of (table name, table data). Table data: Boolean prepared; when
// set, a list of (column name, data type ordinal) and a list of rows. Row data:
// Boolean has-buffer; when set, per stored column a Boolean assigned and, when
// assigned, the value in the column type's form.
//
// Loading first reads the whole stream without touching the container, so a
// malformed stream (truncated, unknown type bytes or property names, lengths
// beyond the stream, type ordinals out of range, unknown tables) is refused
// before anything changes. The second pass then reads the same bytes for real.

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_set>

#include "Components/KldDBComponents/KldDataContainer.h"
#include "Components/KldDBComponents/KldDataStream.h"
#include "platform/FileReplaceStream.h"
#include "Components/KldDBComponents/KldDataTable.h"
#include "platform/FMTBcd.h"
#include "platform/Guid.h"
#include "platform/SqlTimSt.h"

namespace
{

const std::array<const char*, KldDataTypeCount> DataTypeIdents = {
    "cdtUnknown", "cdtSmallInt", "cdtLargeInt", "cdtBoolean", "cdtInteger", "cdtFloat",
    "cdtDateTime", "cdtDate",    "cdtTime",     "cdtString",  "cdtWideString", "cdtGuid",
    "cdtMemo",    "cdtBlob",     "cdtReference", "cdtBCD",    "cdtSQLTimeStamp"};

const std::array<const char*, 4> RelationActionIdents = {"draIgnore", "draError", "draCascade", "draNullify"};

[[noreturn]] void PropertyError(const std::string& name)
{
    throw EReadError(Format("Property %s does not exist", name));
}

TKldDataType ReadDataTypeIdent(TKldReader& reader)
{
    std::string name = reader.ReadIdent();
    for (int i = 0; i < KldDataTypeCount; ++i)
    {
        if (SameText(name, DataTypeIdents[static_cast<size_t>(i)]))
            return static_cast<TKldDataType>(i);
    }
    TKldReader::InvalidValue();
}

TKldDataRelationAction ReadActionIdent(TKldReader& reader)
{
    std::string name = reader.ReadIdent();
    for (size_t i = 0; i < RelationActionIdents.size(); ++i)
    {
        if (SameText(name, RelationActionIdents[i]))
            return static_cast<TKldDataRelationAction>(i);
    }
    TKldReader::InvalidValue();
}

// --- Structure as read from a stream -------------------------------------------------------

struct ColumnSchema
{
    std::vector<std::string> Props;
    std::string Name;
    TKldDataType DataType = cdtUnknown;
    int DataLength = -1; // -1: not stored, the type's default
    bool Required = false, ReadOnly = false, PrimaryKey = false, Calculated = false;
    std::string DisplayLabel, RelationName;
};

struct TableSchema
{
    std::vector<std::string> Props;
    std::vector<ColumnSchema> Columns;
    std::string Name;
};

struct RelationSchema
{
    std::vector<std::string> Props;
    std::string Name, ParentTableName, ChildTableName, ParentColumnNames, ChildColumnNames;
    bool OwnRows = false;
    TKldDataRelationAction DeleteAction = draIgnore, UpdateAction = draIgnore;
};

struct ContainerSchema
{
    std::vector<TableSchema> Tables;
    std::vector<RelationSchema> Relations;
};

void WriteProps(TKldWriter& writer, const TStringList& props)
{
    // An empty list is not written, as the class library leaves it out.
    if (props.Count() == 0)
        return;
    writer.WritePropName("Props.Strings");
    writer.WriteListBegin();
    for (int i = 0; i < props.Count(); ++i)
        writer.WriteString(props[i]);
    writer.WriteListEnd();
}

std::vector<std::string> ReadProps(TKldReader& reader)
{
    std::vector<std::string> lines;
    reader.ReadListBegin();
    while (!reader.EndOfList())
        lines.push_back(reader.ReadString());
    reader.ReadListEnd();
    return lines;
}

void WriteColumn(TKldWriter& writer, const TKldDataColumn& column)
{
    writer.WriteListBegin();
    WriteProps(writer, column.Props());
    writer.WritePropName("DataType");
    writer.WriteIdent(DataTypeIdents[column.DataType()]);
    writer.WritePropName("DataLength");
    writer.WriteInteger(column.StoredDataLength());
    writer.WritePropName("Name");
    writer.WriteString(column.Name());
    writer.WritePropName("Required");
    writer.WriteBoolean(column.Required());
    writer.WritePropName("ReadOnly");
    writer.WriteBoolean(column.ReadOnly());
    writer.WritePropName("PrimaryKey");
    writer.WriteBoolean(column.PrimaryKey());
    writer.WritePropName("Calculated");
    writer.WriteBoolean(column.Calculated());
    writer.WritePropName("DisplayLabel");
    writer.WriteString(column.DisplayLabel());
    writer.WritePropName("RelationName");
    writer.WriteString(column.RelationName());
    writer.WriteListEnd();
}

void WriteTable(TKldWriter& writer, TKldDataTable& table)
{
    writer.WriteListBegin();
    WriteProps(writer, table.Props());
    writer.WritePropName("Columns");
    writer.WriteValue(vaCollection);
    for (int i = 0; i < table.ColumnCount(); ++i)
        WriteColumn(writer, *table.Column(i));
    writer.WriteListEnd();
    writer.WritePropName("Name");
    writer.WriteString(table.Name());
    writer.WriteListEnd();
}

void WriteRelation(TKldWriter& writer, const TKldDataRelation& relation)
{
    writer.WriteListBegin();
    WriteProps(writer, relation.Props());
    writer.WritePropName("Name");
    writer.WriteString(relation.Name());
    writer.WritePropName("ParentTableName");
    writer.WriteString(relation.ParentTableName());
    writer.WritePropName("ChildTableName");
    writer.WriteString(relation.ChildTableName());
    writer.WritePropName("ParentColumnNames");
    writer.WriteString(relation.ParentColumnNames());
    writer.WritePropName("ChildColumnNames");
    writer.WriteString(relation.ChildColumnNames());
    writer.WritePropName("OwnRows");
    writer.WriteBoolean(relation.OwnRows());
    writer.WritePropName("DeleteAction");
    writer.WriteIdent(RelationActionIdents[relation.DeleteAction()]);
    writer.WritePropName("UpdateAction");
    writer.WriteIdent(RelationActionIdents[relation.UpdateAction()]);
    writer.WriteListEnd();
}

// The most tables, relations and columns of one table that a stream may
// hold, and the most of all of them together in one stream: a hostile
// stream of millions of items would take minutes and gigabytes.
constexpr size_t MaxStreamItems = 2048;
constexpr size_t MaxStreamTotalItems = 65536;

// Reads a collection value, calling `item` for each item with the reader at
// its first property name. More than MaxStreamItems items raise EReadError
// naming `what`; so do more than MaxStreamTotalItems counted in `total`
// over the whole stream.
template <class F>
void ReadCollection(TKldReader& reader, const char* what, size_t& total, F&& item)
{
    reader.CheckValue(vaCollection);
    size_t count = 0;
    while (!reader.EndOfList())
    {
        if (++count > MaxStreamItems)
            throw EReadError(Format("More than %d %s in the stream", int(MaxStreamItems), what));
        if (++total > MaxStreamTotalItems)
            throw EReadError(Format("More than %d items in the stream", int(MaxStreamTotalItems)));
        reader.ReadListBegin();
        item();
        reader.ReadListEnd();
    }
    reader.ReadListEnd();
}

ColumnSchema ReadColumnSchema(TKldReader& reader)
{
    ColumnSchema column;
    while (!reader.EndOfList())
    {
        std::string name = reader.ReadPropName();
        if (SameText(name, "Props.Strings"))
            column.Props = ReadProps(reader);
        else if (SameText(name, "DataType"))
            column.DataType = ReadDataTypeIdent(reader);
        else if (SameText(name, "DataLength"))
        {
            column.DataLength = reader.ReadInteger();
            if (column.DataLength < 0 || column.DataLength > 0xFFFF)
                TKldReader::InvalidValue();
        }
        else if (SameText(name, "Name"))
            column.Name = reader.ReadString();
        else if (SameText(name, "Required"))
            column.Required = reader.ReadBoolean();
        else if (SameText(name, "ReadOnly"))
            column.ReadOnly = reader.ReadBoolean();
        else if (SameText(name, "PrimaryKey"))
            column.PrimaryKey = reader.ReadBoolean();
        else if (SameText(name, "Calculated"))
            column.Calculated = reader.ReadBoolean();
        else if (SameText(name, "DisplayLabel"))
            column.DisplayLabel = reader.ReadString();
        else if (SameText(name, "RelationName"))
            column.RelationName = reader.ReadString();
        else
            PropertyError(name);
    }
    return column;
}

TableSchema ReadTableSchema(TKldReader& reader, size_t& total)
{
    TableSchema table;
    while (!reader.EndOfList())
    {
        std::string name = reader.ReadPropName();
        if (SameText(name, "Props.Strings"))
            table.Props = ReadProps(reader);
        else if (SameText(name, "Columns"))
        {
            table.Columns.clear();
            ReadCollection(reader, "columns in a table", total, [&] { table.Columns.push_back(ReadColumnSchema(reader)); });
        }
        else if (SameText(name, "Name"))
            table.Name = reader.ReadString();
        else
            PropertyError(name);
    }
    return table;
}

RelationSchema ReadRelationSchema(TKldReader& reader)
{
    RelationSchema relation;
    while (!reader.EndOfList())
    {
        std::string name = reader.ReadPropName();
        if (SameText(name, "Props.Strings"))
            relation.Props = ReadProps(reader);
        else if (SameText(name, "Name"))
            relation.Name = reader.ReadString();
        else if (SameText(name, "ParentTableName"))
            relation.ParentTableName = reader.ReadString();
        else if (SameText(name, "ChildTableName"))
            relation.ChildTableName = reader.ReadString();
        else if (SameText(name, "ParentColumnNames"))
            relation.ParentColumnNames = reader.ReadString();
        else if (SameText(name, "ChildColumnNames"))
            relation.ChildColumnNames = reader.ReadString();
        else if (SameText(name, "OwnRows"))
            relation.OwnRows = reader.ReadBoolean();
        else if (SameText(name, "DeleteAction"))
            relation.DeleteAction = ReadActionIdent(reader);
        else if (SameText(name, "UpdateAction"))
            relation.UpdateAction = ReadActionIdent(reader);
        else
            PropertyError(name);
    }
    return relation;
}

// Names of a collection: not empty once trimmed, unique without regard to
// case (through a set of folded names, so the check grows with the count).
template <class T, class GetName>
void CheckNames(const std::vector<T>& items, GetName getName, const char* emptyText, const char* duplicateText)
{
    std::unordered_set<std::string> seen;
    for (size_t i = 0; i < items.size(); ++i)
    {
        std::string name = Trim(getName(items[i]));
        if (name.empty())
            throw EReadError(emptyText);
        if (!seen.insert(AnsiLowerCase(name)).second)
            throw EReadError(Format(duplicateText, name));
    }
}

ContainerSchema ReadSchema(TKldReader& reader)
{
    ContainerSchema schema;
    size_t total = 0;
    ReadCollection(reader, "tables", total, [&] { schema.Tables.push_back(ReadTableSchema(reader, total)); });
    ReadCollection(reader, "relations", total, [&] { schema.Relations.push_back(ReadRelationSchema(reader)); });
    CheckNames(schema.Tables, [](const TableSchema& t) { return t.Name; }, "Table name should not be empty",
               "Duplicate table name: %s");
    for (const TableSchema& table : schema.Tables)
        CheckNames(table.Columns, [](const ColumnSchema& c) { return c.Name; }, "Column name should not be empty",
                   "Duplicate column name: %s");
    CheckNames(schema.Relations, [](const RelationSchema& r) { return r.Name; }, "Relation name should not be empty",
               "Duplicate relation name: %s");
    return schema;
}

// Lets the collections of a load skip their own name check: ReadSchema has
// checked every name through a hash set.
class TCheckedNames
{
public:
    ~TCheckedNames()
    {
        for (TKldDataCollection* collection : m_collections)
            collection->SetNamesChecked(false);
    }
    void Add(TKldDataCollection& collection)
    {
        collection.SetNamesChecked(true);
        m_collections.push_back(&collection);
    }

private:
    std::vector<TKldDataCollection*> m_collections;
};

void ApplySchema(const ContainerSchema& schema, TKldDataContainer& container)
{
    container.Relations().Clear();
    container.Tables().Clear();
    TCheckedNames checked;
    checked.Add(container.Tables());
    checked.Add(container.Relations());
    for (const TableSchema& source : schema.Tables)
    {
        TKldDataTable* table = container.Tables().Add();
        checked.Add(table->Columns());
        table->SetName(source.Name);
        for (const std::string& line : source.Props)
            table->Props().Add(line);
        for (const ColumnSchema& c : source.Columns)
        {
            TKldDataColumn* column = table->Columns().Add();
            column->SetName(c.Name);
            column->SetDataType(c.DataType);
            if (c.DataLength >= 0)
                column->SetDataLength(c.DataLength);
            column->SetRequired(c.Required);
            column->SetReadOnly(c.ReadOnly);
            column->SetPrimaryKey(c.PrimaryKey);
            column->SetCalculated(c.Calculated);
            column->SetDisplayLabel(c.DisplayLabel);
            column->SetRelationName(c.RelationName);
            for (const std::string& line : c.Props)
                column->Props().Add(line);
        }
    }
    for (const RelationSchema& r : schema.Relations)
    {
        TKldDataRelation* relation = container.Relations().Add();
        relation->SetName(r.Name);
        relation->SetParentTableName(r.ParentTableName);
        relation->SetChildTableName(r.ChildTableName);
        relation->SetParentColumnNames(r.ParentColumnNames);
        relation->SetChildColumnNames(r.ChildColumnNames);
        relation->SetOwnRows(r.OwnRows);
        relation->SetDeleteAction(r.DeleteAction);
        relation->SetUpdateAction(r.UpdateAction);
        for (const std::string& line : r.Props)
            relation->Props().Add(line);
    }
}

template <class T>
void Put(void* slot, T value)
{
    std::memcpy(slot, &value, sizeof value);
}

template <class T>
T Get(const void* slot)
{
    T value;
    std::memcpy(&value, slot, sizeof value);
    return value;
}

// Reads one stored value of `type`. With a slot, the value lands there in slot
// format, a text in the std::string that `slot` points to; without, it is read
// and dropped.
void ReadColumnValue(TKldReader& reader, TKldDataType type, void* slot)
{
    switch (type)
    {
    case cdtSmallInt:
    {
        int32_t value = reader.ReadInteger();
        if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
            TKldReader::InvalidValue();
        if (slot)
            Put(slot, static_cast<int16_t>(value));
        break;
    }
    case cdtInteger:
    {
        int32_t value = reader.ReadInteger();
        if (slot)
            Put(slot, value);
        break;
    }
    case cdtLargeInt:
    {
        int64_t value = reader.ReadInt64();
        if (slot)
            Put(slot, value);
        break;
    }
    case cdtBoolean:
    {
        bool value = reader.ReadBoolean();
        if (slot)
            Put(slot, static_cast<int16_t>(value ? -1 : 0));
        break;
    }
    case cdtFloat:
    {
        double value = reader.ReadFloat();
        if (slot)
            Put(slot, value);
        break;
    }
    case cdtDateTime:
    case cdtDate:
    case cdtTime:
    {
        double value = reader.ReadDate();
        if (slot)
            Put(slot, value);
        break;
    }
    case cdtString:
    case cdtMemo:
    case cdtBlob:
    case cdtWideString:
    {
        // Short, long and wide forms are all accepted; skipped texts are not kept.
        TKldValueType form = reader.NextValue();
        if (!slot && (form == vaString || form == vaLString))
        {
            reader.ReadValue();
            reader.Skip(reader.ReadLength(form == vaString ? 1 : 4, 1));
            break;
        }
        std::string text = type == cdtWideString ? reader.ReadWideString() : reader.ReadString();
        if (slot)
            static_cast<std::string*>(slot)->swap(text);
        break;
    }
    case cdtBCD:
    {
        TBcd value;
        reader.Read(&value, sizeof value);
        // A malformed record would fail every later comparison or reading,
        // half-way through the load when it is a key.
        if (!IsValidBcd(value))
            TKldReader::InvalidValue();
        if (slot)
            Put(slot, value);
        break;
    }
    case cdtSQLTimeStamp:
    {
        TSQLTimeStamp value;
        reader.Read(&value, sizeof value);
        if (TDateTime unused = 0; !TrySQLTimeStampToDateTime(value, unused))
            TKldReader::InvalidValue();
        if (slot)
            Put(slot, value);
        break;
    }
    case cdtGuid:
    case cdtReference:
    case cdtUnknown:
        break; // nothing is stored for these
    }
}

// Reads a table's data without a table, as the check pass does.
void SkipTableData(TKldReader& reader)
{
    if (!reader.ReadBoolean())
        return;
    TKldColumnMapInfos map;
    reader.ReadListBegin();
    while (!reader.EndOfList())
    {
        reader.ReadString();
        int32_t type = reader.ReadInteger();
        if (type < 0 || type >= KldDataTypeCount)
            TKldReader::InvalidValue();
        map.push_back({nullptr, static_cast<TKldDataType>(type)});
    }
    reader.ReadListEnd();
    reader.ReadListBegin();
    while (!reader.EndOfList())
    {
        if (!reader.ReadBoolean())
            continue;
        for (const TKldColumnMapInfo& entry : map)
        {
            if (reader.ReadBoolean())
                ReadColumnValue(reader, entry.DataType, nullptr);
        }
    }
    reader.ReadListEnd();
}

bool SchemaHasTable(const ContainerSchema& schema, const std::string& name)
{
    return std::any_of(schema.Tables.begin(), schema.Tables.end(),
                       [&](const TableSchema& t) { return AnsiSameText(Trim(t.Name), name); });
}

} // namespace

// --- Row ---------------------------------------------------------------------------------------

void TKldDataRow::WriteData(TKldWriter& writer) const
{
    writer.WriteBoolean(m_hasBuffer);
    if (!m_hasBuffer)
        return;
    for (int i = 0; i < Table()->ColumnCount(); ++i)
    {
        const TKldDataColumn* column = Table()->Column(i);
        const void* slot = ValuePtr(column);
        writer.WriteBoolean(slot != nullptr);
        if (!slot)
            continue;
        switch (column->DataType())
        {
        case cdtSmallInt:
            writer.WriteInteger(Get<int16_t>(slot));
            break;
        case cdtInteger:
            writer.WriteInteger(Get<int32_t>(slot));
            break;
        case cdtLargeInt:
            writer.WriteInteger(Get<int64_t>(slot));
            break;
        case cdtBoolean:
            writer.WriteBoolean(Get<int16_t>(slot) != 0);
            break;
        case cdtFloat:
            writer.WriteFloat(Get<double>(slot));
            break;
        case cdtDateTime:
        case cdtDate:
        case cdtTime:
            writer.WriteDate(Get<double>(slot));
            break;
        case cdtString:
        case cdtMemo:
        case cdtBlob:
            writer.WriteString(KldTextView(slot));
            break;
        case cdtWideString:
            writer.WriteWideString(KldTextView(slot));
            break;
        case cdtBCD:
            writer.Write(slot, sizeof(TBcd));
            break;
        case cdtSQLTimeStamp:
            writer.Write(slot, sizeof(TSQLTimeStamp));
            break;
        case cdtGuid:
        case cdtReference:
        case cdtUnknown:
            break;
        }
    }
}

void TKldDataRow::ReadData(TKldReader& reader, const TKldColumnMapInfos& columnMap)
{
    if (!reader.ReadBoolean())
        return;
    InitBuffer();
    for (const TKldColumnMapInfo& entry : columnMap)
    {
        bool assigned = reader.ReadBoolean();
        if (!entry.Column)
        {
            if (assigned)
                ReadColumnValue(reader, entry.DataType, nullptr);
            continue;
        }
        if (KldIsTextType(entry.DataType))
        {
            // A column stored twice keeps the later text.
            std::string text;
            if (assigned)
                ReadColumnValue(reader, entry.DataType, &text);
            TKldTextValue value(text);
            InternalSetColumnData(entry.Column, assigned ? value.Value() : nullptr);
            continue;
        }
        // Other slots are written in place: the row is new and not stored.
        void* slot = InternalGetDataPtr(entry.Column, true);
        if (assigned)
            ReadColumnValue(reader, entry.DataType, slot);
        InternalSetAssigned(entry.Column, assigned);
    }
}

// --- Table -------------------------------------------------------------------------------------

void TKldDataTable::WriteData(TKldWriter& writer)
{
    writer.WriteBoolean(m_prepared);
    if (!m_prepared)
        return;
    writer.WriteListBegin();
    for (int i = 0; i < ColumnCount(); ++i)
    {
        writer.WriteString(Column(i)->Name());
        writer.WriteInteger(Column(i)->DataType());
    }
    writer.WriteListEnd();
    writer.WriteListBegin();
    for (int i = 0; i < RowCount(); ++i)
        GetRow(i)->WriteData(writer);
    writer.WriteListEnd();
}

void TKldDataTable::ReadData(TKldReader& reader)
{
    BeginUpdate();
    try
    {
        if (reader.ReadBoolean())
        {
            if (TKldDataContainer* container = GetDataContainer())
                container->SetActive(true);
            else
                Prepare();
            TKldColumnMapInfos map;
            reader.ReadListBegin();
            while (!reader.EndOfList())
            {
                std::string name = reader.ReadString();
                int32_t type = reader.ReadInteger();
                if (type < 0 || type >= KldDataTypeCount)
                    TKldReader::InvalidValue();
                TKldDataColumn* column = Columns().Find(name);
                if (column && column->DataType() != type)
                    column = nullptr;
                map.push_back({column, static_cast<TKldDataType>(type)});
            }
            reader.ReadListEnd();
            reader.ReadListBegin();
            while (!reader.EndOfList())
            {
                std::unique_ptr<TKldDataRow> row(NewRow());
                row->ReadData(reader, map);
                Insert(row.get());
                row.release();
            }
            reader.ReadListEnd();
        }
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// --- Container ---------------------------------------------------------------------------------

void TKldDataContainer::SaveToStream(TStream& stream, bool withStructure, bool withData)
{
    bool wasSaving = m_saving;
    m_saving = true;
    try
    {
        TKldWriter writer(stream);
        writer.WriteBoolean(withStructure);
        if (withStructure)
        {
            writer.WriteValue(vaCollection);
            for (int i = 0; i < m_tables->Count(); ++i)
                WriteTable(writer, *m_tables->Tables(i));
            writer.WriteListEnd();
            writer.WriteValue(vaCollection);
            for (int i = 0; i < m_relations->Count(); ++i)
                WriteRelation(writer, *m_relations->Relations(i));
            writer.WriteListEnd();
        }
        writer.WriteListBegin();
        if (withData)
        {
            for (int i = 0; i < m_tables->Count(); ++i)
            {
                TKldDataTable* table = m_tables->Tables(i);
                writer.WriteString(table->Name());
                table->WriteData(writer);
            }
        }
        writer.WriteListEnd();
        writer.FlushBuffer();
    }
    catch (...)
    {
        m_saving = wasSaving;
        throw;
    }
    m_saving = wasSaving;
}

void TKldDataContainer::SaveToFile(const std::string& fileName, bool withStructure, bool withData)
{
    TFileReplaceStream stream(fileName);
    SaveToStream(stream, withStructure, withData);
    stream.Commit();
}

void TKldDataContainer::LoadFromFile(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TKldDataContainer::LoadFromStream(TStream& stream)
{
    KLD_ASSERT("KldData", !m_loading);
    int64_t start = stream.Position();
    {
        // The check pass: everything is read, nothing is changed.
        TKldReader reader(stream);
        bool withStructure = reader.ReadBoolean();
        ContainerSchema schema;
        if (withStructure)
            schema = ReadSchema(reader);
        reader.ReadListBegin();
        bool hasData = false;
        while (!reader.EndOfList())
        {
            std::string name = reader.ReadString();
            bool known = withStructure ? SchemaHasTable(schema, name) : m_tables->Find(name) != nullptr;
            if (!known)
                throw EReadError(Format("Table not found: %s", name));
            SkipTableData(reader);
            hasData = true;
        }
        reader.ReadListEnd();
        if (withStructure)
        {
            // The structure is built and activated on a container of its own
            // first: what cannot be built or prepared fails here.
            TKldDataContainer probe;
            ApplySchema(schema, probe);
            if (hasData || m_active)
                probe.SetActive(true);
        }
    }
    stream.SetPosition(start);
    InternalLoad(stream, false);
}

void TKldDataContainer::InternalLoad(TStream& stream, bool skipMissingTables)
{
    bool wasActive = m_active;
    BeginUpdate();
    m_loading = true;
    try
    {
        TKldReader reader(stream);
        if (reader.ReadBoolean())
        {
            ContainerSchema schema = ReadSchema(reader);
            SetActive(false);
            ApplySchema(schema, *this);
        }
        reader.ReadListBegin();
        while (!reader.EndOfList())
        {
            std::string name = reader.ReadString();
            SetActive(true);
            TKldDataTable* table = skipMissingTables ? m_tables->Find(name) : m_tables->Get(name);
            if (table)
                table->ReadData(reader);
            else
                SkipTableData(reader);
        }
        reader.ReadListEnd();
        reader.FixupStream();
        if (wasActive || m_active)
            SetActive(true);
    }
    catch (...)
    {
        m_savedData.reset();
        m_loading = false;
        EndUpdate();
        throw;
    }
    m_savedData.reset();
    m_loading = false;
    EndUpdate();
}

void TKldDataContainer::WriteData(TStream& stream)
{
    if (m_active || !m_savedData)
    {
        SaveToStream(stream, false, true);
        return;
    }
    m_savedData->SetPosition(0);
    stream.CopyFrom(*m_savedData, m_savedData->Size());
}

void TKldDataContainer::ReadData(TStream& stream)
{
    LoadFromStream(stream);
}
