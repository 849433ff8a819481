// The screen and the fields as the kit's console reader takes them (modem/PantallaConsola):
// what the simulated console draws is read here by the same rules.
#pragma once

#include "modem/PantallaConsola.h"

#include <string>

namespace consolescreen
{
inline std::string ScreenText(const std::string &answer)
{
    return TextoDePantalla(answer);
}

inline std::string Field(const std::string &screen, const std::string &label, int word)
{
    return TomarCampo(screen, label, word);
}
} // namespace consolescreen
