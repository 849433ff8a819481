// Events, mutexes (machine-wide when named) and critical sections.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>
#include <thread>

namespace
{
DWORD WINAPI TakeAndEnd(LPVOID mutex)
{
    // Ends owning the mutex: the next waiter finds it abandoned.
    return WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
}

DWORD WINAPI TryRelease(LPVOID mutex)
{
    SetLastError(0xdeadbeef);
    BOOL released = ReleaseMutex(static_cast<HANDLE>(mutex));
    return released ? 0 : GetLastError();
}
} // namespace

TEST(Event, ManualAndAutoReset)
{
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    HANDLE both[] = {manual, automatic};
    SetEvent(automatic);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(manual);
    SetEvent(automatic);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Event, NamedWithinTheProcess)
{
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "KitEvent");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, "KitEvent");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE opened = OpenEventA(EVENT_ALL_ACCESS, FALSE, "KitEvent");
    ASSERT_NE(opened, nullptr);
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "KitEvent"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Mutex, RecursiveOwnershipAndNonOwnerRelease)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // owner again
    HANDLE thread = CreateThread(nullptr, 0, TryRelease, mutex, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(thread);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

TEST(Mutex, AbandonedByADeadThread)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "KitAbandoned");
    HANDLE thread = CreateThread(nullptr, 0, TakeAndEnd, mutex, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0); // whole again
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST(Mutex, NamedIsMachineWide)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "KitShared");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE again = CreateMutexA(nullptr, FALSE, "KitShared");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "kitshared"), nullptr); // names keep their case
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    kittest::Child child("platform_child_runtime", {"hold-mutex", "KitShared"});
    ASSERT_EQ(child.ReadLine(), "held");
    EXPECT_EQ(WaitForSingleObject(mutex, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    child.Kill();
    EXPECT_EQ(WaitForSingleObject(again, 5000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(again));
    CloseHandle(mutex);
    CloseHandle(again);
    // Gone with its last handle.
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "KitShared"), nullptr);
}

// A backslash is the object namespace's separator: only the session prefixes may hold one, and
// in the one session they name the same object as the bare name.
TEST(Mutex, NamesHoldNoBackslashButTheSessionPrefix)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Kit\\Shared"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "Kit\\Shared"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    HANDLE local = CreateMutexA(nullptr, TRUE, "Local\\KitSession");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE bare = CreateMutexA(nullptr, FALSE, "KitSession");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(bare, 0), WAIT_OBJECT_0); // this thread owns it already
    EXPECT_TRUE(ReleaseMutex(bare));
    EXPECT_TRUE(ReleaseMutex(local));
    CloseHandle(bare);
    CloseHandle(local);
}

TEST(Mutex, TwoProcessesContend)
{
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "KitCount.counter");
    auto *counter = static_cast<volatile LONG *>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(counter, nullptr);
    kittest::Child a("platform_child_runtime", {"take-mutex", "KitCount", "300"});
    kittest::Child b("platform_child_runtime", {"take-mutex", "KitCount", "300"});
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_EQ(b.Wait(), 0);
    EXPECT_EQ(*counter, 600);
    UnmapViewOfFile(const_cast<LONG *>(counter));
    CloseHandle(mapping);
}

TEST(CriticalSection, RecursiveForItsOwner)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    BOOL other = TRUE;
    std::thread([&] { other = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(other);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        other = TryEnterCriticalSection(&section);
        if (other)
            LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(other);
    DeleteCriticalSection(&section);
}

TEST(Wait, BadArguments)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForMultipleObjects(0, nullptr, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x1234));
    EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(bogus));
    EXPECT_FALSE(ReleaseMutex(bogus));
}
