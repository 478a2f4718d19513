#include "ServerDatabases.h"
#include "TextCase.h"

#include "Database.h"
#include "OracleErrors.h"
#include "SqlDialect.h"
#include "SqlFunctions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;




struct TStatementGuard
{
    sqlite3_stmt* Stmt = nullptr;
    ~TStatementGuard() { sqlite3_finalize(Stmt); }
};

void BindValue(sqlite3_stmt* stmt, int index, const TSqlValue& v)
{
    switch (v.Type) {
    case TSqlValue::vtNull:
        sqlite3_bind_null(stmt, index);
        break;
    case TSqlValue::vtInteger:
        sqlite3_bind_int64(stmt, index, v.Int);
        break;
    case TSqlValue::vtFloat:
        sqlite3_bind_double(stmt, index, v.Float);
        break;
    case TSqlValue::vtText:
        sqlite3_bind_text(stmt, index, v.Text.data(), static_cast<int>(v.Text.size()), SQLITE_TRANSIENT);
        break;
    case TSqlValue::vtBlob:
        sqlite3_bind_blob(stmt, index, v.Text.data(), static_cast<int>(v.Text.size()), SQLITE_TRANSIENT);
        break;
    }
}

void BindParams(sqlite3_stmt* stmt, const TSqlParams& params)
{
    const int count = sqlite3_bind_parameter_count(stmt);
    for (int i = 1; i <= count; ++i) {
        const char* name = sqlite3_bind_parameter_name(stmt, i);
        const TSqlParam* p = name && name[0] != '\0' ? FindParam(params, name + 1) : nullptr;
        if (!p)
            throw EOracleError("ORA-01008: not all variables bound");
        BindValue(stmt, i, p->Value);
    }
}

TSqlValue Cell(sqlite3_stmt* stmt, int c)
{
    switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_NULL:
        return TSqlValue::Null();
    case SQLITE_INTEGER:
        return TSqlValue::Integer(sqlite3_column_int64(stmt, c));
    case SQLITE_FLOAT:
        return TSqlValue::Real(sqlite3_column_double(stmt, c));
    case SQLITE_BLOB: {
        const void* bytes = sqlite3_column_blob(stmt, c);
        return TSqlValue::FromBlob(
            std::string(static_cast<const char*>(bytes), static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
    }
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        return TSqlValue::FromText(std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
    }
    }
}

// Oracle names unquoted identifiers in upper case; SQLite keeps them as written.
std::vector<TFieldInfo> ResultFields(sqlite3_stmt* stmt, const std::vector<std::string>& quoted)
{
    std::vector<TFieldInfo> fields;
    const int count = sqlite3_column_count(stmt);
    for (int c = 0; c < count; ++c) {
        std::string name = sqlite3_column_name(stmt, c);
        if (std::find(quoted.begin(), quoted.end(), name) == quoted.end())
            name = UpperText(name);
        const char* declared = sqlite3_column_decltype(stmt, c);
        TFieldInfo f = FieldFromDeclaredType(name, declared ? declared : "");
        if (!declared)
            f.DataType = FieldType::Unknown; // settled from the values
        fields.push_back(std::move(f));
    }
    return fields;
}

// Columns of expressions take their type from their values.
void InferUndeclared(TResultSet& result)
{
    for (size_t c = 0; c < result.Fields.size(); ++c) {
        TFieldInfo& f = result.Fields[c];
        if (f.DataType != FieldType::Unknown)
            continue;
        TSqlValue::TType type = TSqlValue::vtNull;
        bool wide = false;
        // Dates of expressions (TO_DATE, MAX of a date) are texts of the one form dates have.
        bool dates = true;
        size_t longest = 1;
        for (const auto& row : result.Rows) {
            const TSqlValue& v = row[c];
            if (v.IsNull())
                continue;
            if (type == TSqlValue::vtNull || (type == TSqlValue::vtInteger && v.Type == TSqlValue::vtFloat))
                type = v.Type;
            if (v.Type == TSqlValue::vtInteger && (v.Int > INT32_MAX || v.Int < INT32_MIN))
                wide = true;
            dates = dates && v.Type == TSqlValue::vtText && v.Text.size() == 19 && NormalizeDateText(v.Text) == v.Text;
            longest = std::max(longest, v.Text.size());
        }
        f.Size = 0;
        if (type == TSqlValue::vtText && dates) {
            f.DataType = FieldType::DateTime;
            continue;
        }
        switch (type) {
        case TSqlValue::vtInteger:
            f.DataType = wide ? FieldType::LargeInt : FieldType::Integer;
            break;
        case TSqlValue::vtFloat:
            f.DataType = FieldType::Float;
            break;
        case TSqlValue::vtBlob:
            f.DataType = FieldType::Blob;
            break;
        case TSqlValue::vtText:
            f.DataType = FieldType::String;
            f.Size = static_cast<int>(longest);
            break;
        default:
            f.DataType = FieldType::String;
            f.Size = static_cast<int>(longest);
        }
    }
}

bool BlankTail(const char* tail)
{
    while (*tail && std::isspace(static_cast<unsigned char>(*tail)))
        ++tail;
    return *tail == '\0';
}

} // namespace

// ===========================================================================
// TDataConnection

TDataConnection::TDataConnection(std::string handle, std::string alias, std::string sessionId,
                                 const std::string& fileName, const TSqlUser& user)
    : m_handle(std::move(handle)), m_alias(std::move(alias)), m_sessionId(std::move(sessionId))
{
    Touch();
    if (sqlite3_open_v2(fileName.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string reason = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw EDatabaseError("Cannot open the database of " + m_alias + ": " + reason);
    }
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_exec(m_db, "PRAGMA foreign_keys = ON; PRAGMA case_sensitive_like = ON;", nullptr, nullptr, nullptr);
    RegisterSqlFunctions(m_db);
    try {
        m_rights = std::make_unique<TClientRights>(m_db, user);
    } catch (...) {
        sqlite3_close_v2(m_db);
        throw;
    }
}

TDataConnection::~TDataConnection()
{
    m_rights.reset();
    sqlite3_close_v2(m_db);
}

int64_t TDataConnection::Execute(const std::string& sql, const TSqlParams& params, TResultSet* rows)
{
    return RunStatement(sql, params, rows, false);
}

int64_t TDataConnection::ExecuteAsServer(const std::string& sql, const TSqlParams& params, TResultSet* rows)
{
    return RunStatement(sql, params, rows, true);
}

int64_t TDataConnection::RunStatement(const std::string& sql, const TSqlParams& params, TResultSet* rows,
                                      bool asServer)
{
    Touch();
    const std::string oracle = RewriteOracleSql(sql);
    const std::string lite = asServer ? oracle : m_rights->PrepareStatement(oracle);
    std::optional<TClientRights::TAsServer> server;
    if (asServer)
        server.emplace(*m_rights);
    const TSqlStatementKind kind = StatementKind(sql);
    const std::string schema = UpperText(m_alias);
    // A statement the user's rights refuse fails with the refusal's own error.
    const auto failure = [&] {
        const std::string refusal = m_rights->TakeRefusal();
        return EOracleError(!refusal.empty() ? refusal : OracleErrorText(m_db, kind, schema));
    };
    m_rights->TakeRefusal();
    m_rights->TakeViewRows();
    TStatementGuard guard;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_db, lite.c_str(), static_cast<int>(lite.size()), &guard.Stmt, &tail) != SQLITE_OK)
        throw failure();
    if (!guard.Stmt)
        throw EOracleError("ORA-00900: invalid SQL statement");
    if (!BlankTail(tail)) {
        const std::string rest = tail;
        if (rest.find_first_not_of(" \t\r\n;") == std::string::npos)
            throw EOracleError("ORA-00911: invalid character");
        throw EOracleError("ORA-00933: SQL command not properly ended");
    }
    BindParams(guard.Stmt, params);
    if (rows)
        rows->Fields = ResultFields(guard.Stmt, QuotedNames(sql));
    const int columns = sqlite3_column_count(guard.Stmt);
    for (;;) {
        const int rc = sqlite3_step(guard.Stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            throw failure();
        if (!rows)
            continue;
        std::vector<TSqlValue>& row = rows->Rows.emplace_back();
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c)
            row.push_back(Cell(guard.Stmt, c));
    }
    if (rows)
        InferUndeclared(*rows);
    // A statement on a view of the row rules changes its rows in triggers,
    // which SQLite does not count as the statement's.
    return sqlite3_stmt_readonly(guard.Stmt) ? 0 : sqlite3_changes64(m_db) + m_rights->TakeViewRows();
}

int64_t TDataConnection::ExecuteScript(const std::string& script, const TSqlParams& params,
                                       const std::function<void(size_t, size_t)>& progress)
{
    const std::vector<std::string> statements = SplitSqlScript(script);
    int64_t changed = 0;
    for (size_t i = 0; i < statements.size(); ++i) {
        if (progress)
            progress(i, statements.size());
        changed += Execute(statements[i], params);
    }
    return changed;
}

std::vector<TFieldInfo> TDataConnection::TableFields(const std::string& table)
{
    Touch();
    TStatementGuard guard;
    sqlite3_prepare_v2(m_db, "SELECT name, type FROM pragma_table_info(?1)", -1, &guard.Stmt, nullptr);
    sqlite3_bind_text(guard.Stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
    std::vector<TFieldInfo> fields;
    while (sqlite3_step(guard.Stmt) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(guard.Stmt, 0));
        const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(guard.Stmt, 1));
        fields.push_back(FieldFromDeclaredType(UpperText(name ? name : ""), type ? type : ""));
    }
    if (fields.empty())
        throw EOracleError("ORA-00942: table or view does not exist");
    return fields;
}

std::vector<std::string> TDataConnection::TableNames()
{
    Touch();
    TStatementGuard guard;
    sqlite3_prepare_v2(m_db,
                       "SELECT name FROM sqlite_schema WHERE type IN ('table', 'view') "
                       "AND name NOT LIKE 'sqlite%' AND name NOT LIKE 'SRV!_%' ESCAPE '!' "
                       "AND name <> 'OVN_SEQUENCES' ORDER BY UPPER(name)",
                       -1, &guard.Stmt, nullptr);
    std::vector<std::string> names;
    while (sqlite3_step(guard.Stmt) == SQLITE_ROW)
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(guard.Stmt, 0)));
    return names;
}

void TDataConnection::Run(const char* sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw EOracleError(OracleErrorText(m_db, skOther, UpperText(m_alias)));
}

void TDataConnection::StartTransaction()
{
    Touch();
    if (m_inTransaction)
        throw Wire::EProcedureError(Wire::ErrGeneral, "A transaction is already started on this database.");
    Run("BEGIN");
    m_inTransaction = true;
}

void TDataConnection::Commit()
{
    Touch();
    if (!m_inTransaction)
        throw Wire::EProcedureError(Wire::ErrGeneral, "No transaction is started on this database.");
    Run("COMMIT"); // a failed commit (a deferred constraint) leaves the transaction open
    m_inTransaction = false;
}

void TDataConnection::Rollback()
{
    Touch();
    if (!m_inTransaction)
        throw Wire::EProcedureError(Wire::ErrGeneral, "No transaction is started on this database.");
    m_inTransaction = false;
    Run("ROLLBACK");
}

// ===========================================================================
// TServerDatabases

TServerDatabases::TServerDatabases(std::string systemFile, std::chrono::minutes idle)
    : m_systemFile(std::move(systemFile)), m_idle(idle)
{
}

TServerDatabases::~TServerDatabases() = default;

std::string TServerDatabases::FileOf(const std::string& alias) const
{
    if (SameNameText(alias, "SYSTEM"))
        return m_systemFile;
    if (alias.empty() || alias.size() > 64 ||
        !std::all_of(alias.begin(), alias.end(), [](unsigned char c) { return std::isalnum(c) || c == '_'; }))
        throw Wire::EProcedureError(Wire::ErrGeneral, "Invalid database alias: " + alias);
    std::string stem = m_systemFile;
    const size_t slash = stem.find_last_of('/');
    const size_t dot = stem.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        stem.resize(dot);
    return stem + "-" + LowerText(alias) + ".db";
}

void TServerDatabases::PrepareFileLocked(const std::string& file, bool system)
{
    if (system || !m_preparedFiles.insert(file).second)
        return;
    // The data schema and its demo rows, once per file and process; the
    // statements are idempotent, so a file of an earlier run keeps its rows.
    TDatabase database(file, EmbeddedDataSql());
}

std::shared_ptr<TDataConnection> TServerDatabases::Open(const std::string& sessionId, const std::string& alias,
                                                        const TSqlUser& user)
{
    const std::string file = FileOf(alias);
    std::lock_guard<std::mutex> guard(m_lock);
    SweepLocked();
    PrepareFileLocked(file, file == m_systemFile);
    auto connection = std::make_shared<TDataConnection>(Wire::RandomHex(16), UpperText(alias), sessionId, file, user);
    m_databases[connection->Handle()] = connection;
    return connection;
}

std::shared_ptr<TDataConnection> TServerDatabases::Find(const std::string& handle, const std::string& sessionId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_databases.find(handle);
    if (it == m_databases.end() || it->second->SessionId() != sessionId)
        throw Wire::EProcedureError(Wire::ErrDatabaseHandle, "The database is not open on the server.");
    it->second->Touch();
    return it->second;
}

bool TServerDatabases::IsDatabase(const std::string& handle, const std::string& sessionId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_databases.find(handle);
    return it != m_databases.end() && it->second->SessionId() == sessionId;
}

bool TServerDatabases::CloseDatabase(const std::string& handle, const std::string& sessionId)
{
    std::shared_ptr<TDataConnection> doomed;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const auto it = m_databases.find(handle);
        if (it == m_databases.end() || it->second->SessionId() != sessionId)
            return false;
        doomed = it->second;
        m_databases.erase(it);
        for (auto c = m_cursors.begin(); c != m_cursors.end();)
            c = c->second->DbHandle == handle ? m_cursors.erase(c) : std::next(c);
    }
    // Waits for a call still running on it; an open transaction is rolled back.
    auto lock = doomed->Lock();
    return true;
}

std::shared_ptr<TServerCursor> TServerDatabases::AddCursor(const std::string& sessionId, const std::string& dbHandle,
                                                           TResultSet result, TSqlParams outputs)
{
    auto cursor = std::make_shared<TServerCursor>();
    cursor->Handle = Wire::RandomHex(16);
    cursor->SessionId = sessionId;
    cursor->DbHandle = dbHandle;
    cursor->Result = std::move(result);
    cursor->OutputParams = std::move(outputs);
    cursor->LastUsed = Clock::now();
    std::lock_guard<std::mutex> guard(m_lock);
    SweepLocked();
    m_cursors[cursor->Handle] = cursor;
    return cursor;
}

std::shared_ptr<TServerCursor> TServerDatabases::FindCursor(const std::string& handle, const std::string& sessionId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_cursors.find(handle);
    if (it == m_cursors.end() || it->second->SessionId != sessionId)
        throw Wire::EProcedureError(Wire::ErrCursorLost, "The cursor is not held by the server any more.");
    it->second->LastUsed = Clock::now();
    return it->second;
}

bool TServerDatabases::CloseCursor(const std::string& handle, const std::string& sessionId)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto it = m_cursors.find(handle);
    if (it == m_cursors.end() || it->second->SessionId != sessionId)
        return false;
    m_cursors.erase(it);
    return true;
}

void TServerDatabases::SweepLocked()
{
    const Clock::time_point oldest = Clock::now() - m_idle;
    for (auto it = m_cursors.begin(); it != m_cursors.end();)
        it = it->second->LastUsed < oldest ? m_cursors.erase(it) : std::next(it);
    for (auto it = m_databases.begin(); it != m_databases.end();)
        it = it->second->LastUsed() < oldest ? m_databases.erase(it) : std::next(it);
}
