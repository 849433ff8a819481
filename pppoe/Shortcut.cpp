#include "pppoe/Shortcut.h"

#include "common/com/ComPtr.h"

namespace
{
// COM for this thread while the link is made.
class CComInit
{
  public:
    CComInit() : m_hr(CoInitialize(nullptr)) {}
    ~CComInit()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    CComInit(const CComInit &) = delete;
    CComInit &operator=(const CComInit &) = delete;
    bool Ok() const { return SUCCEEDED(m_hr); }

  private:
    HRESULT m_hr;
};

HRESULT SaveLink(const ShortcutInfo &info, const std::string &linkName)
{
    kitcom::ComPtr<IShellLinkA> link;
    HRESULT hr =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid());
    if (FAILED(hr))
        return hr;
    link->SetPath(info.target.c_str());
    link->SetDescription(info.description.c_str());
    link->SetHotkey(info.wHotKey);
    link->SetIconLocation(info.iconPath.c_str(), info.wIconIndex);
    link->SetArguments(info.arguments.c_str());
    kitcom::ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (FAILED(hr))
        return hr;
    char szDesktop[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, szDesktop, CSIDL_DESKTOP, FALSE);
    const std::string path = std::string(szDesktop) + "\\" + linkName;
    WCHAR wszPath[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wszPath, MAX_PATH) == 0)
        return E_INVALIDARG; // longer than a path
    return file->Save(wszPath, TRUE);
}
} // namespace

HRESULT CrearAccesoDirecto(const std::string &linkName, const ShortcutInfo *pInfo)
{
    if (!pInfo)
        return E_FAIL;
    CComInit com;
    if (!com.Ok())
        return E_FAIL;
    return SaveLink(*pInfo, linkName);
}
