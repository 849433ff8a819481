// BStr and Variant: owners of a BSTR and of a VARIANT.
//
// Texts cross the kit's COM interfaces as BSTRs built from 8-bit text by widening each byte to
// one UTF-16 unit, and read back by taking the low byte of each unit (so every 8-bit text
// makes the round trip unchanged). A null BSTR reads as the empty text.
#pragma once

#include "platform/windows.h"
#include "platform/wstring.h"

#include <string>
#include <string_view>
#include <type_traits>

namespace kitcom
{
// The 8-bit text of a BSTR: the low byte of each unit; "" for NULL.
std::string NarrowOf(BSTR text);
// The same up to its first NUL, as a C string argument reads it.
std::string NarrowTextOf(BSTR text);
// A new BSTR of an 8-bit text (each byte one unit); NULL only when out of memory.
BSTR AllocNarrow(std::string_view text);
// Hands an 8-bit text out through a BSTR* [out] parameter: E_POINTER, E_OUTOFMEMORY or S_OK.
HRESULT ReturnNarrow(std::string_view text, BSTR *out);

class BStr
{
  public:
    BStr() noexcept = default;
    explicit BStr(std::string_view narrow);
    explicit BStr(const char *narrow) : BStr(std::string_view(narrow ? narrow : "")) {}
    // A copy of a NUL-terminated wide text (NULL stays null).
    explicit BStr(const OLECHAR *wide);
    // A copy of a BSTR, whatever it holds (its whole byte length).
    static BStr CopyOf(BSTR source);
    BStr(const BStr &other);
    BStr(BStr &&other) noexcept;
    BStr &operator=(const BStr &other);
    BStr &operator=(BStr &&other) noexcept;
    ~BStr();

    BSTR Get() const noexcept { return bstr_; }
    bool IsNull() const noexcept { return bstr_ == nullptr; }
    UINT Length() const noexcept { return SysStringLen(bstr_); }
    std::string Narrow() const { return NarrowOf(bstr_); }
    WString Wide() const { return WString(bstr_ ? bstr_ : OLESTR(""), Length()); }

    // For [out] parameters: frees what is held first.
    BSTR *operator&() noexcept;
    // Adopts a BSTR the caller owns.
    void Attach(BSTR text) noexcept;
    [[nodiscard]] BSTR Detach() noexcept;
    void Reset() noexcept;
    // A fresh copy for an [out] parameter (E_POINTER, E_OUTOFMEMORY or S_OK; a null BStr
    // hands out NULL).
    HRESULT CopyTo(BSTR *out) const;

  private:
    BSTR bstr_ = nullptr;
};

// An owned VARIANT (cleared when it goes). It is a VARIANT, so &v passes where a VARIANT* is
// wanted; an [out] VARIANT must be cleared before it is passed (Clear()).
class Variant : public VARIANT
{
  public:
    Variant() noexcept { VariantInit(this); }
    Variant(int value) noexcept; // LONG, BOOL: VT_I4
    Variant(unsigned value) noexcept;
    Variant(short value) noexcept;
    Variant(long long value) noexcept;
#ifdef _WIN32
    Variant(LONG value) noexcept : Variant(static_cast<int>(value)) {} // LONG is long there: VT_I4
#endif
    Variant(bool value) noexcept;
    Variant(double value) noexcept;
    Variant(float value) noexcept;
    Variant(std::string_view narrow); // VT_BSTR by the kit's convention
    Variant(const std::string &narrow) : Variant(std::string_view(narrow)) {}
    Variant(const char *narrow) : Variant(std::string_view(narrow ? narrow : "")) {}
    Variant(const OLECHAR *wide); // VT_BSTR copy of a NUL-terminated text
    Variant(const BStr &text);    // VT_BSTR copy
    // VT_DISPATCH for objects that have IDispatch in their interface, else VT_UNKNOWN; AddRef.
    template <class I, class = std::enable_if_t<std::is_base_of_v<IUnknown, I>>> Variant(I *object) noexcept
    {
        VariantInit(this);
        if constexpr (std::is_base_of_v<IDispatch, I>)
        {
            vt = VT_DISPATCH;
            pdispVal = object;
        }
        else
        {
            vt = VT_UNKNOWN;
            punkVal = object;
        }
        if (object)
            object->AddRef();
    }
    Variant(const VARIANT &value);
    Variant(const Variant &other);
    Variant(Variant &&other) noexcept;
    Variant &operator=(const Variant &other);
    Variant &operator=(Variant &&other) noexcept;
    ~Variant();

    void Clear() noexcept;
    // Gives up the value to the caller, who then owns it.
    [[nodiscard]] VARIANT Detach() noexcept;
    HRESULT ChangeType(VARTYPE type, USHORT flags = 0);
};
static_assert(sizeof(Variant) == sizeof(VARIANT), "Variant adds nothing to VARIANT");
} // namespace kitcom
