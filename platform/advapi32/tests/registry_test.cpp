// Registry functions: keys, values, bad input, roots and the NT and 9x rules.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace
{
constexpr char kScratch[] = "Software\\KitTest";
constexpr DWORD kSentinel = 0xdeadbeef;

// Deletes a key and everything below it with NT's rules (leaves first).
void DeleteTree(HKEY parent, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char child[1024]; // room for a name some registries take beyond 255 characters
    while (RegEnumKeyA(key, 0, child, sizeof child) == ERROR_SUCCESS)
        DeleteTree(key, child);
    RegCloseKey(key);
    RegDeleteKeyA(parent, name);
}

std::vector<std::string> SubKeys(HKEY key)
{
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        names.emplace_back(name);
    return names;
}

std::vector<std::string> ValueNames(HKEY key)
{
    std::vector<std::string> names;
    char name[256];
    DWORD length = sizeof name;
    for (DWORD i = 0;
         RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i)
    {
        names.emplace_back(name);
        length = sizeof name;
    }
    return names;
}

LONG SetString(HKEY key, const char *name, const char *text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text), std::strlen(text) + 1);
}

LONG SetDword(HKEY key, const char *name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
}

std::string GetString(HKEY key, const char *name, kittest::Caller where = kittest::Caller::current())
{
    return kittest::ReadRegString(key, name, where).value_or("<missing>");
}

#ifndef _WIN32
// The simulated PC's identity: the tests of 9x's rules and of a limited user change it.

// Changes machine.ini and makes sure its time stamp moves, so the change is seen even within
// one tick of the file system's clock.
void SetIdentity(const char *section, const char *key, const char *value)
{
    const std::string ini = kittest::MachineDir() + "/machine.ini";
    struct stat before
    {
    }, after{};
    ASSERT_EQ(::stat(ini.c_str(), &before), 0);
    ASSERT_TRUE(kitpc::SetIdentityValue(section, key, value));
    ASSERT_EQ(::stat(ini.c_str(), &after), 0);
    if (after.st_mtim.tv_sec == before.st_mtim.tv_sec && after.st_mtim.tv_nsec <= before.st_mtim.tv_nsec)
    {
        timespec times[2] = {after.st_atim, before.st_mtim};
        times[1].tv_nsec += 1000;
        if (times[1].tv_nsec >= 1000000000)
            times[1].tv_sec += 1, times[1].tv_nsec -= 1000000000;
        ASSERT_EQ(::utimensat(AT_FDCWD, ini.c_str(), times, 0), 0);
    }
}

void SetFamily(const char *family)
{
    SetIdentity("Windows", "Family", family);
}
#endif

// Every test works in a scratch key of HKEY_CURRENT_USER, wiped before and after.
class Registry : public testing::Test
{
  protected:
    void SetUp() override
    {
        DeleteTree(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &scratch_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(scratch_);
        DeleteTree(HKEY_CURRENT_USER, kScratch);
    }
    HKEY Create(const char *path, REGSAM access = KEY_ALL_ACCESS, DWORD *disposition = nullptr)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(scratch_, path, 0, nullptr, 0, access, nullptr, &key, disposition),
                  ERROR_SUCCESS)
            << path;
        return key;
    }
    LONG Open(const char *path, REGSAM access, HKEY *key)
    {
        return RegOpenKeyExA(scratch_, path, 0, access, key);
    }

    HKEY scratch_ = nullptr;
};

// ---------------------------------------------------------------- keys

TEST_F(Registry, CreateReportsDispositionAndKeepsFirstCase)
{
    DWORD disposition = kSentinel;
    HKEY key = Create("Conexión", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);

    disposition = kSentinel;
    key = Create("CONEXIÓN", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    EXPECT_EQ(SubKeys(scratch_), std::vector<std::string>{"Conexión"});

    HKEY opened;
    EXPECT_EQ(Open("conexiÓn", KEY_READ, &opened), ERROR_SUCCESS);
    RegCloseKey(opened);
}

TEST_F(Registry, CreateMakesIntermediateKeys)
{
    DWORD disposition = 0;
    RegCloseKey(Create("A\\B\\C", KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    for (const char *path : {"A", "A\\B", "a\\b\\c"})
    {
        HKEY key;
        EXPECT_EQ(Open(path, KEY_READ, &key), ERROR_SUCCESS) << path;
        RegCloseKey(key);
    }
    disposition = 0;
    RegCloseKey(Create("A\\B\\C", KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
}

TEST_F(Registry, PathSyntax)
{
    RegCloseKey(Create("One\\Two"));
    struct Case
    {
        const char *path;
        LONG nt;
        LONG win9x;
    } cases[] = {
        {"One\\Two", ERROR_SUCCESS, ERROR_SUCCESS},
        {"One\\\\Two", ERROR_SUCCESS, ERROR_SUCCESS}, // repeated separators collapse
        {"One\\Two\\", ERROR_SUCCESS, ERROR_SUCCESS}, // and so does a trailing one
        {"\\One", ERROR_BAD_PATHNAME, ERROR_SUCCESS}, // 9x skips a leading one
        {"One/Two", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {"Three", ERROR_FILE_NOT_FOUND, ERROR_FILE_NOT_FOUND},
    };
#ifdef _WIN32
    for (const char *family : {"xp"})
    {
#else
    for (const char *family : {"xp", "98"})
    {
        SetFamily(family);
#endif
        const bool nt = std::strcmp(family, "xp") == 0;
        for (const Case &c : cases)
        {
            HKEY key = reinterpret_cast<HKEY>(0x1234);
            LONG ret = Open(c.path, KEY_READ, &key);
            EXPECT_EQ(ret, nt ? c.nt : c.win9x) << family << " " << c.path;
            if (ret == ERROR_SUCCESS)
                RegCloseKey(key);
            else
                EXPECT_EQ(key, nullptr) << c.path;
        }
    }
}

TEST_F(Registry, LeadingBackslashOnCreate)
{
    HKEY key;
    EXPECT_EQ(RegCreateKeyExA(scratch_, "\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
#ifndef _WIN32
    SetFamily("95");
    ASSERT_EQ(RegCreateKeyExA(scratch_, "\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(SubKeys(scratch_), std::vector<std::string>{"New"});
#endif
}

TEST_F(Registry, KeyNameLengthLimit)
{
    const std::string longest(255, 'k');
    const std::string tooLong(256, 'k');
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExA(scratch_, longest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(
        RegCreateKeyExA(scratch_, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(scratch_, tooLong.c_str(), 0, KEY_READ, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(scratch_, ("x\\" + tooLong).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SubKeys(scratch_), std::vector<std::string>{longest}); // nothing half made
}

// NT's tree is 512 levels deep from \REGISTRY: 509 levels below HKEY_CURRENT_USER (two of them
// the scratch key's), whatever handle the key is created from.
TEST_F(Registry, KeysAreAtMost512LevelsDeep)
{
    constexpr int kBelowScratch = 509 - 2;
    std::string path = "a";
    for (int i = 1; i < kBelowScratch; ++i)
        path += "\\a";
    HKEY deepest = Create(path.c_str());
    ASSERT_NE(deepest, nullptr);
    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(kSentinel));
    EXPECT_EQ(RegCreateKeyExA(scratch_, (path + "\\b").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegCreateKeyExA(deepest, "b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyA(deepest, "b\\c", &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SubKeys(deepest), std::vector<std::string>{});
    // The levels a refused call would have made above the limit are not left behind.
    HKEY above;
    ASSERT_EQ(RegOpenKeyExA(scratch_, path.substr(0, path.size() - 4).c_str(), 0, KEY_ALL_ACCESS, &above),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyA(above, "x\\y\\z", &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SubKeys(above), std::vector<std::string>{"a"});
    // The deepest key itself opens and takes values as any other.
    EXPECT_EQ(RegCreateKeyA(above, "a\\a", &key), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(above);
    RegCloseKey(deepest);
    // Below HKEY_LOCAL_MACHINE the limit is 510 levels.
    std::string machine = "Software\\KitTest";
    for (int i = 2; i < 510; ++i)
        machine += "\\m";
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, machine.c_str(), &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (machine + "\\m").c_str(), &key), ERROR_INVALID_PARAMETER);
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\KitTest");
}

// Enumerating by index answers as a fresh count would after this process changed the key between
// two calls.
TEST_F(Registry, EnumerationByIndexFollowsChanges)
{
    for (int i = 0; i < 10; ++i)
    {
        const std::string name = std::to_string(i);
        RegCloseKey(Create(("k" + name).c_str()));
        ASSERT_EQ(SetDword(scratch_, ("v" + name).c_str(), i), ERROR_SUCCESS);
    }
    char name[256];
    DWORD length = sizeof name;
    for (DWORD i = 0; i < 5; ++i, length = sizeof name)
    {
        ASSERT_EQ(RegEnumValueA(scratch_, i, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegEnumKeyA(scratch_, i, name, sizeof name), ERROR_SUCCESS);
    }
    ASSERT_EQ(RegDeleteValueA(scratch_, "v2"), ERROR_SUCCESS);
    RegCloseKey(Create("k1a")); // k0 k1 k1a k2 k3 k4 ...
    ASSERT_EQ(RegEnumValueA(scratch_, 5, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "v6");
    ASSERT_EQ(RegEnumKeyA(scratch_, 5, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "k4");
    // Going on from there, going back, and asking again for the same index.
    ASSERT_EQ(RegEnumKeyA(scratch_, 6, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "k5");
    ASSERT_EQ(RegEnumKeyA(scratch_, 6, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "k5");
    ASSERT_EQ(RegEnumKeyA(scratch_, 2, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "k1a");
    ASSERT_EQ(RegEnumKeyA(scratch_, 3, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "k2");
    EXPECT_EQ(RegEnumKeyA(scratch_, 11, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(SubKeys(scratch_),
              (std::vector<std::string>{"k0", "k1", "k1a", "k2", "k3", "k4", "k5", "k6", "k7", "k8", "k9"}));
}

TEST_F(Registry, SubKeysEnumerateInCaseInsensitiveOrder)
{
    for (const char *name : {"b", "_x", "Ñandú", "A", "Zeta", "a1", "C"})
        RegCloseKey(Create(name));
    EXPECT_EQ(SubKeys(scratch_), (std::vector<std::string>{"A", "a1", "b", "C", "Zeta", "_x", "Ñandú"}));
    char name[8];
    EXPECT_EQ(RegEnumKeyA(scratch_, 7, name, sizeof name), ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, EnumKeyBufferSizes)
{
    RegCloseKey(Create("Twelve chars"));
    char name[16];
    std::memset(name, 'G', sizeof name);
    DWORD length = 12; // no room for the NUL
    EXPECT_EQ(RegEnumKeyExA(scratch_, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(name[0], 'G');
    length = 13;
    FILETIME written{};
    EXPECT_EQ(RegEnumKeyExA(scratch_, 0, name, &length, nullptr, nullptr, nullptr, &written), ERROR_SUCCESS);
    EXPECT_EQ(length, 12u);
    EXPECT_STREQ(name, "Twelve chars");
    EXPECT_EQ(name[13], 'G');
    EXPECT_NE(written.dwHighDateTime, 0u);
    EXPECT_EQ(RegEnumKeyA(scratch_, 0, name, 12), ERROR_MORE_DATA);
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(scratch_, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST_F(Registry, ClassIsKeptAndReported)
{
    HKEY key;
    char cls[] = "KitClass";
    ASSERT_EQ(RegCreateKeyExA(scratch_, "Classy", 0, cls, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    char buffer[32];
    DWORD length = sizeof buffer;
    ASSERT_EQ(RegQueryInfoKeyA(key, buffer, &length, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "KitClass");
    EXPECT_EQ(length, 8u);
    RegCloseKey(key);

    char name[32], keyClass[32];
    DWORD nameLength = sizeof name, classLength = 8;
    EXPECT_EQ(RegEnumKeyExA(scratch_, 0, name, &nameLength, nullptr, keyClass, &classLength, nullptr),
              ERROR_MORE_DATA);
    classLength = sizeof keyClass;
    ASSERT_EQ(RegEnumKeyExA(scratch_, 0, name, &nameLength, nullptr, keyClass, &classLength, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(keyClass, "KitClass");
    DWORD maxClass = 0;
    EXPECT_EQ(RegQueryInfoKeyA(scratch_, nullptr, nullptr, nullptr, nullptr, nullptr, &maxClass, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(maxClass, 8u);
}

TEST_F(Registry, NtRefusesToDeleteKeyWithSubkeys)
{
    RegCloseKey(Create("Parent\\Child"));
    EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent\\Child"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(scratch_, "PARENT"), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(scratch_).empty());
}

#ifndef _WIN32
TEST_F(Registry, Win9xDeletesTheSubtree)
{
    for (const char *family : {"95", "98", "98se", "me"})
    {
        SetFamily(family);
        HKEY leaf = Create("Parent\\Child\\Leaf");
        ASSERT_EQ(SetString(leaf, "v", "x"), ERROR_SUCCESS);
        RegCloseKey(Create("Parent\\Other"));
        EXPECT_EQ(RegDeleteKeyA(scratch_, "Parent"), ERROR_SUCCESS) << family;
        EXPECT_TRUE(SubKeys(scratch_).empty()) << family;
        EXPECT_EQ(SetString(leaf, "v", "y"), ERROR_KEY_DELETED) << family;
        RegCloseKey(leaf);
    }
}

#endif

TEST_F(Registry, HandleOfDeletedKey)
{
    HKEY key = Create("Doomed");
    ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(scratch_, "Doomed"), ERROR_SUCCESS);
    RegCloseKey(Create("Doomed")); // a new key of the same name is another key

    DWORD size = 4, value;
    char name[16];
    DWORD length = sizeof name;
    HKEY child;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(SetDword(key, "v", 2), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &child), ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyExA(key, "x", 0, KEY_READ, &child), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyExA(key, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_KEY_DELETED);
    EXPECT_EQ(RegFlushKey(key), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, DeleteKeyThroughItsOwnHandle)
{
    HKEY writeOnly = Create("Self", KEY_WRITE);
    EXPECT_EQ(RegDeleteKeyA(writeOnly, ""), ERROR_ACCESS_DENIED); // KEY_WRITE has no DELETE
    RegCloseKey(writeOnly);
    HKEY all = Create("Self");
    EXPECT_EQ(RegDeleteKeyA(all, ""), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(all), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(scratch_).empty());
}

TEST_F(Registry, AccessRightsOfHandles)
{
    RegCloseKey(Create("Target\\Existing"));
    {
        HKEY key = Create("Target");
        ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    struct Case
    {
        REGSAM access;
        LONG query, set, enumKeys, createNew;
    } cases[] = {
        {KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
        {KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {KEY_QUERY_VALUE, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {KEY_SET_VALUE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {KEY_CREATE_SUB_KEY, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
        {KEY_ENUMERATE_SUB_KEYS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS,
         ERROR_ACCESS_DENIED},
        {GENERIC_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
        {0, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
        {MAXIMUM_ALLOWED, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
    };
    for (const Case &c : cases)
    {
        HKEY key;
        ASSERT_EQ(Open("Target", c.access, &key), ERROR_SUCCESS);
        DWORD value, size = sizeof value;
        char name[32];
        DWORD length = sizeof name;
        EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
                  c.query)
            << std::hex << c.access;
        EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), c.query);
        EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
                  c.query);
        EXPECT_EQ(SetDword(key, "v", 2), c.set) << std::hex << c.access;
        EXPECT_EQ(RegDeleteValueA(key, "missing"), c.set == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : c.set);
        EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), c.enumKeys) << std::hex << c.access;
        HKEY child = nullptr;
        EXPECT_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), c.createNew)
            << std::hex << c.access;
        RegCloseKey(child);
        RegDeleteKeyA(key, "New");
        // Opening an existing key needs nothing of the parent handle.
        EXPECT_EQ(RegCreateKeyExA(key, "Existing", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(child);
        RegCloseKey(key);
    }
}

#ifndef _WIN32
TEST_F(Registry, Win9xHasNoAccessRights)
{
    SetFamily("98");
    RegCloseKey(Create("Target"));
    HKEY key;
    ASSERT_EQ(Open("Target", KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    HKEY child;
    EXPECT_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_SUCCESS);
    RegCloseKey(child);
    RegCloseKey(key);
}

TEST_F(Registry, LimitedUserOnNtReadsButDoesNotWriteTheMachine)
{
    RegCloseKey(Create("Mine"));
    SetIdentity("User", "Administrator", "0");
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_WRITE, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key), ERROR_SUCCESS); // MAXIMUM_ALLOWED: read only
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
    EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, "v", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetDword(HKEY_CLASSES_ROOT, "v", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Kit", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_USERS, ".DEFAULT\\Kit", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    // The user's own hive stays his.
    EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "v", 1), ERROR_SUCCESS);
    ASSERT_EQ(Open("Mine", KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(scratch_, "Mine"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(HKEY_CURRENT_USER, "v"), ERROR_SUCCESS);

    // The PC's own tools act as the system.
    kitreg::SetSystemAccess(true);
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Kit", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    kitreg::SetSystemAccess(false);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Kit"), ERROR_ACCESS_DENIED);
}

#endif

TEST_F(Registry, VolatileKeys)
{
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(scratch_, "Session\\Now", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    HKEY child;
    EXPECT_EQ(RegCreateKeyExA(key, "Lasting", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    ASSERT_EQ(RegCreateKeyExA(key, "Fleeting", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &child, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(child);
    RegCloseKey(key);
    RegCloseKey(Create("Stays"));

#ifndef _WIN32
    // What a restart does.
    ASSERT_EQ(kitreg::DropVolatileKeys(), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(scratch_), std::vector<std::string>{"Stays"}); // intermediate keys were volatile too
    std::string problem;
    EXPECT_EQ(kitreg::CheckRegistry(&problem), ERROR_SUCCESS) << problem;
#endif
}

TEST_F(Registry, OldFunctionsGiveBackTheSameHandleForEmptySubkey)
{
    HKEY same = nullptr;
    EXPECT_EQ(RegOpenKeyA(scratch_, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(same, scratch_);
    EXPECT_EQ(RegCreateKeyA(scratch_, nullptr, &same), ERROR_SUCCESS);
    EXPECT_EQ(same, scratch_);
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExA(scratch_, "", 0, KEY_READ, &other), ERROR_SUCCESS);
    EXPECT_NE(other, scratch_);
    RegCloseKey(other);
    EXPECT_EQ(RegCreateKeyA(scratch_, "Old", &other), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(other, "v", 1), ERROR_SUCCESS);
    RegCloseKey(other);
}

// ---------------------------------------------------------------- roots

TEST_F(Registry, ClassesRootIsMachineSoftwareClasses)
{
    HKEY viaClasses, viaMachine;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".kit", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &viaClasses,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(SetString(viaClasses, nullptr, "Kit.Document"), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\classes\\.KIT", 0, KEY_ALL_ACCESS, &viaMachine),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(viaMachine, ""), "Kit.Document");
    EXPECT_EQ(SetString(viaMachine, "Content Type", "text/x-kit"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(viaClasses, "content type"), "text/x-kit");
    RegCloseKey(viaClasses);
    RegCloseKey(viaMachine);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ".kit"), ERROR_SUCCESS);
}

TEST_F(Registry, CurrentConfigAndCurrentUser)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_CONFIG, "Display\\Settings", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                            "System\\CurrentControlSet\\Hardware Profiles\\Current\\Display\\Settings", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);

#ifndef _WIN32
    for (const char *family : {"xp", "98"})
    {
        SetFamily(family);
        const std::string user = kitreg::CurrentUserKeyName();
        EXPECT_EQ(user == ".DEFAULT", std::strcmp(family, "98") == 0) << user;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Mine", &key), ERROR_SUCCESS);
        ASSERT_EQ(SetString(key, "Family", family), ERROR_SUCCESS);
        RegCloseKey(key);
        ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, (user + "\\Software\\Mine").c_str(), 0, KEY_READ, &key),
                  ERROR_SUCCESS);
        EXPECT_EQ(GetString(key, "Family"), family);
        RegCloseKey(key);
    }
    // Both exist side by side on the NT PC: .DEFAULT and the user's SID.
    SetFamily("xp");
#endif
    EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, ".DEFAULT", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, PredefinedHandles)
{
    HKEY key;
#ifndef _WIN32
    // The simulated PC has neither performance data (NT) nor dynamic data (9x).
    for (HKEY root : {HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA})
    {
        EXPECT_EQ(RegOpenKeyExA(root, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(root, "Global", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
        EXPECT_EQ(SetDword(root, "v", 1), ERROR_INVALID_HANDLE);
    }
#endif
    for (HKEY root :
         {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG})
    {
        EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(root), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteKeyA(root, ""), ERROR_ACCESS_DENIED);
        ASSERT_EQ(RegOpenKeyExA(root, nullptr, 0, KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_EQ(key, root); // a predefined key gives back itself
        ASSERT_EQ(RegOpenKeyExA(root, "", 0, KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_EQ(key, root);
    }
    // The keys the predefined handles stand for, and NT's hive roots, stay.
    for (const char *path : {"Software", "Software\\Classes", "System"})
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, path), ERROR_ACCESS_DENIED) << path;
}

TEST_F(Registry, NoNewKeysDirectlyBelowTheMachineOnNt)
{
    // NT has no keys of its own directly below HKLM and HKU; 9x does.
    HKEY key;
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Top", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_ACCESS_DENIED);
#ifndef _WIN32
    SetFamily("98");
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Enum", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software"), ERROR_ACCESS_DENIED); // holds HKCR
#endif
}

// ---------------------------------------------------------------- values

TEST_F(Registry, ValueTypesKeepTheirBytes)
{
    const BYTE binary[] = {0x00, 0xFF, 0x10, 0x00};
    const DWORD dword = 0x12345678;
    struct Case
    {
        const char *name;
        DWORD type;
        std::string bytes;
    } cases[] = {
        {"sz", REG_SZ, std::string("Conexión ADSL", 14)},
        {"unterminated", REG_SZ, "abc"},
        {"expand", REG_EXPAND_SZ, std::string("%windir%\\x", 11)},
        {"multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"dword", REG_DWORD, std::string(reinterpret_cast<const char *>(&dword), 4)},
        {"short dword", REG_DWORD, "\x01\x02"},
        {"binary", REG_BINARY, std::string(reinterpret_cast<const char *>(binary), sizeof binary)},
        {"none", REG_NONE, ""},
        {"odd type", 0x1234, "zz"},
    };
    for (const Case &c : cases)
        ASSERT_EQ(RegSetValueExA(scratch_, c.name, 0, c.type, reinterpret_cast<const BYTE *>(c.bytes.data()),
                                 c.bytes.size()),
                  ERROR_SUCCESS)
            << c.name;
    for (const Case &c : cases)
    {
        BYTE buffer[64];
        std::memset(buffer, 0xCC, sizeof buffer);
        DWORD type = kSentinel, size = sizeof buffer;
        ASSERT_EQ(RegQueryValueExA(scratch_, c.name, nullptr, &type, buffer, &size), ERROR_SUCCESS) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), size), c.bytes) << c.name;
        EXPECT_EQ(buffer[size], 0xCC) << c.name; // nothing written past the data
    }
}

TEST_F(Registry, QueryValueBufferRules)
{
    ASSERT_EQ(SetString(scratch_, "s", "123456"), ERROR_SUCCESS); // 7 bytes
    BYTE buffer[16];
    std::memset(buffer, 'G', sizeof buffer);
    DWORD type = kSentinel, size = 6;
    SetLastError(kSentinel);
    EXPECT_EQ(RegQueryValueExA(scratch_, "s", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(buffer[0], 'G');

    size = 0;
    type = kSentinel;
    EXPECT_EQ(RegQueryValueExA(scratch_, "s", nullptr, &type, nullptr, &size), ERROR_SUCCESS); // size only
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RegQueryValueExA(scratch_, "s", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

    size = 7;
    EXPECT_EQ(RegQueryValueExA(scratch_, "s", nullptr, nullptr, buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char *>(buffer), "123456");
    EXPECT_EQ(buffer[7], 'G');

    EXPECT_EQ(RegQueryValueExA(scratch_, "s", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(scratch_, "s", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);

    type = kSentinel;
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValueExA(scratch_, "missing", nullptr, &type, buffer, &size), ERROR_FILE_NOT_FOUND);
#ifndef _WIN32
    EXPECT_EQ(type, kSentinel); // Windows documents nothing of the outputs on failure
#endif
}

TEST_F(Registry, DefaultValue)
{
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(scratch_, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetString(scratch_, nullptr, "default"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(scratch_, ""), "default");
    ASSERT_EQ(SetString(scratch_, "", "again"), ERROR_SUCCESS);
    EXPECT_EQ(GetString(scratch_, nullptr), "again");
    EXPECT_EQ(ValueNames(scratch_), std::vector<std::string>{""});
    EXPECT_EQ(RegDeleteValueA(scratch_, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(scratch_, ""), ERROR_FILE_NOT_FOUND);
}

// NT keeps values in the order they were made; Windows documents no order ("values are not
// ordered"), so on Windows only the names are compared.
void ExpectValueNames(HKEY key, std::vector<std::string> expected)
{
    std::vector<std::string> names = ValueNames(key);
#ifdef _WIN32
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
#endif
    EXPECT_EQ(names, expected);
}

TEST_F(Registry, ValuesEnumerateInCreationOrder)
{
    for (const char *name : {"Zulu", "alpha", "Mike", "Bravo"})
        ASSERT_EQ(SetDword(scratch_, name, 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(scratch_, "ALPHA", 2), ERROR_SUCCESS); // keeps its name and its place
    ExpectValueNames(scratch_, {"Zulu", "alpha", "Mike", "Bravo"});
    ASSERT_EQ(RegDeleteValueA(scratch_, "zulu"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(scratch_, "Zulu", 3), ERROR_SUCCESS);
    ExpectValueNames(scratch_, {"alpha", "Mike", "Bravo", "Zulu"});
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(RegQueryValueExA(scratch_, "Alpha", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
}

TEST_F(Registry, EnumValueBufferRules)
{
    ASSERT_EQ(SetString(scratch_, "Test", "foobar"), ERROR_SUCCESS);
    char name[16], data[16];
    auto reset = [&] {
        std::memset(name, 'x', sizeof name);
        std::memset(data, 'x', sizeof data);
    };
    DWORD nameLength, dataSize, type;

    // Name buffer too small: type and size come back, name and data do not.
    reset();
    nameLength = 4, dataSize = sizeof data, type = kSentinel;
    EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(data),
                            &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(nameLength, 4u);
    EXPECT_EQ(dataSize, 7u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
#ifndef _WIN32
    // What Windows leaves in the buffers on ERROR_MORE_DATA is not documented.
    EXPECT_EQ(name[0], 'x');
    EXPECT_EQ(data[0], 'x');
#endif

    // Data buffer too small: the name comes back with the size needed.
    reset();
    nameLength = sizeof name, dataSize = 6;
    EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(data),
                            &dataSize),
              ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 7u);
#ifndef _WIN32
    EXPECT_EQ(nameLength, 4u);
    EXPECT_STREQ(name, "Test");
    EXPECT_EQ(data[0], 'x');
#endif

    // Sizes only, then everything.
    nameLength = sizeof name, dataSize = 0;
    EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, nullptr, nullptr, &dataSize),
              ERROR_SUCCESS);
    EXPECT_EQ(dataSize, 7u);
    reset();
    nameLength = 5, dataSize = 7;
    EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE *>(data),
                            &dataSize),
              ERROR_SUCCESS);
    EXPECT_STREQ(data, "foobar");
    EXPECT_EQ(data[7], 'x');
    EXPECT_EQ(name[5], 'x');

    nameLength = sizeof name;
    EXPECT_EQ(RegEnumValueA(scratch_, 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumValueA(scratch_, 0, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE *>(data),
                            nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, QueryInfoKeepsNtHighWaterMarks)
{
    HKEY key = Create("Info");
    RegCloseKey(Create("Info\\Short"));
    RegCloseKey(Create("Info\\A much longer name"));
    ASSERT_EQ(SetString(key, "v", "12345678901234567890"), ERROR_SUCCESS); // 21 bytes
    ASSERT_EQ(SetDword(key, "a longer value name", 1), ERROR_SUCCESS);
    auto info = [&](DWORD *subKeys, DWORD *maxSub, DWORD *values, DWORD *maxName, DWORD *maxData) {
        return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subKeys, maxSub, nullptr, values, maxName,
                                maxData, nullptr, nullptr);
    };
    DWORD subKeys, maxSub, values, maxName, maxData;
    ASSERT_EQ(info(&subKeys, &maxSub, &values, &maxName, &maxData), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxSub, 18u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 19u);
#ifndef _WIN32
    // NT's marks, and the data size the ANSI function reports for text, are undocumented: these
    // are the simulated PC's rules.
    EXPECT_EQ(maxData, 21u);

    // Shrinking or deleting the longest does not lower the marks...
    ASSERT_EQ(RegDeleteKeyA(key, "A much longer name"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "a longer value name"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, "v", "1"), ERROR_SUCCESS);
    ASSERT_EQ(info(&subKeys, &maxSub, &values, &maxName, &maxData), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 1u);
    EXPECT_EQ(maxSub, 18u);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(maxName, 19u);
    EXPECT_EQ(maxData, 21u);

    // ...until nothing is left.
    ASSERT_EQ(RegDeleteKeyA(key, "Short"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "v"), ERROR_SUCCESS);
    ASSERT_EQ(info(&subKeys, &maxSub, &values, &maxName, &maxData), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(maxSub, 0u);
    EXPECT_EQ(values, 0u);
    EXPECT_EQ(maxName, 0u);
    EXPECT_EQ(maxData, 0u);
#endif
    RegCloseKey(key);
}

TEST_F(Registry, ValueNameLengthLimit)
{
    const std::string longest(16383, 'v');
    const std::string tooLong(16384, 'v');
    EXPECT_EQ(SetDword(scratch_, longest.c_str(), 1), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(scratch_, tooLong.c_str(), 1), ERROR_INVALID_PARAMETER);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(scratch_, tooLong.c_str(), nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ValueNames(scratch_).size(), 0u); // 256-character buffer: the long name does not fit
    DWORD values = 0, maxName = 0;
    EXPECT_EQ(RegQueryInfoKeyA(scratch_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               &maxName, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(maxName, 16383u);
}

TEST_F(Registry, LargeValue)
{
    std::string big(1 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    ASSERT_EQ(RegSetValueExA(scratch_, "big", 0, REG_BINARY, reinterpret_cast<const BYTE *>(big.data()),
                             big.size()),
              ERROR_SUCCESS);
    std::string back(big.size(), '\0');
    DWORD size = back.size();
    ASSERT_EQ(
        RegQueryValueExA(scratch_, "big", nullptr, nullptr, reinterpret_cast<BYTE *>(back.data()), &size),
        ERROR_SUCCESS);
    EXPECT_TRUE(back == big);
}

// ---------------------------------------------------------------- bad input

TEST_F(Registry, BadHandles)
{
    HKEY closed;
    ASSERT_EQ(RegOpenKeyExA(scratch_, "", 0, KEY_READ, &closed), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
#ifdef _WIN32
    // Windows hands a closed handle's value out again, and a null or predefined-looking value
    // means something to it: only a value that was never a handle is surely bad.
    const HKEY bad[] = {reinterpret_cast<HKEY>(0x12345678)};
#else
    const HKEY bad[] = {nullptr, closed, reinterpret_cast<HKEY>(0x12345678), reinterpret_cast<HKEY>(-1),
                        reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002))};
#endif
    for (HKEY key : bad)
    {
        SetLastError(kSentinel);
        HKEY out;
        DWORD size = 4, value = 0;
        char name[16];
        DWORD length = sizeof name;
        EXPECT_EQ(RegOpenKeyExA(key, "x", 0, KEY_READ, &out), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCreateKeyExA(key, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(SetDword(key, "x", 1), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteValueA(key, "x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyA(key, "x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumKeyA(key, 0, name, sizeof name), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegFlushKey(key), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
        EXPECT_EQ(GetLastError(), kSentinel);
    }
}

#ifndef _WIN32
// On NT a key is a kernel object handle that CloseHandle closes too; the simulated PC keeps its
// handle kinds apart.
TEST_F(Registry, KeysAreNotClosedByCloseHandle)
{
    HKEY key = Create("K");
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(key));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}
#endif

TEST_F(Registry, BadParameters)
{
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    char name[16];
    DWORD length = sizeof name, reserved = 0;
    // Reserved arguments must be zero or NULL.
    EXPECT_EQ(RegCreateKeyExA(scratch_, "x", 1, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExA(scratch_, 0, name, &length, &reserved, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(scratch_, "v", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegSetValueExA(scratch_, "empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
#ifndef _WIN32
    // Windows uses missing pointers without checking them, takes undefined options, and the
    // simulated PC makes no links.
    DWORD size = 0;
    EXPECT_EQ(RegQueryInfoKeyA(scratch_, nullptr, nullptr, &reserved, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExA(scratch_, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyA(scratch_, "x", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyA(scratch_, "x", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(scratch_, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegCreateKeyExA(scratch_, "x", 0, nullptr, 0x100, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(scratch_, "x", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegDeleteKeyA(scratch_, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExA(scratch_, 0, nullptr, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumKeyExA(scratch_, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(scratch_, 0, nullptr, &length, nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(scratch_, 0, name, nullptr, nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryInfoKeyA(scratch_, name, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    std::string problem;
    EXPECT_EQ(kitreg::CheckRegistry(&problem), ERROR_SUCCESS) << problem;
#endif
}

#ifndef _WIN32
// The simulated PC: which registry file, and that file damaged or replaced.
TEST_F(Registry, FollowsTheMachineVariable)
{
    ASSERT_EQ(SetString(scratch_, "where", "first"), ERROR_SUCCESS);
    const std::string first = kittest::MachineDir();
    const std::string second = kittest::NewMachineDir();
    ASSERT_EQ(::setenv("KIT_MACHINE", second.c_str(), 1), 0);
    EXPECT_EQ(kitreg::RegistryPath(), second + "/registry.db");
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetString(scratch_, "where"), "first"); // an open handle keeps its PC
    ASSERT_EQ(::setenv("KIT_MACHINE", first.c_str(), 1), 0);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(GetString(key, "where"), "first");
    RegCloseKey(key);
    std::error_code ec;
    std::filesystem::remove_all(second, ec);
}
#endif
} // namespace

#ifndef _WIN32

namespace
{
TEST(RegistryFile, DamagedFileIsReportedNotTouched)
{
    const std::string path = kitreg::RegistryPath();
    const std::string garbage(8192, 'x');
    {
        std::FILE *file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(garbage.data(), 1, garbage.size(), file);
        std::fclose(file);
    }
    HKEY key = reinterpret_cast<HKEY>(0x1234);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "v", 1), ERROR_REGISTRY_CORRUPT);
    std::string problem;
    EXPECT_NE(kitreg::CheckRegistry(&problem), ERROR_SUCCESS);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string after(garbage.size() + 1, '\0');
    after.resize(std::fread(after.data(), 1, after.size(), file));
    std::fclose(file);
    EXPECT_EQ(after, garbage);
}
} // namespace

namespace
{
TEST(RegistryFile, ClosedRegistryOpensTheFileAgain)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kScratch, &key), ERROR_SUCCESS);
    kitreg::CloseRegistry();
    EXPECT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS); // an open key keeps its connection
    RegCloseKey(key);
    for (const char *suffix : {"", "-wal", "-shm"})
        std::remove((kitreg::RegistryPath() + suffix).c_str());
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kScratch, 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND); // a new file
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}
} // namespace
#endif
