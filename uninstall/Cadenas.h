// The uninstaller's texts: the string file of the user's language beside the program, with
// its two fall-backs (the language's neutral file, then Spanish).
#pragma once

#include "platform/windows.h"

#include <map>
#include <string>

class CCadenas
{
  public:
    // Looks for the file in `carpeta` for `idioma`; false when none of the three exists.
    bool Cargar(const std::string &carpeta, LANGID idioma);
    // The text of `clave` in section "cadenas", "\n" turned into line breaks; empty when absent.
    // The uninstaller's own texts are read when the file is found: the file goes with the
    // installation's other files while they are still needed.
    std::string Texto(const char *clave) const;
    const std::string &Fichero() const { return m_fichero; }

    static constexpr char kPrefijo[] = "UNS_";
    static constexpr char kEspanol[] = "UNS_0a00.ini";

  private:
    std::string Leer(const char *clave) const;

    std::string m_fichero;
    std::map<std::string, std::string> m_textos;
};
