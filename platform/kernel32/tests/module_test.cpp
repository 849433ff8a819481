// Modules: the kit's libraries and the built-in system libraries.
#include "platform/kit/kitloader.h"
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>

namespace
{
template <class F> F Export(HMODULE module, const char *name)
{
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}
} // namespace

TEST(Module, LoadByWindowsNameCountsReferences)
{
    HMODULE first = LoadLibraryA("testlib_sample.dll");
    ASSERT_NE(first, nullptr) << kitpc::LastLoaderError();
    HMODULE second = LoadLibraryA("TESTLIB_SAMPLE");
    EXPECT_EQ(first, second);
    auto attachCount = Export<int (*)()>(first, "SampleAttachCount");
    auto instance = Export<HINSTANCE (*)()>(first, "SampleInstance");
    auto own = Export<HMODULE (*)()>(first, "SampleOwnModule");
    ASSERT_NE(attachCount, nullptr);
    EXPECT_EQ(attachCount(), 1); // DllMain once per load into the process
    EXPECT_EQ(instance(), reinterpret_cast<HINSTANCE>(first));
    EXPECT_EQ(own(), first);
    EXPECT_EQ(GetModuleHandleA("testlib_sample.dll"), first);
    char path[MAX_PATH];
    EXPECT_GT(GetModuleFileNameA(first, path, sizeof path), 0u);
    EXPECT_NE(std::string(path).find("testlib_sample.so"), std::string::npos);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetProcAddress(first, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(first, reinterpret_cast<LPCSTR>(1)), nullptr); // ordinals

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_NE(GetModuleHandleA("testlib_sample.dll"), nullptr); // one reference left
    EXPECT_TRUE(FreeLibrary(first));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Module, FailuresKeepTheLoaderText)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadLibraryA("NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleA("NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    // A file that is not a library.
    const std::string bogus = kittest::MachineDir() + "/temp/bogus.dll";
    HANDLE file = CreateFileA(bogus.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, "MZ not really", 13, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(LoadLibraryA(bogus.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    EXPECT_FALSE(kitpc::LastLoaderError().empty());

    // A DllMain that refuses.
    SetEnvironmentVariableA("TESTLIB_REFUSE", "1");
    EXPECT_EQ(LoadLibraryA("testlib_sample.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    SetEnvironmentVariableA("TESTLIB_REFUSE", nullptr);
}

TEST(Module, BuiltinSystemLibraries)
{
    HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(GetModuleHandleA("kernel32"), kernel);
    auto cancelIo = Export<BOOL(WINAPI *)(HANDLE)>(kernel, "CancelIo");
    ASSERT_NE(cancelIo, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(cancelIo(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1234))));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(FreeLibrary(kernel));
    EXPECT_NE(GetModuleHandleA("KERNEL32.DLL"), nullptr); // never unloaded
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}
