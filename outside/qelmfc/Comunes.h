// What the two bindings of QelMFC (Qt, and plain Win32 on Windows) share inside the library.
#pragma once

#include <string>

namespace qelmfc
{
// The program's name without folder or extension, as it names itself in what it says
// ("QelExec: ..."); "programa" when it cannot tell.
std::string NombrePrograma();
} // namespace qelmfc
