// Page 17: the firmware update run, with the router's configuration kept around it.
#include "wizard/DlgChangeFirm.h"
#include "wizard/CopiaConfig.h"
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
// The component's worker ends just after its End: the next run waits for it this often, and
// goes ahead anyway after so many looks.
constexpr UINT kMsOcupado = 100;
constexpr int kMaxOcupado = 50;
// A router slower to come back than the wait above is asked for its settings again, so often.
constexpr UINT kMsRecomprobar = 10000;
constexpr int kMaxComprobaciones = 3;
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
    m_etapa = Etapa::Nada;
    m_lanzar = Etapa::Nada;
    m_copia.clear();
    m_bReintentado = false;
    m_bCancelando = false;
    m_bAvisado = false;
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
    case pasoSinCopia:
        if (Mensaje(IDS_FIRM_SIN_COPIA, IDS_FIRM_COPIA_TITULO, MB_YESNO | MB_ICONQUESTION) == IDYES)
            Actualizar();
        else
            Error(m_textoFallo);
        break;
    case pasoLanzar:
        LanzarAhora();
        break;
    case pasoRestaurar:
        if (Mensaje(IDS_FIRM_RESTAURAR, IDS_FIRM_RESTAURAR_TITULO, MB_YESNO | MB_ICONQUESTION) == IDYES)
            Restaurar();
        else
            Completado();
        break;
    case pasoMostrar:
        Mostrar();
        break;
    case pasoAviso:
        Mensaje(asistente::CadenaCon(m_aviso, m_copia), IDS_FIRM_COPIA_TITULO,
                MB_OK | (m_aviso == IDS_FIRM_NO_RESTAURADA ? MB_ICONERROR : MB_ICONWARNING));
        Completado();
        break;
    case pasoCompletado:
        m_comprobaciones = 0;
        if (m_copia.empty())
            Completado();
        else
            Comprobar();
        break;
    case pasoRecomprobar:
        Comprobar();
        break;
    case pasoFin:
        IrA(pagFinOK);
        break;
    case pasoCerrar:
        Cerrar();
        break;
    default:
        break;
    }
}

void CDlgChangeFirm::Empezar()
{
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_INICIO));
    ArrancarAnimacion();
    const CDatosAsistente &datos = asistente::Datos();
    if (!CDlgDatosFirm::ExisteFichero(datos.FichFirmware))
    {
        Error(CDlgDatosFirm::TextoSinFichero(datos.FichFirmware));
        return;
    }
    Copiar();
}

void CDlgChangeFirm::Copiar()
{
    m_copia = asistente::NuevaCopiaConfig();
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_COPIANDO));
    Lanzar(Etapa::Copiando);
}

void CDlgChangeFirm::Actualizar()
{
    const CDatosAsistente &datos = asistente::Datos();
    // The file may have gone since the firmware page saw it.
    if (!CDlgDatosFirm::ExisteFichero(datos.FichFirmware))
    {
        Error(CDlgDatosFirm::TextoSinFichero(datos.FichFirmware));
        return;
    }
    m_textos.clear();
    m_mostrados = 0;
    Lanzar(Etapa::Actualizando);
}

void CDlgChangeFirm::Comprobar()
{
    ++m_comprobaciones;
    m_leida = asistente::TemporalConfig();
    if (m_leida.empty())
    {
        Avisar(IDS_FIRM_NO_COMPROBADA);
        return;
    }
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_COMPROBANDO));
    Lanzar(Etapa::Comprobando);
}

void CDlgChangeFirm::Restaurar()
{
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_RESTAURANDO));
    Lanzar(Etapa::Restaurando);
}

void CDlgChangeFirm::Lanzar(Etapa etapa)
{
    m_lanzar = etapa;
    m_ocupado = 0;
    LanzarAhora();
}

void CDlgChangeFirm::LanzarAhora()
{
    CSetZyxelConfig &modem = Hoja().Modem();
    if (modem.IsActive() && m_ocupado < kMaxOcupado)
    {
        ++m_ocupado;
        Programar(pasoLanzar, kMsOcupado);
        return;
    }
    CDatosAsistente &datos = asistente::Datos();
    datos.PaginaEventos = pagChangeFirm;
    m_etapa = std::exchange(m_lanzar, Etapa::Nada);
    LONG hr = S_OK;
    switch (m_etapa)
    {
    case Etapa::Copiando:
        modem.SetBackupFile(m_copia.c_str());
        modem.SetTransferMode(1);
        hr = modem.Start();
        break;
    case Etapa::Actualizando:
        SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_ENVIANDO));
        hr = modem.UpdateFw(datos.FichFirmware.c_str());
        break;
    case Etapa::Comprobando:
        modem.SetBackupFile(m_leida.c_str());
        modem.SetTransferMode(1);
        hr = modem.Start();
        break;
    case Etapa::Restaurando:
        modem.SetBackupFile(m_copia.c_str());
        modem.SetTransferMode(0);
        hr = modem.Start();
        break;
    case Etapa::Nada:
        return;
    }
    // A component that does not take the call has nothing to run.
    if (FAILED(hr))
        OnEnd(kIdModem, 1, std::string());
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

void CDlgChangeFirm::Completado()
{
    SetDlgItemText(IDC_ESTADO, asistente::Cadena(IDS_FIRM_FIN));
    Programar(pasoFin, kMsFin);
}

void CDlgChangeFirm::Error(const std::string &texto)
{
    CDatosAsistente &datos = asistente::Datos();
    datos.CodigoError = errFirmware;
    datos.TextoError = texto;
    // The router's configuration is still in its backup: the page says where.
    if (!m_copia.empty())
        datos.TextoError += (texto.empty() ? "" : "\n") + asistente::CadenaCon(IDS_FIRM_COPIA_EN, m_copia);
    IrA(pagFinError);
}

void CDlgChangeFirm::Avisar(UINT idTexto)
{
    m_aviso = idTexto;
    Programar(pasoAviso, 1);
}

void CDlgChangeFirm::OnStart(UINT nIdControl, LONG lStatus, const std::string &texto)
{
    if (nIdControl != kIdModem || m_etapa == Etapa::Nada || lStatus == 0)
        return;
    // The component's worker did not start: the stage ends there.
    if (m_etapa == Etapa::Actualizando)
    {
        m_etapa = Etapa::Nada;
        Error(asistente::TextoMensajeModem(texto));
        return;
    }
    OnEnd(nIdControl, lStatus, texto);
}

void CDlgChangeFirm::OnProgreso(UINT nIdControl, const std::string &texto)
{
    if (nIdControl != kIdModem || m_etapa != Etapa::Actualizando)
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
        // A backup cut short is no backup.
        if (m_etapa == Etapa::Copiando)
        {
            DeleteFileA(m_copia.c_str());
            m_copia.clear();
        }
        Cerrar();
        return;
    }
    // An End this page did not ask for (another page's run, or one already answered) is not
    // its business.
    switch (std::exchange(m_etapa, Etapa::Nada))
    {
    case Etapa::Copiando:
        FinCopia(lStatus, texto);
        break;
    case Etapa::Actualizando:
        FinActualizacion(lStatus, texto);
        break;
    case Etapa::Comprobando:
        FinComprobacion(lStatus, texto);
        break;
    case Etapa::Restaurando:
        FinRestauracion(lStatus);
        break;
    case Etapa::Nada:
        break;
    }
}

void CDlgChangeFirm::FinCopia(LONG lStatus, const std::string &texto)
{
    if (lStatus == 0)
    {
        Actualizar();
        return;
    }
    DeleteFileA(m_copia.c_str());
    m_copia.clear();
    // The update would be refused the same way: the password is asked for first.
    if (asistente::EsPasswordIncorrecto(texto))
    {
        asistente::Datos().CodigoError = errFirmware;
        IrA(pagPassword);
        return;
    }
    m_textoFallo = asistente::TextoMensajeModem(texto);
    Programar(pasoSinCopia, 1);
}

void CDlgChangeFirm::FinActualizacion(LONG lStatus, const std::string &texto)
{
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

void CDlgChangeFirm::FinComprobacion(LONG lStatus, const std::string &texto)
{
    if (asistente::EsSinConexion(texto) && m_comprobaciones < kMaxComprobaciones)
    {
        DeleteFileA(m_leida.c_str());
        Programar(pasoRecomprobar, kMsRecomprobar);
        return;
    }
    const std::optional<asistente::AjustesRouter> antes = asistente::LeerAjustesRouter(m_copia);
    const std::optional<asistente::AjustesRouter> ahora =
        lStatus == 0 ? asistente::LeerAjustesRouter(m_leida) : std::nullopt;
    DeleteFileA(m_leida.c_str());
    if (!antes || !ahora)
        Avisar(IDS_FIRM_NO_COMPROBADA);
    else if (*antes != *ahora)
        Programar(pasoRestaurar, 1);
    else
        Completado();
}

void CDlgChangeFirm::FinRestauracion(LONG lStatus)
{
    if (lStatus == 0)
        Completado();
    else
        Avisar(IDS_FIRM_NO_RESTAURADA);
}

void CDlgChangeFirm::AvisarCopia()
{
    if (m_copia.empty() || std::exchange(m_bAvisado, true))
        return;
    Mensaje(asistente::CadenaCon(IDS_FIRM_COPIA_EN, m_copia), IDS_FIRM_COPIA_TITULO,
            MB_OK | MB_ICONINFORMATION);
}

void CDlgChangeFirm::Cerrar()
{
    AvisarCopia();
    CerrarSinPreguntar();
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
    if (PararComponente())
        return FALSE;
    AvisarCopia();
    return TRUE;
}

bool CDlgChangeFirm::PararComponente()
{
    if (m_etapa == Etapa::Nada || !Hoja().Modem().IsActive())
        return false;
    m_bCancelando = true;
    Hoja().Modem().Stop(kMsParada);
    return true;
}
