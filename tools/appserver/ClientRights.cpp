#include "ClientRights.h"

#include "ClientRowRules.h"
#include "SqlDialect.h"
#include "SqlFunctions.h"
#include "TextCase.h"

#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace {

using RowRules::kMailDeletable;
using RowRules::kMailVisible;
using RowRules::kRefusal;

// The columns read only in the rows a user reads in full.
const char* const kSecretColumns[] = {"USER_PASSWORD", "PASSWORD_HISTORY"};
const char* const kRightTables[] = {"TBL_ROLES", "TBL_USERDBACCESS", "TBL_USERFACILITYACCESS", "TBL_ROLEMODULES"};
// What only a system manager changes: the enterprises with their aliases
// and facilities, the modules and menus every client is given, the
// resources and the library file each client loads for one (TBL_BIN), and
// the server's record of sign-ins and updates.
const char* const kAdministratorsTables[] = {"TBL_ENTERPRISES", "TBL_DBALIASES",   "TBL_FACILITIES",
                                             "TBL_MODULES",     "TBL_MENU",        "TBL_RESOURCES",
                                             "TBL_BIN",         "TBL_CONNECTIONS", "TBL_UPDATES"};

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

// The name a token gives a table, also in quotes: SQLite takes a string
// literal for a name where only a name may stand ("FROM 'TBL_MAIL'").
std::string NameOf(const TSqlToken& t)
{
    switch (t.Kind) {
    case TSqlToken::tkWord:
        return t.Text;
    case TSqlToken::tkQuotedName:
    case TSqlToken::tkString: {
        const char quote = t.Text.front();
        std::string name;
        for (size_t i = 1; i + 1 < t.Text.size(); ++i) {
            name += t.Text[i];
            if (t.Text[i] == quote)
                ++i; // a doubled quote stands for one
        }
        return name;
    }
    default:
        return {};
    }
}

bool IsWord(const std::vector<TSqlToken>& tokens, size_t at, const char* word)
{
    return at < tokens.size() && tokens[at].Kind == TSqlToken::tkWord && SameNameText(tokens[at].Text, word);
}

enum TDmlKind
{
    dkNone,
    dkInsert,
    dkUpdate,
    dkDelete
};

struct TDmlTarget
{
    TDmlKind Kind = dkNone;
    size_t Index = 0; // the token naming the written table
};

// The table an INSERT, UPDATE or DELETE writes.
TDmlTarget FindDmlTarget(const std::vector<TSqlToken>& tokens)
{
    if (IsWord(tokens, 0, "UPDATE"))
        return {dkUpdate, IsWord(tokens, 1, "OR") ? size_t(3) : size_t(1)}; // UPDATE OR <conflict rule>
    if (IsWord(tokens, 0, "DELETE") && IsWord(tokens, 1, "FROM"))
        return {dkDelete, 2};
    if (IsWord(tokens, 0, "REPLACE") && IsWord(tokens, 1, "INTO"))
        return {dkInsert, 2};
    if (IsWord(tokens, 0, "INSERT"))
        return {dkInsert, IsWord(tokens, 1, "OR") ? size_t(4) : size_t(2)}; // INSERT OR <rule> INTO
    return {};
}

} // namespace

TClientRights::TClientRights(sqlite3* db, TSqlUser user) : m_db(db), m_user(std::move(user))
{
    if (!m_user.IsSystemManager())
        InstallRowRules();
    sqlite3_set_authorizer(m_db, &TClientRights::Authorize, this);
}

TClientRights::~TClientRights()
{
    sqlite3_set_authorizer(m_db, nullptr, nullptr);
    sqlite3_finalize(m_userRow);
}

std::string TClientRights::PrepareStatement(const std::string& sql) const
{
    if (m_user.IsSystemManager())
        return sql;
    std::string trailing;
    std::vector<TSqlToken> tokens = TokenizeSql(sql, &trailing);
    // Refused here, before SQLite reads a definition on a view of the rules
    // (which it would answer with an error of its own).
    if (IsWord(tokens, 0, "CREATE") || IsWord(tokens, 0, "DROP") || IsWord(tokens, 0, "ALTER"))
        throw EOracleError(kRefusal);
    if (!m_shadowsUsers && !m_shadowsMail)
        return sql;
    const TDmlTarget target = FindDmlTarget(tokens);
    const bool deletesMail = target.Kind == dkDelete && target.Index < tokens.size() &&
                             SameNameText(NameOf(tokens[target.Index]), "TBL_MAIL");
    for (size_t i = 0; i < tokens.size(); ++i) {
        TSqlToken& t = tokens[i];
        const std::string name = NameOf(t);
        if (name.empty())
            continue;
        // The views that stand for the mail are the rules' own.
        if (SameNameText(name, kMailVisible) || SameNameText(name, kMailDeletable))
            throw EOracleError("ORA-00942: table or view does not exist");
        const bool qualified = i > 0 && tokens[i - 1].Kind == TSqlToken::tkDot;
        if (m_shadowsMail && SameNameText(name, "TBL_MAIL")) {
            // The table itself (main.TBL_MAIL) holds every user's mail.
            if (qualified)
                throw EOracleError(kRefusal);
            const std::string view = deletesMail ? kMailDeletable : kMailVisible;
            t.Text = t.Kind == TSqlToken::tkWord ? view : t.Text.front() + view + t.Text.front();
        } else if (m_shadowsUsers && target.Kind != dkNone && i == target.Index &&
                   t.Kind != TSqlToken::tkString && !qualified && SameNameText(name, "TBL_USERS") &&
                   !(i + 1 < tokens.size() && tokens[i + 1].Kind == TSqlToken::tkDot)) {
            // The table itself, under the triggers that keep the user to the
            // rows it may write (and the authorizer, which may refuse more).
            t.Text = "main." + t.Text;
        }
    }
    return JoinSql(tokens) + trailing;
}

std::string TClientRights::TakeRefusal()
{
    std::string refusal;
    refusal.swap(m_refusal);
    return refusal;
}

int64_t TClientRights::TakeViewRows()
{
    const int64_t rows = m_viewRows;
    m_viewRows = 0;
    return rows;
}

int TClientRights::Authorize(void* self, int action, const char* a, const char* b, const char* database,
                             const char* source)
{
    return static_cast<TClientRights*>(self)->Check(action, a, b, database, source);
}

int TClientRights::Refuse()
{
    m_refusal = kRefusal;
    return SQLITE_DENY;
}

int TClientRights::Check(int action, const char* a, const char* b, const char* database, const char* source)
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
    if (m_user.IsSystemManager())
        return SQLITE_OK;
    return CheckRowRules(action, a, b, database, source);
}

int TClientRights::CheckRowRules(int action, const char* a, const char* b, const char* database,
                                 const char* source)
{
    // The table of mail is reached through the views of the rules only: the
    // client's name of it is theirs, and their triggers write it.
    const bool mailTable = m_shadowsMail && Same(a, "TBL_MAIL") && Same(database, "main");
    const bool byMailRules = Same(source, kMailVisible) || Same(source, kMailDeletable) ||
                             Same(source, RowRules::kMailMarkRead) || Same(source, RowRules::kMailDelete);
    switch (action) {
    case SQLITE_READ:
        if (Same(a, "TBL_USERS") && Same(database, "main") && OneOf(b, kSecretColumns))
            return SQLITE_IGNORE; // reads as NULL
        if (Same(a, "TBL_CONNECTIONS") && Same(b, "SESSION_ID"))
            return SQLITE_IGNORE;
        // A read without a column (a count of a view folded into its query)
        // gives no values.
        if (mailTable && !byMailRules && !(b && *b == '\0'))
            return Refuse();
        return SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        // Sequences only advance, through OVN_NEXTVAL: a value set back would
        // make every later insert of the table fail on its key.
        if (Same(a, "OVN_SEQUENCES"))
            return action == SQLITE_UPDATE && AdvancingSequence() ? SQLITE_OK : Refuse();
        if (OneOf(a, kAdministratorsTables))
            return Refuse();
        if (mailTable)
            return byMailRules && action != SQLITE_INSERT ? SQLITE_OK : Refuse();
        if (Same(a, kMailVisible))
            return action == SQLITE_UPDATE ? SQLITE_OK : Refuse();
        if (Same(a, kMailDeletable))
            return action == SQLITE_DELETE ? SQLITE_OK : Refuse();
        if (m_user.IsManager())
            return SQLITE_OK; // the triggers of his scope decide row by row
        if (Same(a, "TBL_USERS"))
            return action == SQLITE_UPDATE ? SQLITE_OK : Refuse();
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
        // Tables, views, indexes and triggers: made, altered and dropped by system managers only.
        return Refuse();
    }
}
