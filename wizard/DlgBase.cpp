// The rules every page of the wizard shares.
#include "wizard/DlgBase.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/PropSheet.h"

CDlgBase::CDlgBase(UINT nIDTemplate, UINT nIdTitulo, Cancelar cancelar, std::vector<Texto> textos)
    : CNuvPropPage(nIDTemplate), m_nIdTitulo(nIdTitulo), m_cancelar(cancelar), m_textos(std::move(textos))
{
}

BOOL CDlgBase::OnInitDialog()
{
    CNuvPropPage::OnInitDialog();
    const std::string foto = asistente::Directorio() + "\\res\\Foto.bmp";
    // A missing or damaged picture shows nothing.
    SetFoto(static_cast<HBITMAP>(LoadImageA(nullptr, foto.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    SetTitulo(asistente::Cadena(m_nIdTitulo));
    return TRUE;
}

HRESULT CDlgBase::PonerTextos()
{
    for (const Texto &t : m_textos)
        SetDlgItemText(t.idControl, asistente::Cadena(t.idCadena));
    return S_OK;
}

BOOL CDlgBase::OnSetActive()
{
    BotonesPorDefecto();
    return CNuvPropPage::OnSetActive();
}

void CDlgBase::BotonesPorDefecto()
{
    CNuvPropSheet *hoja = GetSheet();
    hoja->SetButtonText(ID_WIZNEXT, asistente::Cadena(IDS_BOTON_SIGUIENTE));
    hoja->SetButtonText(ID_WIZBACK, asistente::Cadena(IDS_BOTON_ATRAS));
    hoja->SetButtonText(IDCANCEL, asistente::Cadena(IDS_BOTON_CANCELAR));
}

CWizard97Sheet &CDlgBase::Hoja() const
{
    return *static_cast<CWizard97Sheet *>(GetSheet());
}

LRESULT CDlgBase::IrA(int pagina)
{
    GetSheet()->SetActivePage(pagina);
    return -1;
}

int CDlgBase::Mensaje(UINT idTexto, UINT idTitulo, UINT tipo)
{
    return Mensaje(asistente::Cadena(idTexto), idTitulo, tipo);
}

int CDlgBase::Mensaje(const std::string &texto, UINT idTitulo, UINT tipo)
{
    return MessageBoxA(GetSafeHwnd(), texto.c_str(), asistente::Cadena(idTitulo).c_str(), tipo);
}

void CDlgBase::CerrarSinPreguntar()
{
    m_bCancelado = true;
    GetSheet()->EndDialog(IDCANCEL);
}

BOOL CDlgBase::OnQueryCancel()
{
    switch (m_cancelar)
    {
    case cancelarSinPreguntar:
        return TRUE;
    case cancelarPreguntandoUnaVez:
        if (m_bCancelado)
            return TRUE;
        m_bCancelado =
            Mensaje(IDS_CANCELAR_PREGUNTA, IDS_CANCELAR_TITULO, MB_YESNO | MB_ICONQUESTION) == IDYES;
        return m_bCancelado;
    case cancelarYParar:
        if (Mensaje(IDS_CANCELAR_PREGUNTA, IDS_CANCELAR_TITULO, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return FALSE;
        return PararComponente() ? FALSE : TRUE;
    case cancelarPreguntando:
        return Mensaje(IDS_CANCELAR_PREGUNTA, IDS_CANCELAR_TITULO, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    return TRUE;
}

void CDlgBase::LlenarAdaptadores(UINT idCombo, const std::string &recordado)
{
    if (m_bAdaptadores && recordado == m_adaptadorMostrado)
        return;
    m_bAdaptadores = true;
    m_adaptadorMostrado = recordado;
    ComboReset(idCombo);
    int elegido = -1, kit = -1;
    const std::vector<std::string> &adaptadores = Hoja().AdaptadoresUsables();
    for (const std::string &nombre : adaptadores)
    {
        const int i = ComboAddString(idCombo, nombre);
        if (elegido < 0 && !recordado.empty() && lstrcmpiA(nombre.c_str(), recordado.c_str()) == 0)
            elegido = i;
        if (kit < 0 && nombre.find("RTL8139") != std::string::npos)
            kit = i;
    }
    ComboSetCurSel(idCombo, elegido >= 0 ? elegido : kit >= 0 ? kit : 0);
}

std::string CDlgBase::AdaptadorElegido(UINT idCombo) const
{
    const int i = ComboGetCurSel(idCombo);
    return i >= 0 ? ComboGetLBText(idCombo, i) : std::string();
}

LRESULT CDlgBase::Rechazar(UINT idTexto, UINT idTitulo)
{
    Mensaje(idTexto, idTitulo, MB_OK | MB_ICONERROR);
    return -1;
}

CDlgBase::Direccion CDlgBase::LeerDireccion(UINT idControl) const
{
    Direccion d;
    d.partes = IpGetAddress(idControl, d.texto);
    return d;
}

void CDlgBase::Transcribir(const std::string &texto)
{
    size_t inicio = 0;
    for (bool primera = true; inicio < texto.size(); primera = false)
    {
        size_t fin = texto.find('\n', inicio);
        if (fin == std::string::npos)
            fin = texto.size();
        qelmfc::Transcribir((primera ? "-- " : "   ") + texto.substr(inicio, fin - inicio));
        inicio = fin + 1;
    }
}
