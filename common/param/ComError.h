// CComError: what a failed call on a COM interface throws from the kit's call wrappers, as
// _com_error is thrown by the wrappers a Windows compiler generates for a dual interface. It
// carries the HRESULT, the IID of the interface whose method failed, and the system's text for
// the HRESULT.
#pragma once

#include "platform/windows.h"

#include <exception>
#include <string>

class CComError : public std::exception
{
  public:
    CComError(HRESULT hr, REFIID iid);

    HRESULT Error() const noexcept { return m_hr; }
    // The interface whose method failed (IID_NULL when none is known).
    const IID &Iid() const noexcept { return m_iid; }
    // FormatMessageA's text for the HRESULT without its line end, or "Error desconocido
    // 0x%08X" when the system has none.
    const std::string &ErrorMessage() const noexcept { return m_text; }
    const char *what() const noexcept override { return m_text.c_str(); }

  private:
    HRESULT m_hr;
    IID m_iid;
    std::string m_text;
};

// Throws CComError(hr, iid).
[[noreturn]] void ThrowComError(HRESULT hr, REFIID iid);

// Returns a success code unchanged (S_OK, S_FALSE...); throws CComError for a failure.
inline HRESULT CheckComResult(HRESULT hr, REFIID iid)
{
    if (FAILED(hr))
        ThrowComError(hr, iid);
    return hr;
}
