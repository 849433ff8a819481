// A stand-alone program's scripted user: boxes answered in order from KIT_ANSWERS, the
// transcript on its standard output although it runs without a console, and a script that does
// not fit the program ending its run cleanly with the reason.
#include "platform/kit/kitconsole.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{
constexpr const char *kPrograma = "qelmfc_programa";

// Runs the program with the answers file and its box count.
struct Corrida
{
    int salida = -1;
    std::string texto;

    Corrida(const std::string &respuestas, int cajas)
    {
        const std::string fichero = kittest::MachineDir() + "/respuestas.ini";
        EXPECT_TRUE(kittest::WriteHostFile(fichero, respuestas));
        Correr(fichero, cajas);
    }
    void Correr(const std::string &fichero, int cajas)
    {
        ::setenv("KIT_ANSWERS", fichero.c_str(), 1);
        // The standard error too, where the program says why it cannot start.
        salida = kittest::Run(
            "/bin/sh",
            {"-c", "exec \"$0\" \"$1\" 2>&1", kittest::BinDir() + "/" + kPrograma, std::to_string(cajas)},
            &texto);
        ::unsetenv("KIT_ANSWERS");
        texto = kitpc::PcText(texto); // the terminal's UTF-8 back to the PC's text
    }
    bool Dice(const std::string &trozo) const { return texto.find(trozo) != std::string::npos; }
};
} // namespace

TEST(ProgramaTest, TwoBoxesAnsweredInOrderAndTranscribed)
{
    Corrida c("[Mensaje]\nTítulo=Atención\nTexto=¿Desea desinstalar\nRespuesta=Aceptar\n"
              "[Mensaje]\nRespuesta=No\n",
              2);
    EXPECT_EQ(c.salida, 0) << c.texto;
    EXPECT_EQ(c.texto, "-- Mensaje «Atención» (pregunta; Aceptar/Cancelar): ¿Desea desinstalar Conexión ADSL "
                       "Router? -> Aceptar\n"
                       "-- Mensaje «Atención» (pregunta; Sí/No/Cancelar): Algún fichero está en uso.\n"
                       "      ¿Desinstalar al volver a iniciar la sesión? -> No\n"
                       "respuestas: 1 7\n");
}

TEST(ProgramaTest, EveryKindOfBoxReachesTheScriptWithItsButtonsAndIcon)
{
    Corrida c("[Mensaje]\nRespuesta=Cancelar\n[Mensaje]\nRespuesta=Sí\n[Mensaje]\nRespuesta=Aceptar\n"
              "[Mensaje]\nRespuesta=Aceptar\n[Mensaje]\nRespuesta=Sí\n",
              5);
    EXPECT_EQ(c.salida, 0) << c.texto;
    EXPECT_TRUE(c.Dice("(información; Aceptar): Cierre la aplicación. -> Aceptar")) << c.texto;
    EXPECT_TRUE(c.Dice("(error; Aceptar): No tiene permisos de administrador. -> Aceptar"));
    EXPECT_TRUE(c.Dice("(pregunta; Sí/No): ¿Desea reiniciar ahora? -> Sí"));
    EXPECT_TRUE(c.Dice("respuestas: 2 6 1 1 6\n"));
}

TEST(ProgramaTest, ABoxTheScriptDoesNotExpectIsCancelledAndTheRunFails)
{
    // Every box after the first is closed unanswered: Cancel where it has it, else No, else OK.
    Corrida c("[Mensaje]\nRespuesta=Aceptar\n", 5);
    EXPECT_EQ(c.salida, 2) << c.texto;
    EXPECT_TRUE(c.Dice("!! ")) << c.texto;
    EXPECT_TRUE(c.Dice("el guion no responde al mensaje «Atención»"));
    EXPECT_TRUE(c.Dice("¿Desinstalar al volver a iniciar la sesión? -> Cancelar"));
    EXPECT_TRUE(c.Dice("¿Desea reiniciar ahora? -> No"));
    EXPECT_TRUE(c.Dice("respuestas: 1 2 1 1 7\n"));
    EXPECT_TRUE(c.Dice("qelmfc_programa: las respuestas no sirven: "));
}

TEST(ProgramaTest, AStepTheProgramNeverReachesFailsTheRunAtItsLine)
{
    Corrida c("[Mensaje]\nRespuesta=Aceptar\n; the program shows one box only\n[Mensaje]\nRespuesta=Sí\n", 1);
    EXPECT_EQ(c.salida, 2) << c.texto;
    EXPECT_TRUE(c.Dice("respuestas.ini:4: el programa terminó sin llegar a este paso.")) << c.texto;
}

TEST(ProgramaTest, AMissingOrWrongAnswersFileStopsTheProgramBeforeAnyBox)
{
    Corrida c("", 0);
    c.Correr(kittest::MachineDir() + "/no-existe.ini", 2);
    EXPECT_EQ(c.salida, 3);
    EXPECT_TRUE(c.Dice("qelmfc_programa: las respuestas no sirven: ")) << c.texto;
    EXPECT_TRUE(c.Dice("no-existe.ini: no se puede abrir el fichero de respuestas")) << c.texto;
    EXPECT_FALSE(c.Dice("-- Mensaje"));

    Corrida mala("[Mensaje]\nTítulo=Atención\n", 2);
    EXPECT_EQ(mala.salida, 3);
    EXPECT_TRUE(mala.Dice("respuestas.ini:1: el mensaje no dice su Respuesta.")) << mala.texto;
    EXPECT_FALSE(mala.Dice("-- Mensaje"));
}
