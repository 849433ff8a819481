// The timed steps, the animation and the component events of the wizard's working pages.
#include "wizard/DlgProgreso.h"
#include "wizard/Globales.h"
#include "wizard/resource.h"

#include "outside/qelmfc/PropSheet.h"

#include <algorithm>
#include <cctype>

BOOL CDlgProgreso::OnKillActive()
{
    PararAnimacion();
    // Leaving for another page the window comes back to its normal size.
    ShowWindow(GetSheet()->GetSafeHwnd(), SW_RESTORE);
    return CDlgBase::OnKillActive();
}

void CDlgProgreso::Programar(UINT paso, UINT ms)
{
    SetTimer(paso, ms);
}

void CDlgProgreso::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kTimerAnimacion)
    {
        m_animacion.MoverAVI(nullptr);
        return;
    }
    KillTimer(nIDEvent);
    Paso(static_cast<UINT>(nIDEvent));
}

void CDlgProgreso::OnEventoControl(UINT nIdControl, const CEventoControl &evento)
{
    switch (evento.dispid)
    {
    case kEventoStart:
        OnStart(nIdControl, evento.lStatus, evento.texto);
        break;
    case kEventoEnd:
        OnEnd(nIdControl, evento.lStatus, evento.texto);
        break;
    case kEventoProgreso:
        OnProgreso(nIdControl, evento.texto);
        break;
    default:
        break;
    }
}

void CDlgProgreso::OnStart(UINT, LONG, const std::string &) {}

void CDlgProgreso::OnEnd(UINT, LONG, const std::string &) {}

void CDlgProgreso::OnProgreso(UINT, const std::string &) {}

void CDlgProgreso::ArrancarAnimacion()
{
    RECT lugar{};
    GetDlgItemRect(IDC_ANIMACION, lugar);
    const std::string fichero = asistente::Directorio() + "\\res\\Espera.avi";
    HDC dc = GetDC(GetSafeHwnd());
    // A missing animation leaves its place empty; the page works the same.
    m_animacion.ArrancarAVI(dc, fichero.c_str(), this, {lugar.left, lugar.top});
    ReleaseDC(GetSafeHwnd(), dc);
    SetTimer(kTimerAnimacion, kMsAnimacion);
}

void CDlgProgreso::PararAnimacion()
{
    KillTimer(kTimerAnimacion);
    m_animacion.PararAVI();
}

namespace asistente
{
namespace
{
bool EmpiezaPorMsg(const std::string &texto)
{
    if (texto.size() < 3)
        return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::tolower(static_cast<unsigned char>(texto[i])) != "msg"[i])
            return false;
    return true;
}
} // namespace

std::string TextoMensajeModem(const std::string &texto)
{
    if (!EmpiezaPorMsg(texto))
        return CadenaCon(IDS_MODEM_BYTES, texto);
    const char ultimo = texto.back();
    if (ultimo < '1' || ultimo > '8')
        return {};
    return Cadena(IDS_MODEM_MSG1 + static_cast<UINT>(ultimo - '1'));
}

std::string TextoMensajeTcpip(const std::string &texto)
{
    if (texto.empty() || texto.size() > 2 ||
        !std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    const int codigo = std::stoi(texto);
    if (codigo < 1 || codigo > 20)
        return {};
    return Cadena(IDS_TCPIP_MSG1 + static_cast<UINT>(codigo - 1));
}

bool EsPasswordIncorrecto(const std::string &texto)
{
    return texto.size() == 4 && EmpiezaPorMsg(texto) && texto[3] == '5';
}

bool EsSinConexion(const std::string &texto)
{
    return texto.size() == 4 && EmpiezaPorMsg(texto) && texto[3] == '3';
}
} // namespace asistente
