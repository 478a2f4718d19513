// The row rules of the client rights (ClientRights.h): the views and
// triggers of a connection's temp schema that keep a user who is not a
// system manager to the rows of TBL_USERS, of the tables of roles and rights
// and of TBL_MAIL it may read and write. They are made when the connection
// opens, before the authorizer watches it; a database without those tables
// (an alias's data) gets none of them.
//
// Triggers refuse a whole statement when one of its rows is not the user's
// to write. Each WHEN below names what is allowed and fires when that is not
// true, so a NULL in a compared column refuses.
#include "ClientRights.h"

#include "ClientRowRules.h"
#include "TextCase.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

using RowRules::kRefusal;

// What a user may change in its own row of TBL_USERS: the password rules'
// columns and the personal details. Every other column, present or added
// later, is protected.
const char* const kOwnColumns[] = {"USER_PASSWORD",
                                   "PASSWORD_HISTORY",
                                   "LAST_PASSWORD_CHANGE",
                                   "FIRST_NAME",
                                   "LAST_NAME",
                                   "FULL_NAME",
                                   "EMAIL",
                                   "STATE",
                                   "ZIP",
                                   "ADSTATE",
                                   "ADZIP",
                                   "INDUSTRY",
                                   "ADVERTISE",
                                   "QUICK_MENU"};

void Exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string reason = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw std::runtime_error("Cannot set the rights of the connection: " + reason);
    }
}

std::string Quoted(const std::string& name)
{
    return "\"" + name + "\"";
}

std::vector<std::string> ColumnsOf(sqlite3* db, const char* table)
{
    std::vector<std::string> columns;
    sqlite3_stmt* info = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info(?1, 'main')", -1, &info, nullptr);
    sqlite3_bind_text(info, 1, table, -1, SQLITE_STATIC);
    while (info && sqlite3_step(info) == SQLITE_ROW)
        columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
    sqlite3_finalize(info);
    return columns;
}

bool OneOfOwnColumns(const std::string& column)
{
    return std::any_of(std::begin(kOwnColumns), std::end(kOwnColumns),
                       [&](const char* c) { return SameNameText(column, c); });
}

// A trigger of the temp schema that refuses the statement when `allowed` is
// not true for a row.
std::string Guard(const std::string& name, const std::string& when, const char* table,
                  const std::string& allowed)
{
    return "CREATE TEMP TRIGGER " + name + " " + when + " ON main." + table + " WHEN (" + allowed +
           ") IS NOT 1 BEGIN SELECT RAISE(ABORT, '" + kRefusal + "'); END";
}

} // namespace

bool TClientRights::HasTable(const char* table) const
{
    return !ColumnsOf(m_db, table).empty();
}

void TClientRights::InstallRowRules()
{
    // A REPLACE that removes a conflicting row then meets the delete rules.
    Exec(m_db, "PRAGMA recursive_triggers = ON");
    RegisterFunctions();
    if (HasTable("TBL_USERS")) {
        sqlite3_stmt* own = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT C_ENTERPRISE FROM main.TBL_USERS WHERE COUNTER = ?1", -1, &own,
                           nullptr);
        sqlite3_bind_int64(own, 1, m_user.Counter);
        if (own && sqlite3_step(own) == SQLITE_ROW && sqlite3_column_type(own, 0) == SQLITE_INTEGER)
            m_enterprise = sqlite3_column_int64(own, 0);
        sqlite3_finalize(own);
        ShadowUsers();
        if (m_user.IsManager())
            GuardManagedRows();
        else
            GuardOwnUserRow();
    }
    if (HasTable("TBL_MAIL"))
        ShadowMail();
}

std::string TClientRights::EnterpriseText() const
{
    return m_enterprise ? std::to_string(*m_enterprise) : std::string("NULL");
}

std::string TClientRights::ManagedUsers() const
{
    if (!m_user.IsManager())
        return "(" + std::to_string(m_user.Counter) + ")";
    return "(SELECT COUNTER FROM main.TBL_USERS WHERE COUNTER = " + std::to_string(m_user.Counter) +
           " OR (USER_TYPE <> 'SYS' AND C_ENTERPRISE = " + EnterpriseText() + "))";
}

void TClientRights::UserSecret(sqlite3_context* context, int64_t counter, int column)
{
    ++m_internal;
    sqlite3_reset(m_userRow);
    sqlite3_bind_int64(m_userRow, 1, counter);
    bool full = false;
    if (sqlite3_step(m_userRow) == SQLITE_ROW) {
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(m_userRow, 2));
        const bool sameEnterprise = m_enterprise && sqlite3_column_type(m_userRow, 3) == SQLITE_INTEGER &&
                                    sqlite3_column_int64(m_userRow, 3) == *m_enterprise;
        full = counter == m_user.Counter ||
               (m_user.IsManager() && sameEnterprise && !(type && std::string(type) == "SYS"));
    }
    if (full)
        sqlite3_result_value(context, sqlite3_column_value(m_userRow, column));
    else
        sqlite3_result_null(context);
    sqlite3_reset(m_userRow);
    --m_internal;
}

void TClientRights::RegisterFunctions()
{
    // Answers USER_PASSWORD (0) or PASSWORD_HISTORY (1) of the row with the
    // counter when the user reads that row in full, else NULL; it looks the
    // row up itself, so a client that calls it learns nothing more.
    sqlite3_create_function_v2(
        m_db, "SRV_USER_SECRET", 2, SQLITE_UTF8, this,
        [](sqlite3_context* context, int, sqlite3_value** args) {
            auto* self = static_cast<TClientRights*>(sqlite3_user_data(context));
            if (sqlite3_value_type(args[0]) != SQLITE_INTEGER || !self->m_userRow) {
                sqlite3_result_null(context);
                return;
            }
            self->UserSecret(context, sqlite3_value_int64(args[0]), sqlite3_value_int(args[1]) == 1 ? 1 : 0);
        },
        nullptr, nullptr, nullptr);
    // Counts a row written through a view of the rules.
    sqlite3_create_function_v2(
        m_db, "SRV_VIEW_ROW", 0, SQLITE_UTF8, this,
        [](sqlite3_context* context, int, sqlite3_value**) {
            ++static_cast<TClientRights*>(sqlite3_user_data(context))->m_viewRows;
            sqlite3_result_null(context);
        },
        nullptr, nullptr, nullptr);
}

void TClientRights::ShadowUsers()
{
    const std::vector<std::string> columns = ColumnsOf(m_db, "TBL_USERS");
    if (sqlite3_prepare_v2(
            m_db,
            "SELECT USER_PASSWORD, PASSWORD_HISTORY, USER_TYPE, C_ENTERPRISE FROM main.TBL_USERS "
            "WHERE COUNTER = ?1",
            -1, &m_userRow, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("Cannot set the rights of the connection: ") +
                                 sqlite3_errmsg(m_db));
    std::string view = "CREATE TEMP VIEW TBL_USERS AS SELECT ";
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& c = columns[i];
        if (i > 0)
            view += ", ";
        if (SameNameText(c, "USER_PASSWORD"))
            view += "SRV_USER_SECRET(COUNTER, 0) AS " + Quoted(c);
        else if (SameNameText(c, "PASSWORD_HISTORY"))
            view += "SRV_USER_SECRET(COUNTER, 1) AS " + Quoted(c);
        else
            view += Quoted(c);
    }
    view += " FROM main.TBL_USERS";
    Exec(m_db, view);
    m_shadowsUsers = true;
}

void TClientRights::GuardOwnUserRow()
{
    std::string unchanged = "OLD.COUNTER = " + std::to_string(m_user.Counter);
    for (const std::string& c : ColumnsOf(m_db, "TBL_USERS"))
        if (!OneOfOwnColumns(c))
            unchanged += " AND NEW." + Quoted(c) + " IS OLD." + Quoted(c);
    Exec(m_db, Guard("SRV_USERS_OWN_ROW", "BEFORE UPDATE", "TBL_USERS", unchanged));
}

void TClientRights::GuardManagedRows()
{
    const std::string me = std::to_string(m_user.Counter);
    const std::string enterprise = EnterpriseText();
    const std::string managed = ManagedUsers();
    // A row stays a managed user's: never of another type than the
    // manager's own choices, never of another enterprise.
    const std::string managedOld =
        "(OLD.COUNTER = " + me + " OR (OLD.USER_TYPE <> 'SYS' AND OLD.C_ENTERPRISE = " + enterprise + "))";
    const std::string keptNew = "(NEW.USER_TYPE IN ('USR', 'MGR') AND NEW.C_ENTERPRISE = " + enterprise + ")";
    Exec(m_db, Guard("SRV_USERS_INSERT", "BEFORE INSERT", "TBL_USERS", keptNew));
    Exec(m_db, Guard("SRV_USERS_UPDATE", "BEFORE UPDATE", "TBL_USERS", managedOld + " AND " + keptNew));
    Exec(m_db, Guard("SRV_USERS_DELETE", "BEFORE DELETE", "TBL_USERS", managedOld));

    // Access rows are a managed user's, with a role or facility of the
    // enterprise; base roles belong to the reserved account (C_USER 1),
    // override roles to the user they were made for.
    const std::string roles = "(SELECT COUNTER FROM main.TBL_ROLES WHERE C_ENTERPRISE = " + enterprise + ")";
    const auto userRow = [&](const char* row) { return std::string(row) + ".C_USER IN " + managed; };
    const auto roleRow = [&](const char* row) {
        const std::string r = row;
        return "(" + r + ".C_ENTERPRISE = " + enterprise + " AND (" + r + ".C_USER IS NULL OR " + r +
               ".C_USER = 1 OR " + r + ".C_USER IN " + managed + "))";
    };
    struct TRule
    {
        const char* Table;
        std::string Old; // a row changed or deleted
        std::string New; // a row written
    };
    const TRule rules[] = {
        {"TBL_USERDBACCESS", userRow("OLD"), userRow("NEW") + " AND NEW.C_ROLE IN " + roles},
        {"TBL_USERFACILITYACCESS", userRow("OLD"),
         userRow("NEW") +
             " AND NEW.C_FACILITY IN (SELECT COUNTER FROM main.TBL_FACILITIES WHERE C_ENTERPRISE = " +
             enterprise + ")"},
        {"TBL_ROLES", roleRow("OLD"),
         roleRow("NEW") +
             " AND (NEW.C_ALIAS IS NULL OR NEW.C_ALIAS IN (SELECT COUNTER FROM main.TBL_DBALIASES " +
             "WHERE C_ENTERPRISE = " + enterprise + "))"},
        {"TBL_ROLEMODULES", "OLD.C_ROLE IN " + roles, "NEW.C_ROLE IN " + roles},
    };
    for (const TRule& r : rules) {
        if (!HasTable(r.Table))
            continue;
        const std::string prefix = std::string("SRV_") + r.Table + "_";
        Exec(m_db, Guard(prefix + "INSERT", "BEFORE INSERT", r.Table, r.New));
        Exec(m_db, Guard(prefix + "UPDATE", "BEFORE UPDATE", r.Table, r.Old + " AND " + r.New));
        Exec(m_db, Guard(prefix + "DELETE", "BEFORE DELETE", r.Table, r.Old));
    }
}

void TClientRights::ShadowMail()
{
    using namespace RowRules;
    const std::vector<std::string> columns = ColumnsOf(m_db, "TBL_MAIL");
    const std::string me = std::to_string(m_user.Counter);
    std::string list;
    std::string unchanged = "0";
    for (const std::string& c : columns) {
        list += (list.empty() ? "" : ", ") + Quoted(c);
        if (!SameNameText(c, "HAS_BEEN_READ"))
            unchanged += " OR NEW." + Quoted(c) + " IS NOT OLD." + Quoted(c);
    }
    // Seen: addressed to the user or to the board (C_USER_TO 1), or sent by
    // it. Deletable: addressed to or sent by the user (a board row by its
    // sender only); for a manager also the mail of the users he manages,
    // which goes with them.
    const std::string managed = ManagedUsers();
    Exec(m_db, std::string("CREATE TEMP VIEW ") + kMailVisible + " AS SELECT " + list +
                   " FROM main.TBL_MAIL WHERE C_USER_TO IN (1, " + me + ") OR C_USER_FROM = " + me);
    Exec(m_db, std::string("CREATE TEMP VIEW ") + kMailDeletable + " AS SELECT " + list +
                   " FROM main.TBL_MAIL WHERE C_USER_TO IN " + managed + " OR C_USER_FROM IN " + managed);
    // Unqualified names in temp triggers find the table: no temp object
    // bears its name.
    Exec(m_db, std::string("CREATE TEMP TRIGGER ") + kMailMarkRead + " INSTEAD OF UPDATE ON " + kMailVisible +
                   " BEGIN SELECT RAISE(ABORT, '" + kRefusal + "') WHERE " + unchanged +
                   "; UPDATE TBL_MAIL SET HAS_BEEN_READ = NEW.HAS_BEEN_READ WHERE COUNTER = OLD.COUNTER; "
                   "SELECT SRV_VIEW_ROW(); END");
    Exec(m_db, std::string("CREATE TEMP TRIGGER ") + kMailDelete + " INSTEAD OF DELETE ON " + kMailDeletable +
                   " BEGIN DELETE FROM TBL_MAIL WHERE COUNTER = OLD.COUNTER; SELECT SRV_VIEW_ROW(); END");
    m_shadowsMail = true;
}
