// CVentanaImagen: a picture window without controls, as a program's splash or progress window:
// the caption of a dialog template, the client area the size of a bitmap file, centred on the
// screen, and lines of text drawn over the picture.
#pragma once

#include "outside/qelmfc/Wnd.h"

#include <memory>
#include <string>

class QELMFC_API CVentanaImagen : public CWnd
{
  public:
    CVentanaImagen();
    ~CVentanaImagen() override;

    // Creates and shows the window of template idPlantilla of `modulo` (NULL: the program),
    // sized to the client size of the bitmap file `bitmap` and centred on the screen, the
    // picture stretched over it, the wait cursor over it; the template's controls, if any, are
    // not made. FALSE (nothing shown) without the template or with a missing or bad bitmap.
    // Called on the program's user-interface thread, which becomes the window's thread: the one
    // that pumps its messages (qelmfc::BombearHasta).
    BOOL Crear(HMODULE modulo, UINT idPlantilla, const std::string &bitmap);
    // The client size; {0,0} before Crear and after Destruir.
    SIZE Tamano() const;
    // The size of one line of text in the system font, as GetTextExtentPoint32 gives it on a
    // window's device context before a font is chosen. Callable from any thread.
    SIZE MedirTexto(const std::string &texto) const;
    // Line `indice` (0, 1, 2...): `texto` drawn right-aligned so it ends `derecha` pixels from
    // the right edge, its top at `y`, in `color`, in the system font, on a transparent
    // background; a line drawn again with the same index replaces it. The lines are kept and
    // drawn again at every repaint (the picture first, then every line so far, by index).
    // Callable from any thread: the repaint is posted to the window's thread.
    void DibujarLinea(int indice, const std::string &texto, int y, int derecha, COLORREF color);
    // Writes a picture of the window as it is drawn now to a PNG file; FALSE when it cannot.
    BOOL Capturar(const std::string &fichero);
    void Destruir();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};
