// Page 15: the router's settings read over its serial console.
#include "wizard/DlgAccesoPuerto.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "common/param/ComError.h"
#include "common/param/RouterParamPtr.h"

namespace
{
constexpr UINT kIdConsola = 2005;
constexpr DWORD kMsParada = 2000;
} // namespace

CDlgAccesoPuerto::CDlgAccesoPuerto()
    : CDlgProgreso(IDD_ACCESOPUERTO, IDS_ACCESOPUERTO_TITULO, cancelarYParar,
                   {{IDC_ACCESOPUERTO_TEXTO, IDS_ACCESOPUERTO_TEXTO}})
{
}

BOOL CDlgAccesoPuerto::OnInitDialog()
{
    CDlgProgreso::OnInitDialog();
    m_consola.Create(this, kIdConsola);
    return TRUE;
}

BOOL CDlgAccesoPuerto::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    m_bCancelando = false;
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_ACCESOPUERTO_COMPROBANDO));
    ArrancarAnimacion();
    m_consola.SetPort(asistente::Datos().PuertoSerie.c_str());
    if (FAILED(m_consola.Start()))
        SinConsola();
    return TRUE;
}

void CDlgAccesoPuerto::Paso(UINT paso)
{
    if (paso == pasoSeguir)
        GetSheet()->PressButton(PSBTN_NEXT);
    else if (paso == pasoCerrar)
        CerrarSinPreguntar();
}

void CDlgAccesoPuerto::SinConsola()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.IpRouterConsola.clear();
    datos.MaskRouterConsola.clear();
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_ACCESOPUERTO_ERROR));
    Programar(pasoSeguir, 2000);
}

bool CDlgAccesoPuerto::LeerRouter()
{
    IUnknown *info = nullptr;
    m_consola.GetInfoConfig(&info);
    RouterParamPtr router;
    const HRESULT hr = router.QueryFrom(info);
    if (info)
        info->Release();
    if (FAILED(hr))
        return false;
    CDatosAsistente &datos = asistente::Datos();
    try
    {
        const auto [ip, mascara] = router.GetLan();
        if (!CDirecciones::EsFormatoIp(ip) || ip == "0.0.0.0")
            return false;
        datos.IpRouterConsola = ip;
        datos.MaskRouterConsola = mascara;
        // A router configured for one PC with static addressing hands that PC its public address.
        const std::string inicio = router.GetDhcp().first;
        datos.IpPcConsola =
            CDirecciones::EsFormatoIp(inicio) && !CDirecciones::EsPrivada(inicio) ? inicio : std::string();
    }
    catch (const CComError &)
    {
        return false;
    }
    return true;
}

void CDlgAccesoPuerto::OnStart(UINT nIdControl, LONG lStatus, const std::string &)
{
    if (nIdControl == kIdConsola && lStatus != 0 && !m_bCancelando)
        SinConsola();
}

void CDlgAccesoPuerto::OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (nIdControl != kIdConsola)
        return;
    if (m_bCancelando)
    {
        CerrarSinPreguntar();
        return;
    }
    if (asistente::EsPasswordIncorrecto(texto))
    {
        asistente::Datos().CodigoError = errPasswordConsola;
        IrA(pagPassword);
        return;
    }
    if (lStatus != 0 || !LeerRouter())
    {
        SinConsola();
        return;
    }
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_ACCESOPUERTO_OK));
    Programar(pasoSeguir, 3000);
}

BOOL CDlgAccesoPuerto::OnQueryCancel()
{
    if (m_bCancelando)
    {
        // Still reading at a second cancel: the wizard closes a second later.
        Programar(pasoCerrar, 1000);
        return FALSE;
    }
    return CDlgProgreso::OnQueryCancel();
}

bool CDlgAccesoPuerto::PararComponente()
{
    if (!m_consola.IsActive())
        return false;
    m_bCancelando = true;
    m_consola.Stop(kMsParada);
    return true;
}
