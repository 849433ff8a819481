// CSetZyxelConfig: the modem configuration of DaxModem (the router's configuration file and
// firmware over FTP, and the search for the router).
#pragma once

#include "outside/daxicom/ControlKit.h"

class DAXICOM_API CSetZyxelConfig : public CControlKit
{
  public:
    static constexpr char kProgId[] = "DaxModem.SetZyxelConfig";

    CSetZyxelConfig();

    LONG Start();
    LONG Stop(LONG lTimeOut);
    LONG IsActive();                                   // 1 while a transfer runs
    LONG SetModemConfig(IUnknown *pIUnkInfo);          // a RouterParam, copied by the component
    LONG GetModemConfig(IUnknown **ppIUnkRouterParam); // a copy of its settings, AddRef'ed
    LONG SetModemCurIp(LPCSTR lpszCurIp);
    LONG CheckAccess(LPCSTR lpszList); // comma-separated candidate addresses
    LONG SetPassword(LPCSTR lpszPassword);
    LONG UpdateFw(LPCSTR lpszFile);
    LONG SetTransferMode(LONG bGetMode);    // 1: the next Start downloads
    LONG CreateConfigFile(LPCSTR lpszFile); // the file an upload would send, nothing sent
    LONG SetBackupFile(LPCSTR lpszFile);    // the next Start moves "rom-t" as it is, to or from it
};
