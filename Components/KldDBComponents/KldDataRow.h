#pragma once
// TKldDataRow: one row of an engine table. A row holds a value buffer laid out
// by its table's columns (an assigned bitmap, then one slot per column), a set
// of state flags, and up to three private copies of its values: the original
// (before the first change since the last accept), the edit copy (at
// BeginEdit) and the transaction rollback copy.
//
// Port notes: the buffer lives in the same block as the row, taken from its
// table's row pool, so a row is made only by its table (NewRow), after the
// table is prepared. A row "without buffer" has every column NULL; making the
// buffer zero-fills it.
//
// Buffer layout (TKldRowLayout): the fixed slots, widest alignment first so
// that no padding is needed (SmallInt and Boolean 16-bit, Integer 32-bit,
// LargeInt 64-bit, the float and date types as doubles, Guid as TGUID, BCD
// as TBcd, SQLTimeStamp as TSQLTimeStamp; a Reference slot holds nothing),
// then the assigned bitmap, then the text area (TKldTextArea) with the
// String, WideString, Memo and Blob values. The area's room is chosen when
// the row is made, from what the table's stored rows needed; a text that
// does not fit is kept outside the row. A row names its table by the table's
// number, so the whole header is 16 bytes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Components/KldDBComponents/KldDataCompare.h"
#include "Components/KldDBComponents/KldDataTableIds.h"
#include "Components/KldDBComponents/KldDataTextArea.h"
#include "Components/KldDBComponents/KldDataTypes.h"
#include "platform/Persistent.h"

class TKldDataColumn;
class TKldDataContainer;
class TKldDataTable;

enum TKldDataRowState
{
    drsInserted,
    drsUpdated,
    drsDeleted,
    drsStored,
    drsEditing,
    drsNeedRefresh,
    drsBlobsNotFetched
};
using TKldDataRowStates = KldSet<TKldDataRowState, uint8_t>;

// Entry i: the column of the receiving table that takes the source table's
// column i, or nullptr (see TKldDataTable::CreateColumnMap).
using TKldColumnMap = std::vector<TKldDataColumn*>;

// Where a row buffer keeps what (see the port notes above).
struct TKldRowLayout
{
    struct Slot
    {
        TKldDataType Type;
        uint32_t Offset;
        int TextIndex; // entry in the text area, -1 for other types
        bool operator==(const Slot&) const = default;
    };
    std::vector<Slot> Slots; // by column
    uint32_t BitsOffset = 0;
    uint32_t TextOffset = 0; // the fixed part's size
    int TextCount = 0;
};

class TKldWriter;
class TKldReader;

// One entry of the column map of a table read from a stream: the matching
// column (nullptr when missing or of another type) and the stored data type.
struct TKldColumnMapInfo
{
    TKldDataColumn* Column = nullptr;
    TKldDataType DataType = cdtUnknown;
};
using TKldColumnMapInfos = std::vector<TKldColumnMapInfo>;

class TKldRowPool;

// Where a row is allocated, and the size of the buffer that follows it.
struct TKldRowBlock
{
    TKldRowPool* Pool;
    size_t BufferSize;
};

class TKldDataRow final : public TObject
{
public:
    ~TKldDataRow() override;
    std::string ClassName() const override { return "TKldDataRow"; }

    // Rows live in one pool block with their buffer; see TKldDataTable::NewRow.
    // The block's pool is found through the table before the row is destroyed.
    static void operator delete(TKldDataRow* row, std::destroying_delete_t) noexcept;

    TKldDataTable* Table() const noexcept { return KldTableIds::Table(m_tableId); }
    TKldDataContainer* GetDataContainer() const;

    // --- Low-level buffer access --------------------------------------------
    bool HasBuffer() const noexcept { return m_hasBuffer; }
    void InitBuffer();
    void FreeBuffer() noexcept;
    // The table's buffer size for this row's layout (slots and bitmap).
    int GetBufferSize() const noexcept;
    // Bytes of the block after the row header: the buffer and the text area.
    int Capacity() const noexcept { return static_cast<int>(m_capacity); }
    bool InternalGetAssigned(const TKldDataColumn* column) const;
    void InternalSetAssigned(const TKldDataColumn* column, bool value);
    // The column's slot; makes the buffer first when `create`; nullptr without buffer.
    void* InternalGetDataPtr(const TKldDataColumn* column, bool create);
    // `value` points to a value in slot format (a text value for the text
    // types, see KldTextView), nullptr for NULL.
    void InternalSetColumnData(const TKldDataColumn* column, const void* value);
    // Copies the column's slot to `dest` (zeros for NULL); a text comes as a
    // TKldStoredString pointer with a reference of its own that the caller
    // releases.
    void InternalGetColumnData(const TKldDataColumn* column, void* dest) const;
    void InternalCopyBuffer(const TKldDataRow& source);
    void InternalClear();
    // The stored value of `column`, nullptr when NULL; no placeholder refresh.
    // A text column gives its text value (KldTextView), valid until the row's
    // texts change.
    const void* ValuePtr(const TKldDataColumn* column) const noexcept;

    // --- State ---------------------------------------------------------------
    bool GetState(TKldDataRowState state) const noexcept { return m_state.Contains(state); }
    void SetState(TKldDataRowState state, bool value) noexcept { m_state.Set(state, value); }
    TKldDataRowStates State() const noexcept { return m_state; }
    void SetStates(TKldDataRowStates states) noexcept { m_state = states; }
    int GetIndex() const;

    // --- Values ----------------------------------------------------------------
    bool GetAssignedValue(const TKldDataColumn* column) const;
    void SetAssignedValue(const TKldDataColumn* column, bool value);
    void* GetDataPtr(const TKldDataColumn* column, bool forWrite);
    // Slot-format access; GetColumnData answers whether the column has a value.
    // GetDataPtr gives text values for reading only (a write pointer to a text
    // column raises): texts are written through SetColumnData or SetValue.
    // SetColumnData takes a text as a text value (what ValuePtr gives), while
    // GetColumnData copies one out as an owned TKldStoredString*: to write such
    // a copy back, pass TKldStoredString::Value(copy).
    bool GetColumnData(const TKldDataColumn* column, void* dest);
    void SetColumnData(const TKldDataColumn* column, const void* value);

    Variant GetValue(const TKldDataColumn* column);
    void SetValue(const TKldDataColumn* column, const Variant& value);
    Variant GetAsVariant(const std::string& columnName);
    void SetAsVariant(const std::string& columnName, const Variant& value);
    std::string GetAsString(const TKldDataColumn* column);
    void SetAsString(const TKldDataColumn* column, const std::string& text);

    Variant GetValues(const TKldColumnArray& columns);
    Variant GetRowValues();
    void SetValues(const TKldColumnArray& columns, const Variant& values);
    void SetRowValues(const Variant& values);

    void AssignColumn(const TKldDataRow* source, const TKldDataColumn* column);
    void AssignColumn(const TKldDataRow* source, const TKldDataColumn* sourceColumn, const TKldDataColumn* column);
    void Assign(const TKldDataRow* source);
    void Assign(const TKldDataRow* source, const TKldColumnMap& columnMap);
    // One column NULL, or every column with nullptr.
    void Clear(const TKldDataColumn* column);

    bool IsModified() const;
    bool IsModified(const TKldColumnArray& columns) const;
    bool AssignedValues(const TKldColumnArray& columns) const;

    // --- Versions and editing --------------------------------------------------
    Variant GetOriginalValue(const TKldDataColumn* column);
    void SaveOriginalValue();
    void CheckNeedRefresh();
    void BeginEdit();
    void EndEdit();
    void CancelEdit();
    void AcceptChanges();
    void RejectChanges();

    TKldDataRow* OriginalRow() const noexcept { return m_hasCopies ? CopiesPtr()->original.get() : nullptr; }
    TKldDataRow* EditRow() const noexcept { return m_hasCopies ? CopiesPtr()->edit.get() : nullptr; }
    TKldDataRow* RollbackRow() const noexcept { return m_hasCopies ? CopiesPtr()->rollback.get() : nullptr; }
    // Drops the edit copy (the table does so after reporting a completed update).
    void DropEditCopy() noexcept;

    // Deletes a stored row through its table; destroys a row that is not stored.
    void Delete();
    // Inserts the row into its table.
    TKldDataRow* Store();
    TKldDataRow* GetReferencedRow(const TKldDataColumn* column);

    // --- Persistence -----------------------------------------------------------
    // Writes the values (not the states nor the copies).
    void WriteData(TKldWriter& writer) const;
    // Reads the values of one stored row, entry by entry of `columnMap`.
    void ReadData(TKldReader& reader, const TKldColumnMapInfos& columnMap);

    // --- Transactions (driven by the container) ------------------------------
    bool ModifiedByTransaction() const noexcept { return RollbackRow() != nullptr; }
    void TransactionSave();
    void TransactionRollback();
    void TransactionDiscardRollback() noexcept;

    // The private copies of a row. Few rows have any, so the table keeps them
    // for its rows instead of every row carrying a pointer.
    struct Copies
    {
        std::unique_ptr<TKldDataRow> original;
        std::unique_ptr<TKldDataRow> edit;
        std::unique_ptr<TKldDataRow> rollback;
    };

private:
    friend class TKldDataTable;

    static void* operator new(size_t size, TKldRowBlock block);
    static void operator delete(void* p, TKldRowBlock block) noexcept;
    TKldDataRow(uint16_t tableId, uint16_t capacity, uint16_t layout);

    bool LayoutCurrent() const noexcept;
    // The text area of this row's layout (the row must have a buffer).
    TKldTextArea TextArea() const noexcept;
    // Bytes this row's texts would take inline (for the table's reserve).
    size_t TextNeed() const noexcept;

    uint8_t* Buffer() noexcept { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* Buffer() const noexcept { return reinterpret_cast<const uint8_t*>(this + 1); }
    void CheckColumn(const TKldDataColumn* column) const;
    Copies* CopiesPtr() const noexcept;
    Copies& EnsureCopies();
    void DropCopiesIfEmpty() noexcept;
    std::unique_ptr<TKldDataRow> MakeCopy() const;
    bool DiffersFrom(const TKldDataRow* other, const TKldColumnArray* columns) const;
    void WriteSlot(const TKldDataColumn* column, const void* value);
    void ReleaseTextSlots() noexcept;
    // Tells the table that a key value of this stored row may change.
    void NoteKeyWrite(const TKldDataColumn* column) noexcept;
    // Runs `body` inside BeginEdit/EndEdit when the row is stored and not being
    // edited; a failure cancels the edit and is raised again.
    template <class F>
    void InImplicitEdit(F&& body);
    [[noreturn]] void CastError(const TKldDataColumn* column, bool assigning) const;

    uint16_t m_tableId;
    uint16_t m_capacity; // bytes of the buffer that follows the row
    uint16_t m_layout;   // the table's layout version the buffer was made for
    TKldDataRowStates m_state;
    bool m_hasBuffer : 1 = false;
    bool m_inRollbackList : 1 = false;
    bool m_hasCopies : 1 = false; // the table holds copies of this row
};

static_assert(sizeof(TKldDataRow) == 16, "a row header is its vtable pointer and eight bytes");
