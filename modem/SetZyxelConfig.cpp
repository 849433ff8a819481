// CSetZyxelConfig: the SetZyxelConfig control and its two workers.
#include "modem/SetZyxelConfig.h"
#include "common/ipv4/Ipv4Text.h"
#include "modem/Ftp.h"
#include "modem/ModemConfig.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace
{
// The router's FTP login.
constexpr const char *kUsuario = "guest";
constexpr const char *kPasswordInicial = "5807";
// The names on the router: its configuration and its firmware.
constexpr const char *kRemotoConfig = "rom-t";
constexpr const char *kRemotoFirmware = "ras";

// Result texts of the events.
constexpr const char *kMsgOk = "msg1";
constexpr const char *kMsgCancelado = "msg2";
constexpr const char *kMsgSinConexion = "msg3";
constexpr const char *kMsgTxErronea = "msg4";
constexpr const char *kMsgLogin = "msg5";
constexpr const char *kMsgError = "Error";

// The router refused the login (12014, ERROR_INTERNET_INCORRECT_PASSWORD: what a refused PASS
// gives) or dropped the connection (12111).
bool LoginRechazado(DWORD dwError)
{
    return dwError == ERROR_INTERNET_INCORRECT_PASSWORD || dwError == ERROR_FTP_DROPPED;
}

// "<current directory>\<name>", as the module names its files.
std::string EnCarpetaActual(const char *pszNombre)
{
    char szCarpeta[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof szCarpeta, szCarpeta);
    char szRuta[2 * MAX_PATH];
    std::snprintf(szRuta, sizeof szRuta, "%s\\%s", szCarpeta, pszNombre);
    return szRuta;
}

bool ExisteFichero(const std::string &strRuta)
{
    return GetFileAttributesA(strRuta.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates the calling thread's message queue.
void CrearColaMensajes()
{
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

// The next thread message; a broken queue reads as Stop's abort, so no loop waits on it.
MSG SiguienteMensaje()
{
    MSG msg{};
    if (GetMessageA(&msg, nullptr, 0, 0) <= 0)
        msg.message = CSetZyxelConfig::kMsgAbortar;
    return msg;
}

// Waits for message `uMsg`, dropping every other one, for at most `dwMs` milliseconds.
bool EsperarSolo(UINT uMsg, DWORD dwMs)
{
    const DWORD dwInicio = GetTickCount();
    for (;;)
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message == uMsg)
                return true;
        const DWORD dwPasado = GetTickCount() - dwInicio;
        if (dwPasado >= dwMs ||
            MsgWaitForMultipleObjects(0, nullptr, FALSE, dwMs - dwPasado, QS_ALLINPUT) == WAIT_TIMEOUT)
            return false;
    }
}
} // namespace

// One connection of a worker: opens it, and closes it once, waiting for the confirmation only
// when a connection was under way (StartOpen started); otherwise no notification would come.
class CConexion
{
  public:
    CConexion(CFtp &ftp) : m_ftp(ftp) {}
    ~CConexion() { Cerrar(); }

    bool Abrir()
    {
        m_bAbierta = m_ftp.StartOpen() != 0;
        m_bCerrada = false;
        return m_bAbierta;
    }

    void Cerrar()
    {
        if (m_bCerrada)
            return;
        m_bCerrada = true;
        m_ftp.StartClose();
        if (m_bAbierta)
            EsperarSolo(CSetZyxelConfig::kMsgHandleCerrado, CSetZyxelConfig::kCierreMs);
    }

  private:
    CFtp &m_ftp;
    bool m_bAbierta = false;
    bool m_bCerrada = true;
};

// What both workers have: their object, its log, and one FTP client with its connection.
class CSetZyxelConfig::CTrabajo
{
  protected:
    explicit CTrabajo(CSetZyxelConfig &obj) : m_obj(obj), m_log(obj.m_log), m_conexion(m_ftp) {}

    // Creates the thread's message queue, says so, and waits until Start has been fired.
    static void Arrancar(HANDLE hStartEvent, HANDLE hGo)
    {
        CrearColaMensajes();
        SetEvent(hStartEvent);
        WaitForSingleObject(hGo, INFINITE);
    }

    CSetZyxelConfig &m_obj;
    CTraceLog &m_log;
    CFtp m_ftp;
    CConexion m_conexion;
};

// One run of the transfer worker: upload, download or firmware.
class CSetZyxelConfig::CTransferencia : private CTrabajo
{
  public:
    explicit CTransferencia(CSetZyxelConfig &obj) : CTrabajo(obj) {}

    void Ejecutar(HANDLE hStartEvent, HANDLE hGo)
    {
        m_log.Write("Init SetFTPWorkerThread");
        Arrancar(hStartEvent, hGo);
        m_ajustes = m_obj.Ajustes();

        if (!PrepararFicheros())
            return Terminar();
        m_log.WriteText("SetFTPWorkerThread: transfiriendo a %s.", m_ajustes.strModemIp.c_str());
        m_ftp.SetServer(m_ajustes.strModemIp.c_str());
        m_ftp.SetLogin(kUsuario, m_ajustes.strPassword.c_str());
        m_ftp.SetNotifyThread(GetCurrentThreadId());

        if (!m_conexion.Abrir())
        {
            Fallo(kMsgSinConexion);
            m_conexion.Cerrar();
            return Terminar();
        }
        switch (EsperarApertura())
        {
        case Apertura::Conectado:
            Transferir();
            m_log.Write("SetFTPWorkerThread: cerrando conexion");
            m_conexion.Cerrar();
            LeerBajada();
            return Terminar();
        case Apertura::Cancelado:
            BorrarFichero();
            return m_obj.FinDeEjecucion(1, kMsgCancelado);
        case Apertura::Fallida:
            BorrarFichero();
            return m_obj.FinDeEjecucion(1, m_pszResult);
        }
    }

  private:
    enum class Apertura
    {
        Conectado,
        Cancelado,
        Fallida,
    };

    // The remote and local names of the run; for an upload, the file to put. False when the
    // file to upload could not be made: nothing is sent (an old "config.dat" left by a debug run
    // must not go to the router).
    bool PrepararFicheros()
    {
        if (m_ajustes.bFirmware == 1)
        {
            m_log.Write("SetFTPWorkerThread: actualizando firmware");
            m_pszRemoto = kRemotoFirmware;
            m_strLocal = m_ajustes.strFirmware;
            return true;
        }
        m_log.Write("SetFTPWorkerThread: configurando");
        m_pszRemoto = kRemotoConfig;
        if (!m_ajustes.strCopia.empty())
            return PrepararCopia();
        if (m_ajustes.bGetMode == 1)
        {
            m_log.Write("SetFTPWorkerThread: bajando config");
            m_strLocal = EnCarpetaActual(CModemConfig::kPlantillaBajada);
            return true;
        }
        m_log.Write("SetFTPWorkerThread: subiendo config");
        m_strLocal = EnCarpetaActual(CModemConfig::kConfig);
        if (m_obj.GenerarConfig(m_strLocal))
            return true;
        Fallo(kMsgTxErronea);
        return false;
    }

    // A backup goes as it is, both ways: nothing is generated, and a backup that is not there
    // sends nothing.
    bool PrepararCopia()
    {
        m_strLocal = m_ajustes.strCopia;
        if (m_ajustes.bGetMode == 1)
        {
            m_log.WriteText("SetFTPWorkerThread: bajando copia de config", m_strLocal.c_str());
            return true;
        }
        m_log.WriteText("SetFTPWorkerThread: subiendo copia de config", m_strLocal.c_str());
        if (ExisteFichero(m_strLocal))
            return true;
        m_log.Write("SetFTPWorkerThread: no existe la copia de config");
        Fallo(kMsgTxErronea);
        return false;
    }

    // Waits until the login has been answered.
    Apertura EsperarApertura()
    {
        for (;;)
        {
            const MSG msg = SiguienteMensaje();
            if (msg.message == kMsgAbortar)
            {
                // The close's own notification confirms the cancellation: the run ends here.
                m_log.Write("SetFTPWorkerThread: cancelando apertura");
                m_conexion.Cerrar();
                return Apertura::Cancelado;
            }
            if (msg.message != kMsgCompletada)
                continue;
            const DWORD dwError = static_cast<DWORD>(msg.wParam);
            if (dwError == ERROR_SUCCESS)
                return Apertura::Conectado;
            m_log.WriteNumber("SetFTPWorkerThread: cancelando apertura", "Error", static_cast<int>(dwError));
            m_pszResult = LoginRechazado(dwError) ? kMsgLogin : kMsgSinConexion;
            m_conexion.Cerrar();
            return Apertura::Fallida;
        }
    }

    // Gets or puts the file, firing the byte totals as they grow.
    void Transferir()
    {
        m_log.WriteText("SetFTPWorkerThread: transferencia de fichero: %s", m_strLocal.c_str());
        const int nEmpezada = m_ajustes.bGetMode == 1 ? m_ftp.GetFile(m_pszRemoto, m_strLocal.c_str())
                                                      : m_ftp.PutFile(m_pszRemoto, m_strLocal.c_str());
        if (!nEmpezada)
            return Fallo(kMsgTxErronea);
        long long llTotal = 0;
        for (;;)
        {
            const MSG msg = SiguienteMensaje();
            switch (msg.message)
            {
            case kMsgEnviado:
            case kMsgRecibido: {
                llTotal += static_cast<DWORD>(msg.lParam);
                char szTotal[32];
                std::snprintf(szTotal, sizeof szTotal, "%lld", llTotal);
                m_obj.FireProgressDone(szTotal);
                break;
            }
            case kMsgCompletada:
                if (msg.wParam != ERROR_SUCCESS)
                {
                    m_log.WriteNumber("SetFTPWorkerThread: Tx erronea", "Error",
                                      static_cast<int>(msg.wParam));
                    Fallo(kMsgTxErronea);
                }
                return;
            case kMsgHandleCerrado:
                return;
            case kMsgAbortar:
                // A cancelled transfer is not a finished one.
                m_log.Write("SetFTPWorkerThread: cancelando apertura");
                m_conexion.Cerrar();
                return Fallo(kMsgCancelado);
            default:
                break;
            }
        }
    }

    // A configuration download is read into the object only when it arrived whole; a firmware
    // image fetched from the router is no configuration and stays as it came.
    void LeerBajada()
    {
        if (m_ajustes.bGetMode != 1 || m_ajustes.bFirmware == 1 || m_bError)
            return;
        try
        {
            // A backup keeps the router's bytes: its settings are read, the file is not turned
            // into a template.
            if (m_ajustes.strCopia.empty())
                m_obj.m_config.LeerConfig812(m_strLocal.c_str());
            else
                m_obj.m_config.LeerAjustes812(m_strLocal.c_str());
        }
        catch (const CComError &error)
        {
            m_log.WriteNumber("SetFTPWorkerThread: error del objeto de parametros", "Error", error.Error());
            Fallo(kMsgTxErronea);
        }
    }

    void Fallo(const char *pszResult)
    {
        m_bError = true;
        m_pszResult = pszResult;
    }

    void Terminar()
    {
        m_log.Write("Fin SetFTPWorkerThread");
        BorrarFichero();
        m_obj.FinDeEjecucion(m_bError ? 1 : 0, m_pszResult);
    }

    // The uploaded "config.dat" goes; a download, a backup and a firmware file stay, and
    // everything stays for debugging when DEBUG_ADSL is set.
    void BorrarFichero()
    {
        if (m_ajustes.bGetMode == 1 || m_ajustes.bFirmware == 1 || !m_ajustes.strCopia.empty() ||
            m_strLocal.empty())
            return;
        if (GetEnvironmentVariableA("DEBUG_ADSL", nullptr, 0) != 0)
            return;
        DeleteFileA(m_strLocal.c_str());
    }

    CAjustes m_ajustes;
    const char *m_pszRemoto = kRemotoConfig;
    std::string m_strLocal;
    const char *m_pszResult = kMsgOk;
    bool m_bError = false;
};

// One run of the access check: the candidates in order until one's FTP server answers.
class CSetZyxelConfig::CComprobacion : private CTrabajo
{
  public:
    explicit CComprobacion(CSetZyxelConfig &obj) : CTrabajo(obj) {}

    void Ejecutar(HANDLE hStartEvent, HANDLE hGo)
    {
        m_log.Write("Init ThreadComprobarAcceso");
        m_obj.SetModemIp("");
        Arrancar(hStartEvent, hGo);
        const CAjustes ajustes = m_obj.Ajustes();
        m_ftp.SetNotifyThread(GetCurrentThreadId());
        m_ftp.SetLogin(kUsuario, ajustes.strPassword.c_str());

        bool bConectado = false;
        for (const std::string &strCandidato : m_obj.Candidatos())
        {
            m_ftp.SetServer(strCandidato.c_str());
            m_log.WriteText("Intentando conectar a", strCandidato.c_str());
            // A text that is not an address would leave the previous candidate's server in
            // place: it is not tried.
            if (!ipv4::IsValidText(strCandidato.c_str()))
                continue;
            if (!m_conexion.Abrir())
            {
                m_conexion.Cerrar(); // what StartOpen had opened before it failed
                continue;
            }
            bConectado = Esperar(strCandidato);
            m_conexion.Cerrar();
            m_log.Write("ThreadComprobarAcceso, recibi mensaje de cierre de handle");
            if (bConectado)
                break;
        }
        m_log.Write("Fin ThreadComprobarAcceso");
        m_obj.FireEnd(bConectado ? 0 : 1, bConectado ? kMsgOk : kMsgSinConexion);
    }

  private:
    // True when the candidate's server took the connection.
    bool Esperar(const std::string &strCandidato)
    {
        for (;;)
        {
            const MSG msg = SiguienteMensaje();
            if (msg.message == kMsgConectado)
            {
                m_log.WriteText("Conectado a", strCandidato.c_str());
                m_obj.SetModemIp(strCandidato);
                return true;
            }
            if (msg.message != kMsgCompletada)
                continue;
            m_log.Write("peticion completada");
            if (msg.wParam == ERROR_SUCCESS)
            {
                // Connected without the connected notification: the server answered all the same.
                m_obj.SetModemIp(strCandidato);
                return true;
            }
            m_log.WriteNumber("Sin conexion", "Error", static_cast<int>(msg.wParam));
            return false;
        }
    }
};

namespace
{
constexpr const char *kSource = "DaxModem.SetZyxelConfig";

// What a worker gets: its object (with a reference the worker releases), the start event to
// signal, and its own reference on the library, released as the thread ends.
struct CArranque
{
    CSetZyxelConfig *pObj;
    HANDLE hStartEvent;
    HMODULE hModule;
    // Set once Start has been fired, so that no event of the job comes before it. The worker
    // owns it.
    HANDLE hGo;
    ~CArranque() { CloseHandle(hGo); }
};
} // namespace

CSetZyxelConfig::CSetZyxelConfig() : m_config(nullptr, m_log)
{
    m_ajustes.strPassword = kPasswordInicial;
    m_log.SetFileName("DaxModem.txt");
    m_log.SetAlwaysOn(1);
    m_log.Open();
}

CSetZyxelConfig::~CSetZyxelConfig()
{
    if (m_hWorker)
        CloseHandle(m_hWorker);
    m_log.Close();
}

HRESULT CSetZyxelConfig::FinalConstruct()
{
    const HRESULT hr = m_param.CreateInstance();
    if (FAILED(hr))
        return hr;
    m_config.SetRouterParam(m_param.Get());
    return S_OK;
}

std::span<const kitcom::DispMember<CSetZyxelConfig>> CSetZyxelConfig::DispatchTable()
{
    static constexpr kitcom::DispMember<CSetZyxelConfig> members[] = {
        kitcom::Method<&CSetZyxelConfig::SetModemConfig>("SetModemConfig", DISPID_SETZYXEL_SETMODEMCONFIG),
        kitcom::Method<&CSetZyxelConfig::IsActive>("IsActive", DISPID_SETZYXEL_ISACTIVE),
        kitcom::Method<&CSetZyxelConfig::Start>("Start", DISPID_SETZYXEL_START),
        kitcom::Method<&CSetZyxelConfig::Stop>("Stop", DISPID_SETZYXEL_STOP),
        kitcom::Method<&CSetZyxelConfig::SetModemCurIp>("SetModemCurIp", DISPID_SETZYXEL_SETMODEMCURIP),
        kitcom::Method<&CSetZyxelConfig::CheckAccess>("CheckAccess", DISPID_SETZYXEL_CHECKACCESS),
        kitcom::Method<&CSetZyxelConfig::SetPassword>("SetPassword", DISPID_SETZYXEL_SETPASSWORD),
        kitcom::Method<&CSetZyxelConfig::UpdateFw>("UpdateFw", DISPID_SETZYXEL_UPDATEFW),
        kitcom::Method<&CSetZyxelConfig::SetTransferMode>("SetTransferMode", DISPID_SETZYXEL_SETTRANSFERMODE),
        kitcom::Method<&CSetZyxelConfig::GetModemConfig>("GetModemConfig", DISPID_SETZYXEL_GETMODEMCONFIG),
        kitcom::Method<&CSetZyxelConfig::CreateConfigFile>("CreateConfigFile",
                                                           DISPID_SETZYXEL_CREATECONFIGFILE),
        kitcom::Method<&CSetZyxelConfig::SetBackupFile>("SetBackupFile", DISPID_SETZYXEL_SETBACKUPFILE),
    };
    return members;
}

HRESULT CSetZyxelConfig::SetModemConfig(IUnknown *iUnkInfo)
{
    RouterParamPtr origen;
    if (FAILED(origen.QueryFrom(iUnkInfo)))
        return S_FALSE;
    return origen.Get()->CopyTo(m_param.Get());
}

HRESULT CSetZyxelConfig::IsActive(LONG *pbActive)
{
    if (!pbActive)
        return E_POINTER;
    const bool bActivo = WorkerRunning();
    *pbActive = bActivo ? 1 : 0;
    return bActivo ? S_FALSE : S_OK;
}

HRESULT CSetZyxelConfig::Start()
{
    {
        kitcom::CritSecLock guard(m_lock);
        m_ajustes.bFirmware = 0;
        m_ajustes.strFirmware.clear();
    }
    return LanzarHiloTransfer();
}

HRESULT CSetZyxelConfig::Stop(LONG lTimeOut)
{
    HANDLE hWorker;
    DWORD dwWorkerId;
    {
        kitcom::CritSecLock guard(m_lock);
        hWorker = m_hWorker;
        dwWorkerId = m_dwWorkerId;
    }
    if (hWorker)
    {
        // Stopped from the Start handler: the worker may go on to see the abort.
        DejarSeguir();
        PostThreadMessageA(dwWorkerId, kMsgAbortar, 0, 0);
        if (WaitForSingleObject(hWorker, static_cast<DWORD>(lTimeOut)) == WAIT_TIMEOUT)
            TerminateThread(hWorker, 1);
    }
    FireEnd(1, kMsgCancelado);
    return S_OK;
}

HRESULT CSetZyxelConfig::SetModemCurIp(BSTR bstrCurIp)
{
    const std::string strIp = kitcom::NarrowTextOf(bstrCurIp);
    SetModemIp(ipv4::IsValidText(strIp.c_str()) ? strIp : "");
    return S_OK;
}

HRESULT CSetZyxelConfig::CheckAccess(BSTR list)
{
    m_log.Write("Init CSetZyxelConfig::CheckAccess");
    if (WorkerRunning())
        return S_OK;
    const std::string strLista = kitcom::NarrowTextOf(list);
    {
        kitcom::CritSecLock guard(m_lock);
        m_candidatos.clear();
        for (size_t inicio = 0;;)
        {
            const size_t coma = strLista.find(',', inicio);
            m_candidatos.push_back(strLista.substr(inicio, coma - inicio));
            if (coma == std::string::npos)
                break;
            inicio = coma + 1;
        }
    }
    return LanzarHilo(&CSetZyxelConfig::ThreadComprobarAcceso);
}

HRESULT CSetZyxelConfig::SetPassword(BSTR pass)
{
    std::string strPassword = kitcom::NarrowTextOf(pass);
    if (strPassword.size() > kMaxPassword)
        strPassword.resize(kMaxPassword);
    kitcom::CritSecLock guard(m_lock);
    m_ajustes.strPassword = std::move(strPassword);
    return S_OK;
}

HRESULT CSetZyxelConfig::UpdateFw(BSTR file)
{
    {
        kitcom::CritSecLock guard(m_lock);
        m_ajustes.bFirmware = 1;
        m_ajustes.strFirmware = kitcom::NarrowTextOf(file);
    }
    return LanzarHiloTransfer();
}

HRESULT CSetZyxelConfig::SetTransferMode(LONG bGetMode)
{
    kitcom::CritSecLock guard(m_lock);
    m_ajustes.bGetMode = bGetMode;
    return S_OK;
}

HRESULT CSetZyxelConfig::GetModemConfig(IUnknown **iUnkRouterParam)
{
    if (!iUnkRouterParam)
        return E_POINTER;
    if (WorkerRunning())
        return S_FALSE;
    const HRESULT hr = m_param.NewCopy(iUnkRouterParam);
    if (FAILED(hr))
        return kitcom::ReportError(hr, kSource, "No se pudo copiar la configuración del módem.");
    return S_OK;
}

HRESULT CSetZyxelConfig::CreateConfigFile(BSTR bstrFile)
{
    const std::string strSalida = kitcom::NarrowTextOf(bstrFile);
    if (strSalida.empty())
        return E_INVALIDARG;
    // The generation state belongs to the transfer worker while one runs.
    if (WorkerRunning())
        return HRESULT_FROM_WIN32(ERROR_BUSY);
    m_log.WriteText("CreateConfigFile: %s", strSalida.c_str());
    return GenerarConfig(strSalida) ? S_OK : E_FAIL;
}

bool CSetZyxelConfig::GenerarConfig(const std::string &strSalida)
{
    std::string strPlantilla = EnCarpetaActual(CModemConfig::kPlantillaBajada);
    if (!ExisteFichero(strPlantilla))
        strPlantilla = EnCarpetaActual(CModemConfig::kPlantilla);
    const auto generado = [this](HRESULT hr) {
        if (hr == S_OK)
            return true;
        m_log.WriteNumber("SetFTPWorkerThread: fichero cfg no creado", "Error", static_cast<int>(hr));
        return false;
    };
    try
    {
        m_config.CrearListaPuertos();
        m_log.Write("SetFTPWorkerThread: lista de puertos creada");
        if (generado(m_config.CrearFicheroCfg(strPlantilla.c_str(), strSalida.c_str())))
        {
            m_log.Write("SetFTPWorkerThread: fichero cfg creado");
            if (generado(m_config.PrepararRutas(strSalida.c_str())))
            {
                m_log.Write("SetFTPWorkerThread: rutas fijadas");
                return true;
            }
        }
    }
    catch (const CComError &error)
    {
        m_log.WriteNumber("SetFTPWorkerThread: error del objeto de parametros", "Error", error.Error());
    }
    return false;
}

HRESULT CSetZyxelConfig::SetBackupFile(BSTR bstrFile)
{
    std::string strCopia = kitcom::NarrowTextOf(bstrFile);
    m_log.WriteText("CSetZyxelConfig::SetBackupFile", strCopia.c_str());
    kitcom::CritSecLock guard(m_lock);
    m_ajustes.strCopia = std::move(strCopia);
    return S_OK;
}

HRESULT CSetZyxelConfig::LanzarHiloTransfer()
{
    m_log.Write("Init LanzarHiloTransfer");
    if (WorkerRunning())
    {
        m_log.Write("LanzarHiloTransfer. Hilo Activo");
        return S_OK;
    }
    return LanzarHilo(&CSetZyxelConfig::SetFTPWorkerThread);
}

HRESULT CSetZyxelConfig::LanzarHilo(LPTHREAD_START_ROUTINE pfnWorker)
{
    HANDLE hStartEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!hStartEvent)
    {
        FireStart(1, kMsgError);
        return S_FALSE;
    }
    {
        kitcom::CritSecLock guard(m_lock);
        if (m_hWorker)
            CloseHandle(m_hWorker);
        m_hWorker = nullptr;
        m_dwWorkerId = 0;
    }
    HANDLE hGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!hGo)
    {
        CloseHandle(hStartEvent);
        FireStart(1, kMsgError);
        return S_FALSE;
    }
    auto *pArranque = new CArranque{this, hStartEvent, nullptr, hGo};
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(pfnWorker),
                       &pArranque->hModule);
    AddRef();
    DWORD dwWorkerId = 0;
    HANDLE hWorker = CreateThread(nullptr, 0, pfnWorker, pArranque, CREATE_SUSPENDED, &dwWorkerId);
    if (!hWorker)
    {
        if (pArranque->hModule)
            FreeLibrary(pArranque->hModule);
        delete pArranque;
        CloseHandle(hStartEvent);
        Release();
        FireStart(1, kMsgError);
        return S_FALSE;
    }
    {
        kitcom::CritSecLock guard(m_lock);
        m_hWorker = hWorker;
        m_dwWorkerId = dwWorkerId;
        m_hGo = hGo;
    }
    ResumeThread(hWorker);
    const DWORD dwWait = WaitForSingleObject(hStartEvent, kArranqueMs);
    if (dwWait != WAIT_OBJECT_0)
    {
        // The worker ends at its next wait and gives back what it holds as it unwinds.
        TerminateThread(hWorker, 1);
        WaitForSingleObject(hWorker, INFINITE);
    }
    CloseHandle(hStartEvent);
    if (dwWait != WAIT_OBJECT_0)
    {
        FireStart(1, kMsgError);
        return S_FALSE;
    }
    FireStart(0, kMsgOk);
    DejarSeguir();
    return S_OK;
}

void CSetZyxelConfig::DejarSeguir()
{
    kitcom::CritSecLock guard(m_lock);
    if (m_hGo)
        SetEvent(std::exchange(m_hGo, nullptr));
}

namespace
{
// Runs one job on the worker: the object's reference is given back when the job is done, and
// the library's reference once the thread has left it.
template <class Job> DWORD EjecutarTrabajo(LPVOID pParam)
{
    std::unique_ptr<CArranque> pArranque(static_cast<CArranque *>(pParam));
    const HMODULE hModule = pArranque->hModule;
    {
        kitcom::ComPtr<CSetZyxelConfig> pObj;
        pObj.Attach(pArranque->pObj);
        Job job(*pObj);
        job.Ejecutar(pArranque->hStartEvent, pArranque->hGo);
    }
    pArranque.reset();
    if (hModule)
        FreeLibraryAndExitThread(hModule, 0);
    return 0;
}
} // namespace

DWORD WINAPI CSetZyxelConfig::SetFTPWorkerThread(LPVOID pParam)
{
    return EjecutarTrabajo<CTransferencia>(pParam);
}

DWORD WINAPI CSetZyxelConfig::ThreadComprobarAcceso(LPVOID pParam)
{
    return EjecutarTrabajo<CComprobacion>(pParam);
}

bool CSetZyxelConfig::WorkerRunning() const
{
    kitcom::CritSecLock guard(m_lock);
    return m_hWorker && WaitForSingleObject(m_hWorker, 0) == WAIT_TIMEOUT;
}

CSetZyxelConfig::CAjustes CSetZyxelConfig::Ajustes() const
{
    kitcom::CritSecLock guard(m_lock);
    return m_ajustes;
}

void CSetZyxelConfig::SetModemIp(const std::string &strIp)
{
    kitcom::CritSecLock guard(m_lock);
    m_ajustes.strModemIp = strIp;
}

std::vector<std::string> CSetZyxelConfig::Candidatos() const
{
    kitcom::CritSecLock guard(m_lock);
    return m_candidatos;
}

// The next run uploads unless the client asks again; asked before End so that a client that
// prepares its next download from its End handler is not overruled.
void CSetZyxelConfig::FinDeEjecucion(LONG bOk, const char *pszResult)
{
    {
        kitcom::CritSecLock guard(m_lock);
        m_ajustes.strCopia.clear();
    }
    SetTransferMode(0);
    FireEnd(bOk, pszResult);
}

void CSetZyxelConfig::FireStart(LONG bOk, const char *pszText)
{
    Fire(DISPID_SETZYXELEVENTS_START, bOk, std::string_view(pszText));
}

void CSetZyxelConfig::FireEnd(LONG bOk, const char *pszText)
{
    Fire(DISPID_SETZYXELEVENTS_END, bOk, std::string_view(pszText));
}

void CSetZyxelConfig::FireProgressDone(const char *pszText)
{
    Fire(DISPID_SETZYXELEVENTS_PROGRESSDONE, std::string_view(pszText));
}
