// Page 14: the serial port choice. A port is listed only when it can be opened, so the user
// picks among the ones a console cable could be on.
#include "wizard/DlgConsola.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

namespace
{
constexpr int kPuertos = 25; // COM1 to COM25

// The port opens for reading, not shared, and closes again.
bool SePuedeAbrir(int numero)
{
    const std::string dispositivo = "\\\\.\\COM" + std::to_string(numero);
    HANDLE h = CreateFileA(dispositivo.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}
} // namespace

CDlgConsola::CDlgConsola()
    : CDlgBase(IDD_CONSOLA, IDS_CONSOLA_TITULO, cancelarSinPreguntar,
               {{IDC_CONSOLA_TEXTO, IDS_CONSOLA_TEXTO},
                {IDC_CONSOLA_ETIQ_PUERTO, IDS_CONSOLA_PUERTO},
                {IDC_CONSOLA_AVISO, IDS_CONSOLA_AVISO}})
{
}

BOOL CDlgConsola::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetButtonText(ID_WIZBACK, asistente::Cadena(IDS_BOTON_IGNORAR));
    ComboReset(IDC_CONSOLA_PUERTO);
    for (int i = 1; i <= kPuertos; ++i)
        if (SePuedeAbrir(i))
            ComboAddString(IDC_CONSOLA_PUERTO, "COM" + std::to_string(i));
    ComboSetCurSel(IDC_CONSOLA_PUERTO, 0);
    GetSheet()->SetWizardButtons(PSWIZB_BACK | (ComboGetCount(IDC_CONSOLA_PUERTO) > 0 ? PSWIZB_NEXT : 0));
    return TRUE;
}

LRESULT CDlgConsola::OnWizardNext()
{
    const int elegido = ComboGetCurSel(IDC_CONSOLA_PUERTO);
    if (elegido < 0)
        return -1;
    asistente::Datos().PuertoSerie = ComboGetLBText(IDC_CONSOLA_PUERTO, elegido);
    return IrA(pagAccesoPuerto);
}

LRESULT CDlgConsola::OnWizardBack()
{
    CDatosAsistente &datos = asistente::Datos();
    datos.IpRouterConsola.clear();
    datos.MaskRouterConsola.clear();
    return IrA(pagManual);
}
