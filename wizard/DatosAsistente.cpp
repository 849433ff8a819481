// The run record, and its working values across a reboot.
#include "wizard/DatosAsistente.h"

#include "common/param/ComError.h"
#include "common/param/RouterParamPtr.h"
#include "outside/qelapli/RegApli.h"

namespace
{
void Cambiar(IUnknown *&campo, IUnknown *nuevo)
{
    if (nuevo)
        nuevo->AddRef();
    if (campo)
        campo->Release();
    campo = nuevo;
}
} // namespace

CDatosAsistente::CDatosAsistente() = default;

CDatosAsistente::~CDatosAsistente()
{
    LiberarParametros();
}

void CDatosAsistente::SetParamModem(IUnknown *p)
{
    Cambiar(ParamModem, p);
}

void CDatosAsistente::SetParamTcpip(IUnknown *p)
{
    Cambiar(ParamTcpip, p);
}

void CDatosAsistente::LiberarParametros()
{
    // Where the last settings put the router, still wanted by the reports once the objects go.
    RouterParamPtr router;
    if (ParamModem && SUCCEEDED(router.QueryFrom(ParamModem)))
        try
        {
            LanRouter = router.GetLan().first;
        }
        catch (const CComError &)
        {
        }
    Cambiar(ParamModem, nullptr);
    Cambiar(ParamTcpip, nullptr);
}

void CDatosAsistente::Guardar(CRegApli &reg) const
{
    // The order the values have always been written in, the adapter twice included.
    reg.SetOperacion(Operacion);
    reg.SetFichFirmware(FichFirmware.c_str());
    reg.SetNIC(NIC.c_str());
    reg.SetModoConf(ModoConf);
    reg.SetDHCP(DHCP);
    reg.SetIpPrivada(IpPrivada.c_str());
    reg.SetMaskPrivada(MaskPrivada.c_str());
    reg.SetNIC(NIC.c_str());
    reg.SetModoDirec(ModoDirec);
    reg.SetIpPublica(IpPublica.c_str());
    reg.SetMaskPublica(MaskPublica.c_str());
    reg.SetIPGestion(IpGestion.c_str());
    reg.SetMaskGestion(MaskGestion.c_str());
    reg.SetUsername(Username.c_str());
    reg.SetPassword(Password.c_str());
    reg.SetIpRouter(IpRouter.c_str());
    reg.SetMaskRouter(MaskRouter.c_str());
    reg.SetListaPuertos(ListaPuertos.c_str());
}

void CDatosAsistente::Cargar(const CRegApli &reg)
{
    reg.GetOperacion(Operacion);
    if (Operacion == 1)
    {
        reg.GetFichFirmware(FichFirmware);
        reg.GetNIC(NIC);
        return;
    }
    reg.GetModoConf(ModoConf);
    reg.GetDHCP(DHCP);
    reg.GetIpPrivada(IpPrivada);
    reg.GetMaskPrivada(MaskPrivada);
    reg.GetNIC(NIC);
    reg.GetModoDirec(ModoDirec);
    reg.GetIpPublica(IpPublica);
    reg.GetMaskPublica(MaskPublica);
    reg.GetIPGestion(IpGestion);
    reg.GetMaskGestion(MaskGestion);
    reg.GetUsername(Username);
    reg.GetPassword(Password);
    reg.GetIpRouter(IpRouter);
    reg.GetMaskRouter(MaskRouter);
    reg.GetListaPuertos(ListaPuertos);
}
