// pppoeclient: asks the PPPoE module's WPoet object what the PC has and makes the connection, as
// the wizard does. It runs in the current folder, where the object looks for the kit's
// config.ini (its key "Registro" names where the client selector is).
//
//   pppoeclient info                    GetInfo: dial-up networking, the client, its device
//   pppoeclient create USER PASSWORD    CreateConnection
//
// Exit code 0 when the object answered S_OK (info: and found all three), 1 otherwise, 2 for a
// wrong command line or a server that cannot be created.
#include "common/com/BStr.h"
#include "common/com/ComPtr.h"
#include "platform/kit/kitconsole.h"
#include "pppoe/DaxWPoet.h"

#include <string>
#include <vector>

namespace
{
constexpr int kOk = 0, kFailed = 1, kUsage = 2;

int Usage()
{
    kitpc::Say("uso: pppoeclient info | create USUARIO CONTRASEÑA\n");
    return kUsage;
}

const char *YesNo(LONG value)
{
    return value == TRUE ? "sí" : value == FALSE ? "no" : "sin comprobar";
}

int Info(IWPoet &poet)
{
    constexpr LONG kUnchecked = -1; // what GetInfo leaves when it stops before a check
    LONG bRas = kUnchecked, bInstalled = kUnchecked, bDevice = kUnchecked;
    const HRESULT hr = poet.GetInfo(&bRas, &bInstalled, &bDevice);
    kitpc::Say("WPoet.GetInfo: %s\n", hr == S_OK ? "comprobado" : "una comprobación no pudo hacerse");
    kitpc::Say("  acceso telefónico a redes (RAS): %s\n", YesNo(bRas));
    kitpc::Say("  cliente PPPoE instalado: %s\n", YesNo(bInstalled));
    kitpc::Say("  dispositivo instalado y habilitado: %s\n", YesNo(bDevice));
    return hr == S_OK && bRas == TRUE && bInstalled == TRUE && bDevice == TRUE ? kOk : kFailed;
}

int Create(IWPoet &poet, const std::string &user, const std::string &password)
{
    const HRESULT hr = poet.CreateConnection(kitcom::BStr(kitpc::PcText(user)).Get(),
                                             kitcom::BStr(kitpc::PcText(password)).Get());
    kitpc::Say("WPoet.CreateConnection: %s\n",
               hr == S_OK ? "conexión preparada" : "no se pudo preparar (véase DaxWPoet.txt)");
    return hr == S_OK ? kOk : kFailed;
}

int Main(const std::vector<std::string> &args)
{
    if (args.empty())
        return Usage();
    if (args[0] == "--help" || args[0] == "/?")
    {
        Usage();
        return kOk;
    }
    const bool info = args[0] == "info" && args.size() == 1;
    const bool create = args[0] == "create" && args.size() == 3;
    if (!info && !create)
        return Usage();
    kitcom::ComPtr<IWPoet> poet;
    if (FAILED(CoCreateInstance(CLSID_WPoet, nullptr, CLSCTX_ALL, IID_IWPoet, poet.PutVoid())))
    {
        kitpc::Say("pppoeclient: %s no se pudo crear (regsvr32 DaxWPoet.dll)\n", PROGID_WPOET);
        return kUsage;
    }
    return info ? Info(*poet.Get()) : Create(*poet.Get(), args[1], args[2]);
}
} // namespace

int main(int argc, char **argv)
{
    CoInitialize(nullptr);
    const int code = Main(std::vector<std::string>(argv + 1, argv + argc));
    CoUninitialize();
    return code;
}
