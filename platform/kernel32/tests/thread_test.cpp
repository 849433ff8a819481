// Threads, waiting and TerminateThread.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <atomic>
#include <gtest/gtest.h>

namespace
{
DWORD WINAPI ReturnParameter(LPVOID parameter)
{
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(parameter));
}

DWORD WINAPI WaitOnEvent(LPVOID parameter)
{
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 7;
}

DWORD WINAPI CallExitThread(LPVOID)
{
    ExitThread(42);
}

std::atomic<bool> g_destructorRan{false};

struct MarksDestruction
{
    ~MarksDestruction() { g_destructorRan = true; }
};

// Blocks in GetMessageA until terminated.
DWORD WINAPI MessageLoop(LPVOID ready)
{
    MarksDestruction guard;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(static_cast<HANDLE>(ready));
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
    }
    return 0;
}
} // namespace

TEST(Thread, ExitCodesAndWaiting)
{
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(5), 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(GetThreadId(thread), id);
    EXPECT_TRUE(CloseHandle(thread));

    thread = CreateThread(nullptr, 0, CallExitThread, nullptr, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 42u);
    CloseHandle(thread);
}

TEST(Thread, SuspendedUntilResumed)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitOnEvent, event, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT)); // still suspended
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(Thread, TerminateEndsABlockedMessageLoop)
{
    g_destructorRan = false;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, MessageLoop, ready, 0, &id);
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(TerminateThread(thread, 99));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 99u);
#ifndef _WIN32
    // The simulated PC's TerminateThread unwinds the thread's stack; Windows' runs nothing.
    EXPECT_TRUE(g_destructorRan);
#endif
    // The queue went with the thread, and no platform lock was left held: the platform still
    // works from here.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    CloseHandle(thread);
    CloseHandle(ready);
}

#ifndef _WIN32
namespace
{
std::atomic<DWORD> g_waitInDestructor{WAIT_FAILED};
} // namespace

// A thread being terminated unwinds its frames; a destructor on the way may still wait.
struct WaitingDestructor
{
    HANDLE event;
    ~WaitingDestructor() { g_waitInDestructor = WaitForSingleObject(event, 20); }
};

DWORD WINAPI WaitWithAWaitingDestructor(LPVOID parameter)
{
    auto *events = static_cast<HANDLE *>(parameter);
    WaitingDestructor guard{events[1]};
    SetEvent(events[0]);
    Sleep(INFINITE);
    return 0;
}

TEST(Thread, DestructorsWaitWhileATerminatedThreadUnwinds)
{
    g_waitInDestructor = WAIT_FAILED;
    HANDLE events[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                        CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, WaitWithAWaitingDestructor, events, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(events[0], INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(TerminateThread(thread, 5));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(g_waitInDestructor, static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 5u);
    CloseHandle(thread);
    CloseHandle(events[0]);
    CloseHandle(events[1]);
}
#endif

TEST(Thread, TerminateASuspendedThread)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitOnEvent, event, CREATE_SUSPENDED, nullptr);
    EXPECT_TRUE(TerminateThread(thread, 3));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 3u);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST(Thread, BadHandles)
{
    HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_FALSE(TerminateThread(thread, 0));
    EXPECT_EQ(ResumeThread(thread), static_cast<DWORD>(-1));
    EXPECT_FALSE(CloseHandle(thread));
#ifndef _WIN32
    // Windows starts the thread, which then faults; the simulated PC refuses it.
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
#endif
}
