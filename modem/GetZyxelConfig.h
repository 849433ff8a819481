// CGetZyxelConfig: the GetZyxelConfig control. On a reader thread of its own it logs in to the
// modem-router's serial console, walks to "Menu 3.2 - TCP/IP and DHCP Ethernet Setup", reads
// the LAN address and mask, the DHCP pool and the DNS servers off the screen, leaves the menus
// and keeps the values in its router parameter object. Each run reports Start, ProgressDone and
// End (bOk 0 for success) to every connected sink, from the reader thread.
//
// The reader holds a reference to the object, so a client may release it during a run.
#pragma once

#include "common/com/CritSec.h"
#include "common/com/EventSource.h"
#include "common/com/Object.h"
#include "common/param/RouterParamPtr.h"
#include "modem/DaxModem.h"

#include <atomic>
#include <span>
#include <string>

class CSerialPort;

class CGetZyxelConfig final
    : public kitcom::Object<CGetZyxelConfig, IGetZyxelConfig, kitcom::Events<&DIID__IGetZyxelConfigEvents>>
{
  public:
    CGetZyxelConfig();
    ~CGetZyxelConfig();
    HRESULT FinalConstruct();

    static std::span<const kitcom::DispMember<CGetZyxelConfig>> DispatchTable();

    HRESULT STDMETHODCALLTYPE Start() override;
    HRESULT STDMETHODCALLTYPE Stop(LONG lTimeOut) override;
    HRESULT STDMETHODCALLTYPE IsActive(LONG *pbActive) override;
    HRESULT STDMETHODCALLTYPE GetInfoConfig(IUnknown **iUnkZyxelParam) override;
    HRESULT STDMETHODCALLTYPE SetPassword(BSTR bstrPassword) override;
    HRESULT STDMETHODCALLTYPE SetPort(BSTR bstrPort) override;

    // The console's line: 9600 baud, 8 data bits, no parity, one stop bit, CTS/RTS.
    static constexpr DWORD kBaudios = 9600;
    // Read time-outs: an answer is complete once the console is silent for 25 ms between two
    // bytes, or 2 s (plus 10 ms a byte) have passed.
    static constexpr DWORD kIntervaloLecturaMs = 25;
    static constexpr DWORD kLecturaPorByteMs = 10;
    static constexpr DWORD kLecturaTotalMs = 2000;
    static constexpr DWORD kEscrituraPorByteMs = 10;
    static constexpr DWORD kEscrituraTotalMs = 10;
    // The pause after each character of the password.
    static constexpr int kPausaPasswordMs = 10;
    // The longest password SetPassword keeps.
    static constexpr size_t kMaxPassword = MAX_PATH - 1;

  private:
    class CLector;
    static DWORD WINAPI ReaderThread(LPVOID pParam);

    bool ReaderRunning() const;
    bool Parar() const { return m_bParar.load() != 0; }
    std::string Password() const;
    int Puerto() const;

    void FireStart(LONG bOk, const char *pszText);
    void FireProgressDone(const char *pszText);
    void FireEnd(LONG bOk, const char *pszText);
    // The run's last event: the run is over for the client from here on.
    void FinDeLectura(LONG bOk, const char *pszText);

    mutable kitcom::AutoCriticalSection m_lock; // the password, the port and the reader's thread object
    std::string m_strPassword;
    int m_nPuerto = 1; // COM1 until SetPort says otherwise
    std::atomic<LONG> m_bParar{0};
    std::atomic<bool> m_bLeyendo{false}; // from Start until the run's End is fired
    HANDLE m_hReader = nullptr;          // the last reader, kept after it ends
    RouterParamPtr m_param;
};
