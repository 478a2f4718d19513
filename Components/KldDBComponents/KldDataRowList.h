#pragma once
// The row list of a table: an indexed sequence of owned rows. Rows are kept in
// chunks of at most ChunkCapacity pointers with the start index of each chunk,
// so that inserting in the middle of a million rows moves a few kilobytes
// instead of the whole list, and reading by index stays logarithmic.
//
// With hints on, every entry also carries a key hint beside the row pointer,
// which a keyed table uses to search its rows without touching them. Hints
// are 64-bit, or 32-bit when the table says its hints fit (a SmallInt or
// Integer key), which saves four bytes a row. The list only stores the hints;
// the table decides what they mean.

#include <cstddef>
#include <cstdint>
#include <vector>

class TKldDataRow;

class TKldRowList
{
public:
    static constexpr size_t ChunkCapacity = 1024;

    TKldRowList() = default;
    TKldRowList(const TKldRowList&) = delete;
    TKldRowList& operator=(const TKldRowList&) = delete;
    ~TKldRowList();

    int Count() const noexcept { return static_cast<int>(m_count); }
    TKldDataRow* Get(int index) const;
    // Inserts before `index` (0..Count); the list takes ownership.
    void Insert(int index, TKldDataRow* row, int64_t hint = 0);
    void Append(TKldDataRow* row, int64_t hint = 0) { Insert(Count(), row, hint); }
    // Takes the row at `index` out of the list and hands it back to the caller.
    TKldDataRow* Extract(int index);
    void Move(int curIndex, int newIndex);
    // Position of `row`, -1 when absent (a scan of the whole list).
    int IndexOf(const TKldDataRow* row) const;
    // Destroys every row.
    void Clear();
    // Replaces the rows in [first, first + rows.size()) with `rows` in order
    // (the same rows, rearranged); their hints are then to be set again.
    void Reorder(int first, const std::vector<TKldDataRow*>& rows);
    std::vector<TKldDataRow*> Slice(int first, int count) const;

    // --- Hints -------------------------------------------------------------------
    // Switching hints on or off drops the stored ones (the list must be empty).
    // Narrow hints hold 32-bit values only; the caller keeps them in range.
    void SetHintsEnabled(bool enabled, bool narrow = false);
    bool HintsEnabled() const noexcept { return m_hints; }
    bool NarrowHints() const noexcept { return m_narrow; }
    int64_t Hint(int index) const;
    void SetHint(int index, int64_t hint);
    // The first index in [0, count) whose hint is not below `hint`, the hints
    // of that range being in ascending order.
    int LowerBoundHint(int64_t hint, int count) const;

    // Bytes held by the list itself (for memory reports).
    size_t ListBytes() const;

private:
    struct Chunk
    {
        std::vector<TKldDataRow*> Rows;
        std::vector<int64_t> Hints;       // wide hints; empty unless on and wide
        std::vector<int32_t> NarrowHints; // narrow hints; empty unless on and narrow
    };

    // Calls `f` with the hint vector in use of `chunk` (hints must be on).
    template <class C, class F>
    decltype(auto) WithHints(C& chunk, F&& f) const
    {
        return m_narrow ? f(chunk.NarrowHints) : f(chunk.Hints);
    }

    size_t ChunkOf(size_t index) const;
    void ShiftStarts(size_t fromChunk, ptrdiff_t delta);
    Chunk NewChunk() const;

    std::vector<Chunk> m_chunks;
    std::vector<size_t> m_starts; // index of the first row of each chunk
    size_t m_count = 0;
    bool m_hints = false;
    bool m_narrow = false;
    mutable size_t m_lastChunk = 0; // look-up hint for runs of nearby indexes
};
