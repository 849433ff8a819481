// Arbitrary texts through every address rule of the wizard: none reads outside its text, and
// what the rules promise of each other holds (an address text stays an address, a computed
// subnet or neighbour is one, a private mask is a valid mask).
#include "wizard/Direcciones.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
using D = CDirecciones;

void Exigir(bool condicion)
{
    if (!condicion)
        std::abort();
}

// The input after byte 0 split at byte 0, padded to four texts.
std::vector<std::string> Textos(const uint8_t *data, size_t size)
{
    std::vector<std::string> textos(1);
    const char separador = static_cast<char>(data[0]);
    for (size_t i = 1; i < size; ++i)
    {
        const char c = static_cast<char>(data[i]);
        if (c == separador && textos.size() < 4)
            textos.emplace_back();
        else
            textos.back() += c;
    }
    textos.resize(4);
    return textos;
}

void UnTexto(const std::string &t)
{
    const bool formato = D::EsFormatoIp(t);
    for (int n = -1; n <= 5; ++n)
    {
        const int octeto = D::VerOcteto(t, n);
        Exigir(octeto >= 0 && octeto <= 255 && (formato || octeto == 0));
    }
    Exigir(!D::EsOcteto(t) || t.size() <= 3);
    Exigir(!D::EsMascaraValida(t) || formato);
    const std::string siguiente = D::SiguienteIp(t);
    Exigir(formato ? D::EsFormatoIp(siguiente) : siguiente.empty());
    const std::string mascara = D::MascaraPrivada(t);
    Exigir(mascara.empty() || (D::EsPrivada(t) && D::EsMascaraValida(mascara)));
}

void Pareja(const std::string &a, const std::string &m)
{
    std::string subred;
    const bool calculada = D::CalcularSubred(a, m, subred);
    Exigir(calculada == (D::EsFormatoIp(a) && D::EsFormatoIp(m)));
    Exigir(calculada ? D::EsFormatoIp(subred) : subred.empty());
    const std::string primera = D::PrimeraIp(a, m);
    Exigir(calculada ? D::EsFormatoIp(primera) : primera.empty());
    Exigir(D::MismaSubred(a, m, a) == calculada);
    std::string vecina;
    if (D::IpVecina(a, m, vecina))
        Exigir(D::EsFormatoIp(vecina) && D::MismaSubred(a, m, vecina) && vecina != a);
    else
        Exigir(vecina.empty());
    Exigir(!D::EsIpValida(a, m) || (D::EsFormatoIp(a) && D::EsMascaraValida(m) && !D::EsBroadcast(a, m)));
    D::EsHost(a, m);
    Exigir(!D::MascaraCubre(a, m) || (D::EsMascaraValida(a) && D::EsMascaraValida(m)));
    const int pool = D::TamanoPool(a, m);
    Exigir(pool == 250 || (pool >= -255 && pool <= 255));
}

void Trio(const std::string &a, const std::string &m, const std::string &b)
{
    Exigir(D::MismaSubred(a, m, b) == D::MismaSubred(b, m, a));
    // At most 255 steps never come back to the start.
    Exigir(!D::RouterEnPool(a, m, b) || (D::EsFormatoIp(a) && b != a));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const std::vector<std::string> t = Textos(data, size);
    for (const std::string &texto : t)
        UnTexto(texto);
    Pareja(t[0], t[1]);
    Pareja(t[1], t[0]);
    Trio(t[0], t[1], t[2]);
    if (D::SubredesDisjuntas(t[0], t[1], t[2], t[3]))
        Exigir(!D::MismaSubred(t[0], t[1], t[2]) || t[1] != t[3]);
    return 0;
}
