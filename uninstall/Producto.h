// The product being uninstalled, as its "config.ini" beside the uninstaller names it, and the
// places derived from it.
#pragma once

#include <string>

struct CProducto
{
    std::string nemonico; // prefix of every registry value the uninstaller writes or deletes
    std::string mutex;    // held by the running product
    std::string registro; // the product's key under the maker's
    std::string ayuda;    // the help folder on the desktop

    std::string claveProducto;     // "Software\Nuv\Dax\<registro>" (HKEY_LOCAL_MACHINE)
    std::string carpetaCompartida; // "<ProgramFilesDir>\Nuv\Dax"

    // Reads "config.ini" of the current folder; false when a key or the shared folder is missing.
    bool Leer();

    static constexpr char kClaveFabricante[] = "Software\\Nuv\\Dax";
};
