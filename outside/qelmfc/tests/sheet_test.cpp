// The sheet and its pages worked as a person would, by the scripted user: pages from their
// templates, buttons set by the pages, message boxes answered and transcribed, faults of a
// script stopping the run at its line.
#include "outside/qelmfc/Animacion.h"
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/PropPage.h"
#include "outside/qelmfc/PropSheet.h"

#include "comun/Mod.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace
{
constexpr UINT kModo = 100, kDatos = 101;

class PaginaModo : public CNuvPropPage
{
  public:
    PaginaModo() : CNuvPropPage(kModo) {}
    BOOL OnSetActive() override
    {
        SetTitulo("Modo de configuración");
        GetSheet()->SetWizardButtons(GetCheckedRadioButton(1001, 1002) ? PSWIZB_NEXT : 0);
        return TRUE;
    }
    void OnControl(UINT id, UINT codigo) override
    {
        if ((id == 1001 || id == 1002) && codigo == kNotifClic)
        {
            GetSheet()->SetWizardButtons(PSWIZB_NEXT);
            SetDlgItemText(1004, id == 1001 ? "Un PC." : "Varios PC.");
        }
    }
    LRESULT OnWizardNext() override
    {
        elegido = GetCheckedRadioButton(1001, 1002);
        return 0;
    }
    BOOL OnQueryCancel() override
    {
        return MessageBoxA(GetSafeHwnd(), "¿Está seguro de que desea cancelar el proceso?",
                           "Cancelar asistente", MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    UINT elegido = 0;
};

class PaginaDatos : public CNuvPropPage
{
  public:
    PaginaDatos() : CNuvPropPage(kDatos) {}
    BOOL OnInitDialog() override
    {
        ComboAddString(1103, "Realtek RTL8139 Family PCI Fast Ethernet NIC");
        ComboAddString(1103, "Otra tarjeta");
        ListaInsertColumn(1104, 0, "Número", 80);
        ListaInsertColumn(1104, 1, "Dirección IP", 100);
        ListaInsertItem(1104, 0, "Default");
        ListaSetItemText(1104, 0, 1, "172.16.0.5");
        ListaInsertItem(1104, 1, "80");
        ListaSetItemText(1104, 1, 1, "172.16.0.6");
        LimitText(1101, 8);
        return TRUE;
    }
    BOOL OnSetActive() override
    {
        SetTitulo("Datos");
        GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
        return TRUE;
    }
    void OnControl(UINT id, UINT codigo) override
    {
        if (id == 1105 && codigo == kNotifClic)
            ++examinar;
        if (id == 1102 && codigo == kNotifCampoIp)
            ++cambiosIp;
    }
    BOOL OnWizardFinish() override
    {
        usuario = GetDlgItemText(1101);
        partes = IpGetAddress(1102, direccion);
        tarjeta = ComboGetCurSel(1103);
        fila = ListaGetSelectedItem(1104);
        return TRUE;
    }
    std::string usuario, direccion;
    int partes = -1, tarjeta = -2, fila = -2, examinar = 0, cambiosIp = 0;
};

// A sheet of the two pages and the empty one, run with a script; the transcript kept.
struct Corrida
{
    PaginaModo modo;
    PaginaDatos datos;
    std::vector<std::string> transcripcion;
    std::shared_ptr<CGuion> guion = std::make_shared<CGuion>();
    INT_PTR resultado = 0;

    bool Cargar(const std::string &texto) { return guion->CargarTexto(texto, "respuestas.ini"); }
    void Correr()
    {
        CMod mod;
        ASSERT_EQ(mod.Open(static_cast<HMODULE>(nullptr)), S_OK);
        CNuvPropSheet hoja(nullptr, &mod, nullptr, 0);
        hoja.SetTitle("Asistente de prueba");
        hoja.AddPage(&modo);
        hoja.AddPage(&datos);
        hoja.AddPageEmpty();
        qelmfc::SetTranscripcion([this](const std::string &linea) { transcripcion.push_back(linea); });
        qelmfc::UsarGuion(guion);
        resultado = hoja.DoModal();
        qelmfc::UsarGuion(nullptr);
        qelmfc::SetTranscripcion(nullptr);
    }
    bool Dice(const std::string &trozo) const
    {
        for (const std::string &linea : transcripcion)
            if (linea.find(trozo) != std::string::npos)
                return true;
        return false;
    }
    std::string Todo() const
    {
        std::string s;
        for (const std::string &linea : transcripcion)
            s += linea + "\n";
        return s;
    }
};
} // namespace

TEST(CNuvPropSheetTest, APersonsChoicesTypingAndPressesReachThePages)
{
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\n"
                         "Elegir=1002\n"
                         "Pulsar=Siguiente>\n"
                         "[Pagina 101]\n"
                         "Escribir 1101=usuario-largo\n"
                         "Escribir 1102=80.58.1\n"
                         "Seleccionar 1103=Realtek\n"
                         "Seleccionar 1104=80\n"
                         "Pulsar=Examinar...\n"
                         "Pulsar=Finalizar\n"))
        << c.guion->Error();
    c.Correr();
    EXPECT_EQ(c.resultado, ID_WIZFINISH) << c.Todo();
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    EXPECT_EQ(c.modo.elegido, 1002u);
    EXPECT_EQ(c.datos.usuario, "usuario-"); // the field's 8-character limit, as typed
    EXPECT_EQ(c.datos.direccion, "80.58.1.0");
    EXPECT_EQ(c.datos.partes, 3);
    EXPECT_GE(c.datos.cambiosIp, 1);
    EXPECT_EQ(c.datos.tarjeta, 0);
    EXPECT_EQ(c.datos.fila, 1);
    EXPECT_EQ(c.datos.examinar, 1);
    // Next was off until a choice was made; then the status line changed.
    EXPECT_TRUE(c.Dice("== Página 0 (100) «Modo de configuración»")) << c.Todo();
    EXPECT_TRUE(c.Dice("   ( ) Modo multipuesto. [1002]"));
    EXPECT_TRUE(c.Dice("   botones: <Atrás (inactivo) | Siguiente> (inactivo) | Cancelar"));
    EXPECT_TRUE(c.Dice("   botones: <Atrás (inactivo) | Siguiente> | Cancelar"));
    EXPECT_TRUE(c.Dice("   · Varios PC."));
    EXPECT_TRUE(c.Dice("   botones: <Atrás | Finalizar | Cancelar"));
    EXPECT_TRUE(c.Dice("Default | 172.16.0.5"));
}

TEST(CNuvPropSheetTest, CancelAsksThroughTheMessageBoxAndTheAnswerIsTranscribed)
{
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\nPulsar=Cancelar\n"
                         "[Mensaje]\nTítulo=Cancelar asistente\nTexto=¿Está seguro\nRespuesta=No\n"
                         "[Página 100]\nPulsar=Cancelar\n"
                         "[Mensaje]\nRespuesta=Sí\n"));
    c.Correr();
    EXPECT_EQ(c.resultado, IDCANCEL);
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    EXPECT_FALSE(c.guion->Completo()); // the sheet closed at the last answer
    EXPECT_TRUE(
        c.Dice("-- Mensaje «Cancelar asistente» (pregunta; Sí/No): ¿Está seguro de que desea cancelar el "
               "proceso? -> No"))
        << c.Todo();
    EXPECT_TRUE(c.Dice("-> Sí"));
    EXPECT_EQ(c.guion->DialogoFinal(), kModo);
    // The record of what was shown keeps both boxes with their answers, and the page.
    const auto mensajes = qelmfc::MensajesVistos();
    ASSERT_GE(mensajes.size(), 2u);
    EXPECT_EQ(mensajes[mensajes.size() - 2].titulo, "Cancelar asistente");
    EXPECT_EQ(mensajes[mensajes.size() - 2].respuesta, "No");
    EXPECT_EQ(mensajes.back().respuesta, "Sí");
    ASSERT_FALSE(qelmfc::PaginasVistas().empty());
    EXPECT_EQ(qelmfc::PaginasVistas().back().dialogo, static_cast<UINT>(kModo));
    bool linea = false;
    for (const qelmfc::LineaVista &l : qelmfc::LineasVistas())
        linea = linea || l.texto.find("» (pregunta; Sí/No): ¿Está seguro") != std::string::npos;
    EXPECT_TRUE(linea);
}

TEST(CNuvPropSheetTest, AStepWaitsForAControlsTextOrStopsTheRunWhenItNeverComes)
{
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\nElegir=1002\nEsperar 1004=Varios\nPulsar=Siguiente>\n"
                         "[Página 101]\nEspera=50\nEsperar 1004=Nunca\n"));
    c.Correr();
    EXPECT_EQ(c.modo.elegido, 1002u);
    EXPECT_TRUE(c.guion->Fallido());
    EXPECT_EQ(c.guion->Error(), "respuestas.ini:7: el control 1004 no llega a decir «Nunca».");

    Corrida mala;
    EXPECT_FALSE(mala.Cargar("[Página 100]\nEsperar 1004=\n"));
    EXPECT_EQ(mala.guion->Error(),
              "respuestas.ini:2: «Esperar 1004» lleva el número de control y su texto: «esperar 1001=...».");
}

TEST(CNuvPropSheetTest, AStandingAnswerTakesEveryBoxOfItsCaptionBeforeTheSteps)
{
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\nPulsar=Cancelar\n[Página 100]\nPulsar=Cancelar\n"
                         "[Página 100]\nElegir=1001\nPulsar=Siguiente>\n[Página 101]\n"));
    c.guion->ResponderSiempre("Otra pregunta", IDYES);
    c.guion->ResponderSiempre("Cancelar asistente", IDNO);
    c.Correr();
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    EXPECT_TRUE(c.guion->Completo()) << c.Todo();
    int respuestas = 0;
    for (const std::string &linea : c.transcripcion)
        respuestas += linea.starts_with("-- Mensaje «Cancelar asistente» (pregunta; Sí/No)") &&
                      linea.ends_with("-> No");
    EXPECT_EQ(respuestas, 2) << c.Todo();
    EXPECT_EQ(c.guion->DialogoFinal(), kDatos);
}

TEST(CNuvPropSheetTest, AStandingAnswerTheBoxHasNoButtonForStopsTheRun)
{
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\nPulsar=Cancelar\n[Mensaje]\nRespuesta=Sí\n"));
    c.guion->ResponderSiempre("Cancelar asistente", IDOK);
    c.Correr();
    EXPECT_TRUE(c.guion->Fallido());
    EXPECT_EQ(
        c.guion->Error(),
        "respuestas.ini:3: el mensaje «Cancelar asistente» no tiene el botón Aceptar que se le da siempre.");
    // Closed unanswered: the safe way out, No.
    EXPECT_TRUE(c.Dice("¿Está seguro de que desea cancelar el proceso? -> No")) << c.Todo();
}

TEST(CNuvPropSheetTest, WhenTheStepsRunOutTheSheetClosesWhereItStands)
{
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\nElegir=1001\nPulsar=Siguiente>\n[Página 101]\n"));
    c.Correr();
    EXPECT_EQ(c.resultado, IDCANCEL);
    EXPECT_TRUE(c.guion->Completo());
    EXPECT_EQ(c.guion->PaginaFinal(), 1);
    EXPECT_TRUE(c.Dice("-- Fin del guion en la página 1 (101)."));
}

TEST(CNuvPropSheetTest, AScriptThatDoesNotFitTheWizardStopsAtItsLine)
{
    struct Caso
    {
        const char *guion;
        const char *error;
    } casos[] = {
        // A box the script does not answer: never guessed.
        {"[Página 100]\nPulsar=Cancelar\n[Página 100]\n",
         "respuestas.ini:3: el guion no responde al mensaje"},
        // A button that stays off.
        {"[Página 100]\nEspera=50\nPulsar=Siguiente>\n",
         "respuestas.ini:3: el botón «Siguiente>» no se activa."},
        // A page that never comes.
        {"[Página 105]\nEspera=50\n", "respuestas.ini:1: no llega la página 105 (está la 100)."},
        // A control the page does not have.
        {"[Página 100]\nElegir=4242\n", "respuestas.ini:2: la página no tiene la opción 4242."},
        // An answer the box has no button for.
        {"[Página 100]\nPulsar=Cancelar\n[Mensaje]\nRespuesta=Aceptar\n",
         "respuestas.ini:3: el mensaje «Cancelar asistente» no tiene el botón Aceptar."},
    };
    for (const Caso &caso : casos)
    {
        Corrida c;
        ASSERT_TRUE(c.Cargar(caso.guion)) << c.guion->Error();
        c.Correr();
        EXPECT_EQ(c.resultado, IDCANCEL);
        EXPECT_TRUE(c.guion->Fallido()) << caso.guion;
        EXPECT_EQ(c.guion->Error().rfind(caso.error, 0), 0u) << c.guion->Error();
        EXPECT_TRUE(c.Dice("!! " + std::string(caso.error)));
    }
}

TEST(CGuionTest, ADamagedAnswersFileIsRefusedNamingTheLine)
{
    struct Caso
    {
        std::string texto;
        std::string error;
    } casos[] = {
        {"Pulsar=Siguiente>\n", "guion:1: «Pulsar» fuera de una sección [Página N]."},
        {"[Página 100\n", "guion:1: falta el ']' de la sección."},
        {"; bien\n[Paginas 100]\n", "guion:2: sección desconocida «Paginas 100»"},
        {"[Página cien]\n", "guion:1: la página debe ser el número de su diálogo."},
        {"[Página 100]\nPulsar\n", "guion:2: se esperaba «clave=valor»."},
        {"[Página 100]\nEscribir=hola\n", "guion:2: «Escribir» lleva el número de control"},
        {"[Página 100]\nBailar=1\n", "guion:2: acción desconocida «Bailar»."},
        {"[Mensaje]\nTítulo=x\n[Página 100]\n", "guion:1: el mensaje no dice su Respuesta."},
        {"[Mensaje]\nRespuesta=Quizá\n", "guion:2: respuesta desconocida «Quizá»."},
        {"[Página 100]\nEspera=pronto\n", "guion:2: la espera debe ser un número de milisegundos."},
        {std::string("[Página 100]\nPulsar=a\0b\n", 24), "guion:2: la línea tiene bytes nulos."},
        // A file cut in the middle of a message.
        {"[Página 100]\nPulsar=Cancelar\n[Mensaje]\nTítulo=Cancelar asis",
         "guion:3: el mensaje no dice su Respuesta."},
    };
    for (const Caso &caso : casos)
    {
        CGuion guion;
        EXPECT_FALSE(guion.CargarTexto(caso.texto)) << caso.texto;
        EXPECT_EQ(guion.Error().rfind(caso.error, 0), 0u) << guion.Error();
    }
}

TEST(CGuionTest, AnswersFilesInUtf8AreRead)
{
    // "Sí" written by an editor in UTF-8.
    CGuion guion;
    EXPECT_TRUE(guion.CargarTexto("[Mensaje]\nRespuesta=S\xC3\xAD\n")) << guion.Error();
    EXPECT_FALSE(guion.Cargar("/nonexistent/respuestas.ini"));
    EXPECT_NE(guion.Error().find("no se puede abrir"), std::string::npos);
}

TEST(CNuvPropSheetTest, APictureOfTheWindowIsSaved)
{
    const std::string fichero = (std::filesystem::temp_directory_path() / "qelmfc_captura_test.png").string();
    std::filesystem::remove(fichero);
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\nElegir=1001\nCaptura=" + fichero + "\n"));
    c.Correr();
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    ASSERT_TRUE(std::filesystem::exists(fichero));
    EXPECT_GT(std::filesystem::file_size(fichero), 1000u);
    std::filesystem::remove(fichero);
}

TEST(CAnimacionTest, TheShippedAnimationPlaysFrameByFrameAndADamagedOneShowsNothing)
{
    const std::string damaged = (std::filesystem::temp_directory_path() / "qelmfc_damaged.avi").string();
    {
        std::FILE *f = std::fopen(damaged.c_str(), "wb");
        std::fputs("RIFF\x10\0\0\0AVI LIST", f);
        std::fclose(f);
    }
    Corrida c;
    ASSERT_TRUE(c.Cargar("[Página 100]\n"));
    HRESULT arranque = E_UNEXPECTED, danado = E_UNEXPECTED, falta = E_UNEXPECTED, sinVentana = E_UNEXPECTED;
    std::vector<int> frames;
    c.guion->AgregarLlamada([&](CNuvPropSheet &hoja) {
        CAnimacion animacion;
        arranque =
            animacion.ArrancarAVI(nullptr, KIT_WIZARD_RES_DIR "/Espera.avi", hoja.GetActivePage(), {10, 10});
        for (int i = 0; i < 14; ++i)
        {
            frames.push_back(animacion.FrameActual());
            animacion.MoverAVI(nullptr);
        }
        CAnimacion otra;
        danado = otra.ArrancarAVI(nullptr, damaged.c_str(), hoja.GetActivePage(), {10, 10});
        EXPECT_EQ(otra.MoverAVI(nullptr), S_FALSE);
        falta = otra.ArrancarAVI(nullptr, "/nonexistent/Espera.avi", hoja.GetActivePage(), {10, 10});
        sinVentana = otra.ArrancarAVI(nullptr, KIT_WIZARD_RES_DIR "/Espera.avi", nullptr, {10, 10});
    });
    c.Correr();
    std::filesystem::remove(damaged);
    EXPECT_EQ(arranque, S_OK);
    ASSERT_EQ(frames.size(), 14u);
    EXPECT_EQ(frames[0], 0);
    EXPECT_EQ(frames[11], 11);
    EXPECT_EQ(frames[12], 0); // the shipped animation has 12 frames and loops
    EXPECT_EQ(danado, E_FAIL);
    EXPECT_EQ(falta, E_FAIL);
    EXPECT_EQ(sinVentana, E_INVALIDARG);
}
