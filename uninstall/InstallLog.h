// Install.log: the installer's record of what it did, one record a line. Each kind is found by
// its tag anywhere in the line; its value starts right after the tag and one blank, counted
// from the start of the line, and runs to the end of the line.
#pragma once

#include "platform/windows.h"

#include <string>
#include <vector>

// A registry value the installer wrote, with what it held before.
struct CRegistroLog
{
    std::string clave;
    std::string nombre;
    int tipo = 0;
    bool conRaiz = false;
    HKEY raiz = nullptr;
    std::string anterior; // empty: the value did not exist
};

class CInstallLog
{
  public:
    // Reads the whole log; false when it cannot be opened.
    bool Abrir(const std::string &fichero);

    // The non-empty values of every line holding `etiqueta`, in the log's order.
    std::vector<std::string> Valores(const char *etiqueta) const;
    // The registry records: a "RegDB Key:" line and the "RegDB" lines after it.
    std::vector<CRegistroLog> Registros() const;
    // The product's display name, from the line "NOMBRE_<identificador>"; empty when none.
    std::string Nombre(const std::string &identificador) const;

    static constexpr char kFileCopy[] = "File Copy:";
    static constexpr char kFileOverwrite[] = "File Overwrite:";
    static constexpr char kSelfRegister[] = "Self-Register:";
    static constexpr char kShellLink[] = "Shell Link:";
    static constexpr char kMadeDir[] = "Made Dir:";
    static constexpr char kRegDbKill[] = "RegDB Kill:";
    static constexpr char kRegDbKey[] = "RegDB Key:";
    static constexpr char kRegDbName[] = "RegDB Name:";
    static constexpr char kRegDbType[] = "RegDB Type:";
    static constexpr char kRegDbRoot[] = "RegDB Root:";
    static constexpr char kRegDbOld[] = "RegDB Old:";
    static constexpr char kNombre[] = "NOMBRE_";

  private:
    std::vector<std::string> m_lineas;
};

// The value of a record line with that tag: what follows the tag's length plus one blank.
std::string ValorDeLinea(const std::string &linea, const char *etiqueta);
