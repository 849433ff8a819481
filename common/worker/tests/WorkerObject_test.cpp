// The worker protocol through an object whose job the test controls: the Start refusals, the
// abort message before and during the job, Stop's time-out and forced end, one End per run, the
// machine-wide mutex between objects and threads, and destruction during a run.
#include "common/worker/WorkerObject.h"

#include "common/com/BStr.h"
#include "common/com/Object.h"
#include "testing/tracelog.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>
#ifdef _WIN32
#include <initguid.h> // the tests' own GUIDs are defined in this file
#endif

using kitcom::ComPtr;

namespace
{
// {E7E7E7E7-0000-4000-8000-0000000000A1}
DEFINE_GUID(DIID_TestWorkerEvents, 0xE7E7E7E7, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0xA1);

constexpr UINT kAbortMsg = WM_USER + 77;
constexpr char kLogFile[] = "TestWorker.txt";

constexpr WorkerTexts kTexts = {
    "start begin",    "start active",      "start no mutex", "start mutex held",    "start checks ok",
    "start no event", "start no thread",   "start launched", "start queue timeout", "start ok",
    "stop begin",     "stop abort posted", "stop forced",    "stop not active",     "stop ok",
    "worker begin",   "worker queue",      "worker abort",   "worker ok",
};

enum class Mode
{
    Succeed,
    Fail,        // End(0, "9") with its own line
    WaitForGate, // until the gate opens or the abort message comes
    IgnoreAbort, // until the gate opens, whatever Stop posts
};

class CTestWorker final : public kitcom::Object<CTestWorker, kitcom::Events<&DIID_TestWorkerEvents>>,
                          public CWorkerObject
{
  public:
    explicit CTestWorker(Mode mode) : CWorkerObject(kAbortMsg, kLogFile, kTexts), m_mode(mode)
    {
        m_hGate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_hInJob = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~CTestWorker()
    {
        StopForDestroy();
        CloseHandle(m_hGate);
        CloseHandle(m_hInJob);
    }

    HRESULT Start() { return StartWorker(); }
    HRESULT Stop(LONG lTimeout) { return StopWorker(lTimeout); }
    HRESULT IsActive(LONG *pb) { return IsWorkerActive(pb); }

    void OpenGate() { SetEvent(m_hGate); }
    bool WaitInJob() { return WaitForSingleObject(m_hInJob, 5000) == WAIT_OBJECT_0; }
    std::atomic<int> jobs{0};

  private:
    JobEnd Job() override
    {
        ++jobs;
        SetEvent(m_hInJob);
        switch (m_mode)
        {
        case Mode::Succeed:
            FireProgressDone("17");
            return kJobOk;
        case Mode::Fail:
            return {workercode::kInconsistent, "job failed"};
        case Mode::WaitForGate:
            while (WaitForSingleObject(m_hGate, 1) == WAIT_TIMEOUT)
                if (AbortRequested())
                    return kJobAborted;
            return kJobOk;
        case Mode::IgnoreAbort:
            WaitForSingleObject(m_hGate, INFINITE);
            return kJobOk;
        }
        return kJobOk;
    }
    kitcom::EventSource &EventsOf() override { return *this; }

    const Mode m_mode;
    HANDLE m_hGate = nullptr;
    HANDLE m_hInJob = nullptr;
};

struct Heard
{
    std::string event;
    LONG bOk;
    std::string text;
    DWORD thread;
    bool operator==(const Heard &o) const { return event == o.event && bOk == o.bOk && text == o.text; }
};

class CSink final : public kitcom::Object<CSink, kitcom::EventSink<CSink, &DIID_TestWorkerEvents>>
{
  public:
    static std::span<const kitcom::DispMember<CSink>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CSink> members[] = {
            kitcom::Method<&CSink::Start>("Start", 1),
            kitcom::Method<&CSink::End>("End", 2),
            kitcom::Method<&CSink::ProgressDone>("ProgressDone", 3),
        };
        return members;
    }
    HRESULT Start(LONG bOk, BSTR text) { return Note("Start", bOk, text); }
    HRESULT End(LONG bOk, BSTR text)
    {
        Note("End", bOk, text);
        SetEvent(m_hEnded);
        return S_OK;
    }
    HRESULT ProgressDone(BSTR text) { return Note("ProgressDone", 0, text); }

    std::vector<Heard> Events()
    {
        std::lock_guard guard(m_mutex);
        return m_heard;
    }
    bool WaitEnd() { return WaitForSingleObject(m_hEnded, 5000) == WAIT_OBJECT_0; }

    CSink() : m_hEnded(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CSink() { CloseHandle(m_hEnded); }

  private:
    HRESULT Note(const char *event, LONG bOk, BSTR text)
    {
        std::lock_guard guard(m_mutex);
        m_heard.push_back({event, bOk, kitcom::NarrowOf(text), GetCurrentThreadId()});
        return S_OK;
    }
    std::mutex m_mutex;
    std::vector<Heard> m_heard;
    HANDLE m_hEnded;
};

// An object with a sink connected to it.
struct Connected
{
    explicit Connected(Mode mode) : object(kitcom::Make<CTestWorker>(mode)), sink(kitcom::Make<CSink>())
    {
        ComPtr<IConnectionPoint> point;
        EXPECT_EQ(S_OK, object->FindConnectionPoint(DIID_TestWorkerEvents, &point));
        EXPECT_EQ(S_OK, point->Advise(sink->GetUnknown(), &cookie));
    }
    ComPtr<CTestWorker> object;
    ComPtr<CSink> sink;
    DWORD cookie = 0;
};

Heard H(const char *event, LONG bOk, const char *text)
{
    return {event, bOk, text, 0};
}

std::vector<std::string> Log()
{
    return kittest::TempTraceMessages(kLogFile);
}

// Each test starts without the log (a real PC's temporary folder outlives the test).
class WorkerProtocol : public testing::Test
{
  protected:
    static void DeleteLog()
    {
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        DeleteFileA((std::string(temp) + kLogFile).c_str());
    }
    void SetUp() override { DeleteLog(); }
    void TearDown() override { DeleteLog(); }
};

// Waits until the worker's thread has ended.
void WaitIdle(CTestWorker &object)
{
    for (int i = 0; i < 5000; ++i)
    {
        LONG active = 1;
        if (object.IsActive(&active) == S_OK && active == 0)
            return;
        Sleep(1);
    }
    ADD_FAILURE() << "the worker did not end";
}
} // namespace

TEST_F(WorkerProtocol, ARunFiresStartThenEndFromTheWorkerAndLogsEveryStep)
{
    Connected c(Mode::Succeed);
    ASSERT_EQ(S_OK, c.object->Start());
    ASSERT_TRUE(c.sink->WaitEnd());
    WaitIdle(*c.object);
    const std::vector<Heard> heard = c.sink->Events();
    ASSERT_EQ(3u, heard.size());
    // The worker may end before Start has fired its "14".
    EXPECT_TRUE(std::count(heard.begin(), heard.end(), H("Start", 1, "14")) == 1);
    EXPECT_TRUE(std::count(heard.begin(), heard.end(), H("ProgressDone", 0, "17")) == 1);
    EXPECT_EQ(H("End", 1, "15"), heard.back().event == "End" ? heard.back() : heard[1]);
    for (const Heard &h : heard)
        EXPECT_TRUE(h.event == "Start" || h.thread != GetCurrentThreadId()) << h.event;

    const std::vector<std::string> log = Log();
    for (const char *line : {"start begin", "start checks ok", "start launched", "start ok", "worker begin",
                             "worker queue", "worker ok"})
        EXPECT_EQ(1, std::count(log.begin(), log.end(), line)) << line;
    EXPECT_EQ("start begin", log.front());
    EXPECT_EQ(1, c.object->jobs.load());

    // The object can run again once its worker has ended.
    ASSERT_EQ(S_OK, c.object->Start());
    WaitIdle(*c.object);
    EXPECT_EQ(2, c.object->jobs.load());
}

TEST_F(WorkerProtocol, AFailedJobEndsWithItsCodeAndLine)
{
    Connected c(Mode::Fail);
    ASSERT_EQ(S_OK, c.object->Start());
    ASSERT_TRUE(c.sink->WaitEnd());
    WaitIdle(*c.object);
    EXPECT_EQ(H("End", 0, "9"),
              c.sink->Events().back().event == "End" ? c.sink->Events().back() : c.sink->Events().front());
    // Start's last line may come before or after the worker's.
    const std::vector<std::string> log = Log();
    const auto queue = std::find(log.begin(), log.end(), "worker queue");
    EXPECT_NE(log.end(), std::find(queue, log.end(), "job failed")) << testing::PrintToString(log);
    EXPECT_EQ(0, std::count(log.begin(), log.end(), "worker ok"));
}

TEST_F(WorkerProtocol, StartWhileRunningIsRefusedAndTheRunGoesOn)
{
    Connected c(Mode::WaitForGate);
    ASSERT_EQ(S_OK, c.object->Start());
    ASSERT_TRUE(c.object->WaitInJob());
    LONG active = 0;
    EXPECT_EQ(S_OK, c.object->IsActive(&active));
    EXPECT_EQ(1, active);
    EXPECT_EQ(S_FALSE, c.object->Start());
    EXPECT_EQ(S_FALSE, c.object->IsActive(nullptr));
    c.object->OpenGate();
    ASSERT_TRUE(c.sink->WaitEnd());
    WaitIdle(*c.object);
    const std::vector<Heard> heard = c.sink->Events();
    EXPECT_EQ((std::vector<Heard>{H("Start", 1, "14"), H("Start", 0, "1"), H("End", 1, "15")}), heard);
    const std::vector<std::string> log = Log();
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "start active"));
}

TEST_F(WorkerProtocol, OneRunAtATimeAcrossObjectsAndThreads)
{
    Connected first(Mode::WaitForGate);
    Connected second(Mode::Succeed);
    ASSERT_EQ(S_OK, first.object->Start());
    ASSERT_TRUE(first.object->WaitInJob());
    // Another object on the same thread, and on another thread.
    EXPECT_EQ(S_FALSE, second.object->Start());
    std::pair<CTestWorker *, HRESULT> call{second.object.Get(), E_FAIL};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto *args = static_cast<std::pair<CTestWorker *, HRESULT> *>(p);
            args->second = args->first->Start();
            return 0;
        },
        &call, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(S_FALSE, call.second);
    EXPECT_EQ((std::vector<Heard>{H("Start", 0, "3"), H("Start", 0, "3")}), second.sink->Events());
    EXPECT_EQ(0, second.object->jobs.load());

    // Once the first run has ended, the mutex is free for the next.
    first.object->OpenGate();
    ASSERT_TRUE(first.sink->WaitEnd());
    WaitIdle(*first.object);
    EXPECT_EQ(S_OK, second.object->Start());
    ASSERT_TRUE(second.sink->WaitEnd());
    WaitIdle(*second.object);
    EXPECT_EQ(1, second.object->jobs.load());
}

TEST_F(WorkerProtocol, AMutexHeldElsewhereRefusesTheRun)
{
    // Another thread holds the mutex, as another program would.
    struct Holder
    {
        HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    } holder;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto *h = static_cast<Holder *>(p);
            HANDLE mutex = CreateMutexA(nullptr, TRUE, CWorkerObject::kMutexName);
            SetEvent(h->taken);
            WaitForSingleObject(h->done, INFINITE);
            ReleaseMutex(mutex);
            CloseHandle(mutex);
            return 0;
        },
        &holder, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(holder.taken, 5000));
    {
        Connected c(Mode::Succeed);
        EXPECT_EQ(S_FALSE, c.object->Start());
        EXPECT_EQ((std::vector<Heard>{H("Start", 0, "3")}), c.sink->Events());
        EXPECT_EQ((std::vector<std::string>{"start begin", "start mutex held"}), Log());
        EXPECT_EQ(0, c.object->jobs.load());
    }
    SetEvent(holder.done);
    WaitForSingleObject(thread, 5000);
    for (HANDLE h : {thread, holder.taken, holder.done})
        CloseHandle(h);
}

TEST_F(WorkerProtocol, StopAbortsAWaitingJobAndSaysSoOnce)
{
    Connected c(Mode::WaitForGate);
    ASSERT_EQ(S_OK, c.object->Start());
    ASSERT_TRUE(c.object->WaitInJob());
    EXPECT_EQ(S_OK, c.object->Stop(5000));
    LONG active = 1;
    EXPECT_EQ(S_OK, c.object->IsActive(&active));
    EXPECT_EQ(0, active);
    const std::vector<Heard> heard = c.sink->Events();
    EXPECT_EQ((std::vector<Heard>{H("Start", 1, "14"), H("End", 0, "16")}), heard);
    const std::vector<std::string> log = Log();
    for (const char *line : {"stop begin", "stop abort posted", "worker abort", "stop ok"})
        EXPECT_EQ(1, std::count(log.begin(), log.end(), line)) << line;
    EXPECT_EQ(0, std::count(log.begin(), log.end(), "stop forced"));
}

TEST_F(WorkerProtocol, StopWithANegativeTimeOutKillsTheWorker)
{
    Connected c(Mode::IgnoreAbort);
    ASSERT_EQ(S_OK, c.object->Start());
    ASSERT_TRUE(c.object->WaitInJob());
    EXPECT_EQ(S_OK, c.object->Stop(-5));
    // End comes from Stop, on this thread, at once; the killed worker says nothing more.
    std::vector<Heard> heard = c.sink->Events();
    ASSERT_EQ(2u, heard.size());
    EXPECT_EQ(H("End", 0, "16"), heard[1]);
    EXPECT_EQ(GetCurrentThreadId(), heard[1].thread);
    WaitIdle(*c.object);
    EXPECT_EQ(2u, c.sink->Events().size());
    const std::vector<std::string> log = Log();
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "stop forced"));
    EXPECT_EQ(0, std::count(log.begin(), log.end(), "worker ok"));

    // The killed run gave the mutex back: another object runs.
    Connected next(Mode::Succeed);
    EXPECT_EQ(S_OK, next.object->Start());
    ASSERT_TRUE(next.sink->WaitEnd());
    WaitIdle(*next.object);
}

TEST_F(WorkerProtocol, StopWithoutARunLogsThatAndFiresNothing)
{
    Connected c(Mode::Succeed);
    EXPECT_EQ(S_OK, c.object->Stop(100));
    EXPECT_TRUE(c.sink->Events().empty());
    EXPECT_EQ((std::vector<std::string>{"stop begin", "stop not active", "stop ok"}), Log());
    LONG active = 1;
    EXPECT_EQ(S_OK, c.object->IsActive(&active));
    EXPECT_EQ(0, active);
}

TEST_F(WorkerProtocol, AStopRightAfterStartEndsTheRunOnce)
{
    // The worker may take the abort message at its first look or be killed in its job: either
    // way the run has one End, "16".
    Connected c(Mode::IgnoreAbort);
    ASSERT_EQ(S_OK, c.object->Start());
    c.object->Stop(0);
    c.object->OpenGate();
    WaitIdle(*c.object);
    const std::vector<Heard> heard = c.sink->Events();
    EXPECT_EQ(1, std::count_if(heard.begin(), heard.end(), [](const Heard &h) { return h.event == "End"; }));
    EXPECT_EQ(H("End", 0, "16"), heard.back());
}

TEST_F(WorkerProtocol, DestroyingTheObjectStopsItsRun)
{
    auto sink = kitcom::Make<CSink>();
    {
        auto object = kitcom::Make<CTestWorker>(Mode::WaitForGate);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(S_OK, object->FindConnectionPoint(DIID_TestWorkerEvents, &point));
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, point->Advise(sink->GetUnknown(), &cookie));
        ASSERT_EQ(S_OK, object->Start());
        ASSERT_TRUE(object->WaitInJob());
    }
    const std::vector<Heard> heard = sink->Events();
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(H("End", 0, "16"), heard.back());
    // The run is over: the mutex is free.
    Connected next(Mode::Succeed);
    EXPECT_EQ(S_OK, next.object->Start());
    WaitIdle(*next.object);
}
