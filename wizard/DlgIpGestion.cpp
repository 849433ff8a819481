// Page 7: the management address and mask the router's WAN side takes.
#include "wizard/DlgIpGestion.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/UltimaConfiguracion.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

namespace
{
// The values that always configure the router correctly.
constexpr char kIpGestion[] = "10.0.0.5";
constexpr char kMaskGestion[] = "255.0.0.0";
} // namespace

CDlgIpGestion::CDlgIpGestion()
    : CDlgBase(IDD_IPGESTION, IDS_IPGESTION_TITULO, cancelarPreguntando,
               {{IDC_IPGESTION_TEXTO, IDS_IPGESTION_TEXTO},
                {IDC_IPGESTION_ETIQ_IP, IDS_IPGESTION_IP},
                {IDC_IPGESTION_ETIQ_MASCARA, IDS_IPGESTION_MASCARA}})
{
}

void CDlgIpGestion::PorDefecto()
{
    IpSetAddress(IDC_IPGESTION_IP, kIpGestion);
    IpSetAddress(IDC_IPGESTION_MASCARA, kMaskGestion);
}

BOOL CDlgIpGestion::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    std::string ip, mascara;
    if (Hoja().Reanudado())
    {
        ip = asistente::Datos().IpGestion;
        mascara = asistente::Datos().MaskGestion;
    }
    else
    {
        const CUltimaConfiguracion ultima = CUltimaConfiguracion::Leer();
        ip = ultima.IpGestion;
        mascara = ultima.MaskGestion;
    }
    if (ip.empty() || mascara.empty())
        PorDefecto();
    else
    {
        IpSetAddress(IDC_IPGESTION_IP, ip);
        IpSetAddress(IDC_IPGESTION_MASCARA, mascara);
    }
    return TRUE;
}

BOOL CDlgIpGestion::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgIpGestion::OnWizardNext()
{
    const Direccion ip = LeerDireccion(IDC_IPGESTION_IP);
    const Direccion mascara = LeerDireccion(IDC_IPGESTION_MASCARA);
    if (mascara.partes == 0 || !CDirecciones::EsMascaraValida(mascara.texto) || !mascara.Completa())
        return Rechazar(IDS_GESTION_ERR_MASCARA, IDS_GESTION_ERR_TITULO);
    if (ip.partes == 0 || !CDirecciones::EsFormatoIp(ip.texto) ||
        !CDirecciones::EsIpValida(ip.texto, mascara.texto) || !ip.Completa())
        return Rechazar(IDS_GESTION_ERR_IP, IDS_GESTION_ERR_TITULO);
    CDatosAsistente &datos = asistente::Datos();
    if (!CDirecciones::SubredesDisjuntas(ip.texto, mascara.texto, datos.IpPublica, datos.MaskPublica))
    {
        Rechazar(IDS_GESTION_ERR_DATOS, IDS_GESTION_ERR_TITULO);
        PorDefecto();
        return -1;
    }
    datos.IpGestion = ip.texto;
    datos.MaskGestion = mascara.texto;
    return IrA(pagResumenDatos);
}

LRESULT CDlgIpGestion::OnWizardBack()
{
    return IrA(pagDatos);
}
