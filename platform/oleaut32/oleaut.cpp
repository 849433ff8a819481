// BSTR and VARIANT (oleaut32). A BSTR points at UTF-16 text that is preceded by its length in
// bytes (4 bytes) and followed by a 16-bit NUL; a null BSTR reads as the empty string
// everywhere.
#include "platform/core/lasterror.h"
#include "platform/core/text.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace
{
// The block before the text: 4 unused bytes, so the text is 8-byte aligned as on 64-bit
// Windows, then the byte length.
constexpr size_t kHeader = 8;
constexpr size_t kLengthOffset = 4;
constexpr UINT kMaxBytes = 0x7FFFFFF0u;

BSTR AllocateBytes(UINT byteLength)
{
    // Header, text, a 16-bit NUL, and one byte more so that an odd byte length still ends
    // in a whole NUL character.
    auto *block = static_cast<char *>(std::calloc(1, kHeader + byteLength + sizeof(OLECHAR) + 1));
    if (!block)
        return nullptr;
    DWORD length = byteLength;
    std::memcpy(block + kLengthOffset, &length, sizeof length);
    return reinterpret_cast<BSTR>(block + kHeader);
}

char *BlockOf(BSTR bstr)
{
    return reinterpret_cast<char *>(bstr) - kHeader;
}

bool IsInterface(VARTYPE vt)
{
    return vt == VT_UNKNOWN || vt == VT_DISPATCH;
}

// The types a VARIANT may hold here (with or without VT_BYREF); safe arrays and records are
// not offered.
bool IsValidType(VARTYPE vt)
{
    if (vt & (VT_ARRAY | VT_RESERVED))
        return false;
    switch (vt & VT_TYPEMASK)
    {
    case VT_EMPTY:
    case VT_NULL:
        return !(vt & VT_BYREF);
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    case VT_VARIANT:
        return (vt & VT_BYREF) != 0;
    default:
        return false;
    }
}

BSTR CopyBstr(BSTR source)
{
    return source ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source))
                  : nullptr;
}

BSTR BstrOfAscii(const std::string &ascii)
{
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(ascii.size()));
    if (out)
        for (size_t i = 0; i < ascii.size(); ++i)
            out[i] = static_cast<unsigned char>(ascii[i]);
    return out;
}

// --- Numbers -------------------------------------------------------------------------------

long double ValueOfDecimal(const DECIMAL &d)
{
    long double value = std::ldexp(static_cast<long double>(d.Hi32), 64) + static_cast<long double>(d.Lo64);
    value /= std::pow(10.0L, d.scale);
    return (d.sign & 0x80) ? -value : value;
}

// A VARIANT's value as a number, for conversions between numeric types; false for types that
// are not numbers (VT_EMPTY counts as 0, VT_BOOL as -1 or 0).
bool NumberOf(const VARIANT &v, long double &number)
{
    switch (v.vt)
    {
    case VT_EMPTY:
        number = 0;
        return true;
    case VT_I1:
        number = v.cVal;
        return true;
    case VT_UI1:
        number = v.bVal;
        return true;
    case VT_I2:
        number = v.iVal;
        return true;
    case VT_UI2:
        number = v.uiVal;
        return true;
    case VT_I4:
    case VT_INT:
        number = v.lVal;
        return true;
    case VT_UI4:
    case VT_UINT:
        number = v.ulVal;
        return true;
    case VT_I8:
        number = static_cast<long double>(v.llVal);
        return true;
    case VT_UI8:
        number = static_cast<long double>(v.ullVal);
        return true;
    case VT_R4:
        number = v.fltVal;
        return true;
    case VT_R8:
    case VT_DATE:
        number = v.dblVal;
        return true;
    case VT_CY:
        number = static_cast<long double>(v.cyVal.int64) / 10000.0L;
        return true;
    case VT_DECIMAL:
        number = ValueOfDecimal(v.decVal);
        return true;
    case VT_BOOL:
        number = v.boolVal ? -1 : 0;
        return true;
    default:
        return false;
    }
}

// A number written in the invariant form: blanks, an optional sign, digits with an optional
// '.' fraction and an optional exponent, blanks. DISP_E_TYPEMISMATCH for anything else
// (hexadecimal "&H" forms, thousands separators, currency signs are not read).
HRESULT ParseNumber(BSTR text, long double &number)
{
    const UINT n = SysStringLen(text);
    UINT i = 0;
    while (i < n && plat::IsSpace(text[i]))
        ++i;
    std::string ascii;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ascii += static_cast<char>(text[i++]);
    bool digits = false;
    while (i < n && plat::IsDigit(text[i]))
        ascii += static_cast<char>(text[i++]), digits = true;
    if (i < n && text[i] == '.')
    {
        ascii += text[i++];
        while (i < n && plat::IsDigit(text[i]))
            ascii += static_cast<char>(text[i++]), digits = true;
    }
    if (!digits)
        return DISP_E_TYPEMISMATCH;
    if (i < n && (text[i] == 'e' || text[i] == 'E'))
    {
        ascii += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ascii += static_cast<char>(text[i++]);
        if (i >= n || !plat::IsDigit(text[i]))
            return DISP_E_TYPEMISMATCH;
        while (i < n && plat::IsDigit(text[i]))
            ascii += static_cast<char>(text[i++]);
    }
    while (i < n && plat::IsSpace(text[i]))
        ++i;
    if (i != n)
        return DISP_E_TYPEMISMATCH;
    number = std::strtold(ascii.c_str(), nullptr);
    return std::isfinite(number) ? S_OK : DISP_E_OVERFLOW;
}

// Whether the text, blanks and line ends around it left out, is the word in any case.
bool EqualsWordNoCase(BSTR text, std::string_view word)
{
    const std::u16string_view whole(text, SysStringLen(text));
    return plat::EqualNoCaseAscii(plat::TrimIf(whole, plat::IsSpace<OLECHAR>), word);
}

// Text to VT_BOOL: the words True and False (any case, or "#TRUE#"/"#FALSE#"), or a number.
HRESULT ParseBool(BSTR text, VARIANT_BOOL &out)
{
    if (EqualsWordNoCase(text, "TRUE") || EqualsWordNoCase(text, "#TRUE#"))
        return out = VARIANT_TRUE, S_OK;
    if (EqualsWordNoCase(text, "FALSE") || EqualsWordNoCase(text, "#FALSE#"))
        return out = VARIANT_FALSE, S_OK;
    long double number;
    HRESULT hr = ParseNumber(text, number);
    if (SUCCEEDED(hr))
        out = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

// Integers round half to even, as Windows coerces (2.5 -> 2, 3.5 -> 4).
template <class T> HRESULT StoreInteger(long double number, T &out)
{
    long double value = std::nearbyint(number);
    if (!(value >= static_cast<long double>(std::numeric_limits<T>::lowest()) &&
          value <= static_cast<long double>(std::numeric_limits<T>::max())))
        return DISP_E_OVERFLOW;
    out = static_cast<T>(value);
    return S_OK;
}

HRESULT StoreNumber(long double number, VARIANT &out)
{
    switch (out.vt)
    {
    case VT_I1:
        return StoreInteger(number, out.cVal);
    case VT_UI1:
        return StoreInteger(number, out.bVal);
    case VT_I2:
        return StoreInteger(number, out.iVal);
    case VT_UI2:
        return StoreInteger(number, out.uiVal);
    case VT_I4:
    case VT_INT:
        return StoreInteger(number, out.lVal);
    case VT_UI4:
    case VT_UINT:
        return StoreInteger(number, out.ulVal);
    case VT_I8:
        return StoreInteger(number, out.llVal);
    case VT_UI8:
        return StoreInteger(number, out.ullVal);
    case VT_CY:
        return StoreInteger(number * 10000.0L, out.cyVal.int64);
    case VT_R4:
        if (std::fabs(number) > FLT_MAX)
            return DISP_E_OVERFLOW;
        out.fltVal = static_cast<FLOAT>(number);
        return S_OK;
    case VT_R8:
    case VT_DATE:
        if (std::fabs(number) > DBL_MAX)
            return DISP_E_OVERFLOW;
        out.dblVal = static_cast<DOUBLE>(number);
        return S_OK;
    case VT_BOOL:
        out.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

// A number as Windows writes it in the invariant form: integers in decimal, floating point
// with 15 (VT_R4: 7) significant digits, exponents as "E+20".
std::string TextOfNumber(const VARIANT &v, long double number, bool alphaBool)
{
    char buffer[80];
    switch (v.vt)
    {
    case VT_BOOL:
        return alphaBool ? (v.boolVal ? "True" : "False") : (v.boolVal ? "-1" : "0");
    case VT_R4:
        std::snprintf(buffer, sizeof buffer, "%.7LG", number);
        return buffer;
    case VT_R8:
    case VT_DECIMAL:
        std::snprintf(buffer, sizeof buffer, "%.15LG", number);
        return buffer;
    case VT_CY: {
        std::snprintf(buffer, sizeof buffer, "%.4Lf", number);
        std::string text = buffer;
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
        return text;
    }
    default:
        std::snprintf(buffer, sizeof buffer, "%.0Lf", number);
        return buffer;
    }
}

bool IsTarget(VARTYPE vt)
{
    return IsValidType(vt) && !(vt & VT_BYREF) && vt != VT_VARIANT;
}

// The value of an object's default property (DISPID_VALUE), for converting an object to a
// plain value.
HRESULT DefaultValueOf(IDispatch *object, VARIANT &value)
{
    VariantInit(&value);
    if (!object)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                &value, nullptr, nullptr);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN || (value.vt & VT_BYREF))
    {
        VariantClear(&value);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// Converts `source` (no VT_BYREF) to `out`, whose vt is already the target type.
HRESULT Coerce(const VARIANT &source, USHORT flags, VARIANT &out)
{
    const VARTYPE from = source.vt, to = out.vt;
    if (from == to)
        return VariantCopy(&out, &source);
    if (to == VT_EMPTY || to == VT_NULL)
        return from != VT_ERROR && from != VT_NULL && from <= VT_UINT ? S_OK : DISP_E_TYPEMISMATCH;
    if (to == VT_UNKNOWN || to == VT_DISPATCH)
    {
        if (!IsInterface(from))
            return DISP_E_TYPEMISMATCH;
        out.punkVal = nullptr;
        if (!source.punkVal)
            return S_OK;
        HRESULT hr = source.punkVal->QueryInterface(to == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                                    reinterpret_cast<void **>(&out.punkVal));
        return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
    }
    if (from == VT_DISPATCH)
    {
        if (flags & VARIANT_NOVALUEPROP)
            return DISP_E_TYPEMISMATCH;
        VARIANT value;
        HRESULT hr = DefaultValueOf(source.pdispVal, value);
        if (SUCCEEDED(hr))
            hr = Coerce(value, flags | VARIANT_NOVALUEPROP, out);
        VariantClear(&value);
        return hr;
    }
    if (from == VT_NULL || from == VT_UNKNOWN)
        return DISP_E_TYPEMISMATCH;
    if (from == VT_ERROR || to == VT_ERROR)
    {
        // An error code travels only as a 32-bit integer.
        const bool integer = from == VT_I4 || from == VT_UI4 || to == VT_I4 || to == VT_UI4;
        if (!integer)
            return DISP_E_TYPEMISMATCH;
        out.lVal = source.lVal;
        return S_OK;
    }
    if (to == VT_DECIMAL)
        return DISP_E_TYPEMISMATCH;
    if (to == VT_BSTR)
    {
        long double number;
        if (from == VT_DATE || !NumberOf(source, number))
            return DISP_E_TYPEMISMATCH;
        out.bstrVal =
            BstrOfAscii(from == VT_EMPTY ? "" : TextOfNumber(source, number, flags & VARIANT_ALPHABOOL));
        return out.bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    if (from == VT_BSTR)
    {
        if (to == VT_BOOL)
            return ParseBool(source.bstrVal, out.boolVal);
        if (to == VT_DATE)
            return DISP_E_TYPEMISMATCH;
        long double number;
        HRESULT hr = ParseNumber(source.bstrVal, number);
        return FAILED(hr) ? hr : StoreNumber(number, out);
    }
    long double number;
    if (!NumberOf(source, number))
        return DISP_E_TYPEMISMATCH;
    return StoreNumber(number, out);
}
} // namespace

// SysAllocString: a BSTR copy of a NUL-terminated text (NULL gives NULL).
BSTR WINAPI SysAllocString(const OLECHAR *psz)
{
    if (!psz)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::char_traits<char16_t>::length(psz)));
}

// SysAllocStringLen: ui characters copied from strIn; with strIn NULL the text is zeroed
// (Windows leaves it undefined). NULL when ui is beyond the BSTR limit.
BSTR WINAPI SysAllocStringLen(const OLECHAR *strIn, UINT ui)
{
    if (ui > kMaxBytes / sizeof(OLECHAR))
        return nullptr;
    BSTR bstr = AllocateBytes(ui * static_cast<UINT>(sizeof(OLECHAR)));
    if (bstr && strIn)
        std::memcpy(bstr, strIn, ui * sizeof(OLECHAR));
    return bstr;
}

// SysAllocStringByteLen: len bytes copied as they are (how an ANSI text rides in a BSTR), or
// zeroed when psz is NULL.
BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len)
{
    if (len > kMaxBytes)
        return nullptr;
    BSTR bstr = AllocateBytes(len);
    if (bstr && psz)
        std::memcpy(bstr, psz, len);
    return bstr;
}

// SysReAllocString: replaces *pbstr by a copy of psz (which may point into *pbstr).
INT WINAPI SysReAllocString(BSTR *pbstr, const OLECHAR *psz)
{
    if (!pbstr)
        return FALSE;
    if (!psz)
    {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(std::char_traits<char16_t>::length(psz)));
}

// SysReAllocStringLen: replaces *pbstr by len characters of psz; with psz NULL the old text
// is kept as far as it goes. FALSE (and *pbstr unchanged) when out of memory.
INT WINAPI SysReAllocStringLen(BSTR *pbstr, const OLECHAR *psz, UINT len)
{
    if (!pbstr)
        return FALSE;
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh)
        return FALSE;
    if (!psz && *pbstr)
        std::memcpy(fresh, *pbstr, std::min(len, SysStringLen(*pbstr)) * sizeof(OLECHAR));
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

// SysFreeString: frees a BSTR; NULL is ignored.
void WINAPI SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(BlockOf(bstrString));
}

// SysStringLen: the length in characters (0 for NULL).
UINT WINAPI SysStringLen(BSTR pbstr)
{
    return SysStringByteLen(pbstr) / sizeof(OLECHAR);
}

// SysStringByteLen: the length in bytes (0 for NULL).
UINT WINAPI SysStringByteLen(BSTR bstr)
{
    if (!bstr)
        return 0;
    DWORD length;
    std::memcpy(&length, BlockOf(bstr) + kLengthOffset, sizeof length);
    return length;
}

// VariantInit: VT_EMPTY (only the type field matters; the rest is zeroed too).
void WINAPI VariantInit(VARIANTARG *pvarg)
{
    if (!pvarg)
        return;
    std::memset(pvarg, 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
}

// VariantClear: frees what the VARIANT owns (its BSTR, its interface reference) and leaves
// VT_EMPTY. A VT_BYREF value owns nothing. DISP_E_BADVARTYPE for types not offered.
HRESULT WINAPI VariantClear(VARIANTARG *pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    if (!IsValidType(pvarg->vt))
        return DISP_E_BADVARTYPE;
    if (pvarg->vt == VT_BSTR)
        SysFreeString(pvarg->bstrVal);
    else if (IsInterface(pvarg->vt) && pvarg->punkVal)
        pvarg->punkVal->Release();
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

// VariantCopy: clears the destination and copies the source into it; the copy owns its own
// BSTR (same byte length) and its own interface reference. A VT_BYREF source is copied as the
// reference it is.
HRESULT WINAPI VariantCopy(VARIANTARG *pvargDest, const VARIANTARG *pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (!IsValidType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc)
        return S_OK;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr))
        return hr;
    VARIANT copy = *pvargSrc;
    if (copy.vt == VT_BSTR && copy.bstrVal)
    {
        copy.bstrVal = CopyBstr(pvargSrc->bstrVal);
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    }
    else if (IsInterface(copy.vt) && copy.punkVal)
        copy.punkVal->AddRef();
    *pvargDest = copy;
    return S_OK;
}

// VariantCopyInd: VariantCopy of the value a VT_BYREF source points at (a VT_VARIANT
// reference is followed once; one pointing at another reference is E_INVALIDARG).
HRESULT WINAPI VariantCopyInd(VARIANT *pvarDest, const VARIANTARG *pvargSrc)
{
    if (!pvarDest || !pvargSrc)
        return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF))
        return VariantCopy(pvarDest, pvargSrc);
    if (!IsValidType(pvargSrc->vt))
        return DISP_E_BADVARTYPE;
    if (!pvargSrc->byref)
        return E_INVALIDARG;
    const VARTYPE base = pvargSrc->vt & ~VT_BYREF;
    if (base == VT_VARIANT && (pvargSrc->pvarVal->vt & VT_BYREF))
        return E_INVALIDARG;
    // The value is borrowed from the reference; VariantCopy makes the copy own its own.
    VARIANT value;
    VariantInit(&value);
    if (base == VT_VARIANT)
        value = *pvargSrc->pvarVal;
    else if (base == VT_DECIMAL)
        value.decVal = *pvargSrc->pdecVal;
    else
    {
        switch (base)
        {
        case VT_I1:
        case VT_UI1:
            value.bVal = *pvargSrc->pbVal;
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            value.iVal = *pvargSrc->piVal;
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
        case VT_R4:
            value.lVal = *pvargSrc->plVal;
            break;
        case VT_BSTR:
        case VT_UNKNOWN:
        case VT_DISPATCH:
            value.byref = *static_cast<void **>(pvargSrc->byref);
            break;
        default: // 8-byte values: VT_I8, VT_UI8, VT_R8, VT_CY, VT_DATE
            value.llVal = *pvargSrc->pllVal;
            break;
        }
    }
    value.vt = base == VT_VARIANT ? value.vt : base;
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopy(&copy, &value);
    if (FAILED(hr))
        return hr;
    if (pvarDest != pvargSrc)
        VariantClear(pvarDest);
    *pvarDest = copy;
    return S_OK;
}

// VariantChangeType: VariantChangeTypeEx in the user's locale.
HRESULT WINAPI VariantChangeType(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, USHORT wFlags, VARTYPE vt)
{
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

// VariantChangeTypeEx: converts between the numeric types (integers round half to even;
// DISP_E_OVERFLOW when the value does not fit), VT_BOOL (-1/0; "True"/"False" read from text;
// VARIANT_ALPHABOOL writes them), VT_BSTR, VT_EMPTY/VT_NULL, VT_ERROR (from and to 32-bit
// integers), VT_UNKNOWN/VT_DISPATCH (QueryInterface) and objects to values through their
// default property (unless VARIANT_NOVALUEPROP). Follows a VT_BYREF source; the destination
// may be the source. On failure the destination is left as it was.
// Differs from Windows: numbers are read and written in the invariant form whatever the
// locale ('.' decimal point, no thousands separators, no "&H" hexadecimal), so 0.5 is "0.5"
// on a Spanish PC too; VT_DATE does not convert to or from text; VT_DECIMAL converts to other
// types but not from them.
HRESULT WINAPI VariantChangeTypeEx(VARIANTARG *pvargDest, const VARIANTARG *pvarSrc, LCID, USHORT wFlags,
                                   VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (!IsTarget(vt))
        return DISP_E_BADVARTYPE;
    VARIANT source;
    VariantInit(&source);
    HRESULT hr = VariantCopyInd(&source, pvarSrc);
    if (FAILED(hr))
        return hr;
    VARIANT result;
    VariantInit(&result);
    result.vt = vt;
    hr = Coerce(source, wFlags, result);
    VariantClear(&source);
    if (FAILED(hr))
    {
        // Only a completed BSTR or interface result owns anything.
        if (vt != VT_BSTR && !IsInterface(vt))
            result.vt = VT_EMPTY;
        VariantClear(&result);
        return hr;
    }
    VariantClear(pvargDest);
    *pvargDest = result;
    return S_OK;
}
