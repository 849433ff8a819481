// CNuvPropSheet: the wizard window, its pages and buttons, run modally on the calling thread.
#include "outside/qelmfc/PropSheet.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/HojaImpl.h"
#include "outside/qelmfc/Imagen.h"
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/PaginaImpl.h"
#include "outside/qelmfc/PropPage.h"

#include "comun/Mod.h"
#include "platform/kit/kitwindow.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

using qelmfc::Ansi;
using qelmfc::Texto;

namespace qelmfc
{
void VentanaHoja::reject()
{
    if (alCancelar)
        alCancelar();
}

void VentanaHoja::closeEvent(QCloseEvent *evento)
{
    evento->ignore();
    if (alCancelar)
        alCancelar();
}
} // namespace qelmfc

namespace
{
// How often the sheet looks at its window record for what other programs did to it (a second
// wizard bringing it to the front).
constexpr int kVigiaMs = 100;
} // namespace

void CNuvPropSheet::Impl::OnShow(HWND h, int nCmdShow)
{
    Visto(h);
    if (!ventana)
        return;
    if (nCmdShow == SW_MINIMIZE || nCmdShow == SW_SHOWMINIMIZED || nCmdShow == SW_SHOWMINNOACTIVE)
        ventana->showMinimized();
    else if (nCmdShow == SW_HIDE)
        ventana->hide();
    else if (ventana->isMinimized() || !ventana->isVisible())
        ventana->showNormal();
}

QPushButton *CNuvPropSheet::Impl::Boton(UINT id) const
{
    switch (id)
    {
    case ID_WIZBACK:
        return atras;
    case ID_WIZNEXT:
        return siguiente;
    case ID_WIZFINISH:
        return finalizar;
    case IDCANCEL:
        return cancelar;
    default:
        return nullptr;
    }
}

std::string CNuvPropSheet::Impl::DescribirBotones() const
{
    std::string linea = "   botones:";
    bool primero = true;
    for (QPushButton *b : {atras, siguiente, finalizar, cancelar})
    {
        if (b->isHidden())
            continue;
        linea += std::string(primero ? " " : " | ") + Ansi(b->text()) + (b->isEnabled() ? "" : " (inactivo)");
        primero = false;
    }
    return linea;
}

CNuvPropSheet::CNuvPropSheet(CApli *pApli, CMod *pMod, CWnd *pParent, UINT iSelectPage)
    : m_p(new Impl), m_pApli(pApli), m_pMod(pMod), m_iSelectPage(iSelectPage)
{
    (void)pParent; // the wizard is a top-level window; a parent only owns it on Windows
}

CNuvPropSheet::~CNuvPropSheet()
{
    DestruirVentana();
    // The pages' widgets go with the window; a page that outlives it knows (QPointer).
    delete m_p->ventana;
    if (m_p->hIcono)
        DestroyIcon(m_p->hIcono);
    delete m_p;
}

void CNuvPropSheet::AddPage(CNuvPropPage *pPage)
{
    if (pPage)
        m_pages.push_back(pPage);
}

void CNuvPropSheet::AddPageEmpty()
{
    m_pages.push_back(nullptr);
}

int CNuvPropSheet::GetPageCount() const
{
    return static_cast<int>(m_pages.size());
}

CNuvPropPage *CNuvPropSheet::GetPage(int nPage) const
{
    return nPage >= 0 && nPage < GetPageCount() ? m_pages[static_cast<std::size_t>(nPage)] : nullptr;
}

int CNuvPropSheet::GetActiveIndex() const
{
    return m_nActiva;
}

CNuvPropPage *CNuvPropSheet::GetActivePage() const
{
    return GetPage(m_nActiva);
}

namespace
{
void TranscribirPagina(int indice, CNuvPropPage *page, const std::vector<std::string> &lineas)
{
    qelmfc::AnotarPagina(indice, page->GetIDD(), page->GetTitulo());
    qelmfc::Transcribir("== Página " + std::to_string(indice) + " (" + std::to_string(page->GetIDD()) +
                        ") «" + page->GetTitulo() + "»");
    for (const std::string &linea : lineas)
        qelmfc::Transcribir(linea);
}
} // namespace

BOOL CNuvPropSheet::SetActivePage(int nPage)
{
    if (nPage < 0 || nPage >= GetPageCount() || !m_p->ventana)
        return FALSE;
    CNuvPropPage *nueva = GetPage(nPage);
    HMODULE recursos = m_pMod ? m_pMod->VerHMODULE() : nullptr;
    if (nueva && !nueva->m_bCreada)
    {
        if (!nueva->Crear(this, recursos))
            return FALSE;
        m_p->pila->addWidget(static_cast<QWidget *>(nueva->Widget()));
    }
    if (CNuvPropPage *vieja = GetActivePage())
    {
        if (!vieja->OnKillActive())
            return FALSE;
        vieja->m_p->activa = false;
    }
    m_nActiva = nPage;
    if (!nueva)
    {
        m_p->pila->setCurrentWidget(m_p->vacia);
        return TRUE;
    }
    m_p->pila->setCurrentWidget(static_cast<QWidget *>(nueva->Widget()));
    nueva->OnSetActive();
    // The page as it stands once it is shown; what changes later is reported as it changes.
    if (GetActivePage() == nueva)
    {
        TranscribirPagina(nPage, nueva, nueva->m_p->Describir());
        m_p->lineaBotones = m_p->DescribirBotones();
        qelmfc::Transcribir(m_p->lineaBotones);
        nueva->m_p->activa = true;
    }
    return TRUE;
}

void CNuvPropSheet::VigilarRegistro()
{
    kitwin::WindowState ahora;
    if (!kitwin::ReadWindowState(m_hWnd, ahora) || ahora.changes == m_p->cambiosVistos)
        return;
    m_p->cambiosVistos = ahora.changes;
    if (ahora.iconic)
    {
        m_p->ventana->showMinimized();
        return;
    }
    if (ahora.visible && m_p->ventana->isMinimized())
        m_p->ventana->showNormal();
    if (GetForegroundWindow() == m_hWnd)
    {
        m_p->ventana->raise();
        m_p->ventana->activateWindow();
        qelmfc::Transcribir("-- La ventana pasa al frente.");
    }
}

void CNuvPropSheet::ActualizarBotones()
{
    if (!m_p->ventana || m_nActiva < 0)
        return;
    CNuvPropPage *page = GetActivePage();
    if (!page || !page->m_p->activa)
        return;
    const std::string linea = m_p->DescribirBotones();
    if (linea != m_p->lineaBotones)
    {
        m_p->lineaBotones = linea;
        qelmfc::Transcribir(linea);
    }
}

void CNuvPropSheet::SetWizardButtons(DWORD dwFlags)
{
    if (!m_p->ventana)
        return;
    const bool fin = (dwFlags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
    m_p->atras->setEnabled((dwFlags & PSWIZB_BACK) != 0);
    m_p->siguiente->setVisible(!fin);
    m_p->siguiente->setEnabled((dwFlags & PSWIZB_NEXT) != 0);
    m_p->finalizar->setVisible(fin);
    m_p->finalizar->setEnabled((dwFlags & PSWIZB_FINISH) != 0);
    ActualizarBotones();
}

void CNuvPropSheet::SetButtonText(UINT nIdBoton, const std::string &texto)
{
    if (QPushButton *b = m_p->ventana ? m_p->Boton(nIdBoton) : nullptr)
    {
        b->setText(Texto(texto));
        ActualizarBotones();
    }
}

std::string CNuvPropSheet::GetButtonText(UINT nIdBoton) const
{
    QPushButton *b = m_p->ventana ? m_p->Boton(nIdBoton) : nullptr;
    return b ? Ansi(b->text()) : std::string();
}

void CNuvPropSheet::EnableButton(UINT nIdBoton, BOOL bEnable)
{
    if (QPushButton *b = m_p->ventana ? m_p->Boton(nIdBoton) : nullptr)
    {
        b->setEnabled(bEnable != FALSE);
        ActualizarBotones();
    }
}

BOOL CNuvPropSheet::IsButtonEnabled(UINT nIdBoton) const
{
    QPushButton *b = m_p->ventana ? m_p->Boton(nIdBoton) : nullptr;
    return b && b->isEnabled() && !b->isHidden();
}

BOOL CNuvPropSheet::IsButtonVisible(UINT nIdBoton) const
{
    QPushButton *b = m_p->ventana ? m_p->Boton(nIdBoton) : nullptr;
    return b && !b->isHidden();
}

void CNuvPropSheet::PressButton(int nBoton)
{
    // As PSM_PRESSBUTTON, the press happens at the next turn of the loop, whether the user
    // could press the button or not.
    PostCall([this, nBoton] { Pulsar(nBoton, true); });
}

void CNuvPropSheet::Pulsar(int nBoton, bool bPrograma)
{
    auto puede = [this, bPrograma](UINT id) { return bPrograma || IsButtonEnabled(id); };
    CNuvPropPage *page = GetActivePage();
    switch (nBoton)
    {
    case PSBTN_BACK:
        if (!puede(ID_WIZBACK))
            return;
        if ((page ? page->OnWizardBack() : 0) == 0)
            SetActivePage(m_nActiva - 1);
        break;
    case PSBTN_NEXT:
        if (!puede(ID_WIZNEXT))
            return;
        if ((page ? page->OnWizardNext() : 0) == 0)
            SetActivePage(m_nActiva + 1);
        break;
    case PSBTN_FINISH:
        if (!puede(ID_WIZFINISH))
            return;
        if (!page || page->OnWizardFinish())
            EndDialog(ID_WIZFINISH);
        break;
    case PSBTN_CANCEL:
        if (!puede(IDCANCEL))
            return;
        if (!page || page->OnQueryCancel())
            EndDialog(IDCANCEL);
        break;
    default:
        break;
    }
}

void CNuvPropSheet::EndDialog(INT_PTR nResult)
{
    m_nResultado = nResult;
    m_bTerminar = true;
    if (m_p->bucle)
        m_p->bucle->quit();
}

void CNuvPropSheet::SetTitle(const std::string &texto)
{
    m_p->titulo = texto;
    if (m_p->ventana)
        m_p->ventana->setWindowTitle(Texto(texto));
    if (m_hWnd)
        SetWindowTextA(m_hWnd, texto.c_str());
}

std::string CNuvPropSheet::GetTitle() const
{
    return m_p->titulo;
}

void CNuvPropSheet::SetIcon(HICON hIcono)
{
    if (m_p->hIcono && m_p->hIcono != hIcono)
        DestroyIcon(m_p->hIcono);
    m_p->hIcono = hIcono;
    const QImage imagen = qelmfc::ImagenDeIcono(hIcono);
    if (m_p->ventana && !imagen.isNull())
        m_p->ventana->setWindowIcon(QIcon(QPixmap::fromImage(imagen)));
}

BOOL CNuvPropSheet::PreCreateWindow()
{
    return TRUE;
}

int CNuvPropSheet::OnCreate()
{
    return 0;
}

BOOL CNuvPropSheet::OnInitDialog()
{
    return TRUE;
}

BOOL CNuvPropSheet::OnHelpInfo()
{
    return TRUE;
}

LRESULT CNuvPropSheet::OnQueryCancelAutoPlay()
{
    return 0;
}

void CNuvPropSheet::CalcWindowRect(RECT &) {}

void *CNuvPropSheet::Widget() const
{
    return m_p->ventana;
}

BOOL CNuvPropSheet::Capturar(const std::string &fichero)
{
    if (!m_p->ventana)
        return FALSE;
    return m_p->ventana->grab().save(Texto(fichero), "PNG") ? TRUE : FALSE;
}

namespace
{
QPushButton *NuevoBoton(const char *texto, QWidget *padre)
{
    auto *b = new QPushButton(Texto(texto), padre);
    b->setAutoDefault(false);
    b->setMinimumWidth(80);
    return b;
}
} // namespace

INT_PTR CNuvPropSheet::DoModal()
{
    qelmfc::AsegurarAplicacion();
    m_nResultado = IDCANCEL;
    m_bTerminar = false;
    if (!PreCreateWindow() || !CrearVentana(m_p->titulo, nullptr, nullptr, m_p))
        return IDCANCEL;

    m_p->ventana = new qelmfc::VentanaHoja;
    m_p->ventana->alCancelar = [this] { Pulsar(PSBTN_CANCEL); };
    m_p->ventana->setWindowTitle(Texto(m_p->titulo));
    m_p->ventana->setFont(qelmfc::FuenteDialogo());
    auto *columna = new QVBoxLayout(m_p->ventana);
    columna->setContentsMargins(10, 10, 10, 10);
    m_p->pila = new QStackedWidget(m_p->ventana);
    m_p->vacia = new QWidget(m_p->pila);
    m_p->pila->addWidget(m_p->vacia);
    columna->addWidget(m_p->pila, 1);
    auto *linea = new QFrame(m_p->ventana);
    linea->setFrameShape(QFrame::HLine);
    linea->setFrameShadow(QFrame::Sunken);
    columna->addWidget(linea);
    auto *botones = new QHBoxLayout;
    botones->addStretch(1);
    m_p->atras = NuevoBoton("<Atrás", m_p->ventana);
    m_p->siguiente = NuevoBoton("Siguiente>", m_p->ventana);
    m_p->finalizar = NuevoBoton("Finalizar", m_p->ventana);
    m_p->cancelar = NuevoBoton("Cancelar", m_p->ventana);
    m_p->finalizar->hide();
    for (QPushButton *b : {m_p->atras, m_p->siguiente, m_p->finalizar})
        botones->addWidget(b);
    botones->addSpacing(10);
    botones->addWidget(m_p->cancelar);
    columna->addLayout(botones);
    QObject::connect(m_p->atras, &QPushButton::clicked, m_p->ventana, [this] { Pulsar(PSBTN_BACK); });
    QObject::connect(m_p->siguiente, &QPushButton::clicked, m_p->ventana, [this] { Pulsar(PSBTN_NEXT); });
    QObject::connect(m_p->finalizar, &QPushButton::clicked, m_p->ventana, [this] { Pulsar(PSBTN_FINISH); });
    QObject::connect(m_p->cancelar, &QPushButton::clicked, m_p->ventana, [this] { Pulsar(PSBTN_CANCEL); });

    OnCreate();
    OnInitDialog();
    if (!m_bTerminar && !SetActivePage(static_cast<int>(m_iSelectPage)))
        EndDialog(IDCANCEL);
    m_p->ventana->adjustSize();
    m_p->ventana->show();
    kitwin::ReportActivated(m_hWnd);
    SetForegroundWindow(m_hWnd);

    // Another program may bring the window forward (a second start of the wizard).
    m_p->vigia = new QTimer(m_p->ventana);
    kitwin::WindowState estado;
    if (kitwin::ReadWindowState(m_hWnd, estado))
        m_p->cambiosVistos = estado.changes;
    QObject::connect(m_p->vigia, &QTimer::timeout, m_p->ventana, [this] { VigilarRegistro(); });
    m_p->vigia->start(kVigiaMs);

    std::shared_ptr<CGuion> guion = qelmfc::GuionEnUso();
    if (guion)
        guion->Empezar(*this);
    if (!m_bTerminar)
    {
        QEventLoop bucle;
        m_p->bucle = &bucle;
        bucle.exec();
        m_p->bucle = nullptr;
    }
    if (guion)
        guion->Terminar(*this);
    const CNuvPropPage *ultima = GetActivePage();
    qelmfc::RegistrarFinHoja({true, m_nResultado, m_nActiva, ultima ? ultima->GetIDD() : 0});
    m_p->vigia->stop();
    m_p->ventana->hide();
    DestruirVentana();
    return m_nResultado;
}
