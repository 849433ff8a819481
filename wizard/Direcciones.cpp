// The wizard's rules on dotted address text.
#include "wizard/Direcciones.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace
{
using Octetos = std::array<int, 4>;

constexpr int kNumOctetos = 4;
// The DHCP pool when the start leaves more than one octet of room.
constexpr int kPoolGrande = 250;

bool EsDigito(char c)
{
    return c >= '0' && c <= '9';
}

char Minuscula(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IgualesSinCaso(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Minuscula(a[i]) != Minuscula(b[i]))
            return false;
    return true;
}

// The four octets of an address text; false when it is not one.
bool Leer(const std::string &t, Octetos &octetos)
{
    if (t.empty())
        return false;
    size_t inicio = 0;
    for (int n = 0; n < kNumOctetos; ++n)
    {
        const size_t punto = t.find('.', inicio);
        const bool ultimo = n == kNumOctetos - 1;
        // Exactly three dots: the last part runs to the end, the others stop at a dot.
        if (ultimo != (punto == std::string::npos))
            return false;
        const std::string parte = t.substr(inicio, ultimo ? std::string::npos : punto - inicio);
        if (!CDirecciones::EsOcteto(parte))
            return false;
        octetos[n] = std::stoi(parte);
        inicio = punto + 1;
    }
    return true;
}

// The octets of a text, all 0 when it is not an address (as VerOcteto reads them).
Octetos OctetosDe(const std::string &t)
{
    Octetos octetos{};
    if (!Leer(t, octetos))
        octetos.fill(0);
    return octetos;
}

uint32_t Valor(const Octetos &o)
{
    return static_cast<uint32_t>(o[0]) << 24 | static_cast<uint32_t>(o[1]) << 16 |
           static_cast<uint32_t>(o[2]) << 8 | static_cast<uint32_t>(o[3]);
}

uint32_t ValorDe(const std::string &t)
{
    return Valor(OctetosDe(t));
}

std::string Texto(const Octetos &o)
{
    char texto[16];
    std::snprintf(texto, sizeof texto, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
    return texto;
}

std::string Texto(uint32_t valor)
{
    return Texto(Octetos{static_cast<int>(valor >> 24), static_cast<int>((valor >> 16) & 0xFF),
                         static_cast<int>((valor >> 8) & 0xFF), static_cast<int>(valor & 0xFF)});
}

bool EnLista(int valor, std::initializer_list<int> lista)
{
    for (int v : lista)
        if (v == valor)
            return true;
    return false;
}

// The subnet of two address texts; false unless both are addresses.
bool Subred(const std::string &a, const std::string &m, uint32_t &subred)
{
    Octetos oa, om;
    if (!Leer(a, oa) || !Leer(m, om))
        return false;
    subred = Valor(oa) & Valor(om);
    return true;
}

// Private by the ranges (with the mask in `mascara`) or by a zero octet 1 (without one).
bool Privada(const std::string &a, std::string &mascara)
{
    const Octetos o = OctetosDe(a);
    const bool hostUsable = o[3] >= 1 && o[3] <= 254;
    mascara.clear();
    if (hostUsable && o[0] == 10)
        mascara = "255.0.0.0";
    else if (hostUsable && o[0] == 172 && o[1] >= 16 && o[1] <= 31)
        mascara = "255.255.0.0";
    else if (hostUsable && o[0] == 192 && o[1] == 168)
        mascara = "255.255.255.0";
    return !mascara.empty() || o[0] == 0;
}
} // namespace

bool CDirecciones::EsOcteto(const std::string &t)
{
    if (t.empty() || t.size() > 3)
        return false;
    int valor = 0;
    for (char c : t)
    {
        if (!EsDigito(c))
            return false;
        valor = valor * 10 + (c - '0');
    }
    return valor <= 255;
}

bool CDirecciones::EsFormatoIp(const std::string &t)
{
    Octetos octetos;
    return Leer(t, octetos);
}

int CDirecciones::VerOcteto(const std::string &t, int n)
{
    if (n < 1 || n > kNumOctetos)
        return 0;
    return OctetosDe(t)[n - 1];
}

bool CDirecciones::EsMascaraValida(const std::string &m)
{
    Octetos o;
    if (!Leer(m, o))
        return false;
    for (int n = 0; n < kNumOctetos; ++n)
    {
        const bool permitido = n < kNumOctetos - 1
                                   ? EnLista(o[n], {0, 128, 192, 224, 240, 248, 252, 254, 255})
                                   : EnLista(o[n], {0, 128, 192, 224, 240, 248, 252});
        if (!permitido)
            return false;
        // Once an octet is below 255 only zero octets may follow.
        for (int siguiente = n + 1; o[n] < 255 && siguiente < kNumOctetos; ++siguiente)
            if (o[siguiente] != 0)
                return false;
    }
    return Valor(o) != 0;
}

bool CDirecciones::EsBroadcast(const std::string &a, const std::string &m)
{
    const uint32_t mascara = ValorDe(m);
    return IgualesSinCaso(a, Texto((ValorDe(a) & mascara) | ~mascara));
}

bool CDirecciones::EsIpValida(const std::string &a, const std::string &m)
{
    if (!EsFormatoIp(a) || !EsMascaraValida(m))
        return false;
    const int primero = VerOcteto(a, 1);
    return primero != 0 && primero != 127 && primero != 224 && a != "255.255.255.255" && !EsBroadcast(a, m);
}

bool CDirecciones::CalcularSubred(const std::string &a, const std::string &m, std::string &subred)
{
    uint32_t valor = 0;
    subred.clear();
    if (!Subred(a, m, valor))
        return false;
    subred = Texto(valor);
    return true;
}

bool CDirecciones::MismaSubred(const std::string &a, const std::string &m, const std::string &b)
{
    uint32_t subredA = 0, subredB = 0;
    return Subred(a, m, subredA) && Subred(b, m, subredB) && subredA == subredB;
}

std::string CDirecciones::MascaraPrivada(const std::string &a)
{
    std::string mascara;
    Privada(a, mascara);
    return mascara;
}

bool CDirecciones::EsPrivada(const std::string &a)
{
    std::string mascara;
    return Privada(a, mascara);
}

std::string CDirecciones::PrimeraIp(const std::string &a, const std::string &m)
{
    uint32_t subred = 0;
    if (!Subred(a, m, subred))
        return {};
    // Octet 4 alone goes up: it never carries into octet 3.
    return Texto((subred & 0xFFFFFF00u) | ((subred + 1) & 0xFFu));
}

std::string CDirecciones::SiguienteIp(const std::string &a)
{
    Octetos o;
    if (!Leer(a, o))
        return {};
    return Texto(Valor(o) + 1);
}

bool CDirecciones::IpVecina(const std::string &a, const std::string &m, std::string &vecina)
{
    vecina.clear();
    Octetos o;
    if (!Leer(a, o))
        return false;
    for (int paso : {+1, -1})
    {
        Octetos candidata = o;
        candidata[3] += paso;
        if (candidata[3] < 0 || candidata[3] > 255)
            continue;
        const std::string texto = Texto(candidata);
        if (MismaSubred(a, m, texto))
        {
            vecina = texto;
            return true;
        }
    }
    return false;
}

bool CDirecciones::EsHost(const std::string &a, const std::string &m)
{
    const uint32_t mascara = ValorDe(m);
    const uint32_t host = ValorDe(a) & ~mascara;
    return host != 0 && (mascara | host) != 0xFFFFFFFFu;
}

bool CDirecciones::SubredesDisjuntas(const std::string &a, const std::string &ma, const std::string &b,
                                     const std::string &mb)
{
    if (!EsFormatoIp(a) || !EsFormatoIp(b) || !EsMascaraValida(ma) || !EsMascaraValida(mb) ||
        VerOcteto(a, 1) == 0)
        return false;
    const uint32_t mascaraA = ValorDe(ma), mascaraB = ValorDe(mb);
    const uint32_t subredA = ValorDe(a) & mascaraA, subredB = ValorDe(b) & mascaraB;
    return (subredA & mascaraB) != subredB && (subredB & mascaraA) != subredA;
}

bool CDirecciones::MascaraCubre(const std::string &d, const std::string &m)
{
    if (!EsMascaraValida(d) || !EsMascaraValida(m))
        return false;
    for (int n = 1; n <= kNumOctetos; ++n)
        if (VerOcteto(d, n) > VerOcteto(m, n))
            return false;
    return true;
}

int CDirecciones::TamanoPool(const std::string &s, const std::string &m)
{
    const Octetos inicio = OctetosDe(s), mascara = OctetosDe(m);
    for (int n = 0; n < kNumOctetos - 1; ++n)
        if ((255 - mascara[n]) - inicio[n] >= 2)
            return kPoolGrande;
    return (255 - mascara[3]) - inicio[3];
}

bool CDirecciones::RouterEnPool(const std::string &s, const std::string &m, const std::string &r)
{
    if (!EsFormatoIp(s))
        return false;
    // A negative size counts as what it is modulo 256, from 0 to 255.
    const int cuenta = ((TamanoPool(s, m) % 256) + 256) % 256;
    std::string ip = s;
    for (int i = 0; i < cuenta; ++i)
    {
        ip = SiguienteIp(ip);
        if (IgualesSinCaso(ip, r))
            return true;
    }
    return false;
}
