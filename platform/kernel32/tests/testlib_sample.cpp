// A library for the module tests: counts DllMain calls and exports a function.
#include "platform/windows.h"

namespace
{
int g_attached = 0;
HINSTANCE g_instance = nullptr;
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hinstDLL, DWORD fdwReason, LPVOID)
{
    if (fdwReason == DLL_PROCESS_ATTACH)
    {
        g_instance = hinstDLL;
        ++g_attached;
        char refuse[8];
        if (GetEnvironmentVariableA("TESTLIB_REFUSE", refuse, sizeof refuse) > 0)
            return FALSE;
    }
    return TRUE;
}

extern "C" int SampleAttachCount()
{
    return g_attached;
}

extern "C" HINSTANCE SampleInstance()
{
    return g_instance;
}

// The module that holds this function, as a library finds its own handle.
extern "C" HMODULE SampleOwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&SampleOwnModule), &module);
    return module;
}
