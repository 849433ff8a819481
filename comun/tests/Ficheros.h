// What the library's tests share: files of the simulated PC, small images made byte by byte,
// and a concrete application.
#pragma once

#include "comun/Apli.h"

#include <cstdint>
#include <string>
#include <vector>

namespace prueba
{
// A file of the PC with exactly these bytes (folders made as needed); its path.
std::string Escribir(const std::string &path, const std::string &contenido);
// A folder of the current test's PC (made as needed), without a trailing separator.
std::string Carpeta(const std::string &relativa);

// A 24-bit bitmap of one colour (0xRRGGBB).
std::string Bmp(int ancho, int alto, uint32_t color);
// An icon (or cursor, with its hotspot) file with one opaque 32-bit image per size, each of one
// colour.
std::string Ico(const std::vector<int> &lados, uint32_t color, bool cursor = false);

// A copy of a library of the build in a folder of the PC; its path.
std::string CopiarBiblioteca(const std::string &nombre, const std::string &carpeta);

// An application whose folder is chosen by the test.
class CApliPrueba : public CApli
{
  public:
    explicit CApliPrueba(std::string dir = {}) : m_dir(std::move(dir)) {}
    HRESULT VerNombre(std::string &nombre) const override;
    HRESULT VerVersion(std::string &version) const override;
    HRESULT VerClaveRegistro(std::string &clave) const override;
    HRESULT VerDir(std::string &dir) const override;

  private:
    std::string m_dir;
};
} // namespace prueba
