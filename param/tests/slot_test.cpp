// The vtable slots of both interfaces, numbered as every client binds them: each operation is
// called through its slot number alone (as a C client calls lpVtbl[n]), and its partner through
// IDispatch with the id the names give (slot - 6). A header that moved an operation would pass
// every test written against the header; these catch it.
#include "param/tests/paramtest.h"

using namespace paramtest;

namespace
{
// A slot of an object's vtable as a plain function taking the object first.
template <class Fn> Fn Slot(IUnknown *object, int slot)
{
    return reinterpret_cast<Fn>((*reinterpret_cast<void ***>(object))[slot]);
}

using SetPair = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR, BSTR);
using GetPair = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR *, BSTR *);
using SetText = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR);
using GetText = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR *);
using SetLong = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, LONG);
using GetLong = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, LONG *);
using NoArgs = HRESULT(STDMETHODCALLTYPE *)(IUnknown *);
using TakeObject = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, IUnknown *);
using GetItem = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, LONG, BSTR *);
using GetItemPair = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, LONG, BSTR *, BSTR *);
using SetMark = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, LONG, LONG);
using GetMark = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, LONG, LONG *);

enum class Kind
{
    Pair, // two texts
    Text, // one text
    Long, // one 32-bit value
};

// A setter and its getter, by slot.
struct Partners
{
    int setSlot, getSlot;
    Kind kind;
};

constexpr int DispidOf(int slot)
{
    return slot - 6;
}

// Sets through the setter's slot and reads through the getter's dispatch id, then the other way
// round, with values of its own for each pair.
void CheckPartners(IDispatch *object, const Partners &p)
{
    SCOPED_TRACE(testing::Message() << "slots " << p.setSlot << "/" << p.getSlot);
    const std::string a = "uno." + std::to_string(p.setSlot), b = "dos." + std::to_string(p.setSlot);
    const LONG n = 1000 + p.setSlot;
    switch (p.kind)
    {
    case Kind::Pair: {
        ASSERT_EQ(Slot<SetPair>(object, p.setSlot)(object, Text(a.c_str()).Get(), Text(b.c_str()).Get()),
                  S_OK);
        BSTR first = nullptr, second = nullptr;
        ASSERT_EQ(Invoke(object, DispidOf(p.getSlot), {Out(&first), Out(&second)}), S_OK);
        EXPECT_EQ(Take(first), a);
        EXPECT_EQ(Take(second), b);
        // Changed through IDispatch, read through the getter's slot (the temporaries live to the
        // end of the call).
        ASSERT_EQ(Invoke(object, DispidOf(p.setSlot), {Variant(b), Variant(a)}), S_OK);
        ASSERT_EQ(Slot<GetPair>(object, p.getSlot)(object, &first, &second), S_OK);
        EXPECT_EQ(Take(first), b);
        EXPECT_EQ(Take(second), a);
        break;
    }
    case Kind::Text: {
        ASSERT_EQ(Slot<SetText>(object, p.setSlot)(object, Text(a.c_str()).Get()), S_OK);
        BSTR text = nullptr;
        ASSERT_EQ(Invoke(object, DispidOf(p.getSlot), {Out(&text)}), S_OK);
        EXPECT_EQ(Take(text), a);
        ASSERT_EQ(Invoke(object, DispidOf(p.setSlot), {Variant(b)}), S_OK);
        ASSERT_EQ(Slot<GetText>(object, p.getSlot)(object, &text), S_OK);
        EXPECT_EQ(Take(text), b);
        break;
    }
    case Kind::Long: {
        ASSERT_EQ(Slot<SetLong>(object, p.setSlot)(object, n), S_OK);
        LONG value = 0;
        ASSERT_EQ(Invoke(object, DispidOf(p.getSlot), {Out(&value)}), S_OK);
        EXPECT_EQ(value, n);
        ASSERT_EQ(Invoke(object, DispidOf(p.setSlot), {In(n + 1)}), S_OK);
        ASSERT_EQ(Slot<GetLong>(object, p.getSlot)(object, &value), S_OK);
        EXPECT_EQ(value, n + 1);
        break;
    }
    }
}

class ParamSlots : public ParamServer
{
};
} // namespace

TEST_F(ParamSlots, RouterParamOperationsSitInTheirSlots)
{
    ComPtr<IRouterParam> param = NewRouter();
    ASSERT_TRUE(param);
    const Partners partners[] = {
        {8, 9, Kind::Pair},   // SetLan, GetLan
        {10, 11, Kind::Pair}, // SetWan, GetWan
        {12, 13, Kind::Pair}, // SetDns, GetDns
        {14, 15, Kind::Pair}, // SetDhcp, GetDhcp
        {16, 17, Kind::Long}, // SetNat, GetNat
        {18, 19, Kind::Long}, // SetBridge, GetBridge
        {20, 21, Kind::Pair}, // SetUser, GetUser
        {22, 23, Kind::Long}, // SetEncap, GetEncap
        {25, 26, Kind::Text}, // SetPorts, GetPorts
    };
    for (const Partners &p : partners)
        CheckPartners(param.Get(), p);

    // 7 CopyTo: the target gets the ports; 24 Reset: the ports are gone.
    ComPtr<IRouterParam> target = NewRouter();
    ASSERT_TRUE(target);
    ASSERT_EQ(Slot<TakeObject>(param.Get(), 7)(param.Get(), target.Get()), S_OK);
    EXPECT_EQ(ReadAll(target.Get()), ReadAll(param.Get()));
    ASSERT_EQ(Slot<NoArgs>(param.Get(), 24)(param.Get()), S_OK);
    BSTR ports = Garbage();
    ASSERT_EQ(param->GetPorts(&ports), S_OK);
    EXPECT_EQ(Take(ports), "");
}

TEST_F(ParamSlots, TcpipParamOperationsSitInTheirSlots)
{
    ComPtr<ITcpipParam> param = NewTcpip();
    ASSERT_TRUE(param);
    const Partners partners[] = {
        {7, 16, Kind::Text},  // PutNicName, GetNicName (16 is the reader this server puts there)
        {8, 17, Kind::Text},  // PutRegID, GetRegID
        {13, 22, Kind::Text}, // PutNodeType, GetNodeType
        {14, 23, Kind::Long}, // PutDhcpEnable, GetDhcpEnable
        {15, 24, Kind::Long}, // PutDnsEnable, GetDnsEnable
        {32, 33, Kind::Text}, // PutHostName, GetHostName
        {34, 35, Kind::Text}, // PutDomain, GetDomain
        {38, 39, Kind::Text}, // PutDhcpIPAddress, GetDhcpIPAddress (39: this server's reader)
        {40, 41, Kind::Text}, // PutDhcpSubnetMask, GetDhcpSubnetMask (41: this server's reader)
        {43, 42, Kind::Text}, // PutDhcpServer, GetDhcpServer
        {45, 44, Kind::Long}, // PutBound, GetBound (44: this server's reader)
    };
    for (const Partners &p : partners)
        CheckPartners(param.Get(), p);

    IUnknown *object = param.Get();
    // 9 AddIP, 18 GetIP, 25 GetIPCount.
    ASSERT_EQ(Slot<SetPair>(object, 9)(object, Text("10.0.0.1").Get(), Text("255.0.0.0").Get()), S_OK);
    LONG count = 0;
    ASSERT_EQ(Slot<GetLong>(object, 25)(object, &count), S_OK);
    EXPECT_EQ(count, 1);
    BSTR ip = nullptr, mask = nullptr;
    ASSERT_EQ(Slot<GetItemPair>(object, 18)(object, 1, &ip, &mask), S_OK);
    EXPECT_EQ(Take(ip), "10.0.0.1");
    EXPECT_EQ(Take(mask), "255.0.0.0");
    // 10/19/26 gateways, 11/20/27 DNS servers, 12/21/28 WINS servers.
    for (int add : {10, 11, 12})
    {
        SCOPED_TRACE(add);
        const std::string item = "10.1.1." + std::to_string(add);
        ASSERT_EQ(Slot<SetText>(object, add)(object, Text(item.c_str()).Get()), S_OK);
        ASSERT_EQ(Slot<GetLong>(object, add + 16)(object, &count), S_OK);
        EXPECT_EQ(count, 1);
        BSTR text = nullptr;
        ASSERT_EQ(Slot<GetItem>(object, add + 9)(object, 1, &text), S_OK);
        EXPECT_EQ(Take(text), item);
    }
    // 36 SetModified, 37 IsModified.
    ASSERT_EQ(Slot<SetMark>(object, 36)(object, TCPIP_GROUP_DNS, 1), S_OK);
    LONG mark = 0;
    ASSERT_EQ(Slot<GetMark>(object, 37)(object, TCPIP_GROUP_DNS, &mark), S_OK);
    EXPECT_EQ(mark, 1);
    // 31 Validate: the settings are usable.
    LONG value = -1;
    ASSERT_EQ(Slot<GetLong>(object, 31)(object, &value), S_OK);
    EXPECT_EQ(value, 0);
    // 30 CopyFrom: every value, marks included; 29 Clear: back to nothing.
    ComPtr<ITcpipParam> copy = NewTcpip();
    ASSERT_TRUE(copy);
    ASSERT_EQ(Slot<TakeObject>(copy.Get(), 30)(copy.Get(), object), S_OK);
    EXPECT_EQ(ReadAll(copy.Get()), ReadAll(param.Get()));
    ASSERT_EQ(Slot<NoArgs>(object, 29)(object), S_OK);
    EXPECT_EQ(ReadAll(param.Get()), ReadAll(NewTcpip().Get()));
}
