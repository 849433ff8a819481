// Page 4: the requirements check.
#include "wizard/DlgDeteccion.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Requisitos.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "pppoe/DaxWPoet.h"

#include <algorithm>

namespace
{
// The adapter check's control id on this page.
constexpr UINT kIdCheckNics = 2000;
// Its adapter lists.
constexpr LONG kListaInstalados = 3501;
constexpr LONG kListaEnlazados = 3502;
constexpr LONG kListaUsables = 3503;
// The kit's own card.
constexpr char kNicKit[] = "RTL8139";
constexpr DWORD kMsParada = 2000;

bool TieneNicKit(const std::vector<std::string> &nombres)
{
    return std::any_of(nombres.begin(), nombres.end(),
                       [](const std::string &n) { return n.find(kNicKit) != std::string::npos; });
}
} // namespace

CDlgDeteccion::CDlgDeteccion()
    : CDlgProgreso(IDD_DETECCION, IDS_DETECCION_TITULO, cancelarYParar,
                   {{IDC_DETECCION_TEXTO, IDS_DETECCION_TEXTO},
                    {IDC_DETECCION_NICS, IDS_DETECCION_NICS},
                    {IDC_DETECCION_TCPIP, IDS_DETECCION_TCPIP},
                    {IDC_DETECCION_PPPOE, IDS_DETECCION_PPPOE}})
{
}

BOOL CDlgDeteccion::OnInitDialog()
{
    CDlgProgreso::OnInitDialog();
    m_nics.Create(this, kIdCheckNics);
    return TRUE;
}

BOOL CDlgDeteccion::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    PonerTextos();
    asistente::Datos().Requisitos = 0;
    m_bCancelando = false;
    GetSheet()->SetWizardButtons(0);
    ArrancarAnimacion();
    Programar(pasoArrancar, 1000);
    return TRUE;
}

void CDlgDeteccion::Paso(UINT paso)
{
    switch (paso)
    {
    case pasoArrancar:
        // A component that cannot start is a PC without adapters to check.
        if (FAILED(m_nics.Start()))
            OnStart(kIdCheckNics, 0, std::string());
        break;
    case pasoAdaptadores:
        Adaptadores();
        break;
    case pasoTcpip:
        Tcpip();
        break;
    case pasoPppoe:
        Pppoe();
        break;
    case pasoFin:
        IrA(pagEstadoPC);
        break;
    default:
        break;
    }
}

void CDlgDeteccion::OnStart(UINT nIdControl, LONG lStatus, const std::string &)
{
    if (nIdControl != kIdCheckNics || lStatus != 0)
        return;
    asistente::Datos().Requisitos |= reqSinNic;
    Programar(pasoTcpip, 1);
}

void CDlgDeteccion::OnEnd(UINT nIdControl, LONG lStatus, const std::string &)
{
    if (nIdControl != kIdCheckNics)
        return;
    if (m_bCancelando)
    {
        CerrarSinPreguntar();
        return;
    }
    if (lStatus == 0)
    {
        asistente::Datos().Requisitos |= reqSinNic;
        Programar(pasoTcpip, 1);
        return;
    }
    Programar(pasoAdaptadores, 1);
}

std::vector<std::string> CDlgDeteccion::Lista(LONG idLista)
{
    std::vector<std::string> nombres;
    m_nics.SetNicListToAccess(idLista);
    const LONG n = m_nics.GetNumNics();
    for (LONG i = 1; i <= n; ++i)
    {
        std::string nombre;
        if (m_nics.GetNicName(i, nombre) == S_OK)
            nombres.push_back(nombre);
    }
    return nombres;
}

void CDlgDeteccion::Adaptadores()
{
    const std::vector<std::string> instalados = Lista(kListaInstalados);
    const std::vector<std::string> enlazados = Lista(kListaEnlazados);
    m_usables = Lista(kListaUsables);
    DWORD &requisitos = asistente::Datos().Requisitos;
    if (!TieneNicKit(m_usables))
    {
        if (!m_usables.empty())
            requisitos |= !TieneNicKit(instalados) ? reqNicKitNoInstalada
                          : TieneNicKit(enlazados) ? reqNicKitNoHabilitada
                                                   : reqNicKitNoEnlazada;
        else
            requisitos |= instalados.empty()   ? reqSinNic
                          : !enlazados.empty() ? reqSinNicHabilitada
                                               : reqSinNicEnlazada;
    }
    SetDlgItemText(IDC_DETECCION_NICS, asistente::Cadena(IDS_DETECCION_NICS_OK));
    Programar(pasoTcpip, 2000);
}

void CDlgDeteccion::Tcpip()
{
    if (!m_nics.IsTcpipInstalled())
        asistente::Datos().Requisitos |= reqSinTcpip;
    SetDlgItemText(IDC_DETECCION_TCPIP, asistente::Cadena(IDS_DETECCION_TCPIP_OK));
    if (asistente::CompruebaPppoe())
        Programar(pasoPppoe, 2000);
    else
        Programar(pasoFin, 3000);
}

void CDlgDeteccion::Pppoe()
{
    DWORD &requisitos = asistente::Datos().Requisitos;
    IWPoet *poet = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WPoet, nullptr, CLSCTX_ALL, IID_IWPoet,
                                reinterpret_cast<void **>(&poet))) ||
        !poet)
        requisitos |= reqSinRas | reqSinPppoe | reqSinAdaptadorPppoe;
    else
    {
        LONG ras = 0, instalado = 0, adaptador = 0;
        poet->GetInfo(&ras, &instalado, &adaptador);
        poet->Release();
        if (!ras)
            requisitos |= reqSinRas;
        if (!instalado)
            requisitos |= reqSinPppoe;
        if (!adaptador)
            requisitos |= reqSinAdaptadorPppoe;
    }
    SetDlgItemText(IDC_DETECCION_PPPOE, asistente::Cadena(IDS_DETECCION_PPPOE_OK));
    Programar(pasoFin, 3000);
}

BOOL CDlgDeteccion::OnQueryCancel()
{
    // A second cancel while the stopped check has not ended yet closes at once: the wizard
    // never waits on a component that does not answer.
    if (m_bCancelando)
        return TRUE;
    return CDlgProgreso::OnQueryCancel();
}

bool CDlgDeteccion::PararComponente()
{
    if (!m_nics.IsActive())
        return false;
    m_bCancelando = true;
    m_nics.Stop(kMsParada);
    return true;
}
