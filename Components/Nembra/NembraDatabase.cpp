#include "Components/Nembra/NembraDatabase.h"

#include "Components/Nembra/NembraDBDataSet.h"
#include "Components/Nembra/NembraJSON.h"
#include "Components/Nembra/NembraLib.h"
#include "Components/Nembra/NembraProcedures.h"

#include <algorithm>

namespace {

constexpr const char* SConnectionNotActive = "Connection is not active";
constexpr const char* SDatabaseNotFound = "Database not found: %s";
constexpr const char* SDatabaseInactive = "Unable to perform this operation on inactive database";
constexpr const char* SDatabaseActive = "Unable to perform this operation on an active database";
// The texts callers have always shown, spelling included.
constexpr const char* STransactionStarted = "Tranasction is already started";
constexpr const char* STransactionNotStarted = "Tranasction is not started";

} // namespace

// The registry outlives every database: it is made on first use of this unit
// and never freed (it holds only borrowed pointers).
TNembraDatabaseList& NembraDatabases = *new TNembraDatabaseList;

int TNembraDatabaseList::IndexOf(const TNembraDatabase* database) const
{
    const auto it = std::find(m_items.begin(), m_items.end(), database);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

void TNembraDatabaseList::Add(TNembraDatabase* database)
{
    if (IndexOf(database) < 0)
        m_items.push_back(database);
}

void TNembraDatabaseList::Remove(TNembraDatabase* database)
{
    const int index = IndexOf(database);
    if (index >= 0)
        m_items.erase(m_items.begin() + index);
}

// ---------------------------------------------------------------------------
// Life cycle

TNembraDatabase::TNembraDatabase(TComponent* owner) : TComponent(owner) {}

TNembraDatabase::~TNembraDatabase()
{
    // Datasets hear of the database's end and unbind; nothing goes to the server.
    Destroying();
    NembraDatabases.Remove(this);
    BindConnection(nullptr);
}

void TNembraDatabase::SetConnectionName(const std::string& value)
{
    if (value == m_connectionName)
        return;
    CheckInActive();
    m_connectionName = value;
    BindConnection(nullptr);
}

void TNembraDatabase::SetDatabaseName(const std::string& value)
{
    if (value == m_databaseName)
        return;
    NembraDatabases.Remove(this);
    m_databaseName = value;
    if (!m_databaseName.empty())
        NembraDatabases.Add(this);
}

void TNembraDatabase::SetActive(bool value)
{
    if (value == m_active)
        return;
    if (value)
        DoConnect();
    else
        DoDisconnect();
}

void BindConnectionListener(TComponent& component, IMessageReceiver& receiver, TNembraConnection*& bound,
                            TNembraConnection* connection)
{
    if (connection == bound)
        return;
    if (bound) {
        bound->RemoveListener(&receiver);
        component.RemoveFreeNotification(bound);
    }
    bound = connection;
    if (bound) {
        bound->AddListener(&receiver);
        component.FreeNotification(bound);
    }
}

void TNembraDatabase::BindConnection(TNembraConnection* connection)
{
    BindConnectionListener(*this, *this, m_connection, connection);
}

TNembraConnection& TNembraDatabase::GetConnection()
{
    if (!m_connection)
        BindConnection(&TNembraConnection::GetConnectionByName(m_connectionName));
    return *m_connection;
}

void TNembraDatabase::CheckActive() const
{
    if (!m_active)
        throw Exception(SDatabaseInactive);
}

void TNembraDatabase::CheckInActive() const
{
    if (m_active)
        throw Exception(SDatabaseActive);
}

// ---------------------------------------------------------------------------
// Opening and closing

void TNembraDatabase::DoConnect()
{
    CheckInActive();
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::Connect);
    for (int i = 0; i < m_params.Count(); ++i) {
        const std::string name = m_params.Names(i);
        if (!name.empty())
            request->SetParam(name, Variant(m_params.ValueFromIndex(i)));
    }
    request->Execute();
    TJSONObject& reply = request->GetJSONObject();
    m_dbHandle = reply.GetValues(NembraReply::DBHandle).GetAsString();
    m_serverOS = reply.GetValues(NembraReply::ServerOS).GetAsString();
    m_driverName = reply.GetValues(NembraReply::DriverName).GetAsString();
    m_active = true;
}

void TNembraDatabase::DoDisconnect()
{
    CloseDataSets();
    if (!m_dbHandle.empty() && m_connection && m_connection->Active()) {
        try {
            std::unique_ptr<TNembraRequest> request = GetNembraRequest();
            request->SetProcedureName(NembraProcedure::Close);
            request->SetParam(NembraParam::DBHandle, Variant(m_dbHandle));
            request->SetParam(NembraParam::Handle, Variant(m_dbHandle));
            request->Execute();
            m_dbHandle.clear();
        } catch (...) {
            // The server frees an unused handle by itself; the next open
            // replaces the one kept here.
        }
    }
    m_inTransaction = false;
    m_active = false;
}

void TNembraDatabase::CloseSilently()
{
    CloseDataSets();
    m_inTransaction = false;
    m_active = false;
}

void TNembraDatabase::WndProc(TMessage& message)
{
    if (message.Msg != CN_CONNECTIONEVENT || message.WParam != 1 || !m_connection ||
        message.LParam != reinterpret_cast<LPARAM>(m_connection))
        return;
    CloseSilently();
    BindConnection(nullptr);
}

void TNembraDatabase::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == m_connection) {
        // The connection is going (it already forgot its listeners): the
        // database is closed, and its datasets, bound to the same
        // connection, hear of it themselves and keep their rows. Nothing
        // here may call into the connection any more.
        m_connection = nullptr;
        m_inTransaction = false;
        m_active = false;
    }
    const auto it = std::find(m_dataSets.begin(), m_dataSets.end(), component);
    if (it != m_dataSets.end())
        m_dataSets.erase(it);
}

// ---------------------------------------------------------------------------
// Calls

std::unique_ptr<TNembraRequest> TNembraDatabase::GetNembraRequest()
{
    TNembraConnection& connection = GetConnection();
    if (!connection.Active())
        throw Exception(SConnectionNotActive);
    auto request = std::make_unique<TNembraRequest>();
    request->SetConnectionName(m_connectionName);
    request->SetConnection(&connection);
    request->SetResponseType(qrtJSON);
    return request;
}

void TNembraDatabase::GetObjectNames(const std::string& objectName, const std::string& objectType, TStrings& list)
{
    CheckActive();
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::GetObjectNames);
    request->SetParam(NembraParam::DBHandle, Variant(m_dbHandle));
    request->SetParam(NembraParam::ObjectName, Variant(objectName));
    request->SetParam(NembraParam::ObjectType, Variant(objectType));
    request->Execute();
    TJSONValue& data = request->GetJSONObject().GetValues(NembraReply::Data);
    // A reply without the array is no answer: an empty list would show a
    // database without tables.
    if (data.GetValueType() != jvtArray)
        throw Exception("The server's reply to Nembra.GetObjectNames holds no \"Data\" array");
    list.Clear();
    TJSONArray& names = data.GetAsArray();
    for (int i = 0; i < names.Count(); ++i)
        list.Add(names.GetValue(i).GetAsString());
}

void TNembraDatabase::GetProcedureParams(const std::string& name, TParams& params)
{
    CheckActive();
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::StoredProcGetParams);
    request->SetParam(NembraParam::DBHandle, Variant(m_dbHandle));
    request->SetParam(NembraParam::StoredProcName, Variant(name));
    request->Execute();
    AddParamsFromJSON(params, request->GetJSONObject().GetValues(NembraReply::Params).GetAsObject());
}

void TNembraDatabase::RunOnDatabase(const char* procedure)
{
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(procedure);
    request->SetParam(NembraParam::DBHandle, Variant(m_dbHandle));
    request->Execute();
}

void TNembraDatabase::StartTransaction()
{
    CheckActive();
    if (m_inTransaction)
        throw Exception(STransactionStarted);
    RunOnDatabase(NembraProcedure::StartTransaction);
    m_inTransaction = true;
}

void TNembraDatabase::Commit()
{
    CheckActive();
    if (!m_inTransaction)
        throw Exception(STransactionNotStarted);
    RunOnDatabase(NembraProcedure::CommitTransaction);
    m_inTransaction = false;
}

void TNembraDatabase::Rollback()
{
    CheckActive();
    if (!m_inTransaction)
        throw Exception(STransactionNotStarted);
    RunOnDatabase(NembraProcedure::RollbackTransaction);
    m_inTransaction = false;
}

int TNembraDatabase::ExecuteStatement(const std::string& sql, bool batch, bool scriptMode,
                                      TNembraProfiling* profiling)
{
    // Without a handle the server could only refuse the call.
    CheckActive();
    std::unique_ptr<TNembraRequest> request = GetNembraRequest();
    request->SetProcedureName(NembraProcedure::QueryExecute);
    request->SetParam(NembraParam::DBHandle, Variant(m_dbHandle));
    request->SetParam(NembraParam::SQL, Variant(sql));
    if (batch) {
        request->SetParam(NembraParam::ScriptMode, Variant(scriptMode ? "True" : "False"));
        request->SetParam(NembraParam::ReportProgress, Variant("True"));
    }
    request->SecureWithSecret();
    request->Execute();
    if (profiling)
        *profiling = request->Profiling();
    return request->GetJSONObject().GetValues(NembraReply::Result).GetAsInteger();
}

int TNembraDatabase::ExecSQL(const std::string& sql)
{
    return ExecuteStatement(sql, false, false, nullptr);
}

int TNembraDatabase::ExecSQL(const TStrings& sql)
{
    return ExecSQL(ConcatStrings(sql, "\r\n"));
}

int TNembraDatabase::ExecBatch(const TStrings& script, bool scriptMode, TNembraProfiling* profiling)
{
    return ExecBatch(ConcatStrings(script, "\r\n"), scriptMode, profiling);
}

int TNembraDatabase::ExecBatch(const std::string& script, bool scriptMode, TNembraProfiling* profiling)
{
    return ExecuteStatement(script, true, scriptMode, profiling);
}

// ---------------------------------------------------------------------------
// Open datasets

TNembraDBDataSet* TNembraDatabase::GetDataSets(int index) const
{
    return m_dataSets.at(static_cast<size_t>(index));
}

void TNembraDatabase::AddActiveDataSet(TNembraDBDataSet* dataSet)
{
    if (std::find(m_dataSets.begin(), m_dataSets.end(), dataSet) == m_dataSets.end())
        m_dataSets.push_back(dataSet);
}

void TNembraDatabase::RemoveActiveDataSet(TNembraDBDataSet* dataSet)
{
    const auto it = std::find(m_dataSets.begin(), m_dataSets.end(), dataSet);
    if (it != m_dataSets.end())
        m_dataSets.erase(it);
}

void TNembraDatabase::CloseDataSets()
{
    // A dataset leaves the list as it closes; one that is closed already is
    // only dropped.
    while (!m_dataSets.empty()) {
        TNembraDBDataSet* dataSet = m_dataSets.back();
        if (dataSet->Active())
            dataSet->Close();
        RemoveActiveDataSet(dataSet);
    }
}

// ---------------------------------------------------------------------------
// Registry

TNembraDatabase* TNembraDatabase::FindDatabaseByName(const std::string& name)
{
    for (int i = 0; i < NembraDatabases.Count(); ++i)
        if (SameText(NembraDatabases.Items(i)->DatabaseName(), name))
            return NembraDatabases.Items(i);
    return nullptr;
}

TNembraDatabase& TNembraDatabase::GetDatabaseByName(const std::string& name)
{
    TNembraDatabase* database = FindDatabaseByName(name);
    if (!database)
        throw Exception(Format(SDatabaseNotFound, name));
    return *database;
}
