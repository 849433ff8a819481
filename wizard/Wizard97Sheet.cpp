// The wizard's window: its pages, caption and icon, the single-instance record and the modem
// component's events.
#include "wizard/Wizard97Sheet.h"
#include "wizard/DatosAsistente.h"
#include "wizard/DlgAccesoPuerto.h"
#include "wizard/DlgBienvenida.h"
#include "wizard/DlgCable.h"
#include "wizard/DlgChangeFirm.h"
#include "wizard/DlgConectividad.h"
#include "wizard/DlgConfigurando.h"
#include "wizard/DlgConsola.h"
#include "wizard/DlgDatos.h"
#include "wizard/DlgDatos2.h"
#include "wizard/DlgDatosFirm.h"
#include "wizard/DlgDeteccion.h"
#include "wizard/DlgEleccion.h"
#include "wizard/DlgEstadoPC.h"
#include "wizard/DlgFinError.h"
#include "wizard/DlgFinOK.h"
#include "wizard/DlgIpGestion.h"
#include "wizard/DlgManual.h"
#include "wizard/DlgMultipuesto.h"
#include "wizard/DlgPassword.h"
#include "wizard/DlgPuertos.h"
#include "wizard/DlgResumenDatos.h"
#include "wizard/Globales.h"
#include "wizard/resource.h"

#include "comun/FileMap.h"
#include "outside/qelmfc/PropPage.h"

namespace
{
// The modem component's control id on the sheet.
constexpr UINT kIdModem = 2004;
} // namespace

struct CWizard97Sheet::Mapa
{
    CFileMap mapa;
};

CWizard97Sheet::CWizard97Sheet(CApli *pApli, CMod *pMod, CWnd *pParent, UINT iSelectPage)
    : CNuvPropSheet(pApli, pMod, pParent, iSelectPage), m_mapa(std::make_unique<Mapa>())
{
    m_paginas[pagBienvenida] = std::make_unique<CDlgBienvenida>();
    m_paginas[pagOperacion] = std::make_unique<CDlgOperacion>();
    m_paginas[pagModoConf] = std::make_unique<CDlgModoConf>();
    m_paginas[pagModoDirec] = std::make_unique<CDlgModoDirec>();
    m_paginas[pagDeteccion] = std::make_unique<CDlgDeteccion>();
    m_paginas[pagEstadoPC] = std::make_unique<CDlgEstadoPC>();
    m_paginas[pagDatos] = std::make_unique<CDlgDatos>();
    m_paginas[pagIpGestion] = std::make_unique<CDlgIpGestion>();
    m_paginas[pagDatos2] = std::make_unique<CDlgDatos2>();
    m_paginas[pagDatosFirm] = std::make_unique<CDlgDatosFirm>();
    m_paginas[pagMultipuesto] = std::make_unique<CDlgMultipuesto>();
    m_paginas[pagResumenDatos] = std::make_unique<CDlgResumenDatos>();
    m_paginas[pagConectividad] = std::make_unique<CDlgConectividad>();
    m_paginas[pagCable] = std::make_unique<CDlgCable>();
    m_paginas[pagConsola] = std::make_unique<CDlgConsola>();
    m_paginas[pagAccesoPuerto] = std::make_unique<CDlgAccesoPuerto>();
    m_paginas[pagManual] = std::make_unique<CDlgManual>();
    m_paginas[pagChangeFirm] = std::make_unique<CDlgChangeFirm>();
    m_paginas[pagPuertos] = std::make_unique<CDlgPuertos>();
    m_paginas[pagConfigurando] = std::make_unique<CDlgConfigurando>();
    m_paginas[pagFinError] = std::make_unique<CDlgFinError>();
    m_paginas[pagFinOK] = std::make_unique<CDlgFinOK>();
    m_paginas[pagPassword] = std::make_unique<CDlgPassword>();
    for (std::unique_ptr<CDlgBase> &pagina : m_paginas)
        AddPage(pagina.get());
    AddPageEmpty();
}

CWizard97Sheet::~CWizard97Sheet() = default;

BOOL CWizard97Sheet::PreCreateWindow()
{
    return CNuvPropSheet::PreCreateWindow();
}

int CWizard97Sheet::OnCreate()
{
    const int resultado = CNuvPropSheet::OnCreate();
    // A missing component shows on the pages that use it (their calls fail); the window opens.
    m_modem.Create(this, kIdModem);
    return resultado;
}

CGetZyxelConfig &CWizard97Sheet::Consola()
{
    return static_cast<CDlgAccesoPuerto &>(*m_paginas[pagAccesoPuerto]).Consola();
}

const std::vector<std::string> &CWizard97Sheet::AdaptadoresUsables() const
{
    return static_cast<const CDlgDeteccion &>(*m_paginas[pagDeteccion]).AdaptadoresUsables();
}

BOOL CWizard97Sheet::OnInitDialog()
{
    CNuvPropSheet::OnInitDialog();
    std::string titulo;
    if (!asistente::LeerConfig("General", "Titulo", titulo))
        titulo = asistente::Cadena(IDS_TITULO_PRODUCTO);
    SetTitle(titulo);

    const std::string icono = asistente::Directorio() + "\\res\\Icono.ico";
    if (HICON h = static_cast<HICON>(LoadImageA(nullptr, icono.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE)))
        SetIcon(h);

    // The record a second start finds: the window handle, in a block named by "Nemonico".
    std::string nemonico;
    asistente::LeerConfig("General", "Nemonico", nemonico);
    if (SUCCEEDED(m_mapa->mapa.CreateTemp(sizeof(DWORD), nemonico.c_str())))
        *static_cast<DWORD *>(m_mapa->mapa.VerPFileMap()) =
            static_cast<DWORD>(reinterpret_cast<UINT_PTR>(m_hWnd));

    m_uAutoPlay = RegisterWindowMessageA("QueryCancelAutoPlay");
    return TRUE;
}

BOOL CWizard97Sheet::OnHelpInfo()
{
    // The wizard has no help: F1 does nothing.
    return TRUE;
}

LRESULT CWizard97Sheet::OnQueryCancelAutoPlay()
{
    // AutoPlay goes ahead while the wizard is open.
    return 0;
}

void CWizard97Sheet::CalcWindowRect(RECT &rect)
{
    CNuvPropSheet::CalcWindowRect(rect);
}

void CWizard97Sheet::OnEventoControl(UINT nIdControl, const CEventoControl &evento)
{
    const DWORD destino = asistente::Datos().PaginaEventos;
    if (destino != pagResumenDatos && destino != pagConectividad && destino != pagChangeFirm &&
        destino != pagConfigurando)
        return;
    if (CNuvPropPage *pagina = GetPage(static_cast<int>(destino)))
        pagina->OnEventoControl(nIdControl, evento);
}
