// zyxelclient: drives the modem module's SetZyxelConfig control from the command line, as the
// wizard does, and prints its events. The steps run in the order given, on one object:
//
//   zyxelclient [--dir FOLDER] STEP...
//     --dir FOLDER          the current directory (where 643.cfg is, and the files of a run); it
//                           must exist: nothing is ever written where the client was started
//     --password P          SetPassword
//     --ip ADDRESS          SetModemCurIp
//     check LIST            CheckAccess(LIST): the router's address among comma-separated ones
//     --lan IP MASK, --wan IP MASK, --dhcp START SIZE, --dns DNS1 DNS2, --nat N, --bridge N,
//     --encap N, --user USER PASSWORD, --ports LIST
//                           settings of the router parameter object the next upload sends
//     upload                SetModemConfig with those settings, then Start
//     download              SetTransferMode(1), Start, then GetModemConfig; prints the settings
//     firmware FILE         UpdateFw(FILE)
//
// Each event's result text is shown with its meaning; an upload first says which template it
// fills ("643get.cfg", the last download, wins over the kit's "643.cfg", as the module does).
// Exit code 0 when every step ended with End(0, ...), 1 when one failed, 2 for a wrong command
// line, a folder that does not exist or a missing server.
#include "common/com/BStr.h"
#include "common/param/RouterParamPtr.h"
#include "modem/client/Significados.h"
#include "modem/client/ZyxelSink.h"
#include "platform/kit/kitconsole.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
// The longest a step may take: the worst of WinINet's time-outs and a router that restarts.
constexpr DWORD kEsperaMaxima = 300000;
constexpr char kPlantilla[] = "643.cfg";
constexpr char kPlantillaBajada[] = "643get.cfg";

bool Existe(const std::string &ruta)
{
    return GetFileAttributesA(ruta.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string EnCarpetaActual(const char *pszNombre)
{
    char szCarpeta[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof szCarpeta, szCarpeta);
    return std::string(szCarpeta) + "\\" + pszNombre;
}

using kitpc::Say;

constexpr char kUso[] =
    "usage: zyxelclient [--dir FOLDER] [--password P] [--ip ADDRESS] [check LIST]\n"
    "                  [--lan IP MASK] [--wan IP MASK] [--dhcp START SIZE] [--dns DNS1 DNS2]\n"
    "                  [--nat N] [--bridge N] [--encap N] [--user USER PASSWORD] [--ports LIST]\n"
    "                  [upload] [download] [firmware FILE] ...\n";

int Uso()
{
    std::fputs(kUso, stderr);
    return 2;
}

class CCliente
{
  public:
    CCliente(ISetZyxelConfig *pObj, CZyxelSink *pSink) : m_pObj(pObj), m_pSink(pSink) {}

    // Runs the steps; false when the command line is wrong (nothing more runs then).
    bool Ejecutar(std::vector<std::string> args)
    {
        for (size_t i = 0; i < args.size(); ++i)
        {
            const std::string &paso = args[i];
            const size_t quedan = args.size() - i - 1;
            auto siguiente = [&]() -> const std::string & { return args[++i]; };
            if (paso == "--dir" && quedan >= 1)
            {
                const std::string &carpeta = siguiente();
                if (!SetCurrentDirectoryA(carpeta.c_str()))
                {
                    Say("zyxelclient: la carpeta %s no existe\n", carpeta.c_str());
                    m_bCarpeta = false;
                    return false;
                }
            }
            else if (paso == "--password" && quedan >= 1)
                m_pObj->SetPassword(kitcom::BStr(siguiente()).Get());
            else if (paso == "--ip" && quedan >= 1)
                m_pObj->SetModemCurIp(kitcom::BStr(siguiente()).Get());
            else if (paso == "check" && quedan >= 1)
                Paso("CheckAccess(" + args[i + 1] + ")",
                     [&] { return m_pObj->CheckAccess(kitcom::BStr(siguiente()).Get()); });
            else if (paso == "upload")
                Subir();
            else if (paso == "download")
                Bajar();
            else if (paso == "firmware" && quedan >= 1)
                Paso("UpdateFw(" + args[i + 1] + ")",
                     [&] { return m_pObj->UpdateFw(kitcom::BStr(siguiente()).Get()); });
            else if (!Ajuste(args, i))
                return false;
        }
        return true;
    }

    bool TodoBien() const { return m_bTodoBien; }
    // False when --dir named a folder that does not exist.
    bool CarpetaBien() const { return m_bCarpeta; }

  private:
    // One router setting of the next upload.
    bool Ajuste(const std::vector<std::string> &args, size_t &i)
    {
        const std::string &nombre = args[i];
        const size_t quedan = args.size() - i - 1;
        auto dos = [&](auto metodo) {
            if (quedan < 2)
                return false;
            (m_param.*metodo)(args[i + 1], args[i + 2]);
            i += 2;
            return true;
        };
        auto uno = [&](auto metodo) {
            if (quedan < 1)
                return false;
            (m_param.*metodo)(std::atoi(args[i + 1].c_str()));
            i += 1;
            return true;
        };
        if (!m_param && FAILED(m_param.CreateInstance()))
        {
            Say("zyxelclient: no se pudo crear RouterParam\n");
            return false;
        }
        if (nombre == "--lan")
            return dos(&RouterParamPtr::SetLan);
        if (nombre == "--wan")
            return dos(&RouterParamPtr::SetWan);
        if (nombre == "--dhcp")
            return dos(&RouterParamPtr::SetDhcp);
        if (nombre == "--dns")
            return dos(&RouterParamPtr::SetDns);
        if (nombre == "--user")
            return dos(&RouterParamPtr::SetUser);
        if (nombre == "--nat")
            return uno(&RouterParamPtr::SetNat);
        if (nombre == "--bridge")
            return uno(&RouterParamPtr::SetBridge);
        if (nombre == "--encap")
            return uno(&RouterParamPtr::SetEncap);
        if (nombre == "--ports" && quedan >= 1)
        {
            m_param.SetPorts(args[++i]);
            return true;
        }
        return false;
    }

    void Subir()
    {
        MostrarPlantilla();
        if (m_param)
            m_pObj->SetModemConfig(m_param.Get());
        Paso("Start (subir la configuración)", [&] { return m_pObj->Start(); });
    }

    void Bajar()
    {
        m_pObj->SetTransferMode(1);
        if (!Paso("Start (bajar la configuración)", [&] { return m_pObj->Start(); }))
            return;
        kitcom::ComPtr<IUnknown> pUnk;
        if (m_pObj->GetModemConfig(&pUnk) != S_OK)
            return;
        RouterParamPtr leido;
        leido.QueryFrom(pUnk.Get());
        MostrarAjustes(leido);
    }

    static void MostrarPlantilla()
    {
        const std::string bajada = EnCarpetaActual(kPlantillaBajada);
        const std::string kit = EnCarpetaActual(kPlantilla);
        if (Existe(bajada))
            Say("plantilla: %s (la configuración bajada del router)\n", bajada.c_str());
        else if (Existe(kit))
            Say("plantilla: %s\n", kit.c_str());
        else
            Say("plantilla: no hay %s ni %s en la carpeta\n", kPlantilla, kPlantillaBajada);
    }

    // Calls the method, waits for its End and prints its events; true when it ended well.
    template <class Llamada> bool Paso(const std::string &titulo, Llamada llamada)
    {
        Say("%s\n", titulo.c_str());
        const size_t nEnds = Ends() + 1;
        const HRESULT hr = llamada();
        bool bBien = hr == S_OK && m_pSink->EsperarEnd(nEnds, kEsperaMaxima);
        if (hr != S_OK)
            Say("  resultado 0x%08X\n", static_cast<unsigned>(hr));
        for (const CZyxelSink::Evento &evento : m_pSink->Eventos())
        {
            if (evento.strNombre == "End")
                bBien = bBien && evento.bOk == 0;
        }
        m_pSink->Olvidar();
        EsperarFinDelHilo();
        m_bTodoBien = m_bTodoBien && bBien;
        return bBien;
    }

    // End comes from the worker just before it ends; the next step waits until it has.
    void EsperarFinDelHilo() const
    {
        LONG bActivo = 1;
        for (DWORD dwInicio = GetTickCount(); GetTickCount() - dwInicio < kEsperaMaxima; Sleep(1))
            if (m_pObj->IsActive(&bActivo) == S_OK && !bActivo)
                return;
    }

    size_t Ends() const
    {
        size_t n = 0;
        for (const CZyxelSink::Evento &evento : m_pSink->Eventos())
            n += evento.strNombre == "End";
        return n;
    }

    static void MostrarAjustes(const RouterParamPtr &param)
    {
        try
        {
            auto [lanIp, lanMask] = param.GetLan();
            auto [wanIp, wanMask] = param.GetWan();
            auto [dns1, dns2] = param.GetDns();
            auto [inicio, tamano] = param.GetDhcp();
            auto [usuario, clave] = param.GetUser();
            Say("  configuración leída del router:\n"
                "    LAN %s / %s, WAN %s / %s\n"
                "    DHCP %s / %s; DNS %s, %s\n"
                "    NAT %d, bridge %d, encapsulado %d, usuario \"%s\"\n"
                "    puertos \"%s\"\n",
                lanIp.c_str(), lanMask.c_str(), wanIp.c_str(), wanMask.c_str(), inicio.c_str(),
                tamano.c_str(), dns1.c_str(), dns2.c_str(), static_cast<int>(param.GetNat()),
                static_cast<int>(param.GetBridge()), static_cast<int>(param.GetEncap()), usuario.c_str(),
                param.GetPorts().c_str());
        }
        catch (const CComError &error)
        {
            Say("  no se pudo leer la configuración: %s\n", error.what());
        }
    }

    ISetZyxelConfig *m_pObj;
    CZyxelSink *m_pSink;
    RouterParamPtr m_param;
    bool m_bTodoBien = true;
    bool m_bCarpeta = true;
};

int Principal(int argc, char **argv)
{
    if (argc < 2)
        return Uso();
    if (std::string(argv[1]) == "--help" || std::string(argv[1]) == "/?")
    {
        std::fputs(kUso, stdout);
        return 0;
    }
    kitcom::ComPtr<ISetZyxelConfig> pObj;
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(OLESTR("DaxModem.SetZyxelConfig"), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ISetZyxelConfig, pObj.PutVoid());
    if (FAILED(hr))
    {
        Say("zyxelclient: DaxModem.SetZyxelConfig no se pudo crear (0x%08X)\n", static_cast<unsigned>(hr));
        return 2;
    }
    kitcom::ComPtr<CZyxelSink> pSink = kitcom::Make<CZyxelSink>();
    pSink->AlRecibir(modemclient::Imprimir<CZyxelSink::Evento>);
    kitcom::ComPtr<IConnectionPointContainer> pContainer;
    kitcom::ComPtr<IConnectionPoint> pPoint;
    DWORD dwCookie = 0;
    pObj->QueryInterface(IID_IConnectionPointContainer, pContainer.PutVoid());
    if (!pContainer || FAILED(pContainer->FindConnectionPoint(DIID__ISetZyxelConfigEvents, &pPoint)) ||
        FAILED(pPoint->Advise(pSink->GetUnknown(), &dwCookie)))
    {
        Say("zyxelclient: no se pudo recibir los eventos\n");
        return 2;
    }
    CCliente cliente(pObj.Get(), pSink.Get());
    const bool bLinea = cliente.Ejecutar(std::vector<std::string>(argv + 1, argv + argc));
    pPoint->Unadvise(dwCookie);
    if (!cliente.CarpetaBien())
        return 2;
    if (!bLinea)
        return Uso();
    return cliente.TodoBien() ? 0 : 1;
}
} // namespace

int main(int argc, char **argv)
{
    CoInitialize(nullptr);
    const int code = Principal(argc, argv);
    CoUninitialize();
    return code;
}
