// CGetZyxelConfig: the GetZyxelConfig control and its reader of the router's console.
#include "modem/GetZyxelConfig.h"
#include "common/param/ComError.h"
#include "comun/SerialPort.h"
#include "modem/PantallaConsola.h"

#include <memory>
#include <string_view>

namespace
{
// Result texts of the events.
constexpr const char *kMsgOk = "msg1";
constexpr const char *kMsgCancelado = "msg2";
constexpr const char *kMsgPassword = "msg5";
constexpr const char *kMsgSinRespuesta = "msg6";
constexpr const char *kMsgPuertoAbierto = "msg7";
constexpr const char *kMsgEnviandoPassword = "msg8";
constexpr const char *kMsgError = "Error";

constexpr const char *kPasswordInicial = "5807";
constexpr const char *kSource = "DaxModem.GetZyxelConfig";

// The menus and the texts the console answers with.
constexpr const char *kMenu = "Menu";
constexpr const char *kPidePassword = "Enter Password";
constexpr const char *kPasswordMal = "Password is not correct";
constexpr const char *kMenuPrincipal = "Prestige 643 Main Menu";
constexpr const char *kMenuPrincipalTrasSalir = " Prestige 643 Main Menu";
constexpr const char *kMenu3 = "Menu 3 - Ethernet Setup";
constexpr const char *kMenu32 = "Menu 3.2 - TCP/IP and DHCP Ethernet Setup";
constexpr const char *kNoValido = "Invalid";
// A console that never shows the main menu again is left after this many escapes (no menu of
// the router is deeper).
constexpr int kMaxEscapes = 8;

// What each run of the reader starts with: the object (one reference, given back when the run
// ends) and its library (kept loaded until the thread has left it).
struct CArranque
{
    CGetZyxelConfig *pObj;
    HMODULE hModule;
};

bool DepuracionPedida()
{
    return GetEnvironmentVariableA("DEBUG_ADSL", nullptr, 0) != 0;
}

// The last screen in "temp.txt" of the current folder, for whoever follows the console by hand.
// Only with DEBUG_ADSL, as modempak.log: the kit's folder is no place for a debugging file.
void GuardarPantalla(const std::string &strPantalla)
{
    if (!DepuracionPedida())
        return;
    CFile file;
    if (!file.Open("temp.txt", CFile::modeCreate | CFile::modeWrite))
        return;
    try
    {
        file.Write(strPantalla.data(), static_cast<UINT>(strPantalla.size()));
    }
    catch (CFileException *e)
    {
        e->Delete();
    }
}

CString MensajeDe(CSerialException *e)
{
    CString strTexto = e->GetErrorMessage();
    e->Delete();
    return strTexto;
}
} // namespace

// One run of the reader: the log-in phase, then the reading phase, each with the port open.
class CGetZyxelConfig::CLector
{
  public:
    explicit CLector(CGetZyxelConfig &obj) : m_obj(obj) {}

    void Ejecutar()
    {
        m_obj.FireStart(0, kMsgOk);
        CFin fin;
        if (IniciarSesion(fin))
            LeerConfiguracion(fin);
        // A stop asked for at any point of the run is what the run ends with.
        if (m_obj.Parar())
            fin = {1, kMsgCancelado};
        m_obj.FinDeLectura(fin.bOk, fin.strTexto);
    }

  private:
    // How the run ends: End's status and text.
    struct CFin
    {
        LONG bOk = 1;
        CString strTexto = kMsgOk;
    };

    void AbrirPuerto(CSerialPort &port)
    {
        port.Open(m_obj.Puerto(), kBaudios, CSerialPort::NoParity, 8, CSerialPort::OneStopBit,
                  CSerialPort::CtsRtsFlowControl, FALSE);
    }

    static void FijarTiempos(CSerialPort &port)
    {
        COMMTIMEOUTS timeouts = {kIntervaloLecturaMs, kLecturaPorByteMs, kLecturaTotalMs, kEscrituraPorByteMs,
                                 kEscrituraTotalMs};
        port.SetTimeouts(timeouts);
    }

    // Sends the command, replays the answer onto a new screen and classifies the screen.
    int Intercambio(CSerialPort &port, const std::string &strOrden, const char *pszEsperado,
                    const char *pszError, int nPausa)
    {
        port.WaitForAnswer(strOrden.c_str(), "", "", nPausa, FALSE);
        m_strPantalla = TextoDePantalla(std::string_view(port.GetReceivedData()));
        GuardarPantalla(m_strPantalla);
        if (m_strPantalla.find(pszError) != std::string::npos)
            return -1;
        return m_strPantalla.find(pszEsperado) != std::string::npos ? 1 : 0;
    }

    // True once logged in; otherwise `fin` says how the run ends.
    bool IniciarSesion(CFin &fin)
    {
        bool bDentro = false;
        try
        {
            CSerialPort port;
            AbrirPuerto(port);
            m_obj.FireProgressDone(kMsgPuertoAbierto);
            port.SetLog(TRUE, CFile::modeCreate | CFile::modeWrite);
            FijarTiempos(port);
            const int nRespuesta = Intercambio(port, "\r", kMenu, kPidePassword, 0);
            if (!m_obj.Parar())
            {
                if (nRespuesta == 0)
                    fin.strTexto = kMsgSinRespuesta;
                else if (nRespuesta == -1)
                {
                    m_obj.FireProgressDone(kMsgEnviandoPassword);
                    const int nPassword =
                        Intercambio(port, m_obj.Password() + "\r", kMenu, kPasswordMal, kPausaPasswordMs);
                    if (nPassword == -1)
                        fin.strTexto = kMsgPassword;
                    bDentro = nPassword == 1;
                }
                // A menu without the password asked for: not logged in as the reader expects.
            }
            port.SetLog(FALSE, 0);
            port.Close();
        }
        catch (CSerialException *e)
        {
            fin.strTexto = MensajeDe(e);
            bDentro = false;
        }
        return bDentro && !m_obj.Parar();
    }

    void LeerConfiguracion(CFin &fin)
    {
        try
        {
            CSerialPort port;
            AbrirPuerto(port);
            port.SetLog(TRUE, CFile::modeCreate | CFile::modeWrite);
            FijarTiempos(port);
            m_obj.FireProgressDone(kMsgPuertoAbierto);
            if (!m_obj.Parar() && Intercambio(port, "3\r", kMenu3, kNoValido, 0) == 1)
            {
                if (!m_obj.Parar() && Intercambio(port, "2\r", kMenu32, kNoValido, 0) == 1 && TomarCampos())
                    fin.bOk = 0;
                VolverAlMenuPrincipal(port);
            }
            port.Close();
        }
        catch (CSerialException *e)
        {
            fin = {1, MensajeDe(e)};
        }
    }

    void VolverAlMenuPrincipal(CSerialPort &port)
    {
        for (int n = 0; n < kMaxEscapes && !m_obj.Parar(); ++n)
        {
            if (Intercambio(port, "\x1b", kMenuPrincipal, kNoValido, 0) == 1)
            {
                Intercambio(port, "99\r", kMenuPrincipalTrasSalir, kNoValido, 0);
                return;
            }
            if (m_strPantalla.empty())
                return; // the console does not answer any more
        }
    }

    // The fields of Menu 3.2 into the router parameter object: the LAN, then, with the router's
    // DHCP server on, the pool and the DNS servers. The LAN and the pool are stored when both
    // their values are on the screen, the DNS servers when the first is; false when the LAN is
    // missing or the object refused a value.
    bool TomarCampos()
    {
        try
        {
            return GuardarCampos(m_obj.m_param);
        }
        catch (const CComError &)
        {
            return false; // the router parameter object refused a value
        }
    }

    bool GuardarCampos(const RouterParamPtr &param)
    {
        const std::string strIp = TomarCampo(m_strPantalla, "IP Address", 3);
        const std::string strMascara = TomarCampo(m_strPantalla, "IP Subnet Mask=", 4);
        if (strIp.empty() || strMascara.empty() || FAILED(param.SetLan(strIp, strMascara)))
            return false;
        if (TomarCampo(m_strPantalla, "DHCP=", 2).find("Server") == std::string::npos)
            return true;
        const std::string strInicio = TomarCampo(m_strPantalla, "Client IP Pool Starting Address=", 6);
        const std::string strTamano = TomarCampo(m_strPantalla, "Size of Client IP Pool", 6);
        if (!strInicio.empty() && !strTamano.empty() && FAILED(param.SetDhcp(strInicio, strTamano)))
            return false;
        const std::string strDns1 = TomarCampo(m_strPantalla, "Primary DNS Server", 4);
        const std::string strDns2 = TomarCampo(m_strPantalla, "Secondary DNS Server", 4);
        return strDns1.empty() || SUCCEEDED(param.SetDns(strDns1, strDns2));
    }

    CGetZyxelConfig &m_obj;
    std::string m_strPantalla; // the last answer, as searched
};

CGetZyxelConfig::CGetZyxelConfig() : m_strPassword(kPasswordInicial) {}

CGetZyxelConfig::~CGetZyxelConfig()
{
    if (m_hReader)
        CloseHandle(m_hReader);
}

HRESULT CGetZyxelConfig::FinalConstruct()
{
    return m_param.CreateInstance();
}

std::span<const kitcom::DispMember<CGetZyxelConfig>> CGetZyxelConfig::DispatchTable()
{
    static constexpr kitcom::DispMember<CGetZyxelConfig> members[] = {
        kitcom::Method<&CGetZyxelConfig::Start>("Start", DISPID_GETZYXEL_START),
        kitcom::Method<&CGetZyxelConfig::Stop>("Stop", DISPID_GETZYXEL_STOP),
        kitcom::Method<&CGetZyxelConfig::IsActive>("IsActive", DISPID_GETZYXEL_ISACTIVE),
        kitcom::Method<&CGetZyxelConfig::GetInfoConfig>("GetInfoConfig", DISPID_GETZYXEL_GETINFOCONFIG),
        kitcom::Method<&CGetZyxelConfig::SetPassword>("SetPassword", DISPID_GETZYXEL_SETPASSWORD),
        kitcom::Method<&CGetZyxelConfig::SetPort>("SetPort", DISPID_GETZYXEL_SETPORT),
    };
    return members;
}

HRESULT CGetZyxelConfig::Start()
{
    if (ReaderRunning())
        return S_OK;
    m_bParar = 0;
    m_bLeyendo = true;
    {
        kitcom::CritSecLock guard(m_lock);
        if (m_hReader)
            CloseHandle(std::exchange(m_hReader, nullptr));
    }
    auto *pArranque = new CArranque{this, nullptr};
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ReaderThread),
                       &pArranque->hModule);
    AddRef();
    HANDLE hReader = CreateThread(nullptr, 0, &ReaderThread, pArranque, CREATE_SUSPENDED, nullptr);
    if (!hReader)
    {
        if (pArranque->hModule)
            FreeLibrary(pArranque->hModule);
        delete pArranque;
        Release();
        m_bLeyendo = false;
        FireStart(1, kMsgError);
        return S_FALSE;
    }
    {
        kitcom::CritSecLock guard(m_lock);
        m_hReader = hReader;
    }
    ResumeThread(hReader);
    FireStart(0, kMsgOk);
    return S_OK;
}

HRESULT CGetZyxelConfig::Stop(LONG lTimeOut)
{
    m_bParar = 1;
    if (!ReaderRunning())
        return S_FALSE;
    HANDLE hReader;
    {
        kitcom::CritSecLock guard(m_lock);
        hReader = m_hReader;
    }
    // The reader is not killed: it ends by itself at its next look at the flag.
    if (WaitForSingleObject(hReader, static_cast<DWORD>(lTimeOut)) != WAIT_OBJECT_0)
        return S_FALSE;
    m_bParar = 0;
    return S_OK;
}

HRESULT CGetZyxelConfig::IsActive(LONG *pbActive)
{
    if (!pbActive)
        return E_POINTER;
    const bool bActivo = ReaderRunning();
    *pbActive = bActivo ? 1 : 0;
    return bActivo ? S_FALSE : S_OK;
}

HRESULT CGetZyxelConfig::GetInfoConfig(IUnknown **iUnkZyxelParam)
{
    if (!iUnkZyxelParam)
        return E_POINTER;
    if (ReaderRunning())
        return S_FALSE;
    const HRESULT hr = m_param.NewCopy(iUnkZyxelParam);
    if (FAILED(hr))
        return kitcom::ReportError(hr, kSource, "No se pudo copiar la configuración leída del módem.");
    return S_OK;
}

HRESULT CGetZyxelConfig::SetPassword(BSTR bstrPassword)
{
    std::string strPassword = kitcom::NarrowTextOf(bstrPassword);
    if (strPassword.size() > kMaxPassword)
        strPassword.resize(kMaxPassword);
    kitcom::CritSecLock guard(m_lock);
    m_strPassword = std::move(strPassword);
    return S_OK;
}

// The port is the digit after "COM" (only one is read: "COM12" is COM1). A text too short for
// it, or no digit there, is port 0, which no PC has: the next run reports the port's error.
HRESULT CGetZyxelConfig::SetPort(BSTR bstrPort)
{
    const std::string strPort = kitcom::NarrowTextOf(bstrPort);
    const int nPuerto = strPort.size() >= 4 && strPort[3] >= '0' && strPort[3] <= '9' ? strPort[3] - '0' : 0;
    kitcom::CritSecLock guard(m_lock);
    m_nPuerto = nPuerto;
    return S_OK;
}

DWORD WINAPI CGetZyxelConfig::ReaderThread(LPVOID pParam)
{
    std::unique_ptr<CArranque> pArranque(static_cast<CArranque *>(pParam));
    const HMODULE hModule = pArranque->hModule;
    {
        kitcom::ComPtr<CGetZyxelConfig> pObj;
        pObj.Attach(pArranque->pObj);
        CLector(*pObj).Ejecutar();
    }
    pArranque.reset();
    if (hModule)
        FreeLibraryAndExitThread(hModule, 0);
    return 0;
}

// The run is over once its End is on its way: a client that reads the values from its End
// handler must not find the reader still busy with leaving the thread.
bool CGetZyxelConfig::ReaderRunning() const
{
    if (!m_bLeyendo.load())
        return false;
    kitcom::CritSecLock guard(m_lock);
    return m_hReader && WaitForSingleObject(m_hReader, 0) == WAIT_TIMEOUT;
}

void CGetZyxelConfig::FinDeLectura(LONG bOk, const char *pszText)
{
    m_bLeyendo = false;
    FireEnd(bOk, pszText);
}

std::string CGetZyxelConfig::Password() const
{
    kitcom::CritSecLock guard(m_lock);
    return m_strPassword;
}

int CGetZyxelConfig::Puerto() const
{
    kitcom::CritSecLock guard(m_lock);
    return m_nPuerto;
}

void CGetZyxelConfig::FireStart(LONG bOk, const char *pszText)
{
    Fire(DISPID_GETZYXELEVENTS_START, bOk, std::string_view(pszText));
}

void CGetZyxelConfig::FireProgressDone(const char *pszText)
{
    Fire(DISPID_GETZYXELEVENTS_PROGRESSDONE, std::string_view(pszText));
}

void CGetZyxelConfig::FireEnd(LONG bOk, const char *pszText)
{
    Fire(DISPID_GETZYXELEVENTS_END, bOk, std::string_view(pszText));
}
