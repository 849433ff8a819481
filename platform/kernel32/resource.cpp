// Resources: the tables tools/rc compiles into a library or program register themselves at
// load time (kitpc::RegisterResources); a table belongs to the module whose image holds it, as
// GetModuleHandleExA finds it from an address. Handles of resources (HRSRC) point at their
// table entry and resource data (HGLOBAL) at the bytes, which stay put while the module lives.
#include "platform/kit/kitresource.h"
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace
{
struct Table
{
    const kitpc::ResourceEntry *entries;
    std::size_t count;
};

struct Tables
{
    std::mutex lock;
    std::vector<Table> all;
};

Tables &TheTables()
{
    static auto *tables = new Tables;
    return *tables;
}

// A copy, so that module look-ups (under the loader's lock) happen outside ours: a library
// registers its table from inside LoadLibraryA.
std::vector<Table> Snapshot()
{
    Tables &tables = TheTables();
    std::lock_guard guard(tables.lock);
    return tables.all;
}

HMODULE ModuleOfTable(const Table &table)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(table.entries), &module);
    return module;
}

std::vector<Table> TablesOf(HMODULE module)
{
    if (!module)
        module = GetModuleHandleA(nullptr);
    std::vector<Table> found;
    for (const Table &table : Snapshot())
        if (ModuleOfTable(table) == module)
            found.push_back(table);
    return found;
}

// A type or name as given to FindResourceA against one in a table: an ordinal, "#number", or a
// name compared without case.
bool Matches(LPCSTR wanted, WORD id, const char *name)
{
    if (IS_INTRESOURCE(wanted))
        return !name && id == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    if (wanted[0] == '#')
    {
        const std::string digits(wanted + 1);
        return !name && !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos &&
               std::stoul(digits) == id;
    }
    return name && plat::EqualNoCase(wanted, name);
}

// The registered entry a resource handle points at, or NULL.
const kitpc::ResourceEntry *EntryOf(HRSRC resource)
{
    auto *entry = reinterpret_cast<const kitpc::ResourceEntry *>(resource);
    for (const Table &table : Snapshot())
        if (entry >= table.entries && entry < table.entries + table.count)
            return entry;
    return nullptr;
}
} // namespace

namespace kitpc
{
void RegisterResources(const ResourceEntry *entries, std::size_t count)
{
    Tables &tables = TheTables();
    std::lock_guard guard(tables.lock);
    tables.all.push_back({entries, count});
}

void UnregisterResources(const ResourceEntry *entries)
{
    Tables &tables = TheTables();
    std::lock_guard guard(tables.lock);
    std::erase_if(tables.all, [entries](const Table &table) { return table.entries == entries; });
}
} // namespace kitpc

// FindResourceA: a resource of a module (NULL: the program) by name and type, each an ordinal
// (MAKEINTRESOURCE), "#number" or a name without case. A module without resources fails with
// ERROR_RESOURCE_DATA_NOT_FOUND, a type it lacks with ERROR_RESOURCE_TYPE_NOT_FOUND, a name
// with ERROR_RESOURCE_NAME_NOT_FOUND. A NULL name or type is MAKEINTRESOURCE(0), an ordinal no
// resource has. Differs from Windows: one language per resource (the resources carry none); a
// handle that is no module is a module without resources.
HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType)
{
    const std::vector<Table> tables = TablesOf(hModule);
    bool typeFound = false;
    for (const Table &table : tables)
        for (std::size_t i = 0; i < table.count; ++i)
        {
            const kitpc::ResourceEntry &entry = table.entries[i];
            if (!Matches(lpType, entry.typeId, entry.typeName))
                continue;
            typeFound = true;
            if (Matches(lpName, entry.nameId, entry.nameName))
                return reinterpret_cast<HRSRC>(const_cast<kitpc::ResourceEntry *>(&entry));
        }
    plat::Fail(tables.empty() ? ERROR_RESOURCE_DATA_NOT_FOUND
               : typeFound    ? ERROR_RESOURCE_NAME_NOT_FOUND
                              : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

// LoadResource: the resource's data, read-only, valid while its module is loaded.
HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo)
{
    const kitpc::ResourceEntry *entry = EntryOf(hResInfo);
    if (!entry)
    {
        plat::Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<BYTE *>(entry->data);
}

// LockResource: the data's address (it is never moved).
LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    return hResData;
}

// SizeofResource: the data's size in bytes; 0 with ERROR_INVALID_HANDLE for a bad handle.
DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo)
{
    const kitpc::ResourceEntry *entry = EntryOf(hResInfo);
    if (!entry)
    {
        plat::Fail(ERROR_INVALID_HANDLE);
        return 0;
    }
    return entry->size;
}

// FreeResource: nothing to free; FALSE, as Windows' 32-bit version returns.
BOOL WINAPI FreeResource(HGLOBAL)
{
    return FALSE;
}
