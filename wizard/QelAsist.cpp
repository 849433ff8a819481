// QelAsist: the wizard library's entry points. A host calls GetIDOfName("asistente") and then
// Invoke, which runs the whole wizard modally and returns when it closes. Two more names write
// the reports of the process's run (Soporte.h): "soporte" (one argument, the archive's path)
// and "informe" (the report's path and the host's exit code in decimal); Invoke returns
// E_INVALIDARG without them and E_FAIL when the file could not be written.
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Soporte.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "comun/FileMap.h"
#include "comun/Uti.h"
#include "outside/qelapli/ApliKIT.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#define QELASIST_API extern "C" __declspec(dllexport)
#else
#define QELASIST_API extern "C" __attribute__((visibility("default")))
#endif

namespace asistente
{
void FijarModulo(HMODULE hModulo);
}

namespace
{
constexpr LONG kIdAsistente = 1;
constexpr LONG kIdSoporte = 2;
constexpr LONG kIdInforme = 3;

std::string Estrecho(LPCOLESTR ancho)
{
    if (!ancho)
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, ancho, -1, nullptr, 0, nullptr, nullptr);
    std::string texto(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, ancho, -1, texto.data(), n, nullptr, nullptr);
    texto.resize(std::char_traits<char>::length(texto.c_str()));
    return texto;
}

HRESULT Informes(LONG lId, UINT uArgs, LPCOLESTR *ppszArgs)
{
    const UINT necesarios = lId == kIdSoporte ? 1 : 2;
    if (uArgs < necesarios || !ppszArgs || !ppszArgs[0] || !*ppszArgs[0])
        return E_INVALIDARG;
    std::string motivo;
    const std::string fichero = Estrecho(ppszArgs[0]);
    const bool escrito =
        lId == kIdSoporte
            ? soporte::EscribirPaquete(fichero, motivo)
            : soporte::EscribirInforme(fichero, std::atoi(Estrecho(ppszArgs[1]).c_str()), motivo);
    return escrito ? S_OK : E_FAIL;
}

// "Config.ini" beside the library, with every value the wizard needs present and not empty.
bool ConfigValida()
{
    const std::string fichero = asistente::FicheroConfig();
    const DWORD atributos = GetFileAttributesA(fichero.c_str());
    if (atributos == INVALID_FILE_ATTRIBUTES || (atributos & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    std::string valor;
    for (const char *clave : {"Titulo", "Nemonico", "Registro", "Mutex"})
        if (!asistente::LeerConfig("General", clave, valor))
            return false;
    for (const char *clave : {"DNS1", "DNS2"})
        if (!asistente::LeerConfig("DNS", clave, valor))
            return false;
    return true;
}

// A wizard already open in this PC: its window, brought to the front.
bool ActivarPrimero()
{
    std::string nemonico;
    asistente::LeerConfig("General", "Nemonico", nemonico);
    CFileMap mapa;
    if (mapa.Open(nemonico.c_str(), CFileMap::modoSoloLectura) != S_OK)
        return false;
    const DWORD valor = *static_cast<const DWORD *>(mapa.VerPFileMap());
    const HWND ventana = reinterpret_cast<HWND>(static_cast<UINT_PTR>(valor));
    if (!valor || !IsWindow(ventana))
        return false;
    CUti::ActivarVentana(ventana);
    return true;
}

void Ejecutar()
{
    if (!ConfigValida())
    {
        MessageBoxA(nullptr, asistente::Cadena(IDS_ERR_CONFIG_INI).c_str(),
                    asistente::Cadena(IDS_ERR_CONFIG_INI_TITULO).c_str(), MB_OK | MB_ICONERROR);
        return;
    }
    if (ActivarPrimero())
        return;
    CoInitialize(nullptr);
    {
        CApliKIT apli;
        CWizard97Sheet hoja(&apli, &asistente::ModuloKit(), nullptr, pagBienvenida);
        hoja.DoModal();
    }
    // The components' objects go before COM does.
    asistente::Datos().LiberarParametros();
    CoUninitialize();
}
} // namespace

QELASIST_API BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
    {
        asistente::FijarModulo(hInstance);
        asistente::ModuloKit().Open(hInstance);
    }
    return TRUE;
}

QELASIST_API HRESULT WINAPI GetIDOfName(LPCSTR pszName, DWORD, LONG *plId)
{
    std::string nombre = pszName ? pszName : "";
    std::transform(nombre.begin(), nombre.end(), nombre.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const LONG id = nombre == "asistente" ? kIdAsistente
                    : nombre == "soporte" ? kIdSoporte
                    : nombre == "informe" ? kIdInforme
                                          : 0;
    if (plId)
        *plId = id;
    return id ? S_OK : DISP_E_UNKNOWNNAME;
}

QELASIST_API HRESULT WINAPI Invoke(LONG lId, DWORD, WORD, UINT uArgs, LPCOLESTR *ppszArgs, VARIANT *,
                                   EXCEPINFO *, UINT *)
{
    if (lId == kIdSoporte || lId == kIdInforme)
        return Informes(lId, uArgs, ppszArgs);
    Ejecutar();
    return S_OK;
}
