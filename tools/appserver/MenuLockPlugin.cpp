// The system plug-in PLG_SYSTEM's locks and menu rows:
// - SetLock (Lock_Path, Description): the session takes the path; a path
//   that another live session holds is refused ("Path ... is locked by
//   ..."); a lock of an ended session is taken over. The lock keeps when
//   it was taken, the user, the alias (the path's first part), the
//   description and the session (SRV_LOCKS, sql/locks.sql).
// - ClearLock (Lock_Path): gives back the session's own lock of the path.
// - GetMenu (C_Module, -1 for every module): the menu rows of TBL_MENU in
//   module and sequence order with the columns the client reads, "C_Module"
//   and "Module" both the module's counter, "File_Name" and
//   "Icon_File_Name" the files for the session's platform (as
//   GetResourceFileName picks them from TBL_BIN).
#include "AppServer.h"
#include "PluginProcedures.h"
#include "Sessions.h"

#include <ctime>

namespace {

const TSqlValue& Value(const TPluginContext& context, const char* name)
{
    static const TSqlValue none;
    const TSqlParam* p = FindParam(context.Params, name);
    return p ? p->Value : none;
}

std::string LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The session store keeps the live sessions in SRV_SESSIONS; the caller
// holds the database lock.
bool SessionLive(TDatabase& db, const std::string& id)
{
    auto session = db.Prepare("SELECT 1 FROM SRV_SESSIONS WHERE SESSION_ID = ?");
    session->Bind(1, id);
    return session->Step();
}

void SetLock(TPluginContext& context)
{
    TSession& session = context.Call.RequireSession();
    const std::string path = Value(context, "Lock_Path").AsText();
    if (path.empty())
        throw Wire::EProcedureError(Wire::ErrMissingParameter, "Parameter Lock_Path is missing.");
    TDatabase& db = context.Call.Server().Database();
    std::string holderId, holderSession;
    bool live = false;
    {
        auto lock = db.Lock();
        auto holder = db.Prepare("SELECT USER_ID, SESSION_ID FROM SRV_LOCKS WHERE LOCK_PATH = ?");
        holder->Bind(1, path);
        if (holder->Step()) {
            holderId = holder->Text(0);
            holderSession = holder->Text(1);
        }
        live = !holderSession.empty() && SessionLive(db, holderSession);
    }
    if (live && holderSession != session.Id)
        throw Wire::EProcedureError(Wire::ErrGeneral, "Path \"" + path + "\" is locked by " + holderId + ".");
    const size_t aliasEnd = path.find('/', 1);
    const std::string alias = path.substr(1, aliasEnd == std::string::npos ? std::string::npos : aliasEnd - 1);
    auto lock = db.Lock();
    auto statement = db.Prepare("INSERT OR REPLACE INTO SRV_LOCKS (LOCK_PATH, CREATED, C_USER, USER_ID, ALIAS, "
                                "DESCRIPTION, SESSION_ID) VALUES (?, ?, ?, ?, ?, ?, ?)");
    statement->Bind(1, path).Bind(2, LocalNow());
    statement->Bind(3, session.UserCounter);
    statement->Bind(4, session.UserId).Bind(5, alias).Bind(6, Value(context, "Description").AsText());
    statement->Bind(7, session.Id);
    statement->Run();
}

void ClearLock(TPluginContext& context)
{
    TSession& session = context.Call.RequireSession();
    TDatabase& db = context.Call.Server().Database();
    auto lock = db.Lock();
    auto statement = db.Prepare("DELETE FROM SRV_LOCKS WHERE LOCK_PATH = ? AND SESSION_ID = ?");
    statement->Bind(1, Value(context, "Lock_Path").AsText()).Bind(2, session.Id);
    statement->Run();
}

constexpr const char* kFileFor = "COALESCE((SELECT B.FILE_NAME FROM TBL_BIN B WHERE B.C_RESOURCE = %s.COUNTER "
                                 "AND UPPER(B.OS) = UPPER(?) AND B.FILE_NAME IS NOT NULL ORDER BY B.COUNTER "
                                 "LIMIT 1), %s.FILE_NAME)";

std::string FileFor(const char* table)
{
    char text[512];
    std::snprintf(text, sizeof text, kFileFor, table, table);
    return text;
}

void GetMenu(TPluginContext& context, TResultSet& rows)
{
    const TSession& session = context.Call.RequireSession();
    const TSqlValue& module = Value(context, "C_Module");
    const int64_t counter = module.Type == TSqlValue::vtInteger ? module.Int
                            : module.Type == TSqlValue::vtFloat  ? static_cast<int64_t>(module.Float)
                            : module.IsNull()                    ? -1
                                                                 : std::stoll(module.AsText());
    TDatabase& db = context.Call.Server().Database();
    auto lock = db.Lock();
    auto statement = db.Prepare(
        "SELECT M.COUNTER, M.C_MODULE, M.C_RESOURCE IS NOT NULL, M.MENU_LEVEL, M.DESCRIPTION, I.RESOURCE_NAME, "
        "I.VERSION, R.RESOURCE_NAME, R.VERSION, R.SECURITY_INDEX, M.SHORTCUT, " +
        FileFor("R") + ", " + FileFor("I") +
        " FROM TBL_MENU M LEFT JOIN TBL_RESOURCES R ON R.COUNTER = M.C_RESOURCE "
        "LEFT JOIN TBL_RESOURCES I ON I.COUNTER = M.C_ICON_RESOURCE "
        "WHERE ? = -1 OR M.C_MODULE = ? ORDER BY M.C_MODULE, M.SEQUENCE, M.COUNTER");
    statement->Bind(1, session.OS).Bind(2, session.OS).Bind(3, counter).Bind(4, counter);
    using namespace FieldType;
    rows.Fields = {{"Index", Integer, 0},          {"C_Module", Integer, 0},     {"Module", Integer, 0},
                   {"Executable", Boolean, 0},     {"Level", Integer, 0},        {"Description", String, 80},
                   {"Icon_Resource", String, 60},  {"Icon_Version", Integer, 0}, {"Resource", String, 60},
                   {"Version", Integer, 0},        {"Security_Index", Integer, 0}, {"Shortcut", String, 20},
                   {"Log_Access", Boolean, 0},     {"File_Name", String, 120},   {"Icon_File_Name", String, 120}};
    auto integer = [&](int c) { return statement->IsNull(c) ? TSqlValue::Null() : TSqlValue::Integer(statement->Int(c)); };
    auto text = [&](int c) { return statement->IsNull(c) ? TSqlValue::Null() : TSqlValue::FromText(statement->Text(c)); };
    while (statement->Step()) {
        const bool executable = statement->Int(2) != 0;
        rows.Rows.push_back({integer(0), integer(1), integer(1), TSqlValue::FromText(executable ? "True" : "False"),
                             integer(3), text(4), text(5), integer(6), text(7), integer(8), integer(9), text(10),
                             TSqlValue::FromText("False"), text(11), text(12)});
    }
}

TSqlParam Declared(const char* name, int type)
{
    return DeclareParam(name, type, ParamType::Input);
}

} // namespace

void RegisterMenuLockPluginMethods()
{
    TPluginProcedure setLock;
    setLock.Name = "SetLock";
    setLock.Params = {Declared("Lock_Path", FieldType::String), Declared("Description", FieldType::String)};
    setLock.Execute = SetLock;
    TPluginProcedure clearLock;
    clearLock.Name = "ClearLock";
    clearLock.Params = {Declared("Lock_Path", FieldType::String)};
    clearLock.Execute = ClearLock;
    TPluginProcedure menu;
    menu.Name = "GetMenu";
    menu.Params = {Declared("C_Module", FieldType::Integer)};
    menu.Fetch = GetMenu;
    RegisterPluginProcedure("PLG_SYSTEM", setLock);
    RegisterPluginProcedure("PLG_SYSTEM", clearLock);
    RegisterPluginProcedure("PLG_SYSTEM", menu);
}
