// Local memory: the fixed blocks LocalAlloc hands out, which FormatMessageA's allocated buffers
// are too (the caller frees them with LocalFree).
#include "platform/windows.h"

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr UINT kSupportedLocalFlags = LMEM_FIXED | LMEM_ZEROINIT;
constexpr UINT kLocalMoveable = 0x0002u; // LMEM_MOVEABLE: handles to lock, not offered here
} // namespace

// LocalAlloc: fixed blocks (LMEM_FIXED, LMEM_ZEROINIT); the handle is the block's address.
// Moveable blocks are not offered (ERROR_CALL_NOT_IMPLEMENTED).
HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes)
{
    if (uFlags & kLocalMoveable)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    if (uFlags & ~kSupportedLocalFlags)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t bytes = std::max<SIZE_T>(uBytes, 1);
    void *block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, bytes) : std::malloc(bytes);
    if (!block)
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

// LocalFree: frees a LocalAlloc block; returns NULL. A pointer LocalAlloc did not return is not
// detected (Windows fails with ERROR_INVALID_HANDLE).
HLOCAL WINAPI LocalFree(HLOCAL hMem)
{
    std::free(hMem);
    return nullptr;
}
