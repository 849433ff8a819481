// The last completed configuration in the application registry.
#include "wizard/UltimaConfiguracion.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"

#include "outside/qelapli/RegApli.h"

CUltimaConfiguracion CUltimaConfiguracion::Leer()
{
    CUltimaConfiguracion u;
    CRegApli reg;
    if (FAILED(reg.Open(asistente::ClaveRegistro().c_str(), FALSE)))
        return u;
    reg.GetModoConf1(u.ModoConf);
    reg.GetModoDirec1(u.ModoDirec);
    if (FAILED(reg.GetDhcp1(u.Dhcp)))
        u.Dhcp = 0xFFFFFFFF;
    reg.GetIpPublica1(u.IpPublica);
    reg.GetMaskPublica1(u.MaskPublica);
    reg.GetIpGestion1(u.IpGestion);
    reg.GetMaskGestion1(u.MaskGestion);
    reg.GetIpPrivada1(u.IpPrivada);
    reg.GetMaskPrivada1(u.MaskPrivada);
    reg.GetNIC1(u.NIC);
    reg.GetUsername1(u.Username);
    reg.Close();
    return u;
}

void CUltimaConfiguracion::Guardar(const CDatosAsistente &d)
{
    CRegApli reg;
    if (FAILED(reg.Open(asistente::ClaveRegistro().c_str(), TRUE)))
        return;
    reg.SetModoConf1(d.ModoConf);
    reg.SetModoDirec1(d.ModoDirec);
    const bool estatica = d.ModoDirec == 0;
    if (d.ModoConf == 0 && estatica)
    {
        reg.SetIpPublica1(d.IpPublica.c_str());
        reg.SetMaskPublica1(d.MaskPublica.c_str());
        reg.SetIpGestion1(d.IpGestion.c_str());
        reg.SetMaskGestion1(d.MaskGestion.c_str());
    }
    else if (estatica)
    {
        reg.SetIpPublica1(d.IpPublica.c_str());
        reg.SetMaskPublica1(d.MaskPublica.c_str());
    }
    if (!estatica)
        reg.SetUsername1(d.Username.c_str());
    if (d.ModoConf == 1)
    {
        reg.SetDhcp1(d.DHCP);
        reg.SetIpPrivada1(d.IpPrivada.c_str());
        reg.SetMaskPrivada1(d.MaskPrivada.c_str());
        reg.SetIPRouter1(d.IpRouter.c_str());
    }
    reg.SetNIC1(d.NIC.c_str());
    reg.Close();
}
