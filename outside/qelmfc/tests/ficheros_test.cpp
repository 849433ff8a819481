// Open-file dialogs of a page answered by the scripted user: the file chosen reaches the page as
// a path of the PC, a cancel is a cancel, and every dialog is transcribed.
#include "outside/qelmfc/Guion.h"
#include "outside/qelmfc/Interfaz.h"
#include "outside/qelmfc/PropPage.h"
#include "outside/qelmfc/PropSheet.h"

#include "comun/Mod.h"
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
constexpr UINT kDatos = 101, kRuta = 1101, kExaminar = 1105;

// A page whose "Examinar..." asks for a firmware file and shows it in the field.
class PaginaFichero : public CNuvPropPage
{
  public:
    PaginaFichero() : CNuvPropPage(kDatos) {}
    BOOL OnSetActive() override
    {
        GetSheet()->SetWizardButtons(PSWIZB_NEXT);
        return TRUE;
    }
    void OnControl(UINT id, UINT codigo) override
    {
        if (id != kExaminar || codigo != kNotifClic)
            return;
        char fichero[MAX_PATH] = "";
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = GetSafeHwnd();
        ofn.lpstrFilter = "Ficheros de firmware (*.bin)\0*.bin\0";
        ofn.lpstrFile = fichero;
        ofn.nMaxFile = sizeof fichero;
        ofn.lpstrTitle = titulo;
        ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST;
        const BOOL ok = GetOpenFileNameA(&ofn);
        resultados.push_back(ok ? std::string(fichero)
                                : "cancelado " + std::to_string(CommDlgExtendedError()));
        if (ok)
            SetDlgItemText(kRuta, fichero);
    }
    const char *titulo = nullptr;
    std::vector<std::string> resultados;
};

struct Corrida
{
    PaginaFichero pagina;
    std::vector<std::string> transcripcion;
    std::shared_ptr<CGuion> guion = std::make_shared<CGuion>();

    void Correr(const std::string &texto)
    {
        ASSERT_TRUE(guion->CargarTexto(texto, "respuestas.ini")) << guion->Error();
        CMod mod;
        ASSERT_EQ(mod.Open(static_cast<HMODULE>(nullptr)), S_OK);
        CNuvPropSheet hoja(nullptr, &mod, nullptr, 0);
        hoja.AddPage(&pagina);
        hoja.AddPageEmpty();
        qelmfc::SetTranscripcion([this](const std::string &linea) { transcripcion.push_back(linea); });
        qelmfc::UsarGuion(guion);
        hoja.DoModal();
        qelmfc::UsarGuion(nullptr);
        qelmfc::SetTranscripcion(nullptr);
    }
    bool Dice(const std::string &linea) const
    {
        for (const std::string &l : transcripcion)
            if (l == linea)
                return true;
        return false;
    }
    std::string Todo() const
    {
        std::string s;
        for (const std::string &l : transcripcion)
            s += l + "\n";
        return s;
    }
};
} // namespace

TEST(CGuionFicheroTest, TheFileChosenReachesThePageAsAPathOfThePcAndACancelIsACancel)
{
    ASSERT_TRUE(kittest::WriteHostFile(kittest::MachineDir() + "/temp/ras.bin", "firmware"));
    Corrida c;
    c.pagina.titulo = "Elija el firmware";
    c.Correr("[Página 101]\nPulsar=1105\n[Fichero]\nTítulo=Elija el firmware\nRuta=C:\\temp\\ras.bin\n"
             "[Página 101]\nMirar=\nPulsar=Examinar...\n[Fichero]\nRespuesta=Cancelar\n[Página 101]\n");
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    EXPECT_TRUE(c.guion->Completo());
    ASSERT_EQ(c.pagina.resultados.size(), 2u);
    EXPECT_EQ(c.pagina.resultados[0], kittest::MachineDir() + "/temp/ras.bin");
    EXPECT_EQ(c.pagina.resultados[1], "cancelado 0");
    EXPECT_TRUE(c.Dice("-- Fichero «Elija el firmware» (Ficheros de firmware (*.bin)): C:\\temp\\ras.bin"))
        << c.Todo();
    EXPECT_TRUE(c.Dice("-- Fichero «Elija el firmware» (Ficheros de firmware (*.bin)): -> Cancelar"));
}

TEST(CGuionFicheroTest, AMissingFileIsWarnedAboutAndTheScriptAnswersTheDialogAgain)
{
    ASSERT_TRUE(kittest::WriteHostFile(kittest::MachineDir() + "/temp/ras.bin", "firmware"));
    Corrida c;
    c.Correr("[Página 101]\nPulsar=1105\n[Fichero]\nTítulo=Abrir\nRuta=C:\\temp\\falta.bin\n"
             "[Mensaje]\nTítulo=Abrir\nRespuesta=Aceptar\n[Fichero]\nRuta=C:\\temp\\ras.bin\n[Página 101]\n");
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    ASSERT_EQ(c.pagina.resultados.size(), 1u);
    EXPECT_EQ(c.pagina.resultados[0], kittest::MachineDir() + "/temp/ras.bin");
    EXPECT_TRUE(c.Dice("-- Fichero «Abrir» (Ficheros de firmware (*.bin)): C:\\temp\\falta.bin")) << c.Todo();
}

// A page's dialog can come up before the script has looked at the window again: the script's wait
// for that page, which is the one on screen, is done already.
TEST(CGuionFicheroTest, AWaitForThePageOnScreenDoesNotStandBeforeItsDialog)
{
    ASSERT_TRUE(kittest::WriteHostFile(kittest::MachineDir() + "/temp/ras.bin", "firmware"));
    Corrida c;
    c.Correr("[Página 101]\nPulsar=1105\n[Página 101]\n[Fichero]\nRuta=C:\\temp\\ras.bin\n[Página 101]\n");
    EXPECT_FALSE(c.guion->Fallido()) << c.guion->Error();
    ASSERT_EQ(c.pagina.resultados.size(), 1u);
    EXPECT_EQ(c.pagina.resultados[0], kittest::MachineDir() + "/temp/ras.bin");
}

TEST(CGuionFicheroTest, ADialogTheScriptDoesNotAnswerStopsTheRun)
{
    struct Caso
    {
        const char *guion;
        const char *error;
    } casos[] = {
        {"[Página 101]\nPulsar=1105\n[Página 101]\n",
         "respuestas.ini:3: el guion no responde al diálogo de fichero «Abrir»."},
        {"[Página 101]\nPulsar=1105\n[Fichero]\nTítulo=Otro\nRuta=C:\\x.bin\n",
         "respuestas.ini:3: se esperaba el diálogo de fichero «Otro» y llega «Abrir»."},
        {"[Página 101]\nPulsar=1105\n[Mensaje]\nRespuesta=Aceptar\n",
         "respuestas.ini:3: el guion no responde al diálogo de fichero «Abrir»."},
    };
    for (const Caso &caso : casos)
    {
        Corrida c;
        c.Correr(caso.guion);
        EXPECT_TRUE(c.guion->Fallido()) << caso.guion;
        EXPECT_EQ(c.guion->Error(), caso.error);
        ASSERT_EQ(c.pagina.resultados.size(), 1u);
        EXPECT_EQ(c.pagina.resultados[0], "cancelado 0");
    }
}

TEST(CGuionFicheroTest, ADamagedFileSectionIsRefusedNamingTheLine)
{
    const char *casos[][2] = {
        {"[Fichero]\nTítulo=Abrir\n[Página 101]\n",
         "guion:1: el diálogo de fichero no dice su Ruta ni su Respuesta."},
        {"[Fichero]\nRespuesta=Aceptar\n", "guion:2: en un diálogo de fichero se espera Título=, "
                                           "Ruta=fichero o Respuesta=Cancelar: «Respuesta=Aceptar»."},
        {"[Fichero]\nRuta=\n", "guion:2: en un diálogo de fichero se espera Título=, Ruta=fichero o "
                               "Respuesta=Cancelar: «Ruta=»."},
    };
    for (const auto &caso : casos)
    {
        CGuion guion;
        EXPECT_FALSE(guion.CargarTexto(caso[0])) << caso[0];
        EXPECT_EQ(guion.Error(), caso[1]);
    }
}
