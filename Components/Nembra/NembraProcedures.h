#pragma once
// The catalogue of the application server's procedures that the client
// calls, with the parameters it sends and the reply members it reads, in one
// place. Every call is a form-encoded POST to the server address, "/" and
// the procedure name, answered by a JSON object with the "Error" envelope
// (NembraExchange.cpp). The behaviour around each call is with its caller:
// connection (NembraConnection), database and remote datasets
// (NembraDatabase, NembraDBDataSet and the classes of NembraDBDataSets.h).
//
// Rules for every call:
// - A parameter whose value is empty is never sent (TNembraRequest::SetParam
//   drops it), so "left out while empty" needs no test at the caller.
// - Booleans travel as "True" and "False"; numbers with a point.
// - "Params", "OldValues" and "NewValues" are parameter objects as
//   ParamsToJSON writes them: per parameter its name and an object with
//   DataType (the field type ordinal), ParamType (the parameter type ordinal)
//   and Value. The client sends the types NembraSentParamTypes and reads back
//   NembraReturnedParamTypes.
// - Every request of a remote dataset carries DBDataSetName (the dataset's
//   component name) and, when the dataset reports progress, ReportProgress
//   "True"; DBHandle when a database is bound; Handle while it holds a
//   server cursor.
// - The request proof "Secret" goes with Nembra.QueryExecute and with every
//   page of Nembra.QueryFetch; the stored-procedure and plug-in calls carry
//   none.

#include "platform/DBTypes.h"

namespace NembraProcedure {
// Sessions (NembraConnection).
inline constexpr const char* Login = "Nembra.Login";                       // the connection's Params, SECRET_KEY
inline constexpr const char* Logout = "Nembra.Logout";                     // -
inline constexpr const char* KeepAlive = "Nembra.KeepAlive";               // -
inline constexpr const char* GetWorkServerURL = "Nembra.GetWorkServerURL"; // -; the whole reply is the address
inline constexpr const char* GetObjectNames = "Nembra.GetObjectNames";     // ObjectName, ObjectType, DBHandle -> Data
// Databases (TNembraDatabase).
inline constexpr const char* Connect = "Nembra.Connect"; // the database's Params -> DBHandle, ServerOS, DriverName
inline constexpr const char* Close = "Nembra.Close";     // DBHandle, Handle (a database sends its DBHandle as both)
inline constexpr const char* StartTransaction = "Nembra.StartTransaction";       // DBHandle
inline constexpr const char* CommitTransaction = "Nembra.CommitTransaction";     // DBHandle
inline constexpr const char* RollbackTransaction = "Nembra.RollbackTransaction"; // DBHandle
inline constexpr const char* StoredProcGetParams = "Nembra.StoredProcGetParams"; // DBHandle, StoredProcName -> Params
// SQL: DBHandle, SQL, Secret; from datasets Handle, Params, KeepPrepared; from
// ExecBatch ScriptMode and ReportProgress -> Result (database calls),
// RowsAffected and Params (dataset calls).
inline constexpr const char* QueryExecute = "Nembra.QueryExecute";
// Server cursors: DBHandle, Handle, FetchCount, FetchBlobs, TableName, SQL and
// Params (first page), Secret (every page) -> handle, eof, fields, tablefields,
// Params, data.
inline constexpr const char* QueryFetch = "Nembra.QueryFetch";
inline constexpr const char* FetchBlobs = "Nembra.FetchBlobs"; // DBHandle, Handle, RecNo -> RowsAffected, Data
inline constexpr const char* StoredProcFetch = "Nembra.StoredProcFetch";     // + StoredProcName; no SQL, no Secret
inline constexpr const char* StoredProcExecute = "Nembra.StoredProcExecute"; // -> RowsAffected, Params
inline constexpr const char* PluginFetch = "Nembra.PluginFetch";     // + PluginName, ProcedureName; no SQL, no Secret
inline constexpr const char* PluginExecute = "Nembra.PluginExecute"; // -> RowsAffected, Params, Warning
inline constexpr const char* PluginGetParams = "Nembra.PluginGetParams"; // PluginName, ProcedureName -> Params
// DBHandle, Handle, ChangeType ("0" insert, "1" update, "2" delete), OldValues,
// NewValues -> RowsAffected (taken as at least 1), Warning.
inline constexpr const char* PluginDataChanged = "Nembra.PluginDataChanged";
} // namespace NembraProcedure

// Parameter names.
namespace NembraParam {
inline constexpr const char* DBHandle = "DBHandle";
inline constexpr const char* Handle = "Handle";
inline constexpr const char* DBDataSetName = "DBDataSetName";
inline constexpr const char* ReportProgress = "ReportProgress";
inline constexpr const char* SQL = "SQL";
inline constexpr const char* Params = "Params";
inline constexpr const char* Secret = "Secret";
inline constexpr const char* KeepPrepared = "KeepPrepared";
inline constexpr const char* ScriptMode = "ScriptMode";
inline constexpr const char* FetchCount = "FetchCount";
inline constexpr const char* FetchBlobs = "FetchBlobs";
inline constexpr const char* TableName = "TableName";
inline constexpr const char* RecNo = "RecNo";
inline constexpr const char* StoredProcName = "StoredProcName";
inline constexpr const char* PluginName = "PluginName";
inline constexpr const char* ProcedureName = "ProcedureName";
inline constexpr const char* ChangeType = "ChangeType";
inline constexpr const char* OldValues = "OldValues";
inline constexpr const char* NewValues = "NewValues";
inline constexpr const char* ObjectName = "ObjectName";
inline constexpr const char* ObjectType = "ObjectType";
} // namespace NembraParam

// Reply members.
namespace NembraReply {
inline constexpr const char* DBHandle = "DBHandle";
inline constexpr const char* ServerOS = "ServerOS";
inline constexpr const char* DriverName = "DriverName";
inline constexpr const char* Result = "Result";
inline constexpr const char* RowsAffected = "RowsAffected";
inline constexpr const char* Params = "Params";
inline constexpr const char* Warning = "Warning";
inline constexpr const char* Data = "Data";
// Fetch replies.
inline constexpr const char* Handle = "handle";          // '' when no further page exists
inline constexpr const char* Eof = "eof";                // no further page
inline constexpr const char* Fields = "fields";          // [{Name, DataType, Size}] (first page)
inline constexpr const char* TableFields = "tablefields"; // the same for the table, or null
inline constexpr const char* Rows = "data";              // one array per column
} // namespace NembraReply

// The parameter types a dataset sends and reads back.
inline TParamTypes NembraSentParamTypes()
{
    return TParamTypes{ptUnknown, ptInput, ptInputOutput};
}
inline TParamTypes NembraReturnedParamTypes()
{
    return TParamTypes{ptOutput, ptInputOutput, ptResult};
}

// Server error codes the client reacts to.
inline constexpr int NembraErrorCursorLost = 1007; // the server no longer holds the dataset's cursor
