// Thread message queues. A thread's queue exists from its first PeekMessageA or GetMessageA
// and goes with the thread; posting to a thread without one fails with
// ERROR_INVALID_THREAD_ID, as on Windows. Queues are guarded by the wait lock, so a message
// wait is an ordinary platform wait (and a wait point for TerminateThread).
#include "platform/core/lasterror.h"
#include "platform/kernel32/thread.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace
{
class MessageQueue : public plat::Waitable
{
  public:
    MessageQueue() : Waitable(plat::ObjectKind::MessageQueue) {}
    // "Input is waiting": any posted message, or a quit request.
    bool IsSignaled(DWORD) const override { return !posted.empty() || quitPosted; }

    // Guarded by WaitMutex.
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
};

std::map<DWORD, std::shared_ptr<MessageQueue>> &Queues()
{
    static auto *queues = new std::map<DWORD, std::shared_ptr<MessageQueue>>;
    return *queues;
}

void DropQueue(DWORD tid)
{
    std::shared_ptr<MessageQueue> queue;
    std::lock_guard guard(plat::WaitMutex());
    auto it = Queues().find(tid);
    if (it != Queues().end())
    {
        queue = std::move(it->second);
        Queues().erase(it);
    }
}

// The calling thread's queue, created on first use.
std::shared_ptr<MessageQueue> OwnQueue()
{
    thread_local std::shared_ptr<MessageQueue> own;
    if (own)
        return own;
    plat::AtThreadExit(&DropQueue);
    plat::WatchThreadEnd();
    auto queue = std::make_shared<MessageQueue>();
    {
        std::lock_guard guard(plat::WaitMutex());
        Queues()[GetCurrentThreadId()] = queue;
    }
    own = queue;
    return own;
}

// Signaled when the queue changed since it was looked at.
class NewInput : public plat::Waitable
{
  public:
    NewInput(const MessageQueue &queue, size_t seen, bool quit)
        : Waitable(plat::ObjectKind::MessageQueue), queue_(queue), seen_(seen), quit_(quit)
    {
    }
    bool IsSignaled(DWORD) const override
    {
        return queue_.posted.size() != seen_ || queue_.quitPosted != quit_;
    }

  private:
    const MessageQueue &queue_;
    size_t seen_;
    bool quit_;
};

bool Matches(const MSG &msg, HWND hWnd, UINT first, UINT last)
{
    if (hWnd == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) && msg.hwnd != nullptr)
        return false;
    if (hWnd && hWnd != reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) && msg.hwnd != hWnd)
        return false;
    if (first == 0 && last == 0)
        return true;
    return msg.message >= first && msg.message <= last;
}

// Takes the first message in the filter; the quit request comes once the posted messages
// in the filter are gone, whatever the range (GetMessage and PeekMessage always retrieve
// WM_QUIT). Called with WaitMutex held.
bool TakeMessage(MessageQueue &queue, LPMSG msg, HWND hWnd, UINT first, UINT last, bool remove)
{
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it)
    {
        if (!Matches(*it, hWnd, first, last))
            continue;
        *msg = *it;
        if (remove)
            queue.posted.erase(it);
        return true;
    }
    if (queue.quitPosted)
    {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(queue.quitCode);
        msg->time = GetTickCount();
        if (remove)
            queue.quitPosted = false;
        return true;
    }
    return false;
}
} // namespace

// PeekMessageA: the first message in the filter, if any, removed with PM_REMOVE.
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    std::shared_ptr<MessageQueue> queue = OwnQueue();
    if (!lpMsg)
        return plat::Fail(ERROR_NOACCESS);
    std::lock_guard guard(plat::WaitMutex());
    return TakeMessage(*queue, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

// GetMessageA: waits for a message in the filter; returns 0 for WM_QUIT.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    std::shared_ptr<MessageQueue> queue = OwnQueue();
    if (!lpMsg)
    {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    for (;;)
    {
        size_t seen;
        bool quit;
        {
            std::lock_guard guard(plat::WaitMutex());
            if (TakeMessage(*queue, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true))
                return lpMsg->message == WM_QUIT ? FALSE : TRUE;
            seen = queue->posted.size();
            quit = queue->quitPosted;
        }
        // Waits for new input; messages outside the filter wake us and are left in place.
        NewInput input(*queue, seen, quit);
        plat::Waitable *objects[] = {&input};
        plat::WaitForObjects(objects, false, INFINITE);
    }
}

// PostThreadMessageA: adds a message to another thread's queue (ERROR_INVALID_THREAD_ID when
// the thread has none, ERROR_NOT_ENOUGH_QUOTA when it is full).
BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard guard(plat::WaitMutex());
        auto it = Queues().find(idThread);
        if (it == Queues().end())
            return plat::Fail(ERROR_INVALID_THREAD_ID);
        MessageQueue &queue = *it->second;
        if (queue.posted.size() >= KIT_MESSAGE_QUEUE_LIMIT)
            return plat::Fail(ERROR_NOT_ENOUGH_QUOTA);
        MSG msg{};
        msg.message = Msg;
        msg.wParam = wParam;
        msg.lParam = lParam;
        msg.time = GetTickCount();
        queue.posted.push_back(msg);
    }
    plat::NotifyWaiters();
    return TRUE;
}

// PostQuitMessage: asks the calling thread's message loop to end; GetMessageA returns 0 once
// the messages already posted are taken.
void WINAPI PostQuitMessage(int nExitCode)
{
    std::shared_ptr<MessageQueue> queue = OwnQueue();
    {
        std::lock_guard guard(plat::WaitMutex());
        queue->quitPosted = true;
        queue->quitCode = nExitCode;
    }
    plat::NotifyWaiters();
}

// MsgWaitForMultipleObjects: waits for the handles or for input in the calling thread's queue
// (WAIT_OBJECT_0 + nCount). Differs: every wake mask means "any posted message", and waiting
// for all handles is not offered.
DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE *pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD)
{
    if (nCount >= MAXIMUM_WAIT_OBJECTS || (nCount > 0 && !pHandles))
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (fWaitAll)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return WAIT_FAILED;
    }
    std::shared_ptr<MessageQueue> queue = OwnQueue();
    std::vector<std::shared_ptr<plat::Waitable>> holders;
    std::vector<plat::Waitable *> objects;
    for (DWORD i = 0; i < nCount; ++i)
    {
        std::shared_ptr<plat::Waitable> object = plat::WaitableFromHandle(pHandles[i]);
        if (!object)
        {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object.get());
        holders.push_back(std::move(object));
    }
    objects.push_back(queue.get());
    return plat::WaitForObjects(objects, false, dwMilliseconds);
}

// GetQueueStatus: QS_POSTMESSAGE in both words when posted messages are waiting.
DWORD WINAPI GetQueueStatus(UINT flags)
{
    std::shared_ptr<MessageQueue> queue = OwnQueue();
    std::lock_guard guard(plat::WaitMutex());
    DWORD status = (!queue->posted.empty() || queue->quitPosted) ? QS_POSTMESSAGE : 0;
    status &= flags;
    return (status << 16) | status;
}

namespace
{
// Registered window messages: one id per name, in the order they were first asked for.
constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;

std::mutex g_registeredLock;
std::map<std::string, UINT> g_registered;
} // namespace

// RegisterWindowMessageA: the same id for the same name, compared without case, from 0xC000
// up; an empty or null name is ERROR_INVALID_PARAMETER and 0. Differs from Windows: the ids are
// the process's, not the session's (no messages cross processes here).
UINT WINAPI RegisterWindowMessageA(LPCSTR lpString)
{
    if (!lpString || !*lpString)
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = lpString;
    for (char &c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::lock_guard<std::mutex> guard(g_registeredLock);
    auto it = g_registered.find(key);
    if (it != g_registered.end())
        return it->second;
    const UINT id = kFirstRegisteredMessage + static_cast<UINT>(g_registered.size());
    if (id > kLastRegisteredMessage)
    {
        plat::Fail(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    g_registered.emplace(key, id);
    return id;
}
