// BStr and Variant.
#include "common/com/BStr.h"

#include <cstring>
#include <memory>
#include <utility>

namespace kitcom
{
std::string NarrowOf(BSTR text)
{
    const UINT length = SysStringLen(text);
    std::string out(length, '\0');
    for (UINT i = 0; i < length; ++i)
        out[i] = static_cast<char>(text[i] & 0xFF);
    return out;
}

std::string NarrowTextOf(BSTR text)
{
    std::string narrow = NarrowOf(text);
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

BSTR AllocNarrow(std::string_view text)
{
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (out)
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = static_cast<unsigned char>(text[i]);
    return out;
}

HRESULT ReturnNarrow(std::string_view text, BSTR *out)
{
    if (!out)
        return E_POINTER;
    *out = AllocNarrow(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// --- BStr ------------------------------------------------------------------------------------

BStr::BStr(std::string_view narrow) : bstr_(AllocNarrow(narrow)) {}

BStr::BStr(const OLECHAR *wide) : bstr_(SysAllocString(wide)) {}

BStr BStr::CopyOf(BSTR source)
{
    BStr copy;
    if (source)
        copy.bstr_ = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
    return copy;
}

BStr::BStr(const BStr &other) : BStr(CopyOf(other.bstr_)) {}

BStr::BStr(BStr &&other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}

BStr &BStr::operator=(const BStr &other)
{
    if (this != std::addressof(other))
        Attach(CopyOf(other.bstr_).Detach());
    return *this;
}

BStr &BStr::operator=(BStr &&other) noexcept
{
    if (this != std::addressof(other))
        Attach(std::exchange(other.bstr_, nullptr));
    return *this;
}

BStr::~BStr()
{
    SysFreeString(bstr_);
}

BSTR *BStr::operator&() noexcept
{
    Reset();
    return &bstr_;
}

void BStr::Attach(BSTR text) noexcept
{
    SysFreeString(std::exchange(bstr_, text));
}

BSTR BStr::Detach() noexcept
{
    return std::exchange(bstr_, nullptr);
}

void BStr::Reset() noexcept
{
    Attach(nullptr);
}

HRESULT BStr::CopyTo(BSTR *out) const
{
    if (!out)
        return E_POINTER;
    *out = CopyOf(bstr_).Detach();
    return *out || !bstr_ ? S_OK : E_OUTOFMEMORY;
}

// --- Variant ---------------------------------------------------------------------------------

Variant::Variant(int value) noexcept
{
    VariantInit(this);
    vt = VT_I4;
    lVal = value;
}

Variant::Variant(unsigned value) noexcept
{
    VariantInit(this);
    vt = VT_UI4;
    ulVal = value;
}

Variant::Variant(short value) noexcept
{
    VariantInit(this);
    vt = VT_I2;
    iVal = value;
}

Variant::Variant(long long value) noexcept
{
    VariantInit(this);
    vt = VT_I8;
    llVal = value;
}

Variant::Variant(bool value) noexcept
{
    VariantInit(this);
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(double value) noexcept
{
    VariantInit(this);
    vt = VT_R8;
    dblVal = value;
}

Variant::Variant(float value) noexcept
{
    VariantInit(this);
    vt = VT_R4;
    fltVal = value;
}

Variant::Variant(std::string_view narrow)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = AllocNarrow(narrow);
}

Variant::Variant(const OLECHAR *wide)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = SysAllocString(wide);
}

Variant::Variant(const BStr &text)
{
    VariantInit(this);
    vt = VT_BSTR;
    bstrVal = BStr::CopyOf(text.Get()).Detach();
}

Variant::Variant(const VARIANT &value)
{
    VariantInit(this);
    VariantCopy(this, const_cast<VARIANT *>(&value)); // the SDK's source is const, MinGW's is not
}

Variant::Variant(const Variant &other) : Variant(static_cast<const VARIANT &>(other)) {}

Variant::Variant(Variant &&other) noexcept
{
    *static_cast<VARIANT *>(this) = other.Detach();
}

Variant &Variant::operator=(const Variant &other)
{
    VariantCopy(this, const_cast<VARIANT *>(static_cast<const VARIANT *>(&other)));
    return *this;
}

Variant &Variant::operator=(Variant &&other) noexcept
{
    if (this != &other)
    {
        Clear();
        *static_cast<VARIANT *>(this) = other.Detach();
    }
    return *this;
}

Variant::~Variant()
{
    VariantClear(this);
}

void Variant::Clear() noexcept
{
    VariantClear(this);
}

VARIANT Variant::Detach() noexcept
{
    VARIANT out = *this;
    VariantInit(this);
    return out;
}

HRESULT Variant::ChangeType(VARTYPE type, USHORT flags)
{
    return VariantChangeType(this, this, flags, type);
}
} // namespace kitcom
