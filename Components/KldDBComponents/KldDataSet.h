#pragma once
// TKldDataSet: one engine table shown as a dataset, so that data-aware
// controls, fields, bookmarks, filters, master/detail links and lookups work
// on it. It reads and writes the table's rows through a row set and keeps no
// copy of column values in its record buffers, only a reference to the row.
//
// Server-backed datasets derive from it and override the eight hooks at the
// end of the class: rows are fetched on demand through FetchRows, and
// changes go to the server through InsertRow / UpdateRow / DeleteRow before
// the table takes them. A hook that raises stops the operation before the
// table changes; the dataset stays in its edit or insert state.
//
// Record buffer (byte offsets):
//   0   int32  index of the record in the row set (-1 for a new record)
//   4   the row (a pointer)
//   4+P the bookmark flag (one byte)
//   then a bitmap of the fields that no column backs (bit set = has a value),
//   then their slots in field order.
// The first 4 + P + 1 bytes are the bookmark (P is the size of a pointer).
// Slots of text and blob fields hold counted text references; the other
// slots hold the field's value in its exchange format.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldData.h"
#include "platform/DB.h"

class TEvaluator;
class TKldDataSet;

// The stream of one blob value of a TKldDataSet. At creation the dataset
// first fetches the row's blobs when the row has drsBlobsNotFetched (in every
// mode, so that a later read cannot fetch over a value written here); read
// modes then load the value. Write modes keep changes until Commit (or Flush)
// writes the whole content back as the field's value. Destroying a modified
// stream commits too, but a failure there cannot reach the caller: it is
// logged, and code that must know commits first.
class TKldBlobStream : public TBlobStream
{
  public:
    TKldBlobStream(TField* field, TBlobStreamMode mode);
    ~TKldBlobStream() override;
    std::string ClassName() const override { return "TKldBlobStream"; }

    // Writes a modified content back as the field's value; the stream stays
    // modified when the write fails, so it can be committed again.
    void Commit();
    void Flush() override { Commit(); }
};

class TKldDataSet : public TDataSet
{
  public:
    explicit TKldDataSet(TComponent* owner = nullptr);
    ~TKldDataSet() override;
    std::string ClassName() const override { return "TKldDataSet"; }

    // --- The table -----------------------------------------------------------------
    // Without a container the dataset makes a private one with the table
    // "Table" while it is open. Changing the container or the table name
    // closes the dataset.
    TKldDataContainer* DataContainer() const noexcept { return m_dataContainer; }
    void SetDataContainer(TKldDataContainer* value);
    const std::string& DataTableName() const noexcept { return m_dataTableName; }
    void SetDataTableName(const std::string& value);
    // The table shown (null while closed) and the row of the active record.
    TKldDataTable* GetDataTable() const noexcept { return m_table; }
    TKldDataRow* GetDataRow();
    // The row the active record's `column` refers to (the table's null row
    // stands in for a missing record).
    TKldDataRow* GetReferencedRow(TKldDataColumn* column);

    // --- Settings --------------------------------------------------------------------
    bool AutoDisplayLabels() const noexcept { return m_autoDisplayLabels; }
    void SetAutoDisplayLabels(bool value) { m_autoDisplayLabels = value; }
    bool AutoFillDataTable() const noexcept { return m_autoFillDataTable; }
    void SetAutoFillDataTable(bool value) { m_autoFillDataTable = value; }
    bool IgnoreFilteringForLookup() const noexcept { return m_ignoreFilteringForLookup; }
    void SetIgnoreFilteringForLookup(bool value) { m_ignoreFilteringForLookup = value; }
    // Column names separated by "," (";" when the text holds one), each
    // optionally prefixed "+" or "-"; a change while open re-sorts at once.
    const std::string& OrderBy() const noexcept { return m_orderBy; }
    void SetOrderBy(const std::string& value);

    // --- Master/detail ------------------------------------------------------------
    TDataSource* MasterSource() const;
    // Raises "Circular DataLink" when the source would link the dataset to itself.
    void SetMasterSource(TDataSource* value);
    const std::string& MasterFields() const;
    void SetMasterFields(const std::string& value);
    const std::string& DetailFields() const noexcept { return m_detailFields; }
    void SetDetailFields(const std::string& value);
    TDataSource* GetDataSource() override { return MasterSource(); }
    // For design tools: every field of the master dataset and of this one.
    void GetDetailLinkFields(std::vector<TField*>& masterFields, std::vector<TField*>& detailFields);

    // --- Searching ---------------------------------------------------------------------
    bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) override;
    Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                   const std::string& resultFields) override;
    TKldDataRow* LocateObject(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
    bool FindRecord(bool restart, bool goForward) override;

    // --- Modification tests -------------------------------------------------------------
    bool IsRecordModified();
    bool IsDataModified();

    // --- Persistence and copying --------------------------------------------------------
    // Open the dataset and write or read its table's data (see KldDataStream.h).
    // A load checks the whole stream before the table is cleared, so a
    // malformed stream leaves the rows as they were.
    void SaveToStream(TStream& stream);
    void SaveToFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    // `data` is a two-dimensional array: the first index runs over the
    // fields, the second over name, field type ordinal, size and then the
    // records. Anything else raises before the dataset is touched.
    void LoadFromVariant(const Variant& data, bool replaceStructure);
    void CopyFrom(TDataSet* source, bool copyStructure);

    // --- Structure ------------------------------------------------------------------------
    void CreateFieldDefsFromFields();
    void CreateInternalDataColumns();
    void UpdateDisplayLabels();

    std::unique_ptr<TBlobStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
    bool IsSequenced() override { return true; }
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
    bool BookmarkValid(const TBookmark& bookmark) override;

    // --- The type maps -------------------------------------------------------------------
    // The field type made for a column type (ftUnknown: no field).
    static TFieldType FieldTypeForColumn(TKldDataType type);
    // The column type that stores a field type (cdtUnknown: none).
    static TKldDataType ColumnTypeForField(TFieldType type);
    // The definition size of a field type with a given length.
    static int FieldDefSize(TFieldType type, int length);

  protected:
    // ===== The remote hooks, with the answers of a local dataset =====
    // Called while opening, after the table is found and before the row set
    // is attached. True: the columns are made and the first rows loaded.
    virtual bool OpenRemoteCursor() { return false; }
    // The very last step of closing.
    virtual void CloseRemoteCursor() {}
    // Appends rows to the table and answers how many: 0 asks for one more
    // block, -1 for all remaining rows. Rows are appended inside the table's
    // bulk update with SetDataChangeSuppressed(true) until after it ended.
    virtual int FetchRows(int count) { return 0; }
    // Whether all rows are loaded (the base never asks).
    virtual bool FetchComplete() { return true; }
    // Loads the blob values of a row flagged drsBlobsNotFetched.
    virtual void FetchRowBlobs(TKldDataRow* row) {}
    // Before the table deletes the row; the answer is not used.
    virtual bool DeleteRow(TKldDataRow* row) { return false; }
    // Before the table stores a posted new row (or completes the update of
    // a row still flagged inserted); True makes the row accept its changes.
    virtual bool InsertRow(TKldDataRow* row) { return false; }
    // Before the table completes the update of an edited row (its edit copy
    // still shows what changed); True makes the row accept its changes.
    virtual bool UpdateRow(TKldDataRow* row) { return false; }

    // Set by a derived dataset while it appends fetched rows, so that the
    // table's data-changed notice does not refresh the dataset.
    bool DataChangeSuppressed() const noexcept { return m_suppressDataChange; }
    void SetDataChangeSuppressed(bool value) noexcept { m_suppressDataChange = value; }
    TKldRowSet& RowSet() noexcept { return *m_rowSet; }
    // The active record's index in the row set (-1 before the first).
    int CurrentIndex() const noexcept { return m_currentIndex; }

    // ===== The dataset protocol =====
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    void InternalInitRecord(TRecordBuffer buffer) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    void GetBookmarkData(TRecordBuffer buffer, void* data) override;
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) override;
    void InternalGotoBookmark(const void* bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() override;
    void InternalInitFieldDefs() override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalPost() override;
    void InternalDelete() override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalCancel() override;
    void InternalEdit() override;
    void InternalRefresh() override;
    bool GetFieldData(TField* field, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    int GetRecNo() override;
    void SetRecNoImpl(int value) override;
    int GetRecordCount() override;
    void SetFilterText(const std::string& value) override;
    void SetFilteredImpl(bool value) override;
    void DoOnNewRecord() override;
    void Notification(TComponent* component, TOperation operation) override;

  private:
    friend class TKldBlobStream;

    // How a field's exchange format meets its column's slot.
    enum TKldExchange : uint8_t
    {
        exCopy,    // the same bytes
        exText,    // a text reference <-> std::string
        exVariant, // converted through a Variant
    };
    struct TKldFieldInfo
    {
        TField* Field = nullptr;
        TKldDataColumn* Column = nullptr; // null: the value lives in the record buffer
        TKldExchange Exchange = exVariant;
        int CopySize = 0;
        int Bit = 0;     // bit in the buffer's bitmap (fields without column)
        int Offset = -1; // slot offset (fields without column; -1: no slot)
        int SlotSize = 0;
        bool TextSlot = false;
        bool CutText = false; // ftString: cut to the field's size
    };

    // Buffer access.
    static int32_t BufIndex(TRecordBuffer buffer);
    static void SetBufIndex(TRecordBuffer buffer, int32_t index);
    static TKldDataRow* BufRow(TRecordBuffer buffer);
    static void SetBufRow(TRecordBuffer buffer, TKldDataRow* row);
    void ReleaseSlots(TRecordBuffer buffer);
    void FillBuffer(TRecordBuffer buffer, int index, TKldDataRow* row);

    void BuildFieldInfos();
    const TKldFieldInfo* FindInfo(const TField* field) const;
    TRecordBuffer RecordForState();
    bool ReadColumn(const TKldFieldInfo& info, TKldDataRow* row, void* buffer);
    void WriteColumn(const TKldFieldInfo& info, TKldDataRow* row, const void* buffer);
    bool ReadOldValue(const TKldFieldInfo& info, void* buffer);

    void CreatePrivateContainer();
    void RebuildEvaluator();
    void ApplyOrderBy();
    void RowSetNotify(TObject* sender, TKldDataEventType event);
    void FilterRow(TKldDataRow* row, bool& accept);
    // The row's position in the row set, -1 when absent (pointers only).
    int RowPosition(const TKldDataRow* row) const;
    void MoveToRow(TKldDataRow* row);
    void PresetRequiredFields();
    void MasterChanged();
    void MasterDisabled();
    void SyncMaster();
    Variant MasterValues() const;
    void CancelPending();

    int m_recordBufferSize = 0;
    int m_bitmapOffset = 0;
    int m_slotsOffset = 0;
    std::vector<TKldFieldInfo> m_fieldInfos;
    int m_currentIndex = -1;
    bool m_cursorOpen = false;
    std::unique_ptr<TKldDataRow> m_pendingRow;
    // The row a new record was started before (compared, never read).
    const TKldDataRow* m_insertAnchor = nullptr;
    std::unique_ptr<TKldDataContainer> m_privateContainer;
    // A private container closed from inside its own notice: kept until the
    // next open, since the container is still running when the dataset closes.
    std::unique_ptr<TKldDataContainer> m_retiredContainer;
    TKldDataContainer* m_dataContainer = nullptr;
    std::unique_ptr<TKldRowSet> m_rowSet;
    TKldDataTable* m_table = nullptr;
    std::string m_dataTableName;
    std::unique_ptr<TMasterDataLink> m_masterLink;
    std::string m_detailFields;
    bool m_autoDisplayLabels = true;
    bool m_autoFillDataTable = false;
    std::string m_orderBy;
    std::unique_ptr<TEvaluator> m_evaluator;
    bool m_ignoreFilteringForLookup = false;
    bool m_deleting = false;
    bool m_suppressDataChange = false;
    int m_notifyDepth = 0;
    // Buffers of their own for the row under a filter test and for lookups;
    // the state dsFilter reads the one m_tempBuffer points to.
    TRecordBuffer m_filterBuffer = nullptr;
    TRecordBuffer m_lookupBuffer = nullptr;
    TRecordBuffer m_tempBuffer = nullptr;
};
