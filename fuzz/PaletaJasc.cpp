// Arbitrary JASC-PAL files through CSis::CargarPaletaLogica: it succeeds only with a palette of
// at most the colours announced, and otherwise fails cleanly.
#include "comun/Sis.h"
#include "testing/machine.h"
#include "testing/pcfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static const kittest::TempMachine machine("kit-fuzz-paleta");
    g_path = machine.Root() + "/paleta.pal";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!pcfile::Write(g_path, std::string_view(reinterpret_cast<const char *>(data), size)))
        std::abort();

    HPALETTE palette = reinterpret_cast<HPALETTE>(0x1);
    const HRESULT hr = CSis::CargarPaletaLogica(g_path.c_str(), palette);
    if (FAILED(hr))
    {
        if (palette != nullptr)
            std::abort();
        return 0;
    }
    const UINT entries = GetPaletteEntries(palette, 0, 0, nullptr);
    if (entries == 0 || entries > 65535 || !DeleteObject(palette))
        std::abort();
    return 0;
}
