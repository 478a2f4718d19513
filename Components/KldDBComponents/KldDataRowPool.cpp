#include "Components/KldDBComponents/KldDataRowPool.h"

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define KLD_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KLD_POOL_ASAN 1
#endif
#endif

#if defined(KLD_POOL_ASAN)
#include <sanitizer/asan_interface.h>
#define KLD_POOL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define KLD_POOL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define KLD_POOL_POISON(p, n) ((void)(p), (void)(n))
#define KLD_POOL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

// Under the address sanitizer the bytes of a slab that no live row owns are
// poisoned, so that a row used after it went, or written past its end, is
// reported as for blocks of the heap.

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
            KLD_POOL_UNPOISON(block, bytes);
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
        std::unique_ptr<uint8_t[]> slab(new uint8_t[SlabSize]);
        m_slabs.push_back(std::move(slab));
        m_next = m_slabs.back().get();
        m_end = m_next + SlabSize;
        KLD_POOL_POISON(m_next, SlabSize);
    }
    void* block = m_next;
    KLD_POOL_UNPOISON(block, bytes);
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
        KLD_POOL_POISON(block, size);
    }
    if (m_live == 0)
        ReleaseSlabs();
}

TKldRowPool::~TKldRowPool()
{
    ReleaseSlabs();
}

void TKldRowPool::ReleaseSlabs() noexcept
{
    for (const auto& slab : m_slabs)
        KLD_POOL_UNPOISON(slab.get(), SlabSize);
    m_free.clear();
    m_slabs.clear();
    m_next = m_end = nullptr;
}
