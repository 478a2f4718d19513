// Plug-in procedures: parameters, result sets page by page, execution and
// the edits of fetched rows; with the demo plug-in PLG_DEMO.
#include "PluginProcedures.h"
#include "TextCase.h"

#include "AppServer.h"
#include "DatabaseProcedures.h"
#include "SqlDialect.h"
#include "StoredProcedures.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace {

using Wire::EProcedureError;


struct TRegistry
{
    std::mutex Lock;
    std::map<std::string, TPlugin> Plugins; // upper-case names
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}

// A copy, so that a plug-in registered again meanwhile cannot pull it away.
TPluginProcedure FindProcedure(const std::string& plugin, const std::string& procedure)
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    const auto it = registry.Plugins.find(UpperText(plugin));
    if (it == registry.Plugins.end())
        throw EProcedureError(Wire::ErrGeneral, "Unknown plug-in: " + plugin);
    for (const TPluginProcedure& p : it->second.Procedures)
        if (UpperText(p.Name) == UpperText(procedure))
            return p;
    throw EProcedureError(Wire::ErrGeneral, "The plug-in " + it->second.Name + " has no procedure " + procedure);
}


const TSqlValue& ValueOf(const TSqlParams& params, const char* name)
{
    static const TSqlValue null;
    const TSqlParam* p = FindParam(params, name);
    return p ? p->Value : null;
}

// --- The demo plug-in PLG_DEMO

// Echo (no database): TEXT and COUNT in; Fetch gives COUNT rows (N, TEXT),
// Execute answers TEXT_OUT, the text COUNT times. A COUNT below 1 is a warning.
// The reply is built whole in memory and a fetch keeps its rows until the
// cursor ends, so a request for more than a few MB is refused.
constexpr int64_t MaxEchoText = 4 * 1024 * 1024;
constexpr int64_t MaxEchoRows = 10000;

// Refuses a reply of COUNT times TEXT above MaxEchoText.
void CheckEchoSize(int64_t count, const TSqlValue& text)
{
    const int64_t length = text.IsNull() ? 0 : static_cast<int64_t>(text.AsText().size());
    if (count > 0 && length > 0 && count > MaxEchoText / length) {
        throw EProcedureError(Wire::ErrGeneral, "Echo answers at most " + std::to_string(MaxEchoText) +
                                                    " characters: COUNT " + std::to_string(count) +
                                                    " times a TEXT of " + std::to_string(length) +
                                                    " is more.");
    }
}

void EchoFetch(TPluginContext& context, TResultSet& rows)
{
    rows.Fields = {{"N", FieldType::Integer, 0}, {"TEXT", FieldType::String, 4000}};
    const int64_t count = ValueOf(context.Params, "COUNT").Int;
    if (count > MaxEchoRows) {
        throw EProcedureError(Wire::ErrGeneral, "Echo fetches at most " + std::to_string(MaxEchoRows) +
                                                    " rows: COUNT " + std::to_string(count) + " is more.");
    }
    CheckEchoSize(count, ValueOf(context.Params, "TEXT"));
    for (int64_t i = 1; i <= count; ++i)
        rows.Rows.push_back({TSqlValue::Integer(i), ValueOf(context.Params, "TEXT")});
    if (count < 1)
        context.Warning = "Nothing to repeat";
}

void EchoExecute(TPluginContext& context)
{
    const int64_t count = ValueOf(context.Params, "COUNT").Int;
    const TSqlValue& text = ValueOf(context.Params, "TEXT");
    CheckEchoSize(count, text);
    const std::string once = text.AsText();
    std::string out;
    // An empty TEXT repeated is empty, however large COUNT is.
    for (int64_t i = 0; !once.empty() && i < count; ++i)
        out += once;
    FindParam(context.Params, "TEXT_OUT")->Value = out.empty() ? TSqlValue::Null() : TSqlValue::FromText(out);
    if (count < 1)
        context.Warning = "Nothing to repeat";
}

// Residents (database): the residents of C_FACILITY; edits of the fetched
// rows go to TBL_RESIDENT by COUNTER.
void ResidentsFetch(TPluginContext& context, TResultSet& rows)
{
    context.Database().Execute("SELECT COUNTER, RESIDENT_NAME, ROOM, BALANCE FROM TBL_RESIDENT "
                               "WHERE C_FACILITY = :C_FACILITY ORDER BY COUNTER",
                               context.Params, &rows);
}

int64_t ResidentsChanged(TPluginContext& context, TPluginChange change, const TSqlParams& oldValues,
                         const TSqlParams& newValues)
{
    TDataConnection& db = context.Database();
    switch (change) {
    case pcInsert: {
        // A new resident lives in the facility whose residents were fetched.
        context.Warning = "Resident added";
        TSqlParams params = newValues;
        TSqlParam facility = DeclareParam("FETCH_FACILITY", FieldType::Integer, ParamType::Input);
        facility.Value = ValueOf(context.FetchParams, "C_FACILITY");
        params.push_back(facility);
        return db.Execute("INSERT INTO TBL_RESIDENT (COUNTER, RESIDENT_NAME, ROOM, BALANCE, C_FACILITY) "
                          "VALUES (:COUNTER, :RESIDENT_NAME, :ROOM, :BALANCE, :FETCH_FACILITY)",
                          params);
    }
    case pcUpdate: {
        TSqlParams params = newValues;
        TSqlParam key = DeclareParam("OLD_COUNTER", FieldType::Integer, ParamType::Input);
        key.Value = ValueOf(oldValues, "COUNTER");
        params.push_back(key);
        return db.Execute("UPDATE TBL_RESIDENT SET RESIDENT_NAME = :RESIDENT_NAME, ROOM = :ROOM, "
                          "BALANCE = :BALANCE WHERE COUNTER = :OLD_COUNTER",
                          params);
    }
    case pcDelete:
        if (!FindParam(oldValues, "COUNTER"))
            throw EProcedureError(Wire::ErrGeneral, "The resident to delete is not named by its COUNTER.");
        return db.Execute("DELETE FROM TBL_RESIDENT WHERE COUNTER = :COUNTER", oldValues);
    }
    return 0;
}

void RegisterDemoPlugin()
{
    TPluginProcedure echo;
    echo.Name = "Echo";
    echo.Params = {DeclareParam("TEXT", FieldType::String, ParamType::Input),
                   DeclareParam("COUNT", FieldType::Integer, ParamType::Input),
                   DeclareParam("TEXT_OUT", FieldType::String, ParamType::Output)};
    echo.Fetch = EchoFetch;
    echo.Execute = EchoExecute;
    TPluginProcedure residents;
    residents.Name = "Residents";
    residents.Params = {DeclareParam("C_FACILITY", FieldType::Integer, ParamType::Input)};
    residents.Fetch = ResidentsFetch;
    residents.DataChanged = ResidentsChanged;
    RegisterPlugin({"PLG_DEMO", {echo, residents}});
}

// --- Handlers

TPluginContext MakeContext(TCall& call, const TPluginProcedure& procedure)
{
    return TPluginContext{call, OptionalDatabase(call),
                          BindDeclaredParams(procedure.Params, ParseParams(call.Param("Params"))), {}, {}};
}

// Runs f under the lock of the context's database, when it has one.
template <class F> auto Locked(TPluginContext& context, F&& f)
{
    std::unique_lock<std::mutex> lock;
    if (context.Db)
        lock = context.Db->Lock();
    return f();
}

// PluginName, ProcedureName (DBHandle, Handle). Answers Params.
void PluginGetParams(TCall& call)
{
    call.RequireSession();
    const TPluginProcedure procedure = FindProcedure(call.RequiredParam("PluginName"),
                                                     call.RequiredParam("ProcedureName"));
    call.Json().Key("Params");
    WriteParams(call.Json(), procedure.Params);
}

// PluginName, ProcedureName, Params (first page) or Handle (later pages),
// DBHandle when a database is bound. A fetch reply.
void PluginFetch(TCall& call)
{
    TSession& session = call.RequireSession();
    TServerDatabases& dbs = call.Server().Databases();
    const std::string handle = call.Param("Handle");
    std::shared_ptr<TServerCursor> cursor;
    if (handle.empty()) {
        const std::string pluginName = call.RequiredParam("PluginName");
        const std::string procedureName = call.RequiredParam("ProcedureName");
        const TPluginProcedure procedure = FindProcedure(pluginName, procedureName);
        if (!procedure.Fetch)
            throw EProcedureError(Wire::ErrGeneral, "The procedure " + procedure.Name + " returns no rows.");
        TPluginContext context = MakeContext(call, procedure);
        TResultSet rows;
        Locked(context, [&] { procedure.Fetch(context, rows); });
        cursor = dbs.AddCursor(session.Id, context.Db ? context.Db->Handle() : std::string(), std::move(rows),
                               std::move(context.Params));
        {
            std::lock_guard<std::mutex> guard(cursor->Lock);
            cursor->Plugin = pluginName;
            cursor->Procedure = procedureName;
            cursor->KeepOpen = static_cast<bool>(procedure.DataChanged);
        }
        if (!context.Warning.empty())
            Wire::Member(call.Json(), "Warning", context.Warning);
    } else {
        cursor = dbs.FindCursor(handle, session.Id);
    }
    WriteFetchReply(call, cursor, FetchCountOf(call), handle.empty(), std::nullopt,
                    !IsFalseParam(call, "FetchBlobs"));
}

// PluginName, ProcedureName, Params, KeepPrepared. Answers RowsAffected,
// Params with the outputs and Warning.
void PluginExecute(TCall& call)
{
    call.RequireSession();
    const TPluginProcedure procedure = FindProcedure(call.RequiredParam("PluginName"),
                                                     call.RequiredParam("ProcedureName"));
    if (!procedure.Execute)
        throw EProcedureError(Wire::ErrGeneral, "The procedure " + procedure.Name + " cannot be executed.");
    TPluginContext context = MakeContext(call, procedure);
    Locked(context, [&] { procedure.Execute(context); });
    TJsonWriter& json = call.Json();
    json.Key("RowsAffected");
    json.Int(0);
    json.Key("Params");
    WriteParams(json, context.Params);
    Wire::Member(json, "Warning", context.Warning);
}

// Handle (the cursor of the fetched rows), ChangeType 0/1/2, OldValues,
// NewValues. Answers RowsAffected and Warning.
void PluginDataChanged(TCall& call)
{
    TSession& session = call.RequireSession();
    const std::string handle = call.Param("Handle");
    if (handle.empty())
        throw EProcedureError(Wire::ErrGeneral, "The changed rows are not named by their cursor (Handle).");
    const auto cursor = call.Server().Databases().FindCursor(handle, session.Id);
    std::string plugin, procedureName, dbHandle;
    TSqlParams fetchParams;
    {
        std::lock_guard<std::mutex> guard(cursor->Lock);
        plugin = cursor->Plugin;
        procedureName = cursor->Procedure;
        dbHandle = cursor->DbHandle;
        fetchParams = cursor->OutputParams;
    }
    if (plugin.empty())
        throw EProcedureError(Wire::ErrGeneral, "The rows of this cursor are not a plug-in's.");
    const TPluginProcedure procedure = FindProcedure(plugin, procedureName);
    if (!procedure.DataChanged)
        throw EProcedureError(Wire::ErrGeneral, "The rows of " + procedure.Name + " cannot be changed.");
    const std::string change = call.RequiredParam("ChangeType");
    if (change != "0" && change != "1" && change != "2")
        throw EProcedureError(Wire::ErrGeneral, "Invalid ChangeType: " + change);
    TPluginContext context{call, OptionalDatabase(call), {}, std::move(fetchParams), {}};
    if (!context.Db && !dbHandle.empty())
        context.Db = call.Server().Databases().Find(dbHandle, session.Id);
    const TSqlParams oldValues = ParseParams(call.Param("OldValues"));
    const TSqlParams newValues = ParseParams(call.Param("NewValues"));
    const int64_t rows = Locked(context, [&] {
        return procedure.DataChanged(context, static_cast<TPluginChange>(std::stoi(change)), oldValues, newValues);
    });
    TJsonWriter& json = call.Json();
    json.Key("RowsAffected");
    json.Int64(rows);
    Wire::Member(json, "Warning", context.Warning);
}

} // namespace

TDataConnection& TPluginContext::Database()
{
    if (!Db)
        throw EProcedureError(Wire::ErrMissingParameter, "Parameter DBHandle is missing.");
    return *Db;
}

void RegisterPlugin(TPlugin plugin)
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    const std::string key = UpperText(plugin.Name);
    registry.Plugins[key] = std::move(plugin);
}

void RegisterPluginProcedure(const std::string& pluginName, TPluginProcedure procedure)
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    TPlugin& plugin = registry.Plugins[UpperText(pluginName)];
    if (plugin.Name.empty())
        plugin.Name = pluginName;
    for (TPluginProcedure& existing : plugin.Procedures)
        if (UpperText(existing.Name) == UpperText(procedure.Name)) {
            existing = std::move(procedure);
            return;
        }
    plugin.Procedures.push_back(std::move(procedure));
}

std::vector<std::string> PluginNames()
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    std::vector<std::string> names;
    for (const auto& [key, plugin] : registry.Plugins)
        names.push_back(plugin.Name);
    return names;
}

std::vector<std::string> PluginProcedureNames(const std::string& plugin)
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    const auto it = registry.Plugins.find(UpperText(plugin));
    if (it == registry.Plugins.end())
        throw EProcedureError(Wire::ErrGeneral, "Unknown plug-in: " + plugin);
    std::vector<std::string> names;
    for (const TPluginProcedure& p : it->second.Procedures)
        names.push_back(p.Name);
    return names;
}

void RegisterPluginProcedures(TProcedureTable& table)
{
    static std::once_flag demo;
    std::call_once(demo, RegisterDemoPlugin);
    table.Add("Nembra.PluginGetParams", PluginGetParams);
    table.Add("Nembra.PluginFetch", PluginFetch);
    table.Add("Nembra.PluginExecute", PluginExecute);
    table.Add("Nembra.PluginDataChanged", PluginDataChanged);
}
