// Bitmaps and icons of the platform read back as 32-bit pixels, as a Windows program draws them.
#include "outside/qelmfc/Imagen.h"

#include <vector>

namespace qelmfc
{
QImage ImagenDeBitmap(HBITMAP hBitmap)
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
    QImage imagen(bm.bmWidth, bm.bmHeight, QImage::Format_RGB32);
    HDC dc = GetDC(nullptr);
    const int filas =
        GetDIBits(dc, hBitmap, 0, static_cast<UINT>(bm.bmHeight), imagen.bits(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (filas != bm.bmHeight)
        return {};
    return imagen;
}

QImage ImagenDeIcono(HICON hIcono)
{
    ICONINFO info{};
    if (!hIcono || !GetIconInfo(hIcono, &info))
        return {};
    BITMAP bm{};
    QImage imagen;
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof(bm), &bm) != 0 && bm.bmWidth > 0 && bm.bmHeight > 0)
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = bm.bmWidth;
        bi.bmiHeader.biHeight = -bm.bmHeight;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        imagen = QImage(bm.bmWidth, bm.bmHeight, QImage::Format_ARGB32);
        HDC dc = GetDC(nullptr);
        if (GetDIBits(dc, info.hbmColor, 0, static_cast<UINT>(bm.bmHeight), imagen.bits(), &bi,
                      DIB_RGB_COLORS) != bm.bmHeight)
            imagen = QImage();
        ReleaseDC(nullptr, dc);
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return imagen;
}
} // namespace qelmfc
