#include "uninstall/InstallLog.h"
#include "uninstall/Borrado.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <cstring>

namespace
{
bool Contiene(const std::string &linea, const char *etiqueta)
{
    return linea.find(etiqueta) != std::string::npos;
}

// A decimal number, blanks around it allowed; none for anything else or out of range.
std::optional<long> Numero(const std::string &texto)
{
    const char *inicio = texto.c_str();
    char *fin = nullptr;
    errno = 0;
    const long numero = std::strtol(inicio, &fin, 10);
    if (fin == inicio || errno == ERANGE || numero < INT_MIN || numero > INT_MAX)
        return std::nullopt;
    while (*fin == ' ' || *fin == '\t')
        ++fin;
    if (*fin != '\0')
        return std::nullopt;
    return numero;
}

// The predefined key a record's root number names (0 HKEY_CLASSES_ROOT ... 6 HKEY_DYN_DATA).
constexpr long kUltimaRaiz = 6;
HKEY Raiz(long numero)
{
    // As Windows defines the predefined keys: the 32-bit value sign-extended.
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000UL + static_cast<unsigned long>(numero))));
}
} // namespace

std::string ValorDeLinea(const std::string &linea, const char *etiqueta)
{
    const size_t inicio = std::strlen(etiqueta) + 1;
    if (inicio >= linea.size())
        return {};
    // A "File Copy:" line that starts with a blank is not the installer's: its value is empty.
    if (std::strcmp(etiqueta, CInstallLog::kFileCopy) == 0 && linea[0] == ' ')
        return {};
    // A value with a NUL in it names nothing: cut at the NUL it would name another path.
    if (linea.find('\0', inicio) != std::string::npos)
        return {};
    return linea.substr(inicio);
}

bool CInstallLog::Abrir(const std::string &fichero)
{
    const std::optional<std::string> leido = LeerFichero(fichero);
    if (!leido)
        return false;
    const std::string &texto = *leido;
    m_lineas.clear();
    // A line ends at LF, CR LF or a CR alone: a log written with old Mac ends keeps its records.
    std::string linea;
    for (size_t i = 0; i < texto.size(); ++i)
    {
        const char c = texto[i];
        if (c != '\r' && c != '\n')
        {
            linea += c;
            continue;
        }
        if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n')
            ++i;
        m_lineas.push_back(std::move(linea));
        linea.clear();
    }
    if (!linea.empty())
        m_lineas.push_back(std::move(linea));
    return true;
}

std::vector<std::string> CInstallLog::Valores(const char *etiqueta) const
{
    std::vector<std::string> valores;
    for (const std::string &linea : m_lineas)
        if (Contiene(linea, etiqueta))
            if (std::string valor = ValorDeLinea(linea, etiqueta); !valor.empty())
                valores.push_back(std::move(valor));
    return valores;
}

std::vector<CRegistroLog> CInstallLog::Registros() const
{
    std::vector<CRegistroLog> registros;
    for (size_t i = 0; i < m_lineas.size(); ++i)
    {
        if (!Contiene(m_lineas[i], kRegDbKey))
            continue;
        CRegistroLog r;
        r.clave = ValorDeLinea(m_lineas[i], kRegDbKey);
        for (size_t j = i + 1; j < m_lineas.size(); ++j)
        {
            const std::string &linea = m_lineas[j];
            if (!Contiene(linea, "RegDB") || Contiene(linea, kRegDbKey))
                break;
            if (Contiene(linea, kRegDbName))
                r.nombre = ValorDeLinea(linea, kRegDbName);
            else if (Contiene(linea, kRegDbType))
                r.tipo = static_cast<int>(Numero(ValorDeLinea(linea, kRegDbType)).value_or(-1));
            else if (Contiene(linea, kRegDbRoot))
            {
                // Only the seven predefined keys are roots; any other number is none.
                const auto numero = Numero(ValorDeLinea(linea, kRegDbRoot));
                r.conRaiz = numero && *numero >= 0 && *numero <= kUltimaRaiz;
                r.raiz = r.conRaiz ? Raiz(*numero) : nullptr;
            }
            else if (Contiene(linea, kRegDbOld))
                r.anterior = ValorDeLinea(linea, kRegDbOld);
        }
        registros.push_back(std::move(r));
    }
    return registros;
}

std::string CInstallLog::Nombre(const std::string &identificador) const
{
    // "NOMBRE_<identificador>" with or without a colon: the value follows it and one blank.
    const std::string etiqueta = std::string(kNombre) + identificador;
    for (const std::string &linea : m_lineas)
        if (const size_t at = linea.find(etiqueta); at == 0)
        {
            const bool dosPuntos = linea.size() > etiqueta.size() && linea[etiqueta.size()] == ':';
            return ValorDeLinea(linea, (etiqueta + (dosPuntos ? ":" : "")).c_str());
        }
    return {};
}
