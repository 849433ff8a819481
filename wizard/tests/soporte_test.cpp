// The support archive and the run report: what they hold after a failed and a good road against
// the simulated router, every password of the run hidden; and the masking and JSON writing they
// are made with.
#include "testing/kittest.h"
#include "wizard/Json.h"
#include "wizard/Secretos.h"
#include "wizard/tests/asistente.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

using namespace asistentetest;

namespace
{
using Entradas = std::map<std::string, std::string>;

// Every entry of an archive, unzipped whole.
Entradas Descomprimir(const std::string &fichero)
{
    Entradas entradas;
    int error = 0;
    zip_t *zip = zip_open(fichero.c_str(), ZIP_RDONLY, &error);
    EXPECT_NE(zip, nullptr) << fichero << " " << error;
    if (!zip)
        return entradas;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i)
    {
        zip_stat_t estado;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &estado);
        std::string bytes(static_cast<std::size_t>(estado.size), '\0');
        zip_file_t *f = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        EXPECT_NE(f, nullptr) << estado.name;
        if (f)
        {
            EXPECT_EQ(zip_fread(f, bytes.data(), estado.size), static_cast<zip_int64_t>(estado.size));
            zip_fclose(f);
        }
        entradas[estado.name] = bytes;
    }
    zip_close(zip);
    return entradas;
}

constexpr char kMascara[] = "********";
constexpr char kPppoe[] = "secreto7";
constexpr char kRouter[] = "5807";

class Soporte : public Conectividad
{
  protected:
    void SetUp() override
    {
        Conectividad::SetUp();
        ConRouteFixer();
    }
    // The reports download the router's settings at its new address too.
    void TambienEn(const std::string &direccion) const { Conectividad::TambienEn(direccion, true); }
    int CorrerCon(const std::vector<std::string> &extra, const std::string &guion, std::string &salida)
    {
        std::vector<std::string> args = {"--dir", carpeta};
        if (!guion.empty())
        {
            args.push_back("--unattended");
            args.push_back(Respuestas(guion));
        }
        args.insert(args.end(), extra.begin(), extra.end());
        std::string utf8;
        const int rc = kittest::Run("QelExec", args, &utf8);
        salida = kitpc::PcText(utf8);
        return rc;
    }
    // The archive the error page wrote beside the wizard.
    std::string ArchivoDeLaPagina() const
    {
        for (const auto &e : fs::directory_iterator(carpeta))
            if (e.path().filename().string().starts_with("Informe-") && e.path().extension() == ".zip")
                return e.path().string();
        return {};
    }
    // No password of the run in any entry.
    static void SinPasswords(const Entradas &entradas)
    {
        for (const auto &[nombre, bytes] : entradas)
        {
            EXPECT_FALSE(Dice(bytes, kPppoe)) << nombre;
            EXPECT_FALSE(Dice(bytes, kRouter)) << nombre << "\n" << bytes;
        }
    }
    // Every piece is in the archive or the manifest says why it is not.
    static void Completo(const Entradas &entradas)
    {
        ASSERT_TRUE(entradas.count("manifiesto.txt"));
        const std::string &manifiesto = entradas.at("manifiesto.txt");
        for (const char *nombre : {"pc.txt", "registro/kit.reg", "registro/tcpip.reg", "rutas.txt",
                                   "transcripcion.txt", "trazas/DaxModem.txt"})
        {
            EXPECT_TRUE(entradas.count(nombre)) << nombre << "\n" << manifiesto;
            EXPECT_TRUE(Dice(manifiesto, std::string("  ") + nombre + "  ")) << nombre;
        }
        for (const char *nombre : {"router.cfg", "ras.txt", "enternet.ini"})
            EXPECT_TRUE(entradas.count(nombre) ? Dice(manifiesto, std::string("  ") + nombre + "  ")
                                               : Dice(manifiesto, std::string("  ") + nombre + ": "))
                << nombre << "\n"
                << manifiesto;
        for (const auto &[nombre, bytes] : entradas)
        {
            if (nombre != "manifiesto.txt")
            {
                EXPECT_TRUE(Dice(manifiesto, "  " + nombre + "  " + std::to_string(bytes.size()) + " bytes"))
                    << nombre;
            }
        }
    }
};

// One PC with dynamic addressing (the PPPoE password typed) on a router that drops the upload.
std::string HastaElError()
{
    return HastaRequisitos(kMonopuesto, kDinamico) +
           "[Página 2002]\nPulsar=Siguiente>\n"
           "[Página 2003]\nEscribir 1362=usuario@adsl\nEscribir 1364=" +
           kPppoe +
           "\nPulsar=Siguiente>\n"
           "[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n[Página 2007]\nEspera=120000\n[Página 2009]\n";
}
} // namespace

TEST_F(Soporte, TheErrorPageAndTheHostWriteTheWholeArchiveWithEveryPasswordHidden)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp", "--pppoe", "winpoet", "--winpoet-selector", "1"});
    EscribirConfig(kConfigAdsl);
    Router({"--fault", "drop-data"});
    const std::string archivo = carpeta + "/soporte.zip";
    const std::string informe = carpeta + "/informe.json";
    std::string salida;
    EXPECT_EQ(CorrerCon({"--support", archivo, "--report", informe},
                        HastaElError() +
                            "Pulsar=Informe...\n[Mensaje]\nTítulo=Informe para el servicio técnico\n"
                            "Texto=Se ha guardado un informe\nRespuesta=Aceptar\n",
                        salida),
              kAgotado)
        << salida;
    EXPECT_TRUE(Dice(salida, "QelExec: escrito " + archivo + ".")) << salida;

    const std::string dePagina = ArchivoDeLaPagina();
    ASSERT_FALSE(dePagina.empty()) << salida;
    EXPECT_TRUE(Dice(salida, dePagina.substr(dePagina.rfind('/') + 1))) << salida;
    for (const std::string &zip : {dePagina, archivo})
    {
        SCOPED_TRACE(zip);
        Entradas entradas = Descomprimir(zip);
        Completo(entradas);
        SinPasswords(entradas);
        EXPECT_TRUE(Dice(entradas["transcripcion.txt"], "== Página 20 (2009) «Error en el proceso»"));
        EXPECT_TRUE(Dice(entradas["pc.txt"], "versión 5.1")) << entradas["pc.txt"];
        EXPECT_TRUE(Dice(entradas["registro/tcpip.reg"], "REGEDIT4")) << entradas["registro/tcpip.reg"];
        EXPECT_TRUE(Dice(entradas["registro/kit.reg"], "[HKEY_LOCAL_MACHINE\\SOFTWARE\\NUV\\DAX"));
        EXPECT_TRUE(Dice(entradas["rutas.txt"], "127.0.0.1")) << entradas["rutas.txt"];
        bool mascara = false;
        for (const auto &[nombre, bytes] : entradas)
            mascara = mascara || Dice(bytes, kMascara);
        EXPECT_TRUE(mascara);
    }
    // The wizard's folder has only the archive more: the router's settings went elsewhere.
    EXPECT_FALSE(fs::exists(carpeta + "/643get.cfg"));

    // The report has the box and its answer, and the exit code of the answers running out.
    const char *programa = R"PY(
import json, sys
d = json.load(open(sys.argv[1], encoding='utf-8'))
print('salida', d['salida'])
for m in d['mensajes']:
    print('mensaje', m['titulo'], '->', m['respuesta'])
print('ultima', d['paginas'][-1]['dialogo'])
print('router', d['final']['router'])
)PY";
    std::string utf8;
    ASSERT_EQ(kittest::Run(kitservers::kPython, {"-c", programa, informe}, &utf8), 0) << utf8;
    const std::string leido = kitpc::PcText(utf8);
    EXPECT_TRUE(Dice(leido, "salida 2\n")) << leido;
    EXPECT_TRUE(Dice(leido, "mensaje Informe para el servicio técnico -> Aceptar\n")) << leido;
    EXPECT_TRUE(Dice(leido, "ultima 2009\n")) << leido;
    EXPECT_TRUE(Dice(leido, "router None\n")) << leido; // the router drops every transfer
    const std::string json = kittest::ReadHostFile(informe);
    EXPECT_FALSE(Dice(json, kPppoe));
    EXPECT_FALSE(Dice(json, kRouter));
}

TEST_F(Soporte, TheArchiveAloneHoldsTheRoutersSettingsWithItsPasswordsHidden)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({}, "40000009 = usuario@adsl\n40000010 = " + std::string(kPppoe) + "\n");
    const std::string archivo = carpeta + "/solo.zip";
    std::string salida;
    ASSERT_EQ(CorrerCon({"--support", archivo}, "", salida), 0) << salida;
    EXPECT_FALSE(Dice(salida, "== Página")) << salida; // the wizard did not run
    Entradas entradas = Descomprimir(archivo);
    Completo(entradas);
    SinPasswords(entradas);
    ASSERT_TRUE(entradas.count("router.cfg")) << entradas["manifiesto.txt"];
    EXPECT_TRUE(Dice(entradas.at("router.cfg"), "23000001 = ********")) << entradas.at("router.cfg");
    EXPECT_TRUE(Dice(entradas.at("router.cfg"), "40000010 = ********"));
    EXPECT_TRUE(Dice(entradas.at("router.cfg"), "40000009 = usuario@adsl"));
    EXPECT_FALSE(fs::exists(carpeta + "/643get.cfg"));

    // A relative path names a file of the folder the host was started in, not the wizard's.
    const fs::path relativo = fs::current_path() / "soporte-relativo.zip";
    ASSERT_EQ(CorrerCon({"--support", "soporte-relativo.zip"}, "", salida), 0) << salida;
    EXPECT_TRUE(fs::exists(relativo));
    EXPECT_FALSE(fs::exists(carpeta + "/soporte-relativo.zip"));
    fs::remove(relativo);

    // A path that cannot be written is the host's exit code 6.
    EXPECT_EQ(CorrerCon({"--support", carpeta + "/no/existe.zip"}, "", salida), 6) << salida;
}

TEST_F(Soporte, TheReportOfAGoodRoadIsJsonWithThePagesTheEventsAndTheFinalState)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router();
    TambienEn("80.58.1.1");
    const std::string informe = carpeta + "/informe.json";
    std::string salida;
    ASSERT_EQ(CorrerCon({"--report", informe},
                        HastaResumen() + "[Página 2014]\n[Página 2007]\nEspera=120000\n[Página 2008]\n"
                                         "Pulsar=Finalizar\n",
                        salida),
              kFinalizado)
        << salida;
    const char *programa = R"PY(
import json, sys
d = json.load(open(sys.argv[1], encoding='utf-8'))
print('salida', d['salida'])
print('paginas', ' '.join(str(p['dialogo']) for p in d['paginas']))
print('titulo', d['paginas'][-1]['titulo'])
eventos = [e for e in d['eventos'] if e['componente'] == 'DaxModem.SetZyxelConfig']
print('modem', ' '.join(e['evento'] for e in eventos))
print('tiempos', all(a['ms'] <= b['ms'] for a, b in zip(d['paginas'], d['paginas'][1:])))
r = d['final']['router']
print('lan', r['30200008'] if r else None)
print('sistema', r['23000001'] if r else None)
print('piezas', ' '.join(p['nombre'] for p in d['final']['piezas']))
)PY";
    std::string utf8;
    ASSERT_EQ(kittest::Run(kitservers::kPython, {"-c", programa, informe}, &utf8), 0)
        << utf8 << kittest::ReadHostFile(informe, "<no report>");
    const std::string leido = kitpc::PcText(utf8);
    EXPECT_TRUE(Dice(leido, "salida 0\n")) << leido;
    EXPECT_TRUE(Dice(leido, "paginas 2001 2023 2004 2011 2005")) << leido;
    EXPECT_TRUE(Dice(leido, " 2013 2014 2007 2008\n")) << leido;
    EXPECT_TRUE(Dice(leido, "titulo Configuración correcta\n")) << leido;
    EXPECT_TRUE(Dice(leido, "modem Start")) << leido;
    EXPECT_TRUE(Dice(leido, " End")) << leido;
    EXPECT_TRUE(Dice(leido, "tiempos True\n")) << leido;
    EXPECT_TRUE(Dice(leido, "lan 80.58.1.1\n")) << leido;
    EXPECT_TRUE(Dice(leido, "sistema ********\n")) << leido;
    EXPECT_TRUE(Dice(leido, "piezas router.cfg registro/tcpip.reg rutas.txt ras.txt enternet.ini\n"))
        << leido;
    EXPECT_FALSE(Dice(kittest::ReadHostFile(informe), kRouter));
}

TEST_F(Soporte, ThePasswordTypedForTheRouterDownloadsItsSettingsAndIsHidden)
{
    Pc("xp", {"--nic", kRealtek, "--dhcp"});
    Router({"--password", "clave7"});
    TambienEn("80.58.1.1");
    const std::string archivo = carpeta + "/soporte.zip";
    std::string salida;
    ASSERT_EQ(
        CorrerCon({"--support", archivo},
                  HastaResumen() +
                      "[Página 2014]\n[Página 2010]\nEspera=120000\nEscribir 1922=clave7\nPulsar=Siguiente>\n"
                      "[Página 2007]\nEspera=120000\n[Página 2008]\nPulsar=Finalizar\n",
                  salida),
        kFinalizado)
        << salida;
    Entradas entradas = Descomprimir(archivo);
    Completo(entradas);
    for (const auto &[nombre, bytes] : entradas)
        EXPECT_FALSE(Dice(bytes, "clave7")) << nombre;
    // Downloaded from the LAN the plan gave the router, with the password typed.
    EXPECT_TRUE(Dice(entradas["manifiesto.txt"], "(bajado del router en 80.58.1.1)"))
        << entradas["manifiesto.txt"];
    EXPECT_TRUE(Dice(entradas["router.cfg"], "30200008 = 80.58.1.1"));
    EXPECT_TRUE(Dice(entradas["router.cfg"], "23000001 = ********"));
}

// One PC with dynamic addressing: the dial-up connection of the NT family and the EnterNet
// profile of 9x, with the PPPoE password hidden; the TCP/IP keys of each family's layout.
class SoporteConConexion : public Soporte, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(SoporteConConexion, TheConnectionIsInTheArchiveWithoutItsPassword)
{
    const std::string familia = GetParam();
    const bool nueve = familia == "98";
    std::vector<std::string> opciones = {
        "--nic",          kRealtek, "--dhcp", "--pppoe", nueve ? "enternet" : "winpoet", "--winpoet-selector",
        nueve ? "0" : "1"};
    Pc(familia.c_str(), opciones);
    EscribirConfig(kConfigAdsl);
    Router();
    const std::string archivo = carpeta + "/soporte.zip";
    std::string salida;
    ASSERT_EQ(CorrerCon({"--support", archivo},
                        HastaRequisitos(kMonopuesto, kDinamico) +
                            "[Página 2002]\nPulsar=Siguiente>\n"
                            "[Página 2003]\nEscribir 1362=usuario@adsl\nEscribir 1364=" +
                            kPppoe +
                            "\nPulsar=Siguiente>\n[Página 2013]\nPulsar=Siguiente>\n[Página 2014]\n"
                            "[Página 2007]\nEspera=120000\n[Página 2008]\nPulsar=Finalizar\n",
                        salida),
              kFinalizado)
        << salida;
    Entradas entradas = Descomprimir(archivo);
    Completo(entradas);
    SinPasswords(entradas);
    if (nueve)
    {
        EXPECT_TRUE(Dice(entradas["enternet.ini"], "UserName=usuario@adsl")) << entradas["manifiesto.txt"];
        EXPECT_TRUE(Dice(entradas["registro/tcpip.reg"], "\\VxD\\MSTCP]")) << entradas["registro/tcpip.reg"];
    }
    else
    {
        EXPECT_TRUE(Dice(entradas["ras.txt"], "[Conexión ADSL Router]\r\n")) << entradas["manifiesto.txt"];
        EXPECT_TRUE(Dice(entradas["ras.txt"], "Usuario=usuario@adsl\r\nPassword=********\r\n"))
            << entradas["ras.txt"];
        EXPECT_TRUE(Dice(entradas["registro/tcpip.reg"], "\\Tcpip\\Parameters\\Interfaces"));
    }
}
INSTANTIATE_TEST_SUITE_P(Wizard, SoporteConConexion, ::testing::Values("xp", "98"));

// The masking by field and by value.
TEST(Secretos, FieldsAndValuesAreHidden)
{
    CSecretos s;
    s.Agregar("clave7");
    s.Agregar("ab"); // too short to hide by value
    const std::string texto = "23000001 = 5807\r\n40000010 = pppoe99\r\n30200008 = 192.168.1.1\r\n"
                              "\"Password\"=\"otra1\"\r\nPassword=otra2\r\nUserName=ab\r\n"
                              "login con clave7 y pppoe99 y otra1\r\n";
    s.Aprender(texto);
    EXPECT_EQ(s.Ocultar(texto), "23000001 = ********\r\n40000010 = ********\r\n30200008 = 192.168.1.1\r\n"
                                "\"Password\"=\"********\"\r\nPassword=********\r\nUserName=ab\r\n"
                                "login con ******** y ******** y ********\r\n");
    // Learnt in one text, hidden in another.
    EXPECT_EQ(s.Ocultar("5807 otra2"), "******** ********");
}

TEST(Json, StringsAreEscapedAndConvertedToUtf8)
{
    CJson j;
    j.Objeto()
        .Clave("a")
        .Texto("\"x\\y\"\r\n\t\x01")
        .Clave("b")
        .Lista()
        .Numero(1)
        .Nulo()
        .Texto("Conexi\xF3n")
        .FinLista();
    j.Clave("c").Objeto().FinObjeto().FinObjeto();
    EXPECT_EQ(j.Resultado(),
              "{\"a\":\"\\\"x\\\\y\\\"\\r\\n\\t\\u0001\",\"b\":[1,null,\"Conexi\xC3\xB3n\"],\"c\":{}}");
}
