// Page 17: the firmware update run.
#include "wizard/DlgChangeFirm.h"
#include "wizard/DatosAsistente.h"
#include "wizard/DlgDatosFirm.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include <utility>

namespace
{
constexpr UINT kIdModem = 2004;
constexpr DWORD kMsParada = 2000;
constexpr UINT kMsReintento = 2000;
constexpr UINT kMsPorTexto = 50;
// The router writes the new firmware after the transfer; the page waits for it.
constexpr UINT kMsCompletando = 40000;
constexpr UINT kMsFin = 1000;
constexpr UINT kMsCierre = 1000;
// The store keeps the last texts of a long transfer: the final byte count is the one that counts.
constexpr size_t kMaxTextos = 400;
} // namespace

CDlgChangeFirm::CDlgChangeFirm()
    : CDlgProgreso(IDD_CHANGEFIRM, IDS_CHANGEFIRM_TITULO, cancelarYParar,
                   {{IDC_CHANGEFIRM_TEXTO1, IDS_CHANGEFIRM_TEXTO1},
                    {IDC_CHANGEFIRM_TEXTO2, IDS_CHANGEFIRM_TEXTO2},
                    {IDC_CHANGEFIRM_TEXTO3, IDS_CHANGEFIRM_TEXTO3}})
{
}

BOOL CDlgChangeFirm::OnSetActive()
{
    CDlgProgreso::OnSetActive();
    GetSheet()->SetWizardButtons(0);
    m_bActualizando = false;
    m_bReintentado = false;
    m_bCancelando = false;
    Programar(pasoEmpezar, 1);
    return TRUE;
}

void CDlgChangeFirm::Paso(UINT paso)
{
    switch (paso)
    {
    case pasoEmpezar:
        Empezar();
        break;
    case pasoReintentar:
        Actualizar();
        break;
    case pasoMostrar:
        Mostrar();
        break;
    case pasoCompletado:
        SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_FIN));
        Programar(pasoFin, kMsFin);
        break;
    case pasoFin:
        IrA(pagFinOK);
        break;
    case pasoCerrar:
        CerrarSinPreguntar();
        break;
    default:
        break;
    }
}

void CDlgChangeFirm::Empezar()
{
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_INICIO));
    ArrancarAnimacion();
    Actualizar();
}

void CDlgChangeFirm::Actualizar()
{
    CDatosAsistente &datos = asistente::Datos();
    // The file may have gone since the firmware page saw it.
    if (!CDlgDatosFirm::ExisteFichero(datos.FichFirmware))
    {
        Error(CDlgDatosFirm::TextoSinFichero(datos.FichFirmware));
        return;
    }
    m_textos.clear();
    m_mostrados = 0;
    datos.PaginaEventos = pagChangeFirm;
    m_bActualizando = true;
    Hoja().Modem().UpdateFw(datos.FichFirmware.c_str());
}

void CDlgChangeFirm::Mostrar()
{
    if (m_mostrados < m_textos.size())
    {
        SetDlgItemText(IDC_ESTADO, m_textos[m_mostrados++]);
        Programar(pasoMostrar, kMsPorTexto);
        return;
    }
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_COMPLETANDO));
    Programar(pasoCompletado, kMsCompletando);
}

void CDlgChangeFirm::Error(const std::string &texto)
{
    CDatosAsistente &datos = asistente::Datos();
    datos.CodigoError = errFirmware;
    datos.TextoError = texto;
    IrA(pagFinError);
}

void CDlgChangeFirm::OnStart(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (nIdControl != kIdModem || !m_bActualizando || lStatus == 0)
        return;
    m_bActualizando = false;
    Error(asistente::TextoMensajeModem(texto));
}

void CDlgChangeFirm::OnProgreso(UINT nIdControl, const std::string &texto)
{
    if (nIdControl != kIdModem || !m_bActualizando)
        return;
    if (m_textos.size() == kMaxTextos)
        m_textos.pop_front();
    m_textos.push_back(asistente::TextoMensajeModem(texto));
}

void CDlgChangeFirm::OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (nIdControl != kIdModem)
        return;
    if (m_bCancelando)
    {
        CerrarSinPreguntar();
        return;
    }
    // An End this page did not ask for (another page's run, or one already answered) is not
    // its business.
    if (!std::exchange(m_bActualizando, false))
        return;
    if (asistente::EsPasswordIncorrecto(texto))
    {
        asistente::Datos().CodigoError = errFirmware;
        IrA(pagPassword);
    }
    else if (lStatus == 0)
        Mostrar();
    else if (!m_bReintentado)
    {
        m_bReintentado = true;
        Programar(pasoReintentar, kMsReintento);
    }
    else
        Error(asistente::TextoMensajeModem(texto));
}

BOOL CDlgChangeFirm::OnQueryCancel()
{
    if (m_bCancelando)
    {
        // Still running at a second cancel: the wizard closes a second later.
        Programar(pasoCerrar, kMsCierre);
        return FALSE;
    }
    if (Mensaje(IDS_FIRM_CANCELAR_PREGUNTA, IDS_FIRM_CANCELAR_TITULO, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return FALSE;
    return PararComponente() ? FALSE : TRUE;
}

bool CDlgChangeFirm::PararComponente()
{
    if (!m_bActualizando || !Hoja().Modem().IsActive())
        return false;
    m_bCancelando = true;
    Hoja().Modem().Stop(kMsParada);
    return true;
}
