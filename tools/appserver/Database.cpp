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
    const bool upgrade = SetAsideOlderAliases();
    for (const TEmbeddedSql& file : files)
        ExecScript(file.Text, file.Name);
    if (upgrade)
        TakeBackOlderAliases();
}

// A database made before LOGIN_PARAMS became a memo declares it TEXT, which
// clients would read as a string. SQLite cannot change a declared type: the
// old table is renamed aside (without touching the references to it, so
// that they name the new one) before the schema makes the new table, and
// its rows go there afterwards.
bool TDatabase::SetAsideOlderAliases()
{
    std::string declared;
    {
        TStatement info(m_db, "SELECT type FROM pragma_table_info('TBL_DBALIASES') WHERE name = 'LOGIN_PARAMS'");
        if (!info.Step())
            return false;
        declared = info.Text(0);
    }
    if (declared == "CLOB")
        return false;
    ExecScript("PRAGMA foreign_keys = OFF; PRAGMA legacy_alter_table = ON;"
               "ALTER TABLE TBL_DBALIASES RENAME TO SRV_OLDER_DBALIASES;"
               "PRAGMA legacy_alter_table = OFF;",
               "upgrade of TBL_DBALIASES");
    return true;
}

void TDatabase::TakeBackOlderAliases()
{
    ExecScript("PRAGMA foreign_keys = OFF; BEGIN;"
               "INSERT OR REPLACE INTO TBL_DBALIASES (COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, SERVER_NAME,"
               "  DRIVER_NAME, USER_NAME, LOGIN_PARAMS, CURRENT_USE)"
               "  SELECT COUNTER, ALIAS, DESCRIPTION, C_ENTERPRISE, SERVER_NAME, DRIVER_NAME, USER_NAME, LOGIN_PARAMS,"
               "  CURRENT_USE FROM SRV_OLDER_DBALIASES;"
               "DROP TABLE SRV_OLDER_DBALIASES; COMMIT; PRAGMA foreign_keys = ON;",
               "upgrade of TBL_DBALIASES");
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
