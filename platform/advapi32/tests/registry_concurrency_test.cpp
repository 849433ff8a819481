// Registry under load: two processes writing at once, a writer killed mid-change, many threads.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#include "platform/kit/kitregistry.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr char kChild[] = "platform_child_registry";

// Walks a key's subtree through the API: every key must open, enumerate as RegQueryInfoKey
// counts it, and every value must read back at the size it reports. Returns the keys seen.
int WalkTree(HKEY key, const std::string &path)
{
    DWORD subKeys = 0, values = 0, maxData = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                               &maxData, nullptr, nullptr),
              ERROR_SUCCESS)
        << path;
    DWORD valueCount = 0;
    std::vector<BYTE> data(maxData + 1);
    for (;; ++valueCount)
    {
        char name[256];
        DWORD nameLength = sizeof name, size = static_cast<DWORD>(data.size()), type = 0;
        LONG err = RegEnumValueA(key, valueCount, name, &nameLength, nullptr, &type, data.data(), &size);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        EXPECT_EQ(err, ERROR_SUCCESS) << path;
        if (err)
            break;
        DWORD again = 0;
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &again), ERROR_SUCCESS)
            << path << name;
        EXPECT_EQ(again, size) << path << "\\" << name;
    }
    EXPECT_EQ(valueCount, values) << path;
    int keys = 1;
    DWORD index = 0;
    for (char name[256]; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index)
    {
        HKEY child;
        EXPECT_EQ(RegOpenKeyExA(key, name, 0, KEY_READ, &child), ERROR_SUCCESS) << path << "\\" << name;
        keys += WalkTree(child, path + "\\" + name);
        RegCloseKey(child);
    }
    EXPECT_EQ(index, subKeys) << path;
    return keys;
}

#ifndef _WIN32
void SetFamily(const char *family)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", family));
}
#endif

// A key with the values v0..v9 and the subkeys k0..k9, walked up to index 4 of each.
HKEY HalfWalkedKey()
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\Enum", &key), ERROR_SUCCESS);
    for (int i = 0; i < 10; ++i)
    {
        const std::string name = std::to_string(i);
        HKEY sub;
        EXPECT_EQ(RegCreateKeyA(key, ("k" + name).c_str(), &sub), ERROR_SUCCESS);
        RegCloseKey(sub);
        EXPECT_EQ(
            RegSetValueExA(key, ("v" + name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&i), 4),
            ERROR_SUCCESS);
    }
    char name[256];
    for (DWORD i = 0; i < 5; ++i)
    {
        DWORD length = sizeof name;
        EXPECT_EQ(RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(RegEnumKeyA(key, i, name, sizeof name), ERROR_SUCCESS);
    }
    return key;
}

// Enumerating by index answers as a fresh count would, even when another process changed the key
// between two calls.
TEST(RegistryProcesses, EnumerationByIndexSeesAnotherProcessChanges)
{
    HKEY key = HalfWalkedKey();
    std::string output;
    ASSERT_EQ(kittest::Run(kChild, {"remove", "Software\\KitTest\\Enum", "v2", "k2"}, &output), 0) << output;
    char name[256];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumValueA(key, 5, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "v6");
    ASSERT_EQ(RegEnumKeyA(key, 5, name, sizeof name), ERROR_SUCCESS);
    EXPECT_STREQ(name, "k6");
    length = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 9, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyA(key, 9, name, sizeof name), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(RegistryProcesses, TwoWritersAtOnce)
{
    constexpr int kCount = 300;
    // The children wait for this mutex, each letting it go at once: both start together.
    const std::string go = "KitTestRegistryGo" + std::to_string(GetCurrentProcessId());
    HANDLE gate = CreateMutexA(nullptr, TRUE, go.c_str());
    ASSERT_NE(gate, nullptr);
    kittest::Child first(kChild, {"write", "first", std::to_string(kCount), go});
    kittest::Child second(kChild, {"write", "second", std::to_string(kCount), go});
    ASSERT_TRUE(first.Started() && second.Started());
    ASSERT_EQ(first.ReadLine(), "ready");
    ASSERT_EQ(second.ReadLine(), "ready");
    ReleaseMutex(gate);
    CloseHandle(gate);

    const std::string firstOut = first.ReadLine(), secondOut = second.ReadLine();
    EXPECT_EQ(first.Wait(), 0) << firstOut;
    EXPECT_EQ(second.Wait(), 0) << secondOut;
    ASSERT_EQ(firstOut.rfind("created ", 0), 0u) << firstOut;
    ASSERT_EQ(secondOut.rfind("created ", 0), 0u) << secondOut;
    // Each key was created by exactly one of them.
    EXPECT_EQ(std::stoi(firstOut.substr(8)) + std::stoi(secondOut.substr(8)), kCount);

    HKEY shared;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KitTest\\Shared", 0, KEY_READ, &shared),
              ERROR_SUCCESS);
    DWORD subKeys = 0, values = 0;
    ASSERT_EQ(RegQueryInfoKeyA(shared, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, static_cast<DWORD>(kCount));
    EXPECT_EQ(values, static_cast<DWORD>(2 * kCount));
    for (const char *tag : {"first", "second"})
        for (int i = 0; i < kCount; i += 37)
        {
            DWORD value = ~0u, size = sizeof value;
            const std::string name = std::string(tag) + "-" + std::to_string(i);
            EXPECT_EQ(RegQueryValueExA(shared, name.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE *>(&value), &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(value, static_cast<DWORD>(i));
        }
    RegCloseKey(shared);
}

TEST(RegistryProcesses, WriterKilledMidChangeLeavesHiveWhole)
{
#ifndef _WIN32
    SetFamily("98"); // RegDeleteKey takes a whole generation in one change
#endif
    for (int round = 0; round < 3; ++round)
    {
        kittest::Child churn(kChild, {"churn"});
        ASSERT_TRUE(churn.Started());
        for (int tick = 0; tick < 2 + round; ++tick)
            ASSERT_EQ(churn.ReadLine().rfind("tick ", 0), 0u);
        churn.Kill();

#ifndef _WIN32
        std::string problem;
        ASSERT_EQ(kitreg::CheckRegistry(&problem), ERROR_SUCCESS) << problem;
#endif
        HKEY key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\KitTest\\Churn", 0, KEY_READ, &key),
                  ERROR_SUCCESS);
        std::vector<BYTE> blob(256 * 1024 + 1);
        DWORD size = static_cast<DWORD>(blob.size());
        ASSERT_EQ(RegQueryValueExA(key, "Blob", nullptr, nullptr, blob.data(), &size), ERROR_SUCCESS);
        ASSERT_EQ(size, 256u * 1024);
        for (DWORD i = 1; i < size; ++i)
            ASSERT_EQ(blob[i], blob[0]) << "torn value at " << i;
        EXPECT_GT(WalkTree(key, "Churn"), 1);
        RegCloseKey(key);
    }
    // The hive still takes changes after the crashes.
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\After", &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(RegistryThreads, ManyThreadsAtOnce)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 150;
    constexpr int kSharedKeys = 10;
    HKEY base;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\KitTest\\Threads", &base), ERROR_SUCCESS);
    std::atomic<int> created{0}, failures{0}, deletedSeen{0};
    std::atomic<bool> stop{false};

    auto worker = [&](int n) {
        HKEY own;
        const std::string ownName = "T" + std::to_string(n);
        if (RegCreateKeyExA(base, ownName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &own, nullptr))
        {
            ++failures;
            return;
        }
        for (int i = 0; i < kRounds; ++i)
        {
            const std::string name = "v" + std::to_string(i);
            const DWORD value = static_cast<DWORD>(n * 1000 + i);
            DWORD back = 0, size = sizeof back;
            if (RegSetValueExA(own, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4) ||
                RegQueryValueExA(own, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(&back),
                                 &size) ||
                back != value)
                ++failures;
            HKEY shared;
            DWORD disposition = 0;
            const std::string sharedName = "Shared\\S" + std::to_string(i % kSharedKeys);
            if (RegCreateKeyExA(base, sharedName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &shared,
                                &disposition) == ERROR_SUCCESS)
            {
                created += disposition == REG_CREATED_NEW_KEY;
                RegCloseKey(shared);
            }
            else
                ++failures;
            // A key another thread deletes and makes again: never a crash, only these answers.
            HKEY flicker;
            LONG err = RegOpenKeyExA(base, "Flicker", 0, KEY_ALL_ACCESS, &flicker);
            if (err == ERROR_SUCCESS)
            {
                err = RegSetValueExA(flicker, "x", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
                if (err == ERROR_KEY_DELETED)
                    ++deletedSeen;
                else if (err)
                    ++failures;
                RegCloseKey(flicker);
            }
            else if (err != ERROR_FILE_NOT_FOUND)
                ++failures;
            char enumName[32];
            RegEnumKeyA(base, static_cast<DWORD>(i % 4), enumName, sizeof enumName);
        }
        RegCloseKey(own);
    };
    std::thread flicker([&] {
        while (!stop.load())
        {
            HKEY key;
            if (RegCreateKeyA(base, "Flicker", &key) == ERROR_SUCCESS)
                RegCloseKey(key);
            RegDeleteKeyA(base, "Flicker");
        }
    });
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n)
        threads.emplace_back(worker, n);
    for (std::thread &thread : threads)
        thread.join();
    stop = true;
    flicker.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(created.load(), kSharedKeys);
    for (int n = 0; n < kThreads; ++n)
    {
        HKEY own;
        ASSERT_EQ(RegOpenKeyExA(base, ("T" + std::to_string(n)).c_str(), 0, KEY_READ, &own), ERROR_SUCCESS);
        DWORD values = 0;
        ASSERT_EQ(RegQueryInfoKeyA(own, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                   nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(values, static_cast<DWORD>(kRounds));
        RegCloseKey(own);
    }
    RegCloseKey(base);
#ifndef _WIN32
    std::string problem;
    EXPECT_EQ(kitreg::CheckRegistry(&problem), ERROR_SUCCESS) << problem;
#endif
}
} // namespace
