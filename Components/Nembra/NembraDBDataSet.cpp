#include "Components/Nembra/NembraDBDataSet.h"

#include "Components/KldDBComponents/KldDataTextArea.h"
#include "Components/Nembra/NembraDatabase.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraProcedures.h"

#include <algorithm>

namespace {

constexpr const char* SConnectionNotActive = "Connection is not active";
constexpr const char* SDatabaseNotAssigned = "Database is not assigned";
constexpr const char* SConnectionReset =
    "The connection has been reset since you fetched these data. Please use \"Refresh Data\" to update the view.";
constexpr const char* SNoExecute = " does not support Execute";
constexpr const char* STableNameInvalid = "Table Name is not specified or is invalid";
constexpr const char* SInsertedRow = "Unable to update row which probably was inserted: %s";

bool IsBlobColumn(const TKldDataColumn* column)
{
    return column->DataType() == cdtMemo || column->DataType() == cdtBlob;
}

// Writes a fetched blob value into the row and into each of its versions
// that holds the left-out value, so that the value counts as unchanged.
void StoreBlob(TKldDataRow* row, const TKldDataColumn* column, const std::string& bytes)
{
    const TKldTextValue value(bytes);
    row->InternalSetColumnData(column, value.Value());
    for (TKldDataRow* copy : {row->OriginalRow(), row->EditRow(), row->RollbackRow()})
        if (copy && copy->ValuePtr(column))
            copy->InternalSetColumnData(column, value.Value());
}

} // namespace

// ===========================================================================
// TNembraLinkedField

void TNembraLinkedField::Assign(const TPersistent& source)
{
    const auto* field = dynamic_cast<const TNembraLinkedField*>(&source);
    if (!field) {
        TCollectionItem::Assign(source);
        return;
    }
    FieldName = field->FieldName;
    FieldAlias = field->FieldAlias;
    DisplayTableName = field->DisplayTableName;
    DisplayPrimaryKey = field->DisplayPrimaryKey;
    DisplayFieldName = field->DisplayFieldName;
    Changed(false);
}

// ===========================================================================
// Life cycle and settings

TNembraDBDataSet::TNembraDBDataSet(TComponent* owner) : TNembraDataSet(owner), m_linkedFields(this) {}

TNembraDBDataSet::~TNembraDBDataSet()
{
    Close();
    if (m_database) {
        m_database->RemoveActiveDataSet(this);
        RemoveFreeNotification(m_database);
        m_database = nullptr;
    }
    BindConnection(nullptr);
}

void TNembraDBDataSet::SetDatabaseName(const std::string& value)
{
    if (!SameText(value, m_databaseName))
        SetDatabase(nullptr);
    m_databaseName = value;
}

void TNembraDBDataSet::SetFetchBlobs(bool value)
{
    if (value == m_fetchBlobs)
        return;
    CheckInactive();
    m_fetchBlobs = value;
}

void TNembraDBDataSet::SetTableName(const std::string& value)
{
    const std::string name = Trim(value);
    if (name == m_tableName)
        return;
    CheckInactive();
    m_tableName = name;
    m_tableFieldDefs.reset();
}

void TNembraDBDataSet::SetDatabase(TNembraDatabase* database)
{
    if (database == m_database)
        return;
    Close();
    if (m_database) {
        m_database->RemoveActiveDataSet(this);
        RemoveFreeNotification(m_database);
    }
    m_database = database;
    if (m_database)
        FreeNotification(m_database);
    // The connection came from the database that was bound.
    BindConnection(nullptr);
}

TNembraDatabase* TNembraDBDataSet::GetDatabase()
{
    if (!m_database && !m_databaseName.empty()) {
        // Binding on first use; the dataset may be opening, so it is not closed.
        m_database = TNembraDatabase::FindDatabaseByName(m_databaseName);
        if (m_database)
            FreeNotification(m_database);
    }
    return m_database;
}

std::string TNembraDBDataSet::GetConnectionName()
{
    TNembraDatabase* database = GetDatabase();
    return database ? database->ConnectionName() : std::string();
}

void TNembraDBDataSet::SetConnectionName(const std::string&) {}

void TNembraDBDataSet::BindConnection(TNembraConnection* connection)
{
    BindConnectionListener(*this, *this, m_connection, connection);
}

TNembraConnection& TNembraDBDataSet::GetConnection()
{
    if (!m_connection)
        BindConnection(&TNembraConnection::GetConnectionByName(GetConnectionName()));
    return *m_connection;
}

void TNembraDBDataSet::CheckDatabaseActive()
{
    TNembraDatabase* database = GetDatabase();
    if (!database && IsDatabaseRequired())
        throw Exception(SDatabaseNotAssigned);
    if (!GetConnection().Active())
        throw Exception(SConnectionNotActive);
    if (database && !database->Active())
        database->Open();
}

void TNembraDBDataSet::WndProc(TMessage& message)
{
    if (message.Msg == CN_CONNECTIONEVENT && message.WParam == 1 && m_connection &&
        message.LParam == reinterpret_cast<LPARAM>(m_connection))
        BindConnection(nullptr); // the rows stay
}

void TNembraDBDataSet::Notification(TComponent* component, TOperation operation)
{
    TNembraDataSet::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == m_database)
        m_database = nullptr;
    if (component == m_connection)
        m_connection = nullptr; // it already forgot its listeners
}

// ===========================================================================
// Requests

std::unique_ptr<TNembraRequest> TNembraDBDataSet::GetNembraRequest()
{
    CheckDatabaseActive();
    auto request = std::make_unique<TNembraRequest>();
    request->SetConnectionName(GetConnectionName());
    request->SetConnection(&GetConnection());
    request->SetResponseType(qrtJSON);
    request->SetShowWaitCursor(m_showWaitCursor);
    request->SetParam(NembraParam::DBDataSetName, Variant(Name()));
    if (m_reportProgress)
        request->SetParam(NembraParam::ReportProgress, Variant("True"));
    return request;
}

std::unique_ptr<TNembraRequest> TNembraDBDataSet::GetFetchRequest(int count)
{
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::QueryFetch);
    if (m_database)
        request->SetParam(NembraParam::DBHandle, Variant(m_database->DBHandle()));
    request->SetParam(NembraParam::Handle, Variant(m_handle));
    if (count >= 0)
        request->SetParam(NembraParam::FetchCount, Variant(count));
    if (!m_fetchBlobs)
        request->SetParam(NembraParam::FetchBlobs, Variant("False"));
    if (!m_tableFieldDefs && !m_tableName.empty())
        request->SetParam(NembraParam::TableName, Variant(m_tableName));
    return request;
}

std::unique_ptr<TNembraRequest> TNembraDBDataSet::GetExecuteRequest()
{
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::QueryExecute);
    if (m_database)
        request->SetParam(NembraParam::DBHandle, Variant(m_database->DBHandle()));
    request->SetParam(NembraParam::Handle, Variant(m_handle));
    return request;
}

void TNembraDBDataSet::TakeReply(TNembraRequest& request, bool rowsAffected)
{
    m_profiling = request.Profiling();
    if (rowsAffected)
        m_rowsAffected = request.GetJSONObject().GetValues(NembraReply::RowsAffected).GetAsInt64();
}

void TNembraDBDataSet::TakeExecuteReply(TNembraRequest& request)
{
    TakeReply(request, true);
    ParamsFromJSON(m_params, request.GetJSONObject().GetValues(NembraReply::Params).GetAsObject(),
                   NembraReturnedParamTypes());
}

void TNembraDBDataSet::InBulkUpdate(TKldDataTable* table, const std::function<void()>& fill)
{
    table->BeginUpdate();
    SetDataChangeSuppressed(true);
    try {
        fill();
    } catch (...) {
        table->EndUpdate();
        SetDataChangeSuppressed(false);
        throw;
    }
    table->EndUpdate();
    SetDataChangeSuppressed(false);
}

int TNembraDBDataSet::InternalGetFetchBy()
{
    int count = m_fetchBy == 0 ? GetConnection().DefaultFetchSize() : m_fetchBy;
    if (count < 0)
        return count;
    // The controls' rows are asked for before the ring has grown to them
    // (the first page comes while the dataset opens).
    return std::max({count, BufferCount(), LinkedBufferCount()});
}

void TNembraDBDataSet::InternalExecute(bool)
{
    throw Exception(ClassName() + SNoExecute);
}

void TNembraDBDataSet::Execute()
{
    InternalExecute(false);
}

void TNembraDBDataSet::ExecutePrepared()
{
    InternalExecute(true);
}

void TNembraDBDataSet::FieldDefsFromJSON(TFieldDefs& fieldDefs, const TJSONArray& arr)
{
    fieldDefs.Clear();
    for (int i = 0; i < arr.Count(); ++i) {
        TJSONObject& def = arr.GetValue(i).GetAsObject();
        fieldDefs.Add(def.GetValues("Name").GetAsString(),
                      FieldTypeFromOrdinal(def.GetValues("DataType").GetAsInteger()),
                      def.GetValues("Size").GetAsInteger());
    }
}

// ===========================================================================
// The cursor

bool TNembraDBDataSet::OpenRemoteCursor()
{
    m_fetchComplete = false;
    m_handle.clear();
    m_fetchedRows = 0;
    m_blobRows.clear();
    // A dataset opened on another one's table (CloneCursor) shows that
    // table's rows; it has no cursor of its own to fetch from.
    TKldDataTable* table = GetDataTable();
    if (DataContainer() && table && table->ColumnCount() > 0) {
        m_fetchComplete = true;
        return false;
    }
    CheckDatabaseActive();
    if (m_database)
        m_database->AddActiveDataSet(this);
    if (FieldCount() == 0)
        FieldDefs().Clear();
    m_columnsMade = false;
    FetchRows(0);
    return true;
}

void TNembraDBDataSet::CloseServerCursor()
{
    m_fetchComplete = true;
    if (!m_handle.empty() && m_connection && m_connection->Active()) {
        try {
            // Not through GetNembraRequest: closing must not open the database.
            TNembraRequest request;
            request.SetConnection(m_connection);
            request.SetResponseType(qrtJSON);
            request.SetProcedureName(NembraProcedure::Close);
            request.SetParam(NembraParam::DBDataSetName, Variant(Name()));
            if (m_database)
                request.SetParam(NembraParam::DBHandle, Variant(m_database->DBHandle()));
            request.SetParam(NembraParam::Handle, Variant(m_handle));
            request.Execute();
        } catch (...) {
            // The server lets go of cursors nobody reads.
        }
    }
    m_handle.clear();
}

void TNembraDBDataSet::CloseRemoteCursor()
{
    CloseServerCursor();
    m_columnsMade = false;
    m_blobRows.clear();
    m_tableFieldDefs.reset();
    if (m_database)
        m_database->RemoveActiveDataSet(this);
}

void TNembraDBDataSet::Disconnect()
{
    if (Active())
        CloseServerCursor();
}

int TNembraDBDataSet::FetchRows(int count)
{
    if (m_fetchComplete)
        return 0;
    if (count == 0)
        count = InternalGetFetchBy();
    std::unique_ptr<TNembraRequest> request = GetFetchRequest(count);
    try {
        request->Execute();
    } catch (const TNembraException& e) {
        if (e.ErrorCode() != NembraErrorCursorLost)
            throw;
        m_handle.clear();
        m_fetchComplete = true;
        throw Exception(SConnectionReset);
    }
    TakeReply(*request, false);
    m_rowsAffected = 0;

    int64_t started = 0;
    BeginMeasure(started);
    TJSONObject& reply = request->GetJSONObject();
    m_handle = reply.GetValues(NembraReply::Handle).GetAsString();
    m_fetchComplete = m_handle.empty() || reply.GetValues(NembraReply::Eof).GetAsBoolean();
    if (!m_columnsMade) {
        if (FieldCount() == 0)
            FieldDefsFromJSON(FieldDefs(), reply.GetValues(NembraReply::Fields).GetAsArray());
        CreateInternalDataColumns();
        m_hasBlobs = false;
        for (int i = 0; i < FieldDefs().Count(); ++i) {
            const TFieldType type = FieldDefs()[i]->DataType();
            m_hasBlobs = m_hasBlobs || (type >= ftBlob && type <= ftOraClob);
        }
        m_columnsMade = true;
    }
    TJSONValue& tableFields = reply.GetValues(NembraReply::TableFields);
    if (!tableFields.GetIsNull()) {
        auto defs = std::make_unique<TFieldDefs>(nullptr);
        FieldDefsFromJSON(*defs, tableFields.GetAsArray());
        m_tableFieldDefs = std::move(defs);
    }
    TJSONValue& outputs = reply.GetValues(NembraReply::Params);
    if (!outputs.GetIsNull())
        ParamsFromJSON(m_params, outputs.GetAsObject(), NembraReturnedParamTypes());
    const int rows = AppendRows(reply.GetValues(NembraReply::Rows).GetAsObject());
    m_pageLoadTime = EndMeasure(started);
    return rows;
}

int TNembraDBDataSet::AppendRows(TJSONObject& data)
{
    // No members at all is a page without rows.
    const int count = data.GetPropCount() == 0 ? 0 : data.GetPropValue(0).GetAsArray().Count();
    if (count <= 0)
        return 0;
    TKldDataTable* table = GetDataTable();
    const bool withheld = m_hasBlobs && !m_fetchBlobs;
    InBulkUpdate(table, [&] {
        TNembraColMap map;
        if (count >= 2)
            CreateColMap(data, *table, map);
        for (int i = 0; i < count; ++i) {
            std::unique_ptr<TKldDataRow> row(table->New());
            JSONToRow(data, row.get(), i, count >= 2 ? &map : nullptr);
            if (withheld)
                row->SetState(drsBlobsNotFetched, true);
            TKldDataRow* stored = table->Insert(row.release(), -1);
            if (withheld)
                m_blobRows[stored] = m_fetchedRows + i;
        }
    });
    m_fetchedRows += count;
    return count;
}

void TNembraDBDataSet::FetchRowBlobs(TKldDataRow* row)
{
    const auto place = m_blobRows.find(row);
    if (row->GetState(drsBlobsNotFetched) && !m_handle.empty() && place != m_blobRows.end()) {
        std::unique_ptr<TNembraRequest> request = GetNembraRequest();
        request->SetProcedureName(NembraProcedure::FetchBlobs);
        request->SetShowWaitCursor(false);
        if (m_database)
            request->SetParam(NembraParam::DBHandle, Variant(m_database->DBHandle()));
        request->SetParam(NembraParam::Handle, Variant(m_handle));
        // The row's place in the cursor's result when it was fetched (its
        // index in the table changes with local deletes and ordering).
        request->SetParam(NembraParam::RecNo, Variant(place->second));
        request->Execute();
        TJSONObject& reply = request->GetJSONObject();
        m_rowsAffected = reply.GetValues(NembraReply::RowsAffected).GetAsInt64();
        TJSONObject& data = reply.GetValues(NembraReply::Data).GetAsObject();
        TKldDataTable* table = row->Table();
        InBulkUpdate(table, [&] {
            for (int c = 0; c < table->ColumnCount(); ++c) {
                const TKldDataColumn* column = table->Column(c);
                const int member = data.IndexOfName(column->ColumnName());
                if (!IsBlobColumn(column) || !row->ValuePtr(column) || member < 0)
                    continue;
                const TJSONValue& value = data.GetPropValue(member);
                if (!value.GetIsNull())
                    StoreBlob(row, column, DecodeBase64(value.GetAsString()));
            }
        });
    }
    row->SetState(drsBlobsNotFetched, false);
    m_blobRows.erase(row);
}

void TNembraDBDataSet::InternalOpen()
{
    TNembraDataSet::InternalOpen();
    for (int i = 0; i < InvisibleFields().Count(); ++i)
        if (TField* field = FindField(InvisibleFields()[i]))
            field->SetVisible(false);
}

// ===========================================================================
// Edits

TNembraEditSQL TNembraDBDataSet::EditSQL()
{
    // Every statement of a remote dataset is written over the table's own
    // columns; without them not even a delete by key has a table to name.
    if (!m_tableFieldDefs || m_tableFieldDefs->Count() == 0)
        throw Exception(STableNameInvalid);
    TNembraEditSQL edit;
    edit.TableName = m_tableName;
    edit.FieldDefs = m_tableFieldDefs.get();
    edit.KeyFieldDefs = &FieldDefs();
    edit.KeyFieldName = m_keyFieldName;
    edit.QuoteChars = m_database ? m_database->QuoteChars() : std::string();
    edit.NoFieldsMessage = STableNameInvalid;
    edit.InsertedRowMessage = SInsertedRow;
    return edit;
}

void TNembraDBDataSet::GetDeleteSQL(TKldDataRow* row, TParams& params, std::string& sql)
{
    sql = GetDeleteStatement(EditSQL(), row, params);
}

void TNembraDBDataSet::GetInsertSQL(TKldDataRow* row, TParams& params, std::string& sql)
{
    sql = GetInsertStatement(EditSQL(), row, params);
}

void TNembraDBDataSet::GetUpdateSQL(TKldDataRow* row, TParams& params, std::string& sql)
{
    sql = GetUpdateStatement(EditSQL(), row, params);
}

void TNembraDBDataSet::ExecuteCRUDOperation(TKldDataRow* row, TNembraDataChangeType, const TNembraSQLGenerator& generator)
{
    std::unique_ptr<TNembraRequest> request = GetExecuteRequest();
    TParams params;
    std::string sql;
    generator(row, params, sql);
    // A row edited back to its old values has nothing to send.
    if (Trim(sql).empty())
        return;
    request->SetParam(NembraParam::SQL, Variant(sql));
    request->SetParam(NembraParam::Params, Variant(ParamsToJSON(params, NembraSentParamTypes())));
    request->SecureWithSecret();
    request->Execute();
    TakeReply(*request, true);
}

bool TNembraDBDataSet::DeleteRow(TKldDataRow* row)
{
    if (m_serverUpdate)
        ExecuteCRUDOperation(row, dctDelete, [this](TKldDataRow* r, TParams& p, std::string& s) { GetDeleteSQL(r, p, s); });
    return m_serverUpdate;
}

bool TNembraDBDataSet::InsertRow(TKldDataRow* row)
{
    if (m_serverUpdate)
        ExecuteCRUDOperation(row, dctInsert, [this](TKldDataRow* r, TParams& p, std::string& s) { GetInsertSQL(r, p, s); });
    return m_serverUpdate;
}

bool TNembraDBDataSet::UpdateRow(TKldDataRow* row)
{
    if (m_serverUpdate && row->IsModified())
        ExecuteCRUDOperation(row, dctUpdate, [this](TKldDataRow* r, TParams& p, std::string& s) { GetUpdateSQL(r, p, s); });
    return m_serverUpdate;
}
