// Bitmaps and icons of the platform read back as 32-bit pixels, as a Windows program draws them.
#include "outside/qelmfc/Imagen.h"

namespace qelmfc
{
namespace
{
// The bitmap's pixels as top-down 32-bit rows in an image of the given format.
QImage Pixeles(HBITMAP hBitmap, QImage::Format formato)
{
    BITMAP bm{};
    if (!hBitmap || GetObjectA(hBitmap, sizeof(bm), &bm) == 0 || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = -bm.bmHeight; // top-down rows, as QImage keeps them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    QImage imagen(bm.bmWidth, bm.bmHeight, formato);
    HDC dc = GetDC(nullptr);
    const int filas =
        GetDIBits(dc, hBitmap, 0, static_cast<UINT>(bm.bmHeight), imagen.bits(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    return filas == bm.bmHeight ? imagen : QImage();
}
} // namespace

QImage ImagenDeBitmap(HBITMAP hBitmap)
{
    return Pixeles(hBitmap, QImage::Format_RGB32);
}

QImage ImagenDeIcono(HICON hIcono)
{
    ICONINFO info{};
    if (!hIcono || !GetIconInfo(hIcono, &info))
        return {};
    // The colour image carries the alpha.
    QImage imagen = Pixeles(info.hbmColor, QImage::Format_ARGB32);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return imagen;
}
} // namespace qelmfc
