// The passwords of a run, found by field and by value.
#include "wizard/Secretos.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace
{
// A value this short would hide every match of a common word; its field still hides it.
constexpr std::size_t kMinValor = 3;

// The router's settings codes that hold a password: the system password and the PPPoE one.
constexpr std::string_view kCodigosRouter[] = {"23000001", "40000010"};

bool NombraClave(std::string_view nombre)
{
    std::string minusculas(nombre);
    std::transform(minusculas.begin(), minusculas.end(), minusculas.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return minusculas.find("password") != std::string::npos ||
           minusculas.find("contrase") != std::string::npos;
}

std::string_view SinBlancos(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Where the password of a line is (begin and length), for the three forms it comes in:
// "code = value" of the router, "name=value" of INI files, "\"name\"=value" of REGEDIT4 (the
// value kept in its quotes or hex: form). False for a line without one.
bool CampoSecreto(std::string_view linea, std::size_t &inicio, std::size_t &largo)
{
    const std::size_t igual = linea.find('=');
    if (igual == std::string_view::npos)
        return false;
    std::string_view nombre = SinBlancos(linea.substr(0, igual));
    const bool registro = nombre.size() >= 2 && nombre.front() == '"' && nombre.back() == '"';
    if (registro)
        nombre = nombre.substr(1, nombre.size() - 2);
    const bool router =
        std::find(std::begin(kCodigosRouter), std::end(kCodigosRouter), nombre) != std::end(kCodigosRouter);
    if (!router && !NombraClave(nombre))
        return false;
    inicio = igual + 1;
    std::size_t fin = linea.size();
    while (fin > inicio && (linea[fin - 1] == '\r' || linea[fin - 1] == ' '))
        --fin;
    while (inicio < fin && linea[inicio] == ' ')
        ++inicio;
    if (registro && fin - inicio >= 2 && linea[inicio] == '"' && linea[fin - 1] == '"')
    {
        ++inicio;
        --fin;
    }
    largo = fin - inicio;
    return largo > 0;
}

template <class F> void PorLineas(std::string_view texto, F &&f)
{
    std::size_t inicio = 0;
    while (inicio < texto.size())
    {
        std::size_t fin = texto.find('\n', inicio);
        if (fin == std::string_view::npos)
            fin = texto.size();
        f(inicio, texto.substr(inicio, fin - inicio));
        inicio = fin + 1;
    }
}
} // namespace

void CSecretos::Agregar(const std::string &valor)
{
    if (valor.size() >= kMinValor && valor != kMascara)
        m_valores.insert(valor);
}

void CSecretos::Aprender(const std::string &texto)
{
    PorLineas(texto, [&](std::size_t, std::string_view linea) {
        std::size_t inicio = 0, largo = 0;
        if (CampoSecreto(linea, inicio, largo))
            Agregar(std::string(linea.substr(inicio, largo)));
    });
}

std::string CSecretos::Ocultar(const std::string &texto) const
{
    std::string oculto;
    oculto.reserve(texto.size());
    std::size_t copiado = 0;
    PorLineas(texto, [&](std::size_t en, std::string_view linea) {
        std::size_t inicio = 0, largo = 0;
        if (!CampoSecreto(linea, inicio, largo))
            return;
        oculto.append(texto, copiado, en + inicio - copiado);
        oculto += kMascara;
        copiado = en + inicio + largo;
    });
    oculto.append(texto, copiado);
    for (const std::string &valor : m_valores)
        for (std::size_t at = oculto.find(valor); at != std::string::npos;
             at = oculto.find(valor, at + sizeof kMascara - 1))
            oculto.replace(at, valor.size(), kMascara);
    return oculto;
}
