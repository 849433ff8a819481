// The record of the components' events.
#include "outside/daxicom/Eventos.h"

#include <mutex>

namespace daxicom
{
namespace
{
// A run fires a few hundred events; a component stuck firing progress must not grow this
// without end.
constexpr std::size_t kMaxEventos = 20000;

struct Registro
{
    std::mutex lock; // events come from every component's threads
    std::vector<EventoVisto> eventos;
};

Registro &ElRegistro()
{
    static Registro *registro = new Registro; // used until the process ends, never destroyed
    return *registro;
}
} // namespace

void AnotarEvento(const std::string &componente, DISPID dispid, LONG lStatus, const std::string &texto)
{
    Registro &r = ElRegistro();
    std::lock_guard<std::mutex> guard(r.lock);
    if (r.eventos.size() >= kMaxEventos)
        r.eventos.erase(r.eventos.begin());
    r.eventos.push_back({GetTickCount(), componente, dispid, lStatus, texto});
}

std::vector<EventoVisto> EventosVistos()
{
    Registro &r = ElRegistro();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.eventos;
}
} // namespace daxicom
