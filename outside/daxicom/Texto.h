// Texts across the components' interfaces: narrow Windows 1252 text in the wizard, BSTRs in
// COM. A narrow byte becomes one UTF-16 unit of the same value and a unit becomes its low byte,
// as the components convert them, so every narrow text comes back unchanged.
#pragma once

#include "outside/daxicom/Export.h"
#include "platform/windows.h"

#include <string>

namespace daxicom
{
DAXICOM_API std::basic_string<OLECHAR> Ancho(LPCSTR psz);
DAXICOM_API std::string Estrecho(BSTR bstr);

// A BSTR owned by the wrapper: made from a narrow text (nullptr stays a null BSTR) or filled
// as an [out] parameter, freed when it goes.
class DAXICOM_API CBstr
{
  public:
    CBstr() = default;
    explicit CBstr(LPCSTR psz);
    ~CBstr();
    CBstr(const CBstr &) = delete;
    CBstr &operator=(const CBstr &) = delete;

    BSTR Get() const { return m_bstr; }
    BSTR *Put();
    std::string Estrecho() const { return daxicom::Estrecho(m_bstr); }

  private:
    BSTR m_bstr = nullptr;
};
} // namespace daxicom
