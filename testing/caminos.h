// The roads of a configuration as the wizard's user takes them: the answers of each page, the
// PC each road needs and what the router holds at its end. Shared by the wizard's tests and the
// soak (no GoogleTest here). Texts are Windows 1252, as the host's transcript.
#pragma once

#include "platform/windows.h"

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace caminos
{
inline constexpr char kConfig[] =
    "[General]\r\nTitulo=Asistente de configuración ADSL\r\nNemonico=QelAsistPrueba\r\n"
    "Registro=KitADSL\r\nMutex=QelAsistMutex\r\n\r\n[DNS]\r\nDNS1=192.0.2.53\r\n"
    "DNS2=198.51.100.53\r\n";
// The same with the registry key "ADSL", the one the machine tool's WinPoET selector is under.
inline const std::string kConfigAdsl = [] {
    std::string config = kConfig;
    config.replace(config.find("Registro=KitADSL"), 16, "Registro=ADSL");
    return config;
}();

// Exit codes of QelExec.
inline constexpr int kFinalizado = 0, kCancelado = 1, kAgotado = 2, kSinVentana = 4;

inline constexpr UINT kMonopuesto = 1121, kMultipuesto = 1122, kEstatico = 1161, kDinamico = 1162;
inline constexpr UINT kDhcpDelRouter = 1441, kDireccionPropia = 1442;
inline constexpr char kRealtek[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
inline constexpr char kIntel[] = "Intel(R) PRO/100 VE Network Connection";
inline constexpr char kFamilias[][5] = {"95", "98", "98se", "me", "nt4", "2000", "xp"};

// The walk to the requirements check for a mode: operation "Configurar.", the mode, the
// addressing.
inline std::string HastaRequisitos(UINT modo, UINT direccionamiento)
{
    return "[Página 2001]\nPulsar=Siguiente>\n[Página 2023]\nElegir=1081\nPulsar=Siguiente>\n"
           "[Página 2004]\nElegir=" +
           std::to_string(modo) +
           "\nPulsar=Siguiente>\n[Página 2011]\nElegir=" + std::to_string(direccionamiento) +
           "\nPulsar=Siguiente>\n[Página 2005]\n";
}

// One PC, static addressing, up to the summary; Next there goes to the connectivity check.
inline std::string HastaResumen()
{
    return HastaRequisitos(kMonopuesto, kEstatico) +
           "[Página 2002]\nPulsar=Siguiente>\n"
           "[Página 2006]\nEscribir 1282=80.58.1.10\nEscribir 1284=255.255.255.0\nPulsar=Siguiente>\n"
           "[Página 2021]\nPulsar=Siguiente>\n[Página 2013]\nPulsar=Siguiente>\n";
}
// The walk through the connectivity check to the console page, with no router on the network.
inline std::string HastaConsola()
{
    return HastaResumen() + "[Página 2014]\n[Página 2028]\nPulsar=Siguiente>\n[Página 2015]\n";
}
// ... and on to the page of the address typed by hand, without reading the console.
inline std::string HastaManual()
{
    return HastaConsola() + "Pulsar=Ignorar\n[Página 2016]\n";
}
// The console road to the restart the address typed by hand asks for; the wizard resumes at the
// summary once the PC has restarted (kTrasReiniciar).
inline std::string PorLaConsola()
{
    return HastaConsola() + "Pulsar=Siguiente>\n[Página 2029]\n[Página 2016]\nPulsar=Reconfigurar\n"
                            "[Mensaje]\nTítulo=¿Reiniciar el ordenador?\nRespuesta=Aceptar\n";
}

// The configuration runs on its own; the end page's Finish keeps the answers and restarts.
inline constexpr char kFinal[] = "[Página 2007]\nEspera=120000\n[Página 2008]\nPulsar=Finalizar\n";
// The wizard started again with Windows after the restart, on to the end.
inline const std::string kTrasReiniciar =
    std::string("[Página 2001]\nPulsar=Siguiente>\n[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n") +
    kFinal;

// One road of the wizard: the PC's family and the answers that choose the mode.
struct Camino
{
    const char *familia;
    UINT modo, direccionamiento;
    UINT reparto; // several PCs: the router's DHCP (1441) or the PC's own address (1442)

    bool Monopuesto() const { return modo == kMonopuesto; }
    bool Estatico() const { return direccionamiento == kEstatico; }
    bool PcConDhcp() const { return Monopuesto() || reparto == kDhcpDelRouter; }
    bool Nueve() const
    {
        const std::string_view f = familia;
        return f == "95" || f == "98" || f == "98se" || f == "me";
    }
    // WinPoET on the NT family, EnterNet on 9x: one PC with dynamic addressing needs one.
    std::vector<std::string> Cliente() const
    {
        if (Nueve())
            return {"--pppoe", "enternet", "--winpoet-selector", "0"};
        return {"--pppoe", "winpoet", "--winpoet-selector", "1"};
    }
    // The answers from the welcome page to the connectivity check.
    std::string HastaConectividad() const
    {
        std::string guion = HastaRequisitos(modo, direccionamiento) + "[Página 2002]\nPulsar=Siguiente>\n";
        guion +=
            Estatico()
                ? "[Página 2006]\nEscribir 1282=80.58.1.10\nEscribir 1284=255.255.255.0\nPulsar=Siguiente>\n"
                : "[Página 2003]\nEscribir 1362=usuario@adsl\nEscribir 1364=secreto\nPulsar=Siguiente>\n";
        if (Monopuesto() && Estatico())
            guion += "[Página 2021]\nPulsar=Siguiente>\n";
        if (!Monopuesto())
            guion += "[Página 2012]\nElegir=" + std::to_string(reparto) + "\nPulsar=Siguiente>\n";
        return guion + "[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n";
    }
    // ... then through the port page (several PCs) to the configuration run.
    std::string HastaConfigurar() const
    {
        return HastaConectividad() + (Monopuesto() ? "" : "[Página 2026]\nPulsar=Siguiente>\n");
    }
    // The answers from the welcome page to the end.
    std::string Guion() const { return HastaConfigurar() + kFinal; }
    // The router's running settings the mode's plan implies (DNS from the wizard's Config.ini).
    std::map<std::string, std::string> Router() const
    {
        if (Monopuesto() && Estatico())
            return {{"30200008", "80.58.1.1"}, {"30200009", "24"},         {"40000013", "10.0.0.5"},
                    {"40000015", "8"},         {"30200001", "1"},          {"30200002", "80.58.1.10"},
                    {"30200003", "1"},         {"30200004", "192.0.2.53"}, {"30200005", "198.51.100.53"},
                    {"40000011", "0"},         {"10000006", "0"},          {"40000004", "3"}};
        if (Monopuesto())
            return {{"30200008", "192.168.1.1"}, {"30200009", "24"},
                    {"30200001", "1"},           {"30200002", "192.168.1.33"},
                    {"30200003", "32"},          {"40000011", "0"},
                    {"10000006", "1"},           {"40000004", "3"}};
        std::map<std::string, std::string> ajustes = {
            {"30200008", "172.16.0.1"}, {"30200009", "16"}, {"40000011", "1"}, {"10000006", "0"}};
        if (reparto == kDhcpDelRouter)
            ajustes.insert({{"30200001", "1"},
                            {"30200002", "172.16.0.5"},
                            {"30200003", "250"},
                            {"30200004", "192.0.2.53"}});
        else
            ajustes.insert({"30200001", "0"});
        if (Estatico())
            ajustes.insert({{"40000013", "80.58.1.10"}, {"40000004", "3"}});
        else
            ajustes.insert({{"40000004", "2"}, {"40000009", "usuario@adsl"}, {"40000010", "secreto"}});
        return ajustes;
    }
};

// "Windows98_OnePcStatic", "Windowsxp_SeveralPcsDynamicRoutersDhcp"...
inline std::string NombreDelCamino(const Camino &c)
{
    std::string nombre = std::string("Windows") + c.familia + (c.Monopuesto() ? "_OnePc" : "_SeveralPcs") +
                         (c.Estatico() ? "Static" : "Dynamic");
    if (!c.Monopuesto())
        nombre += c.reparto == kDhcpDelRouter ? "RoutersDhcp" : "OwnAddress";
    return nombre;
}

// How a test names the road it runs.
inline void PrintTo(const Camino &c, std::ostream *os)
{
    *os << NombreDelCamino(c);
}

// The six modes of a configuration, for a family.
inline std::vector<Camino> LosModos(const char *familia)
{
    return {{familia, kMonopuesto, kEstatico, 0},
            {familia, kMonopuesto, kDinamico, 0},
            {familia, kMultipuesto, kEstatico, kDhcpDelRouter},
            {familia, kMultipuesto, kEstatico, kDireccionPropia},
            {familia, kMultipuesto, kDinamico, kDhcpDelRouter},
            {familia, kMultipuesto, kDinamico, kDireccionPropia}};
}
// How the PC's card takes its address, from `machine show` (Windows 1252): "DHCP" or
// "fixed address".
inline std::string ComoTomaSuDireccion(const std::string &pc)
{
    const auto tarjeta = pc.find(std::string("  1  ") + kRealtek + "  (");
    if (tarjeta == std::string::npos)
        return "<no card>";
    const auto inicio = pc.find('(', tarjeta) + 1;
    return pc.substr(inicio, pc.find(';', inicio) - inicio);
}
} // namespace caminos
