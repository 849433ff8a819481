// Connection points: finding and enumerating them, advising, firing to every sink, and firing
// from a worker thread while sinks come and go.
#include "common/com/BStr.h"
#include "common/com/EventSource.h"
#include "common/com/Object.h"

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
// {E7E7E7E7-0000-4000-8000-000000000001}, {...02}
DEFINE_GUID(DIID_First, 0xE7E7E7E7, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(DIID_Second, 0xE7E7E7E7, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);

enum : DISPID
{
    kNumber = 1,
    kText = 2,
    kBoth = 3,
};

std::atomic<int> g_liveSources{0};
std::atomic<int> g_liveSinks{0};

class CSource final : public kitcom::Object<CSource, kitcom::Events<&DIID_First, &DIID_Second>>
{
  public:
    CSource() { ++g_liveSources; }
    ~CSource() { --g_liveSources; }
};

// Records what it hears; may fail, or unadvise itself from inside an event.
class CRecorder final : public kitcom::Object<CRecorder, kitcom::EventSink<CRecorder, &DIID_First>>
{
  public:
    explicit CRecorder(HRESULT result = S_OK) : result_(result) { ++g_liveSinks; }
    ~CRecorder() { --g_liveSinks; }

    static std::span<const kitcom::DispMember<CRecorder>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CRecorder> members[] = {
            kitcom::Method<&CRecorder::Number>("Number", kNumber),
            kitcom::Method<&CRecorder::Text>("Text", kText),
            kitcom::Method<&CRecorder::Both>("Both", kBoth),
        };
        return members;
    }

    HRESULT Number(LONG value)
    {
        Note("n" + std::to_string(value));
        if (leaveFrom)
        {
            leaveFrom->Unadvise(cookie);
            leaveFrom = nullptr;
        }
        ++count;
        return result_;
    }
    HRESULT Text(BSTR text)
    {
        Note("t" + kitcom::NarrowOf(text));
        return result_;
    }
    HRESULT Both(LONG value, BSTR text)
    {
        Note("b" + std::to_string(value) + kitcom::NarrowOf(text));
        return result_;
    }

    std::vector<std::string> Heard()
    {
        std::lock_guard guard(lock_);
        return heard_;
    }

    std::atomic<int> count{0};
    IConnectionPoint *leaveFrom = nullptr; // unadvise at the next Number
    DWORD cookie = 0;

  private:
    void Note(std::string what)
    {
        std::lock_guard guard(lock_);
        heard_.push_back(std::move(what));
    }

    HRESULT result_;
    std::mutex lock_;
    std::vector<std::string> heard_;
};

// A sink that only says IDispatch (not the event IID): still accepted.
class CGeneric final : public kitcom::Object<CGeneric, IDispatch>
{
  public:
    static std::span<const kitcom::DispMember<CGeneric>> DispatchTable()
    {
        static constexpr kitcom::DispMember<CGeneric> members[] = {
            kitcom::Method<&CGeneric::Number>("Number", kNumber),
        };
        return members;
    }
    HRESULT Number(LONG value)
    {
        last = value;
        return S_OK;
    }
    LONG last = 0;
};

// Not a dispatch interface at all.
class CPlain final : public kitcom::Object<CPlain, IUnknown>
{
};

class EventsTest : public testing::Test
{
  protected:
    void TearDown() override
    {
        point.Reset();
        source.Reset();
        EXPECT_EQ(g_liveSources.load(), 0);
        EXPECT_EQ(g_liveSinks.load(), 0);
    }

    ComPtr<IConnectionPoint> Point(REFIID iid)
    {
        ComPtr<IConnectionPointContainer> container;
        EXPECT_EQ(source.As(container), S_OK);
        ComPtr<IConnectionPoint> found;
        EXPECT_EQ(container->FindConnectionPoint(iid, &found), S_OK);
        return found;
    }

    ComPtr<CSource> source = kitcom::Make<CSource>();
    ComPtr<IConnectionPoint> point = Point(DIID_First);
};

DWORD WINAPI FireUntilStopped(LPVOID param)
{
    auto *args = static_cast<std::pair<CSource *, std::atomic<bool> *> *>(param);
    LONG n = 0;
    while (!*args->second)
        args->first->Fire(kBoth, ++n, "x");
    return 0;
}
} // namespace

TEST_F(EventsTest, FindsItsConnectionPoints)
{
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(source.As(container), S_OK);
    ComPtr<IConnectionPoint> second;
    ASSERT_EQ(container->FindConnectionPoint(DIID_Second, &second), S_OK);
    IID iid;
    EXPECT_EQ(second->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID_Second);
    EXPECT_EQ(second->GetConnectionInterface(nullptr), E_POINTER);
    ComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(second->GetConnectionPointContainer(&back), S_OK);
    EXPECT_TRUE(kitcom::SameObject(back.Get(), source->GetUnknown()));

    IConnectionPoint *none = reinterpret_cast<IConnectionPoint *>(1);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(container->FindConnectionPoint(DIID_First, nullptr), E_POINTER);

    // A point answers for itself only, and keeps its object alive.
    ComPtr<IConnectionPoint> same;
    EXPECT_EQ(second.As(same), S_OK);
    ComPtr<IDispatch> notThere;
    EXPECT_EQ(second.As(notThere), E_NOINTERFACE);
    container.Reset();
    back.Reset();
    source.Reset();
    EXPECT_EQ(g_liveSources.load(), 1);
    same.Reset();
    second.Reset();
    point.Reset();
    EXPECT_EQ(g_liveSources.load(), 0);
}

TEST_F(EventsTest, EnumeratesConnectionPoints)
{
    ComPtr<IConnectionPointContainer> container;
    source.As(container);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint *got[3] = {};
    ULONG fetched = 99;
    EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    IID first, second;
    got[0]->GetConnectionInterface(&first);
    got[1]->GetConnectionInterface(&second);
    EXPECT_EQ(first, DIID_First);
    EXPECT_EQ(second, DIID_Second);
    got[0]->Release();
    got[1]->Release();
    EXPECT_EQ(points->Next(2, got, nullptr), E_POINTER);
    EXPECT_EQ(points->Reset(), S_OK);
    EXPECT_EQ(points->Skip(1), S_OK);
    ComPtr<IEnumConnectionPoints> copy;
    ASSERT_EQ(points->Clone(&copy), S_OK);
    EXPECT_EQ(copy->Next(1, got, nullptr), S_OK); // where the original was: the second point
    got[0]->GetConnectionInterface(&second);
    EXPECT_EQ(second, DIID_Second);
    got[0]->Release();
    EXPECT_EQ(points->Skip(5), S_FALSE);
}

TEST_F(EventsTest, AdviseAndUnadvise)
{
    ComPtr<CRecorder> a = kitcom::Make<CRecorder>(), b = kitcom::Make<CRecorder>();
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(point->Advise(a->GetUnknown(), &ca), S_OK);
    ASSERT_EQ(point->Advise(b->GetUnknown(), &cb), S_OK);
    EXPECT_NE(ca, 0u);
    EXPECT_NE(ca, cb);
    EXPECT_EQ(source->ConnectionCount(), 2u);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[3];
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie, ca);
    EXPECT_EQ(data[1].dwCookie, cb);
    EXPECT_TRUE(kitcom::SameObject(data[0].pUnk, a->GetUnknown()));
    data[0].pUnk->Release();
    data[1].pUnk->Release();

    // Sinks that cannot take the events.
    ComPtr<CPlain> plain = kitcom::Make<CPlain>();
    DWORD cookie = 77;
    EXPECT_EQ(point->Advise(plain->GetUnknown(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(point->Advise(a->GetUnknown(), nullptr), E_POINTER);
    // IDispatch without the event IID is enough.
    ComPtr<CGeneric> generic = kitcom::Make<CGeneric>();
    ASSERT_EQ(point->Advise(generic->GetUnknown(), &cookie), S_OK);
    source->Fire(kNumber, 5);
    EXPECT_EQ(generic->last, 5);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);

    EXPECT_EQ(point->Unadvise(ca), S_OK);
    EXPECT_EQ(point->Unadvise(ca), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(source->ConnectionCount(), 1u);
    // The object lets go of the sinks still advised when it goes.
    connections.Reset();
    point.Reset();
    source.Reset();
    a.Reset();
    b.Reset();
    EXPECT_EQ(g_liveSinks.load(), 0);
}

TEST_F(EventsTest, FireReachesEverySinkWithItsArguments)
{
    ComPtr<CRecorder> failing = kitcom::Make<CRecorder>(E_FAIL), good = kitcom::Make<CRecorder>();
    DWORD c1, c2;
    point->Advise(failing->GetUnknown(), &c1);
    point->Advise(good->GetUnknown(), &c2);
    EXPECT_EQ(source->Fire(kNumber, 7), 2u);
    EXPECT_EQ(source->Fire(kText, "Conexión"), 2u);
    EXPECT_EQ(source->Fire(kBoth, 1, std::string("uno")), 2u);
    EXPECT_EQ(source->Fire(99), 2u); // a sink without that member just fails
    const std::vector<std::string> expected = {"n7", "tConexi\xF3n", "b1uno"};
    EXPECT_EQ(failing->Heard(), expected);
    EXPECT_EQ(good->Heard(), expected);

    // The second interface has its own sinks.
    ComPtr<IConnectionPoint> second = Point(DIID_Second);
    ComPtr<CRecorder> other = kitcom::Make<CRecorder>();
    DWORD c3;
    EXPECT_EQ(second->Advise(other->GetUnknown(), &c3), S_OK); // through its IDispatch
    EXPECT_EQ(source->FireOn(1, kNumber, 3), 1u);
    EXPECT_EQ(other->Heard(), std::vector<std::string>{"n3"});
    EXPECT_EQ(good->Heard().size(), 3u);
    EXPECT_EQ(source->FireOn(5, kNumber, 3), 0u); // no such interface
    second->Unadvise(c3);
    point->Unadvise(c1);
    point->Unadvise(c2);
}

TEST_F(EventsTest, ASinkMayUnadviseFromItsOwnEvent)
{
    ComPtr<CRecorder> leaving = kitcom::Make<CRecorder>(), staying = kitcom::Make<CRecorder>();
    point->Advise(leaving->GetUnknown(), &leaving->cookie);
    DWORD cookie;
    point->Advise(staying->GetUnknown(), &cookie);
    leaving->leaveFrom = point.Get();
    source->Fire(kNumber, 1);
    source->Fire(kNumber, 2);
    EXPECT_EQ(leaving->count.load(), 1);
    EXPECT_EQ(staying->count.load(), 2);
    EXPECT_EQ(source->ConnectionCount(), 1u);
    point->Unadvise(cookie);
}

TEST_F(EventsTest, ThousandSinksWhileAWorkerFires)
{
    std::atomic<bool> stop{false};
    std::pair<CSource *, std::atomic<bool> *> args{source.Get(), &stop};
    HANDLE worker = CreateThread(nullptr, 0, FireUntilStopped, &args, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    std::vector<ComPtr<CRecorder>> sinks;
    std::vector<DWORD> cookies;
    for (int i = 0; i < 1000; ++i)
    {
        sinks.push_back(kitcom::Make<CRecorder>());
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(sinks.back()->GetUnknown(), &cookie), S_OK);
        cookies.push_back(cookie);
        if (i % 3 == 2) // let two in, one out
        {
            ASSERT_EQ(point->Unadvise(cookies[i - 2]), S_OK);
            cookies[i - 2] = 0;
        }
    }
    for (DWORD cookie : cookies)
    {
        if (cookie)
        {
            ASSERT_EQ(point->Unadvise(cookie), S_OK);
        }
    }
    stop = true;
    ASSERT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
    CloseHandle(worker);
    EXPECT_EQ(source->ConnectionCount(), 0u);
    // Every event a sink heard arrived whole.
    for (auto &sink : sinks)
        for (const std::string &heard : sink->Heard())
            ASSERT_EQ(heard.back(), 'x');
    sinks.clear();
    EXPECT_EQ(g_liveSinks.load(), 0);
}
