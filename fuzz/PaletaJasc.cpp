// Arbitrary JASC-PAL files through CSis::CargarPaletaLogica: it succeeds only with a palette of
// at most the colours announced, and otherwise fails cleanly.
#include "comun/Sis.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char root[] = "/tmp/kit-fuzz-paleta-XXXXXX";
    if (!::mkdtemp(root))
        std::abort();
    ::setenv("KIT_MACHINE", root, 1);
    g_path = std::string(root) + "/paleta.pal";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HANDLE file = CreateFileA(g_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE || !WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr))
        std::abort();
    CloseHandle(file);

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
