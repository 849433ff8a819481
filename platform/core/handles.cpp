#include "platform/core/handles.h"

#include <mutex>
#include <vector>

namespace
{
// Handle value: generation in the high 32 bits, (slot + 1) * 4 below, so values are multiples of
// four as on Windows and never meet the pseudo handles or the predefined registry keys.
constexpr size_t kMaxHandles = 1u << 20;

struct Slot
{
    std::shared_ptr<plat::KernelObject> object;
    uint32_t generation = 1;
};

struct Table
{
    std::mutex lock;
    std::vector<Slot> slots;
    std::vector<size_t> freeSlots;
    size_t live = 0;
};

Table &TheTable()
{
    static Table *table = new Table; // never destroyed: handles may be closed during exit
    return *table;
}

HANDLE Encode(size_t index, uint32_t generation)
{
    return reinterpret_cast<HANDLE>((static_cast<uint64_t>(generation) << 32) | ((index + 1) << 2));
}

bool Decode(HANDLE handle, size_t &index, uint32_t &generation)
{
    uint64_t value = reinterpret_cast<uint64_t>(handle);
    uint64_t low = value & 0xFFFFFFFFu;
    generation = static_cast<uint32_t>(value >> 32);
    if (generation == 0 || (low & 3) != 0 || low == 0)
        return false;
    index = (low >> 2) - 1;
    return true;
}

Slot *Find(Table &table, HANDLE handle)
{
    size_t index;
    uint32_t generation;
    if (!Decode(handle, index, generation) || index >= table.slots.size())
        return nullptr;
    Slot &slot = table.slots[index];
    if (!slot.object || slot.generation != generation)
        return nullptr;
    return &slot;
}
} // namespace

namespace plat
{
HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    Table &table = TheTable();
    std::lock_guard guard(table.lock);
    size_t index;
    if (!table.freeSlots.empty())
    {
        index = table.freeSlots.back();
        table.freeSlots.pop_back();
    }
    else
    {
        if (table.slots.size() >= kMaxHandles)
        {
            SetLastError(ERROR_NO_SYSTEM_RESOURCES);
            return nullptr;
        }
        index = table.slots.size();
        table.slots.emplace_back();
    }
    Slot &slot = table.slots[index];
    slot.object = std::move(object);
    ++table.live;
    return Encode(index, slot.generation);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    Table &table = TheTable();
    std::lock_guard guard(table.lock);
    Slot *slot = Find(table, handle);
    return slot ? slot->object : nullptr;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle)
{
    Table &table = TheTable();
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard guard(table.lock);
        Slot *slot = Find(table, handle);
        if (!slot)
            return nullptr;
        object = std::move(slot->object);
        slot->object.reset();
        if (++slot->generation == 0)
            slot->generation = 1;
        table.freeSlots.push_back(static_cast<size_t>(slot - table.slots.data()));
        --table.live;
    }
    return object; // destroyed outside the table lock when this was the last reference
}

size_t LiveHandleCount()
{
    Table &table = TheTable();
    std::lock_guard guard(table.lock);
    return table.live;
}
} // namespace plat
