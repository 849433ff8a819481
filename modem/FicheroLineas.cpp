// The router's configuration files as lines.
#include "modem/FicheroLineas.h"

#include <algorithm>
#include <cstring>

CFichero CFichero::AbrirLectura(const char *pszRuta)
{
    return CFichero(CreateFileA(pszRuta, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

CFichero CFichero::CrearEscritura(const char *pszRuta)
{
    return CFichero(
        CreateFileA(pszRuta, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool CFichero::Cerrar()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return true;
    const BOOL bOk = CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    return bOk != FALSE;
}

CLectorLineas::CLectorLineas(HANDLE hFile)
    : m_hFile(hFile), m_buffer(std::make_unique_for_overwrite<char[]>(kTamBuffer))
{
}

bool CLectorLineas::Llenar()
{
    DWORD dwLeidos = 0;
    if (!ReadFile(m_hFile, m_buffer.get(), kTamBuffer, &dwLeidos, nullptr))
    {
        m_dwError = GetLastError();
        m_bFinal = true;
        return false;
    }
    m_pos = 0;
    m_fin = dwLeidos;
    if (dwLeidos == 0)
        m_bFinal = true;
    return dwLeidos != 0;
}

bool CLectorLineas::LeerLinea(std::string &linea)
{
    linea.clear();
    while (!m_bFinal)
    {
        if (m_pos == m_fin && !Llenar())
            break;
        // Byte after byte up to the LF; whole runs are appended at once.
        const char *inicio = m_buffer.get() + m_pos;
        const void *lf = std::memchr(inicio, '\n', m_fin - m_pos);
        const size_t cb = lf ? static_cast<const char *>(lf) - inicio + 1 : m_fin - m_pos;
        linea.append(inicio, cb);
        m_pos += cb;
        if (lf)
            return true;
    }
    linea.clear(); // an unfinished last line is not a line
    return false;
}

bool CEscritorFichero::EscribirTodo(const char *pDatos, size_t cbDatos)
{
    while (cbDatos > 0)
    {
        const DWORD cbTrozo = static_cast<DWORD>(std::min<size_t>(cbDatos, 1u << 30));
        DWORD dwEscritos = 0;
        if (!WriteFile(m_hFile, pDatos, cbTrozo, &dwEscritos, nullptr))
        {
            m_dwError = GetLastError();
            return false;
        }
        if (dwEscritos == 0)
        {
            m_dwError = ERROR_DISK_FULL;
            return false;
        }
        pDatos += dwEscritos;
        cbDatos -= dwEscritos;
    }
    return true;
}

bool CEscritorFichero::Escribir(std::string_view texto)
{
    if (m_dwError != ERROR_SUCCESS)
        return false;
    if (m_buffer.size() + texto.size() <= kTamBuffer)
    {
        m_buffer.append(texto);
        return true;
    }
    if (!Vaciar())
        return false;
    if (texto.size() >= kTamBuffer)
        return EscribirTodo(texto.data(), texto.size());
    m_buffer.append(texto);
    return true;
}

bool CEscritorFichero::Vaciar()
{
    if (m_dwError != ERROR_SUCCESS)
        return false;
    const bool bOk = EscribirTodo(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return bOk;
}

bool DirectorioActual(std::string &directorio)
{
    char szDirectorio[MAX_PATH];
    const DWORD dwLongitud = GetCurrentDirectoryA(MAX_PATH, szDirectorio);
    if (dwLongitud == 0 || dwLongitud >= MAX_PATH)
        return false;
    directorio.assign(szDirectorio, dwLongitud);
    return true;
}

std::string RutaEnDirectorioActual(const char *pszNombre)
{
    std::string directorio;
    if (!DirectorioActual(directorio))
        return {};
    return directorio + "\\" + pszNombre;
}

DWORD ReemplazarFichero(const char *pszTemporal, const char *pszDestino)
{
    if (MoveFileExA(pszTemporal, pszDestino, MOVEFILE_REPLACE_EXISTING))
        return ERROR_SUCCESS;
    DWORD dwError = GetLastError();
    if (dwError == ERROR_CALL_NOT_IMPLEMENTED)
    {
        // Windows 9x: no replacing rename. A destination that cannot be deleted stays as it was.
        if (DeleteFileA(pszDestino) || (dwError = GetLastError()) == ERROR_FILE_NOT_FOUND)
        {
            if (MoveFileA(pszTemporal, pszDestino))
                return ERROR_SUCCESS;
            // The destination is gone already: the finished file at least stays under its
            // temporary name.
            return GetLastError();
        }
    }
    DeleteFileA(pszTemporal);
    return dwError;
}
