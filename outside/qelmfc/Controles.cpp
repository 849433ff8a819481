// The controls of a page from its dialog template: the standard Windows classes on Qt widgets,
// each placed in dialog units and reporting what Windows reports to its dialog.
#include "outside/qelmfc/Controles.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/PropPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include <cctype>

namespace qelmfc
{
namespace
{
// Window and control styles the binding reads from a template.
constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr std::uint32_t kWsDisabled = 0x08000000;
constexpr std::uint32_t kWsGroup = 0x00020000;
constexpr std::uint32_t kBsTipo = 0x0F;
constexpr std::uint32_t kSsTipo = 0x1F;
constexpr std::uint32_t kSsNoPrefix = 0x80;
constexpr std::uint32_t kEsCentro = 0x1;
constexpr std::uint32_t kEsDerecha = 0x2;
constexpr std::uint32_t kEsPassword = 0x20;
constexpr std::uint32_t kEsReadOnly = 0x800;
constexpr std::uint32_t kEsNumber = 0x2000;
constexpr int kAltoCombo = 12; // dialog units of a combo box's edit part

std::string Minusculas(const std::u16string &texto)
{
    std::string s;
    for (char16_t c : texto)
        s += static_cast<char>(c < 128 ? std::tolower(static_cast<int>(c)) : '?');
    return s;
}

QString TextoDe(const kitrc::DialogItem &item)
{
    return QString::fromUtf16(item.text.data(), static_cast<qsizetype>(item.text.size()));
}

// A static's "&" marks an access key unless SS_NOPREFIX: "&&" is a literal "&".
QString SinPrefijo(const QString &texto)
{
    QString s;
    for (qsizetype i = 0; i < texto.size(); ++i)
    {
        if (texto[i] == u'&' && i + 1 < texto.size())
            ++i;
        else if (texto[i] == u'&')
            continue;
        s += texto[i];
    }
    return s;
}

Tipo TipoDe(const kitrc::DialogItem &item)
{
    const std::string clase = Minusculas(item.className);
    if (clase == "button")
    {
        switch (item.style & kBsTipo)
        {
        case 0x0:
        case 0x1:
            return Tipo::Boton;
        case 0x2:
        case 0x3:
        case 0x5:
        case 0x6:
            return Tipo::Casilla;
        case 0x4:
        case 0x9:
            return Tipo::Radio;
        case 0x7:
            return Tipo::Grupo;
        default:
            return Tipo::Boton;
        }
    }
    if (clase == "static")
    {
        const std::uint32_t ss = item.style & kSsTipo;
        if (ss == 0x3 || ss == 0xE)
            return Tipo::Icono;
        if (ss >= 0x4 && ss <= 0x9)
            return Tipo::Marco;
        return Tipo::Texto;
    }
    if (clase == "edit")
        return Tipo::Edicion;
    if (clase == "combobox")
        return Tipo::Combo;
    if (clase == "syslistview32")
        return Tipo::Lista;
    if (clase == "sysipaddress32")
        return Tipo::DireccionIp;
    return Tipo::Desconocido;
}

QWidget *CrearTexto(const kitrc::DialogItem &item, QWidget *contenido)
{
    auto *label = new QLabel(contenido);
    label->setText((item.style & kSsNoPrefix) ? TextoDe(item) : SinPrefijo(TextoDe(item)));
    label->setTextFormat(Qt::PlainText);
    const std::uint32_t ss = item.style & kSsTipo;
    label->setWordWrap(ss <= 0x2);
    const Qt::Alignment horizontal = ss == 0x1   ? Qt::AlignHCenter
                                     : ss == 0x2 ? Qt::AlignRight
                                                 : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget *CrearEdicion(const kitrc::DialogItem &item, QWidget *contenido, UINT id,
                      const std::function<void(UINT, UINT)> &notificar)
{
    auto *edit = new QLineEdit(contenido);
    edit->setText(TextoDe(item));
    if (item.style & kEsPassword)
        edit->setEchoMode(QLineEdit::Password);
    if (item.style & kEsReadOnly)
        edit->setReadOnly(true);
    if (item.style & kEsNumber)
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    if (item.style & kEsCentro)
        edit->setAlignment(Qt::AlignHCenter);
    else if (item.style & kEsDerecha)
        edit->setAlignment(Qt::AlignRight);
    // Windows tells the dialog of every change of an edit's text, also a program's.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [notificar, id] { notificar(id, kNotifCambio); });
    return edit;
}

QWidget *CrearLista(QWidget *contenido, UINT id, const std::function<void(UINT, UINT)> &notificar)
{
    auto *lista = new QTreeWidget(contenido);
    lista->setRootIsDecorated(false);
    lista->setColumnCount(0);
    lista->setSelectionMode(QAbstractItemView::SingleSelection);
    lista->setAllColumnsShowFocus(true);
    lista->header()->setStretchLastSection(false);
    QObject::connect(lista, &QTreeWidget::itemSelectionChanged, lista,
                     [notificar, id] { notificar(id, kNotifSeleccion); });
    QObject::connect(lista, &QTreeWidget::itemDoubleClicked, lista,
                     [notificar, id] { notificar(id, kNotifDobleClic); });
    return lista;
}

QWidget *CrearBoton(Tipo tipo, const kitrc::DialogItem &item, QWidget *contenido, QButtonGroup *&grupo,
                    UINT id, const std::function<void(UINT, UINT)> &notificar)
{
    QAbstractButton *boton = nullptr;
    if (tipo == Tipo::Radio)
    {
        auto *radio = new QRadioButton(TextoDe(item), contenido);
        // Windows groups radio buttons from one with WS_GROUP to the next control with it.
        if (!grupo || (item.style & kWsGroup))
        {
            grupo = new QButtonGroup(contenido);
            grupo->setExclusive(true);
        }
        grupo->addButton(radio);
        boton = radio;
    }
    else if (tipo == Tipo::Casilla)
        boton = new QCheckBox(TextoDe(item), contenido);
    else
    {
        auto *push = new QPushButton(TextoDe(item), contenido);
        push->setAutoDefault(false);
        push->setDefault((item.style & kBsTipo) == 0x1);
        boton = push;
    }
    QObject::connect(boton, &QAbstractButton::clicked, boton, [notificar, id] { notificar(id, kNotifClic); });
    return boton;
}
} // namespace

CampoIp::CampoIp(QWidget *padre) : QWidget(padre)
{
    setAutoFillBackground(true);
    QPalette paleta = palette();
    paleta.setColor(QPalette::Window, paleta.color(QPalette::Base));
    setPalette(paleta);
    auto *fila = new QHBoxLayout(this);
    fila->setContentsMargins(2, 1, 2, 1);
    fila->setSpacing(0);
    for (int i = 0; i < 4; ++i)
    {
        if (i > 0)
        {
            auto *punto = new QLabel(QStringLiteral("."), this);
            fila->addWidget(punto);
        }
        auto *parte = new QLineEdit(this);
        parte->setFrame(false);
        parte->setMaxLength(3);
        parte->setAlignment(Qt::AlignHCenter);
        parte->setValidator(new QIntValidator(0, 255, parte));
        QObject::connect(parte, &QLineEdit::textEdited, this, [this] {
            if (alCambiar)
                alCambiar();
        });
        fila->addWidget(parte, 1);
        partes_[i] = parte;
    }
}

int CampoIp::Leer(std::string &direccion) const
{
    int llenas = 0;
    direccion.clear();
    for (int i = 0; i < 4; ++i)
    {
        const QString texto = partes_[i]->text().trimmed();
        int valor = 0;
        if (!texto.isEmpty())
        {
            ++llenas;
            valor = std::min(texto.toInt(), 255);
        }
        direccion += (i ? "." : "") + std::to_string(valor);
    }
    return llenas;
}

void CampoIp::Poner(const std::string &direccion)
{
    Vaciar();
    if (direccion.empty() || direccion == "0.0.0.0")
        return;
    const QStringList partes = Texto(direccion).split(u'.');
    for (int i = 0; i < 4 && i < partes.size(); ++i)
    {
        bool ok = false;
        const int valor = partes[i].trimmed().toInt(&ok);
        if (ok && valor >= 0 && valor <= 255)
            partes_[i]->setText(QString::number(valor));
    }
}

void CampoIp::Vaciar()
{
    for (QLineEdit *parte : partes_)
        parte->clear();
}

int PixelesX(int du)
{
    return (du * 6 + 2) / 4;
}

int PixelesY(int du)
{
    return (du * 13 + 4) / 8;
}

QFont FuenteDialogo()
{
    QFont fuente;
    fuente.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                        QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                        QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    fuente.setPixelSize(11);
    return fuente;
}

Control CrearControl(const kitrc::DialogItem &item, QWidget *contenido, QButtonGroup *&grupo,
                     const std::function<void(UINT, UINT)> &notificar)
{
    Control control;
    control.id = item.id;
    control.tipo = TipoDe(item);
    control.texto = Ansi(TextoDe(item));
    const UINT id = item.id;
    int alto = PixelesY(item.cy);
    switch (control.tipo)
    {
    case Tipo::Texto:
        control.widget = CrearTexto(item, contenido);
        break;
    case Tipo::Icono: {
        auto *label = new QLabel(contenido);
        label->setAlignment(Qt::AlignCenter);
        control.widget = label;
        break;
    }
    case Tipo::Marco:
    case Tipo::Desconocido: {
        auto *marco = new QFrame(contenido);
        marco->setFrameShape(QFrame::Box);
        marco->setFrameShadow(QFrame::Sunken);
        control.widget = marco;
        break;
    }
    case Tipo::Grupo:
        control.widget = new QGroupBox(TextoDe(item), contenido);
        break;
    case Tipo::Boton:
    case Tipo::Radio:
    case Tipo::Casilla:
        control.widget = CrearBoton(control.tipo, item, contenido, grupo, id, notificar);
        break;
    case Tipo::Edicion:
        control.widget = CrearEdicion(item, contenido, id, notificar);
        break;
    case Tipo::Combo: {
        auto *combo = new QComboBox(contenido);
        // Only a person's choice is a CBN_SELCHANGE; a program's CB_SETCURSEL is not.
        QObject::connect(combo, &QComboBox::activated, combo,
                         [notificar, id] { notificar(id, kNotifSeleccion); });
        control.widget = combo;
        alto = PixelesY(kAltoCombo) + 2;
        break;
    }
    case Tipo::Lista:
        control.widget = CrearLista(contenido, id, notificar);
        break;
    case Tipo::DireccionIp: {
        auto *campo = new CampoIp(contenido);
        campo->alCambiar = [notificar, id] {
            notificar(id, kNotifCampoIp);
            notificar(id, kNotifCambio);
        };
        control.widget = campo;
        break;
    }
    }
    if (control.tipo != Tipo::Radio)
        grupo = nullptr; // a radio group ends at the first control of another kind
    control.widget->setGeometry(PixelesX(item.x), PixelesY(item.y), PixelesX(item.cx), alto);
    control.widget->setEnabled(!(item.style & kWsDisabled));
    control.widget->setVisible((item.style & kWsVisible) != 0);
    return control;
}
} // namespace qelmfc
