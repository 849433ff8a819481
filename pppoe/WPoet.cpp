// CWPoet: the checks, GetInfo and CreateConnection.
#include "pppoe/WPoet.h"

#include "pppoe/IniFile.h"
#include "pppoe/OsVersion.h"
#include "pppoe/RasIter.h"
#include "pppoe/Shortcut.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr char kLogFile[] = "DaxWPoet.txt";
constexpr char kDaxKey[] = "SOFTWARE\\NUV\\DAX\\";
constexpr char kRemoteAccess[] = "System\\CurrentControlSet\\Services\\RemoteAccess";
constexpr char kEnternetAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Enternet.exe";
constexpr char kDeviceWinPoet2000[] = "\\\\.\\WrKPoet2000";
constexpr char kDeviceWinPoetNt4[] = "\\\\.\\WrKPoETDriver";
constexpr char kDeviceWinPoet[] = "\\\\.\\PoETKRNL";
constexpr char kDeviceEnternetNt4[] = "\\\\.\\NTSPPPOE4";
constexpr char kDeviceEnternet[] = "\\\\.\\NTSPPP3";
// Names of keys and values read while walking the registry.
constexpr DWORD kNameBuffer = 1024;
constexpr size_t kMaxExceptionText = 255;
// GetPrivateProfileSectionNamesA's answer for a buffer that was too small.
constexpr DWORD kSectionNamesBuffer = 1024;

// RAS' address "0.0.0.0".
constexpr RASIPADDR kNoAddress = {0, 0, 0, 0};

// Options of the entry by Windows (RASENTRY dwfOptions).
constexpr DWORD kOptions2000 = 0x38010118;
constexpr DWORD kOptionsXp = 0x3D0D0310;
constexpr DWORD kOptionsOther = 0x10;

class CKey
{
  public:
    CKey(HKEY root, const std::string &path, REGSAM access)
    {
        if (RegOpenKeyExA(root, path.c_str(), 0, access, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~CKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    CKey(const CKey &) = delete;
    CKey &operator=(const CKey &) = delete;
    explicit operator bool() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }

    // A text value read into a buffer of `size` bytes; empty when missing.
    std::string Text(const char *pszName, DWORD size = kNameBuffer) const
    {
        std::vector<char> buffer(size + 1, '\0');
        DWORD dwSize = size;
        if (!m_key || RegQueryValueExA(m_key, pszName, nullptr, nullptr,
                                       reinterpret_cast<BYTE *>(buffer.data()), &dwSize) != ERROR_SUCCESS)
            return {};
        return buffer.data();
    }
    std::vector<std::string> SubKeys() const
    {
        std::vector<std::string> names;
        char szName[kNameBuffer];
        for (DWORD i = 0, n = sizeof szName; m_key && RegEnumKeyExA(m_key, i, szName, &n, nullptr, nullptr,
                                                                    nullptr, nullptr) == ERROR_SUCCESS;
             ++i, n = sizeof szName)
            names.emplace_back(szName, n);
        return names;
    }
    std::vector<std::string> ValueNames() const
    {
        std::vector<std::string> names;
        char szName[kNameBuffer];
        for (DWORD i = 0, n = sizeof szName; m_key && RegEnumValueA(m_key, i, szName, &n, nullptr, nullptr,
                                                                    nullptr, nullptr) == ERROR_SUCCESS;
             ++i, n = sizeof szName)
            names.emplace_back(szName, n);
        return names;
    }

  private:
    HKEY m_key = nullptr;
};

// Opening the device file proves its driver is loaded.
bool DeviceAnswers(const char *pszDevice)
{
    HANDLE h = CreateFileA(pszDevice, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool FileExists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether `text` holds `wanted`, ASCII letters compared without case (the texts looked for are
// ASCII: no other letter of `text` could match one of theirs).
bool ContainsNoCase(const std::string &text, const std::string &wanted)
{
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (size_t i = 0; i + wanted.size() <= text.size(); ++i)
    {
        size_t j = 0;
        while (j < wanted.size() && upper(text[i + j]) == upper(wanted[j]))
            ++j;
        if (j == wanted.size())
            return true;
    }
    return false;
}

// Windows 9x: an instance of the dial-up adapter bound to TCP/IP.
bool DialUpAdapterBound()
{
    CKey root(HKEY_LOCAL_MACHINE, "Enum\\Root", KEY_READ);
    if (!root)
        return false;
    for (const std::string &enumerator : root.SubKeys())
    {
        CKey devices(HKEY_LOCAL_MACHINE, "Enum\\Root\\" + enumerator, KEY_READ);
        for (const std::string &instance : devices.SubKeys())
        {
            const std::string path = "Enum\\Root\\" + enumerator + "\\" + instance;
            const std::string driver = CKey(HKEY_LOCAL_MACHINE, path, KEY_READ).Text("Driver");
            if (driver.empty())
                continue;
            char szClass[2 * kNameBuffer];
            std::snprintf(szClass, sizeof szClass, "%s\\%s", "System\\CurrentControlSet\\Services\\Class",
                          driver.c_str());
            if (CKey(HKEY_LOCAL_MACHINE, szClass, KEY_READ).Text("AdapterName") != "MS$PPP")
                continue;
            for (const std::string &binding :
                 CKey(HKEY_LOCAL_MACHINE, path + "\\Bindings", KEY_READ).ValueNames())
                if (binding.compare(0, 5, "MSTCP") == 0)
                    return true;
        }
    }
    return false;
}

// The state of a network component's device, asked of the system's network configuration
// (Windows 2000 and XP): bDevice TRUE for an enabled device, FALSE for a disabled or absent one.
HRESULT NetworkComponentStatus(const OLECHAR *pszId, LONG &bDevice)
{
    INetCfg *pNetCfg = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_CNetCfg, nullptr, CLSCTX_SERVER, IID_INetCfg,
                                  reinterpret_cast<void **>(&pNetCfg));
    if (FAILED(hr))
        return hr;
    hr = pNetCfg->Initialize(nullptr);
    if (FAILED(hr))
    {
        pNetCfg->Release();
        return hr;
    }
    INetCfgComponent *pComponent = nullptr;
    HRESULT result = S_OK;
    hr = pNetCfg->FindComponent(pszId, &pComponent);
    if (hr == S_OK && pComponent)
    {
        ULONG ulStatus = 0;
        if (FAILED(pComponent->GetDeviceStatus(&ulStatus)))
            result = pNetCfg->Uninitialize();
        else if (ulStatus == 0)
            bDevice = TRUE;
        else if (ulStatus == CM_PROB_DISABLED)
            bDevice = FALSE;
        else
            result = E_FAIL;
    }
    else if (hr != S_FALSE)
        result = pNetCfg->Uninitialize();
    if (pComponent)
        pComponent->Release();
    pNetCfg->Uninitialize();
    pNetCfg->Release();
    return result;
}

// A BSTR in the system's ANSI code page.
std::string AnsiOf(BSTR bstr)
{
    if (!bstr)
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, bstr, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, bstr, -1, text.data(), n, nullptr, nullptr);
    text.resize(static_cast<size_t>(n) - 1);
    return text;
}

std::string Cut(std::string text)
{
    if (text.size() > kMaxExceptionText)
        text.resize(kMaxExceptionText);
    return text;
}

// Creates or opens the key for setting values; ERROR_SUCCESS or the registry's error.
LONG CreateKey(HKEY root, const char *pszKey, HKEY &key)
{
    return RegCreateKeyExA(root, pszKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                           nullptr);
}

LONG SetDword(HKEY key, const char *pszName, DWORD dwValue)
{
    return RegSetValueExA(key, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&dwValue),
                          sizeof dwValue);
}

LONG SetText(HKEY key, const char *pszName, const char *pszValue)
{
    return RegSetValueExA(key, pszName, 0, REG_SZ, reinterpret_cast<const BYTE *>(pszValue),
                          static_cast<DWORD>(std::strlen(pszValue) + 1));
}
} // namespace

CWPoet::CWPoet()
{
    m_log.SetFileName(kLogFile);
    m_log.SetAlwaysOn(1);
    m_log.Open();
    ReadClientSelector();
}

CWPoet::~CWPoet()
{
    m_log.Close();
}

std::span<const kitcom::DispMember<CWPoet>> CWPoet::DispatchTable()
{
    static constexpr kitcom::DispMember<CWPoet> members[] = {
        kitcom::Method<&CWPoet::CreateConnection>("CreateConnection", DISPID_WPOET_CREATECONNECTION),
        kitcom::Method<&CWPoet::GetInfo>("GetInfo", DISPID_WPOET_GETINFO),
    };
    return members;
}

void CWPoet::ReadClientSelector()
{
    CIniFile config;
    config.Open("config.ini");
    config.SetSection("General");
    const std::string registro = config.Read("Registro");
    m_dwSelector = 0;
    CKey key(HKEY_LOCAL_MACHINE, kDaxKey + registro, KEY_QUERY_VALUE);
    DWORD dwValue = 0, dwSize = sizeof dwValue;
    if (key && RegQueryValueExA(key.Get(), "WinPoet", nullptr, nullptr, reinterpret_cast<BYTE *>(&dwValue),
                                &dwSize) == ERROR_SUCCESS)
        m_dwSelector = dwValue;
}

// --- the checks ---------------------------------------------------------------------------------

HRESULT CWPoet::IsRASInstalled(LONG &bRAS)
{
    m_log.Write("CWPoet::IsRASInstalled - Comienzo.");
    bRAS = FALSE;
    if (!CKey(HKEY_LOCAL_MACHINE, kRemoteAccess, KEY_READ))
    {
        m_log.Write("CWPoet::IsRASInstalled - No se encuentra el servicio Ras.");
        return S_OK;
    }
    m_log.Write("CWPoet::IsRASInstalled - Servicio Ras encontrado.");
    DWORD dwFlags = 0;
    if (HRESULT hr = GetOSVersion(dwFlags); hr != 0)
    {
        m_log.Write("CWPoet::IsRASInstalled - Error en GetOSVersion.");
        return hr;
    }
    if (dwFlags & OSV_NT)
    {
        bRAS = TRUE;
        m_log.Write("CWPoet::IsRASInstalled - Final (Plataforma NT).");
    }
    else if (DialUpAdapterBound())
    {
        bRAS = TRUE;
        m_log.Write("CWPoet::IsRASInstalled - Final (Plataforma 9x - Ras instalado).");
    }
    else
        m_log.Write("CWPoet::IsRASInstalled - Final (Plataforma 9x - Ras no instalado).");
    return S_OK;
}

HRESULT CWPoet::WinPoetInstalled(LONG &bInstalled, LONG &bDevice)
{
    bInstalled = FALSE;
    bDevice = FALSE;
    DWORD dwFlags = 0;
    if (HRESULT hr = GetOSVersion(dwFlags); hr != 0)
        return hr;
    const bool bXp = dwFlags & OSV_WINXP, b2000 = dwFlags & OSV_WIN2000;
    if (!bXp)
    {
        const char *pszDevice = b2000                 ? kDeviceWinPoet2000
                                : (dwFlags & OSV_NT4) ? kDeviceWinPoetNt4
                                                      : kDeviceWinPoet;
        if (!DeviceAnswers(pszDevice))
            return S_OK;
    }
    if (!bXp && !b2000)
    {
        bInstalled = bDevice = TRUE;
        return S_OK;
    }
    if (bXp)
    {
        if (m_dwSelector == 2)
        {
            bInstalled = bDevice = TRUE;
            return S_OK;
        }
        if (HRESULT hr = WinPoetServiceRunning(bInstalled); hr != S_OK)
            return hr;
        bDevice = bInstalled;
        return S_OK;
    }
    bInstalled = TRUE;
    return NetworkComponentStatus(OLESTR("*ivsnpoet"), bDevice);
}

std::string CWPoet::EnternetFolder()
{
    return CKey(HKEY_LOCAL_MACHINE, kEnternetAppPath, KEY_READ).Text("Path", MAX_PATH);
}

HRESULT CWPoet::EnternetInstalled(LONG &bInstalled)
{
    bInstalled = FALSE;
    const std::string folder = EnternetFolder();
    if (!folder.empty() && FileExists(folder + "\\EnterNet.exe") && FileExists(folder + "\\EnterNet.ini"))
        bInstalled = TRUE;
    return S_OK;
}

HRESULT CWPoet::EnternetDevice(LONG &bDevice)
{
    bDevice = FALSE;
    DWORD dwFlags = 0;
    if (HRESULT hr = GetOSVersion(dwFlags); hr != 0)
        return hr;
    if (dwFlags & (OSV_WIN2000 | OSV_WINXP))
        return NetworkComponentStatus(OLESTR("ntspppoe"), bDevice);
    bDevice = DeviceAnswers((dwFlags & OSV_NT4) ? kDeviceEnternetNt4 : kDeviceEnternet) ? TRUE : FALSE;
    return S_OK;
}

HRESULT CWPoet::ComprobarDispositivo(std::string &name, std::string &type)
{
    name.clear();
    DWORD dwFlags = 0;
    if (HRESULT hr = GetOSVersion(dwFlags); hr != 0)
        return hr;
    const std::string wanted = (dwFlags & OSV_WINXP) ? "WAN (PPPOE)" : "Ivasion Poet";
    try
    {
        CRasDeviceIter devices(dwFlags);
        for (devices.Enumerate(); !devices.AtEnd(); devices.Next())
            if (ContainsNoCase(devices.Current().szDeviceName, wanted))
            {
                name = devices.Current().szDeviceName;
                type = devices.Current().szDeviceType;
            }
    }
    catch (const CRasError &error)
    {
        const LONG code = static_cast<LONG>(error.Code());
        return code <= 0 ? code : HRESULT_FROM_WIN32(error.Code());
    }
    catch (const std::exception &)
    {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CWPoet::FijarPredeterminada()
{
    m_log.Write("CWPoet::FijarPredeterminada - Comienzo.");
    HKEY key = nullptr;
    LONG rc =
        CreateKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", key);
    if (rc == ERROR_SUCCESS)
    {
        rc = SetDword(key, "EnableAutodial", 1);
        if (rc == ERROR_SUCCESS)
            rc = SetDword(key, "NoNetAutodial", 0);
        RegCloseKey(key);
    }
    if (rc != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    DWORD dwFlags = 0;
    if (HRESULT hr = GetOSVersion(dwFlags); hr != 0)
        return hr;
    m_log.Write("CWPoet::FijarPredeterminada - Parámetros EnableAutodial y NoNetAutodial fijados.");
    if (dwFlags & OSV_WINXP)
    {
        m_log.Write("CWPoet::FijarPredeterminada - Xp");
        if ((rc = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\RAS Autodial\\Default", key)) !=
            ERROR_SUCCESS)
        {
            m_log.Write("CWPoet::FijarPredeterminada - Fallo al crear la clave");
            return HRESULT_FROM_WIN32(rc);
        }
        rc = SetText(key, "DefaultInternet", kConexion);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
        {
            m_log.Write("CWPoet::FijarPredeterminada - Fallo al fijar el valor");
            return HRESULT_FROM_WIN32(rc);
        }
        return S_OK;
    }
    m_log.Write("CWPoet::FijarPredeterminada - No es Xp");
    if ((rc = CreateKey(HKEY_CURRENT_USER, "RemoteAccess", key)) != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(rc);
    rc = SetText(key, "InternetProfile", kConexion);
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(rc);
}

// --- GetInfo ------------------------------------------------------------------------------------

HRESULT CWPoet::GetInfo(LONG *bRAS, LONG *bInstalled, LONG *bDevice)
{
    m_log.Write("CWPoet::GetInfo - Comienzo.");
    if (!bRAS || !bInstalled || !bDevice)
        return E_POINTER;
    if (m_dwSelector == 0)
    {
        *bRAS = TRUE;
        if (EnternetInstalled(*bInstalled) != S_OK)
        {
            m_log.Write("CWPoet::GetInfo - Error en EnternetInstalled.");
            return S_FALSE;
        }
        if (!*bInstalled)
        {
            m_log.Write("CWPoet::GetInfo - Enternet no instalado.");
            return S_OK;
        }
        if (EnternetDevice(*bDevice) != S_OK)
        {
            m_log.Write("CWPoet::GetInfo - Error en EnternetDevice.");
            return S_FALSE;
        }
        m_log.Write(*bDevice ? "CWPoet::GetInfo - Final."
                             : "CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado.");
        return S_OK;
    }
    if (IsRASInstalled(*bRAS) != S_OK)
    {
        m_log.Write("CWPoet::GetInfo - Error en IsRASInstalled.");
        return S_FALSE;
    }
    if (!*bRAS)
    {
        m_log.Write("CWPoet::GetInfo - RAS no instalado.");
        return S_OK;
    }
    m_log.Write("CWPoet::GetInfo - RAS instalado.");
    if (WinPoetInstalled(*bInstalled, *bDevice) != S_OK)
    {
        m_log.Write("CWPoet::GetInfo - Error en WinPoetInstalled.");
        return S_FALSE;
    }
    if (!*bInstalled)
    {
        m_log.Write("CWPoet::GetInfo - WinPoet no instalado.");
        return S_OK;
    }
    if (!*bDevice)
    {
        m_log.Write("CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado.");
        return S_OK;
    }
    m_log.Write("CWPoet::GetInfo - WinPoetInstalled ha devuelto todo correcto.");
    std::string name, type;
    if (ComprobarDispositivo(name, type) != S_OK)
    {
        m_log.Write("CWPoet::GetInfo - Error en ComprobarDispositivo.");
        return S_FALSE;
    }
    if (name.empty())
    {
        m_log.Write("CWPoet::GetInfo - Dispositivo deshabilitado o desinstalado.");
        *bDevice = FALSE;
        return S_OK;
    }
    m_log.Write("CWPoet::GetInfo - Final.");
    return S_OK;
}

// --- CreateConnection ---------------------------------------------------------------------------

HRESULT CWPoet::CreateConnection(BSTR bstrUserName, BSTR bstrPassword)
{
    m_log.Write("CWPoet::CreateConnection - Comienzo.");
    const std::string user = AnsiOf(bstrUserName);
    return m_dwSelector != 0 ? CreateWinPoetConnection(user, AnsiOf(bstrPassword))
                             : CreateEnternetProfile(user);
}

HRESULT CWPoet::CreateWinPoetConnection(const std::string &user, const std::string &password)
{
    LONG bRAS = FALSE;
    if (IsRASInstalled(bRAS) != S_OK)
    {
        m_log.Write("CWPoet::CreateConnection - Error en IsRASInstalled.");
        return S_FALSE;
    }
    if (!bRAS)
    {
        m_log.Write("CWPoet::CreateConnection - RAS no instalado.");
        return S_FALSE;
    }
    m_log.Write("CWPoet::CreateConnection - RAS instalado.");
    LONG bInstalled = FALSE, bDevice = FALSE;
    if (WinPoetInstalled(bInstalled, bDevice) != S_OK)
    {
        m_log.Write("CWPoet::CreateConnection - Error en WinPoetInstalled.");
        return S_FALSE;
    }
    if (!bInstalled || !bDevice)
    {
        m_log.Write(
            "CWPoet::CreateConnection - WinPoet no instalado o dispositivo deshabilitado o desinstalado.");
        return S_FALSE;
    }
    m_log.Write("CWPoet::CreateConnection - WinPoetInstalled devuelve todo bien.");
    DWORD dwFlags = 0;
    if (GetOSVersion(dwFlags) != 0)
        return S_FALSE;
    std::string deviceName, deviceType;
    if (ComprobarDispositivo(deviceName, deviceType) != S_OK)
    {
        m_log.Write("CWPoet::CreateConnection - Error en ComprobarDispositivo.");
        return S_FALSE;
    }
    if (deviceName.empty())
    {
        m_log.Write("CWPoet::CreateConnection - Dispositivo desinstalado o deshabilitado.");
        return S_FALSE;
    }
    m_log.Write("CWPoet::CreateConnection - Dispositivo correctamente instalado y habilitado.");
    m_log.WriteText("CWPoet::CreateConnection - Tipo de dispositivo:", deviceType.c_str());
    try
    {
        CRasEntryIter entries(dwFlags);
        m_log.Write("CWPoet::CreateConnection - Objeto CRasEntryIter creado.");
        entries.Open(nullptr);
        m_log.Write("CWPoet::CreateConnection - Open realizado.");
        if (entries.Find(kConexion))
        {
            m_log.Write("CWPoet::CreateConnection - La conexión ya existe.");
            entries.Edit();
        }
        else
        {
            m_log.Write("CWPoet::CreateConnection - La conexión no existe.");
            entries.AddNew();
            entries.SetEntryName(kConexion);
        }
        entries.SetDeviceName(deviceName);
        entries.SetDeviceType(deviceType);
        entries.SetFramingProtocol(RASFP_Ppp);
        entries.SetNetProtocols(RASNP_Ip);
        entries.SetCountry(0, 0);
        entries.SetAreaCode("");
        entries.SetIpAddress(kNoAddress);
        entries.SetDnsAddress(kNoAddress);
        entries.SetAltDnsAddress(kNoAddress);
        entries.SetScript("");
        entries.SetUserName(user);
        entries.SetPassword(password);
        if (dwFlags & OSV_WIN2000)
        {
            entries.SetPhoneNumber("000-0000");
            entries.SetOptions(kOptions2000);
        }
        else if (dwFlags & OSV_WINXP)
        {
            entries.SetPhoneNumber("");
            entries.SetOptions(kOptionsXp);
            entries.SetEntryType(RASET_Broadband);
            entries.SetPhoneNumber("");
        }
        else
        {
            entries.SetPhoneNumber((dwFlags & OSV_NT4) ? "000-0000" : "1.1.1.1");
            entries.SetOptions(kOptionsOther);
        }
        m_log.Write("CWPoet::CreateConnection - Se va a hacer Update.");
        entries.Update();
        m_log.Write("CWPoet::CreateConnection - UpdateRealizado.");
        entries.Close();
    }
    catch (const CRasError &error)
    {
        m_log.WriteText("CWPoet::CreateConnection - Excepción capturada.",
                        RasErrorText(error.Code()).c_str());
        return S_FALSE;
    }
    catch (const std::exception &error)
    {
        m_log.WriteText("CWPoet::CreateConnection - Excepción capturada.", Cut(error.what()).c_str());
        return S_FALSE;
    }
    if (FijarPredeterminada() != S_OK)
        return S_FALSE;
    m_log.Write("CWPoet::CreateConnection - Final");
    return S_OK;
}

HRESULT CWPoet::CreateEnternetProfile(const std::string &user)
{
    LONG bInstalled = FALSE;
    if (EnternetInstalled(bInstalled) != S_OK)
    {
        m_log.Write("CWPoet::CreateConnection - Error en EnternetInstalled.");
        return S_FALSE;
    }
    if (!bInstalled)
    {
        m_log.Write("CWPoet::CreateConnection - Enternet no instalado.");
        return S_FALSE;
    }
    LONG bDevice = FALSE;
    if (EnternetDevice(bDevice) != S_OK)
    {
        m_log.Write("CWPoet::CreateConnection - Error en EnternetDevice.");
        return S_FALSE;
    }
    if (!bDevice)
    {
        m_log.Write("CWPoet::CreateConnection - Dispositivo deshabilitado o desinstalado.");
        return S_FALSE;
    }
    m_log.Write("CWPoet::CreateConnection - Enternet correctamente instalado.");

    const std::string folder = EnternetFolder();
    const std::string iniPath = folder + "\\EnterNet.ini";
    std::vector<char> names(kSectionNamesBuffer, '\0');
    const DWORD dwChars = GetPrivateProfileSectionNamesA(names.data(), kSectionNamesBuffer, iniPath.c_str());
    if (dwChars == kSectionNamesBuffer - 2)
    {
        m_log.Write("CWPoet::CreateConnection - No caben los nombres de todas las secciones.");
        return S_FALSE;
    }
    m_log.WriteNumber("CWPoet::CreateConnection - Obtenidos nombres secciones.", "",
                      static_cast<int>(dwChars));
    try
    {
        CIniFile ini;
        ini.Open(iniPath);
        auto writeProfile = [&](const std::string &section, bool bNew) {
            ini.SetSection(section);
            if (bNew)
                ini.Write("Session", kConexion);
            ini.Write("Protocol", "PPPOE");
            ini.Write("ConnectionProtocol", "5");
            ini.Write("UserName", user);
            for (const char *key : {"Context", "Network", "Password", "Tap"})
                ini.Write(key, "");
            ini.Write("Parameters", "1");
            ini.Write("Server", "");
            ini.Write("DialupConnection", "");
            ini.SetSection("Configuration");
            ini.Write("DefaultProfile", section);
        };
        bool bFound = false;
        for (const char *p = names.data(); p < names.data() + dwChars && *p; p += std::strlen(p) + 1)
        {
            const std::string section = p;
            ini.SetSection(section);
            if (ini.Read("Session") != kConexion)
                continue;
            m_log.Write("CWPoet::CreateConnection - Conexión encontrada.");
            writeProfile(section, false);
            bFound = true;
        }
        if (!bFound)
        {
            m_log.Write("CWPoet::CreateConnection - Conexión no encontrada.");
            writeProfile(kConexion, true);
        }
    }
    catch (const std::exception &error)
    {
        m_log.WriteText("CWPoet::CreateConnection - Excepción capturada.", Cut(error.what()).c_str());
        return S_FALSE;
    }
    m_log.Write("CWPoet::CreateConnection - Se va a crear el acceso directo.");
    ShortcutInfo link;
    link.target = folder + "\\EnterNet.exe";
    link.description = kConexion;
    link.iconPath = folder + "\\resfolderENU.dll";
    CrearAccesoDirecto(std::string(kConexion) + ".lnk", &link); // its failure is not reported
    m_log.Write("CWPoet::CreateConnection - Final");
    return S_OK;
}
