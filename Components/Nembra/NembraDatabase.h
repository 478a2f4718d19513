#pragma once
// `TNembraDatabase`: a database of the application server opened on a
// connection, and the registry `NembraDatabases` in which datasets find it
// by name. Part of the unit NembraDBDataSets; include
// "Components/Nembra/NembraDBDataSets.h".
//
// A database opens with Nembra.Connect (its Params, e.g. DB_ALIAS=SYSTEM) and
// holds the DBHandle of the reply; closing closes its open datasets first,
// then sends Nembra.Close (errors are dropped). It listens to its connection:
// when the connection disconnects (message CN_CONNECTIONEVENT, code 1) the
// database closes without a word to the server and lets the connection go.
// Destroying a database sends nothing; datasets bound to it hear of it.
//
// Main thread only, like the registries.

#include "Components/Nembra/NembraClient.h"

#include "platform/Component.h"
#include "platform/Messages.h"
#include "platform/StringList.h"

#include <memory>
#include <string>
#include <vector>

class TNembraDBDataSet;
class TParams;

class TNembraDatabase : public TComponent, public IMessageReceiver
{
  public:
    explicit TNembraDatabase(TComponent* owner = nullptr);
    ~TNembraDatabase() override;
    std::string ClassName() const override { return "TNembraDatabase"; }

    // --- Stored settings
    // The connection, found in NembraConnections by this name. Changing it
    // requires the database closed.
    const std::string& ConnectionName() const { return m_connectionName; }
    void SetConnectionName(const std::string& value);
    // The name datasets use; the database is registered under it (not while empty).
    const std::string& DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const std::string& value);
    // Name=Value lines sent with Nembra.Connect (DB_ALIAS=...).
    TStrings& Params() { return m_params; }
    bool Active() const { return m_active; }
    // Nothing when unchanged; True opens, False closes.
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    const std::string& ServerOS() const { return m_serverOS; }
    void SetServerOS(const std::string& value) { m_serverOS = value; }

    // --- Run-time state
    const std::string& DBHandle() const { return m_dbHandle; }
    const std::string& DriverName() const { return m_driverName; }
    bool InTransaction() const { return m_inTransaction; }
    // Identifier quote characters of generated SQL (empty unless set by code).
    const std::string& QuoteChars() const { return m_quoteChars; }
    void SetQuoteChars(const std::string& value) { m_quoteChars = value; }
    // The bound connection, or null.
    TNembraConnection* Connection() const { return m_connection; }
    // The bound connection, binding the one named ConnectionName; raises
    // "Connection not found: %s".
    TNembraConnection& GetConnection();

    // --- Calls
    // A JSON request on the database's connection, for the caller to run and
    // destroy; the connection must be active ("Connection is not active").
    std::unique_ptr<TNembraRequest> GetNembraRequest();
    // Clears list, then adds the names the server gives ("table",
    // "storedproc"...). Requires the database open.
    void GetObjectNames(const std::string& objectName, const std::string& objectType, TStrings& list);
    void GetTableNames(TStrings& list) { GetObjectNames("", "table", list); }
    // Rebuilds params from the stored procedure's declaration on the server.
    void GetProcedureParams(const std::string& name, TParams& params);
    void StartTransaction();
    void Commit();
    void Rollback();
    // Runs a statement; the answer is the server's "Result" (rows changed).
    int ExecSQL(const std::string& sql);
    int ExecSQL(const TStrings& sql);
    // Runs a script (scriptMode: statements ended by ";") with the server's
    // progress stream; the request's timings go to profiling when given.
    int ExecBatch(const TStrings& script, bool scriptMode, TNembraProfiling* profiling = nullptr);
    int ExecBatch(const std::string& script, bool scriptMode, TNembraProfiling* profiling = nullptr);
    // Kept for callers; they do nothing.
    void ExportTables() {}
    void ImportTables() {}

    // --- Open datasets
    int GetDataSetCount() const { return static_cast<int>(m_dataSets.size()); }
    TNembraDBDataSet* GetDataSets(int index) const;
    void AddActiveDataSet(TNembraDBDataSet* dataSet);
    void RemoveActiveDataSet(TNembraDBDataSet* dataSet);
    // Closes every open dataset, the last first.
    void CloseDataSets();

    // --- Registry
    // The first registered database of that name (without regard to case), or null.
    static TNembraDatabase* FindDatabaseByName(const std::string& name);
    // The same; raises "Database not found: %s".
    static TNembraDatabase& GetDatabaseByName(const std::string& name);

    // "Unable to perform this operation on inactive database" /
    // "Unable to perform this operation on an active database".
    void CheckActive() const;
    void CheckInActive() const;

  protected:
    // Nembra.Connect; the reply's DBHandle, ServerOS and DriverName.
    virtual void DoConnect();
    // Closes the datasets, sends Nembra.Close when a handle is held and the
    // connection is active (errors dropped), and becomes inactive.
    virtual void DoDisconnect();
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;

  private:
    void BindConnection(TNembraConnection* connection);
    // Closes without a call to the server.
    void CloseSilently();
    void RunOnDatabase(const char* procedure);
    int ExecuteStatement(const std::string& sql, bool batch, bool scriptMode, TNembraProfiling* profiling);

    std::string m_connectionName;
    std::string m_databaseName;
    TStringList m_params;
    bool m_active = false;
    std::string m_serverOS;
    std::string m_dbHandle;
    std::string m_driverName;
    bool m_inTransaction = false;
    std::string m_quoteChars;
    TNembraConnection* m_connection = nullptr;
    std::vector<TNembraDBDataSet*> m_dataSets;
};

// Moves `bound` to `connection` (null: none) for a component that listens to
// its connection: it leaves the old connection's listeners and destruction
// notices and joins the new one's.
void BindConnectionListener(TComponent& component, IMessageReceiver& receiver, TNembraConnection*& bound,
                            TNembraConnection* connection);

// The registry of named databases, used on the main thread only.
class TNembraDatabaseList
{
  public:
    int Count() const { return static_cast<int>(m_items.size()); }
    TNembraDatabase* Items(int index) const { return m_items.at(static_cast<size_t>(index)); }
    int IndexOf(const TNembraDatabase* database) const;
    void Add(TNembraDatabase* database);
    void Remove(TNembraDatabase* database);

  private:
    std::vector<TNembraDatabase*> m_items;
};

extern TNembraDatabaseList& NembraDatabases;
