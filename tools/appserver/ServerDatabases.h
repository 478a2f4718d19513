#pragma once
// The databases and cursors the server holds for its clients.
//
// A client opens a database by its alias (Nembra.Connect) and gets a
// database handle: a connection of its own to the alias's SQLite file, with
// the Oracle functions registered (SqlFunctions.h), foreign keys on and a
// case-sensitive LIKE, as on the suite's server. The alias SYSTEM is the
// server's own database file; any other alias has a file beside it
// ("<db>-<alias>.db"), made on first use with the data schema and the demo
// rows (sql/data-*.sql).
//
// Statements arrive in the Oracle dialect (SqlDialect.h), their errors leave
// in Oracle's form (OracleErrors.h). A query for a client's cursor is run to
// its end at once and kept as a result set, which the client then reads
// page by page by its cursor handle: no SQLite statement stays open between
// calls, so a cursor never holds a read snapshot that would keep the
// client's own later writes from seeing the latest data.
//
// Handles belong to the session that made them; a handle another session
// names, or one no longer held (closed, or idle for longer than the session
// time-out), is unknown: code 1008 for a database, 1007 for a cursor (the
// client then asks the user to refresh).
//
// Threads: calls run on the HTTP library's worker threads. The registry has
// its own lock; each connection and each cursor has its own, which callers
// take (Lock()) around a unit of work.

#include "ClientRights.h"
#include "ServerValues.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct sqlite3;

namespace Wire {
inline constexpr int ErrCursorLost = 1007;
inline constexpr int ErrDatabaseHandle = 1008;
} // namespace Wire

// The rows of a query, in full.
struct TResultSet
{
    std::vector<TFieldInfo> Fields;
    std::vector<std::vector<TSqlValue>> Rows;
};

// One opened database of a client.
class TDataConnection
{
  public:
    // Client SQL on it runs with the rights of `user` (ClientRights.h).
    TDataConnection(std::string handle, std::string alias, std::string sessionId, const std::string& fileName,
                    const TSqlUser& user);
    ~TDataConnection();
    TDataConnection(const TDataConnection&) = delete;
    TDataConnection& operator=(const TDataConnection&) = delete;

    const std::string& Handle() const { return m_handle; }
    const std::string& Alias() const { return m_alias; }
    const std::string& SessionId() const { return m_sessionId; }
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(m_lock); }

    // Runs one statement in the Oracle dialect; answers the rows it changed
    // (0 for a query). With `rows`, a query's rows and fields are collected.
    // Parameters are bound by name without regard to case; a parameter the
    // statement names and the client did not send raises ORA-01008.
    int64_t Execute(const std::string& sql, const TSqlParams& params, TResultSet* rows = nullptr);
    // Execute for the server's own work on the client's connection (a
    // procedure that writes for its caller, as SEND_MAIL stores the mail):
    // the statement runs in the client's transaction but beyond its rights.
    int64_t ExecuteAsServer(const std::string& sql, const TSqlParams& params, TResultSet* rows = nullptr);
    // Runs a script's statements one after the other (each as Execute);
    // answers the rows all of them changed. `progress` hears each statement.
    int64_t ExecuteScript(const std::string& script, const TSqlParams& params,
                          const std::function<void(size_t index, size_t count)>& progress);
    // The columns of a table (ORA-00942 when there is none).
    std::vector<TFieldInfo> TableFields(const std::string& table);
    // The user tables, in name order.
    std::vector<std::string> TableNames();

    bool InTransaction() const { return m_inTransaction; }
    void StartTransaction();
    void Commit();
    void Rollback();

    sqlite3* Db() const { return m_db; }
    // The idle clock of the handle; the registry's sweep reads it without
    // the connection's lock.
    std::chrono::steady_clock::time_point LastUsed() const
    {
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(m_lastUsed.load()));
    }
    void Touch() { m_lastUsed = std::chrono::steady_clock::now().time_since_epoch().count(); }

  private:
    int64_t RunStatement(const std::string& sql, const TSqlParams& params, TResultSet* rows, bool asServer);
    void Run(const char* sql);

    std::string m_handle;
    std::string m_alias;
    std::string m_sessionId;
    sqlite3* m_db = nullptr;
    std::unique_ptr<TClientRights> m_rights;
    std::mutex m_lock;
    bool m_inTransaction = false;
    std::atomic<std::chrono::steady_clock::rep> m_lastUsed{0};
};

// A result set a client reads page by page.
struct TServerCursor
{
    std::string Handle;
    std::string SessionId;
    std::string DbHandle; // '' for plug-in results without a database
    TResultSet Result;
    // The parameters of the fetch, with the values of its outputs.
    TSqlParams OutputParams;
    // The plug-in procedure that made the rows, for the edits of them.
    std::string Plugin;
    std::string Procedure;
    // The cursor stays after its last page until the client closes it.
    bool KeepOpen = false;
    size_t Position = 0;
    // Some page went out without its memo and blob values: the cursor stays
    // after the last page, for Nembra.FetchBlobs, until the client closes it.
    bool BlobsWithheld = false;
    std::chrono::steady_clock::time_point LastUsed;
    std::mutex Lock;
};

class TServerDatabases
{
  public:
    // systemFile: the server's own database; idle: how long an unused handle lives.
    TServerDatabases(std::string systemFile, std::chrono::minutes idle);
    ~TServerDatabases();

    // The file of an alias ("SYSTEM": the server's own); raises for an alias
    // that cannot name a file.
    std::string FileOf(const std::string& alias) const;
    std::shared_ptr<TDataConnection> Open(const std::string& sessionId, const std::string& alias,
                                          const TSqlUser& user);
    // Raises 1008 for a handle the session does not hold.
    std::shared_ptr<TDataConnection> Find(const std::string& handle, const std::string& sessionId);
    bool IsDatabase(const std::string& handle, const std::string& sessionId);
    // Closes a database and its cursors; false when the session holds no such database.
    bool CloseDatabase(const std::string& handle, const std::string& sessionId);

    std::shared_ptr<TServerCursor> AddCursor(const std::string& sessionId, const std::string& dbHandle,
                                             TResultSet result, TSqlParams outputs = {});
    // Raises 1007 for a cursor the session does not hold.
    std::shared_ptr<TServerCursor> FindCursor(const std::string& handle, const std::string& sessionId);
    bool CloseCursor(const std::string& handle, const std::string& sessionId);

  private:
    void SweepLocked();
    void PrepareFileLocked(const std::string& file, bool system);

    std::string m_systemFile;
    std::chrono::minutes m_idle;
    std::mutex m_lock;
    std::map<std::string, std::shared_ptr<TDataConnection>> m_databases;
    std::map<std::string, std::shared_ptr<TServerCursor>> m_cursors;
    std::set<std::string> m_preparedFiles;
};
