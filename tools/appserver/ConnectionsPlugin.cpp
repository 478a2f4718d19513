// The system plug-in PLG_SYSTEM's run-time information, which the
// connections window and the user list read, and the two calls that end
// something:
// - RTIGetSessions (SERVER_ID, DB_ALIAS, STATE): a row per live session.
//   The user list reads STARTED, USER_IP and the agent by position (3, 6,
//   8), so the column order is part of the contract. DB_ALIAS is the last
//   alias other than SYSTEM the session opened. STATE 1 asks for the live
//   sessions, which are all this server holds; any other number finds none.
// - RTIGetLocks (SESSION_ID, DB_ALIAS): the lock table of SetLock and
//   ClearLock (MenuLockPlugin.cpp), locks of live sessions only.
// - RTIGetServers (STATE "Active", "Inactive" or "All"): this server's own
//   row; it keeps no inactive ones. Any other STATE is refused.
// - SysTerminateSession (SESSION_ID) and SysRemoveLock (SESSION_ID,
//   LOCK_PATH): for a "SYS" or "MGR" session only; an unknown session or
//   lock is refused. The ended session's client gets 1005 on its next call.
// A session id is enough to act as its user on every call that carries no
// request proof, so it is a secret of its session: SESSION_ID is answered to
// a system manager for every session, to a manager for the sessions on the
// data alias his own session opened (his connections window lists and ends
// those), and is NULL otherwise, every other column in its place. The lock
// list answers it to a system manager only. A manager ends, and removes the
// locks of, only the sessions he is given.
// A NULL parameter narrows nothing. The session and lock rows take the
// client's delete of a row (Nembra.PluginDataChanged) as done: the client
// removes the row after ending the session or lock itself.
#include "AppServer.h"
#include "PluginProcedures.h"
#include "Procedures.h"
#include "Sessions.h"
#include "TextCase.h"
#include "Wire.h"

#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

const TSqlValue& Value(const TPluginContext& context, const char* name)
{
    static const TSqlValue none;
    const TSqlParam* p = FindParam(context.Params, name);
    return p ? p->Value : none;
}

TSqlValue Text(const std::string& text)
{
    return text.empty() ? TSqlValue::Null() : TSqlValue::FromText(text);
}

std::string ServerName(TAppServer& server)
{
    return "appserver:" + std::to_string(server.Port());
}

std::string ComputerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}

// The caller's session as the store holds it now (with the alias it opened
// last), among copies of the live ones.
const TSession* Caller(const TPluginContext& context, const std::vector<TSession>& live)
{
    const std::shared_ptr<TSession>& session = context.Call.Session();
    const auto it = std::find_if(live.begin(), live.end(),
                                 [&](const TSession& s) { return session && s.Id == session->Id; });
    return it == live.end() ? nullptr : &*it;
}

// Whether the caller may learn (and end) the other session.
bool IsGiven(const TSession& caller, const TSession& other)
{
    if (caller.UserType == "SYS")
        return true;
    return caller.UserType == "MGR" && !caller.DataAlias.empty() &&
           SameNameText(caller.DataAlias, other.DataAlias);
}

// Only a system manager or a manager ends sessions and locks.
void RequireAdministrator(TPluginContext& context, const char* what)
{
    const TSession& session = context.Call.RequireSession();
    if (session.UserType != "SYS" && session.UserType != "MGR")
        throw Wire::EProcedureError(Wire::ErrGeneral,
                                    std::string("Only a system manager or a manager may ") + what + ".");
}

// A manager ends only the sessions he is given (and removes only their
// locks). Answers whether a session with that id is live.
bool RequireGiven(TPluginContext& context, const std::string& id, const char* refusal)
{
    const std::vector<TSession> live = context.Call.Server().Sessions().All();
    const TSession* caller = Caller(context, live);
    const auto other = std::find_if(live.begin(), live.end(), [&](const TSession& s) { return s.Id == id; });
    if (other == live.end())
        return false;
    if (!caller || !IsGiven(*caller, *other))
        throw Wire::EProcedureError(Wire::ErrGeneral, refusal);
    return true;
}

// A text parameter that must be given.
std::string Required(const TPluginContext& context, const char* name)
{
    const std::string text = Value(context, name).AsText();
    if (text.empty())
        throw Wire::EProcedureError(Wire::ErrMissingParameter,
                                    std::string("Parameter ") + name + " is missing.");
    return text;
}

void GetSessions(TPluginContext& context, TResultSet& rows)
{
    context.Call.RequireSession();
    TAppServer& server = context.Call.Server();
    const TSqlValue& serverId = Value(context, "SERVER_ID");
    const TSqlValue& alias = Value(context, "DB_ALIAS");
    const TSqlValue& state = Value(context, "STATE");
    bool none = !serverId.IsNull() && !SameNameText(serverId.AsText(), ServerName(server));
    if (!state.IsNull()) {
        int64_t wanted = 0;
        if (state.Type == TSqlValue::vtInteger)
            wanted = state.Int;
        else if (state.Type == TSqlValue::vtFloat)
            wanted = static_cast<int64_t>(state.Float);
        else {
            try {
                size_t end = 0;
                wanted = std::stoll(state.Text, &end);
                if (end != state.Text.size())
                    throw std::invalid_argument(state.Text);
            } catch (const std::exception&) {
                throw Wire::EProcedureError(Wire::ErrGeneral, "STATE is not a number: " + state.Text);
            }
        }
        none = none || wanted != 1;
    }
    using namespace FieldType;
    // USER_ID and DB_ALIAS as TBL_USERS and TBL_DBALIASES declare them; the
    // server listens on IPv4 only, so an address has at most 15 characters.
    rows.Fields = {{"SESSION_ID", String, 40}, {"USER_ID", String, 30},  {"USER_TYPE", String, 3},
                   {"STARTED", DateTime, 0},   {"DB_ALIAS", String, 20}, {"SERVER_ID", String, 60},
                   {"USER_IP", String, 15},    {"OS", String, 10},       {"USER_AGENT", String, 255}};
    if (none)
        return;
    std::vector<TSession> sessions = server.Sessions().All();
    // Copied before the sort moves the rows: an ended caller is given none.
    const TSession* found = Caller(context, sessions);
    const TSession caller = found ? *found : TSession{};
    std::sort(sessions.begin(), sessions.end(), [](const TSession& a, const TSession& b) {
        return a.Started != b.Started ? a.Started < b.Started : a.UserId < b.UserId;
    });
    for (const TSession& s : sessions) {
        if (!alias.IsNull() && !SameNameText(alias.AsText(), s.DataAlias))
            continue;
        const TSqlValue id =
            !caller.Id.empty() && IsGiven(caller, s) ? TSqlValue::FromText(s.Id) : TSqlValue::Null();
        rows.Rows.push_back({id, TSqlValue::FromText(s.UserId), Text(s.UserType),
                             TSqlValue::FromText(s.Started), Text(s.DataAlias),
                             TSqlValue::FromText(ServerName(server)), Text(s.RemoteAddr), Text(s.OS),
                             Text(s.Agent)});
    }
}

void GetLocks(TPluginContext& context, TResultSet& rows)
{
    const bool systemManager = context.Call.RequireSession().UserType == "SYS";
    TAppServer& server = context.Call.Server();
    const TSqlValue& sessionId = Value(context, "SESSION_ID");
    const TSqlValue& alias = Value(context, "DB_ALIAS");
    // Asking the store first ends expired sessions, and their locks with them.
    std::set<std::string> live;
    for (const TSession& s : server.Sessions().All())
        live.insert(s.Id);
    using namespace FieldType;
    rows.Fields = {{"LOCK_PATH", String, 255}, {"CREATED", DateTime, 0},     {"USER_ID", String, 30},
                   {"DB_ALIAS", String, 20},   {"DESCRIPTION", String, 255}, {"SESSION_ID", String, 40}};
    TDatabase& db = server.Database();
    auto lock = db.Lock();
    auto statement =
        db.Prepare("SELECT LOCK_PATH, CREATED, USER_ID, ALIAS, DESCRIPTION, SESSION_ID FROM SRV_LOCKS "
                   "ORDER BY CREATED, LOCK_PATH");
    auto text = [&](int c) { return statement->IsNull(c) ? TSqlValue::Null() : Text(statement->Text(c)); };
    while (statement->Step()) {
        const std::string holder = statement->Text(5);
        if (!live.count(holder))
            continue;
        if (!sessionId.IsNull() && sessionId.AsText() != holder)
            continue;
        if (!alias.IsNull() && !SameNameText(alias.AsText(), statement->Text(3)))
            continue;
        rows.Rows.push_back(
            {text(0), text(1), text(2), text(3), text(4), systemManager ? text(5) : TSqlValue::Null()});
    }
}

void GetServers(TPluginContext& context, TResultSet& rows)
{
    context.Call.RequireSession();
    TAppServer& server = context.Call.Server();
    const std::string state = Value(context, "STATE").AsText();
    if (state != "Active" && state != "Inactive" && state != "All")
        throw Wire::EProcedureError(
            Wire::ErrGeneral, "STATE must be \"Active\", \"Inactive\" or \"All\", not \"" + state + "\".");
    using namespace FieldType;
    rows.Fields = {{"SERVER_NAME", String, 60},     {"STARTED", DateTime, 0},
                   {"LAST_ACTIVE", DateTime, 0},    {"EXTERNAL_IP", String, 40},
                   {"EXTERNAL_HOST", String, 80},   {"PROTOCOL", String, 10},
                   {"URI_PATH", String, 80},        {"COMPUTER_NAME", String, 80},
                   {"ACTIVE_SESSIONS", Integer, 0}, {"STATE", String, 10}};
    // This server is the only one, and it is running.
    if (state == "Inactive")
        return;
    const int64_t sessions = static_cast<int64_t>(server.Sessions().All().size());
    rows.Rows.push_back({TSqlValue::FromText(ServerName(server)), TSqlValue::FromText(server.Started()),
                         TSqlValue::FromText(Wire::NowText()), TSqlValue::FromText("127.0.0.1"),
                         TSqlValue::FromText("localhost"), TSqlValue::FromText("http"),
                         TSqlValue::FromText("/bin/orvane.dll"), TSqlValue::FromText(ComputerName()),
                         TSqlValue::Integer(sessions), TSqlValue::FromText("Active")});
}

void TerminateSession(TPluginContext& context)
{
    RequireAdministrator(context, "end a session");
    const std::string id = Required(context, "SESSION_ID");
    if (!RequireGiven(context, id, "A manager may end only the sessions on the database he works in.") ||
        !context.Call.Server().Sessions().Remove(id))
        throw Wire::EProcedureError(Wire::ErrGeneral, "Session \"" + id + "\" does not exist.");
}

void RemoveLock(TPluginContext& context)
{
    RequireAdministrator(context, "remove a lock");
    const std::string id = Required(context, "SESSION_ID");
    const std::string path = Required(context, "LOCK_PATH");
    RequireGiven(context, id, "A manager may remove only the locks of sessions on the database he works in.");
    TDatabase& db = context.Call.Server().Database();
    auto lock = db.Lock();
    auto held = db.Prepare("SELECT 1 FROM SRV_LOCKS WHERE LOCK_PATH = ? AND SESSION_ID = ?");
    held->Bind(1, path).Bind(2, id);
    if (!held->Step())
        throw Wire::EProcedureError(Wire::ErrGeneral,
                                    "Session \"" + id + "\" holds no lock of \"" + path + "\".");
    auto statement = db.Prepare("DELETE FROM SRV_LOCKS WHERE LOCK_PATH = ? AND SESSION_ID = ?");
    statement->Bind(1, path).Bind(2, id);
    statement->Run();
}

// The client deletes a session's or lock's row after ending it.
int64_t RowRemoved(TPluginContext&, TPluginChange change, const TSqlParams&, const TSqlParams&)
{
    if (change != pcDelete)
        throw Wire::EProcedureError(Wire::ErrGeneral, "Run-time information cannot be added or changed.");
    return 1;
}

TSqlParam Declared(const char* name, int type)
{
    return DeclareParam(name, type, ParamType::Input);
}

} // namespace

void RegisterConnectionsPluginMethods()
{
    TPluginProcedure sessions;
    sessions.Name = "RTIGetSessions";
    sessions.Params = {Declared("SERVER_ID", FieldType::String), Declared("DB_ALIAS", FieldType::String),
                       Declared("STATE", FieldType::Integer)};
    sessions.Fetch = GetSessions;
    sessions.DataChanged = RowRemoved;
    TPluginProcedure locks;
    locks.Name = "RTIGetLocks";
    locks.Params = {Declared("SESSION_ID", FieldType::String), Declared("DB_ALIAS", FieldType::String)};
    locks.Fetch = GetLocks;
    locks.DataChanged = RowRemoved;
    TPluginProcedure servers;
    servers.Name = "RTIGetServers";
    servers.Params = {Declared("STATE", FieldType::String)};
    servers.Fetch = GetServers;
    TPluginProcedure terminate;
    terminate.Name = "SysTerminateSession";
    terminate.Params = {Declared("SESSION_ID", FieldType::String)};
    terminate.Execute = TerminateSession;
    TPluginProcedure removeLock;
    removeLock.Name = "SysRemoveLock";
    removeLock.Params = {Declared("SESSION_ID", FieldType::String), Declared("LOCK_PATH", FieldType::String)};
    removeLock.Execute = RemoveLock;
    for (TPluginProcedure* p : {&sessions, &locks, &servers, &terminate, &removeLock})
        RegisterPluginProcedure("PLG_SYSTEM", *p);
}
