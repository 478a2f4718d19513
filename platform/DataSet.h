#pragma once
// `TDataSet`: a cursor over records with states, a ring of record buffers, a
// field list and data sources that tell controls about changes. A dataset
// holds no data itself: a descendant supplies records through the protected
// virtual protocol below (docs/dataset-framework.md describes how one plugs
// in).
//
// The record buffers: BufferCount buffers (at least 1; the largest buffer
// count any data link asks for) plus one spare, allocated by the descendant
// (AllocRecordBuffer) and filled by GetRecord. BufferedCount() buffers hold
// valid records; ActiveRecord() is the buffer whose record the fields show.
// The cursor of the descendant is kept on the buffer CurrentRecord; moving it
// to another buffer goes through InternalSetToRecord (or InternalFirst /
// InternalLast for the BOF/EOF flags).
//
// Editing: Edit/Insert/Append put the dataset into dsEdit/dsInsert; Post
// puts the cursor on the active buffer and calls InternalPost (whose base
// checks required fields); Cancel calls InternalCancel.
// Every navigation first ends an edit (CheckBrowseMode: posts when modified,
// else cancels). Errors keep the dataset in the state it was in.
//
// A descendant must call Close() in its own destructor: the virtual protocol
// is gone by the time ~TDataSet runs.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Component.h"
#include "platform/DBTypes.h"
#include "platform/FieldDefs.h"
#include "platform/Fields.h"
#include "platform/Variants.h"

class TDataSet;
class TDataSource;
class TDataLink;
class TStrings;

using TDataSetNotifyEvent = std::function<void(TDataSet* dataSet)>;
using TFilterRecordEvent = std::function<void(TDataSet* dataSet, bool& accept)>;

class TDataSet : public TComponent
{
  public:
    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;
    std::string ClassName() const override { return "TDataSet"; }

    // --- Opening and state
    bool Active() const { return m_state != dsInactive && m_state != dsOpening; }
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return m_state; }
    bool Modified() const { return m_modified; }
    // Raises "Cannot perform this operation on a closed dataset".
    void CheckActive() const;
    // Raises "Cannot perform this operation on an open dataset".
    void CheckInactive() const;

    // --- Navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves by `distance` records; answers how far it moved (negative backwards).
    int MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const { return m_activeRecord >= m_recordCount; }
    // 1-based number of the active record; -1 when the descendant cannot tell.
    int RecNo() { return GetRecNo(); }
    void SetRecNo(int value) { SetRecNoImpl(value); }
    // Records in the dataset; -1 when the descendant cannot tell.
    int RecordCount() { return GetRecordCount(); }
    virtual bool IsSequenced() { return true; }

    // --- Bookmarks
    bool BookmarkAvailable();
    // Empty when no bookmark is available.
    TBookmark GetBookmark();
    // An empty bookmark does nothing; one that no longer exists raises "Record not found".
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
    virtual bool BookmarkValid(const TBookmark& bookmark);
    // -1, 0 or 1; an empty bookmark orders first. The default compares the bytes.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);
    TBookmarkStr Bookmark() { return GetBookmark(); }
    void SetBookmark(const TBookmarkStr& value) { GotoBookmark(value); }
    int BookmarkSize() const { return m_bookmarkSize; }

    // --- Editing
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Ends an edit: posts a modified record, cancels an unmodified one.
    void CheckBrowseMode();
    // Lets the controls write their pending values into the fields.
    void UpdateRecord();
    void Refresh();
    void Resync(TResyncMode mode);
    // Adds a record with the values in field order (Empty skips a field) in
    // one step: a buffer is prepared in dsInsert state without OnNewRecord or
    // notices to controls, filled, and given to InternalAddRecord; the
    // dataset is then back in browse state on the new record. A failure
    // leaves it in browse state where it was.
    void InsertRecord(const std::vector<Variant>& values);
    void AppendRecord(const std::vector<Variant>& values);
    void SetFields(const std::vector<Variant>& values);
    void ClearFields();
    bool CanModify() { return GetCanModify(); }
    // Raises "Cannot modify a read-only dataset" when CanModify is false.
    void CheckCanModify();

    // --- Fields
    TFields& Fields() { return m_fields; }
    const TFields& Fields() const { return m_fields; }
    int FieldCount() const { return m_fields.Count(); }
    TFieldDefs& FieldDefs() { return *m_fieldDefs; }
    TField* FindField(const std::string& fieldName) const { return m_fields.FindField(fieldName); }
    // Raises "Field '%s' not found" (prefixed with the dataset's name).
    TField* FieldByName(const std::string& fieldName) const;
    TField* FieldByNumber(int fieldNo) const { return m_fields.FieldByNumber(fieldNo); }
    // "A;B": the named fields in order; raises for a missing one.
    std::vector<TField*> GetFieldList(const std::string& fieldNames) const;
    void GetFieldNames(TStrings& list) const { m_fields.GetFieldNames(list); }
    // One name: the value; several ("A;B"): an array of the values.
    Variant FieldValues(const std::string& fieldNames);
    void SetFieldValues(const std::string& fieldNames, const Variant& value);
    // True when the fields were made from the definitions at open.
    bool DefaultFields() const { return m_defaultFields; }
    // Asks the descendant for the field definitions (dataset may be closed).
    void InitFieldDefs();

    // --- Calculated fields
    bool AutoCalcFields() const { return m_autoCalcFields; }
    void SetAutoCalcFields(bool value) { m_autoCalcFields = value; }

    // --- Filters and searching
    const std::string& Filter() const { return m_filterText; }
    void SetFilter(const std::string& value) { SetFilterText(value); }
    bool Filtered() const { return m_filtered; }
    void SetFiltered(bool value) { SetFilteredImpl(value); }
    TFilterOptions FilterOptions() const { return m_filterOptions; }
    void SetFilterOptions(TFilterOptions value) { SetFilterOptionsImpl(value); }
    bool FindFirst();
    bool FindLast();
    bool FindNext();
    bool FindPrior();
    // The answer of the last Find*.
    bool Found() const { return m_found; }
    // Searches from the first record (Restart) or the active one, forward or
    // back, for a record that OnFilterRecord accepts; moves there when found.
    virtual bool FindRecord(bool restart, bool goForward);
    // Moves to the first record whose KeyFields ("A;B") equal KeyValues (an
    // array for several fields); stays where it was when none does.
    virtual bool Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options);
    // The ResultFields values of the first matching record (Null when none);
    // the position does not change.
    virtual Variant Lookup(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields);

    // --- Blobs
    // The default stream exchanges the whole value as one std::string with
    // GetFieldData/SetFieldData. Write modes need an edit state.
    virtual std::unique_ptr<TBlobStream> CreateBlobStream(TField* field, TBlobStreamMode mode);

    // --- Controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount != 0; }
    // The master data source a descendant follows (null: none).
    virtual TDataSource* GetDataSource() { return nullptr; }
    // True when `dataSource` shows this dataset or one of its masters does.
    bool IsLinkedTo(TDataSource* dataSource);

    // --- The buffer ring, for data links and grids
    int BufferCount() const { return m_bufferCount; }
    // The largest buffer count the attached data links ask for (at least 1):
    // the ring's size once the dataset is open, known before it opens.
    int LinkedBufferCount() const;
    // Valid records in the ring.
    int BufferedCount() const { return m_recordCount; }
    int ActiveRecord() const { return m_activeRecord; }
    TRecordBuffer ActiveBuffer() const;

    // --- Events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;

  protected:
    // ===== The protocol a descendant implements =====
    // Record buffers: allocate, free and initialise (for a new record).
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    // Fills `buffer` with the current, next or prior record and moves the
    // cursor there. grBOF/grEOF when there is none; grError for a failure,
    // which should raise "Record not found" when `doCheck` is set.
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    // Bookmarks: BookmarkSize bytes taken from and put into a buffer.
    virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) = 0;
    // Puts the cursor on the record of the bookmark / of the buffer.
    virtual void InternalGotoBookmark(const void* bookmark) = 0;
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    // Cursor: open (make definitions, fields and bind them, set BookmarkSize),
    // close (unbind and destroy default fields), and whether it is open.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() = 0;
    virtual void InternalInitFieldDefs() = 0;
    // Puts the cursor before the first / after the last record.
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    // Edits. InternalPost of the base checks the required fields; overrides call it first.
    virtual void InternalPost();
    virtual void InternalDelete() = 0;
    // Stores the record prepared in `buffer` (the active buffer, in dsInsert
    // state) by InsertRecord/AppendRecord, before the cursor's record or at
    // the end. The default posts it as an insert (InternalPost).
    virtual void InternalAddRecord(TRecordBuffer buffer, bool append);
    virtual void InternalCancel() {}
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalRefresh() {}
    virtual void InternalHandleException();
    // Field values in the exchange format of Fields.h; false when Null. A
    // null buffer in GetFieldData only asks whether there is a value; in
    // SetFieldData it makes the value Null. SetFieldData must end with
    // DataEvent(deFieldChange, field).
    virtual bool GetFieldData(TField* field, void* buffer) = 0;
    virtual void SetFieldData(TField* field, const void* buffer) = 0;
    // Calculated fields: clear their storage in `buffer`.
    virtual void ClearCalcFields(TRecordBuffer buffer) {}
    // Computes calculated and lookup fields of `buffer` in dsCalcFields;
    // descendants call it for each record they fill.
    virtual void GetCalcFields(TRecordBuffer buffer);
    virtual int GetRecNo() { return -1; }
    virtual void SetRecNoImpl(int value) {}
    virtual int GetRecordCount() { return -1; }
    virtual bool GetCanModify() { return true; }
    // Settings a descendant reacts to; the base stores them.
    virtual void SetFilterText(const std::string& value);
    virtual void SetFilteredImpl(bool value);
    virtual void SetFilterOptionsImpl(TFilterOptions value);
    // The base opens by: InternalOpen, then the ring; override to add steps
    // around it (call the base).
    virtual void OpenCursor(bool infoQuery);
    virtual void CloseCursor();
    // Initialises a buffer for a new record: InternalInitRecord,
    // ClearCalcFields and the bfInserted flag.
    virtual void InitRecord(TRecordBuffer buffer);
    virtual void DoOnNewRecord();
    // Fans the event out to the data sources (and keeps Modified and the
    // calculated fields current).
    virtual void DataEvent(TDataEvent event, intptr_t info);

    // ===== Services for descendants =====
    void SetBookmarkSize(int value) { m_bookmarkSize = value; }
    // Makes default fields from the definitions (used when DefaultFields).
    virtual void CreateFields();
    virtual void DestroyFields();
    // Binds data fields to their definitions (FieldNo, type check) and
    // prepares calculated and lookup fields; false unbinds.
    virtual void BindFields(bool binding);
    // Raises "Field '%s' must have a value" for a null required data field.
    void CheckRequiredFields();
    void SetState(TDataSetState value);
    // Changes the state for a moment without telling anyone.
    TDataSetState SetTempState(TDataSetState value);
    void RestoreState(TDataSetState value);
    void SetModified(bool value) { m_modified = value; }
    void SetCurrentRecord(int index);
    int CurrentRecord() const { return m_currentRecord; }
    void UpdateCursorPos();
    void CursorPosChanged() { m_currentRecord = -1; }
    void ClearBuffers();
    TRecordBuffer Buffers(int index) const { return m_buffers[static_cast<size_t>(index)]; }
    // The spare buffer past the valid ones.
    TRecordBuffer TempBuffer() const { return m_buffers[static_cast<size_t>(m_recordCount)]; }
    // The buffer being calculated (valid in dsCalcFields).
    TRecordBuffer CalcBuffer() const { return m_calcBuffer; }
    bool HasCalcFields() const { return m_hasCalcFields; }
    // Reads a field's value in another state (dsOldValue, dsNewValue...).
    Variant GetStateFieldValue(TDataSetState state, TField* field);
    // Calls OnFilterRecord (accept stays true without a handler).
    bool DoFilterRecord();
    // For FindRecord overrides: the answer Found() gives.
    void SetFound(bool value) { m_found = value; }
    void DoBeforeScroll();
    void DoAfterScroll();

  private:
    friend class TField;
    friend class TFields;
    friend class TDataSource;
    friend class TDataLink;
    friend class TBlobStream;

    void DoInternalOpen();
    void OpenCursorComplete();
    void SetBufListSize(int value);
    void SetBufferCount(int value);
    void UpdateBufferCount();
    void MoveBuffer(int curIndex, int newIndex);
    void ActivateBuffers();
    bool GetNextRecord();
    bool GetPriorRecord();
    int GetNextRecords();
    int GetPriorRecords();
    void BeginInsertAppend();
    void DoInsertAppendRecord(const std::vector<Variant>& values, bool append);
    void EndInsertAppend();
    void CalculateFields(TRecordBuffer buffer);
    void FieldListChanged();
    void AddDataSource(TDataSource* dataSource);
    void RemoveDataSource(TDataSource* dataSource);
    static void Fire(const TDataSetNotifyEvent& event, TDataSet* self);
    // Scans from the first record for a match; restores the position when
    // `moveThere` is false or nothing matched.
    bool ScanFor(const std::string& keyFields, const Variant& keyValues, TLocateOptions options,
                 bool moveThere, const std::function<void()>& onFound);

    TFields m_fields{this};
    std::unique_ptr<TFieldDefs> m_fieldDefs;
    std::vector<TDataSource*> m_dataSources;
    std::vector<TRecordBuffer> m_buffers;
    int m_bufferCount = 0;
    int m_recordCount = 0;
    int m_activeRecord = 0;
    int m_currentRecord = -1;
    int m_bookmarkSize = 0;
    bool m_bof = true;
    bool m_eof = true;
    TDataSetState m_state = dsInactive;
    bool m_modified = false;
    bool m_internalOpenComplete = false;
    bool m_defaultFields = false;
    bool m_autoCalcFields = true;
    bool m_hasCalcFields = false;
    bool m_found = false;
    int m_disableCount = 0;
    TDataSetState m_disableState = dsInactive;
    TDataEvent m_enableEvent = deDataSetChange;
    TRecordBuffer m_calcBuffer = nullptr;
    std::string m_filterText;
    bool m_filtered = false;
    TFilterOptions m_filterOptions;
};
