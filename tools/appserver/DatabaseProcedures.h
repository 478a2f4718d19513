#pragma once
// The catalogue of database procedures (Nembra.Connect ... Nembra.PluginDataChanged)
// and what their handlers share. Every one needs a signed-in session (1005).
//
//   DatabaseProcedures.cpp   Connect, Close, Start/Commit/RollbackTransaction,
//                            QueryExecute, GetObjectNames
//   QueryProcedures.cpp      QueryFetch, FetchBlobs, and the fetch reply of every
//                            cursor (queries, stored procedures, plug-ins)
//   StoredProcedures.cpp     StoredProcGetParams, StoredProcFetch, StoredProcExecute
//                            over a registry of procedures written in C++
//   PluginProcedures.cpp     PluginGetParams, PluginFetch, PluginExecute,
//                            PluginDataChanged over a registry of plug-ins

#include "Procedures.h"
#include "ServerDatabases.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

void RegisterDatabaseProcedures(TProcedureTable& table);
void RegisterQueryProcedures(TProcedureTable& table);
void RegisterStoredProcedures(TProcedureTable& table);
void RegisterPluginProcedures(TProcedureTable& table);

// The database of the call's DBHandle; 1002 without one, 1008 when the
// session does not hold it.
std::shared_ptr<TDataConnection> RequireDatabase(TCall& call);
// The same, or null when the call names no database.
std::shared_ptr<TDataConnection> OptionalDatabase(TCall& call);

// The page size of a fetch: FetchCount, or every row when it is not sent.
int FetchCountOf(const TCall& call);

// Writes the members of a fetch reply for the next page of `cursor`:
// "handle" ('' once the last page is out, unless memo and blob values were
// left out and may still be asked for), "eof", "fields" on the first page,
// "tablefields" (null when not asked for), "Params" (the output parameters
// on the first page, else null) and "data" (one array per column). With
// fetchBlobs false, memo and blob cells are "" for a value and null for NULL.
void WriteFetchReply(TCall& call, const std::shared_ptr<TServerCursor>& cursor, int count, bool firstPage,
                     const std::optional<std::vector<TFieldInfo>>& tableFields, bool fetchBlobs);

// Names of the registered stored procedures, plug-ins and a plug-in's
// procedures (an unknown plug-in raises).
std::vector<std::string> StoredProcedureNames();
std::vector<std::string> PluginNames();
std::vector<std::string> PluginProcedureNames(const std::string& plugin);

// The fields a cursor keeps out of pages fetched without blobs.
bool IsBlobField(const TFieldInfo& field);

// Whether the value of a Boolean parameter is "True" / "False" (without regard to case).
bool IsTrueParam(const TCall& call, std::string_view name);
bool IsFalseParam(const TCall& call, std::string_view name);
