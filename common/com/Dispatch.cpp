// IDispatch from a table of members: the argument handling shared by every member.
#include "common/com/Dispatch.h"

#include <algorithm>
#include <cstring>

namespace kitcom
{
namespace
{
// What the failing member said about its failure, until Invoke hands it out. Plain buffers:
// a thread-local object with a destructor would pin the server library in memory for the
// thread's life, and CoFreeUnusedLibraries could no longer unload it.
struct PendingError
{
    bool set;
    HRESULT hr;
    char source[256];
    char description[1024];
};
thread_local PendingError t_pendingError;

template <size_t N> void CopyText(std::string_view text, char (&buffer)[N])
{
    const size_t n = std::min(text.size(), sizeof buffer - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

OLECHAR Fold(OLECHAR c) noexcept
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<OLECHAR>(c - 0x20);
    return c;
}

bool IsMissing(const VARIANT &arg) noexcept
{
    return arg.vt == VT_ERROR && arg.scode == DISP_E_PARAMNOTFOUND;
}
} // namespace

HRESULT ReportError(HRESULT hr, std::string_view source, std::string_view description)
{
    t_pendingError.set = true;
    t_pendingError.hr = hr;
    CopyText(source, t_pendingError.source);
    CopyText(description, t_pendingError.description);
    return hr;
}

InvokeFrame::InvokeFrame(DispKind kind, DISPPARAMS *params, VARIANT *result, EXCEPINFO *excepInfo,
                         UINT *argErr) noexcept
    : kind_(kind), params_(params), result_(result), excepInfo_(excepInfo), argErr_(argErr)
{
}

HRESULT InvokeFrame::Begin() noexcept
{
    t_pendingError.set = false;
    if (result_)
        VariantInit(result_);
    if (!params_ || (params_->cArgs && !params_->rgvarg) ||
        (params_->cNamedArgs && !params_->rgdispidNamedArgs) || params_->cNamedArgs > params_->cArgs)
        return E_INVALIDARG;
    const bool put = kind_ == DispKind::PropPut || kind_ == DispKind::PropPutRef;
    if (params_->cNamedArgs == 0)
        return S_OK;
    // The value of a property put may come as the named argument DISPID_PROPERTYPUT; other
    // named arguments are not understood.
    if (put && params_->cNamedArgs == 1 && params_->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)
        return S_OK;
    return DISP_E_NONAMEDARGS;
}

HRESULT InvokeFrame::CheckCount(size_t inputs) noexcept
{
    return params_->cArgs == inputs ? S_OK : DISP_E_BADPARAMCOUNT;
}

VARIANT &InvokeFrame::Arg(size_t index) noexcept
{
    return params_->rgvarg[params_->cArgs - 1 - index];
}

HRESULT InvokeFrame::Fail(HRESULT hr, size_t index) noexcept
{
    if (argErr_)
        *argErr_ = static_cast<UINT>(params_->cArgs - 1 - index);
    return hr;
}

HRESULT InvokeFrame::Coerce(size_t index, VARTYPE vt, VARIANT &out) noexcept
{
    const VARIANT &arg = Arg(index);
    if (IsMissing(arg))
        return Fail(DISP_E_PARAMNOTOPTIONAL, index);
    HRESULT hr = VariantChangeType(&out, const_cast<VARIANT *>(&arg), 0, vt);
    if (SUCCEEDED(hr))
        return S_OK;
    return Fail(hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH, index);
}

HRESULT InvokeFrame::End(HRESULT hr) noexcept
{
    const bool reported = t_pendingError.set && t_pendingError.hr == hr;
    t_pendingError.set = false;
    if (!called_ || SUCCEEDED(hr))
        return called_ ? S_OK : hr;
    if (excepInfo_)
    {
        std::memset(excepInfo_, 0, sizeof *excepInfo_);
        excepInfo_->scode = hr;
        if (reported)
        {
            excepInfo_->bstrSource = AllocNarrow(t_pendingError.source);
            excepInfo_->bstrDescription = AllocNarrow(t_pendingError.description);
        }
    }
    return DISP_E_EXCEPTION;
}

namespace detail
{
bool NameMatches(LPCOLESTR wide, const char *name) noexcept
{
    for (;; ++wide, ++name)
    {
        const OLECHAR a = Fold(*wide), b = Fold(static_cast<unsigned char>(*name));
        if (a != b)
            return false;
        if (!a)
            return true;
    }
}
} // namespace detail

HRESULT NoTypeInfoCount(UINT *pctinfo) noexcept
{
    if (!pctinfo)
        return E_INVALIDARG;
    *pctinfo = 0;
    return S_OK;
}

HRESULT NoTypeInfo(ITypeInfo **ppTInfo) noexcept
{
    if (!ppTInfo)
        return E_INVALIDARG;
    *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
}
} // namespace kitcom
