// Opening and closing databases, transactions, statements and the names of
// the objects a database and the server offer.
#include "DatabaseProcedures.h"
#include "TextCase.h"

#include "AppServer.h"
#include "NamePattern.h"
#include "SqlDialect.h"

#include <algorithm>
#include <cctype>

namespace {

using Wire::EProcedureError;


} // namespace

// A SYSTEM connection is every signed-in user's; any other alias must be a
// live one, and a user who is not a system manager must hold a role on it.
void CheckAliasAccess(TDatabase& db, const TSession& session, const std::string& alias)
{
    if (UpperText(alias) == "SYSTEM")
        return;
    auto lock = db.Lock();
    auto found = db.Prepare("SELECT COUNTER FROM TBL_DBALIASES WHERE UPPER(ALIAS) = UPPER(?) AND CURRENT_USE = 'T'");
    found->Bind(1, alias);
    if (!found->Step())
        throw EProcedureError(Wire::ErrGeneral, "Unknown database alias: " + alias);
    const int64_t counter = found->Int(0);
    if (session.UserType == "SYS")
        return;
    auto role = db.Prepare("SELECT 1 FROM TBL_USERDBACCESS UA JOIN TBL_ROLES R ON UA.C_ROLE = R.COUNTER "
                           "WHERE UA.C_USER = ? AND R.C_ALIAS = ? AND R.CURRENT_USE = 'T'");
    role->Bind(1, session.UserCounter).Bind(2, counter);
    if (!role->Step())
        throw EProcedureError(Wire::ErrGeneral, "You have no access to the database " + alias + ".");
}

namespace {

// DB_ALIAS. Answers DBHandle, ServerOS and DriverName.
void Connect(TCall& call)
{
    TSession& session = call.RequireSession();
    const std::string alias = call.RequiredParam("DB_ALIAS");
    CheckAliasAccess(call.Server().Database(), session, alias);
    const auto db = call.Server().Databases().Open(session.Id, alias, TSqlUser{session.UserCounter, session.UserType});
    // The session list names the data database a client works in.
    if (!SameNameText(alias, "SYSTEM"))
        call.Server().Sessions().SetDataAlias(session.Id, db->Alias());
    Wire::Member(call.Json(), "DBHandle", db->Handle());
    Wire::Member(call.Json(), "ServerOS", "LIN");
    Wire::Member(call.Json(), "DriverName", "SQLITE");
}

// Handle: a database handle closes the database with its cursors, a cursor
// handle the cursor; any other is unknown (1007).
void Close(TCall& call)
{
    TSession& session = call.RequireSession();
    const std::string handle = call.RequiredParam("Handle");
    TServerDatabases& dbs = call.Server().Databases();
    if (dbs.CloseDatabase(handle, session.Id) || dbs.CloseCursor(handle, session.Id))
        return;
    throw EProcedureError(Wire::ErrCursorLost, "The cursor is not held by the server any more.");
}

void StartTransaction(TCall& call)
{
    const auto db = RequireDatabase(call);
    auto lock = db->Lock();
    db->StartTransaction();
}

void CommitTransaction(TCall& call)
{
    const auto db = RequireDatabase(call);
    auto lock = db->Lock();
    db->Commit();
}

void RollbackTransaction(TCall& call)
{
    const auto db = RequireDatabase(call);
    auto lock = db->Lock();
    db->Rollback();
}

// SQL, Params, Secret; ScriptMode=True runs a script of statements ended by
// ";". Answers Result and RowsAffected (the rows changed) and Params (the
// parameters as they came: a statement has no output parameters).
void QueryExecute(TCall& call)
{
    call.CheckSecret();
    const auto db = RequireDatabase(call);
    const std::string sql = call.RequiredParam("SQL");
    const std::string paramsText = call.Param("Params");
    const TSqlParams params = ParseParams(paramsText);
    int64_t rows = 0;
    {
        auto lock = db->Lock();
        if (IsTrueParam(call, "ScriptMode")) {
            rows = db->ExecuteScript(sql, params, [&call](size_t index, size_t count) {
                call.Progress(static_cast<int>(index * 100 / count),
                              "Statement " + std::to_string(index + 1) + " of " + std::to_string(count));
            });
        } else {
            rows = db->Execute(sql, params);
        }
    }
    TJsonWriter& json = call.Json();
    json.Key("Result");
    json.Int64(rows);
    json.Key("RowsAffected");
    json.Int64(rows);
    json.Key("Params");
    if (params.empty())
        json.RawValue("{}", 2, rapidjson::kObjectType);
    else
        json.RawValue(paramsText.data(), paramsText.size(), rapidjson::kObjectType);
}

// ObjectType: "table" (of the DBHandle's database, else of the system
// database), "storedproc", "plugin", or "pluginproc" (the procedures of the
// plug-in ObjectName). For the other types a non-empty ObjectName is a
// pattern the names must match. Answers Data: the names.
void GetObjectNames(TCall& call)
{
    TSession& session = call.RequireSession();
    const std::string type = UpperText(call.Param("ObjectType"));
    const std::string name = call.Param("ObjectName");
    if (name.size() > kMaxNamePattern)
        throw EProcedureError(Wire::ErrGeneral, "The object name is longer than " + std::to_string(kMaxNamePattern) +
                                                    " characters.");
    std::vector<std::string> names;
    if (type == "TABLE") {
        if (const auto db = OptionalDatabase(call)) {
            auto lock = db->Lock();
            names = db->TableNames();
        } else {
            TDataConnection system("", "SYSTEM", session.Id, call.Server().Databases().FileOf("SYSTEM"),
                                   TSqlUser{session.UserCounter, session.UserType});
            names = system.TableNames();
        }
    } else if (type == "STOREDPROC") {
        names = StoredProcedureNames();
    } else if (type == "PLUGIN") {
        names = PluginNames();
    } else if (type == "PLUGINPROC") {
        names = PluginProcedureNames(call.RequiredParam("ObjectName"));
    } else {
        throw EProcedureError(Wire::ErrGeneral, "Unknown object type: " + call.Param("ObjectType"));
    }
    if (type != "PLUGINPROC" && !name.empty())
        names.erase(std::remove_if(names.begin(), names.end(), [&](const std::string& n) { return !MatchesNamePattern(n, name); }),
                    names.end());
    if (call.Server().Options().ObjectNamesWithoutData)
        return;
    TJsonWriter& json = call.Json();
    json.Key("Data");
    json.StartArray();
    for (const std::string& n : names)
        json.String(n);
    json.EndArray();
}

} // namespace

std::shared_ptr<TDataConnection> RequireDatabase(TCall& call)
{
    TSession& session = call.RequireSession();
    return call.Server().Databases().Find(call.RequiredParam("DBHandle"), session.Id);
}

std::shared_ptr<TDataConnection> OptionalDatabase(TCall& call)
{
    if (call.Param("DBHandle").empty())
        return nullptr;
    return RequireDatabase(call);
}

bool IsTrueParam(const TCall& call, std::string_view name)
{
    return UpperText(call.Param(name)) == "TRUE";
}

bool IsFalseParam(const TCall& call, std::string_view name)
{
    return UpperText(call.Param(name)) == "FALSE";
}

void RegisterDatabaseProcedures(TProcedureTable& table)
{
    table.Add("Nembra.Connect", Connect);
    table.Add("Nembra.Close", Close);
    table.Add("Nembra.StartTransaction", StartTransaction);
    table.Add("Nembra.CommitTransaction", CommitTransaction);
    table.Add("Nembra.RollbackTransaction", RollbackTransaction);
    table.Add("Nembra.QueryExecute", QueryExecute);
    table.Add("Nembra.GetObjectNames", GetObjectNames);
}
