// CCheckNics2: the adapter lists and the TCP/IP check.
#include "tcpip/CheckNics2.h"

#include "common/com/BStr.h"
#include "tcpip/NicList.h"
#include "tcpip/TcpipRegistry.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr WorkerTexts kTexts = {
    "CCheckNics2::Start -- Comienzo de operación.",
    "CCheckNics2::Start -- Thread ya activo. Fin.",
    "CCheckNics2::Start -- No se pudo crear el mutex de protección. Fin.",
    "CCheckNics2::Start -- Mutex de protección ya activo. Fin.",
    "CCheckNics2::Start -- Comprobaciones iniciales correctas.",
    "CCheckNics2::Start -- No se pudo crear el evento para la cola de mensajes. Fin.",
    "CCheckNics2::Start -- Error al lanzar el thread de ejecución. Fin.",
    "CCheckNics2::Start -- Thread de ejecución lanzado correctamente.",
    "CCheckNics2::Start -- Aborto del proceso por timeout de creación de la cola de mensajes. Fin.",
    "CCheckNics2::Start -- Fin OK de la operación.",
    "CCheckNics2::Stop -- Comienzo de la operación.",
    "CCheckNics2::Stop -- Enviado mensaje de aborto al thread de ejecución.",
    "CCheckNics2::Stop -- Aborto forzoso por cumplimiento del timeout de espera.",
    "CCheckNics2::Stop -- El thread de ejecución no está activo.",
    "CCheckNics2::Stop -- Fin OK de la operación.",
    "CCheckNics2::ThreadCheckNics - Comienzo de operación.",
    "CCheckNics2::ThreadCheckNics - Cola de mensajes del thread creada.",
    "CCheckNics2::ThreadCheckNics - Recibido mensaje de aborto. Fin.",
    "CCheckNics2::ThreadCheckNics - Fin OK de la operación.",
};

constexpr char kLogFile[] = "DaxCheckNic.txt";
constexpr char kMstcpPrefix[] = "MSTCP\\";

bool StartsWithNoCase(const std::string &text, const char *prefix)
{
    const size_t length = std::strlen(prefix);
    return text.size() >= length && tcpipreg::EqualNoCase(std::string_view(text).substr(0, length), prefix);
}

// A 9x device instance whose class is "Net".
bool IsNetInstance(const std::string &path)
{
    std::string strClass;
    return tcpipreg::ReadString(path, "Class", strClass) && tcpipreg::EqualNoCase(strClass, "Net");
}

// Whether an instance's Bindings name an MSTCP binding (1 ends the walk). An instance without a
// Bindings key has none: it does not end the walk with a failure, so a card that is not bound
// cannot hide one that is.
HRESULT HasTcpipBinding(const std::string &path)
{
    if (!IsNetInstance(path))
        return S_OK;
    std::vector<std::string> names;
    if (!tcpipreg::ValueNames(path + "\\Bindings", names))
        return S_OK;
    for (const std::string &name : names)
        if (!name.empty() && StartsWithNoCase(name, kMstcpPrefix))
            return S_FALSE;
    return S_OK;
}
} // namespace

CCheckNics2::CCheckNics2() : CWorkerObject(kMsgAbort, kLogFile, kTexts) {}

CCheckNics2::~CCheckNics2()
{
    StopForDestroy();
}

std::span<const kitcom::DispMember<CCheckNics2>> CCheckNics2::DispatchTable()
{
    static constexpr kitcom::DispMember<CCheckNics2> members[] = {
        kitcom::Method<&CCheckNics2::Start>("Start", DISPID_CHECKNICS_START),
        kitcom::Method<&CCheckNics2::Stop>("Stop", DISPID_CHECKNICS_STOP),
        kitcom::Method<&CCheckNics2::IsActive>("IsActive", DISPID_CHECKNICS_ISACTIVE),
        kitcom::Method<&CCheckNics2::GetNicName>("GetNicName", DISPID_CHECKNICS_GETNICNAME),
        kitcom::Method<&CCheckNics2::GetNumNics>("GetNumNics", DISPID_CHECKNICS_GETNUMNICS),
        kitcom::Method<&CCheckNics2::ExistsNic>("ExistsNic", DISPID_CHECKNICS_EXISTSNIC),
        kitcom::Method<&CCheckNics2::IsTcpipInstalled>("IsTcpipInstalled", DISPID_CHECKNICS_ISTCPIPINSTALLED),
        kitcom::Method<&CCheckNics2::SetNicListToAccess>("SetNicListToAccess",
                                                         DISPID_CHECKNICS_SETNICLISTTOACCESS),
    };
    return members;
}

HRESULT CCheckNics2::Start()
{
    return StartWorker();
}

HRESULT CCheckNics2::Stop(LONG lTimeout)
{
    return StopWorker(lTimeout);
}

HRESULT CCheckNics2::IsActive(LONG *bActive)
{
    return IsWorkerActive(bActive);
}

const CCheckNics2::NameList *CCheckNics2::ListOf(LONG idNicList) const
{
    switch (idNicList)
    {
    case NIC_LIST_ALL:
        return &m_all;
    case NIC_LIST_LINKED:
        return &m_linked;
    case NIC_LIST_ENABLED:
        return &m_enabled;
    default:
        return nullptr;
    }
}

HRESULT CCheckNics2::GetNicName(LONG lPos, BSTR *bstrName)
{
    m_log.WriteNumber("CCheckNics2::GetNumNics -- Realizada consulta del nombre de una NIC", "Pos", lPos);
    if (!bstrName)
        return S_FALSE;
    std::string name;
    {
        kitcom::CritSecLock guard(m_lock);
        if (lPos < 1 || static_cast<size_t>(lPos) > m_access.size())
            return S_FALSE;
        name = m_access[static_cast<size_t>(lPos) - 1];
    }
    return kitcom::ReturnNarrow(name, bstrName) == S_OK ? S_OK : S_FALSE;
}

HRESULT CCheckNics2::GetNumNics(LONG *lNum)
{
    if (!lNum)
        return S_FALSE;
    {
        kitcom::CritSecLock guard(m_lock);
        *lNum = static_cast<LONG>(m_access.size());
    }
    m_log.WriteNumber("CCheckNics2::GetNumNics -- Realizada consulta del nº de NICs", "Resultado", *lNum);
    return S_OK;
}

HRESULT CCheckNics2::ExistsNic(BSTR bstrName, LONG *bExists)
{
    const std::string name = kitcom::NarrowTextOf(bstrName);
    m_log.WriteText("CCheckNics2::ExistsNic - Solicitada búsqueda de NIC.", name.c_str());
    if (name.empty() || !bExists)
        return S_FALSE;
    bool found = false;
    {
        kitcom::CritSecLock guard(m_lock);
        found = std::any_of(m_access.begin(), m_access.end(),
                            [&](const std::string &nic) { return tcpipreg::EqualNoCase(nic, name); });
    }
    *bExists = found ? 1 : 0;
    if (found)
        m_log.Write("CCheckNics2::ExistsNic - NIC localizada.");
    m_log.Write("CCheckNics2::ExistsNic - Fin de operación.");
    return S_OK;
}

HRESULT CCheckNics2::IsTcpipInstalled(LONG *bInstalled)
{
    m_log.Write("CCheckNics2::IsTcpipInstalled - Inicio de operación.");
    if (!bInstalled)
    {
        m_log.Write("CCheckNics2::IsTcpipInstalled - ERROR en el parámetro de entrada (nulo). Fin.");
        return S_FALSE;
    }
    *bInstalled = 0;
    LONG lCode = WINVER_CODE_UNKNOWN;
    if (FAILED(GetWindowsVersionCode(lCode)) || lCode == WINVER_CODE_UNKNOWN)
    {
        m_log.Write(
            "CCheckNics2::IsTcpipInstalled - ERROR al intentar reconocer el tipo de sistema operativo. Fin.");
        return S_FALSE;
    }
    HRESULT hr = S_OK;
    if (lCode <= WINVER_CODE_ME)
    {
        m_log.Write("CCheckNics2::IsTcpipInstalled - Comprobación sobre un 9x.");
        hr = tcpipreg::WalkKeys("Enum", 3, HasTcpipBinding);
        *bInstalled = hr == S_FALSE ? 1 : 0;
    }
    else if (lCode == WINVER_CODE_NT4)
    {
        m_log.Write("CCheckNics2::IsTcpipInstalled - Comprobación sobre un NT.");
        *bInstalled = tcpipreg::KeyExists("SYSTEM\\CurrentControlSet\\Services\\Tcpip") ? 1 : 0;
    }
    else
    {
        m_log.Write("CCheckNics2::IsTcpipInstalled - Comprobación sobre un 2000 o XP.");
        *bInstalled = tcpipreg::KeyExists("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Linkage") ? 1 : 0;
    }
    if (FAILED(hr))
    {
        *bInstalled = 0;
        m_log.Write("CCheckNics2::IsTcpipInstalled - ERROR en la comprobación de instalación del TCP/IP.");
        return S_FALSE;
    }
    m_log.Write("CCheckNics2::IsTcpipInstalled - Fin correcta de la operación.");
    return S_OK;
}

HRESULT CCheckNics2::SetNicListToAccess(LONG idNicList)
{
    m_log.WriteNumber(
        "CCheckNics2::SetNicListToAccess - Solicitada selección del tipo de lista de NICs a emplear", "Tipo",
        idNicList);
    bool bChosen = false;
    {
        kitcom::CritSecLock guard(m_lock);
        if (const NameList *list = ListOf(idNicList))
        {
            m_access = *list;
            m_idListType = idNicList;
            bChosen = true;
        }
    }
    if (!bChosen)
    {
        m_log.Write(
            "CCheckNics2::SetNicListToAccess - ERROR al fijar el tipo de lista. Cambio no realizado.");
        return S_FALSE;
    }
    m_log.Write("CCheckNics2::SetNicListToAccess - Selección de lista de NICs realizada correctamente.");
    return S_OK;
}

CWorkerObject::JobEnd CCheckNics2::Job()
{
    CNicList nics;
    if (FAILED(nics.Load()))
        return {workercode::kNicsUnreadable,
                "CCheckNics2::ThreadCheckNics - ERROR al recuperar la info de las NICs. Fin."};
    m_log.Write("CCheckNics2::ThreadCheckNics - Info de la NICs recuperada.");
    {
        kitcom::CritSecLock guard(m_lock);
        m_all.clear();
        m_linked.clear();
        m_enabled.clear();
        m_access.clear();
        for (HRESULT hr = nics.First(); SUCCEEDED(hr); hr = nics.Next())
        {
            CNicTcpip *nic = nics.Current();
            std::string name, key;
            LONG bBound = 0;
            if (!nic || FAILED(nic->GetName(name)) || FAILED(nic->GetKey(key)) ||
                FAILED(nic->GetBound(bBound)) || name.empty())
                continue;
            m_linked.push_back(name);
            m_log.WriteText("NIC añadida a lista de enlazadas", name.c_str());
            m_log.WriteText(name.c_str(), key.c_str());
            if (bBound)
            {
                m_enabled.push_back(name);
                m_log.WriteText("NIC añadida a lista de habilitadas", name.c_str());
            }
        }
        nics.GetNameList(m_all);
        m_access = *ListOf(m_idListType);
    }
    m_log.Write("CCheckNics2::ThreadCheckNics - Info de las NICs almacenada.");
    return kJobOk;
}
