// Modules: the kit's libraries and the built-in system libraries.
#ifndef _WIN32
#include "platform/kit/kitloader.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
using kittest::Gate;
using kittest::LoaderText;
// The sample library's file as the build makes it.
#ifdef _WIN32
const char kSampleFile[] = "testlib_sample.dll";
#else
const char kSampleFile[] = "testlib_sample.so";
#endif

// The folder of the build's libraries.
std::string LibraryFolder()
{
#ifdef _WIN32
    return kittest::BinDir(); // Windows finds a program's libraries beside it
#else
    return kittest::LibDir();
#endif
}

// A folder of the test's PC, made when missing (a Windows test's PC starts empty).
std::string PcFolder(const char *name)
{
    const std::string path = kittest::MachineDir() + "/" + name;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

template <class F> F Export(HMODULE module, const char *name)
{
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}
} // namespace

TEST(Module, LoadByWindowsNameCountsReferences)
{
    HMODULE first = LoadLibraryA("testlib_sample.dll");
    ASSERT_NE(first, nullptr) << LoaderText();
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
    EXPECT_NE(std::string(path).find(kSampleFile), std::string::npos);

    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetProcAddress(first, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
#ifndef _WIN32
    EXPECT_EQ(GetProcAddress(first, reinterpret_cast<LPCSTR>(1)),
              nullptr); // the PC's libraries have no ordinals
#endif

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_NE(GetModuleHandleA("testlib_sample.dll"), nullptr); // one reference left
    EXPECT_TRUE(FreeLibrary(first));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(Module, FailuresKeepTheLoaderText)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(LoadLibraryA("NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleA("NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    // A file that is not a library.
    const std::string bogus = PcFolder("temp") + "/bogus.dll";
    HANDLE file = CreateFileA(bogus.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, "MZ not really", 13, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(LoadLibraryA(bogus.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
#ifndef _WIN32
    EXPECT_FALSE(kitpc::LastLoaderError().empty());
#endif

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

// --- The file of a loaded library ----------------------------------------------------------------

namespace
{
constexpr DWORD kSentinel = 0xdeadbeef;

// A copy of the sample library inside the PC, so deleting it touches nothing of the build.
std::string CopyOfSample(const char *name)
{
    const std::string path = PcFolder("temp") + "/" + name;
    EXPECT_TRUE(CopyFileA((LibraryFolder() + "/" + kSampleFile).c_str(), path.c_str(), FALSE));
    return path;
}

DWORD DeleteError(const std::string &path)
{
    SetLastError(kSentinel);
    return DeleteFileA(path.c_str()) ? ERROR_SUCCESS : GetLastError();
}

} // namespace

TEST(ModuleImage, LoadedLibraryIsNotDeletedUntilItsLastFree)
{
    const std::string path = CopyOfSample("Muestra.dll");
    HMODULE first = LoadLibraryA(path.c_str());
    ASSERT_NE(first, nullptr) << LoaderText();
    HMODULE second = LoadLibraryA(path.c_str());
    EXPECT_EQ(DeleteError(path), DWORD(ERROR_ACCESS_DENIED));
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_DELETE_ON_CLOSE, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    // Nor written over, nor replaced.
    const std::string copy = kittest::MachineDir() + "/temp/copia.dll";
    EXPECT_TRUE(CopyFileA(path.c_str(), copy.c_str(), FALSE)); // it can still be read
    SetLastError(kSentinel);
    EXPECT_FALSE(CopyFileA(copy.c_str(), path.c_str(), FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    SetLastError(kSentinel);
    EXPECT_FALSE(MoveFileExA(copy.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(DeleteError(copy), DWORD(ERROR_SUCCESS));
    // Renamed it may be, as NT renames a loaded image; the hold goes with the file.
    const std::string renamed = kittest::MachineDir() + "/temp/Renombrada.dll";
    EXPECT_TRUE(MoveFileA(path.c_str(), renamed.c_str()));
    EXPECT_EQ(DeleteError(renamed), DWORD(ERROR_ACCESS_DENIED));

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(DeleteError(renamed), DWORD(ERROR_ACCESS_DENIED)); // one reference left
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(DeleteError(renamed), DWORD(ERROR_SUCCESS));
}

TEST(ModuleImage, LibraryOfAnotherProcessUntilFreedOrKilled)
{
    const std::string path = CopyOfSample("Otra.dll");
    {
        Gate gate("KitModuleImageGate");
        kittest::Child child("platform_child_loader", {path, gate.Name()});
        ASSERT_EQ(child.ReadLine(), "loaded");
        EXPECT_EQ(DeleteError(path), DWORD(ERROR_ACCESS_DENIED));
        gate.Open();
        ASSERT_EQ(child.ReadLine(), "freed");
        EXPECT_EQ(DeleteError(path), DWORD(ERROR_SUCCESS)); // the child still runs
    }
    CopyOfSample("Otra.dll");
    {
        Gate gate("KitModuleImageKilled");
        kittest::Child child("platform_child_loader", {path, gate.Name()});
        ASSERT_EQ(child.ReadLine(), "loaded");
        EXPECT_EQ(DeleteError(path), DWORD(ERROR_ACCESS_DENIED));
        child.Kill(); // its hold goes with it
        EXPECT_EQ(DeleteError(path), DWORD(ERROR_SUCCESS));
    }
}
