// CAnimacion: plays an uncompressed AVI file in a window, one frame at a time, as the wizard's
// progress pages do (their 100 ms timer calls MoverAVI). Each frame is drawn through an
// off-screen bitmap of 80 x 48 pixels, centred, at the given position of the window.
#pragma once

#include "outside/qelmfc/Export.h"
#include "platform/windows.h"

#include <memory>

class CWnd;

class QELMFC_API CAnimacion
{
  public:
    static constexpr int kAncho = 80;
    static constexpr int kAlto = 48;

    CAnimacion();
    ~CAnimacion();
    CAnimacion(const CAnimacion &) = delete;
    CAnimacion &operator=(const CAnimacion &) = delete;

    // Opens the file and shows its first frame at pos (pixels of the window's client area);
    // E_FAIL when the file is missing or not an AVI this player shows (then nothing is drawn),
    // E_INVALIDARG without a window. A new start replaces the running one.
    HRESULT ArrancarAVI(HDC hDC, LPCSTR pszFichero, CWnd *pVentana, POINT pos);
    // The next frame, the first again after the last; S_FALSE when nothing plays.
    HRESULT MoverAVI(HDC hDC);
    // Stops and takes the picture away.
    void PararAVI();
    // The frame on show (0-based), -1 when nothing plays.
    int FrameActual() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};
