// Inside the binding only: the buttons of a message box and their names.
#pragma once

#include "platform/windows.h"

#include <string>
#include <vector>

namespace qelmfc
{
// The answers of a box's buttons (MB_OK...), in the order Windows shows them.
std::vector<int> BotonesDe(UINT tipo);
// The caption Spanish Windows gives the button of an answer ("Aceptar", "Sí"...).
std::string NombreRespuesta(int id);
} // namespace qelmfc
