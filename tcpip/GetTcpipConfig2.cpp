// CGetTcpipConfig2: the reading job.
#include "tcpip/GetTcpipConfig2.h"

#include "common/com/BStr.h"
#include "common/param/ComError.h"
#include "tcpip/NicList.h"

namespace
{
constexpr WorkerTexts kTexts = {
    "CGetTcpipConfig2::Start - Comienzo de la operación.",
    "CGetTcpipConfig2::Start - El thread ya está activo. Fin.",
    "CGetTcpipConfig2::Start - No se pudo crear el mutex de protección. Fin.",
    "CGetTcpipConfig2::Start - Mutex de protección ya activo. Fin.",
    "CGetTcpipConfig2::Start - Comprobaciones iniciales correctas.",
    "CGetTcpipConfig2::Start - No se pudo crear el evento de la cola de mensajes. Fin.",
    "CGetTcpipConfig2::Start - ERROR al lanzar el thread de ejecución. Fin.",
    "CGetTcpipConfig2::Start - Thread de ejecución lanzado correctamente.",
    "CGetTcpipConfig2::Start - Thread de ejecución abortado por cumplimiento del timeout de la cola de "
    "mensajes. "
    "Fin.",
    "CGetTcpipConfig2::Start - Fin OK de la operación.",
    "CGetTcpipConfig2::Stop - Comienzo de la operación.",
    "CGetTcpipConfig2::Stop - Enviado mensaje de aborto al thread de ejecución.",
    "CGetTcpipConfig2::Stop - Aborto forzoso por cumplimiento del timeout.",
    "CGetTcpipConfig2::Stop - El thread de ejecución no está activo. Fin.",
    "CGetTcpipConfig2::Stop - Fin OK de la operación.",
    "CGetTcpipConfig2::ThreadGetTcpip - Comienzo de la operación.",
    "CGetTcpipConfig2::ThreadGetTcpip - Cola de mensjes creada.",
    "CGetTcpipConfig2::ThreadGetTcpip - Recibido mensaje de aborto. Fin.",
    "CGetTcpipConfig2::ThreadGetTcpip - Fin OK de la operación.",
};

constexpr char kLogFile[] = "DaxGetTcpip.txt";

// Every field of a record, taken at once.
struct NicFields
{
    std::string name, key, hostName, domain, dhcpAddress, dhcpMask, dhcpServer, nodeType;
    StringList ips, masks, gateways, dns, wins;
    LONG bDhcp = 0, bDns = 0, bBound = 0;

    explicit NicFields(const CNicTcpip &nic)
    {
        nic.GetName(name);
        nic.GetKey(key);
        nic.GetHostName(hostName);
        nic.GetDomain(domain);
        nic.GetDhcpIPAddress(dhcpAddress);
        nic.GetDhcpSubnetMask(dhcpMask);
        nic.GetDhcpServer(dhcpServer);
        nic.GetIPs(ips);
        nic.GetMasks(masks);
        nic.GetGateways(gateways);
        nic.GetDNS(dns);
        nic.GetWINS(wins, nodeType);
        nic.GetDhcpEnabled(bDhcp);
        nic.GetDnsEnabled(bDns);
        nic.GetBound(bBound);
    }
};
} // namespace

CGetTcpipConfig2::CGetTcpipConfig2() : CWorkerObject(kMsgAbort, kLogFile, kTexts) {}

CGetTcpipConfig2::~CGetTcpipConfig2()
{
    StopForDestroy();
}

HRESULT CGetTcpipConfig2::FinalConstruct()
{
    m_param.CreateInstance();
    return S_OK;
}

std::span<const kitcom::DispMember<CGetTcpipConfig2>> CGetTcpipConfig2::DispatchTable()
{
    static constexpr kitcom::DispMember<CGetTcpipConfig2> members[] = {
        kitcom::Method<&CGetTcpipConfig2::SetMainPath>("SetMainPath", DISPID_GETTCPIP_SETMAINPATH),
        kitcom::Method<&CGetTcpipConfig2::SetDevice>("SetDevice", DISPID_GETTCPIP_SETDEVICE),
        kitcom::Method<&CGetTcpipConfig2::GetInfoConfig>("GetInfoConfig", DISPID_GETTCPIP_GETINFOCONFIG),
        kitcom::Method<&CGetTcpipConfig2::Start>("Start", DISPID_GETTCPIP_START),
        kitcom::Method<&CGetTcpipConfig2::Stop>("Stop", DISPID_GETTCPIP_STOP),
        kitcom::Method<&CGetTcpipConfig2::IsActive>("IsActive", DISPID_GETTCPIP_ISACTIVE),
    };
    return members;
}

HRESULT CGetTcpipConfig2::SetMainPath(BSTR bstrPath)
{
    kitcom::CritSecLock guard(m_lock);
    m_strMainPath = kitcom::NarrowTextOf(bstrPath);
    return S_OK;
}

HRESULT CGetTcpipConfig2::SetDevice(BSTR bstrDevice)
{
    kitcom::CritSecLock guard(m_lock);
    m_strDevice = kitcom::NarrowTextOf(bstrDevice);
    return S_OK;
}

HRESULT CGetTcpipConfig2::GetInfoConfig(IUnknown **pIUnkInfo)
{
    m_log.Write("CGetTcpipConfig2::GetInfoConfig - Comienzo de la operación.");
    if (!pIUnkInfo)
    {
        m_log.Write("CGetTcpipConfig2::GetInfoConfig - Parámetro de entrada no válido. Fin.");
        return S_FALSE;
    }
    *pIUnkInfo = nullptr;
    kitcom::CritSecLock guard(m_lock);
    if (!m_param)
    {
        guard.Unlock();
        m_log.Write("CGetTcpipConfig2::GetInfoConfig - Parámetro de datos del TCP/IP nulo. Fin.");
        return S_FALSE;
    }
    if (FAILED(m_param.Get()->QueryInterface(IID_ITcpipParam, reinterpret_cast<void **>(pIUnkInfo))))
    {
        *pIUnkInfo = nullptr;
        guard.Unlock();
        m_log.Write(
            "CGetTcpipConfig2::GetInfoConfig - ERROR en QueryInterface del parámetro de datos del TCP/IP. "
            "Fin.");
        return S_FALSE;
    }
    guard.Unlock();
    m_log.Write("CGetTcpipConfig2::GetInfoConfig - Fin OK de la operación.");
    return S_OK;
}

HRESULT CGetTcpipConfig2::Start()
{
    return StartWorker();
}

HRESULT CGetTcpipConfig2::Stop(LONG lTimeout)
{
    return StopWorker(lTimeout);
}

HRESULT CGetTcpipConfig2::IsActive(LONG *bActive)
{
    return IsWorkerActive(bActive);
}

bool CGetTcpipConfig2::Store(const CNicTcpip &nic)
{
    const NicFields fields(nic);
    try
    {
        m_param.Clear();
        m_param.PutNicName(fields.name);
        m_param.PutRegID(fields.key);
        m_param.PutNodeType(fields.nodeType);
        m_param.PutHostName(fields.hostName);
        m_param.PutDomain(fields.domain);
        m_param.PutDhcpIPAddress(fields.dhcpAddress);
        m_param.PutDhcpSubnetMask(fields.dhcpMask);
        m_param.PutDhcpServer(fields.dhcpServer);
        m_param.PutDhcpEnable(fields.bDhcp);
        m_param.PutDnsEnable(fields.bDns);
        m_param.PutBound(fields.bBound);
        for (size_t i = 0; i < fields.ips.size(); ++i)
            m_param.AddIP(fields.ips[i], fields.masks[i]);
        for (const std::string &gateway : fields.gateways)
            m_param.AddGateway(gateway);
        for (const std::string &dns : fields.dns)
            m_param.AddDns(dns);
        for (const std::string &wins : fields.wins)
            m_param.AddWins(wins);
    }
    catch (const CComError &)
    {
        return false;
    }
    return true;
}

CWorkerObject::JobEnd CGetTcpipConfig2::Job()
{
    CNicList nics;
    if (FAILED(nics.Load()))
        return {workercode::kNicsUnreadable,
                "CGetTcpipConfig2::ThreadGetTcpip - ERROR al recuperar la info de las NICs. Fin."};
    m_log.Write("CGetTcpipConfig2::ThreadGetTcpip - Info de las NICs recuperada correctamente.");

    std::string device;
    {
        kitcom::CritSecLock guard(m_lock);
        device = m_strDevice;
    }
    m_log.WriteText("CGetTcpipConfig2::ThreadGetTcpip - Solicitada info de NIC.", device.c_str());
    if (FAILED(nics.Find(device)) || !nics.Current())
        return {workercode::kNicNotFound,
                "CGetTcpipConfig2::ThreadGetTcpip - No se ha podido localizar la NIC solicitada. Fin."};
    FireProgressDone("17");
    m_log.Write("CGetTcpipConfig2::ThreadGetTcpip - Info de la NIC localizada.");
    if (AbortRequested())
        return kJobAborted;

    const CNicTcpip &nic = *nics.Current();
    StringList ips, masks;
    nic.GetIPs(ips);
    nic.GetMasks(masks);
    if (ips.size() != masks.size())
        return {workercode::kInconsistent,
                "CGetTcpipConfig2::ThreadGetTcpip - La info recuperada no es correcta. Fin."};
    m_log.Write("CGetTcpipConfig2::ThreadGetTcpip - Info recuperada es válida.");

    bool bStored = false;
    {
        kitcom::CritSecLock guard(m_lock);
        if (!m_param)
        {
            guard.Unlock();
            return {workercode::kNoStoreObject,
                    "CGetTcpipConfig2::ThreadGetTcpip - ERROR en el parámetro para el "
                    "almacenamiento de la info. Fin."};
        }
        bStored = Store(nic);
    }
    if (!bStored)
        return {workercode::kStoreFailed,
                "CGetTcpipConfig2::ThreadGetTcpip - ERROR al almacenar la info de la NIC. Fin."};
    FireProgressDone("18");
    m_log.Write("CGetTcpipConfig2::ThreadGetTcpip - Info de la NIC almacenada correctamente.");
    return kJobOk;
}
