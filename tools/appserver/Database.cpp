#include "Database.h"

#include <sqlite3.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

[[noreturn]] void Raise(sqlite3* db, const std::string& what)
{
    throw EDatabaseError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

} // namespace

TStatement::TStatement(sqlite3* db, const std::string& sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        Raise(db, "Cannot prepare \"" + sql + "\"");
}

TStatement::~TStatement()
{
    sqlite3_finalize(m_stmt);
}

TStatement& TStatement::Bind(int index, const std::string& value)
{
    sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
}

TStatement& TStatement::BindBlob(int index, const std::string& bytes)
{
    sqlite3_bind_blob(m_stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

TStatement& TStatement::Bind(int index, int64_t value)
{
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

TStatement& TStatement::BindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool TStatement::Step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    Raise(m_db, "SQL error");
}

void TStatement::Run()
{
    while (Step()) {
    }
}

int TStatement::ColumnCount() const
{
    return sqlite3_column_count(m_stmt);
}

std::string TStatement::ColumnName(int index) const
{
    const char* name = sqlite3_column_name(m_stmt, index);
    return name ? name : "";
}

bool TStatement::IsNull(int index) const
{
    return sqlite3_column_type(m_stmt, index) == SQLITE_NULL;
}

int TStatement::ColumnType(int index) const
{
    return sqlite3_column_type(m_stmt, index);
}

std::string TStatement::Text(int index) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(m_stmt, index))) : std::string();
}

int64_t TStatement::Int(int index) const
{
    return sqlite3_column_int64(m_stmt, index);
}

double TStatement::Float(int index) const
{
    return sqlite3_column_double(m_stmt, index);
}

TDatabase::TDatabase(const std::string& fileName, const std::vector<TEmbeddedSql>& files)
{
    if (sqlite3_open_v2(fileName.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string reason = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw EDatabaseError("Cannot open the database \"" + fileName + "\": " + reason);
    }
    sqlite3_busy_timeout(m_db, 5000);
    // Write-ahead logging without a sync per commit: a session's activity
    // stamp must not cost a disk flush on every call.
    ExecScript("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", "settings");
    const std::vector<std::string> aside = SetAsideOlderTables();
    for (const TEmbeddedSql& file : files)
        ExecScript(file.Text, file.Name);
    TakeBackOlderTables(aside);
}

namespace {

// The tables whose declared column types changed since older builds made
// their files, each with the column whose declared type tells a current
// file from an older one (the column changed last). An older file declares
// LOGIN_PARAMS TEXT, which clients would read as a string rather than a
// memo, or the listed texts TEXT, which clients read as Oracle's longest
// text and lists would show thousands of pixels wide.
struct TRetypedTable
{
    const char* Table;
    const char* Column;
    const char* Type;
};
constexpr TRetypedTable kRetypedTables[] = {
    {"TBL_ENTERPRISES", "ENTERPRISE", "VARCHAR2(30)"},
    {"TBL_USERS", "USER_ID", "VARCHAR2(30)"},
    {"TBL_DBALIASES", "ALIAS", "VARCHAR2(20)"},
    {"TBL_ROLES", "ROLE_ID", "VARCHAR2(30)"},
};

std::string AsideName(const std::string& Table)
{
    return "SRV_OLDER_" + Table.substr(4); // TBL_USERS -> SRV_OLDER_USERS
}

} // namespace

// SQLite cannot change a declared type: an older table is renamed aside
// (without touching the references to it, so that they name the new one)
// before the schema makes the new table, and its rows go there afterwards.
// Its triggers go first, or the schema would take them for its own and
// they would go with the old table.
std::vector<std::string> TDatabase::SetAsideOlderTables()
{
    std::vector<std::string> aside;
    for (const TRetypedTable& t : kRetypedTables) {
        {
            TStatement info(m_db, std::string("SELECT type FROM pragma_table_info('") + t.Table +
                                      "') WHERE name = '" + t.Column + "'");
            if (!info.Step() || info.Text(0) == t.Type)
                continue;
        }
        std::vector<std::string> triggers;
        {
            TStatement list(m_db, std::string("SELECT name FROM sqlite_master WHERE type = 'trigger' AND tbl_name = '") +
                                      t.Table + "'");
            while (list.Step())
                triggers.push_back(list.Text(0));
        }
        std::string sql = "PRAGMA foreign_keys = OFF; PRAGMA legacy_alter_table = ON;";
        for (const std::string& trigger : triggers)
            sql += "DROP TRIGGER \"" + trigger + "\";";
        sql += std::string("ALTER TABLE ") + t.Table + " RENAME TO " + AsideName(t.Table) +
               "; PRAGMA legacy_alter_table = OFF;";
        ExecScript(sql, std::string("upgrade of ") + t.Table);
        aside.push_back(t.Table);
    }
    return aside;
}

// The rows of the tables set aside go into the new ones, column by column
// where both have the column.
void TDatabase::TakeBackOlderTables(const std::vector<std::string>& Tables)
{
    for (const std::string& table : Tables) {
        const std::string older = AsideName(table);
        std::string columns;
        {
            TStatement common(m_db, "SELECT n.name FROM pragma_table_info('" + table + "') n "
                                    "JOIN pragma_table_info('" + older + "') o ON o.name = n.name ORDER BY n.cid");
            while (common.Step())
                columns += (columns.empty() ? "" : ", ") + common.Text(0);
        }
        ExecScript("PRAGMA foreign_keys = OFF; BEGIN;"
                   "INSERT OR REPLACE INTO " + table + " (" + columns + ") SELECT " + columns + " FROM " + older + ";"
                   "DROP TABLE " + older + "; COMMIT; PRAGMA foreign_keys = ON;",
                   "upgrade of " + table);
    }
}

TDatabase::~TDatabase()
{
    sqlite3_close(m_db);
}

void TDatabase::ExecScript(const std::string& sql, const std::string& source)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string reason = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw EDatabaseError(source + ": " + reason);
    }
}

void TDatabase::ExecFile(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw EDatabaseError("Cannot read the SQL file \"" + fileName + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    ExecScript(text.str(), fileName);
}

std::unique_ptr<TStatement> TDatabase::Prepare(const std::string& sql)
{
    return std::make_unique<TStatement>(m_db, sql);
}
