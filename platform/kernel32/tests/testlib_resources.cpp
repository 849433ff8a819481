// A library with resources of its own (res/testlib_resources.rc), for the resource tests.
#include "platform/windows.h"

// The module that holds this library, as it finds its own handle.
extern "C" HMODULE ResourcesOwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ResourcesOwnModule), &module);
    return module;
}
