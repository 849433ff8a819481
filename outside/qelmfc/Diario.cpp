// The record of what the user was shown: kept for the whole process, read by the support report.
#include "outside/qelmfc/Aplicacion.h"
#include "outside/qelmfc/Interfaz.h"

#include <mutex>

namespace qelmfc
{
namespace
{
// A run shows a few thousand lines at most; past this the oldest are what a report needs
// least, and a program looping on a page must not grow without end.
constexpr std::size_t kMaxLineas = 20000;

struct Diario
{
    std::mutex lock; // lines come from the user-interface thread and the components' threads
    std::vector<LineaVista> lineas;
    std::vector<PaginaVista> paginas;
    std::vector<MensajeVisto> mensajes;
};

Diario &ElDiario()
{
    static Diario *diario = new Diario; // used until the process ends, never destroyed
    return *diario;
}

template <class T> void Anotar(std::vector<T> &lista, T entrada)
{
    if (lista.size() >= kMaxLineas)
        lista.erase(lista.begin());
    lista.push_back(std::move(entrada));
}

template <class T> std::vector<T> Copia(const std::vector<T> &lista)
{
    std::lock_guard<std::mutex> guard(ElDiario().lock);
    return lista;
}
} // namespace

void AnotarLinea(const std::string &linea)
{
    std::lock_guard<std::mutex> guard(ElDiario().lock);
    Anotar(ElDiario().lineas, LineaVista{GetTickCount(), linea});
}

void AnotarPagina(int indice, UINT dialogo, const std::string &titulo)
{
    std::lock_guard<std::mutex> guard(ElDiario().lock);
    Anotar(ElDiario().paginas, PaginaVista{GetTickCount(), indice, dialogo, titulo});
}

void AnotarMensaje(const std::string &titulo, const std::string &texto, const std::string &respuesta)
{
    std::lock_guard<std::mutex> guard(ElDiario().lock);
    Anotar(ElDiario().mensajes, MensajeVisto{GetTickCount(), titulo, texto, respuesta});
}

std::vector<LineaVista> LineasVistas()
{
    return Copia(ElDiario().lineas);
}

std::vector<PaginaVista> PaginasVistas()
{
    return Copia(ElDiario().paginas);
}

std::vector<MensajeVisto> MensajesVistos()
{
    return Copia(ElDiario().mensajes);
}
} // namespace qelmfc
