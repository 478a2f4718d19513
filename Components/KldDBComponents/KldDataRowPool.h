#pragma once
// Memory for the rows of one table. Rows are carved from 64 KiB slabs instead
// of one heap allocation each, which saves the allocator's header and
// rounding on every row; a freed block is kept by size for the next row of
// that size. The slabs go back to the heap when the last block does (the
// table is emptied or unprepared), or with the pool. Not thread-safe: a
// table's rows are made and freed by the thread that uses the table.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TKldRowPool
{
public:
    static constexpr size_t SlabSize = 64 * 1024;
    // Blocks are multiples of this, and aligned to it.
    static constexpr size_t Granularity = 8;
    // Larger blocks come from the heap directly.
    static constexpr size_t LargeBlock = SlabSize / 8;

    TKldRowPool() = default;
    TKldRowPool(const TKldRowPool&) = delete;
    TKldRowPool& operator=(const TKldRowPool&) = delete;
    ~TKldRowPool();

    static size_t BlockSize(size_t bytes) noexcept { return (bytes + Granularity - 1) / Granularity * Granularity; }

    void* Allocate(size_t bytes);
    // `bytes` as given to Allocate.
    void Free(void* block, size_t bytes) noexcept;

    size_t LiveBlocks() const noexcept { return m_live; }
    size_t SlabCount() const noexcept { return m_slabs.size(); }

private:
    struct FreeBlock
    {
        FreeBlock* Next;
    };

    void ReleaseSlabs() noexcept;

    std::vector<std::unique_ptr<uint8_t[]>> m_slabs;
    uint8_t* m_next = nullptr;
    uint8_t* m_end = nullptr;
    std::unordered_map<size_t, FreeBlock*> m_free; // by block size
    size_t m_live = 0;
};
