// Uninstal: removes an installation of the kit, undoing what its Install.log records. It takes
// no arguments; a person answers its questions, or an answers file named by KIT_ANSWERS does.
#include "uninstall/Desinstalador.h"

#include "outside/qelmfc/Interfaz.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (!qelmfc::PrepararUsuarioDelPrograma())
        return 1;
    return CDesinstalador().Ejecutar();
}
