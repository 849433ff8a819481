// Thread message queues and registered window messages.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{
struct Received
{
    HANDLE ready;
    std::vector<UINT> messages;
    std::vector<LPARAM> params;
    int quitCode = 0;
};

DWORD WINAPI Collect(LPVOID parameter)
{
    auto *received = static_cast<Received *>(parameter);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // creates the queue
    SetEvent(received->ready);
    BOOL rc;
    while ((rc = GetMessageA(&msg, nullptr, 0, 0)) > 0)
    {
        received->messages.push_back(msg.message);
        received->params.push_back(msg.lParam);
    }
    received->quitCode = static_cast<int>(msg.wParam);
    return rc == 0 ? 0 : 1;
}
} // namespace

TEST(MessageQueue, ExistsFromTheFirstPeek)
{
    Received received;
    received.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, Collect, &received, CREATE_SUSPENDED, &id);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0)); // no queue yet
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    ResumeThread(thread);
    WaitForSingleObject(received.ready, INFINITE);
    const LPARAM big = static_cast<LPARAM>(0x123456789ABCLL); // pointer-sized parameters
    for (UINT i = 0; i < 100; ++i)
        EXPECT_TRUE(PostThreadMessageA(id, WM_APP + i, 0, big + i));
    EXPECT_TRUE(PostThreadMessageA(id, WM_QUIT, 5, 0));
    WaitForSingleObject(thread, INFINITE);
    ASSERT_EQ(received.messages.size(), 100u);
    for (UINT i = 0; i < 100; ++i)
    {
        EXPECT_EQ(received.messages[i], WM_APP + i);
        EXPECT_EQ(received.params[i], big + i);
    }
    EXPECT_EQ(received.quitCode, 5);
    CloseHandle(thread);
    CloseHandle(received.ready);
}

TEST(MessageQueue, FiltersAndQuit)
{
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    const DWORD self = GetCurrentThreadId();
    PostThreadMessageA(self, WM_USER + 1, 1, 0);
    PostThreadMessageA(self, WM_APP + 1, 2, 0);
    PostThreadMessageA(self, WM_USER + 2, 3, 0);
    PostQuitMessage(9);
    // The range filter takes the first message inside it; the others stay in order.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP + 10, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP + 10, PM_REMOVE));
    EXPECT_EQ(GetMessageA(&msg, nullptr, WM_USER, WM_USER + 5), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    // The quit request comes after the posted messages.
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 3u);
    // WM_QUIT is taken whatever the filter's range.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP + 10, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    PostQuitMessage(4);
    EXPECT_EQ(GetMessageA(&msg, nullptr, WM_USER, WM_USER + 5), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, MsgWaitForMultipleObjects)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 10, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(MessageQueue, DeadThreadsHaveNoQueue)
{
    Received received;
    received.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, Collect, &received, 0, &id);
    WaitForSingleObject(received.ready, INFINITE);
    PostThreadMessageA(id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(PostThreadMessageA(id, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    CloseHandle(thread);
    CloseHandle(received.ready);
}

TEST(RegisteredMessages, OneIdPerNameWhateverItsCase)
{
    const UINT autoplay = RegisterWindowMessageA("QueryCancelAutoPlay");
    EXPECT_GE(autoplay, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA("querycancelautoplay"), autoplay);
    EXPECT_NE(RegisterWindowMessageA("OtroMensaje"), autoplay);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
}
