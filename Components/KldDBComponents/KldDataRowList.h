#pragma once
// The row list of a table: an indexed sequence of owned rows. Rows are kept in
// chunks of at most ChunkCapacity pointers with the start index of each chunk,
// so that inserting in the middle of a million rows moves a few kilobytes
// instead of the whole list, and reading by index stays logarithmic.

#include <cstddef>
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
    void Insert(int index, TKldDataRow* row);
    void Append(TKldDataRow* row) { Insert(Count(), row); }
    // Takes the row at `index` out of the list and hands it back to the caller.
    TKldDataRow* Extract(int index);
    void Move(int curIndex, int newIndex);
    // Position of `row`, -1 when absent (a scan of the whole list).
    int IndexOf(const TKldDataRow* row) const;
    // Destroys every row.
    void Clear();
    // Replaces the rows in [first, first + rows.size()) with `rows` in order
    // (the same rows, rearranged).
    void Reorder(int first, const std::vector<TKldDataRow*>& rows);
    std::vector<TKldDataRow*> Slice(int first, int count) const;

    // Bytes held by the list itself (for memory reports).
    size_t ListBytes() const;

private:
    size_t ChunkOf(size_t index) const;
    void ShiftStarts(size_t fromChunk, ptrdiff_t delta);

    std::vector<std::vector<TKldDataRow*>> m_chunks;
    std::vector<size_t> m_starts; // index of the first row of each chunk
    size_t m_count = 0;
    mutable size_t m_lastChunk = 0; // look-up hint for runs of nearby indexes
};
