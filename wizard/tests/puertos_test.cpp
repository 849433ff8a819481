// The port-mapping page, reached by the several-PCs road with the list the simulated router
// holds: its rows, the editing with its checks, the questions on Next, and the list it stores.
#include "outside/qelapli/RegApli.h"
#include "platform/windows.h"
#include "testing/kittest.h"
#include "testing/servers.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace asistentetest;

namespace
{
using Mapeos = std::vector<std::pair<std::string, std::string>>;

class Puertos : public Requisitos
{
  protected:
    void TearDown() override
    {
        router.reset();
        Requisitos::TearDown();
    }
    // A PC with the kit's card, and on its network the simulated router with its default server
    // and port mappings; the router's other slots empty.
    void Router(const std::string &servidor, const Mapeos &mapeos, std::vector<std::string> extra = {})
    {
        Pc("xp", {"--nic", kRealtek, "--dhcp"});
        const std::string estado = kittest::MachineDir() + "/router";
        fs::create_directories(estado);
        std::string ajustes = "150000001 = " + servidor + "\r\n";
        for (size_t i = 0; i < 8; ++i)
        {
            const int codigo = 150000002 + 2 * static_cast<int>(i);
            const bool usado = i < mapeos.size();
            ajustes += std::to_string(codigo) + " = " + (usado ? mapeos[i].first : "") + "\r\n";
            ajustes += std::to_string(codigo + 1) + " = " + (usado ? mapeos[i].second : "") + "\r\n";
        }
        Escribir(estado + "/settings.txt", ajustes);
        router = std::make_unique<kitservers::RouterSim>(kittest::BinDir(), estado, kittest::MachineDir(),
                                                         std::move(extra));
        ASSERT_TRUE(router->Started());
    }
    // Runs the script; the wizard must end where the script does.
    std::string Correr(const std::string &guion)
    {
        std::string salida;
        EXPECT_EQ(Asistente::Correr(guion, salida), kAgotado) << salida;
        return salida;
    }
    static std::string ListaGuardada()
    {
        CRegApli reg;
        EXPECT_EQ(reg.Open(kClave, FALSE), S_OK);
        std::string lista;
        EXPECT_EQ(reg.GetListaPuertos(lista), S_OK);
        return lista;
    }

    std::unique_ptr<kitservers::RouterSim> router;
};

// Several PCs, dynamic addressing, the router's DHCP server from 172.16.0.5/16 with the router
// at 172.16.0.1: through the connectivity check and the download to the port page.
std::string HastaPuertos()
{
    return HastaRequisitos(kMultipuesto, kDinamico) +
           "[Página 2002]\nPulsar=Siguiente>\n"
           "[Página 2003]\nEscribir 1362=usuario\nPulsar=Siguiente>\n"
           "[Página 2012]\nElegir=1441\nPulsar=Siguiente>\n"
           "[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n[Página 2026]\n";
}
constexpr char kASiguiente[] = "Pulsar=Siguiente>\n[Página 2007]\n";
} // namespace

TEST_F(Puertos, TheRoutersMappingsAreTheRows)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}, {"21", "172.16.0.11"}});
    const std::string salida = Correr(HastaPuertos() + "Mirar=\n" + kASiguiente);
    std::printf("%s\n", salida.c_str());
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,80,172.16.0.10,21,172.16.0.11");
}
