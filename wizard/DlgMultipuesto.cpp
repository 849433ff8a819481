// Page 10: the private addressing of several PCs behind the router.
#include "wizard/DlgMultipuesto.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/UltimaConfiguracion.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "platform/windows.h"

namespace
{
// What a click on a choice proposes.
constexpr char kIpPropuesta[] = "172.16.0.5";
constexpr char kMascaraPropuesta[] = "255.255.0.0";
constexpr int kDhcp = 0, kManual = 1, kNinguna = -1;
} // namespace

CDlgMultipuesto::CDlgMultipuesto()
    : CDlgBase(IDD_MULTIPUESTO, IDS_MULTIPUESTO_TITULO, cancelarPreguntando,
               {{IDC_MULTIPUESTO_TEXTO, IDS_MULTIPUESTO_TEXTO},
                {IDC_MULTIPUESTO_DHCP, IDS_MULTIPUESTO_DHCP},
                {IDC_MULTIPUESTO_MANUAL, IDS_MULTIPUESTO_MANUAL},
                {IDC_MULTIPUESTO_ETIQ_IPINICIAL, IDS_MULTIPUESTO_IPINICIAL},
                {IDC_MULTIPUESTO_ETIQ_MASCARADHCP, IDS_MULTIPUESTO_MASCARADHCP},
                {IDC_MULTIPUESTO_ETIQ_IPPC, IDS_MULTIPUESTO_IPPC},
                {IDC_MULTIPUESTO_ETIQ_MASCARAPC, IDS_MULTIPUESTO_MASCARAPC},
                {IDC_MULTIPUESTO_ETIQ_IPROUTER, IDS_MULTIPUESTO_IPROUTER}})
{
}

UINT CDlgMultipuesto::CampoIp(int eleccion) const
{
    return eleccion == kDhcp ? IDC_MULTIPUESTO_IPINICIAL : IDC_MULTIPUESTO_IPPC;
}

UINT CDlgMultipuesto::CampoMascara(int eleccion) const
{
    return eleccion == kDhcp ? IDC_MULTIPUESTO_MASCARADHCP : IDC_MULTIPUESTO_MASCARAPC;
}

int CDlgMultipuesto::Eleccion() const
{
    if (IsDlgButtonChecked(IDC_MULTIPUESTO_DHCP))
        return kDhcp;
    if (IsDlgButtonChecked(IDC_MULTIPUESTO_MANUAL))
        return kManual;
    return kNinguna;
}

void CDlgMultipuesto::Elegir(int eleccion)
{
    CheckDlgButton(IDC_MULTIPUESTO_DHCP, eleccion == kDhcp);
    CheckDlgButton(IDC_MULTIPUESTO_MANUAL, eleccion == kManual);
    for (int e : {kDhcp, kManual})
    {
        EnableDlgItem(CampoIp(e), e == eleccion);
        EnableDlgItem(CampoMascara(e), e == eleccion);
    }
    EnableDlgItem(IDC_MULTIPUESTO_IPROUTER, eleccion != kNinguna);
}

void CDlgMultipuesto::Poner(int eleccion, const std::string &ip, const std::string &mascara,
                            const std::string &router)
{
    Elegir(eleccion);
    IpSetAddress(CampoIp(eleccion), ip);
    IpSetAddress(CampoMascara(eleccion), mascara);
    IpSetAddress(IDC_MULTIPUESTO_IPROUTER, router);
}

BOOL CDlgMultipuesto::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    const CDatosAsistente &datos = asistente::Datos();
    if (Hoja().Reanudado())
    {
        Poner(datos.DHCP == 0 ? kDhcp : kManual, datos.IpPrivada, datos.MaskPrivada, datos.IpRouter);
        return TRUE;
    }
    const CUltimaConfiguracion ultima = CUltimaConfiguracion::Leer();
    if (ultima.Dhcp == 0 || ultima.Dhcp == 1)
        Poner(static_cast<int>(ultima.Dhcp), ultima.IpPrivada, ultima.MaskPrivada,
              CDirecciones::PrimeraIp(ultima.IpPrivada, ultima.MaskPrivada));
    else
        Elegir(kNinguna);
    return TRUE;
}

BOOL CDlgMultipuesto::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_BACK | (Eleccion() != kNinguna ? PSWIZB_NEXT : 0));
    return TRUE;
}

void CDlgMultipuesto::OnControl(UINT nId, UINT nCodigo)
{
    if (nCodigo != kNotifClic || (nId != IDC_MULTIPUESTO_DHCP && nId != IDC_MULTIPUESTO_MANUAL))
        return;
    Poner(nId == IDC_MULTIPUESTO_DHCP ? kDhcp : kManual, kIpPropuesta, kMascaraPropuesta,
          CDirecciones::PrimeraIp(kIpPropuesta, kMascaraPropuesta));
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
}

LRESULT CDlgMultipuesto::OnWizardNext()
{
    const int eleccion = Eleccion();
    if (eleccion == kNinguna)
        return -1;
    const Direccion ip = LeerDireccion(CampoIp(eleccion));
    const Direccion mascara = LeerDireccion(CampoMascara(eleccion));
    const Direccion router = LeerDireccion(IDC_MULTIPUESTO_IPROUTER);
    if (mascara.texto == "0.0.0.0" || !CDirecciones::EsMascaraValida(mascara.texto) || !mascara.Completa())
        return Rechazar(IDS_ERR_MASCARA_USUARIO, IDS_ERR_MASCARA_USUARIO_TITULO);
    const std::string mascaraPrivada = CDirecciones::MascaraPrivada(ip.texto);
    if (ip.texto == "0.0.0.0" || !CDirecciones::EsFormatoIp(ip.texto) || mascaraPrivada.empty() ||
        !CDirecciones::EsIpValida(ip.texto, mascara.texto) || !ip.Completa())
        return Rechazar(IDS_ERR_IP_PRIVADA, IDS_ERR_IP_PRIVADA_TITULO);
    if (!CDirecciones::MascaraCubre(mascaraPrivada, mascara.texto))
    {
        Rechazar(IDS_MULTI_ERR_MASCARA_SUBRED, IDS_MULTI_ERR_MASCARA_SUBRED_TITULO);
        IpSetAddress(CampoMascara(eleccion), mascaraPrivada);
        return -1;
    }
    if (!CDirecciones::MismaSubred(ip.texto, mascara.texto, router.texto))
        return Rechazar(IDS_MULTI_ERR_SUBRED, IDS_MULTI_ERR_TITULO);
    if (lstrcmpiA(router.texto.c_str(), ip.texto.c_str()) == 0)
        return Rechazar(IDS_MULTI_ERR_MISMA_IP, IDS_MULTI_ERR_TITULO);
    if (router.texto == "0.0.0.0" || !CDirecciones::EsFormatoIp(router.texto) || !router.Completa() ||
        !CDirecciones::EsHost(router.texto, mascara.texto))
        return Rechazar(IDS_MULTI_ERR_GATEWAY, IDS_MULTI_ERR_TITULO);
    if (eleccion == kDhcp && CDirecciones::RouterEnPool(ip.texto, mascara.texto, router.texto))
        return Rechazar(IDS_MULTI_ERR_ROUTER_EN_POOL, IDS_ERR_IP_PRIVADA_TITULO);
    CDatosAsistente &datos = asistente::Datos();
    datos.IpPrivada = ip.texto;
    datos.MaskPrivada = mascara.texto;
    datos.DHCP = static_cast<DWORD>(eleccion);
    datos.IpRouter = router.texto;
    return IrA(pagResumenDatos);
}

LRESULT CDlgMultipuesto::OnWizardBack()
{
    return IrA(asistente::Datos().ModoDirec == 1 ? pagDatos2 : pagDatos);
}
