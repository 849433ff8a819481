// The three choice pages: operation, configuration mode and addressing mode.
#include "wizard/DlgEleccion.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

CDlgEleccion::CDlgEleccion(UINT nIDTemplate, UINT nIdTitulo, std::vector<Texto> textos, UINT idCero,
                           UINT idUno, DWORD &campo, int inicial)
    : CDlgBase(nIDTemplate, nIdTitulo, cancelarPreguntando, std::move(textos)), m_idCero(idCero),
      m_idUno(idUno), m_campo(campo), m_inicial(inicial)
{
}

bool CDlgEleccion::MostrarGuardado() const
{
    return Hoja().Reanudado();
}

BOOL CDlgEleccion::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    const int eleccion = MostrarGuardado() ? static_cast<int>(m_campo) : m_inicial;
    CheckDlgButton(m_idCero, eleccion == 0);
    CheckDlgButton(m_idUno, eleccion == 1);
    return TRUE;
}

int CDlgEleccion::Elegida() const
{
    if (IsDlgButtonChecked(m_idCero))
        return 0;
    if (IsDlgButtonChecked(m_idUno))
        return 1;
    return -1;
}

void CDlgEleccion::PonerBotones()
{
    GetSheet()->SetWizardButtons(PSWIZB_BACK | (Elegida() >= 0 ? PSWIZB_NEXT : 0));
}

BOOL CDlgEleccion::OnSetActive()
{
    CDlgBase::OnSetActive();
    PonerBotones();
    return TRUE;
}

void CDlgEleccion::OnControl(UINT nId, UINT nCodigo)
{
    if ((nId == m_idCero || nId == m_idUno) && nCodigo == kNotifClic)
        PonerBotones();
}

LRESULT CDlgEleccion::OnWizardNext()
{
    const int eleccion = Elegida();
    if (eleccion < 0)
        return -1;
    m_campo = static_cast<DWORD>(eleccion);
    return Siguiente(m_campo);
}

CDlgOperacion::CDlgOperacion()
    : CDlgEleccion(IDD_OPERACION, IDS_OPERACION_TITULO,
                   {{IDC_OPERACION_TEXTO, IDS_OPERACION_TEXTO},
                    {IDC_OPERACION_CONFIGURAR, IDS_OPERACION_CONFIGURAR},
                    {IDC_OPERACION_FIRMWARE, IDS_OPERACION_FIRMWARE}},
                   IDC_OPERACION_CONFIGURAR, IDC_OPERACION_FIRMWARE, asistente::Datos().Operacion, -1)
{
}

LRESULT CDlgOperacion::Siguiente(DWORD eleccion)
{
    return IrA(eleccion == 1 ? pagDeteccion : pagModoConf);
}

CDlgModoConf::CDlgModoConf()
    : CDlgEleccion(IDD_MODOCONF, IDS_MODOCONF_TITULO,
                   {{IDC_MODOCONF_TEXTO, IDS_MODOCONF_TEXTO},
                    {IDC_MODOCONF_MONOPUESTO, IDS_MODOCONF_MONOPUESTO},
                    {IDC_MODOCONF_MULTIPUESTO, IDS_MODOCONF_MULTIPUESTO}},
                   IDC_MODOCONF_MONOPUESTO, IDC_MODOCONF_MULTIPUESTO, asistente::Datos().ModoConf, 0)
{
}

LRESULT CDlgModoConf::Siguiente(DWORD)
{
    return IrA(pagModoDirec);
}

CDlgModoDirec::CDlgModoDirec()
    : CDlgEleccion(IDD_MODODIREC, IDS_MODODIREC_TITULO,
                   {{IDC_MODODIREC_TEXTO, IDS_MODODIREC_TEXTO},
                    {IDC_MODODIREC_ESTATICO, IDS_MODODIREC_ESTATICO},
                    {IDC_MODODIREC_DINAMICO, IDS_MODODIREC_DINAMICO}},
                   IDC_MODODIREC_ESTATICO, IDC_MODODIREC_DINAMICO, asistente::Datos().ModoDirec, -1)
{
}

bool CDlgModoDirec::MostrarGuardado() const
{
    // Only a resumed configuration brings its addressing mode back.
    return Hoja().Reanudado() && asistente::Datos().Operacion == 0;
}

LRESULT CDlgModoDirec::Siguiente(DWORD)
{
    return IrA(pagDeteccion);
}
