// What the parameter objects' tests share: DaxParam registered with regsvr32 and the objects
// created from another library (testlib_paramclient), IDispatch::Invoke calls, and readers
// that take every value of an object through its public interface.
#pragma once

#include "common/com/BStr.h"
#include "common/param/ParamObjects.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace paramtest
{
using kitcom::BStr;
using kitcom::ComPtr;
using kitcom::Variant;

class ParamServer : public testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    template <class I> ComPtr<I> CreateByProgId(LPCOLESTR progId)
    {
        ComPtr<I> object;
        EXPECT_EQ(byProgId_(progId, kitcom::IidOf<I>(), object.PutVoid()), S_OK);
        return object;
    }
    template <class I> ComPtr<I> CreateByClsid(REFCLSID clsid)
    {
        ComPtr<I> object;
        EXPECT_EQ(byClsid_(clsid, kitcom::IidOf<I>(), object.PutVoid()), S_OK);
        return object;
    }
    ComPtr<IRouterParam> NewRouter() { return CreateByProgId<IRouterParam>(OLESTR("DaxParam.RouterParam")); }
    ComPtr<ITcpipParam> NewTcpip() { return CreateByClsid<ITcpipParam>(CLSID_TcpipParam); }

    HRESULT RawCreateByProgId(LPCOLESTR progId, REFIID riid, void **ppv)
    {
        return byProgId_(progId, riid, ppv);
    }
    HRESULT RawCreateByClsid(REFCLSID clsid, REFIID riid, void **ppv) { return byClsid_(clsid, riid, ppv); }

  private:
    typedef HRESULT (*ByProgIdFn)(LPCOLESTR, REFIID, void **);
    typedef HRESULT (*ByClsidFn)(REFCLSID, REFIID, void **);
    HMODULE client_ = nullptr;
    ByProgIdFn byProgId_ = nullptr;
    ByClsidFn byClsid_ = nullptr;
};

// IDispatch::Invoke of a method, the arguments given in declaration order.
HRESULT Invoke(IDispatch *object, DISPID id, std::vector<VARIANT> args, EXCEPINFO *excepInfo = nullptr);
// A VT_BYREF argument for an [out] parameter.
VARIANT Out(BSTR *target);
VARIANT Out(LONG *target);
VARIANT Out(VARIANT *target); // VT_BYREF|VT_VARIANT
// A VT_I4 argument.
VARIANT In(LONG value);

// An 8-bit text as a BSTR (the kit's rule), and a BSTR's 8-bit text.
inline BStr Text(const char *text)
{
    return BStr(text);
}
std::string Take(BSTR &text); // frees it

// A BSTR* that a method must overwrite: any value it keeps is a bug.
inline BSTR Garbage()
{
    return reinterpret_cast<BSTR>(static_cast<uintptr_t>(0x5A5A5A5A));
}

// Every value of a RouterParam, read through IRouterParam.
struct RouterSnapshot
{
    std::array<std::string, 11>
        texts;                 // lan ip/mask, wan ip/mask, dns1/2, dhcp start/size, user, password, ports
    std::array<LONG, 3> flags; // nat, bridge, encap
    bool operator==(const RouterSnapshot &) const = default;
};
RouterSnapshot ReadAll(IRouterParam *param);
// Sets every value from a seed, so two seeds give two different sets.
void FillAll(IRouterParam *param, int seed);

// Every value of a TcpipParam, read through ITcpipParam.
struct TcpipSnapshot
{
    std::array<std::string, 8> texts; // nic, regid, node type, host, domain, dhcp ip, dhcp mask, dhcp server
    std::array<LONG, 3> flags;        // dhcp, dns, bound
    std::vector<std::pair<std::string, std::string>> ips;
    std::array<std::vector<std::string>, 3> lists; // gateways, dns, wins
    std::array<LONG, 6> modified;
    bool operator==(const TcpipSnapshot &) const = default;
};
TcpipSnapshot ReadAll(ITcpipParam *param);
void FillAll(ITcpipParam *param, int seed);
} // namespace paramtest
