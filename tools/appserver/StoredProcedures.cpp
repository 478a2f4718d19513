// Stored procedures: their parameters, their result sets page by page, and
// running them; with the demo procedures of the data databases.
#include "StoredProcedures.h"
#include "TextCase.h"

#include "AppServer.h"
#include "DatabaseProcedures.h"
#include "SqlDialect.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace {


struct TRegistry
{
    std::mutex Lock;
    std::map<std::string, TStoredProcedure> Procedures; // upper-case names
};

TRegistry& Registry()
{
    static TRegistry registry;
    return registry;
}


// --- Demo procedures of the data databases

// C_FACILITY in; the facility's residents, and RESIDENT_COUNT out.
void FacilityResidents(TDataConnection& db, TSqlParams& params, TResultSet* rows)
{
    TResultSet local;
    TResultSet& result = rows ? *rows : local;
    db.Execute("SELECT COUNTER, RESIDENT_NAME, ROOM, ADMISSION_DATE, NOTES FROM TBL_RESIDENT "
               "WHERE C_FACILITY = :C_FACILITY AND CURRENT_USE = 'T' ORDER BY RESIDENT_NAME",
               params, &result);
    FindParam(params, "RESIDENT_COUNT")->Value = TSqlValue::Integer(static_cast<int64_t>(result.Rows.size()));
}

// C_FACILITY and ROOM_PREFIX in (NULL: every room); the facility's residents
// by room. Only inputs, so the explorer's console opens it for its rows.
void FacilityRoster(TDataConnection& db, TSqlParams& params, TResultSet* rows)
{
    TResultSet local;
    db.Execute("SELECT ROOM, RESIDENT_NAME, ADMISSION_DATE FROM TBL_RESIDENT "
               "WHERE C_FACILITY = :C_FACILITY AND CURRENT_USE = 'T' "
               "AND (:ROOM_PREFIX IS NULL OR ROOM LIKE :ROOM_PREFIX || '%') ORDER BY ROOM, RESIDENT_NAME",
               params, rows ? rows : &local);
}

// TABLE_NAME in; COUNTER out: the next number of the table's sequence.
void NextCounter(TDataConnection& db, TSqlParams& params, TResultSet*)
{
    TResultSet result;
    db.Execute("SELECT OVN_AUTOCOUNTER(:TABLE_NAME) AS COUNTER FROM DUAL", params, &result);
    FindParam(params, "COUNTER")->Value = result.Rows.at(0).at(0);
}

// C_RESIDENT in, AMOUNT in/out: adds AMOUNT to the resident's balance and
// answers the new balance; an unknown resident is the procedure's error.
void ChargeResident(TDataConnection& db, TSqlParams& params, TResultSet*)
{
    const int64_t changed =
        db.Execute("UPDATE TBL_RESIDENT SET BALANCE = NVL(BALANCE, 0) + NVL(:AMOUNT, 0) WHERE COUNTER = :C_RESIDENT",
                   params);
    if (changed == 0)
        throw EOracleError("ORA-20001: Resident " + FindParam(params, "C_RESIDENT")->Value.AsText() +
                           " does not exist.$END$\nORA-06512: at \"CHARGE_RESIDENT\", line 7");
    TResultSet result;
    db.Execute("SELECT BALANCE FROM TBL_RESIDENT WHERE COUNTER = :C_RESIDENT", params, &result);
    FindParam(params, "AMOUNT")->Value = result.Rows.at(0).at(0);
}

void RegisterDemoProcedures()
{
    RegisterStoredProcedure({"FACILITY_RESIDENTS",
                             {DeclareParam("C_FACILITY", FieldType::Integer, ParamType::Input),
                              DeclareParam("RESIDENT_COUNT", FieldType::Integer, ParamType::Output)},
                             FacilityResidents});
    RegisterStoredProcedure({"NEXT_COUNTER",
                             {DeclareParam("TABLE_NAME", FieldType::String, ParamType::Input),
                              DeclareParam("COUNTER", FieldType::Integer, ParamType::Output)},
                             NextCounter});
    RegisterStoredProcedure({"CHARGE_RESIDENT",
                             {DeclareParam("C_RESIDENT", FieldType::Integer, ParamType::Input),
                              DeclareParam("AMOUNT", FieldType::Float, ParamType::InputOutput)},
                             ChargeResident});
    RegisterStoredProcedure({"FACILITY_ROSTER",
                             {DeclareParam("C_FACILITY", FieldType::Integer, ParamType::Input),
                              DeclareParam("ROOM_PREFIX", FieldType::String, ParamType::Input)},
                             FacilityRoster});
}

// --- Handlers

// DBHandle, StoredProcName. Answers Params: the declared parameters.
void StoredProcGetParams(TCall& call)
{
    RequireDatabase(call);
    const TStoredProcedure& procedure = FindStoredProcedure(call.RequiredParam("StoredProcName"));
    call.Json().Key("Params");
    WriteParams(call.Json(), procedure.Params);
}

// DBHandle, StoredProcName, Params (first page) or Handle (later pages),
// FetchCount, FetchBlobs. A fetch reply; its "Params" holds the outputs.
void StoredProcFetch(TCall& call)
{
    TSession& session = call.RequireSession();
    TServerDatabases& dbs = call.Server().Databases();
    const std::string handle = call.Param("Handle");
    std::shared_ptr<TServerCursor> cursor;
    if (handle.empty()) {
        const auto db = RequireDatabase(call);
        const TStoredProcedure& procedure = FindStoredProcedure(call.RequiredParam("StoredProcName"));
        TSqlParams params = BindDeclaredParams(procedure.Params, ParseParams(call.Param("Params")));
        TResultSet result;
        {
            auto lock = db->Lock();
            procedure.Run(*db, params, &result);
        }
        cursor = dbs.AddCursor(session.Id, db->Handle(), std::move(result), std::move(params));
    } else {
        cursor = dbs.FindCursor(handle, session.Id);
    }
    WriteFetchReply(call, cursor, FetchCountOf(call), handle.empty(), std::nullopt,
                    !IsFalseParam(call, "FetchBlobs"));
}

// DBHandle, StoredProcName, Params, KeepPrepared. Answers RowsAffected and
// Params with the output values.
void StoredProcExecute(TCall& call)
{
    const auto db = RequireDatabase(call);
    const TStoredProcedure& procedure = FindStoredProcedure(call.RequiredParam("StoredProcName"));
    TSqlParams params = BindDeclaredParams(procedure.Params, ParseParams(call.Param("Params")));
    {
        auto lock = db->Lock();
        procedure.Run(*db, params, nullptr);
    }
    TJsonWriter& json = call.Json();
    json.Key("RowsAffected");
    json.Int(0);
    json.Key("Params");
    WriteParams(json, params);
}

} // namespace

void RegisterStoredProcedure(TStoredProcedure procedure)
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    const std::string key = UpperText(procedure.Name);
    registry.Procedures[key] = std::move(procedure);
}

const TStoredProcedure& FindStoredProcedure(const std::string& name)
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    const auto it = registry.Procedures.find(UpperText(name));
    if (it == registry.Procedures.end())
        throw EOracleError("ORA-06550: line 1, column 7:\nPLS-00201: identifier '" + UpperText(name) +
                           "' must be declared");
    return it->second;
}

std::vector<std::string> StoredProcedureNames()
{
    TRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.Lock);
    std::vector<std::string> names;
    for (const auto& [key, procedure] : registry.Procedures)
        names.push_back(procedure.Name);
    return names;
}

TSqlParams BindDeclaredParams(const TSqlParams& declared, const TSqlParams& sent)
{
    TSqlParams params = declared;
    for (TSqlParam& p : params) {
        const TSqlParam* value = FindParam(sent, p.Name);
        if (value && p.ParamType != ParamType::Output && p.ParamType != ParamType::Result)
            p.Value = value->Value;
    }
    return params;
}

void RegisterStoredProcedures(TProcedureTable& table)
{
    static std::once_flag demo;
    std::call_once(demo, RegisterDemoProcedures);
    table.Add("Nembra.StoredProcGetParams", StoredProcGetParams);
    table.Add("Nembra.StoredProcFetch", StoredProcFetch);
    table.Add("Nembra.StoredProcExecute", StoredProcExecute);
}
