// CNuvPropPage: a page built from its dialog template; its controls reached by id.
#include "outside/qelmfc/PropPage.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Imagen.h"
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/PaginaImpl.h"
#include "outside/qelmfc/PropSheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

using qelmfc::Ansi;
using qelmfc::Texto;
using qelmfc::Tipo;

namespace qelmfc
{
namespace
{
constexpr int kAnchoTitulo = 9; // average character width of the title font, pixels
} // namespace

Titulo::Titulo(QWidget *padre) : QWidget(padre)
{
    // Arial of height 20, width 9 and weight 800, as the pages' title font is asked for.
    QFont fuente;
    fuente.setFamilies(
        {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    fuente.setPixelSize(20);
    fuente.setWeight(QFont::ExtraBold);
    // A width of 9 is the characters' average: the face is narrowed to it, as GDI does.
    const int media = QFontMetrics(fuente).averageCharWidth();
    if (media > 0)
        fuente.setStretch(std::clamp(100 * kAnchoTitulo / media, 50, 200));
    setFont(fuente);
    setFixedHeight(36);
    setAttribute(Qt::WA_TranslucentBackground);
}

void Titulo::Poner(const QString &texto)
{
    texto_ = texto;
    update();
}

void Titulo::paintEvent(QPaintEvent *)
{
    QPainter pintor(this);
    const QString visible = fontMetrics().elidedText(texto_, Qt::ElideRight, width() - 8);
    pintor.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, visible);
}
} // namespace qelmfc

const qelmfc::Control *CNuvPropPage::Impl::Buscar(UINT id) const
{
    for (const qelmfc::Control &c : controles)
        if (c.id == id)
            return &c;
    return nullptr;
}

namespace
{
// "[1101]" after the choices and fields, so a script's author sees which id to name.
std::string Id(UINT id)
{
    return " [" + std::to_string(id) + "]";
}

std::string Estado(const QWidget *w)
{
    return w->isEnabled() ? "" : " (inactivo)";
}

std::string Describir(const qelmfc::Control &c)
{
    QWidget *w = c.widget;
    switch (c.tipo)
    {
    case Tipo::Texto: {
        const std::string texto = Ansi(static_cast<QLabel *>(w)->text());
        return texto.empty() ? std::string() : "   " + texto;
    }
    case Tipo::Radio:
    case Tipo::Casilla: {
        auto *b = static_cast<QAbstractButton *>(w);
        const bool radio = c.tipo == Tipo::Radio;
        const char *marca = b->isChecked() ? (radio ? "(•) " : "[x] ") : (radio ? "( ) " : "[ ] ");
        return "   " + std::string(marca) + Ansi(b->text()) + Id(c.id) + Estado(w);
    }
    case Tipo::Boton:
        return "   botón «" + Ansi(static_cast<QAbstractButton *>(w)->text()) + "»" + Id(c.id) + Estado(w);
    case Tipo::Edicion: {
        auto *e = static_cast<QLineEdit *>(w);
        const std::string valor =
            e->echoMode() == QLineEdit::Password ? std::string(e->text().size(), '*') : Ansi(e->text());
        return "   campo" + Id(c.id) + ": «" + valor + "»" + Estado(w);
    }
    case Tipo::DireccionIp: {
        std::string direccion;
        const int partes = static_cast<qelmfc::CampoIp *>(w)->Leer(direccion);
        return "   dirección" + Id(c.id) + ": " + (partes ? direccion : std::string("(vacía)")) + Estado(w);
    }
    case Tipo::Combo: {
        auto *combo = static_cast<QComboBox *>(w);
        return "   lista" + Id(c.id) + ": «" + Ansi(combo->currentText()) + "» de " +
               std::to_string(combo->count()) + Estado(w);
    }
    case Tipo::Lista: {
        auto *lista = static_cast<QTreeWidget *>(w);
        std::string s =
            "   tabla" + Id(c.id) + ": " + std::to_string(lista->topLevelItemCount()) + " filas" + Estado(w);
        for (int i = 0; i < lista->topLevelItemCount(); ++i)
        {
            s += "\n      ";
            for (int col = 0; col < lista->columnCount(); ++col)
                s += (col ? " | " : "") + Ansi(lista->topLevelItem(i)->text(col));
        }
        return s;
    }
    case Tipo::Grupo:
    case Tipo::Icono:
    case Tipo::Marco:
    case Tipo::Desconocido:
        return {};
    }
    return {};
}
} // namespace

std::vector<std::string> CNuvPropPage::Impl::Describir() const
{
    std::vector<std::string> lineas;
    for (const qelmfc::Control &c : controles)
    {
        if (!c.widget->isVisibleTo(pagina))
            continue;
        const std::string linea = ::Describir(c);
        if (!linea.empty())
            lineas.push_back(linea);
    }
    return lineas;
}

CNuvPropPage::CNuvPropPage(UINT nIDTemplate) : m_p(new Impl), m_nIDTemplate(nIDTemplate) {}

CNuvPropPage::~CNuvPropPage()
{
    DestruirVentana();
    delete m_p->pagina.data(); // a page that goes first takes its widget out of the sheet
    if (m_p->hFoto)
        DeleteObject(m_p->hFoto);
    delete m_p;
}

BOOL CNuvPropPage::Crear(CNuvPropSheet *pSheet, HMODULE hRecursos)
{
    if (m_bCreada)
        return TRUE;
    m_pSheet = pSheet;
    if (!PreCreateWindow())
        return FALSE;
    HRSRC recurso = FindResourceA(hRecursos, MAKEINTRESOURCEA(m_nIDTemplate), RT_DIALOG);
    const auto *datos =
        recurso ? static_cast<const BYTE *>(LockResource(LoadResource(hRecursos, recurso))) : nullptr;
    const std::optional<kitrc::Dialog> plantilla =
        datos ? kitrc::ReadDialog(datos, SizeofResource(hRecursos, recurso)) : std::nullopt;
    if (!plantilla)
    {
        qelmfc::Transcribir("!! no hay plantilla de diálogo " + std::to_string(m_nIDTemplate));
        return FALSE;
    }
    if (!CrearVentana(Ansi(QString::fromUtf16(plantilla->caption.data(), plantilla->caption.size())), pSheet))
        return FALSE;

    m_p->pagina = new QWidget;
    m_p->pagina->setFont(qelmfc::FuenteDialogo());
    auto *fila = new QHBoxLayout(m_p->pagina);
    fila->setContentsMargins(0, 0, 0, 0);
    fila->setSpacing(10);
    m_p->foto = new QLabel(m_p->pagina);
    m_p->foto->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    fila->addWidget(m_p->foto, 0, Qt::AlignTop);
    auto *columna = new QVBoxLayout;
    columna->setSpacing(4);
    m_p->titulo = new qelmfc::Titulo(m_p->pagina);
    columna->addWidget(m_p->titulo);
    m_p->contenido = new QWidget(m_p->pagina);
    m_p->contenido->setFixedSize(qelmfc::PixelesX(plantilla->cx), qelmfc::PixelesY(plantilla->cy));
    columna->addWidget(m_p->contenido);
    columna->addStretch(1);
    fila->addLayout(columna, 1);

    QButtonGroup *grupo = nullptr;
    auto notificar = [this](UINT id, UINT codigo) { OnControl(id, codigo); };
    for (const kitrc::DialogItem &item : plantilla->items)
        m_p->controles.push_back(qelmfc::CrearControl(item, m_p->contenido, grupo, notificar));
    m_bCreada = TRUE;
    PonerTextos();
    OnInitDialog();
    return TRUE;
}

void *CNuvPropPage::Widget() const
{
    return m_p->pagina;
}

void *CNuvPropPage::Contenido() const
{
    return m_p->contenido;
}

BOOL CNuvPropPage::GetDlgItemRect(UINT nId, RECT &rect) const
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c)
        return FALSE;
    const QRect r = c->widget->geometry();
    rect = {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    return TRUE;
}

BOOL CNuvPropPage::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

BOOL CNuvPropPage::OnSetActive()
{
    return TRUE;
}

BOOL CNuvPropPage::OnKillActive()
{
    return TRUE;
}

LRESULT CNuvPropPage::OnWizardNext()
{
    return 0;
}

LRESULT CNuvPropPage::OnWizardBack()
{
    return 0;
}

BOOL CNuvPropPage::OnWizardFinish()
{
    return TRUE;
}

BOOL CNuvPropPage::OnQueryCancel()
{
    return TRUE;
}

void CNuvPropPage::DoDataExchange() {}

HRESULT CNuvPropPage::PonerTextos()
{
    return S_OK;
}

BOOL CNuvPropPage::PreCreateWindow()
{
    return TRUE;
}

void CNuvPropPage::OnControl(UINT, UINT) {}

void CNuvPropPage::SetTitulo(const std::string &texto)
{
    if (m_p->titulo)
        m_p->titulo->Poner(Texto(texto));
}

std::string CNuvPropPage::GetTitulo() const
{
    return m_p->titulo ? Ansi(m_p->titulo->Texto()) : std::string();
}

void CNuvPropPage::SetFoto(HBITMAP hFoto)
{
    if (m_p->hFoto && m_p->hFoto != hFoto)
        DeleteObject(m_p->hFoto);
    m_p->hFoto = hFoto;
    if (!m_p->foto)
        return;
    const QImage imagen = qelmfc::ImagenDeBitmap(hFoto);
    m_p->foto->setPixmap(imagen.isNull() ? QPixmap() : QPixmap::fromImage(imagen));
    m_p->foto->setVisible(!imagen.isNull());
}

BOOL CNuvPropPage::TieneControl(UINT nId) const
{
    return m_p->Buscar(nId) != nullptr;
}

void CNuvPropPage::SetDlgItemText(UINT nId, const std::string &texto)
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c)
        return;
    const QString q = Texto(texto);
    switch (c->tipo)
    {
    case Tipo::Texto: {
        auto *label = static_cast<QLabel *>(c->widget);
        if (label->text() == q)
            return;
        label->setText(q);
        if (m_p->activa && c->widget->isVisibleTo(m_p->pagina) && !texto.empty())
            qelmfc::Transcribir("   · " + texto);
        break;
    }
    case Tipo::Edicion:
        static_cast<QLineEdit *>(c->widget)->setText(q);
        break;
    case Tipo::Combo:
        static_cast<QComboBox *>(c->widget)->setCurrentText(q);
        break;
    case Tipo::DireccionIp:
        static_cast<qelmfc::CampoIp *>(c->widget)->Poner(texto);
        break;
    case Tipo::Boton:
    case Tipo::Radio:
    case Tipo::Casilla:
        static_cast<QAbstractButton *>(c->widget)->setText(q);
        break;
    case Tipo::Grupo:
        static_cast<QGroupBox *>(c->widget)->setTitle(q);
        break;
    case Tipo::Icono:
    case Tipo::Marco:
    case Tipo::Lista:
    case Tipo::Desconocido:
        break;
    }
}

std::string CNuvPropPage::GetDlgItemText(UINT nId) const
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c)
        return {};
    switch (c->tipo)
    {
    case Tipo::Texto:
        return Ansi(static_cast<QLabel *>(c->widget)->text());
    case Tipo::Edicion:
        return Ansi(static_cast<QLineEdit *>(c->widget)->text());
    case Tipo::Combo:
        return Ansi(static_cast<QComboBox *>(c->widget)->currentText());
    case Tipo::DireccionIp: {
        std::string direccion;
        static_cast<qelmfc::CampoIp *>(c->widget)->Leer(direccion);
        return direccion;
    }
    case Tipo::Boton:
    case Tipo::Radio:
    case Tipo::Casilla:
        return Ansi(static_cast<QAbstractButton *>(c->widget)->text());
    case Tipo::Grupo:
        return Ansi(static_cast<QGroupBox *>(c->widget)->title());
    case Tipo::Icono:
    case Tipo::Marco:
    case Tipo::Lista:
    case Tipo::Desconocido:
        return {};
    }
    return {};
}

void CNuvPropPage::EnableDlgItem(UINT nId, BOOL bEnable)
{
    if (const qelmfc::Control *c = m_p->Buscar(nId))
        c->widget->setEnabled(bEnable != FALSE);
}

BOOL CNuvPropPage::IsDlgItemEnabled(UINT nId) const
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    return c && c->widget->isEnabled();
}

void CNuvPropPage::ShowDlgItem(UINT nId, BOOL bShow)
{
    if (const qelmfc::Control *c = m_p->Buscar(nId))
        c->widget->setVisible(bShow != FALSE);
}

BOOL CNuvPropPage::IsDlgItemVisible(UINT nId) const
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    return c && c->widget->isVisibleTo(m_p->pagina);
}

void CNuvPropPage::SetFocusDlgItem(UINT nId)
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c)
        return;
    if (c->tipo == Tipo::DireccionIp)
        static_cast<qelmfc::CampoIp *>(c->widget)->Parte(0)->setFocus();
    else
        c->widget->setFocus();
}

void CNuvPropPage::LimitText(UINT nId, int nMax)
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (c && c->tipo == Tipo::Edicion)
        static_cast<QLineEdit *>(c->widget)->setMaxLength(nMax > 0 ? nMax : 32767);
}

void CNuvPropPage::CheckDlgButton(UINT nId, BOOL bCheck)
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c || (c->tipo != Tipo::Radio && c->tipo != Tipo::Casilla))
        return;
    auto *boton = static_cast<QAbstractButton *>(c->widget);
    // A group's exclusivity would refuse clearing its checked button.
    QButtonGroup *grupo = boton->group();
    if (grupo && !bCheck)
        grupo->setExclusive(false);
    boton->setChecked(bCheck != FALSE);
    if (grupo && !bCheck)
        grupo->setExclusive(true);
}

BOOL CNuvPropPage::IsDlgButtonChecked(UINT nId) const
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    return c && (c->tipo == Tipo::Radio || c->tipo == Tipo::Casilla) &&
           static_cast<QAbstractButton *>(c->widget)->isChecked();
}

void CNuvPropPage::CheckRadioButton(UINT nFirst, UINT nLast, UINT nCheck)
{
    for (UINT id = nFirst; id <= nLast; ++id)
        CheckDlgButton(id, id == nCheck);
}

UINT CNuvPropPage::GetCheckedRadioButton(UINT nFirst, UINT nLast) const
{
    for (UINT id = nFirst; id <= nLast; ++id)
        if (IsDlgButtonChecked(id))
            return id;
    return 0;
}

namespace
{
QComboBox *Combo(const qelmfc::Control *c)
{
    return c && c->tipo == Tipo::Combo ? static_cast<QComboBox *>(c->widget) : nullptr;
}

QTreeWidget *Lista(const qelmfc::Control *c)
{
    return c && c->tipo == Tipo::Lista ? static_cast<QTreeWidget *>(c->widget) : nullptr;
}
} // namespace

void CNuvPropPage::ComboReset(UINT nId)
{
    if (QComboBox *combo = Combo(m_p->Buscar(nId)))
        combo->clear();
}

int CNuvPropPage::ComboAddString(UINT nId, const std::string &texto)
{
    QComboBox *combo = Combo(m_p->Buscar(nId));
    if (!combo)
        return -1;
    const int seleccion = combo->currentIndex();
    combo->addItem(Texto(texto));
    // A Windows combo box keeps nothing selected until told to.
    combo->setCurrentIndex(seleccion);
    return combo->count() - 1;
}

int CNuvPropPage::ComboGetCount(UINT nId) const
{
    QComboBox *combo = Combo(m_p->Buscar(nId));
    return combo ? combo->count() : 0;
}

int CNuvPropPage::ComboGetCurSel(UINT nId) const
{
    QComboBox *combo = Combo(m_p->Buscar(nId));
    return combo ? combo->currentIndex() : -1;
}

void CNuvPropPage::ComboSetCurSel(UINT nId, int nIndex)
{
    if (QComboBox *combo = Combo(m_p->Buscar(nId)))
        combo->setCurrentIndex(nIndex >= 0 && nIndex < combo->count() ? nIndex : -1);
}

std::string CNuvPropPage::ComboGetLBText(UINT nId, int nIndex) const
{
    QComboBox *combo = Combo(m_p->Buscar(nId));
    return combo && nIndex >= 0 && nIndex < combo->count() ? Ansi(combo->itemText(nIndex)) : std::string();
}

int CNuvPropPage::IpGetAddress(UINT nId, std::string &direccion) const
{
    direccion = "0.0.0.0";
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c || c->tipo != Tipo::DireccionIp)
        return 0;
    return static_cast<qelmfc::CampoIp *>(c->widget)->Leer(direccion);
}

void CNuvPropPage::IpSetAddress(UINT nId, const std::string &direccion)
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (c && c->tipo == Tipo::DireccionIp)
        static_cast<qelmfc::CampoIp *>(c->widget)->Poner(direccion);
}

void CNuvPropPage::IpClearAddress(UINT nId)
{
    IpSetAddress(nId, std::string());
}

void CNuvPropPage::ListaInsertColumn(UINT nId, int nCol, const std::string &titulo, int nAncho)
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (!lista || nCol < 0)
        return;
    if (lista->columnCount() <= nCol)
        lista->setColumnCount(nCol + 1);
    lista->headerItem()->setText(nCol, Texto(titulo));
    lista->setColumnWidth(nCol, nAncho);
}

int CNuvPropPage::ListaInsertItem(UINT nId, int nFila, const std::string &texto)
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (!lista)
        return -1;
    const int fila = std::clamp(nFila, 0, lista->topLevelItemCount());
    auto *item = new QTreeWidgetItem;
    item->setText(0, Texto(texto));
    lista->insertTopLevelItem(fila, item);
    return fila;
}

void CNuvPropPage::ListaSetItemText(UINT nId, int nFila, int nCol, const std::string &texto)
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (lista && nFila >= 0 && nFila < lista->topLevelItemCount() && nCol >= 0 && nCol < lista->columnCount())
        lista->topLevelItem(nFila)->setText(nCol, Texto(texto));
}

std::string CNuvPropPage::ListaGetItemText(UINT nId, int nFila, int nCol) const
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (lista && nFila >= 0 && nFila < lista->topLevelItemCount() && nCol >= 0)
        return Ansi(lista->topLevelItem(nFila)->text(nCol));
    return {};
}

int CNuvPropPage::ListaGetItemCount(UINT nId) const
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    return lista ? lista->topLevelItemCount() : 0;
}

void CNuvPropPage::ListaDeleteItem(UINT nId, int nFila)
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (lista && nFila >= 0 && nFila < lista->topLevelItemCount())
        delete lista->takeTopLevelItem(nFila);
}

void CNuvPropPage::ListaDeleteAllItems(UINT nId)
{
    if (QTreeWidget *lista = Lista(m_p->Buscar(nId)))
        lista->clear();
}

int CNuvPropPage::ListaGetSelectedItem(UINT nId) const
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (!lista)
        return -1;
    const QList<QTreeWidgetItem *> elegidas = lista->selectedItems();
    return elegidas.isEmpty() ? -1 : lista->indexOfTopLevelItem(elegidas.front());
}

void CNuvPropPage::ListaSelectItem(UINT nId, int nFila)
{
    QTreeWidget *lista = Lista(m_p->Buscar(nId));
    if (!lista)
        return;
    lista->clearSelection();
    if (nFila >= 0 && nFila < lista->topLevelItemCount())
    {
        lista->topLevelItem(nFila)->setSelected(true);
        lista->setCurrentItem(lista->topLevelItem(nFila));
    }
}

void CNuvPropPage::SetIcono(UINT nId, IconoEstandar icono)
{
    const qelmfc::Control *c = m_p->Buscar(nId);
    if (!c || c->tipo != Tipo::Icono)
        return;
    auto *label = static_cast<QLabel *>(c->widget);
    QStyle::StandardPixmap estandar = QStyle::SP_MessageBoxInformation;
    switch (icono)
    {
    case IconoEstandar::Ninguno:
        label->clear();
        return;
    case IconoEstandar::Informacion:
        estandar = QStyle::SP_MessageBoxInformation;
        break;
    case IconoEstandar::Error:
        estandar = QStyle::SP_MessageBoxCritical;
        break;
    case IconoEstandar::Aviso:
        estandar = QStyle::SP_MessageBoxWarning;
        break;
    case IconoEstandar::Pregunta:
        estandar = QStyle::SP_MessageBoxQuestion;
        break;
    }
    label->setPixmap(QApplication::style()->standardIcon(estandar).pixmap(32, 32));
}
