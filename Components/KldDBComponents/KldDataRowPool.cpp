#include "Components/KldDBComponents/KldDataRowPool.h"

#include <new>

void* TKldRowPool::Allocate(size_t bytes)
{
    size_t size = BlockSize(bytes);
    if (size > LargeBlock)
    {
        void* block = ::operator new(size);
        ++m_live;
        return block;
    }
    if (!m_free.empty())
    {
        auto it = m_free.find(size);
        if (it != m_free.end())
        {
            FreeBlock* block = it->second;
            if (block->Next)
                it->second = block->Next;
            else
                m_free.erase(it);
            ++m_live;
            return block;
        }
    }
    if (static_cast<size_t>(m_end - m_next) < size)
    {
        // The rest of the current slab is left unused: blocks are small.
        m_slabs.emplace_back(new uint8_t[SlabSize]);
        m_next = m_slabs.back().get();
        m_end = m_next + SlabSize;
    }
    void* block = m_next;
    m_next += size;
    ++m_live;
    return block;
}

void TKldRowPool::Free(void* block, size_t bytes) noexcept
{
    if (!block)
        return;
    size_t size = BlockSize(bytes);
    --m_live;
    if (size > LargeBlock)
        ::operator delete(block);
    else
    {
        try
        {
            FreeBlock*& head = m_free[size];
            head = new (block) FreeBlock{head};
        }
        catch (...)
        {
            // No room to list the block: it stays unused until the slabs go.
        }
    }
    if (m_live == 0)
        ReleaseSlabs();
}

void TKldRowPool::ReleaseSlabs() noexcept
{
    m_free.clear();
    m_slabs.clear();
    m_next = m_end = nullptr;
}
