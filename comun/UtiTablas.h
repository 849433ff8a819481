// The name tables behind CUti's diagnostic texts (internal).
#pragma once

#include "platform/windows.h"

#include <span>

namespace comun
{
struct Nombre
{
    DWORD valor;
    const char *nombre;
};

struct NombreIID
{
    GUID iid;
    const char *nombre;
};

// One language: its LANG_ name and the SUBLANG_ names of its sublanguages.
struct NombreIdioma
{
    WORD primario;
    const char *lang;
    std::span<const Nombre> sublenguajes;
};

std::span<const Nombre> TablaCSIDL();
std::span<const Nombre> TablaHRESULT(); // named HRESULTs
std::span<const Nombre> TablaWin32();   // Windows error codes, for HRESULT_FROM_WIN32 values
std::span<const Nombre> TablaWM();
std::span<const Nombre> TablaVT();
std::span<const NombreIID> TablaIID();
std::span<const NombreIdioma> TablaIdiomas();

// The name of a value in a table, or nullptr.
const char *Buscar(std::span<const Nombre> tabla, DWORD valor);
} // namespace comun
