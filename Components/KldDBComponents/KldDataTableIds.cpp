#include "Components/KldDBComponents/KldDataTableIds.h"

#include <mutex>
#include <vector>

#include "platform/SysUtils.h"

namespace KldTableIds
{

std::atomic<TKldDataTable*> Slots[Capacity];

namespace
{

// Never destroyed: tables may go during the program's exit.
std::mutex& Lock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

// Numbers given back, and the lowest never taken.
std::vector<uint16_t>& Returned()
{
    static auto* returned = new std::vector<uint16_t>;
    return *returned;
}

size_t g_fresh = 0;

} // namespace

uint16_t Take(TKldDataTable* table)
{
    std::lock_guard<std::mutex> guard(Lock());
    uint16_t id;
    if (!Returned().empty())
    {
        id = Returned().back();
        Returned().pop_back();
    }
    else if (g_fresh < Capacity)
    {
        id = static_cast<uint16_t>(g_fresh++);
    }
    else
    {
        throw Exception("Too many data tables: 65536 are in use");
    }
    Slots[id].store(table, std::memory_order_release);
    return id;
}

void Give(uint16_t id) noexcept
{
    std::lock_guard<std::mutex> guard(Lock());
    Slots[id].store(nullptr, std::memory_order_release);
    try
    {
        Returned().push_back(id);
    }
    catch (...)
    {
        // The number is lost; the others stay usable.
    }
}

} // namespace KldTableIds
