// The table of built-in system libraries, filled by static initialisers of each DLL's folder
// before any program code runs.
#include "platform/core/builtin.h"
#include "platform/core/text.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace
{
struct Builtin
{
    const plat::BuiltinExport *exports = nullptr;
    plat::BuiltinExportsOf exportsOf = nullptr; // for a library that depends on the PC
};

struct Builtins
{
    std::mutex lock;
    std::map<std::string, Builtin> byKey;
    std::vector<std::pair<CLSID, plat::BuiltinClass>> classes; // a handful: looked up in order
};

Builtins &TheBuiltins()
{
    static auto *builtins = new Builtins;
    return *builtins;
}
} // namespace

namespace plat
{
std::string BuiltinKey(std::string_view name)
{
    std::string upper = Upper1252(name);
    if (upper.size() > 4 && upper.compare(upper.size() - 4, 4, ".DLL") == 0)
        upper.resize(upper.size() - 4);
    return upper;
}

void RegisterBuiltinModule(std::string_view name, const BuiltinExport *exports)
{
    Builtins &builtins = TheBuiltins();
    std::lock_guard guard(builtins.lock);
    builtins.byKey[BuiltinKey(name)] = {exports, nullptr};
}

void RegisterBuiltinModule(std::string_view name, BuiltinExportsOf exportsOf)
{
    Builtins &builtins = TheBuiltins();
    std::lock_guard guard(builtins.lock);
    builtins.byKey[BuiltinKey(name)] = {nullptr, exportsOf};
}

const BuiltinExport *FindBuiltinModule(const std::string &key)
{
    Builtin builtin;
    {
        Builtins &builtins = TheBuiltins();
        std::lock_guard guard(builtins.lock);
        auto it = builtins.byKey.find(key);
        if (it == builtins.byKey.end())
            return nullptr;
        builtin = it->second;
    }
    return builtin.exportsOf ? builtin.exportsOf() : builtin.exports;
}
} // namespace plat

namespace plat
{
bool SameGuid(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

void RegisterBuiltinClass(REFCLSID clsid, BuiltinClass builtin)
{
    Builtins &builtins = TheBuiltins();
    std::lock_guard guard(builtins.lock);
    builtins.classes.emplace_back(clsid, builtin);
}

std::optional<BuiltinClass> FindBuiltinClass(REFCLSID clsid)
{
    Builtins &builtins = TheBuiltins();
    std::lock_guard guard(builtins.lock);
    for (const auto &[id, builtin] : builtins.classes)
        if (SameGuid(id, clsid))
            return builtin;
    return std::nullopt;
}
} // namespace plat
