#pragma once
// Small numbers for live tables, so that a row names its table in two bytes
// instead of a pointer. A number is taken when a table is made and given back
// when it goes; reading one is a lock-free array look-up.

#include <atomic>
#include <cstdint>

class TKldDataTable;

namespace KldTableIds
{

constexpr size_t Capacity = 65536;

extern std::atomic<TKldDataTable*> Slots[Capacity];

// Raises when 65536 tables are alive.
uint16_t Take(TKldDataTable* table);
void Give(uint16_t id) noexcept;

inline TKldDataTable* Table(uint16_t id) noexcept
{
    return Slots[id].load(std::memory_order_relaxed);
}

} // namespace KldTableIds
