#include "pppoe/Shortcut.h"

#include "common/com/ComPtr.h"

#include <vector>

HRESULT CrearAccesoDirecto(const std::string &linkFile, const ShortcutInfo &info)
{
    kitcom::ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid());
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
    const int n = MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return E_INVALIDARG;
    std::vector<OLECHAR> wide(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide.data(), n);
    return file->Save(wide.data(), TRUE);
}
