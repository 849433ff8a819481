// CApliKIT and CModKIT.
#include "outside/qelapli/ApliKIT.h"
#include "comun/Sis.h"

namespace
{
constexpr char kNombre[] = "KIT";
constexpr char kVersion[] = "1.0";
constexpr char kClave[] = "SOFTWARE\\NUV\\DAX";

// The module holding a code address; NULL when none does.
HMODULE ModuloDe(const void *direccion)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(direccion), &module))
        return nullptr;
    return module;
}
} // namespace

CApliKIT::CApliKIT() = default;

CApliKIT::~CApliKIT() = default;

HRESULT CApliKIT::VerNombre(std::string &nombre) const
{
    nombre = kNombre;
    return S_OK;
}

HRESULT CApliKIT::VerVersion(std::string &version) const
{
    version = kVersion;
    return S_OK;
}

HRESULT CApliKIT::VerClaveRegistro(std::string &clave) const
{
    clave = kClave;
    return S_OK;
}

HRESULT CApliKIT::VerDir(std::string &dir) const
{
    return CSis::VerDirModuloLargo(nullptr, dir);
}

// The caller is the code that constructs the object: the address it returns to lies in its
// module. Kept out of line so that address is the caller's.
__attribute__((noinline)) CModKIT::CModKIT() : CMod(&m_apli)
{
    if (HMODULE module = ModuloDe(__builtin_return_address(0)))
        Open(module);
}

CModKIT::~CModKIT() = default;
