// The table of built-in system libraries, filled by static initialisers of each DLL's folder
// before any program code runs.
#include "platform/core/builtin.h"
#include "platform/core/text.h"

#include <map>
#include <mutex>

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
