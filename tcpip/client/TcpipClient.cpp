// tcpipclient: drives the TCP/IP module's three objects from the command line, as the wizard
// does, and prints their events with the meaning of each code:
//
//   tcpipclient list [all|linked|enabled]   CheckNics2: the adapters (the enabled ones by default)
//   tcpipclient installed                   CheckNics2.IsTcpipInstalled
//   tcpipclient read NAME                   GetTcpipConfig2: one adapter's settings
//   tcpipclient write NAME [--dhcp] [--ip ADDRESS/MASK]... [--gw G]... [--dns D]... [--no-dns]
//                     [--wins W]... [--node TYPE] [--host NAME] [--domain NAME] [--deferred]
//                                           SetTcpipConfig2: each option given marks its group
//                                           as changed; --deferred writes TcpChang.reg instead
//   tcpipclient apply                       SetTcpipConfig2.ExecuteTcpipChanges
//
// NAME is a display name as list shows it ("{1} Realtek RTL8139 Family PCI Fast Ethernet NIC").
// Exit code 0 when the job ended with End(1, "15") (apply: S_OK), 1 when it failed, 2 for a wrong
// command line or a server that cannot be created.
#include "common/com/BStr.h"
#include "common/param/ComError.h"
#include "common/param/TcpipParamPtr.h"
#include "platform/kit/kitconsole.h"
#include "tcpip/client/TcpipJob.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr int kOk = 0, kFailed = 1, kUsage = 2;
// The longest a job may take; the module's own waits are 3 and 4 seconds.
constexpr DWORD kJobWaitMs = 30000;

constexpr const char *kMeanings[] = {
    "",
    "ya hay un trabajo de este objeto en marcha",
    "no se pudo crear el mutex de protección",
    "otro trabajo de TCP/IP está en marcha",
    "no se pudo crear el evento de la cola de mensajes",
    "no se pudo crear el hilo de trabajo",
    "el hilo de trabajo no creó su cola a tiempo",
    "no se pudieron leer los adaptadores de red",
    "no se encontró el adaptador pedido",
    "los datos de TCP/IP no son coherentes",
    "no se pudieron guardar los datos en el objeto de parámetros",
    "no hay objeto de parámetros donde guardar",
    "falta el objeto de parámetros propio",
    "no se pudo escribir la configuración de TCP/IP",
    "en marcha",
    "correcto",
    "cancelado",
    "adaptador localizado",
    "datos guardados en el objeto de parámetros",
    "adaptador localizado",
    "configuración de TCP/IP escrita",
};

const char *MeaningOf(const std::string &code)
{
    char *end = nullptr;
    const long n = std::strtol(code.c_str(), &end, 10);
    return end && !*end && n > 0 && n < static_cast<long>(std::size(kMeanings)) ? kMeanings[n] : "?";
}

int Usage()
{
    kitpc::Say(
        "uso: tcpipclient list [all|linked|enabled] | installed | read NOMBRE |\n"
        "     write NOMBRE [--dhcp] [--ip DIRECCIÓN/MÁSCARA]... [--gw G]... [--dns D]... [--no-dns]\n"
        "                  [--wins W]... [--node TIPO] [--host NOMBRE] [--domain NOMBRE] [--deferred] |\n"
        "     apply\n");
    return kUsage;
}

// A job's run with its events printed as they come.
template <class Job> bool Run(Job &job)
{
    job.Events().AlRecibir([](const typename Job::Sink::Evento &e) {
        if (e.strNombre == "ProgressDone")
            kitpc::Say("  %s(\"%s\": %s)\n", e.strNombre.c_str(), e.strTexto.c_str(), MeaningOf(e.strTexto));
        else
            kitpc::Say("  %s(%d, \"%s\": %s)\n", e.strNombre.c_str(), static_cast<int>(e.bOk),
                       e.strTexto.c_str(), MeaningOf(e.strTexto));
    });
    if (job.Run(kJobWaitMs))
        return true;
    if (job.Events().Contar("End") == 0)
        kitpc::Say("  sin End en %u ms\n", static_cast<unsigned>(kJobWaitMs));
    return false;
}

int NoServer(const char *progId)
{
    kitpc::Say("tcpipclient: %s no se pudo crear (regsvr32 DaxTcpip.dll)\n", progId);
    return kUsage;
}

int List(const std::vector<std::string> &args)
{
    LONG idList = NIC_LIST_ENABLED;
    if (args.size() > 1)
        return Usage();
    if (args.size() == 1)
    {
        if (args[0] == "all")
            idList = NIC_LIST_ALL;
        else if (args[0] == "linked")
            idList = NIC_LIST_LINKED;
        else if (args[0] != "enabled")
            return Usage();
    }
    CheckNicsJob job(PROGID_CHECKNICS2);
    if (!job)
        return NoServer(PROGID_CHECKNICS2);
    job->SetNicListToAccess(idList);
    kitpc::Say("CheckNics2.Start\n");
    if (!Run(job))
        return kFailed;
    LONG lCount = 0;
    job->GetNumNics(&lCount);
    kitpc::Say("%d adaptador(es):\n", static_cast<int>(lCount));
    for (LONG i = 1; i <= lCount; ++i)
    {
        kitcom::BStr name;
        if (job->GetNicName(i, &name) == S_OK)
            kitpc::Say("  %s\n", name.Narrow().c_str());
    }
    return kOk;
}

int Installed()
{
    CheckNicsJob job(PROGID_CHECKNICS2);
    if (!job)
        return NoServer(PROGID_CHECKNICS2);
    LONG bInstalled = 0;
    if (job->IsTcpipInstalled(&bInstalled) != S_OK)
    {
        kitpc::Say("No se pudo comprobar si TCP/IP está instalado.\n");
        return kFailed;
    }
    kitpc::Say(bInstalled ? "TCP/IP está instalado.\n" : "TCP/IP no está instalado.\n");
    return bInstalled ? kOk : kFailed;
}

void ShowList(const char *title, LONG count, const std::function<std::string(LONG)> &item)
{
    std::string text;
    for (LONG i = 1; i <= count; ++i)
        text += (i > 1 ? ", " : "") + item(i);
    kitpc::Say("  %-16s %s\n", title, text.c_str());
}

void ShowSettings(const TcpipParamPtr &param)
{
    kitpc::Say("  %-16s %s\n", "Adaptador:", param.GetNicName().c_str());
    kitpc::Say("  %-16s %s\n", "Clave:", param.GetRegID().c_str());
    ShowList("IP/máscara:", param.GetIPCount(), [&](LONG i) {
        const TextPair ip = param.GetIP(i);
        return ip.first + "/" + ip.second;
    });
    ShowList("Puertas:", param.GetGatewayCount(), [&](LONG i) { return param.GetGateway(i); });
    ShowList("DNS:", param.GetDnsCount(), [&](LONG i) { return param.GetDns(i); });
    ShowList("WINS:", param.GetWinsCount(), [&](LONG i) { return param.GetWins(i); });
    kitpc::Say("  %-16s %s\n", "Tipo de nodo:", param.GetNodeType().c_str());
    kitpc::Say("  %-16s %s\n", "Host:", param.GetHostName().c_str());
    kitpc::Say("  %-16s %s\n", "Dominio:", param.GetDomain().c_str());
    kitpc::Say("  %-16s %d (%s/%s, servidor %s)\n", "DHCP:", static_cast<int>(param.GetDhcpEnable()),
               param.GetDhcpIPAddress().c_str(), param.GetDhcpSubnetMask().c_str(),
               param.GetDhcpServer().c_str());
    kitpc::Say("  %-16s %d\n", "DNS activo:", static_cast<int>(param.GetDnsEnable()));
    kitpc::Say("  %-16s %d\n", "Enlazado:", static_cast<int>(param.GetBound()));
}

int Read(const std::vector<std::string> &args)
{
    if (args.size() != 1)
        return Usage();
    GetTcpipJob job(PROGID_GETTCPIPCONFIG2);
    if (!job)
        return NoServer(PROGID_GETTCPIPCONFIG2);
    job->SetDevice(kitcom::BStr(kitpc::PcText(args[0])).Get());
    kitpc::Say("GetTcpipConfig2.Start\n");
    if (!Run(job))
        return kFailed;
    kitcom::ComPtr<IUnknown> info;
    TcpipParamPtr param;
    if (job->GetInfoConfig(&info) != S_OK || FAILED(param.QueryFrom(info.Get())))
        return kFailed;
    try
    {
        ShowSettings(param);
    }
    catch (const CComError &error)
    {
        kitpc::Say("tcpipclient: %s\n", error.ErrorMessage().c_str());
        return kFailed;
    }
    return kOk;
}

// The settings of `write`, into a new parameter object; false for a wrong option.
bool FillSettings(const std::vector<std::string> &options, TcpipParamPtr &param, LONG &bDeferred)
{
    LONG bDns = 1;
    auto value = [&](size_t &i) -> const std::string * {
        return i + 1 < options.size() ? &options[++i] : nullptr;
    };
    for (size_t i = 0; i < options.size(); ++i)
    {
        const std::string &option = options[i];
        if (option == "--dhcp")
            param.PutDhcpEnable(1);
        else if (option == "--no-dns")
            bDns = 0;
        else if (option == "--deferred")
            bDeferred = 1;
        else if (const std::string *text = value(i))
        {
            if (option == "--ip")
            {
                const size_t slash = text->find('/');
                if (slash == std::string::npos)
                    return false;
                param.AddIP(text->substr(0, slash), text->substr(slash + 1));
                param.SetModified(TCPIP_GROUP_IP, 1);
            }
            else if (option == "--gw")
            {
                param.AddGateway(*text);
                param.SetModified(TCPIP_GROUP_GATEWAY, 1);
            }
            else if (option == "--dns")
            {
                param.AddDns(*text);
                param.SetModified(TCPIP_GROUP_DNS, 1);
            }
            else if (option == "--wins")
            {
                param.AddWins(*text);
                param.SetModified(TCPIP_GROUP_WINS, 1);
            }
            else if (option == "--node")
            {
                param.PutNodeType(*text);
                param.SetModified(TCPIP_GROUP_WINS, 1);
            }
            else if (option == "--host")
            {
                param.PutHostName(kitpc::PcText(*text));
                param.SetModified(TCPIP_GROUP_HOSTNAME, 1);
            }
            else if (option == "--domain")
            {
                param.PutDomain(kitpc::PcText(*text));
                param.SetModified(TCPIP_GROUP_DOMAIN, 1);
            }
            else
                return false;
        }
        else
            return false;
    }
    param.PutDnsEnable(bDns);
    return true;
}

int Write(const std::vector<std::string> &args)
{
    if (args.empty())
        return Usage();
    TcpipParamPtr param;
    if (FAILED(param.CreateInstance()))
        return NoServer(PROGID_TCPIPPARAM);
    LONG bDeferred = 0;
    try
    {
        if (!FillSettings(std::vector<std::string>(args.begin() + 1, args.end()), param, bDeferred))
            return Usage();
    }
    catch (const CComError &error)
    {
        kitpc::Say("tcpipclient: %s\n", error.ErrorMessage().c_str());
        return kFailed;
    }
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    if (!job)
        return NoServer(PROGID_SETTCPIPCONFIG2);
    if (job->SetInfoConfig(param.Get()) != S_OK)
    {
        kitpc::Say("tcpipclient: SetInfoConfig no aceptó los datos (no son válidos)\n");
        return kFailed;
    }
    job->SetDevice(kitcom::BStr(kitpc::PcText(args[0])).Get());
    job->SetChangesDelay(bDeferred);
    kitpc::Say("SetTcpipConfig2.Start%s\n", bDeferred ? " (cambios diferidos)" : "");
    return Run(job) ? kOk : kFailed;
}

int Apply()
{
    SetTcpipJob job(PROGID_SETTCPIPCONFIG2);
    if (!job)
        return NoServer(PROGID_SETTCPIPCONFIG2);
    const HRESULT hr = job->ExecuteTcpipChanges();
    kitpc::Say("SetTcpipConfig2.ExecuteTcpipChanges: %s\n",
               hr == S_OK ? "fichero importado" : "no hay cambios pendientes, o no se pudieron importar");
    return hr == S_OK ? kOk : kFailed;
}

int Main(int argc, char **argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "--help" || command == "/?")
    {
        Usage();
        return kOk;
    }
    if (command == "list")
        return List(args);
    if (command == "installed" && args.empty())
        return Installed();
    if (command == "read")
        return Read(args);
    if (command == "write")
        return Write(args);
    if (command == "apply" && args.empty())
        return Apply();
    return Usage();
}
} // namespace

int main(int argc, char **argv)
{
    CoInitialize(nullptr);
    const int code = Main(argc, argv);
    CoUninitialize();
    return code;
}
