// The uninstaller's run: the checks, the confirmation, the in-use test with its deferral, the
// worker that undoes Install.log, and the finish with its restart.
#pragma once

#include "uninstall/Cadenas.h"
#include "uninstall/InstallLog.h"
#include "uninstall/Producto.h"

#include "platform/windows.h"

#include <functional>
#include <string>
#include <vector>

class CDesinstalador
{
  public:
    // The whole run; the program's exit code.
    int Ejecutar();

    // The progress window's three lines: each drawn line is followed by a pause.
    using Progreso = std::function<void(int linea)>;

  private:
    enum class Uso
    {
        Libres,
        EnUso,
        Error,
    };

    bool Preparar();
    bool Comprobar();
    Uso FicherosEnUso() const;
    Uso FicheroEnUso(const std::string &fichero) const;
    int Aplazar();
    bool DesregistrarYReiniciar();
    bool Desinstalar(const Progreso &progreso);
    int Terminar();
    void NoDesinstalado();

    // The uninstall's steps; false stops it.
    bool Desregistrar(bool contadores);
    bool BorrarFicheros();
    void BorrarCarpetas();
    bool SoloQuedaLoNuestro(const std::string &carpeta, const std::vector<std::string> &pendientes) const;
    void DeshacerRegistro();
    bool UltimoProducto() const;

    // The clean-up program written to the temporary folder, and its RunOnce values.
    bool EscribirLimpiador();
    void ProgramarLimpieza();

    int Caja(const char *clave, UINT tipo, const std::string &inserto = {}) const;
    std::string Texto(const char *clave) const { return m_cadenas.Texto(clave); }

    bool m_nt = false;
    bool m_soportado = false;
    std::string m_carpeta;   // the uninstaller's folder
    std::string m_programa;  // the uninstaller itself
    std::string m_nombre;    // the product's display name
    std::string m_limpiador; // the clean-up program, once written out
    int m_carpetasPendientes = 0;
    CCadenas m_cadenas;
    CProducto m_producto;
    CInstallLog m_log;
};
