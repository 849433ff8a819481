// A stand-alone program of the binding's tests, as the uninstaller is one: it sets up its own
// user and shows the first N boxes of its list (N its command line), as a Windows program
// calls MessageBoxA. It writes its answers down and ends with 0 when the script was done whole,
// 2 when not, 3 when the answers file is wrong.
#include "outside/qelmfc/Interfaz.h"

#include "platform/windows.h"

#include <cstdlib>
#include <string>

namespace
{
struct Caja
{
    const char *texto;
    UINT tipo;
};

constexpr Caja kCajas[] = {
    {"¿Desea desinstalar Conexión ADSL Router?", MB_OKCANCEL | MB_ICONQUESTION},
    {"Algún fichero está en uso.\n¿Desinstalar al volver a iniciar la sesión?",
     MB_YESNOCANCEL | MB_ICONQUESTION},
    {"Cierre la aplicación.", MB_OK | MB_ICONINFORMATION},
    {"No tiene permisos de administrador.", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND},
    {"¿Desea reiniciar ahora?", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND},
};
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    if (!qelmfc::PrepararUsuarioDelPrograma())
        return 3;
    const int n = std::atoi(lpCmdLine);
    std::string respuestas = "respuestas:";
    for (int i = 0; i < n && i < static_cast<int>(std::size(kCajas)); ++i)
        respuestas += " " + std::to_string(MessageBoxA(nullptr, kCajas[i].texto, "Atención", kCajas[i].tipo));
    qelmfc::Transcribir(respuestas);
    return qelmfc::GuionTerminado() ? 0 : 2;
}
