#include "wizard/tests/soak/Proceso.h"

#include "testing/hostfile.h"
#include "testing/machine.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace soak
{
namespace
{
using Reloj = std::chrono::steady_clock;

// A descriptor closed when dropped.
class Fd
{
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

int PidFd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int MsHasta(Reloj::time_point limite)
{
    const auto quedan = std::chrono::duration_cast<std::chrono::milliseconds>(limite - Reloj::now()).count();
    return quedan < 0 ? 0 : static_cast<int>(quedan);
}

// Cuts what came into whole lines for `linea`; the rest waits for more.
void Trocear(std::string &pendiente, const std::function<void(const std::string &)> &linea)
{
    for (size_t fin; (fin = pendiente.find('\n')) != std::string::npos;)
    {
        std::string una = pendiente.substr(0, fin);
        pendiente.erase(0, fin + 1);
        if (!una.empty() && una.back() == '\r')
            una.pop_back();
        if (linea)
            linea(una);
    }
}

std::string Leer(const std::string &fichero)
{
    return kittest::ReadHostFile(fichero, "");
}
} // namespace

std::vector<std::string> Entorno(const std::map<std::string, std::string> &cambios)
{
    std::vector<std::string> entorno;
    for (char **v = environ; *v; ++v)
    {
        const std::string variable = *v;
        if (!cambios.contains(variable.substr(0, variable.find('='))))
            entorno.push_back(variable);
    }
    for (const auto &[nombre, valor] : cambios)
        if (!valor.empty())
            entorno.push_back(nombre + "=" + valor);
    return entorno;
}

Terminado Correr(const std::string &programa, const std::vector<std::string> &argumentos,
                 const std::vector<std::string> &entorno, const std::string &salida, int limiteMs,
                 const std::function<void(const std::string &)> &linea)
{
    Terminado t;
    const auto inicio = Reloj::now();
    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0)
        return t;
    Fd lectura(tubo[0]);
    posix_spawn_file_actions_t acciones;
    posix_spawn_file_actions_init(&acciones);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], 1);
    posix_spawn_file_actions_adddup2(&acciones, tubo[1], 2);
    posix_spawnattr_t atributos;
    posix_spawnattr_init(&atributos);
    posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&atributos, 0);
    const std::string ruta =
        programa.find('/') == std::string::npos ? kittest::BinDir() + "/" + programa : programa;
    std::vector<char *> argv{const_cast<char *>(ruta.c_str())};
    for (const std::string &a : argumentos)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char *> envp;
    for (const std::string &e : entorno)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, ruta.c_str(), &acciones, &atributos, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&acciones);
    posix_spawnattr_destroy(&atributos);
    ::close(tubo[1]);
    if (error != 0)
        return t;

    Fd pidfd(PidFd(pid));
    Fd fichero(salida.empty() ? -1 : ::open(salida.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const auto limite = inicio + std::chrono::milliseconds(limiteMs);
    std::string pendiente;
    bool vivo = true, abierto = true;
    // Until the program ends (its children may keep the pipe open after it) or the time is up.
    while (vivo && !t.colgado)
    {
        pollfd vigilados[2] = {{pidfd.get(), POLLIN, 0}, {lectura.get(), POLLIN, 0}};
        const int n = ::poll(vigilados, abierto ? 2 : 1, MsHasta(limite));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            t.colgado = true;
        if (vigilados[0].revents)
            vivo = false;
        if (abierto && (vigilados[1].revents || !vivo))
        {
            // What is there now; after the end, without waiting for the children to close it.
            if (!vivo)
                ::fcntl(lectura.get(), F_SETFL, O_NONBLOCK);
            char trozo[8192];
            ssize_t leidos;
            while ((leidos = ::read(lectura.get(), trozo, sizeof trozo)) > 0)
            {
                if (fichero.get() >= 0 && ::write(fichero.get(), trozo, static_cast<size_t>(leidos)) < 0)
                    break;
                pendiente.append(trozo, static_cast<size_t>(leidos));
                Trocear(pendiente, linea);
                if (vivo)
                    break;
            }
            if (leidos == 0)
                abierto = false;
        }
    }
    if (t.colgado)
        ::kill(-pid, SIGKILL);
    int estado = 0;
    rusage uso{};
    while (::wait4(pid, &estado, 0, &uso) < 0 && errno == EINTR)
    {
    }
    t.salida = WIFEXITED(estado) ? WEXITSTATUS(estado) : 128 + WTERMSIG(estado);
    t.picoKb = uso.ru_maxrss;
    t.segundos = std::chrono::duration<double>(Reloj::now() - inicio).count();
    return t;
}

std::vector<Resto> ProcesosDelPc(const std::string &pc)
{
    std::vector<Resto> restos;
    const std::string variable = "KIT_MACHINE=" + pc;
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return restos;
    while (dirent *e = ::readdir(proc))
    {
        char *fin = nullptr;
        const long pid = std::strtol(e->d_name, &fin, 10);
        if (pid <= 0 || *fin || pid == ::getpid())
            continue;
        const std::string dir = std::string("/proc/") + e->d_name;
        std::string entorno = Leer(dir + "/environ"), orden = Leer(dir + "/cmdline");
        entorno.insert(entorno.begin(), '\0');
        entorno.push_back('\0');
        const bool suyo = entorno.find('\0' + variable + '\0') != std::string::npos ||
                          orden.find(pc + '\0') != std::string::npos ||
                          orden.find(pc + '/') != std::string::npos;
        std::string nombre = Leer(dir + "/comm");
        if (!nombre.empty() && nombre.back() == '\n')
            nombre.pop_back();
        if (suyo && !nombre.empty())
            restos.push_back({static_cast<pid_t>(pid), nombre});
    }
    ::closedir(proc);
    return restos;
}

bool EsperarFin(pid_t pid, int limiteMs)
{
    Fd pidfd(PidFd(pid));
    if (pidfd.get() < 0)
        return errno == ESRCH;
    pollfd vigilado{pidfd.get(), POLLIN, 0};
    while (true)
    {
        const int n = ::poll(&vigilado, 1, limiteMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        // Gone, or a zombie whose parent has not reaped it yet: either way it has ended.
        return true;
    }
}

void Matar(pid_t pid)
{
    ::kill(pid, SIGKILL);
    EsperarFin(pid, 5000);
}

int DescriptoresAbiertos()
{
    int n = 0;
    if (DIR *fds = ::opendir("/proc/self/fd"))
    {
        while (dirent *e = ::readdir(fds))
            n += e->d_name[0] != '.';
        ::closedir(fds);
        --n; // the listing's own
    }
    return n;
}

long MemoriaResidenteKb()
{
    long paginas = 0, residentes = 0;
    const std::string statm = Leer("/proc/self/statm");
    if (std::sscanf(statm.c_str(), "%ld %ld", &paginas, &residentes) != 2)
        return 0;
    return residentes * (::sysconf(_SC_PAGESIZE) / 1024);
}
} // namespace soak
