// CWPoet: the WPoet object. It tells whether the PC has dial-up networking, the PPPoE client the
// kit is set up for (WinPoET or EnterNet, chosen by the client selector read once when the
// object is made) and that client's device (GetInfo), and sets up the ADSL connection with it
// (CreateConnection): the dial-up entry "Conexión ADSL Router" for WinPoET, an EnterNet profile
// and a desktop shortcut for EnterNet. Everything it does goes to "DaxWPoet.txt".
#pragma once

#include "common/com/Object.h"
#include "common/trace/TraceLog.h"
#include "pppoe/DaxWPoet.h"

#include <span>
#include <string>

class CWPoet final : public kitcom::Object<CWPoet, IWPoet>
{
  public:
    CWPoet();
    ~CWPoet();

    static std::span<const kitcom::DispMember<CWPoet>> DispatchTable();

    HRESULT STDMETHODCALLTYPE CreateConnection(BSTR bstrUserName, BSTR bstrPassword) override;
    HRESULT STDMETHODCALLTYPE GetInfo(LONG *bRAS, LONG *bInstalled, LONG *bDevice) override;

    // The connection's name everywhere.
    static constexpr char kConexion[] = "Conexión ADSL Router";

    // The checks (each an HRESULT, 0 for success).
    HRESULT IsRASInstalled(LONG &bRAS);
    HRESULT WinPoetInstalled(LONG &bInstalled, LONG &bDevice);
    HRESULT EnternetInstalled(LONG &bInstalled);
    HRESULT EnternetDevice(LONG &bDevice);
    HRESULT ComprobarDispositivo(std::string &name, std::string &type);
    HRESULT FijarPredeterminada();

  private:
    void ReadClientSelector();
    HRESULT CreateWinPoetConnection(const std::string &user, const std::string &password);
    HRESULT CreateEnternetProfile(const std::string &user);
    // The EnterNet folder, from its App Paths entry; empty when it is not there.
    static std::string EnternetFolder();

    CTraceLog m_log;
    // 0: EnterNet; else WinPoET; 2: WinPoET on XP without the service check.
    DWORD m_dwSelector = 0;
};
