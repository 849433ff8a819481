// The router's configuration files as lines: an owned file handle, a reader that hands out
// complete lines (each ending in its LF), a buffered writer, and the replacement of one file by
// another. Everything goes through the platform's file functions.
#pragma once

#include "platform/windows.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// An open file handle, closed when the holder goes.
class CFichero
{
  public:
    CFichero() = default;
    explicit CFichero(HANDLE hFile) : m_hFile(hFile) {}
    ~CFichero() { Cerrar(); }
    CFichero(const CFichero &) = delete;
    CFichero &operator=(const CFichero &) = delete;

    // An existing file for reading, shared only with other readers (so the same file cannot be
    // truncated as an output while it is read).
    static CFichero AbrirLectura(const char *pszRuta);
    // A new or truncated file for writing, not shared.
    static CFichero CrearEscritura(const char *pszRuta);

    bool Abierto() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_hFile; }
    // Closes the handle; false (last error set) when closing failed.
    bool Cerrar();

  private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

// Reads a file byte after byte, through a buffer, and hands out each line once its LF has been
// read (the LF stays in the line). Bytes after the file's last LF never make a line.
class CLectorLineas
{
  public:
    explicit CLectorLineas(HANDLE hFile);

    // The next complete line; false at the end of the file or when reading failed (Error()).
    bool LeerLinea(std::string &linea);
    // The Win32 error of a failed read, ERROR_SUCCESS otherwise.
    DWORD Error() const { return m_dwError; }

    static constexpr DWORD kTamBuffer = 64 * 1024;

  private:
    bool Llenar();

    HANDLE m_hFile;
    std::unique_ptr<char[]> m_buffer; // filled by each read: never cleared first
    size_t m_pos = 0;
    size_t m_fin = 0;
    bool m_bFinal = false;
    DWORD m_dwError = ERROR_SUCCESS;
};

// Writes through a buffer; the first failure is kept and every later write is refused.
class CEscritorFichero
{
  public:
    explicit CEscritorFichero(HANDLE hFile) : m_hFile(hFile) {}

    bool Escribir(std::string_view texto);
    // Writes out what the buffer holds.
    bool Vaciar();
    DWORD Error() const { return m_dwError; }

    static constexpr size_t kTamBuffer = 64 * 1024;

  private:
    bool EscribirTodo(const char *pDatos, size_t cbDatos);

    HANDLE m_hFile;
    std::string m_buffer;
    DWORD m_dwError = ERROR_SUCCESS;
};

// The process's current directory, as GetCurrentDirectory fills a 260-character buffer; false
// when it does not fit or cannot be read.
bool DirectorioActual(std::string &directorio);

// "%s\<name>" in the current directory; empty when the current directory cannot be read.
std::string RutaEnDirectorioActual(const char *pszNombre);

// Puts the finished temporary file in the place of the destination. NT replaces the file in one
// step; Windows 9x has no MoveFileEx, so there the destination is deleted and the temporary file
// renamed. On failure the temporary file is deleted and the destination is left as it was
// whenever the system allows it; returns the Win32 error, ERROR_SUCCESS when done.
DWORD ReemplazarFichero(const char *pszTemporal, const char *pszDestino);
