// CRegApli: the application registry, the values the wizard keeps between its runs and across
// a restart of the PC, in HKEY_LOCAL_MACHINE under the key given to Open (the wizard's is
// "SOFTWARE\NUV\DAX\" + the "Registro" setting).
//
// Every operation returns an HRESULT and none throws:
//   S_OK                              done
//   S_FALSE                           Close of a closed object; Delete of an entry not there;
//                                     GetDirectorio without a stored folder (the program's given)
//   E_HANDLE                          the object is not open
//   E_ACCESSDENIED                    a change on an object opened read-only, or on PathPPPoE
//   E_INVALIDARG                      an empty key or name, a null text, a text operation on a
//                                     32-bit value or the other way round
//   HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)  the key (read-only Open) or the value is missing
//   HRESULT_FROM_WIN32(ERROR_INVALID_DATA)    the value is stored with another type or size
//   HRESULT_FROM_WIN32(other)         the registry's own error
// A Get that fails leaves an empty text or 0, never what was in the output before.
//
// Registry layout under the application key (value names compare without case):
//   texts, REG_SZ: IpPublica MaskPublica IpGestion MaskGestion IpPrivada MaskPrivada IpRouter
//     MaskRouter Username NIC FichFirmware ListaPuertos IpPublica1 MaskPublica1 IpGestion1
//     MaskGestion1 IpPrivada1 MaskPrivada1 NIC1 Username1 IpRouter1; PathPPPoE and Directorio
//     (read only, written by the installer)
//   32-bit, REG_DWORD: DHCP ModoConf ModoDirec Operacion Dhcp1 ModoDirec1 ModoConf1;
//     EstadoInicial (missing: the initial state)
//   Password, REG_BINARY: the text with its bytes masked, so it does not show as text in
//     regedit, an export or a search of the registry. Concealment only, not protection: this
//     library reads it back for anyone. It is never written to a log.
// Start-up entries (Write, Delete) live in the RunOnce and Run keys of HKEY_LOCAL_MACHINE
// (Software\Microsoft\Windows\CurrentVersion): "QelExec" in RunOnce (the wizard's host, started once at the
// next start), any other name in Run (started at every start, as the route fixer must be).
#pragma once

#include "outside/qelapli/Export.h"
#include "platform/windows.h"

#include <string>

class QELAPLI_API CRegApli
{
  public:
    // The stored values; the order of the table in RegApli.cpp.
    enum Valor
    {
        valIpPublica,
        valMaskPublica,
        valIPGestion,
        valMaskGestion,
        valIpPrivada,
        valMaskPrivada,
        valIpRouter,
        valMaskRouter,
        valUsername,
        valPassword,
        valNIC,
        valFichFirmware,
        valListaPuertos,
        valDHCP,
        valModoConf,
        valModoDirec,
        valOperacion,
        valPathPPPoE,
        valIpPublica1,
        valMaskPublica1,
        valIpGestion1,
        valMaskGestion1,
        valIpPrivada1,
        valMaskPrivada1,
        valNIC1,
        valUsername1,
        valIPRouter1,
        valDhcp1,
        valModoDirec1,
        valModoConf1,
        numValores
    };

    CRegApli();
    ~CRegApli();
    CRegApli(const CRegApli &) = delete;
    CRegApli &operator=(const CRegApli &) = delete;

    // Read-only: the key must exist. Writable: the key is created when missing. An open object
    // is closed first.
    HRESULT Open(LPCSTR pszClave, BOOL bEscritura);
    HRESULT Close();
    BOOL IsOpen() const;
    BOOL IsWritable() const;

    // TRUE unless the wizard stopped for a restart; TRUE also on failure.
    HRESULT IsEstadoInicial(BOOL &bInicial) const;
    HRESULT SetEstadoInicial(BOOL bInicial);

    // A start-up entry (see above); the object must be open writable. "QelExec" takes the host's
    // path (quoted in the entry when it has a blank); other names take a whole command line.
    HRESULT Write(LPCSTR pszNombre, LPCSTR pszValor);
    HRESULT Delete(LPCSTR pszNombre);

    // The application's folder: "Directorio" when the installer stored it, else the folder of
    // the running program (the wizard's host), with S_FALSE.
    HRESULT GetDirectorio(std::string &dir) const;

    // The wizard is about to act on the answers: the key is written through to the registry's
    // file, so the values survive even a PC switched off without a shutdown.
    HRESULT SetSettings();

    // Any value of the table, by its kind.
    HRESULT Get(Valor valor, std::string &texto) const;
    HRESULT Set(Valor valor, LPCSTR pszTexto);
    HRESULT Get(Valor valor, DWORD &dw) const;
    HRESULT Set(Valor valor, DWORD dw);

    // The working values of the current run.
    HRESULT GetIpPublica(std::string &s) const { return Get(valIpPublica, s); }
    HRESULT SetIpPublica(LPCSTR s) { return Set(valIpPublica, s); }
    HRESULT GetMaskPublica(std::string &s) const { return Get(valMaskPublica, s); }
    HRESULT SetMaskPublica(LPCSTR s) { return Set(valMaskPublica, s); }
    HRESULT GetIPGestion(std::string &s) const { return Get(valIPGestion, s); }
    HRESULT SetIPGestion(LPCSTR s) { return Set(valIPGestion, s); }
    HRESULT GetMaskGestion(std::string &s) const { return Get(valMaskGestion, s); }
    HRESULT SetMaskGestion(LPCSTR s) { return Set(valMaskGestion, s); }
    HRESULT GetIpPrivada(std::string &s) const { return Get(valIpPrivada, s); }
    HRESULT SetIpPrivada(LPCSTR s) { return Set(valIpPrivada, s); }
    HRESULT GetMaskPrivada(std::string &s) const { return Get(valMaskPrivada, s); }
    HRESULT SetMaskPrivada(LPCSTR s) { return Set(valMaskPrivada, s); }
    HRESULT GetIpRouter(std::string &s) const { return Get(valIpRouter, s); }
    HRESULT SetIpRouter(LPCSTR s) { return Set(valIpRouter, s); }
    HRESULT GetMaskRouter(std::string &s) const { return Get(valMaskRouter, s); }
    HRESULT SetMaskRouter(LPCSTR s) { return Set(valMaskRouter, s); }
    HRESULT GetUsername(std::string &s) const { return Get(valUsername, s); }
    HRESULT SetUsername(LPCSTR s) { return Set(valUsername, s); }
    HRESULT GetPassword(std::string &s) const { return Get(valPassword, s); }
    HRESULT SetPassword(LPCSTR s) { return Set(valPassword, s); }
    HRESULT GetNIC(std::string &s) const { return Get(valNIC, s); }
    HRESULT SetNIC(LPCSTR s) { return Set(valNIC, s); }
    HRESULT GetFichFirmware(std::string &s) const { return Get(valFichFirmware, s); }
    HRESULT SetFichFirmware(LPCSTR s) { return Set(valFichFirmware, s); }
    HRESULT GetListaPuertos(std::string &s) const { return Get(valListaPuertos, s); }
    HRESULT SetListaPuertos(LPCSTR s) { return Set(valListaPuertos, s); }
    HRESULT GetDHCP(DWORD &dw) const { return Get(valDHCP, dw); }
    HRESULT SetDHCP(DWORD dw) { return Set(valDHCP, dw); }
    HRESULT GetModoConf(DWORD &dw) const { return Get(valModoConf, dw); }
    HRESULT SetModoConf(DWORD dw) { return Set(valModoConf, dw); }
    HRESULT GetModoDirec(DWORD &dw) const { return Get(valModoDirec, dw); }
    HRESULT SetModoDirec(DWORD dw) { return Set(valModoDirec, dw); }
    HRESULT GetOperacion(DWORD &dw) const { return Get(valOperacion, dw); }
    HRESULT SetOperacion(DWORD dw) { return Set(valOperacion, dw); }
    // Where the installer put the PPPoE client.
    HRESULT GetPathPPPoE(std::string &s) const { return Get(valPathPPPoE, s); }

    // The last completed configuration.
    HRESULT GetIpPublica1(std::string &s) const { return Get(valIpPublica1, s); }
    HRESULT SetIpPublica1(LPCSTR s) { return Set(valIpPublica1, s); }
    HRESULT GetMaskPublica1(std::string &s) const { return Get(valMaskPublica1, s); }
    HRESULT SetMaskPublica1(LPCSTR s) { return Set(valMaskPublica1, s); }
    HRESULT GetIpGestion1(std::string &s) const { return Get(valIpGestion1, s); }
    HRESULT SetIpGestion1(LPCSTR s) { return Set(valIpGestion1, s); }
    HRESULT GetMaskGestion1(std::string &s) const { return Get(valMaskGestion1, s); }
    HRESULT SetMaskGestion1(LPCSTR s) { return Set(valMaskGestion1, s); }
    HRESULT GetIpPrivada1(std::string &s) const { return Get(valIpPrivada1, s); }
    HRESULT SetIpPrivada1(LPCSTR s) { return Set(valIpPrivada1, s); }
    HRESULT GetMaskPrivada1(std::string &s) const { return Get(valMaskPrivada1, s); }
    HRESULT SetMaskPrivada1(LPCSTR s) { return Set(valMaskPrivada1, s); }
    HRESULT GetNIC1(std::string &s) const { return Get(valNIC1, s); }
    HRESULT SetNIC1(LPCSTR s) { return Set(valNIC1, s); }
    HRESULT GetUsername1(std::string &s) const { return Get(valUsername1, s); }
    HRESULT SetUsername1(LPCSTR s) { return Set(valUsername1, s); }
    HRESULT SetIPRouter1(LPCSTR s) { return Set(valIPRouter1, s); }
    HRESULT GetDhcp1(DWORD &dw) const { return Get(valDhcp1, dw); }
    HRESULT SetDhcp1(DWORD dw) { return Set(valDhcp1, dw); }
    HRESULT GetModoDirec1(DWORD &dw) const { return Get(valModoDirec1, dw); }
    HRESULT SetModoDirec1(DWORD dw) { return Set(valModoDirec1, dw); }
    HRESULT GetModoConf1(DWORD &dw) const { return Get(valModoConf1, dw); }
    HRESULT SetModoConf1(DWORD dw) { return Set(valModoConf1, dw); }

    // The value's name in the registry (tests and tools look at it there).
    static LPCSTR VerNombre(Valor valor);

  private:
    HRESULT PuedeCambiar() const;
    HRESULT LeerBytes(LPCSTR pszNombre, DWORD dwTipo, std::string &datos) const;
    HRESULT EscribirBytes(LPCSTR pszNombre, DWORD dwTipo, const void *pDatos, DWORD cb);

    HKEY m_hKey = nullptr;
    BOOL m_bEscritura = FALSE;
};
