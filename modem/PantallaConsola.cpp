// The console screen's replay and the fields of its menus.
#include "modem/PantallaConsola.h"

#include <algorithm>
#include <cctype>

namespace
{
constexpr char kEsc = 27;

bool EsDigito(char c)
{
    return c >= '0' && c <= '9';
}

// The number at `texto` (digits only; at most what fits a screen) and how many characters it
// took; -1 when no digit is there.
int LeerNumero(std::string_view texto, size_t &nPos)
{
    if (nPos >= texto.size() || !EsDigito(texto[nPos]))
        return -1;
    int nValor = 0;
    for (; nPos < texto.size() && EsDigito(texto[nPos]); ++nPos)
        nValor = std::min(nValor * 10 + (texto[nPos] - '0'), 10000);
    return nValor;
}

// One segment: an ESC and what follows it up to the next ESC.
void Reproducir(CPantallaConsola &pantalla, std::string_view segmento)
{
    if (segmento.size() < 3 || segmento[1] != '[')
        return; // not a sequence the screen knows: dropped
    if (segmento[2] == 'K')
    {
        pantalla.BorrarHastaFinDeLinea();
        return;
    }
    if (segmento[2] == 'H')
    {
        pantalla.SituarCursor(1, 1);
        pantalla.Escribir(segmento.substr(3));
        return;
    }
    size_t nPos = 2;
    const int nPrimero = LeerNumero(segmento, nPos);
    if (nPrimero < 0 || nPos >= segmento.size())
        return;
    if (segmento[nPos] == 'J')
    {
        pantalla.Borrar();
        return;
    }
    if (segmento[nPos] != ';')
        return;
    ++nPos;
    const int nSegundo = LeerNumero(segmento, nPos);
    if (nSegundo < 0 || nPos >= segmento.size() || segmento[nPos] != 'H')
        return;
    pantalla.SituarCursor(nPrimero, nSegundo);
    pantalla.Escribir(segmento.substr(nPos + 1));
}
} // namespace

CPantallaConsola::CPantallaConsola() : m_lineas(kFilas, std::string(kColumnas, ' ')) {}

void CPantallaConsola::Escribir(std::string_view texto)
{
    while (!texto.empty())
    {
        const size_t nLf = texto.find('\n');
        const std::string_view parte = texto.substr(0, nLf);
        if (m_nFila >= 1 && m_nFila <= kFilas && m_nColumna <= kColumnas)
        {
            std::string &linea = m_lineas[static_cast<size_t>(m_nFila - 1)];
            const size_t nDesde = static_cast<size_t>(m_nColumna - 1);
            linea.replace(nDesde, std::min(parte.size(), linea.size() - nDesde),
                          parte.substr(0, linea.size() - nDesde));
        }
        m_nColumna =
            static_cast<int>(std::min<size_t>(static_cast<size_t>(m_nColumna) + parte.size(), kColumnas + 1));
        if (nLf == std::string_view::npos)
            return;
        ++m_nFila; // below the last line nothing more is shown
        m_nColumna = 1;
        texto.remove_prefix(nLf + 1);
    }
}

void CPantallaConsola::BorrarHastaFinDeLinea()
{
    if (m_nFila < 1 || m_nFila > kFilas || m_nColumna > kColumnas)
        return;
    std::string &linea = m_lineas[static_cast<size_t>(m_nFila - 1)];
    std::fill(linea.begin() + (m_nColumna - 1), linea.end(), ' ');
}

void CPantallaConsola::Borrar()
{
    for (std::string &linea : m_lineas)
        linea.assign(kColumnas, ' ');
}

void CPantallaConsola::SituarCursor(int nFila, int nColumna)
{
    m_nFila = std::clamp(nFila, 1, kFilas);
    m_nColumna = std::clamp(nColumna, 1, kColumnas);
}

std::string CPantallaConsola::Texto() const
{
    std::string texto;
    texto.reserve(static_cast<size_t>(kFilas) * (kColumnas + 2));
    for (const std::string &linea : m_lineas)
        texto.append(linea).append("\r\n");
    return texto;
}

std::string TextoDePantalla(std::string_view respuesta)
{
    size_t nEsc = respuesta.find(kEsc);
    if (nEsc == std::string_view::npos)
        return std::string(respuesta);
    CPantallaConsola pantalla;
    while (nEsc != std::string_view::npos)
    {
        const size_t nSiguiente = respuesta.find(kEsc, nEsc + 1);
        Reproducir(pantalla, respuesta.substr(nEsc, nSiguiente - nEsc));
        nEsc = nSiguiente;
    }
    return pantalla.Texto();
}

std::string TomarCampo(std::string_view pantalla, std::string_view etiqueta, int nPalabra)
{
    for (size_t nInicio = 0; nInicio < pantalla.size();)
    {
        const size_t nCr = pantalla.find('\r', nInicio);
        const std::string_view linea = pantalla.substr(nInicio, nCr - nInicio);
        if (linea.find(etiqueta) != std::string_view::npos)
        {
            int nActual = 0;
            for (size_t i = 0; i < linea.size();)
            {
                while (i < linea.size() && linea[i] == ' ')
                    ++i;
                const size_t nFin = std::min(linea.find(' ', i), linea.size());
                if (nFin > i && ++nActual == nPalabra)
                    return std::string(linea.substr(i, nFin - i));
                i = nFin;
            }
            return {};
        }
        if (nCr == std::string_view::npos)
            break;
        nInicio = nCr + 2;
    }
    return {};
}
