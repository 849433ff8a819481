// CGuion: reading an answers file, and working the sheet's pages as its steps say.
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/HojaImpl.h"
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/Mensajes.h"
#include "outside/qelmfc/PaginaImpl.h"
#include "outside/qelmfc/PropPage.h"
#include "outside/qelmfc/PropSheet.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cctype>
#include <vector>

namespace
{
constexpr DWORD kEsperaPorDefecto = 60000;     // ms a page or a button is waited for
constexpr std::size_t kTamanoMaximo = 1 << 20; // an answers file is small; more is not one
constexpr int kPasoMs = 10;                    // how often the scripted user looks at the window

enum class Clase
{
    Pagina,
    Elegir,
    Escribir,
    Seleccionar,
    DobleClic,
    Pulsar,
    Captura,
    Esperar,
    EsperarTexto,
    Mensaje,
    Fichero,
    Mirar,
    Llamada,
};

struct Paso
{
    Clase clase = Clase::Pagina;
    int linea = 0;
    UINT id = 0;
    std::string texto;  // what is typed, chosen or pressed; the box's expected text; the file chosen
    std::string titulo; // the box's or the file dialog's expected caption
    int respuesta = 0;  // the box's answer; the file dialog's: IDOK with a file, IDCANCEL
    DWORD espera = kEsperaPorDefecto;
    std::function<void(CNuvPropSheet &)> llamada;
};

std::string Recortar(const std::string &s)
{
    const auto inicio = s.find_first_not_of(" \t");
    if (inicio == std::string::npos)
        return {};
    const auto fin = s.find_last_not_of(" \t\r");
    return s.substr(inicio, fin - inicio + 1);
}

// Lower case of Windows 1252 text: ASCII and the accented capitals (À..Þ but ×).
std::string Minusculas(std::string s)
{
    for (char &c : s)
    {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 'A' && u <= 'Z')
            c = static_cast<char>(u + 32);
        else if (u >= 0xC0 && u <= 0xDE && u != 0xD7)
            c = static_cast<char>(u + 32);
    }
    return s;
}

// Windows 1252 text of the file: kept as it is, unless it is UTF-8 with characters beyond
// ASCII, which becomes 1252.
std::string TextoDelFichero(const std::string &bytes)
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    if (ascii)
        return bytes;
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                      static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0)
        return bytes;
    std::u16string ancho(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), ancho.data(), n);
    const int m = WideCharToMultiByte(CP_ACP, 0, ancho.data(), n, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_ACP, 0, ancho.data(), n, ansi.data(), m, nullptr, nullptr);
    return ansi;
}

bool LeerFichero(const std::string &fichero, std::string &bytes, std::string &error)
{
    HANDLE h =
        CreateFileA(fichero.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
    {
        error = fichero + ": no se puede abrir el fichero de respuestas (error " +
                std::to_string(GetLastError()) + ").";
        return false;
    }
    const DWORD tamano = GetFileSize(h, nullptr);
    bool ok = tamano != INVALID_FILE_SIZE && tamano <= kTamanoMaximo;
    if (ok)
    {
        bytes.resize(tamano);
        DWORD leidos = 0;
        ok = tamano == 0 || (ReadFile(h, bytes.data(), tamano, &leidos, nullptr) && leidos == tamano);
    }
    CloseHandle(h);
    if (!ok)
        error = fichero + ": el fichero de respuestas no se puede leer o es demasiado grande.";
    return ok;
}

struct Boton
{
    const char *nombre;
    int id;
};

// Answers by the caption Spanish Windows gives the button, or by its Windows name.
constexpr Boton kBotones[] = {
    {"aceptar", IDOK},      {"cancelar", IDCANCEL}, {"anular", IDABORT},  {"reintentar", IDRETRY},
    {"omitir", IDIGNORE},   {"sí", IDYES},          {"si", IDYES},        {"no", IDNO},
    {"idok", IDOK},         {"idcancel", IDCANCEL}, {"idabort", IDABORT}, {"idretry", IDRETRY},
    {"idignore", IDIGNORE}, {"idyes", IDYES},       {"idno", IDNO},
};

int RespuestaDe(const std::string &texto)
{
    const std::string t = Minusculas(texto);
    for (const Boton &b : kBotones)
        if (t == b.nombre)
            return b.id;
    return 0;
}
} // namespace

namespace qelmfc
{
// The buttons of a box (MB_OK...), their answers in order, and how the transcript names them.
std::vector<int> BotonesDe(UINT tipo)
{
    switch (tipo & MB_TYPEMASK)
    {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

std::string NombreRespuesta(int id)
{
    switch (id)
    {
    case IDOK:
        return "Aceptar";
    case IDCANCEL:
        return "Cancelar";
    case IDABORT:
        return "Anular";
    case IDRETRY:
        return "Reintentar";
    case IDIGNORE:
        return "Omitir";
    case IDYES:
        return "Sí";
    case IDNO:
        return "No";
    default:
        return "(ninguna)";
    }
}
} // namespace qelmfc

struct CGuion::Impl
{
    std::string nombre;
    std::vector<Paso> pasos;
    std::size_t siguiente = 0;
    std::string error;
    bool completo = false;
    int paginaFinal = -1;
    UINT dialogoFinal = 0;
    CNuvPropSheet *hoja = nullptr;
    QTimer *reloj = nullptr;
    QElapsedTimer esperando; // since the step in hand became the next one
    DWORD espera = kEsperaPorDefecto;
    std::vector<std::pair<std::string, int>> siempre; // standing answers: caption, button

    bool Fallar(int linea, const std::string &mensaje);
    // The step that answers a box or a dialog of that class and caption, or null (the run
    // stops) when the script has none for it; Contestado takes it.
    const Paso *Turno(Clase clase, const std::string &que, const std::string &titulo);
    void Contestado();
    bool Leer(const std::string &texto);
    void Avanzar();
    // One step on the sheet: true when done, false to try again later (waiting).
    bool Hacer(const Paso &paso);
    bool Vencido(const Paso &paso) const { return esperando.elapsed() > static_cast<qint64>(paso.espera); }
};

// What the scripted user does on the sheet's widgets, as a person's hand does.
class CUsuarioGuion
{
  public:
    static const qelmfc::Control *Control(CNuvPropSheet &hoja, UINT id)
    {
        CNuvPropPage *page = hoja.GetActivePage();
        return page ? page->m_p->Buscar(id) : nullptr;
    }
    static QPushButton *BotonHoja(CNuvPropSheet &hoja, const std::string &texto)
    {
        for (UINT id : {ID_WIZBACK, ID_WIZNEXT, ID_WIZFINISH, UINT{IDCANCEL}})
        {
            QPushButton *b = hoja.m_p->Boton(id);
            if (b && !b->isHidden() && qelmfc::Ansi(b->text()) == texto)
                return b;
        }
        return nullptr;
    }
    static QAbstractButton *BotonPagina(CNuvPropSheet &hoja, const std::string &texto)
    {
        CNuvPropPage *page = hoja.GetActivePage();
        if (!page)
            return nullptr;
        for (const qelmfc::Control &c : page->m_p->controles)
        {
            if (c.tipo != qelmfc::Tipo::Boton)
                continue;
            auto *b = static_cast<QAbstractButton *>(c.widget);
            if (std::to_string(c.id) == texto || qelmfc::Ansi(b->text()) == texto)
                return b;
        }
        return nullptr;
    }
    // The page as it stands now, into the transcript.
    static void Mirar(CNuvPropSheet &hoja)
    {
        CNuvPropPage *page = hoja.GetActivePage();
        if (!page)
            return;
        qelmfc::Transcribir("   > Mirar");
        for (const std::string &linea : page->m_p->Describir())
            qelmfc::Transcribir(linea);
    }
    // The sheet was told to close: the user's part is over, whatever steps are left.
    static bool Terminando(const CNuvPropSheet &hoja) { return hoja.m_bTerminar; }
    static bool Usable(const QWidget *w, CNuvPropSheet &hoja)
    {
        return w->isEnabled() && w->isVisibleTo(static_cast<QWidget *>(hoja.Widget()));
    }
};

bool CGuion::Impl::Fallar(int linea, const std::string &mensaje)
{
    if (error.empty())
    {
        error = nombre + ":" + std::to_string(linea) + ": " + mensaje;
        qelmfc::Transcribir("!! " + error);
    }
    if (hoja)
        hoja->EndDialog(IDCANCEL);
    return false;
}

bool CGuion::Impl::Leer(const std::string &texto)
{
    pasos.clear();
    int numero = 0;
    bool enPagina = false;
    Paso *mensaje = nullptr;
    std::size_t inicio = 0;
    auto cerrarMensaje = [&]() {
        if (mensaje && mensaje->respuesta == 0)
            return Fallar(mensaje->linea, mensaje->clase == Clase::Fichero
                                              ? "el diálogo de fichero no dice su Ruta ni su Respuesta."
                                              : "el mensaje no dice su Respuesta.");
        mensaje = nullptr;
        return true;
    };
    while (inicio <= texto.size())
    {
        std::size_t fin = texto.find('\n', inicio);
        if (fin == std::string::npos)
            fin = texto.size();
        const std::string linea = Recortar(texto.substr(inicio, fin - inicio));
        inicio = fin + 1;
        ++numero;
        if (linea.empty() || linea[0] == ';' || linea[0] == '#')
            continue;
        if (linea.find('\0') != std::string::npos)
            return Fallar(numero, "la línea tiene bytes nulos.");
        if (linea.front() == '[')
        {
            if (!cerrarMensaje())
                return false;
            if (linea.back() != ']')
                return Fallar(numero, "falta el ']' de la sección.");
            const std::string seccion = Recortar(linea.substr(1, linea.size() - 2));
            const std::string clave = Minusculas(seccion);
            if (clave == "mensaje" || clave == "fichero")
            {
                Paso p;
                p.clase = clave == "mensaje" ? Clase::Mensaje : Clase::Fichero;
                p.linea = numero;
                pasos.push_back(p);
                mensaje = &pasos.back();
                enPagina = false;
                continue;
            }
            const std::string::size_type blanco = seccion.find(' ');
            const std::string palabra = Minusculas(seccion.substr(0, blanco));
            if ((palabra != "página" && palabra != "pagina") || blanco == std::string::npos)
                return Fallar(numero, "sección desconocida «" + seccion +
                                          "» (se esperaba [Página N], [Mensaje] o [Fichero]).");
            const std::string numeroTexto = Recortar(seccion.substr(blanco + 1));
            if (numeroTexto.empty() || numeroTexto.size() > 5 ||
                !std::all_of(numeroTexto.begin(), numeroTexto.end(),
                             [](char c) { return c >= '0' && c <= '9'; }))
                return Fallar(numero, "la página debe ser el número de su diálogo.");
            Paso p;
            p.clase = Clase::Pagina;
            p.linea = numero;
            p.id = static_cast<UINT>(std::stoul(numeroTexto));
            pasos.push_back(p);
            enPagina = true;
            continue;
        }
        const std::string::size_type igual = linea.find('=');
        if (igual == std::string::npos)
            return Fallar(numero, "se esperaba «clave=valor».");
        const std::string clave = Recortar(linea.substr(0, igual));
        const std::string valor = Recortar(linea.substr(igual + 1));
        std::string verbo = Minusculas(clave.substr(0, clave.find(' ')));
        const std::string argumento = clave.find(' ') == std::string::npos
                                          ? std::string()
                                          : Recortar(clave.substr(clave.find(' ') + 1));
        if (mensaje && mensaje->clase == Clase::Fichero)
        {
            if (verbo == "título" || verbo == "titulo")
                mensaje->titulo = valor;
            else if (verbo == "ruta" && !valor.empty())
            {
                mensaje->texto = valor;
                mensaje->respuesta = IDOK;
            }
            else if (verbo == "respuesta" && RespuestaDe(valor) == IDCANCEL)
                mensaje->respuesta = IDCANCEL;
            else
                return Fallar(numero, "en un diálogo de fichero se espera Título=, Ruta=fichero o "
                                      "Respuesta=Cancelar: «" +
                                          linea + "».");
            continue;
        }
        if (mensaje)
        {
            if (verbo == "título" || verbo == "titulo")
                mensaje->titulo = valor;
            else if (verbo == "texto")
                mensaje->texto = valor;
            else if (verbo == "respuesta")
            {
                mensaje->respuesta = RespuestaDe(valor);
                if (!mensaje->respuesta)
                    return Fallar(numero, "respuesta desconocida «" + valor + "».");
            }
            else
                return Fallar(numero, "clave desconocida en un mensaje: «" + clave + "».");
            continue;
        }
        if (!enPagina)
            return Fallar(numero, "«" + clave + "» fuera de una sección [Página N].");
        Paso p;
        p.linea = numero;
        p.texto = valor;
        auto idDe = [&](const std::string &t, UINT &id) {
            if (t.empty() || t.size() > 5 ||
                !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            id = static_cast<UINT>(std::stoul(t));
            return true;
        };
        auto msDe = [&](const std::string &t, DWORD &ms) {
            if (t.empty() || t.size() > 7 ||
                !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            ms = static_cast<DWORD>(std::stoul(t));
            return true;
        };
        if (verbo == "espera")
        {
            DWORD ms = 0;
            if (!msDe(valor, ms))
                return Fallar(numero, "la espera debe ser un número de milisegundos.");
            // Applies to the page and to the steps that follow on it.
            for (auto it = pasos.rbegin(); it != pasos.rend(); ++it)
            {
                it->espera = ms;
                if (it->clase == Clase::Pagina)
                    break;
            }
            espera = ms;
            continue;
        }
        p.espera = pasos.back().espera;
        if (verbo == "elegir")
        {
            p.clase = Clase::Elegir;
            if (!idDe(valor, p.id))
                return Fallar(numero, "Elegir lleva el número de control.");
        }
        else if (verbo == "escribir" || verbo == "seleccionar" || verbo == "dobleclic")
        {
            p.clase = verbo == "escribir"      ? Clase::Escribir
                      : verbo == "seleccionar" ? Clase::Seleccionar
                                               : Clase::DobleClic;
            // Quotes keep the blanks at either end of what is typed.
            if (p.clase == Clase::Escribir && valor.size() >= 2 && valor.front() == '"' &&
                valor.back() == '"')
                p.texto = valor.substr(1, valor.size() - 2);
            if (!idDe(argumento, p.id))
                return Fallar(numero,
                              "«" + clave + "» lleva el número de control: «" + verbo + " 1001=...».");
        }
        else if (verbo == "pulsar")
        {
            p.clase = Clase::Pulsar;
            if (valor.empty())
                return Fallar(numero, "Pulsar lleva el botón.");
        }
        else if (verbo == "captura")
        {
            p.clase = Clase::Captura;
            if (valor.empty())
                return Fallar(numero, "Captura lleva el fichero.");
        }
        else if (verbo == "mirar")
            p.clase = Clase::Mirar;
        else if (verbo == "esperar" && !argumento.empty())
        {
            p.clase = Clase::EsperarTexto;
            if (!idDe(argumento, p.id) || valor.empty())
                return Fallar(numero,
                              "«" + clave + "» lleva el número de control y su texto: «esperar 1001=...».");
        }
        else if (verbo == "esperar")
        {
            p.clase = Clase::Esperar;
            if (!msDe(valor, p.espera))
                return Fallar(numero, "Esperar lleva milisegundos.");
        }
        else
            return Fallar(numero, "acción desconocida «" + clave + "».");
        pasos.push_back(p);
    }
    return cerrarMensaje();
}

bool CGuion::Impl::Hacer(const Paso &paso)
{
    CNuvPropSheet &h = *hoja;
    switch (paso.clase)
    {
    case Clase::Pagina: {
        CNuvPropPage *page = h.GetActivePage();
        if (page && page->GetIDD() == paso.id)
            return true;
        if (Vencido(paso))
            return Fallar(paso.linea, "no llega la página " + std::to_string(paso.id) + " (está la " +
                                          (page ? std::to_string(page->GetIDD()) : std::string("vacía")) +
                                          ").");
        return false;
    }
    case Clase::Elegir: {
        const qelmfc::Control *c = CUsuarioGuion::Control(h, paso.id);
        if (!c || (c->tipo != qelmfc::Tipo::Radio && c->tipo != qelmfc::Tipo::Casilla))
            return Fallar(paso.linea, "la página no tiene la opción " + std::to_string(paso.id) + ".");
        if (!CUsuarioGuion::Usable(c->widget, h))
            return Vencido(paso)
                       ? Fallar(paso.linea, "la opción " + std::to_string(paso.id) + " no está activa.")
                       : false;
        qelmfc::Transcribir("   > Elegir [" + std::to_string(paso.id) + "]");
        static_cast<QAbstractButton *>(c->widget)->click();
        return true;
    }
    case Clase::Escribir: {
        const qelmfc::Control *c = CUsuarioGuion::Control(h, paso.id);
        if (!c || (c->tipo != qelmfc::Tipo::Edicion && c->tipo != qelmfc::Tipo::DireccionIp))
            return Fallar(paso.linea, "la página no tiene el campo " + std::to_string(paso.id) + ".");
        if (!CUsuarioGuion::Usable(c->widget, h))
            return Vencido(paso)
                       ? Fallar(paso.linea, "el campo " + std::to_string(paso.id) + " no está activo.")
                       : false;
        // What is typed into a password field is not written down.
        const bool oculto = c->tipo == qelmfc::Tipo::Edicion &&
                            static_cast<QLineEdit *>(c->widget)->echoMode() != QLineEdit::Normal;
        qelmfc::Transcribir("   > Escribir [" + std::to_string(paso.id) +
                            "]: " + (oculto ? std::string(paso.texto.size(), '*') : paso.texto));
        if (c->tipo == qelmfc::Tipo::Edicion)
        {
            auto *edit = static_cast<QLineEdit *>(c->widget);
            edit->selectAll();
            edit->insert(qelmfc::Texto(paso.texto)); // as typed: the field's limit applies
            return true;
        }
        auto *campo = static_cast<qelmfc::CampoIp *>(c->widget);
        const std::string &t = paso.texto;
        std::size_t desde = 0;
        for (int i = 0; i < 4; ++i)
        {
            const std::size_t punto = t.find('.', desde);
            const std::string parte =
                desde <= t.size()
                    ? t.substr(desde, punto == std::string::npos ? std::string::npos : punto - desde)
                    : std::string();
            QLineEdit *edit = campo->Parte(i);
            edit->selectAll();
            edit->insert(qelmfc::Texto(Recortar(parte)));
            if (edit->text().isEmpty())
                edit->clear();
            desde = punto == std::string::npos ? t.size() + 1 : punto + 1;
        }
        if (campo->alCambiar)
            campo->alCambiar();
        return true;
    }
    case Clase::Seleccionar:
    case Clase::DobleClic: {
        const bool doble = paso.clase == Clase::DobleClic;
        const qelmfc::Control *c = CUsuarioGuion::Control(h, paso.id);
        if (!c || (c->tipo != qelmfc::Tipo::Lista && (doble || c->tipo != qelmfc::Tipo::Combo)))
            return Fallar(paso.linea, "la página no tiene la lista " + std::to_string(paso.id) + ".");
        if (!CUsuarioGuion::Usable(c->widget, h))
            return Vencido(paso)
                       ? Fallar(paso.linea, "la lista " + std::to_string(paso.id) + " no está activa.")
                       : false;
        qelmfc::Transcribir("   > " + std::string(doble ? "DobleClic" : "Seleccionar") + " [" +
                            std::to_string(paso.id) + "]: " + paso.texto);
        const QString buscado = qelmfc::Texto(paso.texto);
        if (c->tipo == qelmfc::Tipo::Combo)
        {
            auto *combo = static_cast<QComboBox *>(c->widget);
            int i = combo->findText(buscado, Qt::MatchFixedString);
            if (i < 0)
                i = combo->findText(buscado, Qt::MatchStartsWith);
            if (i < 0)
                return Fallar(paso.linea,
                              "la lista " + std::to_string(paso.id) + " no tiene «" + paso.texto + "».");
            combo->setCurrentIndex(i);
            Q_EMIT combo->activated(i);
            return true;
        }
        auto *lista = static_cast<QTreeWidget *>(c->widget);
        for (int i = 0; i < lista->topLevelItemCount(); ++i)
            if (QTreeWidgetItem *fila = lista->topLevelItem(i);
                fila->text(0).compare(buscado, Qt::CaseInsensitive) == 0)
            {
                // A double click selects the row with its first press, as a click does.
                lista->clearSelection();
                fila->setSelected(true);
                lista->setCurrentItem(fila);
                if (doble)
                    Q_EMIT lista->itemDoubleClicked(fila, 0);
                return true;
            }
        return Fallar(paso.linea,
                      "la tabla " + std::to_string(paso.id) + " no tiene la fila «" + paso.texto + "».");
    }
    case Clase::Pulsar: {
        QAbstractButton *b = CUsuarioGuion::BotonHoja(h, paso.texto);
        if (!b)
            b = CUsuarioGuion::BotonPagina(h, paso.texto);
        if (!b || !CUsuarioGuion::Usable(b, h))
        {
            if (!Vencido(paso))
                return false;
            return Fallar(paso.linea, b ? "el botón «" + paso.texto + "» no se activa."
                                        : "no hay ningún botón «" + paso.texto + "».");
        }
        qelmfc::Transcribir("   > " + paso.texto);
        b->click();
        return true;
    }
    case Clase::Captura:
        if (!h.Capturar(paso.texto))
            return Fallar(paso.linea, "no se puede guardar la captura «" + paso.texto + "».");
        return true;
    case Clase::Esperar:
        return esperando.elapsed() >= static_cast<qint64>(paso.espera);
    case Clase::EsperarTexto: {
        const CNuvPropPage *page = h.GetActivePage();
        if (page && page->GetDlgItemText(paso.id).starts_with(paso.texto))
            return true;
        if (Vencido(paso))
            return Fallar(paso.linea, "el control " + std::to_string(paso.id) + " no llega a decir «" +
                                          paso.texto + "».");
        return false;
    }
    case Clase::Mensaje:
    case Clase::Fichero:
        if (Vencido(paso))
            return Fallar(paso.linea, paso.clase == Clase::Mensaje
                                          ? "no llega el mensaje que espera el guion."
                                          : "no llega el diálogo de fichero que "
                                            "espera el guion.");
        return false;
    case Clase::Mirar:
        CUsuarioGuion::Mirar(h);
        return true;
    case Clase::Llamada:
        paso.llamada(h);
        return true;
    }
    return true;
}

void CGuion::Impl::Avanzar()
{
    if (hoja && CUsuarioGuion::Terminando(*hoja))
        return;
    while (error.empty() && hoja && siguiente < pasos.size())
    {
        const Paso paso = pasos[siguiente];
        // The step is taken before it is done: a box it brings up answers from the next one.
        ++siguiente;
        if (!Hacer(paso))
        {
            if (error.empty())
                --siguiente; // not yet: try again at the next look
            return;
        }
        esperando.restart();
        if (paso.clase != Clase::Pagina && paso.clase != Clase::Captura && paso.clase != Clase::Llamada &&
            paso.clase != Clase::Mirar && paso.clase != Clase::EsperarTexto)
            return; // let the page act on what was done
    }
    if (error.empty() && hoja && siguiente >= pasos.size() && !completo)
    {
        completo = true;
        const CNuvPropPage *page = hoja->GetActivePage();
        qelmfc::Transcribir("-- Fin del guion en la página " + std::to_string(hoja->GetActiveIndex()) +
                            (page ? " (" + std::to_string(page->GetIDD()) + ")" : std::string()) + ".");
        hoja->EndDialog(IDCANCEL);
    }
}

CGuion::CGuion() : m_p(std::make_unique<Impl>()) {}

CGuion::~CGuion() = default;

bool CGuion::Cargar(const std::string &fichero)
{
    std::string bytes;
    m_p->nombre = fichero;
    m_p->error.clear();
    if (!LeerFichero(fichero, bytes, m_p->error))
        return false;
    return m_p->Leer(TextoDelFichero(bytes));
}

bool CGuion::CargarTexto(const std::string &texto, const std::string &nombre)
{
    m_p->nombre = nombre;
    m_p->error.clear();
    return m_p->Leer(TextoDelFichero(texto));
}

bool CGuion::Concluir()
{
    Impl &p = *m_p;
    if (!p.error.empty())
        return false;
    if (p.siguiente < p.pasos.size())
        return p.Fallar(p.pasos[p.siguiente].linea, "el programa terminó sin llegar a este paso.");
    return true;
}

bool CGuion::TerminarEn(UINT dialogo, const std::string &pasos)
{
    auto &lista = m_p->pasos;
    const auto pagina = std::find_if(lista.begin(), lista.end(), [&](const Paso &p) {
        return p.clase == Clase::Pagina && p.id == dialogo;
    });
    if (pagina == lista.end())
    {
        m_p->error = m_p->nombre + ": las respuestas no llegan a la página " + std::to_string(dialogo) + ".";
        return false;
    }
    Impl nuevos;
    nuevos.nombre = m_p->nombre;
    if (!nuevos.Leer(TextoDelFichero(pasos)))
    {
        m_p->error = nuevos.error;
        return false;
    }
    lista.erase(pagina, lista.end());
    for (Paso &p : nuevos.pasos)
        lista.push_back(std::move(p));
    return true;
}

void CGuion::AgregarLlamada(std::function<void(CNuvPropSheet &)> fn)
{
    Paso p;
    p.clase = Clase::Llamada;
    p.linea = m_p->pasos.empty() ? 0 : m_p->pasos.back().linea;
    p.llamada = std::move(fn);
    m_p->pasos.push_back(std::move(p));
}

const std::string &CGuion::Error() const
{
    return m_p->error;
}

bool CGuion::Fallido() const
{
    return !m_p->error.empty();
}

bool CGuion::Completo() const
{
    return m_p->completo;
}

int CGuion::PaginaFinal() const
{
    return m_p->paginaFinal;
}

UINT CGuion::DialogoFinal() const
{
    return m_p->dialogoFinal;
}

void CGuion::Empezar(CNuvPropSheet &hoja)
{
    m_p->hoja = &hoja;
    m_p->esperando.start();
    m_p->reloj = new QTimer(static_cast<QWidget *>(hoja.Widget()));
    QObject::connect(m_p->reloj, &QTimer::timeout, m_p->reloj, [this] { m_p->Avanzar(); });
    m_p->reloj->start(kPasoMs);
}

void CGuion::Terminar(CNuvPropSheet &hoja)
{
    if (m_p->reloj)
    {
        m_p->reloj->stop();
        delete m_p->reloj;
        m_p->reloj = nullptr;
    }
    m_p->paginaFinal = hoja.GetActiveIndex();
    const CNuvPropPage *page = hoja.GetActivePage();
    m_p->dialogoFinal = page ? page->GetIDD() : 0;
    m_p->hoja = nullptr;
}

const Paso *CGuion::Impl::Turno(Clase clase, const std::string &que, const std::string &titulo)
{
    if (!error.empty())
        return nullptr;
    // A page can put up its box before the script has looked at the window again: waiting for
    // the page on screen is done already.
    while (hoja && siguiente < pasos.size() && pasos[siguiente].clase == Clase::Pagina)
    {
        const CNuvPropPage *page = hoja->GetActivePage();
        if (!page || page->GetIDD() != pasos[siguiente].id)
            break;
        Contestado();
    }
    const int linea =
        siguiente < pasos.size() ? pasos[siguiente].linea : (pasos.empty() ? 0 : pasos.back().linea);
    if (siguiente >= pasos.size() || pasos[siguiente].clase != clase)
        return Fallar(linea, "el guion no responde al " + que + " «" + titulo + "»."), nullptr;
    const Paso &paso = pasos[siguiente];
    if (!paso.titulo.empty() && paso.titulo != titulo)
        return Fallar(paso.linea,
                      "se esperaba el " + que + " «" + paso.titulo + "» y llega «" + titulo + "»."),
               nullptr;
    return &paso;
}

void CGuion::Impl::Contestado()
{
    ++siguiente;
    esperando.restart();
}

void CGuion::ResponderSiempre(const std::string &titulo, int respuesta)
{
    m_p->siempre.emplace_back(titulo, respuesta);
}

int CGuion::ResponderMensaje(const std::string &titulo, const std::string &texto, UINT tipo)
{
    Impl &p = *m_p;
    const std::vector<int> botones = qelmfc::BotonesDe(tipo);
    const auto tiene = [&](int respuesta) {
        return std::find(botones.begin(), botones.end(), respuesta) != botones.end();
    };
    for (const auto &[tituloFijo, respuesta] : p.siempre)
    {
        if (tituloFijo != titulo)
            continue;
        if (!p.error.empty())
            return 0;
        if (!tiene(respuesta))
            return p.Fallar(p.siguiente < p.pasos.size() ? p.pasos[p.siguiente].linea : 0,
                            "el mensaje «" + titulo + "» no tiene el botón " +
                                qelmfc::NombreRespuesta(respuesta) + " que se le da siempre."),
                   0;
        return respuesta;
    }
    const Paso *turno = p.Turno(Clase::Mensaje, "mensaje", titulo);
    if (!turno)
        return 0;
    const Paso &paso = *turno;
    if (!paso.texto.empty() && texto.compare(0, paso.texto.size(), paso.texto) != 0)
        return p.Fallar(paso.linea, "el mensaje «" + titulo + "» no dice «" + paso.texto + "»."), 0;
    if (!tiene(paso.respuesta))
        return p.Fallar(paso.linea, "el mensaje «" + titulo + "» no tiene el botón " +
                                        qelmfc::NombreRespuesta(paso.respuesta) + "."),
               0;
    const int respuesta = paso.respuesta;
    p.Contestado();
    return respuesta;
}

bool CGuion::ResponderFichero(const std::string &titulo, std::string &ruta)
{
    Impl &p = *m_p;
    const Paso *turno = p.Turno(Clase::Fichero, "diálogo de fichero", titulo);
    if (!turno)
        return false;
    const bool elegido = turno->respuesta == IDOK;
    ruta = elegido ? turno->texto : std::string();
    p.Contestado();
    return elegido;
}
