#pragma once
// `TNembraDBDataSet`: the base of the datasets whose rows live on the
// server. Part of the unit NembraDBDataSets; include
// "Components/Nembra/NembraDBDataSets.h".
//
// Opening sends the fetch of the first page (what the concrete class opens
// the cursor on: TNembraQuery, TNembraTable, TNembraStoredProc,
// TNembraPlugin), keeps the server's cursor handle and appends the page's
// rows to the dataset's table inside a bulk update, so they count as
// unchanged. Moving past the last loaded row fetches the next page (FetchBy
// rows, at least the rows the attached controls show; -1: all at once),
// until the reply has no handle or says "eof". Closing sends Nembra.Close
// for a held handle (errors dropped).
//
// Blobs on demand: with FetchBlobs off, pages come without memo and blob
// values and a row's values are loaded when they are first read. The server
// is asked for the row by its 0-based place in the whole result of the
// cursor, as it was when the row was fetched: the row's index in the local
// table would name another record once rows were deleted or re-ordered here.
//
// Edits (ServerUpdate): a posted insert, update or delete is sent as an SQL
// statement over the table's fields ("tablefields" of the first reply, asked
// for with TableName) through Nembra.QueryExecute; the change is accepted
// locally once the server took it. KeyFieldName identifies rows by one key
// column; without it by the old values of all ordinary columns.
//
// The dataset listens to its connection: when it disconnects, the dataset
// lets the connection go and keeps its rows. A destroyed database or
// connection unbinds itself. Main thread only; requests are synchronous.

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraDataSet.h"

#include "platform/Collection.h"
#include "platform/Messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

class TJSONArray;
class TNembraDatabase;

// A field shown from another table; stored with forms, nothing reads it.
class TNembraLinkedField : public TCollectionItem
{
  public:
    std::string ClassName() const override { return "TNembraLinkedField"; }
    void Assign(const TPersistent& source) override;
    std::string DisplayName() const override { return FieldName.empty() ? ClassName() : FieldName; }

    std::string FieldName;
    std::string FieldAlias;
    std::string DisplayTableName;
    std::string DisplayPrimaryKey;
    std::string DisplayFieldName;
};

class TNembraLinkedFields : public TOwnedCollection
{
  public:
    explicit TNembraLinkedFields(TPersistent* owner)
        : TOwnedCollection(owner, CollectionItemClass<TNembraLinkedField>())
    {
    }
    std::string ClassName() const override { return "TNembraLinkedFields"; }
    TNembraLinkedField* Items(int index) const { return static_cast<TNembraLinkedField*>(TCollection::Items(index)); }
};

class TNembraDBDataSet : public TNembraDataSet, public IMessageReceiver
{
  public:
    explicit TNembraDBDataSet(TComponent* owner = nullptr);
    ~TNembraDBDataSet() override;
    std::string ClassName() const override { return "TNembraDBDataSet"; }

    // --- Stored settings
    // The database, found in NembraDatabases on first use. A name that
    // differs without regard to case unbinds the current database.
    const std::string& DatabaseName() const { return m_databaseName; }
    void SetDatabaseName(const std::string& value);
    // Page size: 0 takes the connection's DefaultFetchSize, a negative value
    // fetches everything at once.
    int FetchBy() const { return m_fetchBy; }
    void SetFetchBy(int value) { m_fetchBy = value; }
    // False: pages come without memo and blob values (loaded per row on first
    // read). Changing it requires the dataset closed.
    bool FetchBlobs() const { return m_fetchBlobs; }
    void SetFetchBlobs(bool value);
    bool ShowWaitCursor() const { return m_showWaitCursor; }
    void SetShowWaitCursor(bool value) { m_showWaitCursor = value; }
    // The statement's parameters.
    TParams& Params() { return m_params; }
    void SetParams(const TParams& value) { m_params.Assign(value); }
    // Asks the server for a progress stream.
    bool ReportProgress() const { return m_reportProgress; }
    void SetReportProgress(bool value) { m_reportProgress = value; }
    // Send posted changes to the server.
    bool ServerUpdate() const { return m_serverUpdate; }
    void SetServerUpdate(bool value) { m_serverUpdate = value; }
    TNembraLinkedFields& LinkedFields() { return m_linkedFields; }
    void SetLinkedFields(const TNembraLinkedFields& value) { m_linkedFields.Assign(value); }
    // Stored with forms; nothing reads them.
    bool AllowMemoryPost = false;
    bool BufferInserts = false;
    std::string _DesignFilter;

    // --- Run-time state
    // Result count of the last execute or edit.
    int64_t RowsAffected() const { return m_rowsAffected; }
    // The key column of generated UPDATE and DELETE statements.
    const std::string& KeyFieldName() const { return m_keyFieldName; }
    void SetKeyFieldName(const std::string& value) { m_keyFieldName = value; }
    // The table edits address; the dataset must be closed to change it.
    const std::string& TableName() const { return m_tableName; }
    void SetTableName(const std::string& value);
    // The server cursor ('' when none is held).
    const std::string& Handle() const { return m_handle; }
    bool FetchCompleted() const { return m_fetchComplete; }
    // A field definition of a type from ftBlob to ftOraClob exists.
    bool HasBlobs() const { return m_hasBlobs; }
    // The definitions of TableName's columns (null until the server sent them).
    const TFieldDefs* TableFieldDefs() const { return m_tableFieldDefs.get(); }
    // The timings of the last request, and the milliseconds the last page took to load.
    const TNembraProfiling& Profiling() const { return m_profiling; }
    int64_t PageLoadTime() const { return m_pageLoadTime; }

    // --- Database and connection
    // The bound database, else the one registered under DatabaseName (bound then); null when none.
    TNembraDatabase* GetDatabase();
    // Binds database (null unbinds); a different one closes the dataset first.
    void SetDatabase(TNembraDatabase* database);
    // The bound connection, else the one named by GetConnectionName (bound
    // then); raises "Connection not found: %s".
    TNembraConnection& GetConnection();
    // The database (when one is required) and the connection must be there
    // and active; a closed database is opened.
    void CheckDatabaseActive();
    // Closes the server cursor but keeps the rows.
    void Disconnect();
    // Clears fieldDefs and adds one definition per {Name, DataType, Size}.
    static void FieldDefsFromJSON(TFieldDefs& fieldDefs, const TJSONArray& arr);

    // --- The operations of the concrete classes, in their slot order
    virtual std::string GetConnectionName();
    virtual void SetConnectionName(const std::string& value);
    // A request of the dataset: DBDataSetName, ReportProgress, the wait cursor.
    virtual std::unique_ptr<TNembraRequest> GetNembraRequest();
    // Nembra.QueryFetch with DBHandle, Handle, FetchCount (count >= 0),
    // FetchBlobs "False" and, until the table's fields are known, TableName.
    virtual std::unique_ptr<TNembraRequest> GetFetchRequest(int count);
    // Nembra.QueryExecute with DBHandle and Handle.
    virtual std::unique_ptr<TNembraRequest> GetExecuteRequest();
    virtual void GetDeleteSQL(TKldDataRow* row, TParams& params, std::string& sql);
    virtual void GetInsertSQL(TKldDataRow* row, TParams& params, std::string& sql);
    virtual void GetUpdateSQL(TKldDataRow* row, TParams& params, std::string& sql);
    // Sends the generator's statement with its parameters.
    virtual void ExecuteCRUDOperation(TKldDataRow* row, TNembraDataChangeType changeType,
                                      const TNembraSQLGenerator& generator);
    // Raises "<class> does not support Execute".
    virtual void InternalExecute(bool prepared);
    // FetchBy, or the connection's default for 0; a positive size is at least
    // the record buffer count.
    virtual int InternalGetFetchBy();
    virtual void Execute();
    virtual void ExecutePrepared();
    virtual void UpdateParams() {}
    virtual bool IsDatabaseRequired() { return true; }

  protected:
    bool OpenRemoteCursor() override;
    void CloseRemoteCursor() override;
    int FetchRows(int count) override;
    bool FetchComplete() override { return m_fetchComplete; }
    void FetchRowBlobs(TKldDataRow* row) override;
    bool DeleteRow(TKldDataRow* row) override;
    bool InsertRow(TKldDataRow* row) override;
    bool UpdateRow(TKldDataRow* row) override;
    // Hides the InvisibleFields once the fields exist.
    void InternalOpen() override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;

    // The edit statements' settings for this dataset.
    TNembraEditSQL EditSQL();
    // Keeps a request's timings; RowsAffected from the reply's "RowsAffected".
    void TakeReply(TNembraRequest& request, bool rowsAffected);
    // The reply of an execute: timings, RowsAffected and the output
    // parameters of its "Params" object ("Value is not an object" without one).
    void TakeExecuteReply(TNembraRequest& request);
    void SetRowsAffected(int64_t value) { m_rowsAffected = value; }
    bool IsLoading() const { return ComponentState().Contains(csLoading); }

    // Binds connection (null: none): the dataset leaves the old one's
    // listeners and destruction notices and joins the new one's.
    void BindConnection(TNembraConnection* connection);

  private:
    // Runs fill inside the table's bulk update with the data-change notice
    // suppressed, both ended also when it fails.
    void InBulkUpdate(TKldDataTable* table, const std::function<void()>& fill);
    // Sends Nembra.Close for a held cursor (errors dropped) and forgets it.
    void CloseServerCursor();
    int AppendRows(TJSONObject& data);

    std::string m_databaseName;
    int m_fetchBy = 0;
    bool m_fetchBlobs = true;
    bool m_showWaitCursor = false;
    TParams m_params;
    bool m_reportProgress = false;
    bool m_serverUpdate = false;
    TNembraLinkedFields m_linkedFields;

    int64_t m_rowsAffected = 0;
    std::string m_keyFieldName;
    std::string m_tableName;
    std::string m_handle;
    bool m_fetchComplete = true;
    bool m_columnsMade = false;
    bool m_hasBlobs = false;
    std::unique_ptr<TFieldDefs> m_tableFieldDefs;
    TNembraProfiling m_profiling;
    int64_t m_pageLoadTime = 0;
    // Rows fetched from the current cursor, and the place in its result of
    // each row that still waits for its blob values.
    int m_fetchedRows = 0;
    std::unordered_map<const TKldDataRow*, int> m_blobRows;

    TNembraDatabase* m_database = nullptr;
    TNembraConnection* m_connection = nullptr;
};
