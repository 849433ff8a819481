// The collectors of the support and run reports.
#include "wizard/Recogida.h"
#include "wizard/Ficheros.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"

#include "common/param/ComError.h"
#include "common/param/RouterParamPtr.h"
#include "outside/daxicom/ControlKit.h"
#include "outside/daxicom/SetZyxelConfig.h"
#include "outside/qelapli/RegApli.h"
#include "outside/qelmfc/Interfaz.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace soporte
{
using asistente::CCarpetaAuxiliar;
using asistente::LeerFichero;

namespace
{
// The router's name of its settings file, and the password it has before any setting gives one.
constexpr char kFicheroRouter[] = "643get.cfg";
constexpr char kPasswordInicial[] = "5807";
constexpr char kRouterDeFabrica[] = "192.168.1.1";
// A download tries twice and gives up on a silent router after WinINet's time-outs.
constexpr DWORD kMsDescarga = 120000;
// A program the reports start (route, regedit) that takes longer has hung.
constexpr DWORD kMsPrograma = 60000;
constexpr UINT kIdModem = 1;

constexpr char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kEnterNetAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Enternet.exe";
constexpr char kTarjetasNt4[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kServicios[] = "SYSTEM\\CurrentControlSet\\Services";

std::string Numero(DWORD n)
{
    return std::to_string(n);
}

std::string CarpetaTemporal()
{
    char ruta[MAX_PATH] = "";
    const DWORD n = GetTempPathA(sizeof ruta, ruta);
    return n > 0 && n < sizeof ruta ? ruta : "";
}

// Starts a program of the PC with its standard output into a file and waits for its end;
// false with the reason when it could not be started or did not end.
bool Ejecutar(const std::string &orden, const std::string &salida, DWORD &codigo, std::string &motivo)
{
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE fichero =
        CreateFileA(salida.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    if (fichero == INVALID_HANDLE_VALUE)
    {
        motivo = "no se pudo crear " + salida + " (error " + Numero(GetLastError()) + ")";
        return false;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = fichero;
    si.hStdError = fichero;
    PROCESS_INFORMATION pi{};
    std::string linea = orden;
    const BOOL lanzado = CreateProcessA(nullptr, linea.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    CloseHandle(fichero);
    if (!lanzado)
    {
        motivo = "no se pudo ejecutar \"" + orden + "\" (error " + Numero(error) + ")";
        return false;
    }
    const bool terminado = WaitForSingleObject(pi.hProcess, kMsPrograma) == WAIT_OBJECT_0;
    if (!terminado)
        TerminateProcess(pi.hProcess, 1);
    GetExitCodeProcess(pi.hProcess, &codigo);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!terminado)
        motivo = "\"" + orden + "\" no terminó";
    return terminado;
}

std::string Raiz(HKEY raiz)
{
    return raiz == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\";
}

// The keys as the PC's regedit exports them (REGEDIT4), one script; the keys it could not
// export are named in `faltan`.
std::string Exportar(const std::vector<std::pair<HKEY, std::string>> &claves, std::string &faltan)
{
    CCarpetaAuxiliar carpeta("QelInforme");
    if (!carpeta.Hecha())
    {
        faltan = "no se pudo crear una carpeta temporal";
        return {};
    }
    std::string script;
    for (std::size_t i = 0; i < claves.size(); ++i)
    {
        const std::string nombre = Raiz(claves[i].first) + claves[i].second;
        const std::string reg = carpeta.Fichero("clave" + std::to_string(i) + ".reg");
        DWORD codigo = 0;
        std::string motivo, parte;
        if (!Ejecutar("regedit /e \"" + reg + "\" \"" + nombre + "\"", carpeta.Fichero("regedit.out"), codigo,
                      motivo) ||
            codigo != 0 || !LeerFichero(reg, parte))
        {
            if (motivo.empty())
                motivo = "regedit terminó con el código " + Numero(codigo);
            faltan += (faltan.empty() ? "" : "; ") + nombre + ": " + motivo;
            continue;
        }
        // One header for the whole script.
        constexpr char kCabecera[] = "REGEDIT4\r\n";
        if (!script.empty() && parte.rfind(kCabecera, 0) == 0)
            parte.erase(0, sizeof kCabecera - 1);
        script += parte;
    }
    return script;
}

Pieza ExportarPieza(const char *nombre, const std::vector<std::pair<HKEY, std::string>> &claves)
{
    Pieza pieza(nombre);
    std::string faltan;
    pieza.bytes = Exportar(claves, faltan);
    if (pieza.bytes.empty())
        pieza.falta = faltan.empty() ? "ninguna clave exportada" : faltan;
    else if (!faltan.empty())
        pieza.nota = "sin " + faltan;
    return pieza;
}

std::string LeerValorRegistro(HKEY raiz, const std::string &clave, const char *valor)
{
    HKEY h = nullptr;
    if (RegOpenKeyExA(raiz, clave.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return {};
    char texto[MAX_PATH] = "";
    DWORD tipo = 0, largo = sizeof texto - 1;
    const LONG r = RegQueryValueExA(h, valor, nullptr, &tipo, reinterpret_cast<BYTE *>(texto), &largo);
    RegCloseKey(h);
    return r == ERROR_SUCCESS && tipo == REG_SZ ? std::string(texto) : std::string();
}

// Windows NT 4 keeps each card's TCP/IP under its service: the services of the cards.
std::vector<std::string> ServiciosDeTarjetasNt4()
{
    std::vector<std::string> servicios;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTarjetasNt4, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return servicios;
    char nombre[MAX_PATH];
    for (DWORD i = 0;; ++i)
    {
        DWORD largo = sizeof nombre;
        if (RegEnumKeyExA(h, i, nombre, &largo, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string servicio =
            LeerValorRegistro(HKEY_LOCAL_MACHINE, std::string(kTarjetasNt4) + "\\" + nombre, "ServiceName");
        if (!servicio.empty())
            servicios.push_back(servicio);
    }
    RegCloseKey(h);
    return servicios;
}

bool EmpiezaSinCaso(const std::string &texto, const char *inicio)
{
    for (std::size_t i = 0; inicio[i]; ++i)
        if (i >= texto.size() || std::tolower(static_cast<unsigned char>(texto[i])) !=
                                     std::tolower(static_cast<unsigned char>(inicio[i])))
            return false;
    return true;
}

// A window of its own hosting a modem component for one download, apart from the wizard's:
// its events never reach the wizard's pages.
class CDescarga : public CWnd
{
  public:
    bool Preparar() { return CrearVentana("Informe", nullptr) && m_modem.Create(this, kIdModem); }
    ~CDescarga() override
    {
        if (m_modem.IsActive())
            m_modem.Stop(5000);
        m_modem.DestroyWindow();
        DestruirVentana();
    }

    // The router's configuration as it is into `fichero`: true when the component ended well.
    bool Bajar(const std::string &ip, const std::string &password, const std::string &fichero)
    {
        m_fin = false;
        m_estado = 1;
        m_modem.SetBackupFile(fichero.c_str());
        m_modem.SetPassword(password.c_str());
        m_modem.SetModemCurIp(ip.c_str());
        m_modem.SetTransferMode(1);
        if (FAILED(m_modem.Start()))
            return false;
        qelmfc::BombearHasta([this] { return m_fin; }, kMsDescarga);
        return m_fin && m_estado == 0;
    }

    void OnEventoControl(UINT, const CEventoControl &evento) override
    {
        if (evento.dispid == DISPID_EVENTO_END)
        {
            m_fin = true;
            m_estado = evento.lStatus;
        }
    }

  private:
    CSetZyxelConfig m_modem;
    bool m_fin = false;
    LONG m_estado = 1;
};

// Where the router may be, most likely first: the LAN the plan gave it (while the wizard runs,
// else as it was when the wizard closed), the address it was found at, the one read from its
// console, its factory address.
std::vector<std::string> DireccionesDelRouter()
{
    const CDatosAsistente &datos = asistente::Datos();
    std::vector<std::string> candidatas;
    RouterParamPtr plan;
    if (datos.ParamModem && SUCCEEDED(plan.QueryFrom(datos.ParamModem)))
        try
        {
            candidatas.push_back(plan.GetLan().first);
        }
        catch (const CComError &)
        {
        }
    for (const std::string &ip :
         {datos.LanRouter, datos.IpRouter, datos.IpRouterConsola, std::string(kRouterDeFabrica)})
        candidatas.push_back(ip);
    std::vector<std::string> unicas;
    for (const std::string &ip : candidatas)
        if (!ip.empty() && ip != "0.0.0.0" && std::find(unicas.begin(), unicas.end(), ip) == unicas.end())
            unicas.push_back(ip);
    return unicas;
}

std::string PasswordDelRouter()
{
    const std::string &dada = asistente::Datos().PasswordRouter;
    return dada.empty() ? kPasswordInicial : dada;
}

// RASAPI32 is bound at run time, as the kit binds it: a PC without dial-up networking has none.
struct Ras
{
    using PFNENUM = DWORD(WINAPI *)(LPCSTR, LPCSTR, LPRASENTRYNAMEA, LPDWORD, LPDWORD);
    using PFNPROPIEDADES = DWORD(WINAPI *)(LPCSTR, LPCSTR, LPRASENTRYA, LPDWORD, LPBYTE, LPDWORD);
    using PFNPARAMETROS = DWORD(WINAPI *)(LPCSTR, LPRASDIALPARAMSA, LPBOOL);

    Ras() : modulo(LoadLibraryA("RASAPI32.DLL"))
    {
        if (!modulo)
            return;
        enumerar = Funcion<PFNENUM>("RasEnumEntriesA");
        propiedades = Funcion<PFNPROPIEDADES>("RasGetEntryPropertiesA");
        parametros = Funcion<PFNPARAMETROS>("RasGetEntryDialParamsA");
    }
    ~Ras()
    {
        if (modulo)
            FreeLibrary(modulo);
    }
    Ras(const Ras &) = delete;
    Ras &operator=(const Ras &) = delete;
    bool Listo() const { return enumerar && propiedades && parametros; }
    template <class F> F Funcion(const char *nombre) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(modulo, nombre)));
    }

    std::vector<std::string> Entradas() const
    {
        std::vector<RASENTRYNAMEA> nombres(1);
        nombres[0].dwSize = sizeof(RASENTRYNAMEA);
        DWORD bytes = sizeof(RASENTRYNAMEA), cuantas = 0;
        DWORD r = enumerar(nullptr, nullptr, nombres.data(), &bytes, &cuantas);
        if (r == ERROR_BUFFER_TOO_SMALL)
        {
            nombres.resize(bytes / sizeof(RASENTRYNAMEA) + 1);
            nombres[0].dwSize = sizeof(RASENTRYNAMEA);
            bytes = static_cast<DWORD>(nombres.size() * sizeof(RASENTRYNAMEA));
            r = enumerar(nullptr, nullptr, nombres.data(), &bytes, &cuantas);
        }
        std::vector<std::string> entradas;
        for (DWORD i = 0; r == ERROR_SUCCESS && i < cuantas; ++i)
            entradas.push_back(nombres[i].szEntryName);
        return entradas;
    }

    std::string Describir(const std::string &entrada) const
    {
        std::string texto = "[" + entrada + "]\r\n";
        DWORD bytes = 0;
        propiedades(nullptr, entrada.c_str(), nullptr, &bytes, nullptr, nullptr);
        std::vector<BYTE> bloque(std::max<DWORD>(bytes, sizeof(RASENTRYA)));
        auto *e = reinterpret_cast<RASENTRYA *>(bloque.data());
        e->dwSize = sizeof(RASENTRYA);
        bytes = static_cast<DWORD>(bloque.size());
        if (const DWORD r = propiedades(nullptr, entrada.c_str(), e, &bytes, nullptr, nullptr);
            r == ERROR_SUCCESS)
            texto += std::string("TipoDispositivo=") + e->szDeviceType +
                     "\r\nDispositivo=" + e->szDeviceName + "\r\nTelefono=" + e->szLocalPhoneNumber +
                     "\r\nOpciones=" + Numero(e->dwfOptions) + "\r\n";
        else
            texto += "; propiedades: error " + Numero(r) + "\r\n";
        RASDIALPARAMSA p{};
        p.dwSize = sizeof p;
        std::snprintf(p.szEntryName, sizeof p.szEntryName, "%s", entrada.c_str());
        BOOL conPassword = FALSE;
        if (const DWORD r = parametros(nullptr, &p, &conPassword); r == ERROR_SUCCESS)
            texto += std::string("Usuario=") + p.szUserName + "\r\nPassword=" + p.szPassword +
                     "\r\nDominio=" + p.szDomain + "\r\n";
        else
            texto += "; parámetros de marcado: error " + Numero(r) + "\r\n";
        return texto + "\r\n";
    }

    HMODULE modulo;
    PFNENUM enumerar = nullptr;
    PFNPROPIEDADES propiedades = nullptr;
    PFNPARAMETROS parametros = nullptr;
};
} // namespace

Pieza AjustesRouter()
{
    Pieza pieza("router.cfg");
    std::string motivos;
    {
        CCarpetaAuxiliar carpeta("QelInforme");
        CDescarga descarga;
        if (!carpeta.Hecha())
            motivos = "no se pudo crear una carpeta temporal; ";
        else if (!descarga.Preparar())
            motivos = "no se pudo crear el componente del módem; ";
        else
            for (const std::string &ip : DireccionesDelRouter())
            {
                // Into the scratch folder, as the router gives it: the wizard's folder and its
                // template stay as they are.
                const std::string fichero = carpeta.Fichero(kFicheroRouter);
                if (descarga.Bajar(ip, PasswordDelRouter(), fichero) && LeerFichero(fichero, pieza.bytes))
                {
                    pieza.nota = "bajado del router en " + ip;
                    return pieza;
                }
                motivos += "el router no respondió en " + ip + "; ";
            }
    }
    const std::string copia = asistente::Directorio() + "\\" + kFicheroRouter;
    if (LeerFichero(copia, pieza.bytes))
    {
        pieza.nota = motivos + "tomado de " + copia;
        return pieza;
    }
    pieza.falta = motivos + "y no hay copia en " + copia;
    return pieza;
}

Pieza RegistroTcpip()
{
    std::vector<std::pair<HKEY, std::string>> claves;
    const std::string servicios = kServicios;
    if (asistente::Es9x())
    {
        claves = {{HKEY_LOCAL_MACHINE, servicios + "\\VxD\\MSTCP"},
                  {HKEY_LOCAL_MACHINE, servicios + "\\Class\\NetTrans"}};
    }
    else
    {
        claves = {{HKEY_LOCAL_MACHINE, servicios + "\\Tcpip\\Parameters"}};
        OSVERSIONINFOA v{};
        v.dwOSVersionInfoSize = sizeof v;
        const bool nt4 = GetVersionExA(&v) && v.dwMajorVersion == 4;
        const std::vector<std::string> tarjetas = nt4 ? ServiciosDeTarjetasNt4() : std::vector<std::string>();
        if (!tarjetas.empty())
            claves.push_back({HKEY_LOCAL_MACHINE, kTarjetasNt4});
        for (const std::string &servicio : tarjetas)
            claves.push_back({HKEY_LOCAL_MACHINE, servicios + "\\" + servicio + "\\Parameters\\Tcpip"});
    }
    return ExportarPieza("registro/tcpip.reg", claves);
}

Pieza RegistroKit()
{
    return ExportarPieza("registro/kit.reg", {{HKEY_LOCAL_MACHINE, "SOFTWARE\\NUV\\DAX"},
                                              {HKEY_CURRENT_USER, "Software\\NUV\\DAX"},
                                              {HKEY_LOCAL_MACHINE, kRun},
                                              {HKEY_LOCAL_MACHINE, kRunOnce},
                                              {HKEY_CURRENT_USER, kRun}});
}

Pieza Rutas()
{
    Pieza pieza("rutas.txt");
    CCarpetaAuxiliar carpeta("QelInforme");
    DWORD codigo = 0;
    std::string motivo;
    if (!carpeta.Hecha())
        pieza.falta = "no se pudo crear una carpeta temporal";
    else if (!Ejecutar("route PRINT", carpeta.Fichero("rutas.txt"), codigo, motivo))
        pieza.falta = motivo;
    else if (!LeerFichero(carpeta.Fichero("rutas.txt"), pieza.bytes))
        pieza.falta = "no se pudo leer la salida de route";
    else if (codigo != 0)
        pieza.nota = "route terminó con el código " + Numero(codigo);
    return pieza;
}

Pieza AgendaRas()
{
    Pieza pieza("ras.txt");
    Ras ras;
    if (!ras.Listo())
    {
        pieza.falta = "el PC no tiene acceso telefónico a redes (RASAPI32.DLL)";
        return pieza;
    }
    for (const std::string &entrada : ras.Entradas())
        pieza.bytes += ras.Describir(entrada);
    if (pieza.bytes.empty())
        pieza.falta = "la agenda telefónica no tiene entradas";
    return pieza;
}

Pieza PerfilEnterNet()
{
    Pieza pieza("enternet.ini");
    const std::string carpeta = LeerValorRegistro(HKEY_LOCAL_MACHINE, kEnterNetAppPath, "Path");
    if (carpeta.empty())
        pieza.falta = "el cliente EnterNet no está instalado";
    else if (!LeerFichero(carpeta + "\\EnterNet.ini", pieza.bytes))
        pieza.falta = "no se pudo leer " + carpeta + "\\EnterNet.ini";
    return pieza;
}

std::vector<Pieza> Trazas()
{
    std::vector<Pieza> trazas;
    const std::string temporal = CarpetaTemporal();
    WIN32_FIND_DATAA datos{};
    HANDLE busqueda = FindFirstFileA((temporal + "*.txt").c_str(), &datos);
    if (busqueda == INVALID_HANDLE_VALUE)
        return trazas;
    do
    {
        const std::string nombre = datos.cFileName;
        // The kit's modules name their logs after themselves: Dax... and Qel...
        if ((datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !(EmpiezaSinCaso(nombre, "Dax") || EmpiezaSinCaso(nombre, "Qel")))
            continue;
        Pieza pieza("trazas/" + nombre);
        if (!LeerFichero(temporal + nombre, pieza.bytes))
            pieza.falta = "no se pudo leer " + temporal + nombre;
        trazas.push_back(std::move(pieza));
    } while (FindNextFileA(busqueda, &datos));
    FindClose(busqueda);
    std::sort(trazas.begin(), trazas.end(),
              [](const Pieza &a, const Pieza &b) { return a.nombre < b.nombre; });
    return trazas;
}

Pieza Identidad()
{
    Pieza pieza("pc.txt");
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (GetVersionExA(&v))
        pieza.bytes += "Windows: plataforma " + Numero(v.dwPlatformId) + ", versión " +
                       Numero(v.dwMajorVersion) + "." + Numero(v.dwMinorVersion) + ", compilación " +
                       Numero(v.dwBuildNumber & 0xFFFF) + ", \"" + v.szCSDVersion + "\"\r\n";
    else
        pieza.bytes += "Windows: GetVersionEx falló (error " + Numero(GetLastError()) + ")\r\n";
    char nombre[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD largo = sizeof nombre;
    pieza.bytes += std::string("Equipo: ") + (GetComputerNameA(nombre, &largo) ? nombre : "?") + "\r\n";
    char usuario[257] = "";
    largo = sizeof usuario;
    pieza.bytes += std::string("Usuario: ") + (GetUserNameA(usuario, &largo) ? usuario : "?") + "\r\n";
    return pieza;
}

Pieza Transcripcion()
{
    Pieza pieza("transcripcion.txt");
    for (const qelmfc::LineaVista &linea : qelmfc::LineasVistas())
        pieza.bytes += linea.texto + "\r\n";
    if (pieza.bytes.empty())
        pieza.nota = "el asistente no mostró nada en este proceso";
    return pieza;
}

CSecretos SecretosDeLaEjecucion()
{
    const CDatosAsistente &datos = asistente::Datos();
    CSecretos secretos;
    secretos.Agregar(kPasswordInicial);
    secretos.Agregar(datos.Password);
    secretos.Agregar(datos.PasswordRouter);
    CRegApli reg;
    if (SUCCEEDED(reg.Open(asistente::ClaveRegistro().c_str(), FALSE)))
    {
        std::string guardada;
        if (SUCCEEDED(reg.GetPassword(guardada)))
            secretos.Agregar(guardada);
        reg.Close();
    }
    RouterParamPtr plan;
    if (datos.ParamModem && SUCCEEDED(plan.QueryFrom(datos.ParamModem)))
        try
        {
            secretos.Agregar(plan.GetUser().second);
        }
        catch (const CComError &)
        {
        }
    return secretos;
}

void Ocultar(CSecretos &secretos, std::vector<Pieza> &piezas)
{
    for (const Pieza &pieza : piezas)
        secretos.Aprender(pieza.bytes);
    for (Pieza &pieza : piezas)
    {
        pieza.bytes = secretos.Ocultar(pieza.bytes);
        pieza.nota = secretos.Ocultar(pieza.nota);
        pieza.falta = secretos.Ocultar(pieza.falta);
    }
}
} // namespace soporte
