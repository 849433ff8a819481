// Arbitrary bytes as a configuration downloaded from the router: read into a router parameter
// object (an in-memory one, so no server needs registering) and rewritten as a template.
// Input: byte 0 chooses a call of the object that fails (0: none), the rest is the file.
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
std::string g_path;
CTraceLog *g_log;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_path = modemfuzz::EnterNewPc() + "\\643get.cfg";
    g_log = modemfuzz::OpenModemLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    modemfuzz::RenewLog(*g_log, 5000);

    const int failAt = data[0];
    const std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (!pcfile::Write(g_path, std::string_view(reinterpret_cast<const char *>(data + 1), size - 1)))
        std::abort();

    CMemoryRouterParam *param = CMemoryRouterParam::Create();
    int calls = 0;
    param->SetFailHook([&](std::string_view) { return ++calls == failAt ? E_FAIL : S_OK; });
    bool failed = false;
    {
        CModemConfig config(param, *g_log);
        try
        {
            if (config.LeerConfig812(g_path.c_str()) != S_OK)
                std::abort();
        }
        catch (const CComError &error)
        {
            failed = true;
            if (error.Error() != E_FAIL)
                std::abort();
        }
    }
    param->SetFailHook(nullptr);

    const std::string output = pcfile::Read(g_path).value_or("<missing>");
    if (failed)
    {
        // A failed read leaves the download as it was.
        if (output != input)
            std::abort();
    }
    else
    {
        // Line for line: what follows the last LF is gone, every line keeps its LF.
        const size_t lines = std::count(input.begin(), input.end(), '\n');
        if (static_cast<size_t>(std::count(output.begin(), output.end(), '\n')) != lines)
            std::abort();
        if (!output.empty() && output.back() != '\n')
            std::abort();
        // A port list read back always starts with "Default".
        BSTR ports = nullptr;
        if (FAILED(param->GetPorts(&ports)))
            std::abort();
        const std::u16string list(ports, SysStringLen(ports));
        SysFreeString(ports);
        if (!list.empty() && list.rfind(u"Default,", 0) != 0)
            std::abort();
    }
    param->Release();
    return 0;
}
