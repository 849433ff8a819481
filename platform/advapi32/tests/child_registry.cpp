// Child program of the registry tests: a second process writing the same PC's registry.
//   platform_child_registry write TAG COUNT MUTEX
//       prints "ready", waits until the test releases the named mutex MUTEX, then writes COUNT values and
//       creates COUNT keys below HKCU\Software\KitTest\Shared; prints "created N" (the keys it
//       was first to create).
//   platform_child_registry churn
//       rewrites HKCU\Software\KitTest\Churn for ever (the test kills it): a generation of keys
//       and values, a large value, then the previous generation deleted; prints "tick N" each time.
//   platform_child_registry remove PATH VALUE SUBKEY
//       deletes the value VALUE and the (childless) key SUBKEY of HKCU\PATH; prints "removed".
#include "platform/windows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
int Fail(const char *what, LONG error)
{
    std::printf("failed %s: %d\n", what, static_cast<int>(error));
    std::fflush(stdout);
    return 1;
}

int Write(const char *tag, int count, const char *mutexName)
{
    HANDLE gate = OpenMutexA(SYNCHRONIZE, FALSE, mutexName);
    if (!gate)
        return Fail("open mutex", static_cast<LONG>(GetLastError()));
    std::printf("ready\n");
    std::fflush(stdout);
    // The test owns it until every child is ready; each child lets it go at once.
    const DWORD wait = WaitForSingleObject(gate, INFINITE);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        ReleaseMutex(gate);
    CloseHandle(gate);

    HKEY shared;
    LONG err = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KitTest\\Shared", 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &shared, nullptr);
    if (err)
        return Fail("create shared", err);
    int created = 0;
    for (int i = 0; i < count; ++i)
    {
        const std::string name = std::string(tag) + "-" + std::to_string(i);
        const DWORD value = static_cast<DWORD>(i);
        if ((err = RegSetValueExA(shared, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                                  4)))
            return Fail("set", err);
        DWORD back = 0, size = sizeof back;
        if ((err = RegQueryValueExA(shared, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(&back),
                                    &size)) ||
            back != value)
            return Fail("read back", err);
        HKEY key;
        DWORD disposition = 0;
        const std::string keyName = "K" + std::to_string(i);
        if ((err = RegCreateKeyExA(shared, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                   &disposition)))
            return Fail("create key", err);
        created += disposition == REG_CREATED_NEW_KEY;
        RegCloseKey(key);
    }
    RegCloseKey(shared);
    std::printf("created %d\n", created);
    return 0;
}

LONG DeleteTree(HKEY parent, const char *name)
{
    HKEY key;
    LONG err = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (err)
        return err;
    char child[256];
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS)
        if ((err = DeleteTree(key, child)))
            break;
    RegCloseKey(key);
    return err ? err : RegDeleteKeyA(parent, name);
}

int Churn()
{
    HKEY churn;
    LONG err = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KitTest\\Churn", 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &churn, nullptr);
    if (err)
        return Fail("create churn", err);
    std::string blob(256 * 1024, '\0');
    for (int generation = 1;; ++generation)
    {
        const std::string name = "Gen" + std::to_string(generation);
        for (int i = 0; i < 40; ++i)
        {
            HKEY key;
            const std::string path = name + "\\Sub" + std::to_string(i) + "\\Leaf";
            if ((err = RegCreateKeyExA(churn, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                       nullptr)))
                return Fail("create", err);
            const char text[] = "valor de prueba";
            RegSetValueExA(key, "Texto", 0, REG_SZ, reinterpret_cast<const BYTE *>(text), sizeof text);
            RegSetValueExA(key, "Numero", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&i), 4);
            RegCloseKey(key);
        }
        // Every byte of the large value is the generation: a torn write would show.
        std::memset(blob.data(), generation % 251, blob.size());
        if ((err = RegSetValueExA(churn, "Blob", 0, REG_BINARY, reinterpret_cast<const BYTE *>(blob.data()),
                                  blob.size())))
            return Fail("blob", err);
        // On 9x this takes the whole previous generation in one change; NT deletes leaves first.
        const std::string previous = "Gen" + std::to_string(generation - 1);
        err = RegDeleteKeyA(churn, previous.c_str());
        if (err == ERROR_ACCESS_DENIED)
            err = DeleteTree(churn, previous.c_str());
        if (err && err != ERROR_FILE_NOT_FOUND)
            return Fail("delete", err);
        std::printf("tick %d\n", generation);
        std::fflush(stdout);
    }
}
int Remove(const char *path, const char *value, const char *subKey)
{
    HKEY key;
    LONG err = RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key);
    if (err)
        return Fail("open", err);
    if ((err = RegDeleteValueA(key, value)))
        return Fail("delete value", err);
    if ((err = RegDeleteKeyA(key, subKey)))
        return Fail("delete key", err);
    RegCloseKey(key);
    std::printf("removed\n");
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "write") == 0)
        return Write(argv[2], std::atoi(argv[3]), argv[4]);
    if (argc == 2 && std::strcmp(argv[1], "churn") == 0)
        return Churn();
    if (argc == 5 && std::strcmp(argv[1], "remove") == 0)
        return Remove(argv[2], argv[3], argv[4]);
    std::fprintf(stderr,
                 "usage: platform_child_registry write TAG COUNT MUTEX | churn | remove PATH VALUE SUBKEY\n");
    return 2;
}
