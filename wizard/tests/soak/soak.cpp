// soak: N complete unattended configurations in a row, each on a fresh PC against the simulated
// router with a fault drawn from a seed, each checked for where it ended, what it left on the
// router and the PC, its trace logs and its processes; then a report.
//
//   soak [N] [--seed S] [--workers W] [--clock F] [--run K] [--fault NAME] [--keep]
//
// N runs (500) drawn from the seed S (from the clock unless given; printed, so that --seed S
// gives the same runs again; --run K does only the K-th of them; --fault NAME draws only that
// fault), W at a time (2), each on a PC
// and router of its own, the pages' timers sped up by F (KIT_UI_CLOCK, 0.05). A failed run's
// folder (transcripts, PC, router) is kept and named in the report; --keep keeps every one.
// Exit code: 0 every run as expected, 1 some failed, 2 a bad command line.
#include "testing/caminos.h"
#include "testing/hostfile.h"
#include "testing/machine.h"
#include "testing/servers.h"
#include "testing/tracelog.h"
#include "testing/wizard.h"
#include "wizard/tests/soak/Plan.h"
#include "wizard/tests/soak/Proceso.h"

#include "platform/kit/kitconsole.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <numeric>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using namespace caminos;
using soak::Corrida;
using soak::Esperado;

constexpr int kLimiteHostMs = 300000; // a run that takes longer has hung
constexpr int kLimitePasoMs = 60000;  // a tool's command
constexpr int kLimiteHijoMs = 20000;  // a program the wizard started, after the wizard ended
constexpr int kRetrasoLentoMs = 100;  // the slow router's pause before each reply
constexpr const char *kLogs[] = {"DaxModem.txt",    "DaxFtp.txt",      "DaxWPoet.txt", "DaxCheckNic.txt",
                                 "DaxGetTcpip.txt", "DaxSetTcpip.txt", "QelFixRt.txt"};

struct Opciones
{
    int n = 500;
    uint64_t semilla = 0;
    bool conSemilla = false;
    int trabajadores = 2;
    std::string reloj = "0.05";
    int sola = 0;
    std::string falla; // only this fault
    bool guardar = false;
};

struct Resultado
{
    int salida = -1;
    int pagina = -1;
    std::vector<std::string> fallos;
    long picoHostKb = 0;
    double segundos = 0;
    std::map<std::string, int> hijos;   // programs still running once the wizard ended, by name
    std::map<std::string, int> muertos; // ... of them, those the soak had to end
    std::string carpeta;
};

// The settings each PC holds at the end of a fault-free road, by road: the first seen is the
// reference of the others.
class Referencias
{
  public:
    // True when `registro` is the road's (or it is the first).
    bool Coincide(const std::string &camino, const std::string &registro)
    {
        std::lock_guard guard(m_);
        auto [it, nuevo] = tcpip_.try_emplace(camino, registro);
        return nuevo || it->second == registro;
    }

  private:
    std::mutex m_;
    std::map<std::string, std::string> tcpip_;
};

std::string Leer(const std::string &fichero)
{
    return kittest::ReadHostFile(fichero, "");
}
void Escribir(const std::string &fichero, const std::string &bytes)
{
    kittest::WriteHostFile(fichero, bytes);
}

// The page and exit the host's last words name: "QelExec: el asistente ... la página 21 (2008).".
int PaginaFinal(const std::string &salida)
{
    static const std::regex kFin(R"(QelExec: .* (\d+) \((\d+)\)\.)");
    int pagina = -1;
    std::istringstream lineas(salida);
    for (std::string linea; std::getline(lineas, linea);)
    {
        std::smatch m;
        if (std::regex_search(linea, m, kFin))
            pagina = std::stoi(m[1].str());
    }
    return pagina;
}

// The router's running settings by code, as `routersim show` prints them.
std::map<std::string, std::string> Ajustes(const std::string &texto)
{
    std::map<std::string, std::string> ajustes;
    std::istringstream lineas(texto);
    for (std::string linea; std::getline(lineas, linea);)
        if (const size_t igual = linea.find(" = "); igual != std::string::npos)
            ajustes[linea.substr(0, igual)] = linea.substr(igual + 3);
    return ajustes;
}

// A REGEDIT4 export without the values that hold the PC's own folder (the services' programs
// and the hosts file's folder: the wizard writes neither).
std::string SinRutasDelPc(const std::string &exportado)
{
    std::string limpio;
    bool saltando = false;
    std::istringstream lineas(exportado);
    for (std::string linea; std::getline(lineas, linea);)
    {
        if (!saltando)
            saltando = linea.starts_with("\"DataBasePath\"=") || linea.starts_with("\"ImagePath\"=");
        if (!saltando)
            limpio += linea + "\n";
        if (saltando && !linea.ends_with("\\\r") && !linea.ends_with("\\"))
            saltando = false;
    }
    return limpio;
}

// One run: its folder, its PC and router, its checks.
class Corredor
{
  public:
    Corredor(const Corrida &c, const std::string &base, const Opciones &o, Referencias &refs)
        : c_(c), o_(o), refs_(refs), esperado_(c.Espera())
    {
        char nombre[32];
        std::snprintf(nombre, sizeof nombre, "/run-%04d", c.indice);
        dir_ = base + nombre;
        pc_ = dir_ + "/pc";
        asistente_ = dir_ + "/asistente";
        fs::create_directories(pc_);
        entorno_ = soak::Entorno({{"KIT_MACHINE", pc_},
                                  {"KIT_UI_CLOCK", o.reloj},
                                  {"KIT_ANSWERS", ""},
                                  {"KIT_LIB", ""},
                                  {"KIT_KEEP_MACHINE", ""}});
    }

    Resultado Correr()
    {
        const auto inicio = std::chrono::steady_clock::now();
        if (PrepararPc() && ArrancarRouter())
        {
            const std::string routerAntes = Paso("routersim", {"show", "--state", Estado()});
            const std::string pcAntes = TcpipDelPc();
            Conducir();
            Comprobar(routerAntes, pcAntes);
        }
        Apagar();
        r_.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        r_.carpeta = dir_;
        if (r_.fallos.empty() && !o_.guardar)
        {
            std::error_code ec;
            fs::remove_all(dir_, ec);
            r_.carpeta.clear();
        }
        return r_;
    }

  private:
    std::string Estado() const { return pc_ + "/router"; }

    void Fallo(const std::string &texto) { r_.fallos.push_back(texto); }

    // A tool's command on the run's PC; its output, and a failure when it fails.
    std::string Paso(const std::string &programa, const std::vector<std::string> &argumentos)
    {
        const std::string salida = dir_ + "/paso.out";
        const soak::Terminado t = soak::Correr(programa, argumentos, entorno_, salida, kLimitePasoMs);
        if (t.salida != 0)
            Fallo(programa + " " + (argumentos.empty() ? "" : argumentos[0]) + " ended with " +
                  std::to_string(t.salida) + (t.colgado ? " (hung)" : "") + ": " +
                  Leer(salida).substr(0, 200));
        return Leer(salida);
    }

    bool PrepararPc()
    {
        std::vector<std::string> crear = {"create", "--os",   c_.camino.familia, "--force",
                                          "--nic",  kRealtek, "--dhcp"};
        for (const std::string &opcion : c_.camino.Cliente())
            crear.push_back(opcion);
        Paso("machine", crear);
        for (const char *servidor : {"DaxParam.dll", "DaxTcpip.dll", "DaxModem.dll", "DaxWPoet.dll"})
            Paso("regsvr32", {"/s", servidor});
        kittest::InstallWizard(asistente_);
        Escribir(asistente_ + "/Config.ini", kConfigAdsl);
        fs::copy_file(kittest::BinDir() + "/QelFixRt", asistente_ + "/QelFixRt",
                      fs::copy_options::overwrite_existing);
        return r_.fallos.empty();
    }

    bool ArrancarRouter()
    {
        std::vector<std::string> extra = {"--restart-seconds", "1"};
        if (c_.falla->golpe == soak::Golpe::Router || c_.falla->golpe == soak::Golpe::Consola)
            extra.insert(extra.end(),
                         {"--fault", c_.falla->routersim, "--delay", std::to_string(kRetrasoLentoMs)});
        fs::create_directories(Estado());
        router_ = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), Estado(), pc_, extra);
        if (!router_->Started())
        {
            Fallo("routersim did not start");
            return false;
        }
        red_ = Leer(pc_ + "/network.ini");
        TambienEn();
        return true;
    }
    // Once configured the router also answers at its new LAN address, where the route fixer
    // looks for it.
    void TambienEn()
    {
        Escribir(pc_ + "/network.ini", Leer(pc_ + "/network.ini") + "80.58.1.1:80=127.0.0.1:" +
                                           std::to_string(router_->HttpPort()) + "\r\n");
    }

    // The TCP/IP settings of the PC, as regedit exports its services.
    std::string TcpipDelPc()
    {
        const std::string fichero = dir_ + "/servicios.reg";
        Paso("regedit", {"/e", fichero, "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services"});
        return SinRutasDelPc(Leer(fichero));
    }

    std::string Respuestas(const std::string &nombre, const std::string &texto)
    {
        const std::string fichero = dir_ + "/" + nombre;
        Escribir(fichero, texto);
        return fichero;
    }

    // The host on the road's answers (and, on the console road, Windows starting it again).
    void Conducir()
    {
        if (c_.consola)
            Escribir(pc_ + "/network.ini", "[Hosts]\r\n"); // the network cable is out
        bool disparado = false;
        const auto vigilar = [&](const std::string &linea) {
            // The TCP/IP keys become read-only once the router's settings are read: the PC's user
            // is no longer an administrator.
            if (c_.falla->golpe != soak::Golpe::Registro || disparado)
                return;
            if (linea.find("Se dispone de conectividad. Vamos") != std::string::npos ||
                (linea.starts_with("== ") && linea.find("(2026)") != std::string::npos))
            {
                disparado = true;
                Paso("machine", {"set", "admin", "no"});
            }
        };
        const std::string salida = dir_ + "/host.out";
        const soak::Terminado t =
            soak::Correr("QelExec",
                         {"--dir", asistente_, "--unattended", Respuestas("respuestas.ini", c_.Guion()),
                          "--transcript", dir_ + "/transcripcion.txt"},
                         entorno_, salida, kLimiteHostMs, vigilar);
        Anotar(t, salida);
        Hijos();
        if (!c_.consola || t.salida != kCancelado || esperado_.pagina == 22)
            return;
        if (ComoTomaSuDireccion(kitpc::PcText(Paso("machine", {"show"}))) != "fixed address")
            Fallo("the address typed by hand was not given to the PC before the restart");
        // The cable is back in and the PC restarts. The user starts the wizard again, as its
        // box asks: the restart entry would start the host without answers, on the build's copy
        // of the wizard (a bare library name is found beside the common library first).
        Escribir(pc_ + "/network.ini", red_);
        TambienEn();
        Paso("regedit",
             {"/s", Respuestas("sin-reinicio.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\"
                                                   "Microsoft\\Windows\\CurrentVersion\\RunOnce]"
                                                   "\r\n\"QelExec\"=-\r\n")});
        Paso("machine", {"reboot"});
        const std::string otra = dir_ + "/host-tras-reiniciar.out";
        Anotar(soak::Correr("QelExec",
                            {"--dir", asistente_, "--unattended",
                             Respuestas("tras-reiniciar.ini", kTrasReiniciar), "--transcript",
                             dir_ + "/transcripcion-tras-reiniciar.txt"},
                            entorno_, otra, kLimiteHostMs),
               otra);
        Hijos();
    }

    void Anotar(const soak::Terminado &t, const std::string &salida)
    {
        r_.salida = t.salida;
        r_.pagina = PaginaFinal(Leer(salida));
        r_.picoHostKb = std::max(r_.picoHostKb, t.picoKb);
        if (t.colgado)
            Fallo("hung: killed after " + std::to_string(kLimiteHostMs / 1000) + " s (" + salida + ")");
    }

    // The programs the wizard started and did not wait for (the route fixer, winipcfg, and the
    // route commands the route fixer starts in its turn): counted, and ended when they do not
    // end by themselves.
    void Hijos()
    {
        std::set<pid_t> vistos;
        for (bool otro = true; otro;)
        {
            otro = false;
            for (const soak::Resto &resto : soak::ProcesosDelPc(pc_))
            {
                if (resto.nombre == "routersim" || !vistos.insert(resto.pid).second)
                    continue;
                otro = true;
                ++r_.hijos[resto.nombre];
                if (!soak::EsperarFin(resto.pid, kLimiteHijoMs))
                {
                    ++r_.muertos[resto.nombre];
                    soak::Matar(resto.pid);
                    Fallo(resto.nombre + " still running " + std::to_string(kLimiteHijoMs / 1000) +
                          " s after the wizard ended");
                }
            }
        }
    }

    void Comprobar(const std::string &routerAntes, const std::string &pcAntes)
    {
        if (r_.salida != esperado_.salida || r_.pagina != esperado_.pagina)
            Fallo("ended with exit code " + std::to_string(r_.salida) + " on page " +
                  std::to_string(r_.pagina) + ", expected " + std::to_string(esperado_.salida) + " on page " +
                  std::to_string(esperado_.pagina));
        if (!esperado_.linea.empty() &&
            Leer(dir_ + "/transcripcion.txt").find(esperado_.linea) == std::string::npos)
            Fallo("the transcript lacks \"" + kitpc::TerminalText(esperado_.linea) + "\"");
        ComprobarRouter(routerAntes);
        ComprobarPc(pcAntes);
        for (const char *log : kLogs)
        {
            const std::string contenido = Leer(pc_ + "/temp/" + log);
            for (const std::string &falta : kittest::TraceLogFaults(contenido))
                Fallo(std::string(log) + ": " + kitpc::TerminalText(falta));
        }
    }

    void ComprobarRouter(const std::string &antes)
    {
        const std::string despues = Paso("routersim", {"show", "--state", Estado()});
        const auto ajustes = Ajustes(despues);
        bool nuevo = true;
        for (const auto &[codigo, valor] : c_.camino.Router())
            nuevo = nuevo && ajustes.contains(codigo) && ajustes.at(codigo) == valor;
        if (esperado_.routerNuevo && !nuevo)
            Fallo("the router lacks the road's settings");
        if (!esperado_.routerNuevo && despues != antes)
            Fallo(nuevo ? "the router took the new settings"
                        : "the router holds neither its old nor the new settings");
    }

    void ComprobarPc(const std::string &antes)
    {
        const std::string despues = TcpipDelPc();
        if (!esperado_.pcNuevo)
        {
            if (despues != antes)
                Fallo("the PC's TCP/IP changed although the run failed");
            return;
        }
        const std::string como = ComoTomaSuDireccion(kitpc::PcText(Paso("machine", {"show"})));
        if (como != (c_.camino.PcConDhcp() ? "DHCP" : "fixed address"))
            Fallo("the PC's card takes its address by " + como);
        const std::string camino = c_.Nombre().substr(0, c_.Nombre().find('/'));
        if (!refs_.Coincide(camino, despues))
            Fallo("the PC's TCP/IP differs from the other runs of " + camino);
    }

    // The router stops; nothing of the PC may be left running.
    void Apagar()
    {
        if (router_)
        {
            const int estado = router_->Stop();
            if (estado != 0)
                Fallo("routersim ended with " + std::to_string(estado));
            router_.reset();
        }
        for (const soak::Resto &resto : soak::ProcesosDelPc(pc_))
        {
            Fallo("left running: " + resto.nombre + " (" + std::to_string(resto.pid) + ")");
            soak::Matar(resto.pid);
        }
    }

    const Corrida &c_;
    const Opciones &o_;
    Referencias &refs_;
    const Esperado esperado_;
    std::string dir_, pc_, asistente_, red_;
    std::vector<std::string> entorno_;
    std::unique_ptr<kitservers::RouterSim> router_;
    Resultado r_;
};

// --- the report ---

struct Medida
{
    long rssKb;
    int fds;
};

double Media(const std::vector<long> &v, size_t desde, size_t hasta)
{
    if (hasta <= desde)
        return 0;
    return std::accumulate(v.begin() + static_cast<long>(desde), v.begin() + static_cast<long>(hasta), 0.0) /
           static_cast<double>(hasta - desde);
}

// First and last tenth of a series, in the order the runs ended.
std::string Deciles(const std::vector<long> &v)
{
    const size_t decimo = std::max<size_t>(1, v.size() / 10);
    char texto[128];
    std::snprintf(texto, sizeof texto, "first decile %.0f, last decile %.0f, max %ld", Media(v, 0, decimo),
                  Media(v, v.size() - std::min(decimo, v.size()), v.size()),
                  v.empty() ? 0 : *std::max_element(v.begin(), v.end()));
    return texto;
}

void Tabla(const char *titulo, const std::map<std::string, int> &cuentas)
{
    std::printf("%s\n", titulo);
    for (const auto &[nombre, n] : cuentas)
        std::printf("  %-44s %5d\n", nombre.c_str(), n);
}

void Informe(const Opciones &o, const std::vector<Corrida> &corridas,
             const std::vector<Resultado> &resultados, const std::vector<Medida> &medidas,
             const std::vector<long> &picos, double segundos)
{
    std::map<std::string, int> familias, caminos, fallas, hijos, muertos;
    std::map<std::string, std::map<std::string, int>> salidas;
    int fallidas = 0;
    for (size_t i = 0; i < corridas.size(); ++i)
    {
        const Corrida &c = corridas[i];
        const Resultado &r = resultados[i];
        ++familias[c.camino.familia];
        ++caminos[c.Nombre().substr(c.Nombre().find('_') + 1,
                                    c.Nombre().find('/') - c.Nombre().find('_') - 1)];
        ++fallas[c.falla->nombre];
        ++salidas[c.falla->nombre]["page " + std::to_string(r.pagina) + " exit " + std::to_string(r.salida)];
        for (const auto &[n, k] : r.hijos)
            hijos[n] += k;
        for (const auto &[n, k] : r.muertos)
            muertos[n] += k;
        fallidas += !r.fallos.empty();
    }
    std::printf("\n==== soak report\n");
    std::printf("runs: %zu   seed: %llu   workers: %d   UI clock: %s   total time: %.0f s (%.1f s a run)\n",
                corridas.size(), static_cast<unsigned long long>(o.semilla), o.trabajadores, o.reloj.c_str(),
                segundos, corridas.empty() ? 0.0 : segundos / static_cast<double>(corridas.size()));
    Tabla("runs by family:", familias);
    Tabla("runs by road:", caminos);
    Tabla("faults injected:", fallas);
    std::printf("outcomes by fault (the page the wizard closed on, the host's exit code):\n");
    for (const auto &[falla, cuentas] : salidas)
    {
        std::printf("  %s:", falla.c_str());
        for (const auto &[salida, n] : cuentas)
            std::printf("  %s x%d", salida.c_str(), n);
        std::printf("\n");
    }
    Tabla("programs the wizard left running when it ended (waited for):", hijos);
    Tabla("... of them ended by the soak:", muertos);
    std::vector<long> rss, fds;
    for (const Medida &m : medidas)
    {
        rss.push_back(m.rssKb);
        fds.push_back(m.fds);
    }
    std::printf("memory:\n  host peak RSS, kB: %s\n  soak RSS, kB: %s\n  soak open fds: %s\n",
                Deciles(picos).c_str(), Deciles(rss).c_str(), Deciles(fds).c_str());
    std::printf("failures: %d\n", fallidas);
    for (size_t i = 0; i < corridas.size(); ++i)
        if (!resultados[i].fallos.empty())
        {
            std::printf("  run %d %s (%s)\n", corridas[i].indice, corridas[i].Nombre().c_str(),
                        resultados[i].carpeta.c_str());
            for (const std::string &f : resultados[i].fallos)
                std::printf("    - %s\n", f.c_str());
        }
    std::printf("reproduce: soak %d --seed %llu\n", o.n, static_cast<unsigned long long>(o.semilla));
}

bool LeerOpciones(int argc, char **argv, Opciones &o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        const bool valor = i + 1 < argc;
        if (a == "--seed" && valor)
        {
            o.semilla = std::stoull(argv[++i]);
            o.conSemilla = true;
        }
        else if (a == "--workers" && valor)
            o.trabajadores = std::max(1, std::atoi(argv[++i]));
        else if (a == "--clock" && valor)
            o.reloj = argv[++i];
        else if (a == "--run" && valor)
            o.sola = std::atoi(argv[++i]);
        else if (a == "--fault" && valor)
            o.falla = argv[++i];
        else if (a == "--keep")
            o.guardar = true;
        else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos)
            o.n = std::atoi(a.c_str());
        else
            return false;
    }
    return o.n > 0;
}
} // namespace

int main(int argc, char **argv)
{
    Opciones o;
    const auto conocida = [&] {
        return o.falla.empty() || std::any_of(soak::Fallas().begin(), soak::Fallas().end(),
                                              [&](const soak::Falla &f) { return o.falla == f.nombre; });
    };
    if (!LeerOpciones(argc, argv, o) || !conocida())
    {
        std::fprintf(
            stderr,
            "usage: soak [N] [--seed S] [--workers W] [--clock F] [--run K] [--fault NAME] [--keep]\n");
        return 2;
    }
    if (!o.conSemilla)
        o.semilla = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    std::vector<Corrida> corridas = soak::Planear(o.n, o.semilla, o.falla);
    if (o.sola > 0)
    {
        if (o.sola > o.n)
            return 2;
        corridas = {corridas[static_cast<size_t>(o.sola - 1)]};
    }
    const std::string base = kittest::NewTempDir("kit-soak");
    std::printf("soak: %zu runs, seed %llu, in %s\n", corridas.size(),
                static_cast<unsigned long long>(o.semilla), base.c_str());
    std::fflush(stdout);

    const auto inicio = std::chrono::steady_clock::now();
    Referencias refs;
    std::vector<Resultado> resultados(corridas.size());
    std::vector<Medida> medidas;
    std::vector<long> picos;
    std::mutex m;
    std::atomic<size_t> siguiente{0};
    const auto trabajar = [&] {
        for (size_t i; (i = siguiente++) < corridas.size();)
        {
            Resultado r = Corredor(corridas[i], base, o, refs).Correr();
            std::lock_guard guard(m);
            medidas.push_back({soak::MemoriaResidenteKb(), soak::DescriptoresAbiertos()});
            picos.push_back(r.picoHostKb);
            std::printf("[%4zu/%zu] run %d %-58s page %2d exit %d %5.1f s%s\n", medidas.size(),
                        corridas.size(), corridas[i].indice, corridas[i].Nombre().c_str(), r.pagina, r.salida,
                        r.segundos, r.fallos.empty() ? "" : "  FAILED");
            std::fflush(stdout);
            resultados[i] = std::move(r);
        }
    };
    std::vector<std::thread> trabajadores;
    for (int w = 0; w < o.trabajadores; ++w)
        trabajadores.emplace_back(trabajar);
    for (std::thread &t : trabajadores)
        t.join();
    const double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();

    Informe(o, corridas, resultados, medidas, picos, segundos);
    const bool bien = std::all_of(resultados.begin(), resultados.end(),
                                  [](const Resultado &r) { return r.fallos.empty(); });
    if (bien && !o.guardar)
    {
        std::error_code ec;
        fs::remove_all(base, ec);
    }
    return bien ? 0 : 1;
}
