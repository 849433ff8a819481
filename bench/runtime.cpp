// Run-time paths the kit's components lean on: thread messages between two threads
// (PostThreadMessageA -> GetMessageA; target 200,000 messages/s), event ping-pong between two
// threads (SetEvent / WaitForSingleObject; target 100,000 round trips/s) and CoCreateInstance of
// a class whose server is already loaded (target 20,000 objects/s).
#include "common/com/sample/KitSample.h"
#include "testing/machine.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
constexpr UINT kWorkMessage = WM_USER + 1;
constexpr int kBatch = 1000; // messages per iteration, well under the queue's limit

struct Receiver
{
    HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE batchDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
};

// Takes messages until WM_QUIT, saying when each batch has arrived.
DWORD WINAPI ReceiveMessages(LPVOID param)
{
    auto *receiver = static_cast<Receiver *>(param);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue exists from here on
    SetEvent(receiver->ready);
    int received = 0;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        if (msg.message == kWorkMessage && ++received % kBatch == 0)
            SetEvent(receiver->batchDone);
    return 0;
}

void BM_ThreadMessages(benchmark::State &state)
{
    Receiver receiver;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ReceiveMessages, &receiver, 0, &id);
    WaitForSingleObject(receiver.ready, INFINITE);
    for (auto _ : state)
    {
        for (int i = 0; i < kBatch; ++i)
            if (!PostThreadMessageA(id, kWorkMessage, static_cast<WPARAM>(i), 0))
                state.SkipWithError("PostThreadMessageA failed");
        WaitForSingleObject(receiver.batchDone, INFINITE);
    }
    PostThreadMessageA(id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(receiver.ready);
    CloseHandle(receiver.batchDone);
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_ThreadMessages)->UseRealTime();

struct PingPong
{
    HANDLE ping = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE pong = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    volatile LONG stop = 0;
};

DWORD WINAPI Answer(LPVOID param)
{
    auto *p = static_cast<PingPong *>(param);
    for (;;)
    {
        WaitForSingleObject(p->ping, INFINITE);
        if (InterlockedCompareExchange(&p->stop, 0, 0))
            return 0;
        SetEvent(p->pong);
    }
}

void BM_EventPingPong(benchmark::State &state)
{
    PingPong p;
    HANDLE thread = CreateThread(nullptr, 0, Answer, &p, 0, nullptr);
    for (auto _ : state)
    {
        SetEvent(p.ping);
        WaitForSingleObject(p.pong, INFINITE);
    }
    InterlockedExchange(&p.stop, 1);
    SetEvent(p.ping);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(p.ping);
    CloseHandle(p.pong);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EventPingPong)->UseRealTime();

void BM_CoCreateInstance(benchmark::State &state)
{
    kittest::TempMachine machine{"kit-bench", kittest::TempMachine::Settled};
    CoInitialize(nullptr);
    if (!kittest::RegisterServer("KitSample.dll"))
    {
        state.SkipWithError("KitSample.dll cannot be registered (build it first)");
        CoUninitialize();
        return;
    }
    IUnknown *object = nullptr;
    CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void **>(&object));
    if (object)
        object->Release(); // the server is loaded from now on
    for (auto _ : state)
    {
        if (FAILED(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_IUnknown,
                                    reinterpret_cast<void **>(&object))))
        {
            state.SkipWithError("CoCreateInstance failed");
            break;
        }
        object->Release();
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CoCreateInstance);
} // namespace

BENCHMARK_MAIN();
