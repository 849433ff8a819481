// CNicList: the PC's network adapters, listed as the registry of its Windows family keeps them.
#include "tcpip/NicList.h"

#include "tcpip/TcpipRegistry.h"

#include <cstdio>
#include <cstring>

namespace
{
constexpr char kNetworkCards[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
constexpr char kEnum[] = "Enum";
constexpr char kNetworkEnum[] = "Enum\\Network\\";
constexpr char kTcpipBinding[] = "MSTCP\\";
constexpr char kDialUpAdapter[] = "*PNP8387";
// Enumerator, device and instance below "Enum".
constexpr int kEnumDepth = 3;

// The version information: the extended structure where the system knows it, else the basic one.
bool AskVersion(OSVERSIONINFOA &info)
{
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&extended)))
    {
        std::memcpy(&info, &extended, sizeof info);
        return true;
    }
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) != FALSE;
}

LONG CodeOf(const OSVERSIONINFOA &info)
{
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    {
        if (info.dwMajorVersion != 4)
            return WINVER_CODE_UNKNOWN;
        if (info.dwMinorVersion < 10)
            return WINVER_CODE_95;
        if (info.dwMinorVersion < 90)
            return info.szCSDVersion[1] == 'A' ? WINVER_CODE_98SE : WINVER_CODE_98;
        return WINVER_CODE_ME;
    }
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT)
    {
        if (info.dwMajorVersion != 5)
            return WINVER_CODE_NT4;
        return info.dwMinorVersion == 0 ? WINVER_CODE_2000 : WINVER_CODE_XP;
    }
    return WINVER_CODE_UNKNOWN;
}

// Whether the adapter's driver answers: its device opens.
bool DevicePresent(const std::string &service)
{
    const std::string device = "\\\\.\\" + service;
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

bool StartsWithNoCase(const std::string &text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           tcpipreg::EqualNoCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

// The network adapters of the "Enum" tree, the dial-up adapter left out.
std::vector<std::string> NetInstances9x(HRESULT &walk)
{
    std::vector<std::string> instances;
    walk = tcpipreg::WalkKeys(kEnum, kEnumDepth, [&instances](const std::string &instance) {
        std::string deviceClass, hardware, compatible;
        if (!tcpipreg::ReadString(instance, "Class", deviceClass) ||
            !tcpipreg::EqualNoCase(deviceClass, "Net"))
            return S_OK;
        tcpipreg::ReadString(instance, "HardwareID", hardware);
        tcpipreg::ReadString(instance, "CompatibleIDs", compatible);
        if (!tcpipreg::EqualNoCase(hardware, kDialUpAdapter) &&
            !tcpipreg::EqualNoCase(compatible, kDialUpAdapter))
            instances.push_back(instance);
        return S_OK;
    });
    return instances;
}

// The adapter's binding to TCP/IP: whether the adapter counts (the binding is its own and not a
// copy of another's, as decided at the last one looked at) and the TCP/IP driver key, empty
// when no binding names one.
bool TcpipBinding9x(const std::string &instance, std::string &driver)
{
    driver.clear();
    std::vector<std::string> bindings;
    if (!tcpipreg::ValueNames(instance + "\\Bindings", bindings))
        return true;
    bool accepted = true;
    for (const std::string &binding : bindings)
    {
        if (!StartsWithNoCase(binding, kTcpipBinding))
            continue;
        const std::string key = kNetworkEnum + binding;
        std::string master;
        accepted = !tcpipreg::ReadString(key, "MasterCopy", master) || tcpipreg::EqualNoCase(master, key);
        if (tcpipreg::ReadString(key, "Driver", driver) && !driver.empty())
            break;
        driver.clear();
    }
    return accepted;
}
} // namespace

HRESULT GetWindowsVersionCode(LONG &lCode)
{
    lCode = WINVER_CODE_UNKNOWN;
    OSVERSIONINFOA info{};
    if (!AskVersion(info))
    {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : S_OK;
    }
    lCode = CodeOf(info);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// CNicListOs

HRESULT CNicListOs::First()
{
    if (m_records.empty())
        return E_FAIL;
    m_current = 0;
    return S_OK;
}

HRESULT CNicListOs::Last()
{
    if (m_records.empty())
        return E_FAIL;
    m_current = m_records.size() - 1;
    return S_OK;
}

HRESULT CNicListOs::Next()
{
    if (m_current + 1 >= m_records.size())
        return E_FAIL;
    ++m_current;
    return S_OK;
}

HRESULT CNicListOs::Prev()
{
    if (m_records.empty() || m_current == 0)
        return E_FAIL;
    --m_current;
    return S_OK;
}

HRESULT CNicListOs::Find(const std::string &name)
{
    if (name.empty())
        return E_INVALIDARG;
    for (size_t i = 0; i < m_records.size(); ++i)
    {
        std::string candidate;
        if (SUCCEEDED(m_records[i]->GetName(candidate)) && candidate == name)
        {
            m_current = i;
            return S_OK;
        }
    }
    return E_FAIL;
}

CNicTcpip *CNicListOs::Current() const
{
    if (m_current >= m_records.size())
        return nullptr;
    CNicTcpip *record = m_records[m_current].get();
    if (!m_read[m_current])
    {
        m_read[m_current] = true;
        record->Read();
    }
    return record;
}

HRESULT CNicListOs::GetNameList(std::vector<std::string> &names) const
{
    names = m_names;
    return S_OK;
}

void CNicListOs::Clear()
{
    m_records.clear();
    m_read.clear();
    m_names.clear();
    m_current = 0;
}

std::string CNicListOs::NextDisplayName(const std::string &description) const
{
    if (description.empty())
        return {};
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "{%zu} ", m_names.size() + 1);
    return prefix + description;
}

void CNicListOs::AcceptName(const std::string &displayName)
{
    m_names.push_back(displayName);
}

void CNicListOs::AddRecord(std::unique_ptr<CNicTcpip> record, const std::string &displayName,
                           const std::string &key)
{
    if (SUCCEEDED(record->SetName(displayName)) && SUCCEEDED(record->SetKey(key)) &&
        SUCCEEDED(record->Probe()))
    {
        m_records.push_back(std::move(record));
        m_read.push_back(false);
    }
}

// ---------------------------------------------------------------------------------------------
// The lists of each family

HRESULT CNicList9x::Load()
{
    Clear();
    HRESULT walk = S_OK;
    const std::vector<std::string> instances = NetInstances9x(walk);
    if (FAILED(walk))
        return E_FAIL;
    for (const std::string &instance : instances)
    {
        std::string description, driver;
        if (!tcpipreg::ReadString(instance, "DeviceDesc", description))
            continue;
        const std::string name = NextDisplayName(description);
        if (!TcpipBinding9x(instance, driver) || name.empty())
            continue;
        AcceptName(name);
        if (!driver.empty())
            AddRecord(std::make_unique<CNicTcpip9x>(), name, driver);
    }
    return S_OK;
}

HRESULT CNicListNT::LoadNetworkCards(bool presentOnly,
                                     const std::function<std::unique_ptr<CNicTcpip>()> &newRecord)
{
    Clear();
    std::vector<std::string> cards;
    if (!tcpipreg::SubKeyNames(kNetworkCards, cards))
        return E_FAIL;
    for (const std::string &card : cards)
    {
        const std::string key = std::string(kNetworkCards) + "\\" + card;
        DWORD hidden = 0;
        if (tcpipreg::ReadDword(key, "Hidden", hidden))
            continue;
        std::string description, service;
        if (!tcpipreg::ReadString(key, "Description", description) ||
            !tcpipreg::ReadString(key, "ServiceName", service))
            continue;
        const std::string name = NextDisplayName(description);
        if (name.empty() || (presentOnly && !DevicePresent(service)))
            continue;
        AcceptName(name);
        AddRecord(newRecord(), name, service);
    }
    return S_OK;
}

HRESULT CNicListNT4::Load()
{
    return LoadNetworkCards(false, [] { return std::make_unique<CNicTcpipNT4>(); });
}

HRESULT CNicList2000::Load()
{
    return LoadNetworkCards(true, [] { return std::make_unique<CNicTcpip2000>(); });
}

// ---------------------------------------------------------------------------------------------
// CNicList

template <class Operation> HRESULT CNicList::Forward(Operation operation) const
{
    return m_list ? operation(*m_list) : E_FAIL;
}

HRESULT CNicList::First()
{
    return Forward([](CNicListOs &list) { return list.First(); });
}

HRESULT CNicList::Last()
{
    return Forward([](CNicListOs &list) { return list.Last(); });
}

HRESULT CNicList::Next()
{
    return Forward([](CNicListOs &list) { return list.Next(); });
}

HRESULT CNicList::Prev()
{
    return Forward([](CNicListOs &list) { return list.Prev(); });
}

HRESULT CNicList::Find(const std::string &name)
{
    return Forward([&name](CNicListOs &list) { return list.Find(name); });
}

HRESULT CNicList::GetNameList(std::vector<std::string> &names) const
{
    return Forward([&names](CNicListOs &list) { return list.GetNameList(names); });
}

CNicTcpip *CNicList::Current() const
{
    return m_list ? m_list->Current() : nullptr;
}

HRESULT CNicList::Load()
{
    LONG code = WINVER_CODE_UNKNOWN;
    if (FAILED(GetWindowsVersionCode(code)) || code == WINVER_CODE_UNKNOWN)
        return E_FAIL;
    m_list.reset();
    if (code <= WINVER_CODE_ME)
        m_list = std::make_unique<CNicList9x>();
    else if (code == WINVER_CODE_NT4)
        m_list = std::make_unique<CNicListNT4>();
    else
        m_list = std::make_unique<CNicList2000>();
    return m_list->Load();
}
