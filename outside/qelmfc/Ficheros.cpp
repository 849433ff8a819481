// The open-file dialogs of the process: GetOpenFileNameA hands them here. With a script the file
// is the script's; without one a real Qt file chooser is shown. Either way the dialog goes to the
// transcript.
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Interfaz.h"

#include "platform/kit/kitmachine.h"
#include "platform/kit/kitwindow.h"

#include <QFileDialog>
#include <QStringList>

namespace
{
// The caption of a dialog whose caller gives none, as Spanish Windows names it.
constexpr char kTituloAbrir[] = "Abrir";

std::string Reemplazar(std::string texto, char de, char a)
{
    for (char &c : texto)
        if (c == de)
            c = a;
    return texto;
}

// A path as the PC sees it: "C:\" is the PC's own folder; any other path goes as it is.
std::string RutaDelPc(const std::string &ruta)
{
    const bool unidadC = ruta.size() >= 3 && (ruta[0] == 'C' || ruta[0] == 'c') && ruta[1] == ':' &&
                         (ruta[2] == '\\' || ruta[2] == '/');
    if (!unidadC)
        return ruta;
    const std::string resto = Reemplazar(ruta.substr(3), '\\', '/');
    return resto.empty() ? kitpc::Root() : kitpc::PathOf(resto);
}

// A Windows filter as Qt writes it: "text (patterns)", the patterns apart by blanks; Windows'
// "*.*" is every file.
QString FiltroQt(const std::pair<std::string, std::string> &filtro)
{
    QStringList patrones;
    for (const QString &p : qelmfc::Texto(filtro.second).split(';', Qt::SkipEmptyParts))
        patrones << (p.trimmed() == "*.*" ? QStringLiteral("*") : p.trimmed());
    const QString texto = qelmfc::Texto(filtro.first);
    const QString sufijo = " (" + patrones.join(' ') + ")";
    return texto.endsWith(sufijo) ? texto : texto + sufijo;
}

bool EnPantalla(const kitwin::OpenFileRequest &pedido, const std::string &titulo, std::string &ruta,
                size_t &filtro)
{
    qelmfc::AsegurarAplicacion();
    QFileDialog dialogo(nullptr, qelmfc::Texto(titulo));
    dialogo.setAcceptMode(QFileDialog::AcceptOpen);
    dialogo.setFileMode((pedido.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
    QStringList filtros;
    for (const auto &f : pedido.filters)
        filtros << FiltroQt(f);
    if (!filtros.isEmpty())
    {
        dialogo.setNameFilters(filtros);
        dialogo.selectNameFilter(filtros.value(static_cast<int>(pedido.filter)));
    }
    if (!pedido.folder.empty())
        dialogo.setDirectory(qelmfc::Texto(RutaDelPc(pedido.folder)));
    if (!pedido.name.empty())
        dialogo.selectFile(qelmfc::Texto(RutaDelPc(pedido.name)));
    if (!pedido.defaultExtension.empty())
        dialogo.setDefaultSuffix(qelmfc::Texto(pedido.defaultExtension));
    if (dialogo.exec() != QDialog::Accepted || dialogo.selectedFiles().isEmpty())
        return false;
    ruta = qelmfc::Ansi(dialogo.selectedFiles().front());
    const auto elegido = filtros.indexOf(dialogo.selectedNameFilter());
    filtro = elegido < 0 ? pedido.filter : static_cast<size_t>(elegido);
    return true;
}

bool Proveedor(void *, const kitwin::OpenFileRequest &pedido, std::string &ruta, size_t &filtro)
{
    const std::string titulo = pedido.title.empty() ? kTituloAbrir : pedido.title;
    std::shared_ptr<CGuion> guion = qelmfc::GuionEnUso();
    std::string elegida;
    const bool elegido =
        guion ? guion->ResponderFichero(titulo, elegida) : EnPantalla(pedido, titulo, elegida, filtro);
    std::string filtros;
    for (const auto &f : pedido.filters)
        filtros += (filtros.empty() ? "" : "; ") + f.first;
    qelmfc::Transcribir("-- Fichero «" + titulo + "» (" + filtros +
                        "): " + (elegido ? elegida : "-> Cancelar"));
    if (elegido)
        ruta = RutaDelPc(elegida);
    return elegido;
}

// The library's dialogs are the process's from the moment it is loaded.
const bool g_instalado = [] {
    kitwin::SetOpenFileProvider(Proveedor, nullptr);
    return true;
}();
} // namespace
