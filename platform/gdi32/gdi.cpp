// GDI objects: bitmaps, logical palettes and the screen's device context, every one an entry of
// the handle table (CloseHandle refuses them, as Windows does). The screen is 1024 x 768 at 32
// bits per pixel; its logical resolution is the PC's (machine.ini [Display] LogPixelsX: 96, or
// 120 with large fonts). Images come from files through LoadImageA (user32/image.cpp).
#include "platform/gdi32/gdiobj.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
constexpr WORD kPaletteVersion = 0x300;

class PaletteObject : public plat::KernelObject
{
  public:
    PaletteObject() : KernelObject(plat::ObjectKind::Palette) {}
    bool ClosableByCloseHandle() const override { return false; }
    std::vector<PALETTEENTRY> entries;
};

// The PC's logical resolution (machine.ini [Display] LogPixelsX); a value no display has (0,
// negative, absurdly large) reads as the standard 96, so nothing divides by it unchecked.
int LogicalPixelsPerInch()
{
    constexpr int kStandard = 96;
    constexpr int kLargest = 480; // 500 %, beyond any display setting of these systems
    const int dpi = kitpc::ReadIdentity().logPixelsX;
    return dpi > 0 && dpi <= kLargest ? dpi : kStandard;
}

// The result of a failing count function: 0, with the last error set.
int FailZero(DWORD error)
{
    SetLastError(error);
    return 0;
}

void FillBitmap(const plat::BitmapObject &bitmap, BITMAP &out)
{
    out = {};
    out.bmWidth = bitmap.width;
    out.bmHeight = bitmap.height;
    out.bmPlanes = 1;
    out.bmBitsPixel = bitmap.bitsPixel;
    if (bitmap.isDibSection)
    {
        out.bmWidthBytes = static_cast<LONG>(bitmap.dib.Stride());
        out.bmBits = const_cast<BYTE *>(bitmap.dib.bits.data());
    }
    else // device-dependent rows are WORD-aligned
        out.bmWidthBytes =
            static_cast<LONG>(((static_cast<size_t>(bitmap.width) * bitmap.bitsPixel + 15) / 16) * 2);
}

} // namespace

namespace plat
{
std::shared_ptr<BitmapObject> DdbOf(const dib::Pixels &pixels, LONG width, LONG height, WORD bitsPixel)
{
    auto bitmap = std::make_shared<BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPixel = bitsPixel;
    bitmap->pixels = pixels;
    return bitmap;
}

} // namespace plat

// GetDeviceCaps: the screen's figures: LOGPIXELSX/LOGPIXELSY from the PC's display setting
// (machine.ini [Display] Logplat::dib::PixelsX, 1 to 480, else 96; the same value both ways, as Windows
// keeps them), 1024 x 768 pixels of 32 bits in one plane, a raster display without a palette.
// Other indexes, and a handle that is not a device context: 0.
int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    if (!plat::GetHandleObject<plat::DcObject>(hdc, plat::ObjectKind::DeviceContext))
        return 0;
    switch (index)
    {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return LogicalPixelsPerInch();
    case TECHNOLOGY:
        return DT_RASDISPLAY;
    case HORZRES:
        return plat::kScreenWidth;
    case VERTRES:
        return plat::kScreenHeight;
    case HORZSIZE: // millimetres at the logical resolution
        return plat::kScreenWidth * 254 / (10 * LogicalPixelsPerInch());
    case VERTSIZE:
        return plat::kScreenHeight * 254 / (10 * LogicalPixelsPerInch());
    case BITSPIXEL:
        return plat::kScreenBitsPixel;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return -1;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    case COLORRES:
        return 24;
    default:
        return 0;
    }
}

// CreatePalette: a logical palette of the entries given. palVersion must be 0x300 and there
// must be at least one entry (ERROR_INVALID_PARAMETER otherwise).
HPALETTE WINAPI CreatePalette(const LOGPALETTE *plpal)
{
    if (!plpal || plpal->palVersion != kPaletteVersion || plpal->palNumEntries == 0)
        return plat::FailNull(ERROR_INVALID_PARAMETER);
    auto palette = std::make_shared<PaletteObject>();
    palette->entries.assign(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
    return static_cast<HPALETTE>(plat::InsertHandle(std::move(palette)));
}

// GetPaletteEntries: copies entries from iStart on; with pPalEntries NULL the number of entries.
UINT WINAPI GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, LPPALETTEENTRY pPalEntries)
{
    auto palette = plat::GetHandleObject<PaletteObject>(hpal, plat::ObjectKind::Palette);
    if (!palette)
        return 0;
    const size_t count = palette->entries.size();
    if (!pPalEntries)
        return static_cast<UINT>(count);
    if (iStart >= count)
        return 0;
    const size_t copied = std::min<size_t>(cEntries, count - iStart);
    std::copy_n(palette->entries.begin() + iStart, copied, pPalEntries);
    return static_cast<UINT>(copied);
}

// GetObjectA: a bitmap's BITMAP (or, when the buffer is that large, a DIB section's DIBSECTION;
// with pv NULL the size of a BITMAP), a palette's number of entries (a WORD). 0 for a buffer too
// small or a handle that is neither (icons and device contexts included).
int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(h);
    if (object && object->Kind() == plat::ObjectKind::Bitmap)
    {
        const auto &bitmap = static_cast<const plat::BitmapObject &>(*object);
        if (!pv)
            return sizeof(BITMAP);
        if (bitmap.isDibSection && c >= static_cast<int>(sizeof(DIBSECTION)))
        {
            DIBSECTION section{};
            FillBitmap(bitmap, section.dsBm);
            section.dsBmih = bitmap.dib.header;
            if (bitmap.dib.header.biBitCount == 16 || bitmap.dib.header.biBitCount == 32)
                std::copy_n(bitmap.dib.masks, 3, section.dsBitfields);
            std::memcpy(pv, &section, sizeof section);
            return sizeof(DIBSECTION);
        }
        if (c < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP out;
        FillBitmap(bitmap, out);
        std::memcpy(pv, &out, sizeof out);
        return sizeof(BITMAP);
    }
    if (object && object->Kind() == plat::ObjectKind::Palette)
    {
        if (!pv)
            return sizeof(WORD);
        if (c < static_cast<int>(sizeof(WORD)))
            return 0;
        const WORD count = static_cast<WORD>(static_cast<const PaletteObject &>(*object).entries.size());
        std::memcpy(pv, &count, sizeof count);
        return sizeof(WORD);
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

// GetObjectType: OBJ_BITMAP, OBJ_PAL or OBJ_DC; 0 (ERROR_INVALID_HANDLE) for anything else.
DWORD WINAPI GetObjectType(HGDIOBJ h)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(h);
    if (object)
    {
        switch (object->Kind())
        {
        case plat::ObjectKind::Bitmap:
            return OBJ_BITMAP;
        case plat::ObjectKind::Palette:
            return OBJ_PAL;
        case plat::ObjectKind::DeviceContext:
            return OBJ_DC;
        default:
            break;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

// DeleteObject: frees a bitmap or a palette. Icons (DestroyIcon), device contexts (ReleaseDC)
// and other handles are refused with ERROR_INVALID_HANDLE.
BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(ho);
    if (!object ||
        (object->Kind() != plat::ObjectKind::Bitmap && object->Kind() != plat::ObjectKind::Palette))
        return plat::Fail(ERROR_INVALID_HANDLE);
    return plat::RemoveHandle(ho) ? TRUE : plat::Fail(ERROR_INVALID_HANDLE);
}

// GetDIBits: a bitmap's pixels as a 32-bit BI_RGB DIB (rows bottom-up for a positive biHeight,
// top-down for a negative one), scan lines `start` to start + cLines - 1 counted in that order;
// returns the lines copied. With lpvBits NULL and biBitCount 0 it describes the bitmap in the
// header instead. Differs: other output formats and DIB_PAL_COLORS fail with
// ERROR_CALL_NOT_IMPLEMENTED; biWidth must be the bitmap's width.
int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi,
                     UINT usage)
{
    if (!plat::GetHandleObject<plat::DcObject>(hdc, plat::ObjectKind::DeviceContext))
        return 0;
    auto bitmap = plat::GetHandleObject<plat::BitmapObject>(hbm, plat::ObjectKind::Bitmap);
    if (!bitmap)
        return 0;
    if (!lpbmi || lpbmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER))
        return FailZero(ERROR_INVALID_PARAMETER);
    if (usage != DIB_RGB_COLORS)
        return FailZero(ERROR_CALL_NOT_IMPLEMENTED);
    BITMAPINFOHEADER &h = lpbmi->bmiHeader;
    if (!lpvBits && h.biBitCount == 0)
    {
        const WORD bpp = bitmap->isDibSection ? bitmap->dib.header.biBitCount : bitmap->bitsPixel;
        h.biWidth = bitmap->width;
        h.biHeight = bitmap->height;
        h.biPlanes = 1;
        h.biBitCount = bpp;
        h.biCompression = BI_RGB;
        h.biSizeImage =
            static_cast<DWORD>(plat::dib::StrideOf(bitmap->width, bpp) * static_cast<size_t>(bitmap->height));
        h.biClrUsed = 0;
        h.biClrImportant = 0;
        return bitmap->height;
    }
    if (h.biBitCount != 32 || h.biCompression != BI_RGB)
        return FailZero(ERROR_CALL_NOT_IMPLEMENTED);
    if (h.biWidth != bitmap->width || h.biHeight == 0)
        return FailZero(ERROR_INVALID_PARAMETER);
    h.biSizeImage =
        static_cast<DWORD>(static_cast<size_t>(bitmap->width) * static_cast<size_t>(bitmap->height) * 4);
    if (!lpvBits)
        return bitmap->height;
    const size_t height = static_cast<size_t>(bitmap->height);
    if (start >= height)
        return 0;
    const size_t lines = std::min<size_t>(cLines, height - start);
    const plat::dib::Pixels decoded =
        bitmap->isDibSection ? plat::dib::Decode(bitmap->dib) : plat::dib::Pixels();
    const plat::dib::Pixels &pixels = bitmap->isDibSection ? decoded : bitmap->pixels;
    const size_t width = static_cast<size_t>(bitmap->width);
    auto *out = static_cast<BYTE *>(lpvBits);
    for (size_t i = 0; i < lines; ++i)
    {
        const size_t scan = start + i;
        const size_t row = h.biHeight > 0 ? height - 1 - scan : scan;
        std::memcpy(out + i * width * 4, pixels.data() + row * width, width * 4);
    }
    return static_cast<int>(lines);
}
