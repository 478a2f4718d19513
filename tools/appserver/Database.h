#pragma once
// The server's one SQLite database file: opened in write-ahead mode, given
// the compiled-in schema and seed rows at every start, and used by one
// thread at a time (callers hold Lock() around a unit of work).

#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// An SQL file compiled into the program (sql/*.sql).
struct TEmbeddedSql
{
    const char* Name;
    const char* Text;
};
// The server's own database (sql/schema.sql, sql/seed.sql...).
const std::vector<TEmbeddedSql>& EmbeddedSql();
// Every data database of an alias (sql/data-*.sql).
const std::vector<TEmbeddedSql>& EmbeddedDataSql();

class EDatabaseError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// One prepared statement. Bind indices start at 1, column indices at 0.
class TStatement
{
  public:
    TStatement(sqlite3* db, const std::string& sql);
    ~TStatement();
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    TStatement& Bind(int index, const std::string& value);
    TStatement& Bind(int index, int64_t value);
    TStatement& BindNull(int index);
    TStatement& BindBlob(int index, const std::string& bytes);
    // Advances to the next row; false when there is none.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();

    int ColumnCount() const;
    std::string ColumnName(int index) const;
    bool IsNull(int index) const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int ColumnType(int index) const;
    std::string Text(int index) const;
    int64_t Int(int index) const;
    double Float(int index) const;

  private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

class TDatabase
{
  public:
    // Opens or creates the file and applies the compiled-in SQL files.
    explicit TDatabase(const std::string& fileName, const std::vector<TEmbeddedSql>& files = EmbeddedSql());
    ~TDatabase();
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    // Runs every statement of a script; `source` names it in errors.
    void ExecScript(const std::string& sql, const std::string& source);
    void ExecFile(const std::string& fileName);
    std::unique_ptr<TStatement> Prepare(const std::string& sql);
    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(m_lock); }

  private:
    // Tables of a file made by an older build whose declared types changed:
    // set aside before the schema runs, their rows taken back after it.
    std::vector<std::string> SetAsideOlderTables();
    void TakeBackOlderTables(const std::vector<std::string>& Tables);

    sqlite3* m_db = nullptr;
    std::mutex m_lock;
};
