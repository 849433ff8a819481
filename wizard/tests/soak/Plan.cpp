#include "wizard/tests/soak/Plan.h"

#include <random>

namespace soak
{
using namespace caminos;

namespace
{
// The error page's texts for the router and for the PC's TCP/IP.
constexpr char kFalloRouter[] =
    "No se ha podido establecer en su módem-router ADSL la configuración deseada.";
constexpr char kFalloTcpip[] = "No se ha podido establecer en el TCP/IP de su PC la configuración deseada.";
constexpr char kSinConsola[] =
    "No se dispone de conectividad con el módem-router ADSL a través del puerto serie.";
constexpr char kConConsola[] =
    "Se dispone de conectividad con el módem-router ADSL a través del puerto serie.";

// The user closes the wizard where the fault left it.
constexpr char kCancelarPassword[] =
    "[Página 2010]\nEspera=200000\nPulsar=Cancelar\n[Mensaje]\nTítulo=Cancelar asistente\nRespuesta=Sí\n";
constexpr char kCancelarError[] = "[Página 2009]\nEspera=200000\nPulsar=Cancelar\n";

const std::vector<Falla> kFallas = {
    {"none", Golpe::Ninguno, "", 12},
    {"refuse-login", Golpe::Router, "refuse-login", 4},
    {"drop-control", Golpe::Router, "drop-control", 4},
    {"drop-data", Golpe::Router, "drop-data", 4},
    {"garbage", Golpe::Router, "garbage", 4},
    {"slow", Golpe::Router, "slow", 4},
    // These two wait for the modem module's time-outs (30 s and 60 s a transfer, tried twice):
    // drawn less.
    {"silent", Golpe::Router, "silent", 1},
    {"no-data", Golpe::Router, "no-data", 1},
    {"registry-read-only", Golpe::Registro, "", 4},
    {"console-silent", Golpe::Consola, "console-silent", 2},
    {"console-no-password", Golpe::Consola, "console-no-password", 2},
    {"console-wrong-password", Golpe::Consola, "console-wrong-password", 2},
    {"console-garbage", Golpe::Consola, "console-garbage", 2},
    {"console-drop", Golpe::Consola, "console-drop", 2},
    {"console-dhcp-none", Golpe::Consola, "console-dhcp-none", 2},
};

bool Nueve(const std::string &familia)
{
    return Camino{familia.c_str(), 0, 0, 0}.Nueve();
}

// A fault that fits the road: console faults for the console road only (which also meets the
// fault-free router), the read-only registry only where keys have security (the NT family).
bool Cabe(const Falla &f, bool consola, const char *familia)
{
    if (consola)
        return f.golpe == Golpe::Consola || f.golpe == Golpe::Ninguno;
    if (f.golpe == Golpe::Consola)
        return false;
    return f.golpe != Golpe::Registro || !Nueve(familia);
}
} // namespace

const std::vector<Falla> &Fallas()
{
    return kFallas;
}

std::string Corrida::Nombre() const
{
    return (consola ? std::string("Windows") + camino.familia + "_OnePcStaticByConsole"
                    : NombreDelCamino(camino)) +
           "/" + falla->nombre;
}

std::string Corrida::Guion() const
{
    const std::string nombre = falla->nombre;
    if (consola)
    {
        if (nombre == "console-wrong-password")
            return HastaConsola() + "Pulsar=Siguiente>\n[Página 2029]\n" + kCancelarPassword;
        return PorLaConsola();
    }
    // Several PCs: the router's settings are read before the port page, and the login refused.
    if (nombre == "refuse-login")
        return (camino.Monopuesto() ? camino.HastaConfigurar() : camino.HastaConectividad()) +
               kCancelarPassword;
    // Several PCs: the router's settings are read before the port page, which waits for the
    // modem module's time-out under a router that sends no data.
    std::string guion = camino.HastaConfigurar();
    constexpr char kPuertos[] = "[Página 2026]\n";
    if (const size_t puertos = guion.find(kPuertos); puertos != std::string::npos)
        guion.insert(puertos + sizeof kPuertos - 1, "Espera=200000\n");
    const Esperado e = Espera();
    if (e.pagina == 20)
    {
        // The read-only registry strikes on the port page: time for it before the run.
        if (falla->golpe == Golpe::Registro && !camino.Monopuesto())
            guion.insert(guion.rfind("Pulsar=Siguiente>"), "Esperar=200\n");
        return guion + kCancelarError;
    }
    return guion + kFinal;
}

Esperado Corrida::Espera() const
{
    const std::string nombre = falla->nombre;
    if (nombre == "refuse-login" || nombre == "console-wrong-password")
        return {kCancelado, 22, false, false, ""};
    if (falla->golpe == Golpe::Registro)
        return {kCancelado, 20, true, false, kFalloTcpip};
    if (falla->golpe == Golpe::Router && nombre != "slow")
        return {kCancelado, 20, false, false, kFalloRouter};
    if (consola)
    {
        // Without its password prompt the console is not the router's: the reader gives up.
        const bool leida = nombre == "none" || nombre == "console-dhcp-none";
        return {kFinalizado, 21, true, true, leida ? kConConsola : kSinConsola};
    }
    return {kFinalizado, 21, true, true, "Configuración correcta"};
}

std::vector<Corrida> Planear(int n, uint64_t semilla, const std::string &solo)
{
    std::mt19937_64 azar(semilla);
    std::vector<Corrida> corridas;
    while (static_cast<int>(corridas.size()) < n)
    {
        const char *familia =
            kFamilias[std::uniform_int_distribution<size_t>(0, std::size(kFamilias) - 1)(azar)];
        // Six modes and the console road.
        const size_t road = std::uniform_int_distribution<size_t>(0, 6)(azar);
        const bool consola = road == 6;
        const Camino camino = consola ? Camino{familia, kMonopuesto, kEstatico, 0} : LosModos(familia)[road];
        std::vector<const Falla *> posibles;
        std::vector<int> pesos;
        for (const Falla &f : kFallas)
            if (Cabe(f, consola, familia) && (solo.empty() || solo == f.nombre))
            {
                posibles.push_back(&f);
                pesos.push_back(f.peso);
            }
        if (posibles.empty())
            continue; // the one fault asked for does not fit this road: another road
        const size_t cual = std::discrete_distribution<size_t>(pesos.begin(), pesos.end())(azar);
        corridas.push_back({static_cast<int>(corridas.size()) + 1, camino, consola, posibles[cual]});
    }
    return corridas;
}
} // namespace soak
