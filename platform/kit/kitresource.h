// Compiled resources (tools/rc): a module's generated source holds its resources as a table
// and registers it at load time; FindResourceA and LoadStringA find a table by the module
// whose image holds it.
#pragma once

#include "platform/windef.h"

#include <cstddef>

namespace kitpc
{
// One resource: type and name are an ordinal (the name pointer NULL) or an upper-case name.
struct ResourceEntry
{
    WORD typeId;
    const char *typeName;
    WORD nameId;
    const char *nameName;
    const BYTE *data;
    DWORD size;
};

void RegisterResources(const ResourceEntry *entries, std::size_t count);
void UnregisterResources(const ResourceEntry *entries);

// Registers a table for the life of its module.
class ResourceRegistration
{
  public:
    ResourceRegistration(const ResourceEntry *entries, std::size_t count) : entries_(entries)
    {
        RegisterResources(entries, count);
    }
    ~ResourceRegistration() { UnregisterResources(entries_); }
    ResourceRegistration(const ResourceRegistration &) = delete;
    ResourceRegistration &operator=(const ResourceRegistration &) = delete;

  private:
    const ResourceEntry *entries_;
};
} // namespace kitpc
