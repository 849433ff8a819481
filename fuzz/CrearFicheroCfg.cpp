// Arbitrary templates: the port list is split, the template filled into "config.dat", its route
// entries filled, and the result read back as a download, with an in-memory router parameter
// object (no server needs registering).
// Input: byte 0 sets the object's flags (bit 0 PPP, bit 1 bridge, bit 2 NAT, bit 3 DHCP pool),
// then the port list up to the first LF, then the template.
#include "common/trace/TraceLog.h"
#include "fuzz/ModemFuzzPc.h"
#include "testing/MemoryRouterParam.h"
#include "testing/pcfile.h"
#include "modem/ModemConfig.h"
#include "platform/kit/kitmachine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
std::string g_dir;
CTraceLog *g_log;

BSTR Text(std::string_view text)
{
    BSTR bstr = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    for (size_t i = 0; i < text.size(); ++i)
        bstr[i] = static_cast<unsigned char>(text[i]);
    return bstr;
}

void Set(HRESULT (STDMETHODCALLTYPE IRouterParam::*method)(BSTR, BSTR), IRouterParam *param, const char *a,
         const char *b)
{
    BSTR first = Text(a), second = Text(b);
    (param->*method)(first, second);
    SysFreeString(first);
    SysFreeString(second);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_dir = modemfuzz::EnterNewPc();
    g_log = modemfuzz::OpenModemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    modemfuzz::RenewLog(*g_log, 2000);

    const unsigned flags = data[0];
    const std::string_view rest(reinterpret_cast<const char *>(data) + 1, size - 1);
    const size_t lf = rest.find('\n');
    const std::string_view ports = rest.substr(0, lf);
    const std::string_view plantilla =
        lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
    const std::string pathPlantilla = g_dir + "\\643.cfg";
    const std::string pathConfig = g_dir + "\\config.dat";
    if (!pcfile::Write(pathPlantilla, plantilla))
        std::abort();

    CMemoryRouterParam *param = CMemoryRouterParam::Create();
    param->SetEncap(flags & 1);
    param->SetBridge((flags >> 1) & 1);
    param->SetNat((flags >> 2) & 1);
    Set(&IRouterParam::SetLan, param, "192.168.1.1", "255.255.255.0");
    Set(&IRouterParam::SetWan, param, "192.0.2.10", "255.255.255.248");
    Set(&IRouterParam::SetDhcp, param, (flags & 8) ? "192.168.1.33" : "", "32");
    Set(&IRouterParam::SetDns, param, "194.179.1.100", "194.179.1.101");
    Set(&IRouterParam::SetUser, param, "usuario", "clave");
    BSTR list = Text(ports);
    param->SetPorts(list);
    SysFreeString(list);
    {
        CModemConfig config(param, *g_log);
        config.CrearListaPuertos();
        if (config.Puertos().size() < CModemConfig::kMinPares ||
            config.Puertos().size() != config.Ips().size())
            std::abort();
        if (config.CrearFicheroCfg(pathPlantilla.c_str(), pathConfig.c_str()) != S_OK)
            std::abort();
        const std::string filled = pcfile::Read(pathConfig).value_or("<missing>");
        // Line for line, without a CR.
        if (std::count(filled.begin(), filled.end(), '\n') !=
                std::count(plantilla.begin(), plantilla.end(), '\n') ||
            filled.find('\r') != std::string::npos)
            std::abort();
        if (config.PrepararRutas(pathConfig.c_str()) != S_OK)
            std::abort();
        const std::string routed = pcfile::Read(pathConfig).value_or("<missing>");
        if (std::count(routed.begin(), routed.end(), '\n') != std::count(filled.begin(), filled.end(), '\n'))
            std::abort();
        if (config.LeerConfig812(pathConfig.c_str()) != S_OK)
            std::abort();
    }
    param->Release();
    return 0;
}
