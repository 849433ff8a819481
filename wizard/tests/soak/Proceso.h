// The soak's programs: each run's programs get an environment of their own (several PCs are
// worked at once, so $KIT_MACHINE cannot be the soak's), a process group of their own, a time
// limit, and their peak memory. The processes a PC still has are found by its folder. POSIX:
// this is the world around the PCs.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace soak
{
// The soak's environment with some variables replaced (an empty value removes one).
std::vector<std::string> Entorno(const std::map<std::string, std::string> &cambios);

struct Terminado
{
    int salida = -1;      // exit code, 128 + signal, -1 when it did not start
    bool colgado = false; // killed at the time limit
    long picoKb = 0;      // peak resident memory of the program and the children it waited for
    double segundos = 0;
};

// Runs BIN/program to its end or to the time limit (then its whole group is killed), its output
// to `salida` (a file; empty: thrown away). Each whole line of output is given to `linea` as it
// comes (may be empty).
Terminado Correr(const std::string &programa, const std::vector<std::string> &argumentos,
                 const std::vector<std::string> &entorno, const std::string &salida, int limiteMs,
                 const std::function<void(const std::string &)> &linea = {});

// A process still running for a PC: its id and its name.
struct Resto
{
    pid_t pid;
    std::string nombre;
};
// The processes whose environment names the PC ($KIT_MACHINE) or whose command line names its
// folder.
std::vector<Resto> ProcesosDelPc(const std::string &pc);
// Waits up to `limiteMs` for the process to end; true when it did (it is not ours to reap).
bool EsperarFin(pid_t pid, int limiteMs);
void Matar(pid_t pid);

// The soak's own figures: open descriptors and resident memory.
int DescriptoresAbiertos();
long MemoriaResidenteKb();
} // namespace soak
