// The wrappers with the real components registered on the PC: each component hosted in a child
// of a test window, its events reaching that window on its own thread, its methods answering
// as the component does, and nothing heard from a wrapper once it is gone.
#include "outside/daxicom/DaxICOM.h"
#include "outside/daxicom/Eventos.h"
#include "outside/qelmfc/Interfaz.h"

#include "modem/DaxModem.h"
#include "platform/kit/kitregistry.h"
#include "tcpip/DaxTcpip.h"
#include "testing/kittest.h"
#include "testing/servers.h"
#include "tools/machine/tests/program.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Strings = std::vector<std::string>;

// Long enough for WinINet's and the console's own time-outs; a run that needs it has hung.
constexpr DWORD kEspera = 90000;
constexpr UINT kIdNics = 2000;
constexpr UINT kIdZyxel = 2004;
constexpr char kRealtek[] = "Realtek RTL8139 Family PCI Fast Ethernet NIC";
// The same description as the PC keeps it (Windows 1252) and as the machine program takes it
// from a terminal (UTF-8).
constexpr char kAcentos[] = "Adaptador de red Compañía Ñandú (€)";
const std::string kAcentosUtf8(reinterpret_cast<const char *>(u8"Adaptador de red Compañía Ñandú (€)"));

// A page as the wizard has them: a window that hears the events of the controls it hosts.
class Pagina : public CWnd
{
  public:
    Pagina() { EXPECT_TRUE(CrearVentana("Página de prueba", nullptr)); }

    void OnEventoControl(UINT nIdControl, const CEventoControl &evento) override
    {
        if (std::this_thread::get_id() != m_hilo)
            ++m_fueraDeHilo;
        const char *nombre = evento.dispid == DISPID_EVENTO_START          ? "Start"
                             : evento.dispid == DISPID_EVENTO_END          ? "End"
                             : evento.dispid == DISPID_EVENTO_PROGRESSDONE ? "ProgressDone"
                                                                           : "?";
        m_eventos.push_back(
            std::to_string(nIdControl) + ":" + nombre + "(" +
            (evento.dispid == DISPID_EVENTO_PROGRESSDONE ? "" : std::to_string(evento.lStatus) + ",") +
            evento.texto + ")");
        if (evento.dispid == DISPID_EVENTO_END)
            ++m_ends;
        if (m_alOir)
            m_alOir(evento);
    }

    // Runs the window's thread until `n` End events have come; the events heard, in order.
    Strings EsperarEnds(int n, DWORD ms = kEspera)
    {
        EXPECT_TRUE(qelmfc::BombearHasta([&] { return m_ends >= n; }, ms)) << Unidos();
        return m_eventos;
    }
    // Runs the window's thread for a while, for what should not come.
    void Bombear(DWORD ms)
    {
        qelmfc::BombearHasta([] { return false; }, ms);
    }

    std::string Unidos() const
    {
        std::string texto;
        for (const std::string &e : m_eventos)
            texto += e + " ";
        return texto;
    }

    Strings m_eventos;
    int m_ends = 0;
    int m_fueraDeHilo = 0;
    std::function<void(const CEventoControl &)> m_alOir;

  private:
    const std::thread::id m_hilo = std::this_thread::get_id();
};

class DaxICOMTest : public testing::Test
{
  protected:
    // The modem component keeps its files in the current folder: one of the PC's.
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitialize(nullptr));
        ASSERT_TRUE(SetCurrentDirectoryA(kittest::MachineDir().c_str()));
    }
    void TearDown() override
    {
        router.reset();
        SetCurrentDirectoryA("/");
        CoFreeUnusedLibraries();
        CoUninitialize();
    }

    // A PC of the family with the adapters the options describe, and the kit's servers.
    void HacerPc(const char *os, const Strings &nics)
    {
        Strings args = {"create", "--os", os, "--dir", kittest::MachineDir(), "--force"};
        args.insert(args.end(), nics.begin(), nics.end());
        const toolstest::ProgramResult hecho = toolstest::RunProgram("machine", args);
        ASSERT_EQ(0, hecho.exitCode) << hecho.err;
        kitreg::CloseRegistry();
        Registrar();
    }
    static void Registrar()
    {
        for (const char *server : {"DaxParam.dll", "DaxTcpip.dll", "DaxModem.dll"})
        {
            std::string output;
            ASSERT_EQ(0, kittest::Run("regsvr32", {"/s", server}, &output)) << output;
        }
    }

    // routersim for the PC at 192.168.1.1 (it maps itself in the PC's network).
    void ArrancarRouter(std::vector<std::string> extra = {})
    {
        const std::string state = kittest::MachineDir() + "/router";
        std::filesystem::create_directories(state);
        router =
            std::make_unique<kitservers::RouterSim>(kittest::BinDir(), state, kittest::MachineDir(), extra);
        ASSERT_TRUE(router->Started());
    }

    template <class Wrapper> static void EsperarInactivo(Wrapper &control)
    {
        EXPECT_TRUE(qelmfc::BombearHasta([&] { return control.IsActive() == 0; }, kEspera));
    }

    std::unique_ptr<kitservers::RouterSim> router;
};

// The events with the Start events first: the caller's Start fires its event after the worker
// is running, and the worker may have fired its own by then (a TCP/IP worker its End, the
// console reader its ProgressDone); only the order of the worker's own events is fixed.
Strings ArranquesPrimero(Strings eventos)
{
    std::stable_partition(eventos.begin(), eventos.end(),
                          [](const std::string &e) { return e.find(":Start(") != std::string::npos; });
    return eventos;
}

std::string Nic(int n, const char *description)
{
    return "{" + std::to_string(n) + "} " + description;
}
} // namespace

// --- CCheckNics2 --------------------------------------------------------------------------------

TEST_F(DaxICOMTest, TheAdapterCheckReportsToItsPageOnThePagesThread)
{
    HacerPc("xp", {"--nic", kRealtek, "--dhcp", "--nic", kAcentosUtf8, "--ip", "192.168.1.33/255.255.255.0"});
    Pagina pagina;
    CCheckNics2 nics;
    ASSERT_TRUE(nics.Create(&pagina, kIdNics)) << std::hex << nics.GetLastCreateError();
    EXPECT_EQ(kIdNics, nics.GetDlgCtrlID());

    // The window hosts the component and is a child of the page's.
    EXPECT_TRUE(IsWindow(nics.GetSafeHwnd()));
    EXPECT_EQ(pagina.GetSafeHwnd(), GetParent(nics.GetSafeHwnd()));
    kitcom::ComPtr<IUnknown> alojado, control;
    ASSERT_EQ(S_OK, AtlAxGetControl(nics.GetSafeHwnd(), &alojado));
    ASSERT_EQ(S_OK, nics.GetControl()->QueryInterface(IID_IUnknown, control.PutVoid()));
    EXPECT_EQ(control, alojado);

    EXPECT_EQ(1, nics.IsTcpipInstalled());
    const std::size_t antes = daxicom::EventosVistos().size();
    ASSERT_EQ(S_OK, nics.Start());
    EXPECT_EQ((Strings{"2000:Start(1,14)", "2000:End(1,15)"}), ArranquesPrimero(pagina.EsperarEnds(1)));
    EXPECT_EQ(0, pagina.m_fueraDeHilo);
    EsperarInactivo(nics);
    // The record of events has them too, named by the component, in the order fired.
    Strings vistos;
    const auto eventos = daxicom::EventosVistos();
    for (auto e = eventos.begin() + static_cast<std::ptrdiff_t>(antes); e != eventos.end(); ++e)
        vistos.push_back(e->componente + ":" + std::to_string(e->dispid) + "(" + std::to_string(e->lStatus) +
                         "," + e->texto + ")");
    EXPECT_EQ((Strings{std::string(CCheckNics2::kProgId) + ":1(1,14)",
                       std::string(CCheckNics2::kProgId) + ":2(1,15)"}),
              vistos);

    // The adapters of the PC; the accented description comes back byte for byte.
    ASSERT_EQ(2, nics.GetNumNics());
    std::string nombre;
    EXPECT_EQ(S_OK, nics.GetNicName(1, nombre));
    EXPECT_EQ(Nic(1, kRealtek), nombre);
    EXPECT_EQ(S_OK, nics.GetNicName(2, nombre));
    EXPECT_EQ(Nic(2, kAcentos), nombre);
    EXPECT_EQ(S_FALSE, nics.GetNicName(3, nombre));
    EXPECT_EQ(S_OK, nics.SetNicListToAccess(NIC_LIST_ALL));
    EXPECT_EQ(S_FALSE, nics.SetNicListToAccess(3504));
    EXPECT_EQ(2, nics.GetNumNics());
}

TEST_F(DaxICOMTest, AHandlerMayStartTheNextRun)
{
    HacerPc("2000", {"--nic", kRealtek, "--dhcp"});
    Pagina pagina;
    CCheckNics2 nics;
    ASSERT_TRUE(nics.Create(&pagina, kIdNics));
    // The End of a run starts the next one from the page's thread, once the worker has gone
    // (End comes just before it ends: a Start in between is refused with Start(0,1)).
    int corridas = 0;
    pagina.m_alOir = [&](const CEventoControl &evento) {
        if (evento.dispid != DISPID_EVENTO_END || ++corridas >= 3)
            return;
        while (nics.IsActive())
            Sleep(1);
        EXPECT_EQ(S_OK, nics.Start());
    };
    ASSERT_EQ(S_OK, nics.Start());
    EXPECT_EQ((Strings{"2000:Start(1,14)", "2000:Start(1,14)", "2000:Start(1,14)", "2000:End(1,15)",
                       "2000:End(1,15)", "2000:End(1,15)"}),
              ArranquesPrimero(pagina.EsperarEnds(3)));
}

// --- Creation -----------------------------------------------------------------------------------

TEST_F(DaxICOMTest, CreateFailsWithNothingLeftBehind)
{
    Registrar();
    Pagina pagina;
    const RECT rect = {50, 50, 100, 100};
    const struct
    {
        const char *clase;
        CWnd *parent;
        HRESULT hr;
    } casos[] = {
        {"DaxNada.NoExiste", &pagina, CO_E_CLASSSTRING},
        {"{01234567-89AB-CDEF-0123-456789ABCDEF}", &pagina, REGDB_E_CLASSNOTREG},
        {"{no es un CLSID}", &pagina, CO_E_CLASSSTRING},
        {"", &pagina, E_INVALIDARG},
        // Another component: not the adapter check's interface.
        {CSetZyxelConfig::kProgId, &pagina, E_NOINTERFACE},
        {CCheckNics2::kProgId, nullptr, HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE)},
    };
    for (const auto &caso : casos)
    {
        CCheckNics2 nics;
        EXPECT_FALSE(nics.Create(caso.clase, "", WS_CHILD | WS_VISIBLE, rect, caso.parent, kIdNics))
            << caso.clase;
        EXPECT_EQ(caso.hr, nics.GetLastCreateError()) << caso.clase;
        EXPECT_EQ(nullptr, nics.GetSafeHwnd()) << caso.clase;
        EXPECT_EQ(nullptr, nics.GetControl()) << caso.clase;
        // Without a component every method says so.
        EXPECT_EQ(CControlKit::kSinControl, nics.Start()) << caso.clase;
        EXPECT_EQ(0, nics.GetNumNics()) << caso.clase;
        EXPECT_FALSE(nics.DestroyWindow()) << caso.clase;
    }
    pagina.Bombear(50);
    EXPECT_TRUE(pagina.m_eventos.empty());

    // By the CLSID's text form, and only once.
    CCheckNics2 nics;
    EXPECT_TRUE(nics.Create("{F714B3FF-636C-11D6-9BEC-00C04F1F2D46}", "", WS_CHILD, rect, &pagina, kIdNics));
    EXPECT_FALSE(nics.Create(&pagina, kIdNics));
    EXPECT_EQ(E_UNEXPECTED, nics.GetLastCreateError());
    EXPECT_NE(nullptr, nics.GetControl());
}

// --- Destruction --------------------------------------------------------------------------------

TEST_F(DaxICOMTest, ADestroyedWrapperDeliversNothingMore)
{
    HacerPc("xp", {"--nic", kRealtek, "--dhcp"});
    Pagina pagina;
    auto nics = std::make_unique<CCheckNics2>();
    ASSERT_TRUE(nics->Create(&pagina, kIdNics));
    const HWND hwnd = nics->GetSafeHwnd();
    // Start's own event is already on its way to the page, the worker's End may be.
    ASSERT_EQ(S_OK, nics->Start());
    nics.reset();
    EXPECT_FALSE(IsWindow(hwnd));
    pagina.Bombear(300);
    EXPECT_TRUE(pagina.m_eventos.empty()) << pagina.Unidos();
}

TEST_F(DaxICOMTest, AComponentThatOutlivesItsWrapperFiresIntoNothing)
{
    Registrar();
    ArrancarRouter({"--fault", "silent"});
    Pagina pagina;
    CSetZyxelConfig zyxel;
    ASSERT_TRUE(zyxel.Create(&pagina, kIdZyxel)) << std::hex << zyxel.GetLastCreateError();
    kitcom::ComPtr<ISetZyxelConfig> componente;
    ASSERT_EQ(S_OK, zyxel.GetControl()->QueryInterface(IID_ISetZyxelConfig, componente.PutVoid()));

    // The silent router holds a download in its log-in.
    ASSERT_EQ(S_OK, zyxel.SetModemCurIp("192.168.1.1"));
    ASSERT_EQ(S_OK, zyxel.SetTransferMode(1));
    ASSERT_EQ(S_OK, zyxel.Start());
    EXPECT_EQ(1, zyxel.IsActive());
    EXPECT_TRUE(zyxel.DestroyWindow());
    EXPECT_EQ(CControlKit::kSinControl, zyxel.Stop(1000));

    // Its End events (the worker's and Stop's) go nowhere.
    EXPECT_EQ(S_OK, componente->Stop(10000));
    for (LONG bActive = 1; componente->IsActive(&bActive) == S_FALSE && bActive;)
        pagina.Bombear(5);
    pagina.Bombear(100);
    EXPECT_TRUE(pagina.m_eventos.empty()) << pagina.Unidos();
}

TEST_F(DaxICOMTest, AHandlerMayDestroyTheWrapperThatCalledIt)
{
    HacerPc("xp", {"--nic", kRealtek, "--dhcp"});
    Pagina pagina;
    auto nics = std::make_unique<CCheckNics2>();
    ASSERT_TRUE(nics->Create(&pagina, kIdNics));
    pagina.m_alOir = [&](const CEventoControl &) { nics.reset(); };
    ASSERT_EQ(S_OK, nics->Start());
    EXPECT_TRUE(qelmfc::BombearHasta([&] { return !nics; }, kEspera));
    pagina.Bombear(300);
    // Start's or, when the worker was quicker, End's.
    ASSERT_EQ(1u, pagina.m_eventos.size());
    EXPECT_TRUE(pagina.m_eventos[0] == "2000:Start(1,14)" || pagina.m_eventos[0] == "2000:End(1,15)")
        << pagina.m_eventos[0];
}

// --- CSetZyxelConfig and CGetZyxelConfig ----------------------------------------------------------

TEST_F(DaxICOMTest, CheckAccessFindsTheRouterOnThePcsNetwork)
{
    Registrar();
    ArrancarRouter();
    Pagina pagina;
    CSetZyxelConfig zyxel;
    ASSERT_TRUE(zyxel.Create(&pagina, kIdZyxel)) << std::hex << zyxel.GetLastCreateError();
    ASSERT_EQ(S_OK, zyxel.CheckAccess("10.0.0.5,192.168.1.1"));
    EXPECT_EQ((Strings{"2004:Start(0,msg1)", "2004:End(0,msg1)"}), pagina.EsperarEnds(1));
    EsperarInactivo(zyxel);

    // None answering: no connection with the router.
    ASSERT_EQ(S_OK, zyxel.CheckAccess("10.0.0.5,10.0.0.6"));
    const Strings eventos = pagina.EsperarEnds(2);
    EXPECT_EQ((Strings{"2004:Start(0,msg1)", "2004:End(1,msg3)"}),
              Strings(eventos.begin() + 2, eventos.end()));
    EXPECT_EQ(0, pagina.m_fueraDeHilo);
    EsperarInactivo(zyxel);

    // The settings go in and come back as a parameter object of the component's own.
    kitcom::ComPtr<IUnknown> param;
    EXPECT_EQ(S_OK, zyxel.GetModemConfig(&param));
    ASSERT_TRUE(param);
    EXPECT_EQ(S_OK, zyxel.SetModemConfig(param.Get()));
}

TEST_F(DaxICOMTest, TheConsoleReadersEventsArriveAsEveryComponents)
{
    Registrar();
    ArrancarRouter({"--com", "1", "--fault", "console-silent"});
    Pagina pagina;
    CGetZyxelConfig consola;
    ASSERT_TRUE(consola.Create(&pagina, 0)) << std::hex << consola.GetLastCreateError();
    ASSERT_EQ(S_OK, consola.SetPort("COM1"));
    ASSERT_EQ(S_OK, consola.SetPassword("Contraseña"));
    ASSERT_EQ(S_OK, consola.Start());
    // The reader's own DISPIDs (ProgressDone 2, End 3) come as ProgressDone and End.
    EXPECT_EQ((Strings{"0:Start(0,msg1)", "0:Start(0,msg1)", "0:ProgressDone(msg7)", "0:End(1,msg6)"}),
              ArranquesPrimero(pagina.EsperarEnds(1)));
    EsperarInactivo(consola);
    kitcom::ComPtr<IUnknown> param;
    EXPECT_EQ(S_OK, consola.GetInfoConfig(&param));
    EXPECT_TRUE(param);
}
