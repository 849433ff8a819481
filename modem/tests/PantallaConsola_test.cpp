// The console's answers replayed onto the 25x80 screen, and the fields taken from it.
#include "modem/PantallaConsola.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
const std::string kEsc = "\x1b";

// Line n (from 1) of a screen's text, without its CR LF.
std::string Linea(const std::string &pantalla, int n)
{
    return pantalla.substr(static_cast<size_t>(n - 1) * 82, 80);
}

std::string Blanca()
{
    return std::string(80, ' ');
}
} // namespace

TEST(PantallaConsola, AnAnswerWithoutEscapeIsSearchedAsItCame)
{
    EXPECT_EQ("Enter Password: ", TextoDePantalla("Enter Password: "));
    EXPECT_EQ("", TextoDePantalla(""));
}

TEST(PantallaConsola, CursorPositionsPlaceTheTextAndTheScreenHasItsShape)
{
    const std::string pantalla = TextoDePantalla("basura" + kEsc + "[5;10Habc" + kEsc + "[H" + "arriba");
    ASSERT_EQ(25u * 82u, pantalla.size());
    for (int n = 1; n <= 25; ++n)
        EXPECT_EQ("\r\n", pantalla.substr(static_cast<size_t>(n) * 82 - 2, 2)) << n;
    EXPECT_EQ("abc", Linea(pantalla, 5).substr(9, 3)); // columns 10 to 12
    EXPECT_EQ(std::string(9, ' '), Linea(pantalla, 5).substr(0, 9));
    EXPECT_EQ("arriba", Linea(pantalla, 1).substr(0, 6));
    EXPECT_EQ(std::string::npos, pantalla.find("basura")); // before the first ESC: dropped
}

TEST(PantallaConsola, ClearingTheScreenAndTheLine)
{
    // ESC [2J blanks every line and drops what follows it up to the next ESC.
    std::string pantalla = TextoDePantalla(kEsc + "[3;1Hviejo" + kEsc + "[2Jperdido" + kEsc + "[4;1Hnuevo");
    EXPECT_EQ(Blanca(), Linea(pantalla, 3));
    EXPECT_EQ(std::string::npos, pantalla.find("perdido"));
    EXPECT_EQ("nuevo", Linea(pantalla, 4).substr(0, 5));
    // ESC [K blanks from the cursor to the end of its line, the columns before stay.
    pantalla = TextoDePantalla(kEsc + "[2;1H0123456789" + kEsc + "[2;4H" + kEsc + "[Kresto");
    EXPECT_EQ("012" + std::string(77, ' '), Linea(pantalla, 2));
    EXPECT_EQ(std::string::npos, pantalla.find("resto"));
}

TEST(PantallaConsola, LineFeedsCarriageReturnsAndOtherSequences)
{
    // A LF goes to column 1 of the next line; a CR is written like any other character.
    std::string pantalla = TextoDePantalla(kEsc + "[7;5Huno\ndos\rX");
    EXPECT_EQ("uno", Linea(pantalla, 7).substr(4, 3));
    EXPECT_EQ("dos\rX", Linea(pantalla, 8).substr(0, 5));
    // Sequences the screen does not know, and an ESC without '[', are dropped with their text.
    pantalla = TextoDePantalla(kEsc + "[1mnegrita" + kEsc + "Xotro" + kEsc + "[5Hcasi" + kEsc + "[;3Hnada" +
                               kEsc + "[J" + kEsc + "[1;1Hbien");
    EXPECT_EQ("bien" + std::string(76, ' '), Linea(pantalla, 1));
    for (const char *lost : {"negrita", "otro", "casi", "nada"})
        EXPECT_EQ(std::string::npos, pantalla.find(lost)) << lost;
}

TEST(PantallaConsola, WhatFallsOutsideTheScreenIsNotShown)
{
    // Rows and columns beyond the screen are taken to its edge, as a terminal does.
    std::string pantalla = TextoDePantalla(kEsc + "[99;99HZ" + kEsc + "[0;0HA");
    EXPECT_EQ('Z', Linea(pantalla, 25)[79]);
    EXPECT_EQ('A', Linea(pantalla, 1)[0]);
    // Text past column 80 and lines below 25 are lost, the screen keeps its size.
    pantalla = TextoDePantalla(kEsc + "[1;75H" + std::string(20, 'x') + kEsc + "[25;1Hultima\nfuera\nmas");
    EXPECT_EQ(std::string(6, 'x'), Linea(pantalla, 1).substr(74));
    EXPECT_EQ(25u * 82u, pantalla.size());
    EXPECT_EQ(std::string::npos, pantalla.find("fuera"));
    // A number of any length does not overflow.
    pantalla = TextoDePantalla(kEsc + "[99999999999999999999;3Hq");
    EXPECT_EQ('q', Linea(pantalla, 25)[2]);
}

TEST(PantallaConsola, FieldsAreWordsOfTheFirstLineHoldingTheLabel)
{
    const std::string pantalla =
        TextoDePantalla(kEsc + "[4;5HIP Address= 192.168.1.1" + kEsc + "[5;5HIP Subnet Mask= 255.255.255.0" +
                        kEsc + "[9;5HSize of Client IP Pool= 32" + kEsc + "[10;5HDHCP= Server");
    EXPECT_EQ("192.168.1.1", TomarCampo(pantalla, "IP Address", 3));
    EXPECT_EQ("255.255.255.0", TomarCampo(pantalla, "IP Subnet Mask=", 4));
    EXPECT_EQ("32", TomarCampo(pantalla, "Size of Client IP Pool", 6));
    EXPECT_EQ("Server", TomarCampo(pantalla, "DHCP=", 2));
    EXPECT_EQ("", TomarCampo(pantalla, "Primary DNS Server", 4)); // not on the screen
    EXPECT_EQ("", TomarCampo(pantalla, "DHCP=", 3));              // no such word
    EXPECT_EQ("", TomarCampo(pantalla, "dhcp=", 2));              // labels keep their case
    // Without a screen, lines are cut at CR and the next one starts two characters on.
    EXPECT_EQ("b", TomarCampo("x= a\r\ny= b\r\n", "y=", 2));
    EXPECT_EQ("a", TomarCampo("x= a\r\ny= b", "=", 2)); // the first line that holds it
}
