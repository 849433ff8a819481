// The router's console as the reader sees it: each answer replayed onto a screen of 25 lines of
// 80 columns (the console draws its menus with cursor-positioning escape sequences), and the
// fields of a menu taken from the screen's text by label and word.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CPantallaConsola
{
  public:
    static constexpr int kFilas = 25;
    static constexpr int kColumnas = 80;

    // Blank, the cursor at (1, 1).
    CPantallaConsola();

    // Text at the cursor: each part between LFs replaces as many characters of its line from
    // the cursor's column, and the next part starts at column 1 of the line below. What falls
    // outside the screen is not shown.
    void Escribir(std::string_view texto);
    // ESC [ K: the cursor's line blank from its column to the end.
    void BorrarHastaFinDeLinea();
    // ESC [ n J: every line blank.
    void Borrar();
    // ESC [ r ; c H, ESC [ H: the cursor to (row, column), kept on the screen as a terminal
    // keeps it.
    void SituarCursor(int nFila, int nColumna);

    // The 25 lines, each 80 characters and CR LF, joined in order.
    std::string Texto() const;

  private:
    std::vector<std::string> m_lineas;
    int m_nFila = 1;
    int m_nColumna = 1;
};

// The text to search in an answer: the answer itself when it holds no ESC, else the screen it
// draws on a new blank screen.
std::string TextoDePantalla(std::string_view respuesta);

// Word nPalabra (from 1; runs of blanks separate words) of the first line of the screen's text
// (lines cut at each CR, the next one starting two characters further) that holds the label;
// empty when no line holds it or the line has fewer words.
std::string TomarCampo(std::string_view pantalla, std::string_view etiqueta, int nPalabra);
