// What the library's tests share.
#include "comun/tests/Ficheros.h"
#include "testing/kittest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace prueba
{
namespace
{
void Put16(std::string &b, unsigned v)
{
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void InfoHeader(std::string &b, int ancho, int alto, int bits)
{
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(ancho));
    Put32(b, static_cast<uint32_t>(alto));
    Put16(b, 1);
    Put16(b, static_cast<unsigned>(bits));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
}
} // namespace

std::string Escribir(const std::string &path, const std::string &contenido)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    kittest::WriteHostFile(path, contenido);
    return path;
}

std::string Carpeta(const std::string &relativa)
{
    const std::string path = kittest::MachineDir() + "/" + relativa;
    std::filesystem::create_directories(path);
    return path;
}

std::string Bmp(int ancho, int alto, uint32_t color)
{
    const size_t stride = (static_cast<size_t>(ancho) * 3 + 3) / 4 * 4;
    std::string filas;
    for (int y = 0; y < alto; ++y)
    {
        std::string fila;
        for (int x = 0; x < ancho; ++x)
        {
            fila += static_cast<char>(color & 0xFF);
            fila += static_cast<char>((color >> 8) & 0xFF);
            fila += static_cast<char>((color >> 16) & 0xFF);
        }
        fila.resize(stride, '\0');
        filas += fila;
    }
    std::string b = "BM";
    Put32(b, static_cast<uint32_t>(54 + filas.size()));
    Put32(b, 0);
    Put32(b, 54);
    InfoHeader(b, ancho, alto, 24);
    return b + filas;
}

std::string Ico(const std::vector<int> &lados, uint32_t color, bool cursor)
{
    std::vector<std::string> imagenes;
    for (int lado : lados)
    {
        std::string img;
        InfoHeader(img, lado, lado * 2, 32);
        for (int i = 0; i < lado * lado; ++i)
            Put32(img, 0xFF000000u | color);
        img.append(static_cast<size_t>((lado + 31) / 32 * 4 * lado), '\0'); // all opaque
        imagenes.push_back(img);
    }
    std::string b;
    Put16(b, 0);
    Put16(b, cursor ? 2 : 1);
    Put16(b, static_cast<unsigned>(lados.size()));
    size_t offset = 6 + 16 * lados.size();
    for (size_t i = 0; i < lados.size(); ++i)
    {
        b += static_cast<char>(lados[i] & 0xFF);
        b += static_cast<char>(lados[i] & 0xFF);
        b += '\0';
        b += '\0';
        Put16(b, 1);               // planes, or the hotspot x of a cursor
        Put16(b, cursor ? 2 : 32); // bits, or the hotspot y
        Put32(b, static_cast<uint32_t>(imagenes[i].size()));
        Put32(b, static_cast<uint32_t>(offset));
        offset += imagenes[i].size();
    }
    for (const std::string &img : imagenes)
        b += img;
    return b;
}

std::string CopiarBiblioteca(const std::string &nombre, const std::string &carpeta)
{
    const std::string origen = kittest::LibDir() + "/" + nombre;
    std::filesystem::create_directories(carpeta);
    const std::string destino = carpeta + "/" + nombre;
    std::filesystem::copy_file(origen, destino, std::filesystem::copy_options::overwrite_existing);
    return destino;
}

HRESULT CApliPrueba::VerNombre(std::string &nombre) const
{
    nombre = "Kit de prueba";
    return S_OK;
}

HRESULT CApliPrueba::VerVersion(std::string &version) const
{
    version = "1.0";
    return S_OK;
}

HRESULT CApliPrueba::VerClaveRegistro(std::string &clave) const
{
    clave = "SOFTWARE\\NUV\\DAX\\Prueba";
    return S_OK;
}

HRESULT CApliPrueba::VerDir(std::string &dir) const
{
    dir = m_dir;
    return S_OK;
}
} // namespace prueba
