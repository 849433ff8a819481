// What the soak runs: for each run a PC family, a road of the wizard and a fault of the world
// around it, drawn from one seed; and what each fault must lead to.
#pragma once

#include "testing/caminos.h"

#include <cstdint>
#include <string>
#include <vector>

namespace soak
{
// Where a fault strikes.
enum class Golpe
{
    Ninguno,
    Router,   // routersim misbehaves from the start (the access check only connects)
    Registro, // the TCP/IP keys become read-only once the router's settings are read
    Consola,  // the router's serial console misbehaves (console road)
};

struct Falla
{
    const char *nombre;
    Golpe golpe;
    const char *routersim; // routersim's fault words
    int peso;              // how often it is drawn against the others
};

// What a run must end in.
struct Esperado
{
    int salida;        // the host's exit code
    int pagina;        // the page the wizard closed on
    bool routerNuevo;  // the router holds the road's settings (else what it had)
    bool pcNuevo;      // the PC's TCP/IP holds the road's settings (else what it had)
    std::string linea; // a line the transcript must hold (Windows 1252; may be empty)
};

struct Corrida
{
    int indice;
    caminos::Camino camino;
    bool consola; // the console road: no network, the router read over COM1, the address by hand
    const Falla *falla;

    std::string Nombre() const;
    // The answers of the first start of the host.
    std::string Guion() const;
    Esperado Espera() const;
};

const std::vector<Falla> &Fallas();
// N runs drawn from the seed: the same seed gives the same runs. With `solo`, only that fault
// (and the roads it fits).
std::vector<Corrida> Planear(int n, uint64_t semilla, const std::string &solo = "");
} // namespace soak
