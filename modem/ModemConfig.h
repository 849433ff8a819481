// CModemConfig: the modem-router's configuration file. It splits the port-mapping list of the
// router parameter object, fills the kit's template (or the file downloaded from the router)
// into the file that is uploaded as "rom-t", fills the template's static-route entries, and
// reads a downloaded file back into the parameter object, turning it into a template.
//
// The SetZyxelConfig object owns one of these next to its router parameter object and its trace
// log ("DaxModem.txt"); everything runs on its transfer worker. A failing call on the parameter
// object, or a missing object, throws CComError (HRESULT, IID_IRouterParam) and the step stops
// there, closing its files and removing any output it had begun; callers on a worker catch it.
#pragma once

#include "common/param/RouterParamPtr.h"
#include "common/trace/TraceLog.h"

#include <string>
#include <vector>

class CModemConfig
{
  public:
    // The files of the current directory ("%s\<name>").
    static constexpr const char *kPlantilla = "643.cfg";          // delivered with the kit
    static constexpr const char *kPlantillaBajada = "643get.cfg"; // downloaded; the template once present
    static constexpr const char *kConfig = "config.dat";          // generated, uploaded as "rom-t"
    static constexpr const char *kTemporal = "mitmp.tmp";         // the route step's temporary file

    // The port and address arrays always hold at least this many pairs after CrearListaPuertos.
    static constexpr size_t kMinPares = 8;

    // Works on `pRouterParam` (a reference is kept; NULL makes every step that needs the object
    // throw E_POINTER) and logs to `log`, which must outlive this object.
    CModemConfig(IRouterParam *pRouterParam, CTraceLog &log);
    CModemConfig(const CModemConfig &) = delete;
    CModemConfig &operator=(const CModemConfig &) = delete;

    void SetRouterParam(IRouterParam *pRouterParam);

    // Splits GetPorts into the port and address arrays (at least kMinPares pairs, filled with
    // "0" / "0.0.0.0") and sets the grant flags, which are never cleared.
    void CrearListaPuertos();

    // The steps below return S_OK when done, S_FALSE when their input file could not be opened
    // (nothing is written or changed), or the HRESULT of the Win32 error that stopped them while
    // writing (the output is then removed, or the file left as it was).

    // Fills the template into the output: tokens replaced, CRs removed, bare LF line ends.
    HRESULT CrearFicheroCfg(const char *pszPlantilla, const char *pszSalida);
    // Computes the static routes (plain routing only) and fills them in with EscribirRutas.
    HRESULT PrepararRutas(const char *pszConfig);
    // Fills the route entries of the file in place, through "mitmp.tmp" of the current directory.
    // `rutas` holds pairs: mask, subnet, mask, subnet...
    HRESULT EscribirRutas(const char *pszConfig, const std::vector<std::string> &rutas);
    // Resets the parameter object, reads the downloaded file into it and rewrites the file as a
    // template whose port-mapping values are tokens.
    HRESULT LeerConfig812(const char *pszFichero);
    // The same reading into the parameter object, the file left as it is (a backup).
    HRESULT LeerAjustes812(const char *pszFichero);

    // Port-mapping state, for the object and its tests.
    const std::vector<std::string> &Puertos() const { return m_puertos; }
    const std::vector<std::string> &Ips() const { return m_ips; }
    LONG Grant80() const { return m_lGrant80; }
    LONG Grant21() const { return m_lGrant21; }
    size_t SlotPuerto() const { return m_nSlotPuerto; }

  private:
    void SustituirTokens(std::string &linea);
    void SustituirPrimerGrupo(std::string &linea, const std::string &mayusculas);
    void SustituirDhcp(std::string &linea, const std::string &mayusculas);
    std::string ValorPuerto(size_t nSlot) const;
    std::string ValorIp(size_t nSlot) const;
    bool RutaPlana() const;

    struct CLecturaBajada;
    HRESULT LeerBajada(const char *pszFichero, bool bPlantilla);
    void TransformarLinea(std::string &linea, CLecturaBajada &lectura);

    RouterParamPtr m_param;
    CTraceLog &m_log;

    std::vector<std::string> m_puertos;
    std::vector<std::string> m_ips;
    LONG m_lGrant80 = 0;
    LONG m_lGrant21 = 0;
    size_t m_nSlotPuerto = 0; // set by <<DEFAULT_IP>>, advanced by <<LOCAL_IP>>
};
