// CSetTcpipConfig2: the writing job and the deferred-change file's import.
#include "tcpip/SetTcpipConfig2.h"

#include "common/com/BStr.h"
#include "common/param/ComError.h"
#include "tcpip/NicList.h"
#include "tcpip/TcpipRegistry.h"

#include <functional>

namespace
{
constexpr WorkerTexts kTexts = {
    "CSetTcpipConfig2::Start - Comienzo de la operación.",
    "CSetTcpipConfig2::Start - El thread ya está activo. Fin.",
    "CSetTcpipConfig2::Start - No se ha podido crear el mutex de protección. Fin.",
    "CSetTcpipConfig2::Start - El mutex de protección ya está activo. Fin.",
    "CSetTcpipConfig2::Start - Comprobaciones iniciales correctas.",
    "CSetTcpipConfig2::Start - No se pudo crear el evento de la cola de mensajes. Fin.",
    "CSetTcpipConfig2::Start - No se pudo crear el thread de ejecución. Fin.",
    "CSetTcpipConfig2::Start - Thread de ejecución creado.",
    "CSetTcpipConfig2::Start - Aborto del thread de ejecución por cumplimiento del timeout. FIn.",
    "CSetTcpipConfig2::Start - Fin OK de la operación.",
    "CSetTcpipConfig2::Stop - Comienzo de la operación.",
    "CSetTcpipConfig2::Stop - Enviado mensaje de aborto al thread de ejecución.",
    "CSetTcpipConfig2::Stop - Aborto forzoso por cumplimiento del timeout.",
    "CSetTcpipConfig2::Stop - El thread de ejecución no está activo.",
    "CSetTcpipConfig2::Stop - Fin OK de la operación.",
    "CSetTcpipConfig2::ThreadSetTcpip - Comienzo de la operación.",
    "CSetTcpipConfig2::ThreadSetTcpip - Cola de mensajes creada.",
    "CSetTcpipConfig2::ThreadSetTcpip - Recibido mensaje de aborto. Fin.",
    "CSetTcpipConfig2::ThreadSetTcpip - Fin OK de la operación.",
};

constexpr char kLogFile[] = "DaxSetTcpip.txt";
constexpr char kThread[] = "CSetTcpipConfig2::ThreadSetTcpip - ";

// The modification groups, in the order the setters use them.
constexpr LONG kGroups[] = {TCPIP_GROUP_IP,   TCPIP_GROUP_GATEWAY,  TCPIP_GROUP_DNS,
                            TCPIP_GROUP_WINS, TCPIP_GROUP_HOSTNAME, TCPIP_GROUP_DOMAIN};

bool Succeeded(HRESULT hr, bool notImplementedIsSuccess = false)
{
    return SUCCEEDED(hr) || (notImplementedIsSuccess && hr == E_NOTIMPL);
}
} // namespace

CSetTcpipConfig2::CSetTcpipConfig2() : CWorkerObject(kMsgAbort, kLogFile, kTexts) {}

CSetTcpipConfig2::~CSetTcpipConfig2()
{
    StopForDestroy();
}

HRESULT CSetTcpipConfig2::FinalConstruct()
{
    m_param.CreateInstance();
    return S_OK;
}

std::span<const kitcom::DispMember<CSetTcpipConfig2>> CSetTcpipConfig2::DispatchTable()
{
    static constexpr kitcom::DispMember<CSetTcpipConfig2> members[] = {
        kitcom::Method<&CSetTcpipConfig2::SetMainPath>("SetMainPath", DISPID_SETTCPIP_SETMAINPATH),
        kitcom::Method<&CSetTcpipConfig2::SetDevice>("SetDevice", DISPID_SETTCPIP_SETDEVICE),
        kitcom::Method<&CSetTcpipConfig2::SetInfoConfig>("SetInfoConfig", DISPID_SETTCPIP_SETINFOCONFIG),
        kitcom::Method<&CSetTcpipConfig2::Start>("Start", DISPID_SETTCPIP_START),
        kitcom::Method<&CSetTcpipConfig2::Stop>("Stop", DISPID_SETTCPIP_STOP),
        kitcom::Method<&CSetTcpipConfig2::IsActive>("IsActive", DISPID_SETTCPIP_ISACTIVE),
        kitcom::Method<&CSetTcpipConfig2::SetChangesDelay>("SetChangesDelay",
                                                           DISPID_SETTCPIP_SETCHANGESDELAY),
        kitcom::Method<&CSetTcpipConfig2::ExecuteTcpipChanges>("ExecuteTcpipChanges",
                                                               DISPID_SETTCPIP_EXECUTETCPIPCHANGES),
    };
    return members;
}

HRESULT CSetTcpipConfig2::SetMainPath(BSTR bstrPath)
{
    kitcom::CritSecLock guard(m_lock);
    m_strMainPath = kitcom::NarrowTextOf(bstrPath);
    return S_OK;
}

HRESULT CSetTcpipConfig2::SetDevice(BSTR bstrDevice)
{
    kitcom::CritSecLock guard(m_lock);
    m_strDevice = kitcom::NarrowTextOf(bstrDevice);
    return S_OK;
}

HRESULT CSetTcpipConfig2::SetChangesDelay(LONG bDelay)
{
    kitcom::CritSecLock guard(m_lock);
    m_bDelay = bDelay;
    return S_OK;
}

HRESULT CSetTcpipConfig2::Start()
{
    return StartWorker();
}

HRESULT CSetTcpipConfig2::Stop(LONG lTimeout)
{
    return StopWorker(lTimeout);
}

HRESULT CSetTcpipConfig2::IsActive(LONG *bActive)
{
    return IsWorkerActive(bActive);
}

HRESULT CSetTcpipConfig2::SetInfoConfig(IUnknown *pIUnkInfo)
{
    m_log.Write("CSetTcpipConfig2::SetInfoConfig - Comienzo de la operación.");
    if (!pIUnkInfo)
    {
        m_log.Write("CSetTcpipConfig2::SetInfoConfig - ERROR en el parámetro de entrada. Fin.");
        return S_FALSE;
    }
    kitcom::CritSecLock guard(m_lock);
    if (!m_param)
    {
        guard.Unlock();
        m_log.Write(
            "CSetTcpipConfig2::SetInfoConfig - ERROR en el parámetro de almacenamiento de los datos del "
            "TCP/IP. Fin.");
        return S_FALSE;
    }
    HRESULT hr = S_FALSE;
    try
    {
        if (m_param.CopyFrom(pIUnkInfo) == S_OK)
        {
            m_log.Write("CSetTcpipConfig2::SetInfoConfig - Copia correcta de los datos del TCP/IP.");
            if (m_param.Validate() == S_OK)
            {
                m_log.Write("CSetTcpipConfig2::SetInfoConfig - Datos del TCP/IP validados.");
                hr = S_OK;
            }
        }
    }
    catch (const CComError &)
    {
        hr = S_FALSE;
    }
    if (hr != S_OK)
    {
        try
        {
            m_param.Clear();
        }
        catch (const CComError &)
        {
        }
        m_log.Write("CSetTcpipConfig2::SetInfoConfig - ERROR al validar los datos del TCP/IP copiados.");
    }
    guard.Unlock();
    m_log.Write("CSetTcpipConfig2::SetInfoConfig - Fin de la operación.");
    return hr;
}

HRESULT CSetTcpipConfig2::ExecuteTcpipChanges()
{
    m_log.Write("CSetTcpipConfig2::ExecuteTcpipChanges - Comienzo de la operación.");
    std::string path;
    if (!tcpipreg::DeferredFilePath(path))
    {
        m_log.Write("CSetTcpipConfig2::ExecuteTcpipChanges - ERROR al obtener el nombre del fichero. Fin.");
        return S_FALSE;
    }
    const DWORD dwAttributes = GetFileAttributesA(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        m_log.Write("CSetTcpipConfig2::ExecuteTcpipChanges - El fichero no existe. Fin.");
        return S_FALSE;
    }
    kitcom::CritSecLock writing(m_writeLock);
    // Quoted, so a temporary folder with blanks in its name is still one argument.
    std::string command = "regedit -s \"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &process))
    {
        writing.Unlock();
        m_log.Write("CSetTcpipConfig2::ExecuteTcpipChanges - ERROR en la ejecución del fichero. Fin.");
        return S_FALSE;
    }
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, kEditorWaitMs) == WAIT_OBJECT_0)
    {
        DeleteFileA(path.c_str());
        m_log.Write("CSetTcpipConfig2::ExecuteTcpipChanges - Fichero borrado.");
    }
    else
        m_log.Write(
            "CSetTcpipConfig2::ExecuteTcpipChanges - El fichero no ha podido ser borrado por seguir en "
            "ejecución después del timeout de espera.");
    CloseHandle(process.hProcess);
    writing.Unlock();
    m_log.Write("CSetTcpipConfig2::ExecuteTcpipChanges - Fin OK de la operación.");
    return S_OK;
}

bool CSetTcpipConfig2::ReadSettings(Settings &s)
{
    const std::string prefix = kThread;
    try
    {
        s.hostName = m_param.GetHostName();
        m_log.WriteText((prefix + "HostName recuperado").c_str(), s.hostName.c_str());
        s.domain = m_param.GetDomain();
        m_log.WriteText((prefix + "Domain recuperado").c_str(), s.domain.c_str());
        s.nodeType = m_param.GetNodeType();
        m_log.WriteText((prefix + "NodeType recuperado").c_str(), s.nodeType.c_str());
        s.bDhcp = m_param.GetDhcpEnable();
        m_log.Write((prefix + (s.bDhcp ? "Habilitar DHCP." : "NO habilitar DHCP.")).c_str());
        s.bDns = m_param.GetDnsEnable();
        m_log.Write((prefix + (s.bDns ? "Habilitar DNS." : "NO habilitar DNS.")).c_str());
        const LONG lIps = m_param.GetIPCount();
        for (LONG i = 1; i <= lIps; ++i)
        {
            const TextPair ip = m_param.GetIP(i);
            m_log.WriteText((prefix + "IP recuperada").c_str(), ip.first.c_str());
            m_log.WriteText((prefix + "Máscara recuperada").c_str(), ip.second.c_str());
            s.ips.push_back(ip.first);
            s.masks.push_back(ip.second);
        }
        const LONG lGateways = m_param.GetGatewayCount();
        for (LONG i = 1; i <= lGateways; ++i)
        {
            s.gateways.push_back(m_param.GetGateway(i));
            m_log.WriteText((prefix + "Gateway recuperado").c_str(), s.gateways.back().c_str());
        }
        const LONG lDns = m_param.GetDnsCount();
        for (LONG i = 1; i <= lDns; ++i)
        {
            s.dns.push_back(m_param.GetDns(i));
            m_log.WriteText((prefix + "DNS recuperado").c_str(), s.dns.back().c_str());
        }
        const LONG lWins = m_param.GetWinsCount();
        for (LONG i = 1; i <= lWins; ++i)
        {
            s.wins.push_back(m_param.GetWins(i));
            m_log.WriteText((prefix + "WINS recuperado").c_str(), s.wins.back().c_str());
        }
        for (size_t i = 0; i < std::size(kGroups); ++i)
            s.modified[i] = m_param.IsModified(kGroups[i]) != 0;
    }
    catch (const CComError &)
    {
        return false;
    }
    return true;
}

bool CSetTcpipConfig2::WriteSettings(CNicTcpip &nic, const Settings &s)
{
    struct Step
    {
        bool wanted;
        const char *line;
        std::function<HRESULT()> call;
        bool notImplementedIsSuccess;
    };
    const Step steps[] = {
        {s.modified[0], "IP(s) fijada(s).", [&] { return nic.SetIPs(s.ips, s.masks); }, false},
        {s.modified[1], "Gateway(s) fijado(s).", [&] { return nic.SetGateways(s.gateways); }, false},
        {s.modified[2], "DNS fijado.", [&] { return nic.SetDNS(s.dns); }, false},
        {s.modified[3], "WINS fijado.", [&] { return nic.SetWINS(s.wins, s.nodeType); }, false},
        {s.modified[4], "HostName fijado.", [&] { return nic.SetHostName(s.hostName); }, true},
        {s.modified[5], "Dominio fijado.", [&] { return nic.SetDomain(s.domain); }, true},
        {s.bDns == 0, "DNS deshabilitado.", [&] { return nic.DisableDNS(); }, false},
        {s.bDhcp != 0, "DHCP habilitado.", [&] { return nic.EnableDHCP(); }, false},
    };
    for (const Step &step : steps)
    {
        if (!step.wanted)
            continue;
        const HRESULT hr = step.call();
        m_log.Write((std::string(kThread) + step.line).c_str());
        if (!Succeeded(hr, step.notImplementedIsSuccess))
            return false;
    }
    return true;
}

CWorkerObject::JobEnd CSetTcpipConfig2::Job()
{
    {
        kitcom::CritSecLock guard(m_lock);
        if (!m_param)
            return {workercode::kNoOwnObject,
                    "CSetTcpipConfig2::ThreadSetTcpip - ERROR en el parámetro de datos del "
                    "TCP/IP (nulo)."};
    }
    CNicList nics;
    if (FAILED(nics.Load()))
        return {workercode::kNicsUnreadable,
                "CSetTcpipConfig2::ThreadSetTcpip - ERROR al recuperar la info de las NICs. Fin."};

    std::string device;
    LONG bDelay = 0;
    {
        kitcom::CritSecLock guard(m_lock);
        device = m_strDevice;
        bDelay = m_bDelay;
    }
    const HRESULT hrFind = nics.Find(device);
    m_log.WriteText("CSetTcpipConfig2::ThreadSetTcpip - Solicitud de info de la NIC", device.c_str());
    if (FAILED(hrFind) || !nics.Current())
        return {workercode::kNicNotFound,
                "CSetTcpipConfig2::ThreadSetTcpip - No se ha podido localizar la NIC solicitada. Fin."};
    FireProgressDone("19");
    m_log.Write("CSetTcpipConfig2::ThreadSetTcpip - Info de la NIC localizada.");
    if (AbortRequested())
        return kJobAborted;

    Settings settings;
    bool bRead = false;
    {
        kitcom::CritSecLock guard(m_lock);
        if (!m_param)
        {
            guard.Unlock();
            return {workercode::kNoOwnObject, "CSetTcpipConfig2::ThreadSetTcpip - ERROR en el parámetro de "
                                              "almacenamiento de los datos del TCP/IP. Fin."};
        }
        bRead = ReadSettings(settings);
    }
    if (!bRead || settings.ips.size() != settings.masks.size())
        return {workercode::kInconsistent,
                "CSetTcpipConfig2::ThreadSetTcpip - ERROR en la info del TCP/IP localizada. Fin."};

    bool bWritten = false;
    {
        kitcom::CritSecLock writing(m_writeLock);
        m_log.Write("CSetTcpipConfig2::ThreadSetTcpip - Info del TCP/IP correcta.");
        tcpipreg::DeleteDeferredFile();
        tcpipreg::SetWriteTarget(bDelay);
        if (bDelay)
            m_log.Write("CSetTcpipConfig2::ThreadSetTcpip - Escritura de los datos del TCP/IP diferida "
                        "(fichero REG).");
        bWritten = WriteSettings(*nics.Current(), settings);
    }
    if (!bWritten)
        return {workercode::kWriteFailed,
                "CSetTcpipConfig2::ThreadSetTcpip - ERROR al fijar la info del TCP/IP. Fin."};
    FireProgressDone("20");
    m_log.Write("CSetTcpipConfig2::ThreadSetTcpip - Datos del TCP/IP fijados correctamente.");
    return kJobOk;
}
