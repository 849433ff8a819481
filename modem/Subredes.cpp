// Dotted IPv4 text for the router's configuration file.
#include "modem/Subredes.h"

#include "common/ipv4/Ipv4Text.h"

#include <bit>
#include <climits>
#include <cstdint>
#include <cstdio>

int AtoiTexto(std::string_view texto)
{
    size_t i = 0;
    while (i < texto.size() && (texto[i] == ' ' || (texto[i] >= '\t' && texto[i] <= '\r')))
        ++i;
    bool negativo = false;
    if (i < texto.size() && (texto[i] == '+' || texto[i] == '-'))
        negativo = texto[i++] == '-';
    long long valor = 0;
    for (; i < texto.size() && texto[i] >= '0' && texto[i] <= '9'; ++i)
    {
        valor = valor * 10 + (texto[i] - '0');
        if (valor > static_cast<long long>(INT_MAX) + 1)
            valor = static_cast<long long>(INT_MAX) + 1; // saturated; the rest cannot bring it back
    }
    if (negativo)
        return static_cast<int>(-valor);
    return valor > INT_MAX ? INT_MAX : static_cast<int>(valor);
}

bool EsIpValida(const char *pszIp)
{
    return ipv4::IsValidText(pszIp);
}

int CampoIp(std::string_view texto, int n)
{
    size_t inicio = 0;
    for (int punto = 1; punto < n; ++punto)
    {
        const size_t siguiente = texto.find('.', inicio);
        if (siguiente == std::string_view::npos)
            return 0;
        inicio = siguiente + 1;
    }
    const std::string_view campo = texto.substr(inicio);
    return AtoiTexto(campo.substr(0, campo.find('.')));
}

std::string MascaraAPrefijo(std::string_view mascara)
{
    if (mascara.empty())
        return {};
    // Fields outside 0..255 simply wrap into the 32-bit value, as the router's own arithmetic does.
    const uint32_t valor = (static_cast<uint32_t>(CampoIp(mascara, 1)) << 24) +
                           (static_cast<uint32_t>(CampoIp(mascara, 2)) << 16) +
                           (static_cast<uint32_t>(CampoIp(mascara, 3)) << 8) +
                           static_cast<uint32_t>(CampoIp(mascara, 4));
    const int desplazamientos = valor ? 32 - std::countr_zero(valor) : 0;
    return std::to_string(desplazamientos);
}

std::string RedMasUno(std::string_view ip, std::string_view mascara)
{
    // The last field is widened so that field values near INT_MAX cannot overflow.
    char texto[64];
    std::snprintf(texto, sizeof texto, "%d.%d.%d.%lld", CampoIp(ip, 1) & CampoIp(mascara, 1),
                  CampoIp(ip, 2) & CampoIp(mascara, 2), CampoIp(ip, 3) & CampoIp(mascara, 3),
                  static_cast<long long>(CampoIp(ip, 4) & CampoIp(mascara, 4)) + 1);
    return texto;
}

bool CalcularSubredesVecinas(const char *pszIp, const char *pszMascara, std::vector<std::string> &rutas)
{
    if (!EsIpValida(pszIp) || !EsIpValida(pszMascara))
        return false;
    const uint32_t ip = ipv4::ValueOf(pszIp);
    const uint32_t mascara = ipv4::ValueOf(pszMascara);
    if (ip == 0 || mascara == 0)
        return false;
    // The host bit count: the smallest k that brings the mask's negation down to 1 by arithmetic
    // shifts. Masks of prefix 1 or less make the negation negative and never get there.
    const int32_t negada = static_cast<int32_t>(0u - mascara);
    int k = 0;
    while (k < 32 && (negada >> k) != 1)
        ++k;
    if (k == 32)
        return false;
    for (int i = 0; i < k; ++i)
    {
        const uint32_t bit = uint32_t(1) << i;
        const uint32_t subred = (ip & ~(bit - 1)) ^ bit; // the sibling of the block holding the address
        rutas.push_back(ipv4::TextOf(0xFFFFFFFFu << i));
        rutas.push_back(ipv4::TextOf(subred));
    }
    return true;
}
