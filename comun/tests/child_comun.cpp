// A second program of the PC for the library's tests. Each command does its part, prints its
// results, then waits to be ended:
//   comun_child bloque NAME TEXT     CFileMap::CreateTemp(64, NAME); prints the result; writes TEXT
//                                    into a new block, or appends it to an existing block's text;
//                                    prints the block's text
//   comun_child asistente NAME TEXT  makes a minimised, hidden window with the text and records its
//                                    handle in the 4-byte block NAME, as the wizard does; prints it
#include "comun/FileMap.h"
#ifndef _WIN32
#include "platform/kit/kitwindow.h"
#endif

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
int Bloque(const char *name, const char *text)
{
    CFileMap block;
    const HRESULT hr = block.CreateTemp(64, name);
    std::printf("%ld\n", static_cast<long>(hr));
    if (FAILED(hr))
        return 1;
    auto *view = static_cast<char *>(block.VerPFileMap());
    if (hr == S_OK)
        std::strcpy(view, text);
    else
        std::strcat(view, text);
    std::printf("%s\n", view);
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}

int Asistente(const char *name, const char *text)
{
#ifdef _WIN32
    HWND window = CreateWindowExA(0, "STATIC", text, WS_OVERLAPPEDWINDOW | WS_MINIMIZE, 0, 0, 100, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
#else
    kitwin::WindowDesc desc;
    desc.text = text;
    desc.visible = false;
    desc.iconic = true;
    HWND window = kitwin::CreateWindowRecord(desc);
#endif
    CFileMap block;
    if (!window || block.CreateTemp(4, name) != S_OK)
        return 1;
    const auto value = static_cast<DWORD>(reinterpret_cast<uintptr_t>(window));
    std::memcpy(block.VerPFileMap(), &value, sizeof value);
    std::printf("%lu\n", static_cast<unsigned long>(value));
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "bloque") == 0)
        return Bloque(argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "asistente") == 0)
        return Asistente(argv[2], argv[3]);
    return 64;
}
