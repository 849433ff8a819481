// consolaclient: reads the modem-router's LAN settings over its serial console with the modem
// module's GetZyxelConfig control, as the wizard's console page does, and prints its events
// and what it read:
//
//   consolaclient [--port COMn] [--password P]
//
// Exit code 0 when the run ended with End(0, ...), 1 when it failed, 2 for a wrong command line
// or a server that cannot be created.
#include "common/com/BStr.h"
#include "common/param/RouterParamPtr.h"
#include "modem/client/Significados.h"
#include "modem/client/ZyxelSink.h"
#include "platform/kit/kitconsole.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
// A whole run at 9600 baud takes some 20 seconds; this is long past any run that works.
constexpr DWORD kEsperaMaxima = 120000;

constexpr char kUso[] = "usage: consolaclient [--port COMn] [--password P]\n";

using kitpc::Say;

void MostrarLeido(IGetZyxelConfig &obj)
{
    kitcom::ComPtr<IUnknown> pUnk;
    RouterParamPtr leido;
    if (obj.GetInfoConfig(&pUnk) != S_OK || FAILED(leido.QueryFrom(pUnk.Get())))
        return;
    auto [lanIp, lanMask] = leido.GetLan();
    auto [inicio, tamano] = leido.GetDhcp();
    auto [dns1, dns2] = leido.GetDns();
    Say("  leído de la consola: LAN %s / %s; DHCP %s / %s; DNS %s, %s\n", lanIp.c_str(), lanMask.c_str(),
        inicio.c_str(), tamano.c_str(), dns1.c_str(), dns2.c_str());
}

int Principal(const std::vector<std::string> &args)
{
    std::string strPuerto = "COM1", strPassword;
    for (size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--help" || args[i] == "/?")
        {
            std::fputs(kUso, stdout);
            return 0;
        }
        if (i + 1 >= args.size() || (args[i] != "--port" && args[i] != "--password"))
        {
            std::fputs(kUso, stderr);
            return 2;
        }
        (args[i] == "--port" ? strPuerto : strPassword) = args[i + 1];
        ++i;
    }
    kitcom::ComPtr<IGetZyxelConfig> pObj;
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(OLESTR("DaxModem.GetZyxelConfig"), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IGetZyxelConfig, pObj.PutVoid());
    if (FAILED(hr))
    {
        Say("consolaclient: DaxModem.GetZyxelConfig no se pudo crear (0x%08X)\n", static_cast<unsigned>(hr));
        return 2;
    }
    kitcom::ComPtr<CConsolaSink> pSink = kitcom::Make<CConsolaSink>();
    pSink->AlRecibir(modemclient::Imprimir<CConsolaSink::Evento>);
    kitcom::ComPtr<IConnectionPointContainer> pContainer;
    kitcom::ComPtr<IConnectionPoint> pPoint;
    DWORD dwCookie = 0;
    pObj->QueryInterface(IID_IConnectionPointContainer, pContainer.PutVoid());
    if (!pContainer || FAILED(pContainer->FindConnectionPoint(DIID__IGetZyxelConfigEvents, &pPoint)) ||
        FAILED(pPoint->Advise(pSink->GetUnknown(), &dwCookie)))
    {
        Say("consolaclient: no se pudo recibir los eventos\n");
        return 2;
    }
    pObj->SetPort(kitcom::BStr(strPuerto).Get());
    if (!strPassword.empty())
        pObj->SetPassword(kitcom::BStr(strPassword).Get());
    Say("GetZyxelConfig.Start (%s)\n", strPuerto.c_str());
    bool bBien = pObj->Start() == S_OK && pSink->EsperarEnd(1, kEsperaMaxima);
    for (const CConsolaSink::Evento &evento : pSink->Eventos())
        if (evento.strNombre == "End")
            bBien = bBien && evento.bOk == 0;
    pObj->Stop(static_cast<LONG>(kEsperaMaxima)); // the reader ends right after its End
    if (bBien)
        MostrarLeido(*pObj.Get());
    pPoint->Unadvise(dwCookie);
    return bBien ? 0 : 1;
}
} // namespace

int main(int argc, char **argv)
{
    CoInitialize(nullptr);
    const int code = Principal(std::vector<std::string>(argv + 1, argv + argc));
    CoUninitialize();
    return code;
}
