#include "uninstall/Desinstalador.h"
#include "uninstall/Borrado.h"
#include "uninstall/Registro.h"

#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/VentanaImagen.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace
{
constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kLog[] = "Install.log";
constexpr char kLimpiador[] = "xdesvom.exe";
constexpr UINT kIdLimpiador = 4112;
constexpr char kTipoLimpiador[] = "xdes";
constexpr UINT kIdVentana = 4109;
constexpr char kImagen[] = "Bitmap.bmp";
constexpr DWORD kPausaLinea = 700;
constexpr int kMargenDerecho = 20;
constexpr COLORREF kVerde = RGB(0, 255, 0);
const char *const kLineas[] = {"IDS_UNINSTALL_DESREGISTRANDO", "IDS_UNINSTALL_BORRANDOFIC",
                               "IDS_UNINSTALL_BORRANDOREG"};
// The shared components, unregistered when the maker's last product goes.
const char *const kComponentes[] = {"DaxModem.dll", "DaxTcpip.dll", "DaxParam.dll", "DaxWPoet.dll"};

std::string ConInserto(const std::string &texto, const std::string &inserto)
{
    // Put in place of the first "%s" only: a string file is data, never a format.
    std::string resultado = texto;
    if (const size_t at = resultado.find("%s"); at != std::string::npos)
        resultado.replace(at, 2, inserto);
    return resultado;
}

// The name with its first letter in capitals (Windows 1252: the accented letters too).
std::string ConMayuscula(std::string texto)
{
    if (texto.empty())
        return texto;
    const auto c = static_cast<unsigned char>(texto[0]);
    if (c >= 'a' && c <= 'z')
        texto[0] = static_cast<char>(c - 32);
    else if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        texto[0] = static_cast<char>(c - 32);
    return texto;
}

bool EsDll(const std::string &fichero)
{
    return fichero.size() >= 4 && lstrcmpiA(fichero.substr(fichero.size() - 4).c_str(), ".dll") == 0;
}

bool Existe(const std::string &fichero)
{
    return GetFileAttributesA(fichero.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A COM server's own unregistration, with COM initialised on this thread.
bool DesregistrarServidor(const std::string &servidor)
{
    if (!Existe(servidor))
        return true;
    const HMODULE modulo = LoadLibraryA(servidor.c_str());
    if (!modulo)
        return false;
    using Funcion = HRESULT(STDAPICALLTYPE *)();
    const auto funcion =
        reinterpret_cast<Funcion>(reinterpret_cast<void *>(GetProcAddress(modulo, "DllUnregisterServer")));
    if (funcion)
    {
        const HRESULT com = CoInitialize(nullptr);
        funcion();
        if (SUCCEEDED(com))
            CoUninitialize();
    }
    FreeLibrary(modulo);
    return funcion != nullptr;
}

// The desktop the help folder is on: the common one on the NT family, the user's on 9x.
std::string Escritorio(bool nt)
{
    const HKEY raiz = nt ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY clave = nullptr;
    std::string escritorio;
    if (RegOpenKeyExA(raiz, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &clave) == ERROR_SUCCESS)
    {
        char texto[MAX_PATH] = "";
        DWORD tam = sizeof texto - 1;
        if (RegQueryValueExA(clave, nt ? "Common Desktop" : "Desktop", nullptr, nullptr,
                             reinterpret_cast<BYTE *>(texto), &tam) == ERROR_SUCCESS)
            escritorio = texto;
        RegCloseKey(clave);
    }
    return escritorio;
}

// Logs the user off (NT family) or restarts Windows (9x); not forced.
void Reiniciar(bool nt)
{
    if (!nt)
    {
        ExitWindowsEx(EWX_REBOOT, 0);
        return;
    }
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    {
        TOKEN_PRIVILEGES privilegios{};
        privilegios.PrivilegeCount = 1;
        privilegios.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privilegios.Privileges[0].Luid))
            AdjustTokenPrivileges(token, FALSE, &privilegios, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    ExitWindowsEx(EWX_LOGOFF, 0);
}

// A string file's name: "UNS_" ... ".ini".
bool EsFicheroDeCadenas(const std::string &nombre)
{
    const std::string prefijo = CCadenas::kPrefijo;
    return nombre.size() > prefijo.size() + 4 &&
           lstrcmpiA(nombre.substr(0, prefijo.size()).c_str(), prefijo.c_str()) == 0 &&
           lstrcmpiA(nombre.substr(nombre.size() - 4).c_str(), ".ini") == 0;
}

// A library the uninstaller itself has loaded (its window library): Windows deletes no loaded
// module, so it goes at the next start like a file in use, and never defers the uninstall.
bool EsModuloPropio(const std::string &fichero)
{
    return GetModuleHandleA(fichero.c_str()) != nullptr;
}

std::string CarpetaDe(const std::string &ruta)
{
    const size_t barra = ruta.find_last_of("\\/");
    return barra == std::string::npos ? std::string(".") : ruta.substr(0, barra);
}
} // namespace

// --- start -----------------------------------------------------------------------------------

int CDesinstalador::Caja(const char *clave, UINT tipo, const std::string &inserto) const
{
    return MessageBoxA(nullptr, ConInserto(Texto(clave), inserto).c_str(),
                       Texto("IDS_UNINSTALL_ATENCION").c_str(), tipo);
}

bool CDesinstalador::Preparar()
{
    char programa[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, programa, MAX_PATH);
    m_programa = programa;
    m_carpeta = CarpetaDe(m_programa);
    if (!m_cadenas.Cargar(m_carpeta, GetUserDefaultLangID()))
        return false;
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    m_nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    m_soportado = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS || (m_nt && version.dwMajorVersion >= 4);
    SetCurrentDirectoryA(m_carpeta.c_str());
    return true;
}

// The checks before anything changes; false when the run ends here (its message shown).
bool CDesinstalador::Comprobar()
{
    m_nombre = Texto("IDS_UNINSTALL_APLICACION");
    if (!m_producto.Leer())
    {
        NoDesinstalado();
        return false;
    }
    if (!m_log.Abrir(kLog))
    {
        Caja("IDS_UNINSTALL_NO_INSTALL_LOG", MB_OK | MB_ICONERROR, kLog);
        BorrarValor(kRun, m_producto.nemonico + "_Unins");
        return false;
    }
    if (std::string nombre = m_log.Nombre(m_producto.nemonico); !nombre.empty())
        m_nombre = std::move(nombre);
    if (!m_soportado)
    {
        Caja("IDS_UNINSTALL_SO_CORRECTO", MB_OK | MB_ICONERROR);
        NoDesinstalado();
        return false;
    }
    HKEY software = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &software) != ERROR_SUCCESS)
    {
        Caja("IDS_UNINSTALL_NOADMIN", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND, m_nombre);
        NoDesinstalado();
        return false;
    }
    RegCloseKey(software);
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, m_producto.mutex.c_str());
    const bool existia = GetLastError() == ERROR_ALREADY_EXISTS;
    bool enMarcha = false;
    if (mutex)
    {
        const DWORD espera = existia ? WaitForSingleObject(mutex, 0) : WAIT_FAILED;
        enMarcha = existia && espera != WAIT_ABANDONED;
        if (espera == WAIT_OBJECT_0 || espera == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    if (enMarcha)
    {
        Caja("IDS_UNINSTALL_APLICACION_EN_USO", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
        NoDesinstalado();
        return false;
    }
    if (Caja("IDS_UNINSTALL_CONFIRMARDES", MB_OKCANCEL | MB_ICONQUESTION, m_nombre) != IDOK)
    {
        NoDesinstalado();
        return false;
    }
    return true;
}

// A copied file is in use when it cannot be deleted: tried on the file itself, put back from a
// copy at once.
CDesinstalador::Uso CDesinstalador::FicheroEnUso(const std::string &fichero) const
{
    if (!Existe(fichero))
        return Uso::Libres;
    char copia[MAX_PATH] = "";
    if (!GetTempFileNameA(CarpetaTemporal().c_str(), "des", 0, copia))
        return Uso::Error;
    // Windows 9x answers access denied for a file another program has open, the NT family a
    // sharing violation: both mean it is in use.
    const auto segunError = [] {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? Uso::EnUso : Uso::Error;
    };
    Uso uso = Uso::Error;
    if (!CopyFileA(fichero.c_str(), copia, FALSE))
        uso = GetLastError() == ERROR_SHARING_VIOLATION ? Uso::EnUso : Uso::Error;
    else if (!DeleteFileA(fichero.c_str()))
        uso = segunError();
    else
        uso = CopyFileA(copia, fichero.c_str(), FALSE) ? Uso::Libres : Uso::Error;
    DeleteFileA(copia);
    return uso;
}

CDesinstalador::Uso CDesinstalador::FicherosEnUso() const
{
    for (const std::string &fichero : m_log.Valores(CInstallLog::kFileCopy))
    {
        if (MismaRuta(fichero, m_programa) || MismaRuta(fichero, m_cadenas.Fichero()) ||
            EsModuloPropio(fichero))
            continue;
        if (const Uso uso = FicheroEnUso(fichero); uso != Uso::Libres)
            return uso;
    }
    return Uso::Libres;
}

// Some file is in use: the uninstall runs again at the next logon, now or after a restart.
int CDesinstalador::Aplazar()
{
    const int respuesta = Caja("IDS_UNINSTALL_RUNONCE", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (respuesta != IDYES && respuesta != IDNO)
    {
        NoDesinstalado();
        return 0;
    }
    BorrarValor(kRun, m_producto.nemonico);
    EscribirTexto(kRun, m_producto.nemonico + "_Unins", m_programa);
    if (respuesta == IDNO)
        return 0;
    return DesregistrarYReiniciar() ? 0 : 1;
}

// Before the restart the servers are unregistered once more; when that fails the user is asked
// to close the product, and nothing restarts.
bool CDesinstalador::DesregistrarYReiniciar()
{
    if (!Desregistrar(false))
    {
        Caja("IDS_UNINSTALL_CERRAR_APLICACION", MB_OK | MB_ICONINFORMATION);
        return false;
    }
    Reiniciar(m_nt);
    return true;
}

// --- the clean-up program --------------------------------------------------------------------

bool CDesinstalador::EscribirLimpiador()
{
    const HRSRC recurso = FindResourceA(nullptr, MAKEINTRESOURCEA(kIdLimpiador), kTipoLimpiador);
    const HGLOBAL datos = recurso ? LoadResource(nullptr, recurso) : nullptr;
    const void *bytes = datos ? LockResource(datos) : nullptr;
    const DWORD tam = recurso ? SizeofResource(nullptr, recurso) : 0;
    if (!bytes || tam == 0)
        return false;
    const std::string destino = CarpetaTemporal() + kLimpiador;
    const bool ok = EscribirFichero(destino, bytes, tam);
    if (ok)
        m_limpiador = destino;
    return ok;
}

// What the clean-up program deletes at the next start: the uninstaller, its log and its string
// files, which cannot go while it runs.
void CDesinstalador::ProgramarLimpieza()
{
    HKEY runOnce = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunOnce, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &runOnce,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegCloseKey(runOnce);
    const std::string &n = m_producto.nemonico;
    const std::string orden = m_limpiador + " ";
    const std::string carpeta = RutaCorta(m_carpeta);
    EscribirTexto(kRunOnce, n + "_XDes", orden + RutaCorta(m_programa));
    EscribirTexto(kRunOnce, n + "_LOG", orden + carpeta + "\\" + kLog);
    EscribirTexto(kRunOnce, n + "_UNS", orden + carpeta + "\\" + CCadenas::kEspanol);
    WIN32_FIND_DATAA datos;
    const HANDLE busqueda = FindFirstFileA((std::string(CCadenas::kPrefijo) + "*.ini").c_str(), &datos);
    if (busqueda == INVALID_HANDLE_VALUE)
        return;
    int i = 0;
    do
    {
        const std::string nombre = datos.cAlternateFileName[0] ? datos.cAlternateFileName : datos.cFileName;
        EscribirTexto(kRunOnce, n + "_" + CCadenas::kPrefijo + std::to_string(++i),
                      orden + carpeta + "\\" + nombre);
    } while (FindNextFileA(busqueda, &datos));
    FindClose(busqueda);
}

// --- the uninstall -----------------------------------------------------------------------------

bool CDesinstalador::UltimoProducto() const
{
    return Subclaves(CProducto::kClaveFabricante) == 1;
}

bool CDesinstalador::Desregistrar(bool contadores)
{
    if (contadores)
    {
        std::vector<std::string> dlls = m_log.Valores(CInstallLog::kFileOverwrite);
        const std::vector<std::string> copiados = m_log.Valores(CInstallLog::kFileCopy);
        dlls.insert(dlls.end(), copiados.begin(), copiados.end());
        for (const std::string &dll : dlls)
            if (EsDll(dll) && !DescontarCompartido(dll))
                return false;
    }
    bool ok = true;
    for (const std::string &servidor : m_log.Valores(CInstallLog::kSelfRegister))
        if (!(EsDll(servidor) && SigueCompartida(servidor)))
            ok = DesregistrarServidor(servidor) && ok;
    if (UltimoProducto())
        for (const char *componente : kComponentes)
            ok = DesregistrarServidor(m_producto.carpetaCompartida + "\\" + componente) && ok;
    return ok;
}

bool CDesinstalador::BorrarFicheros()
{
    for (const std::string &enlace : m_log.Valores(CInstallLog::kShellLink))
        if (!BorrarFichero(enlace, m_nt))
            return false;
    for (const std::string &fichero : m_log.Valores(CInstallLog::kFileCopy))
        if (!(EsDll(fichero) && SigueCompartida(fichero)) && !BorrarFichero(fichero, m_nt))
            return false;
    if (const auto principal = LeerTexto(m_producto.claveProducto, "DirPrincipal"))
        for (const char *sobrante : {"config.dat", "winipcfg.out", "temp.txt"})
            DeleteFileA((*principal + "\\" + sobrante).c_str());
    BorrarValor(kRun, m_producto.nemonico);
    if (UltimoProducto())
        BorrarArbol(m_producto.carpetaCompartida);
    return true;
}

// What is left in a folder the uninstall made: the uninstaller, its log and its string files
// (waiting for the next start), and folders already left to the clean-up program.
bool CDesinstalador::SoloQuedaLoNuestro(const std::string &carpeta,
                                        const std::vector<std::string> &pendientes) const
{
    WIN32_FIND_DATAA datos;
    const HANDLE busqueda = FindFirstFileA((carpeta + "\\*").c_str(), &datos);
    if (busqueda == INVALID_HANDLE_VALUE)
        return false;
    bool nuestro = true;
    do
    {
        const std::string nombre = datos.cFileName;
        if (nombre == "." || nombre == "..")
            continue;
        const std::string ruta = carpeta + "\\" + nombre;
        if (datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            nuestro = std::any_of(pendientes.begin(), pendientes.end(),
                                  [&](const std::string &p) { return MismaRuta(p, ruta); });
        else
            nuestro = MismaRuta(ruta, m_programa) || EsModuloPropio(ruta) ||
                      (MismaRuta(carpeta, m_carpeta) &&
                       (lstrcmpiA(nombre.c_str(), kLog) == 0 || EsFicheroDeCadenas(nombre)));
    } while (nuestro && FindNextFileA(busqueda, &datos));
    FindClose(busqueda);
    return nuestro;
}

void CDesinstalador::BorrarCarpetas()
{
    std::vector<std::string> carpetas = m_log.Valores(CInstallLog::kMadeDir);
    std::vector<std::string> pendientes;
    for (auto it = carpetas.rbegin(); it != carpetas.rend(); ++it)
    {
        if (RemoveDirectoryA(it->c_str()))
            continue;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || m_limpiador.empty())
            continue;
        // The clean-up program removes the whole tree: only a folder that holds nothing but
        // what goes at the next start anyway, never another product's files.
        if (!SoloQuedaLoNuestro(*it, pendientes))
            continue;
        pendientes.push_back(*it);
        EscribirTexto(kRunOnce, m_producto.nemonico + "_XDes" + std::to_string(++m_carpetasPendientes),
                      m_limpiador + " " + RutaCorta(*it));
    }
    // The help folder is a folder of the desktop: a name that is empty or climbs out of it
    // would take the desktop, or more, with it.
    const std::string &ayuda = m_producto.ayuda;
    const std::string escritorio = Escritorio(m_nt);
    if (!escritorio.empty() && !ayuda.empty() && ayuda != "." && ayuda != ".." &&
        ayuda.find_first_of("\\/:") == std::string::npos)
        BorrarArbol(escritorio + "\\" + ayuda);
}

void CDesinstalador::DeshacerRegistro()
{
    for (const std::string &clave : m_log.Valores(CInstallLog::kRegDbKill))
        BorrarClaveEntera(clave);
    const std::vector<CRegistroLog> registros = m_log.Registros();
    for (auto it = registros.rbegin(); it != registros.rend(); ++it)
        ::DeshacerRegistro(*it);
    BorrarClavesVacias(m_producto.claveProducto, CProducto::kClaveFabricante);
}

bool CDesinstalador::Desinstalar(const Progreso &progreso)
{
    progreso(0);
    if (!Desregistrar(true))
        return false;
    progreso(1);
    if (!BorrarFicheros())
        return false;
    BorrarCarpetas();
    progreso(2);
    DeshacerRegistro();
    return true;
}

// --- the end -----------------------------------------------------------------------------------

void CDesinstalador::NoDesinstalado()
{
    BorrarValor(kRun, m_producto.nemonico + "_Unins");
    Caja("IDS_UNINSTALL_NODESINSTALADO", MB_OK | MB_ICONERROR | MB_SETFOREGROUND, ConMayuscula(m_nombre));
}

int CDesinstalador::Terminar()
{
    BorrarValor(kRun, m_producto.nemonico + "_Unins");
    if (Caja("IDS_UNINSTALL_REINICIOWIN", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES)
        DesregistrarYReiniciar();
    return 0;
}

int CDesinstalador::Ejecutar()
{
    if (!Preparar())
        return 0;
    if (!Comprobar())
        return 0;
    switch (FicherosEnUso())
    {
    case Uso::Error:
        NoDesinstalado();
        return 0;
    case Uso::EnUso:
        return Aplazar();
    case Uso::Libres:
        break;
    }
    if (EscribirLimpiador())
        ProgramarLimpieza();

    CVentanaImagen ventana;
    const bool conVentana = ventana.Crear(nullptr, kIdVentana, kImagen) != FALSE;
    // The lines' places: the tallest text sets the spacing of the three.
    int alto = 0;
    for (const char *linea : kLineas)
        alto = std::max<int>(alto, ventana.MedirTexto(Texto(linea)).cy);
    const int hueco = (180 - 3 * alto) / 4;
    const Progreso progreso = [&](int i) {
        if (conVentana)
            ventana.DibujarLinea(i, Texto(kLineas[i]), 100 + hueco + i * (alto + hueco), kMargenDerecho,
                                 kVerde);
        Sleep(kPausaLinea);
    };
    struct Trabajo
    {
        CDesinstalador *yo;
        const Progreso *progreso;
        bool hecho = false;
    } trabajo{this, &progreso};
    const HANDLE hilo = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto *t = static_cast<Trabajo *>(p);
            t->hecho = t->yo->Desinstalar(*t->progreso);
            return 0;
        },
        &trabajo, 0, nullptr);
    if (!hilo)
    {
        ventana.Destruir();
        NoDesinstalado();
        return 0;
    }
    qelmfc::BombearHasta([&] { return WaitForSingleObject(hilo, 0) == WAIT_OBJECT_0; }, INFINITE);
    CloseHandle(hilo);
    ventana.Destruir();
    // A step that failed is told; the finish follows all the same.
    if (!trabajo.hecho)
        NoDesinstalado();
    return Terminar();
}
