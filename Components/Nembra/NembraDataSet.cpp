#include "Components/Nembra/NembraDataSet.h"

#include <algorithm>

#include "Components/KldDBComponents/KldDataCompare.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "platform/FileReplaceStream.h"
#include "platform/Streams.h"

namespace {

constexpr const char* SIndexNotSpecified = "Index is not specified for a data set";
constexpr const char* SLoadStreamNotAssigned = "LoadFromStream: stream is not assigned";
constexpr const char* SSaveStreamNotAssigned = "SaveToStream: stream is not assigned";
constexpr const char* SNotAllFieldsPresent =
    "Unable to update table. Not all fields are present in the data set. Please select all ordinal fields or "
    "specify primary key column name";
constexpr const char* SKeyFieldNotFound = "Field not found: %s";
// The copy routine's messages put LF before CR, as the forms that show them expect.
constexpr const char* SCopyPrefix = "CopyRecordFields\n\r";

} // namespace

// ===========================================================================
// TNembraDataSet

TNembraDataSet::TNembraDataSet(TComponent* owner) : TKldDataSet(owner), m_indexFields(OrderBy()) {}

TNembraDataSet::~TNembraDataSet()
{
    Close();
}

void TNembraDataSet::SetIndexFields(const std::string& value)
{
    m_indexFields = value;
    SetOrderBy(m_indexEnabled ? value : std::string());
}

void TNembraDataSet::SetIndexEnabled(bool value)
{
    m_indexEnabled = value;
    SetOrderBy(value ? m_indexFields : std::string());
}

void TNembraDataSet::Resort()
{
    SetOrderBy(std::string());
    if (m_indexEnabled)
        SetOrderBy(m_indexFields);
}

bool TNembraDataSet::FindKey(const Variant& keyValues)
{
    if (!m_indexEnabled || m_indexFields.empty())
        throw Exception(SIndexNotSpecified);
    CheckActive();
    std::string keyFields;
    for (const TKldOrderByColumn& column : GetDataTable()->Columns().GetOrderByColumns(m_indexFields)) {
        if (!keyFields.empty())
            keyFields += ';';
        keyFields += column.Column->ColumnName();
    }
    return Locate(keyFields, keyValues, {});
}

void TNembraDataSet::CloneCursor(TNembraDataSet* source, TCloneOptions options)
{
    CheckInactive();
    source->CheckActive();
    // The table's own container, also when the source keeps a private one.
    TKldDataTable* table = source->GetDataTable();
    SetDataContainer(table->GetDataContainer());
    SetDataTableName(table->Name());
    if (options.Contains(coIndex)) {
        m_indexFields = source->m_indexFields;
        SetIndexEnabled(source->m_indexEnabled);
    }
    if (options.Contains(coFilter)) {
        SetFilter(source->Filter());
        OnFilterRecord = source->OnFilterRecord;
        SetFiltered(source->Filtered());
    }
    Open();
}

void TNembraDataSet::EmptyDataSet()
{
    if (TKldDataTable* table = GetDataTable())
        table->Clear();
}

std::string TNembraDataSet::LoadFromStream(const TNembraDataSetWriterClass& writerClass, TStream* stream)
{
    if (stream == nullptr)
        throw Exception(SLoadStreamNotAssigned);
    std::unique_ptr<TNembraDataSetWriter> writer = writerClass(this, stream);
    writer->Read();
    return writer->GetShadowName();
}

std::string TNembraDataSet::LoadFromFile(const TNembraDataSetWriterClass& writerClass,
                                         const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    return LoadFromStream(writerClass, &stream);
}

void TNembraDataSet::SaveToStream(const TNembraDataSetWriterClass& writerClass, TStream* stream,
                                  const std::string& name)
{
    if (stream == nullptr)
        throw Exception(SSaveStreamNotAssigned);
    writerClass(this, stream)->Write(name);
}

void TNembraDataSet::SaveToFile(const TNembraDataSetWriterClass& writerClass, const std::string& fileName,
                                const std::string& name)
{
    // The old file stays whole until the new one is written: a save that
    // fails halfway leaves it as it was.
    TFileReplaceStream stream(fileName);
    SaveToStream(writerClass, &stream, name);
    stream.Commit();
}

void TNembraDataSet::CopyRecordFields(TDataSet* dest, bool sourceFields, bool keepDestOnNull,
                                      bool ignoreErrors)
{
    ::CopyRecordFields(this, dest, sourceFields, keepDestOnNull, ignoreErrors);
}

// ===========================================================================
// Rows from columnar JSON

void CreateColMap(const TJSONObject& json, const TKldDataTable& table, TNembraColMap& list)
{
    list.clear();
    list.reserve(static_cast<size_t>(json.GetPropCount()));
    for (int i = 0; i < json.GetPropCount(); ++i) {
        const std::string& name = json.GetPropName(i);
        // Replies usually list the columns in the table's order.
        if (i < table.ColumnCount() && AnsiSameText(table.Column(i)->ColumnName(), name))
            list.push_back(table.Column(i));
        else
            list.push_back(table.Columns().Find(name));
    }
}

TNembraColMap CreateColMap(const TJSONObject& json, const TKldDataTable& table)
{
    TNembraColMap list;
    CreateColMap(json, table, list);
    return list;
}

namespace {

template <class T> void SetSlot(TKldDataRow* row, const TKldDataColumn* column, const T& value)
{
    row->SetColumnData(column, &value);
}

void SetText(TKldDataRow* row, const TKldDataColumn* column, std::string_view text)
{
    const TKldTextValue value(text);
    row->SetColumnData(column, value.Value());
}

// One cell into its column. Numbers, Booleans and texts are written straight
// into the slot; the JSON value's typed readers follow the variant rules that
// the row's SetValue applies, so the result is the same. Every other pair goes
// through SetValue.
void CellToColumn(TKldDataRow* row, const TKldDataColumn* column, const TJSONValue& cell)
{
    if (cell.GetIsNull())
        return;
    switch (column->DataType()) {
    case cdtDateTime:
        return SetSlot(row, column, JSONStrToDateTime(cell.GetAsString()));
    case cdtSQLTimeStamp:
        return SetSlot(row, column, DateTimeToSQLTimeStamp(JSONStrToDateTime(cell.GetAsString())));
    case cdtDate:
        return SetSlot(row, column, JSONStrToDate(cell.GetAsString()));
    case cdtTime:
        return SetSlot(row, column, JSONStrToTime(cell.GetAsString()));
    case cdtMemo:
    case cdtBlob:
        return SetText(row, column, DecodeBase64(cell.GetAsString()));
    case cdtInteger:
        return SetSlot(row, column, cell.GetAsInteger());
    case cdtLargeInt:
        return SetSlot(row, column, cell.GetAsInt64());
    case cdtFloat:
        return SetSlot(row, column, cell.GetAsNumber());
    case cdtBoolean:
        return SetSlot(row, column, static_cast<int16_t>(cell.GetAsBoolean() ? -1 : 0));
    case cdtString:
    case cdtWideString:
        if (cell.GetValueType() == jvtString)
            return SetText(row, column, cell.GetAsString());
        break;
    default:
        break;
    }
    row->SetValue(column, cell.GetAsVariant());
}

} // namespace

void JSONToRow(const TJSONObject& json, TKldDataRow* row, int index, const TNembraColMap* colMap)
{
    const TKldDataTable& table = *row->Table();
    for (int i = 0; i < json.GetPropCount(); ++i) {
        const TKldDataColumn* column = nullptr;
        if (colMap != nullptr) {
            if (static_cast<size_t>(i) < colMap->size())
                column = (*colMap)[static_cast<size_t>(i)];
        } else {
            const std::string& name = json.GetPropName(i);
            column = i < table.ColumnCount() && AnsiSameText(table.Column(i)->ColumnName(), name)
                         ? table.Column(i)
                         : table.Columns().Find(name);
        }
        if (column != nullptr)
            CellToColumn(row, column, json.GetPropValue(i).GetAsArray().GetValue(index));
    }
}

// ===========================================================================
// Edit SQL

std::string FormatIdentifier(const std::string& name, const std::string& quoteChars)
{
    switch (quoteChars.size()) {
    case 0:
        return name;
    case 1:
        return AnsiQuotedStr(name, quoteChars[0]);
    default:
        return quoteChars[0] + name + quoteChars[1];
    }
}

namespace {

TKldDataColumn* ColumnOf(const TKldDataRow* row, const std::string& name)
{
    return row->Table()->Columns().Find(name);
}

void AddInputParam(TParams& params, const std::string& name, TFieldType dataType, const Variant& value)
{
    params.CreateParam(dataType, name, ptInput)->SetValue(value);
}

// Types whose old values identify a row: no memos, blobs or other binary data.
bool ComparableInWhere(TFieldType type)
{
    return (type >= ftString && type <= ftDateTime) || type == ftAutoInc || type == ftFixedChar ||
           type == ftWideString || type == ftLargeint || type == ftGuid || type == ftTimeStamp ||
           type == ftFMTBcd;
}

// Whether the column's value differs from the row's original version; a row
// without one (inserted, or unchanged since its last accept) has no change.
bool ChangedSinceOriginal(const TKldDataRow* row, const TKldDataColumn* column)
{
    const TKldDataRow* original = row->OriginalRow();
    return original != nullptr &&
           CompareValues(row->ValuePtr(column), original->ValuePtr(column), column->DataType(), {}) != 0;
}

// "N0", "O3"...: the kind of value and the definition's position.
std::string ParamName(char kind, int position)
{
    std::string name(1, kind);
    name += std::to_string(position);
    return name;
}

void Join(std::string& text, const std::string& item, const std::string& separator)
{
    if (!text.empty())
        text += separator;
    text += item;
}

} // namespace

void GetRowValues(TKldDataRow* row, const TFieldDefs& fieldDefs, TParams& params)
{
    for (int i = 0; i < fieldDefs.Count(); ++i) {
        const TFieldDef* def = fieldDefs[i];
        TKldDataColumn* column = ColumnOf(row, def->Name());
        AddInputParam(params, def->Name(), def->DataType(), column ? row->GetValue(column) : Variant::Null());
    }
}

void GetColumnsAssign(TKldDataRow* row, const TFieldDefs& fieldDefs, TParams& params, std::string& text,
                      const TStrings* skipList, bool forWhere, const std::string& separator,
                      const std::string& quoteChars, const std::string& paramPrefix)
{
    std::string out;
    for (int i = 0; i < fieldDefs.Count(); ++i) {
        const TFieldDef* def = fieldDefs[i];
        if (def->InternalCalcField() || (skipList != nullptr && skipList->IndexOf(def->Name()) >= 0))
            continue;
        if (forWhere && !ComparableInWhere(def->DataType()))
            continue;
        TKldDataColumn* column = ColumnOf(row, def->Name());
        if (column == nullptr) {
            if (forWhere)
                throw Exception(SNotAllFieldsPresent);
            continue;
        }
        std::string item = "\r\n  " + FormatIdentifier(def->Name(), quoteChars);
        if (forWhere) {
            const std::string name = ParamName('O', i);
            const Variant old = row->GetOriginalValue(column);
            AddInputParam(params, name, def->DataType(), old);
            item += VarIsNull(old) ? " IS NULL " : " = " + paramPrefix + name;
        } else {
            if (!ChangedSinceOriginal(row, column))
                continue;
            const std::string name = ParamName('N', i);
            AddInputParam(params, name, def->DataType(), row->GetValue(column));
            item += " = " + paramPrefix + name;
        }
        Join(out, item, separator);
    }
    text = out;
}

void GetColumnNames(TKldDataRow* row, const TFieldDefs& fieldDefs, TParams& params, std::string& columns,
                    std::string& values, const std::string& separator, const std::string& quoteChars,
                    const std::string& paramPrefix)
{
    std::string columnList;
    std::string valueList;
    for (int i = 0; i < fieldDefs.Count(); ++i) {
        const TFieldDef* def = fieldDefs[i];
        if (def->InternalCalcField())
            continue;
        TKldDataColumn* column = ColumnOf(row, def->Name());
        if (column == nullptr)
            continue;
        const std::string name = ParamName('P', i);
        AddInputParam(params, name, def->DataType(), row->GetValue(column));
        Join(columnList, FormatIdentifier(def->Name(), quoteChars), separator);
        Join(valueList, paramPrefix + name, separator);
    }
    columns = columnList;
    values = valueList;
}

namespace {

const TFieldDefs& RequireFields(const TNembraEditSQL& edit)
{
    if (edit.FieldDefs == nullptr || edit.FieldDefs->Count() == 0)
        throw Exception(edit.NoFieldsMessage);
    return *edit.FieldDefs;
}

// The key's definition and column; both must exist.
std::pair<const TFieldDef*, TKldDataColumn*> KeyOf(const TNembraEditSQL& edit, const TKldDataRow* row)
{
    const TFieldDefs* keyDefs = edit.KeyFieldDefs ? edit.KeyFieldDefs : edit.FieldDefs;
    const TFieldDef* def = keyDefs ? keyDefs->FindDef(edit.KeyFieldName) : nullptr;
    TKldDataColumn* column = def ? ColumnOf(row, def->Name()) : nullptr;
    if (column == nullptr)
        throw Exception(Format(SKeyFieldNotFound, edit.KeyFieldName));
    return {def, column};
}

std::string WhereList(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params)
{
    std::string where;
    GetColumnsAssign(row, *edit.FieldDefs, params, where, nullptr, true, " AND ", edit.QuoteChars, ":");
    return where;
}

} // namespace

std::string GetInsertStatement(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params)
{
    const TFieldDefs& defs = RequireFields(edit);
    std::string columns;
    std::string values;
    GetColumnNames(row, defs, params, columns, values, ",", edit.QuoteChars, ":");
    return Format("INSERT INTO %s (%s) VALUES (%s)", FormatIdentifier(edit.TableName, edit.QuoteChars),
                  columns, values);
}

std::string GetUpdateStatement(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params)
{
    if (!row->IsModified())
        return {};
    const TFieldDefs& defs = RequireFields(edit);
    const std::string table = FormatIdentifier(edit.TableName, edit.QuoteChars);
    if (edit.KeyFieldName.empty()) {
        std::string set;
        GetColumnsAssign(row, defs, params, set, edit.SkipFields, false, ", ", edit.QuoteChars, ":");
        if (Trim(set).empty())
            return {};
        return Format("UPDATE %s SET %s WHERE %s ", table, set, WhereList(edit, row, params));
    }
    std::string set;
    GetColumnsAssign(row, defs, params, set, edit.SkipFields, false, ", ", edit.QuoteChars, ":");
    TKldDataRow* original = row->OriginalRow();
    // A row the server has never seen cannot be updated by its key. Its SET
    // list is always blank (its values are compared with themselves), so a
    // blank list only ends the update quietly for a row that has an
    // original version; the other one must not lose its edit without a word.
    if (Trim(set).empty() && original != nullptr)
        return {};
    const auto [keyDef, keyColumn] = KeyOf(edit, row);
    if (original == nullptr)
        throw Exception(Format(edit.InsertedRowMessage, edit.KeyFieldName));
    AddInputParam(params, "PK", keyDef->DataType(), original->GetValue(keyColumn));
    return Format("UPDATE %s SET %s WHERE %s = :PK", table, set,
                  FormatIdentifier(edit.KeyFieldName, edit.QuoteChars));
}

std::string GetDeleteStatement(const TNembraEditSQL& edit, TKldDataRow* row, TParams& params)
{
    const std::string table = FormatIdentifier(edit.TableName, edit.QuoteChars);
    if (edit.KeyFieldName.empty()) {
        RequireFields(edit);
        // A table of memos and blobs only has no WHERE items; the statement
        // is still written as the generator has always written it.
        return Format("DELETE FROM %s WHERE %s ", table, WhereList(edit, row, params));
    }
    const auto [keyDef, keyColumn] = KeyOf(edit, row);
    AddInputParam(params, "PK", keyDef->DataType(), row->GetValue(keyColumn));
    return Format("DELETE FROM %s WHERE %s = :PK", table,
                  FormatIdentifier(edit.KeyFieldName, edit.QuoteChars));
}

// ===========================================================================
// Copying a record

namespace {

[[noreturn]] void CopyError(const std::string& message)
{
    throw Exception(SCopyPrefix + message);
}

void CopyFieldValue(TField* source, TField* dest, const std::string& name)
{
    switch (source->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftOraBlob:
    case ftOraClob:
        dest->SetAsString(source->AsString());
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
        dest->SetAsInteger(source->AsInteger());
        break;
    case ftBoolean:
        dest->SetAsBoolean(source->AsBoolean());
        break;
    case ftFloat:
        dest->SetAsFloat(source->AsFloat());
        break;
    case ftCurrency:
    case ftBCD:
        dest->SetAsCurrency(source->AsCurrency());
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        dest->SetAsDateTime(source->AsDateTime());
        break;
    case ftTimeStamp:
        dest->SetAsSQLTimeStamp(source->AsSQLTimeStamp());
        break;
    case ftFMTBcd:
        dest->SetAsBCD(source->AsBCD());
        break;
    default:
        CopyError("Unsupported field type: " + name);
    }
}

} // namespace

void CopyRecordFields(TDataSet* source, TDataSet* dest, bool sourceFields, bool keepDestOnNull,
                      bool ignoreErrors)
{
    if (source == nullptr || dest == nullptr)
        CopyError("DS not assigned");
    if (dest->State() == dsBrowse)
        dest->Append();
    std::vector<std::string> names;
    for (TField* field : (sourceFields ? source : dest)->Fields())
        names.push_back(field->FieldName());
    for (const std::string& name : names) {
        TField* from = source->FindField(name);
        TField* to = dest->FindField(name);
        if (from == nullptr || to == nullptr) {
            if (ignoreErrors)
                continue;
            CopyError("Field not found: " + name);
        }
        if (from->DataType() != to->DataType()) {
            if (ignoreErrors)
                continue;
            CopyError("Field type mismatch: " + name);
        }
        if (from->IsNull()) {
            if (!keepDestOnNull)
                to->Clear();
            continue;
        }
        CopyFieldValue(from, to, name);
    }
}

// ===========================================================================
// TNembraUtilityDataSet

TNembraUtilityDataSet::TNembraUtilityDataSet(TComponent* owner) : TNembraDataSet(owner) {}

TNembraUtilityDataSet::~TNembraUtilityDataSet()
{
    Close();
}

void TNembraUtilityDataSet::SetProduceDeltaStatement(bool value)
{
    if (value && !m_produceDeltaStatement) {
        if (TKldDataTable* table = GetDataTable())
            table->AcceptChanges();
    }
    m_produceDeltaStatement = value;
}

bool TNembraUtilityDataSet::DeltaPresent() const
{
    return !Trim(m_deltaStatement.Text()).empty();
}

TNembraEditSQL TNembraUtilityDataSet::EditSQL()
{
    m_skipFields.Clear();
    const std::string& names = m_deltaUpdateSkipFields;
    for (size_t start = 0; start <= names.size();) {
        const size_t comma = std::min(names.find(',', start), names.size());
        const std::string name = Trim(std::string_view(names).substr(start, comma - start));
        if (!name.empty())
            m_skipFields.Add(name);
        start = comma + 1;
    }
    TNembraEditSQL edit;
    edit.TableName = m_deltaTableName;
    edit.FieldDefs = &FieldDefs();
    edit.KeyFieldName = m_deltaUpdateKeyFields;
    edit.SkipFields = &m_skipFields;
    return edit;
}

void TNembraUtilityDataSet::GetDeleteSQL(TKldDataRow* row, TParams& params, std::string& sql)
{
    sql = GetDeleteStatement(EditSQL(), row, params);
}

void TNembraUtilityDataSet::GetInsertSQL(TKldDataRow* row, TParams& params, std::string& sql)
{
    sql = GetInsertStatement(EditSQL(), row, params);
}

void TNembraUtilityDataSet::GetUpdateSQL(TKldDataRow* row, TParams& params, std::string& sql)
{
    sql = GetUpdateStatement(EditSQL(), row, params);
}

// The statement itself says what changed; the change type is for datasets
// that hand changes on in another form.
void TNembraUtilityDataSet::ExecuteCRUDOperation(TKldDataRow* row, TNembraDataChangeType /*changeType*/,
                                                 const TNembraSQLGenerator& generator)
{
    m_deltaParams.Clear();
    m_deltaStatement.Clear();
    if (!m_produceDeltaStatement)
        return;
    std::string sql;
    generator(row, m_deltaParams, sql);
    if (!Trim(sql).empty())
        m_deltaStatement.SetText(sql);
}

bool TNembraUtilityDataSet::Record(TKldDataRow* row, TNembraDataChangeType changeType,
                                   void (TNembraUtilityDataSet::*generator)(TKldDataRow*, TParams&,
                                                                            std::string&))
{
    ExecuteCRUDOperation(row, changeType,
                         [this, generator](TKldDataRow* r, TParams& params, std::string& sql) {
                             (this->*generator)(r, params, sql);
                         });
    return true;
}

bool TNembraUtilityDataSet::DeleteRow(TKldDataRow* row)
{
    return Record(row, dctDelete, &TNembraUtilityDataSet::GetDeleteSQL);
}

bool TNembraUtilityDataSet::InsertRow(TKldDataRow* row)
{
    return Record(row, dctInsert, &TNembraUtilityDataSet::GetInsertSQL);
}

bool TNembraUtilityDataSet::UpdateRow(TKldDataRow* row)
{
    return Record(row, dctUpdate, &TNembraUtilityDataSet::GetUpdateSQL);
}
