// Page 6: the line's public address and mask, and the adapter.
#include "wizard/DlgDatos.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/UltimaConfiguracion.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgDatos::CDlgDatos()
    : CDlgBase(IDD_DATOS, IDS_DATOS_TITULO, cancelarPreguntando,
               {{IDC_DATOS_TEXTO, IDS_DATOS_TEXTO},
                {IDC_DATOS_ETIQ_IP, IDS_DATOS_IP},
                {IDC_DATOS_ETIQ_MASCARA, IDS_DATOS_MASCARA},
                {IDC_DATOS_ETIQ_NIC, IDS_DATOS_NIC}})
{
}

BOOL CDlgDatos::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    CDatosAsistente &datos = asistente::Datos();
    if (Hoja().Reanudado())
    {
        IpSetAddress(IDC_DATOS_IP, datos.IpPublica);
        IpSetAddress(IDC_DATOS_MASCARA, datos.MaskPublica);
        return TRUE;
    }
    const CUltimaConfiguracion ultima = CUltimaConfiguracion::Leer();
    IpSetAddress(IDC_DATOS_IP, ultima.IpPublica);
    IpSetAddress(IDC_DATOS_MASCARA, ultima.MaskPublica);
    if (datos.NIC.empty())
        datos.NIC = ultima.NIC;
    return TRUE;
}

BOOL CDlgDatos::OnSetActive()
{
    CDlgBase::OnSetActive();
    LlenarAdaptadores(IDC_NIC, asistente::Datos().NIC);
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgDatos::OnWizardNext()
{
    const Direccion ip = LeerDireccion(IDC_DATOS_IP);
    const Direccion mascara = LeerDireccion(IDC_DATOS_MASCARA);
    if (mascara.texto == "0.0.0.0" || !CDirecciones::EsMascaraValida(mascara.texto) || !mascara.Completa())
        return Rechazar(IDS_ERR_MASCARA_USUARIO, IDS_ERR_MASCARA_USUARIO_TITULO);
    if (ip.texto == "0.0.0.0" || !CDirecciones::EsFormatoIp(ip.texto) || CDirecciones::EsPrivada(ip.texto) ||
        !CDirecciones::EsIpValida(ip.texto, mascara.texto) || !ip.Completa())
        return Rechazar(IDS_ERR_IP_USUARIO, IDS_ERR_IP_USUARIO_TITULO);
    CDatosAsistente &datos = asistente::Datos();
    datos.IpPublica = ip.texto;
    datos.MaskPublica = mascara.texto;
    datos.NIC = AdaptadorElegido(IDC_NIC);
    return IrA(datos.ModoConf == 1 ? pagMultipuesto : pagIpGestion);
}

LRESULT CDlgDatos::OnWizardBack()
{
    return IrA(pagEstadoPC);
}
