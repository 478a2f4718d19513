#include "ClientRights.h"

#include "SqlDialect.h"
#include "TextCase.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

const char* const kRefusal = "ORA-01031: insufficient privileges";

// What a user may change in its own row of TBL_USERS: the password rules'
// columns and the personal details. Every other column, present or added
// later, is protected.
const char* const kOwnColumns[] = {"USER_PASSWORD", "PASSWORD_HISTORY", "LAST_PASSWORD_CHANGE",
                                   "FIRST_NAME",    "LAST_NAME",        "FULL_NAME",
                                   "EMAIL",         "STATE",            "ZIP",
                                   "ADSTATE",       "ADZIP",            "INDUSTRY",
                                   "ADVERTISE",     "QUICK_MENU"};
// The columns read only in the own row; their order is that of the
// function's second argument.
const char* const kSecretColumns[] = {"USER_PASSWORD", "PASSWORD_HISTORY"};
const char* const kRightTables[] = {"TBL_ROLES", "TBL_USERDBACCESS", "TBL_USERFACILITYACCESS", "TBL_ROLEMODULES"};

// Pragmas that read the catalogue by the name they are given.
const char* const kCataloguePragmas[] = {"TABLE_INFO",       "TABLE_XINFO",       "INDEX_LIST",
                                         "INDEX_INFO",       "INDEX_XINFO",       "FOREIGN_KEY_LIST",
                                         "FOREIGN_KEY_CHECK", "INTEGRITY_CHECK", "QUICK_CHECK"};
// Pragmas that act even without a value.
const char* const kActingPragmas[] = {"OPTIMIZE", "SHRINK_MEMORY", "WAL_CHECKPOINT", "INCREMENTAL_VACUUM"};

template <size_t N>
bool OneOf(const char* name, const char* const (&list)[N])
{
    return name && std::any_of(std::begin(list), std::end(list), [&](const char* n) { return SameNameText(name, n); });
}

bool Same(const char* name, const char* other)
{
    return name && SameNameText(name, other);
}

bool IsServerTable(const char* table)
{
    return table && UpperText(table).rfind("SRV_", 0) == 0;
}

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

} // namespace

TClientRights::TClientRights(sqlite3* db, TSqlUser user) : m_db(db), m_user(std::move(user))
{
    if (!m_user.IsAdministrator())
        ShadowUsers();
    sqlite3_set_authorizer(m_db, &TClientRights::Authorize, this);
}

TClientRights::~TClientRights()
{
    sqlite3_set_authorizer(m_db, nullptr, nullptr);
    sqlite3_finalize(m_ownRow);
}

void TClientRights::ShadowUsers()
{
    std::vector<std::string> columns;
    {
        sqlite3_stmt* info = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT name FROM pragma_table_info('TBL_USERS', 'main')", -1, &info, nullptr);
        while (info && sqlite3_step(info) == SQLITE_ROW)
            columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
        sqlite3_finalize(info);
    }
    if (columns.empty())
        return; // a database without users
    if (sqlite3_prepare_v2(m_db, "SELECT USER_PASSWORD, PASSWORD_HISTORY FROM main.TBL_USERS WHERE COUNTER = ?1", -1,
                           &m_ownRow, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("Cannot set the rights of the connection: ") + sqlite3_errmsg(m_db));
    sqlite3_create_function_v2(
        m_db, "SRV_OWN_USER_VALUE", 2, SQLITE_UTF8, this,
        [](sqlite3_context* context, int, sqlite3_value** args) {
            auto* self = static_cast<TClientRights*>(sqlite3_user_data(context));
            if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_int64(args[0]) != self->m_user.Counter) {
                sqlite3_result_null(context);
                return;
            }
            const int column = sqlite3_value_int(args[1]) == 1 ? 1 : 0;
            ++self->m_internal;
            sqlite3_reset(self->m_ownRow);
            sqlite3_bind_int64(self->m_ownRow, 1, self->m_user.Counter);
            if (sqlite3_step(self->m_ownRow) == SQLITE_ROW)
                sqlite3_result_value(context, sqlite3_column_value(self->m_ownRow, column));
            else
                sqlite3_result_null(context);
            sqlite3_reset(self->m_ownRow);
            --self->m_internal;
        },
        nullptr, nullptr, nullptr);

    std::string view = "CREATE TEMP VIEW TBL_USERS AS SELECT ";
    std::string changed;
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& c = columns[i];
        if (i > 0)
            view += ", ";
        if (SameNameText(c, kSecretColumns[0]) || SameNameText(c, kSecretColumns[1]))
            view += "SRV_OWN_USER_VALUE(COUNTER, " + std::string(SameNameText(c, kSecretColumns[0]) ? "0" : "1") +
                    ") AS " + Quoted(c);
        else
            view += Quoted(c);
        if (!OneOf(c.c_str(), kOwnColumns))
            changed += " OR NEW." + Quoted(c) + " IS NOT OLD." + Quoted(c);
    }
    view += " FROM main.TBL_USERS";
    Exec(m_db, view);
    Exec(m_db, "CREATE TEMP TRIGGER SRV_USERS_OWN_ROW BEFORE UPDATE ON main.TBL_USERS WHEN OLD.COUNTER IS NOT " +
                   std::to_string(m_user.Counter) + changed + " BEGIN SELECT RAISE(ABORT, '" + kRefusal +
                   "'); END");
    m_shadowsUsers = true;
}

std::string TClientRights::PrepareStatement(const std::string& sql) const
{
    if (!m_shadowsUsers)
        return sql;
    std::string trailing;
    std::vector<TSqlToken> tokens = TokenizeSql(sql, &trailing);
    const auto isWord = [&](size_t at, const char* word) {
        return at < tokens.size() && tokens[at].Kind == TSqlToken::tkWord && SameNameText(tokens[at].Text, word);
    };
    size_t i = 0;
    if (isWord(0, "UPDATE")) {
        i = isWord(1, "OR") ? 3 : 1; // UPDATE OR <conflict rule>
    } else if (isWord(0, "DELETE") && isWord(1, "FROM")) {
        i = 2;
    } else {
        return sql;
    }
    if (i >= tokens.size() || (tokens[i].Kind != TSqlToken::tkWord && tokens[i].Kind != TSqlToken::tkQuotedName))
        return sql;
    if (i + 1 < tokens.size() && tokens[i + 1].Kind == TSqlToken::tkDot)
        return sql; // already names its database
    const std::string& name = tokens[i].Text;
    const std::string bare = tokens[i].Kind == TSqlToken::tkQuotedName ? name.substr(1, name.size() - 2) : name;
    if (!SameNameText(bare, "TBL_USERS"))
        return sql;
    // The table itself, under the trigger that keeps the user to its own row
    // (and the authorizer, which refuses a delete).
    tokens[i].Text = "main." + name;
    return JoinSql(tokens) + trailing;
}

std::string TClientRights::TakeRefusal()
{
    std::string refusal;
    refusal.swap(m_refusal);
    return refusal;
}

int TClientRights::Authorize(void* self, int action, const char* a, const char* b, const char* database,
                             const char*)
{
    return static_cast<TClientRights*>(self)->Check(action, a, b, database);
}

int TClientRights::Refuse()
{
    m_refusal = kRefusal;
    return SQLITE_DENY;
}

int TClientRights::Check(int action, const char* a, const char* b, const char* database)
{
    if (m_internal > 0)
        return SQLITE_OK;
    switch (action) {
    case SQLITE_ATTACH: // VACUUM too
    case SQLITE_DETACH:
        return Refuse();
    case SQLITE_PRAGMA:
        if (b ? !OneOf(a, kCataloguePragmas) : OneOf(a, kActingPragmas))
            return Refuse();
        return SQLITE_OK;
    case SQLITE_FUNCTION:
        if (Same(b, "load_extension") || Same(b, "fts3_tokenizer"))
            return Refuse();
        return SQLITE_OK;
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        if (IsServerTable(a))
            return Refuse();
        break;
    default:
        break;
    }
    if (m_user.IsAdministrator())
        return SQLITE_OK;
    switch (action) {
    case SQLITE_READ:
        if (Same(a, "TBL_USERS") && Same(database, "main") && OneOf(b, kSecretColumns))
            return SQLITE_IGNORE; // reads as NULL
        return SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_DELETE:
        if (Same(a, "TBL_USERS") || OneOf(a, kRightTables))
            return Refuse();
        return SQLITE_OK;
    case SQLITE_UPDATE:
        if (OneOf(a, kRightTables))
            return Refuse();
        return SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
    case SQLITE_RECURSIVE:
    case SQLITE_FUNCTION:
    case SQLITE_PRAGMA:
        return SQLITE_OK;
    default:
        // Tables, views, indexes and triggers: made, altered and dropped by administrators only.
        return Refuse();
    }
}
