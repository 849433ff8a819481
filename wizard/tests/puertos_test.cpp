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

// A new row typed and applied.
std::string Fila(const std::string &puerto, const std::string &ip)
{
    return "Pulsar=Agregar\nEscribir 1766=" + puerto + "\nEscribir 1768=" + ip + "\nPulsar=Actualizar\n";
}
// A box answered, and the script back on the port page.
std::string CajaEnPuertos(const char *titulo, const char *texto)
{
    return Caja(titulo, texto) + "[Página 2026]\n";
}
// A new row refused with its box.
std::string Refusada(const std::string &puerto, const std::string &ip, const char *titulo, const char *texto)
{
    return Fila(puerto, ip) + CajaEnPuertos(titulo, texto);
}
constexpr char kPuerto[] = "Puerto incorrecto", kDireccion[] = "Dirección IP incorrecta";
constexpr char kSegunDatos[] = "La dirección IP indicada para mapear el puerto no es correcta según";
constexpr char kNoCorrecta[] = "La dirección IP indicada para mapear el puerto no es correcta. Este";

// What each "Mirar=" of the script wrote, in order.
std::vector<std::string> Vistas(const std::string &salida)
{
    std::vector<std::string> vistas;
    const std::string marca = "   > Mirar\n";
    for (auto at = salida.find(marca); at != std::string::npos; at = salida.find(marca, at + 1))
    {
        const auto inicio = at + marca.size();
        vistas.push_back(salida.substr(inicio, salida.find("   > ", inicio) - inicio));
    }
    return vistas;
}
} // namespace

TEST_F(Puertos, TheRoutersDefaultServerAndMappingsAreTheRowsAndNextStoresThemAsTheyCame)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}, {"21", "172.16.0.11"}});
    const std::string salida = Correr(HastaPuertos() + kASiguiente);
    EXPECT_TRUE(Dice(salida, "   tabla [1761]: 3 filas\n      Default | 172.16.0.20\n      80 | 172.16.0.10\n"
                             "      21 | 172.16.0.11\n"))
        << salida;
    // Browsing: the fields closed until a row is added or modified.
    EXPECT_TRUE(Dice(salida, "   campo [1766]: «» (inactivo)"));
    EXPECT_TRUE(Dice(salida, "   botón «Actualizar» [1769] (inactivo)"));
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,80,172.16.0.10,21,172.16.0.11");
}

TEST_F(Puertos, AFactoryRoutersUnusedSlotsAreNoRows)
{
    // Every slot holds port 0 for 0.0.0.0, an address not given: only the empty default row.
    Router("0.0.0.0", Mapeos(8, {"0", "0.0.0.0"}));
    const std::string salida = Correr(HastaPuertos() + kASiguiente);
    EXPECT_TRUE(Dice(salida, "   tabla [1761]: 1 filas\n      Default | \n")) << salida;
    EXPECT_EQ(ListaGuardada(), "");
}

TEST_F(Puertos, WithEightRowsAddingIsRefusedUntilOneIsRemoved)
{
    Mapeos siete;
    for (int i = 1; i <= 7; ++i)
        siete.push_back({std::to_string(8000 + i), "172.16.0." + std::to_string(10 + i)});
    Router("172.16.0.20", siete);
    const std::string salida =
        Correr(HastaPuertos() + "Pulsar=Agregar\n" +
               CajaEnPuertos("Lista completa", "No se pueden mapear más de ocho puertos.") +
               "Mirar=\nSeleccionar 1761=8003\nPulsar=Eliminar\n" + Fila("8080", "172.16.0.30") + "Mirar=\n" +
               kASiguiente);
    const std::vector<std::string> vistas = Vistas(salida);
    ASSERT_EQ(vistas.size(), 2u) << salida;
    // The refusal leaves the page browsing.
    EXPECT_TRUE(Dice(vistas[0], "   tabla [1761]: 8 filas")) << vistas[0];
    EXPECT_TRUE(Dice(vistas[0], "   campo [1766]: «» (inactivo)"));
    EXPECT_TRUE(Dice(vistas[1], "   tabla [1761]: 8 filas")) << vistas[1];
    EXPECT_FALSE(Dice(vistas[1], "8003 |"));
    EXPECT_TRUE(Dice(vistas[1], "      8080 | 172.16.0.30\n"));
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,8001,172.16.0.11,8002,172.16.0.12,8004,172.16.0.14,"
                               "8005,172.16.0.15,8006,172.16.0.16,8007,172.16.0.17,8080,172.16.0.30");
}

TEST_F(Puertos, PortTextsAreJudgedByTheirNumberAndOnlyTheText23IsRefusedAsTelnet)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}});
    const std::string salida = Correr(
        HastaPuertos() + Refusada("23", "172.16.0.30", kPuerto, "No se permite mapear el puerto 23.") +
        Fila("\" 23\"", "172.16.0.31") + Fila("023", "172.16.0.32") + Fila("abc", "172.16.0.33") +
        Refusada("65536", "172.16.0.34", kPuerto, "El número de puerto que ha indicado no es correcto.") +
        Refusada("-1", "172.16.0.35", kPuerto, "El número de puerto") +
        Refusada("\"\"", "172.16.0.36", kPuerto, "El número de puerto") +
        Refusada("80", "172.16.0.37", "Entrada duplicada",
                 "Ya tiene una entrada en la lista para ese puerto.") +
        Refusada("Default", "172.16.0.38", "Entrada duplicada", "Ya tiene una entrada") +
        Fila("65535", "172.16.0.39") + "Mirar=\n" + kASiguiente);
    const std::vector<std::string> vistas = Vistas(salida);
    ASSERT_EQ(vistas.size(), 1u) << salida;
    EXPECT_TRUE(Dice(vistas[0],
                     "   tabla [1761]: 6 filas\n      Default | 172.16.0.20\n      80 | 172.16.0.10\n"
                     "       23 | 172.16.0.31\n      023 | 172.16.0.32\n      abc | 172.16.0.33\n"
                     "      65535 | 172.16.0.39\n"))
        << vistas[0];
    EXPECT_EQ(ListaGuardada(),
              "Default,172.16.0.20,80,172.16.0.10, 23,172.16.0.31,023,172.16.0.32,abc,172.16.0.33,"
              "65535,172.16.0.39");
}

TEST_F(Puertos, AddressesMustBeHostsOfThePrivateNetworkOtherThanTheRouter)
{
    // The private network is 172.16.0.5/255.255.0.0 with the router at 172.16.0.1.
    Router("172.16.0.20", {});
    const std::string salida =
        Correr(HastaPuertos() + Refusada("8080", "10.0.0.5", kDireccion, kSegunDatos) +
               Refusada("8080", "172.16.0.1", kDireccion, kSegunDatos) +
               Refusada("8080", "172.16.255.255", kDireccion, kSegunDatos) +
               Refusada("8080", "172.16.0.0", kDireccion, kSegunDatos) +
               Refusada("8080", "172.16.0", kDireccion, kNoCorrecta) +
               Refusada("8080", "0.0.0.0", kDireccion, kNoCorrecta) +
               // The default row is held to the same rules.
               "Seleccionar 1761=Default\nPulsar=Modificar\nEscribir 1768=192.168.1.9\nPulsar=Actualizar\n" +
               CajaEnPuertos(kDireccion, kSegunDatos) + Fila("8080", "172.16.200.7") +
               Fila("8081", "172.16.0.5") + kASiguiente);
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,8080,172.16.200.7,8081,172.16.0.5") << salida;
}

TEST_F(Puertos, RowsAreModifiedByButtonOrDoubleClickAndRemovedExceptTheDefaultRow)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}, {"21", "172.16.0.11"}, {"25", "172.16.0.12"}});
    const std::string salida = Correr(
        HastaPuertos() +
        "DobleClic 1761=80\nMirar=\nEscribir 1766=8080\nEscribir 1768=172.16.0.40\nPulsar=Actualizar\n" +
        "Seleccionar 1761=Default\nPulsar=Modificar\nMirar=\nEscribir 1768=172.16.0.41\nPulsar=Actualizar\n" +
        "Seleccionar 1761=Default\nPulsar=Eliminar\nSeleccionar 1761=21\nPulsar=Eliminar\n" +
        // Adding, then a click on a row: back to browsing, what was typed dropped.
        "Pulsar=Agregar\nEscribir 1766=443\nMirar=\nSeleccionar 1761=25\nMirar=\n" +
        // A port typed without an address is not asked about on Next.
        "Pulsar=Agregar\nEscribir 1766=110\n" + kASiguiente);
    const std::vector<std::string> vistas = Vistas(salida);
    ASSERT_EQ(vistas.size(), 4u) << salida;
    EXPECT_TRUE(Dice(vistas[0], "   campo [1766]: «80»\n")) << vistas[0];
    EXPECT_TRUE(Dice(vistas[0], "   dirección [1768]: 172.16.0.10\n"));
    EXPECT_TRUE(Dice(vistas[0], "   botón «Actualizar» [1769]\n"));
    // The default row's port is not edited.
    EXPECT_TRUE(Dice(vistas[1], "   campo [1766]: «Default» (inactivo)")) << vistas[1];
    EXPECT_TRUE(Dice(vistas[1], "   dirección [1768]: 172.16.0.20\n"));
    EXPECT_TRUE(Dice(vistas[1], "      8080 | 172.16.0.40\n"));
    EXPECT_TRUE(Dice(vistas[2],
                     "   tabla [1761]: 3 filas\n      Default | 172.16.0.41\n      8080 | 172.16.0.40\n"
                     "      25 | 172.16.0.12\n"))
        << vistas[2];
    EXPECT_TRUE(Dice(vistas[2], "   botón «Modificar» [1763] (inactivo)"));
    EXPECT_TRUE(Dice(vistas[2], "   botón «Eliminar» [1764] (inactivo)"));
    EXPECT_TRUE(Dice(vistas[2], "   campo [1766]: «443»\n"));
    EXPECT_TRUE(Dice(vistas[3], "   campo [1766]: «» (inactivo)")) << vistas[3];
    EXPECT_TRUE(Dice(vistas[3], "   botón «Eliminar» [1764]\n"));
    EXPECT_FALSE(Dice(salida, "-- Mensaje"));
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.41,8080,172.16.0.40,25,172.16.0.12");
}

TEST_F(Puertos, ARowBeingAddedIsIncludedWhenNextIsAnsweredYes)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}});
    Correr(HastaPuertos() + "Pulsar=Agregar\nEscribir 1766=8080\nEscribir 1768=172.16.0.50\n" +
           "Pulsar=Siguiente>\n[Mensaje]\nTítulo=¿Añadir el puerto?\n"
           "Texto=Estaba añadiendo un nuevo puerto. ¿Desea incluirlo en la lista definitiva?\nRespuesta=Sí\n"
           "[Página 2007]\n");
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,80,172.16.0.10,8080,172.16.0.50");
}

TEST_F(Puertos, ARowBeingModifiedKeepsItsValuesWhenNextIsAnsweredNo)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}});
    Correr(HastaPuertos() + "DobleClic 1761=80\nEscribir 1768=172.16.0.60\n" +
           "Pulsar=Siguiente>\n[Mensaje]\nTítulo=¿Modificar el puerto?\n"
           "Texto=Estaba modificando un puerto. ¿Desea actualizarlo en la lista definitiva?\nRespuesta=No\n"
           "[Página 2007]\n");
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,80,172.16.0.10");
}

TEST_F(Puertos, ARefusedRowOnNextIsReportedAndTheWizardGoesOnWithoutIt)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}});
    Correr(HastaPuertos() + "Pulsar=Agregar\nEscribir 1766=23\nEscribir 1768=172.16.0.50\n" +
           "Pulsar=Siguiente>\n[Mensaje]\nTítulo=¿Añadir el puerto?\nRespuesta=Sí\n" +
           Caja(kPuerto, "No se permite mapear el puerto 23.") + "[Página 2007]\n");
    EXPECT_EQ(ListaGuardada(), "Default,172.16.0.20,80,172.16.0.10");
}

TEST_F(Puertos, WhenTheDownloadFailsAnEmptyListGivesOnlyTheEmptyDefaultRow)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}}, {"--fault", "drop-data"});
    const std::string salida = Correr(HastaPuertos() + kASiguiente);
    EXPECT_TRUE(Dice(salida, "   tabla [1761]: 1 filas\n      Default | \n")) << salida;
    EXPECT_EQ(ListaGuardada(), "");
}

TEST_F(Puertos, AResumedListOfOnePairOpensWithAnEmptyDefaultRowAndAnyAddressWithoutAPrivateNetwork)
{
    // Saved before a reboot, with no private network given; the download then fails and the
    // saved list stays.
    Router("172.16.0.20", {}, {"--fault", "drop-data"});
    {
        CRegApli reg;
        ASSERT_EQ(reg.Open(kClave, TRUE), S_OK);
        reg.SetOperacion(0);
        // The name the adapter list gives the PC's only card.
        reg.SetNIC((std::string("{1} ") + kRealtek).c_str());
        reg.SetModoConf(1);
        reg.SetDHCP(0);
        reg.SetModoDirec(1);
        reg.SetUsername("usuario");
        reg.SetListaPuertos("80,172.16.0.10");
        ASSERT_EQ(reg.SetEstadoInicial(FALSE), S_OK);
    }
    const std::string salida = Correr(
        "[Página 2001]\nPulsar=Siguiente>\n[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n[Página 2026]\n" +
        Refusada("8080", "10.0.0", kDireccion, kNoCorrecta) + Fila("8080", "10.0.0.5") + kASiguiente);
    EXPECT_TRUE(Dice(salida, "   tabla [1761]: 2 filas\n      Default | \n      80 | 172.16.0.10\n"))
        << salida;
    EXPECT_EQ(ListaGuardada(), "80,172.16.0.10,8080,10.0.0.5");
}

TEST_F(Puertos, BackGoesToTheSummaryNotToTheFirmwareUpdate)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}});
    const std::string salida = Correr(HastaPuertos() + "Pulsar=<Atrás\n[Página 2013]\n");
    EXPECT_TRUE(Dice(salida, "== Página 11 (2013)")) << salida;
    EXPECT_FALSE(Dice(salida, "== Página 17"));
}

TEST_F(Puertos, ARowTypedOnThePageReachesTheRouterBesideTheOnesItHad)
{
    Router("172.16.0.20", {{"80", "172.16.0.10"}});
    std::string salida;
    EXPECT_EQ(Asistente::Correr(HastaPuertos() + Fila("8080", "172.16.0.50") +
                                    "Pulsar=Siguiente>\n[Página 2007]\nEspera=120000\n[Página 2008]\n"
                                    "Pulsar=Finalizar\n",
                                salida),
              kFinalizado)
        << salida;
    std::string ajustes;
    ASSERT_EQ(kittest::Run("routersim", {"show", "--state", kittest::MachineDir() + "/router"}, &ajustes), 0);
    for (const char *linea : {"150000001 = 172.16.0.20\n", "150000002 = 80\n", "150000003 = 172.16.0.10\n",
                              "150000004 = 8080\n", "150000005 = 172.16.0.50\n"})
        EXPECT_TRUE(Dice(ajustes, linea)) << linea << ajustes;
}
