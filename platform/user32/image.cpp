// Images from files: bitmaps (.bmp), icons (.ico) and cursors (.cur) decoded (gdi32/dib.cpp)
// into pixels kept with their object; icons and cursors are user32's, bitmaps GDI's.
#include "platform/gdi32/gdiobj.h"
#include "platform/core/lasterror.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{
using plat::dib::BestEntry;
using plat::dib::Bytes;
using plat::dib::Decode;
using plat::dib::Dib;
using plat::dib::DibOfPixels;
using plat::dib::IconEntry;
using plat::dib::IconImage;
using plat::dib::kMaxDimension;
using plat::dib::kMaxPixels;
using plat::dib::Pixels;
using plat::dib::ReadIconDirectory;
using plat::dib::SizeAllowed;
using plat::dib::Stretch;

constexpr DWORD kMaxImageFile = 64u << 20;
constexpr DWORD kSupportedLoadFlags = LR_LOADFROMFILE | LR_DEFAULTSIZE | LR_CREATEDIBSECTION;

class IconObject : public plat::KernelObject
{
  public:
    IconObject() : KernelObject(plat::ObjectKind::Icon) {}
    bool ClosableByCloseHandle() const override { return false; }

    bool isIcon = true;
    LONG width = 0;
    LONG height = 0;
    DWORD hotX = 0;
    DWORD hotY = 0;
    Pixels color;
    std::vector<BYTE> mask; // one byte a pixel, 1 = transparent
};

// A whole file through the platform's own file functions (their errors stand).
bool ReadWholeFile(LPCSTR path, std::vector<BYTE> &data)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
    {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return plat::Fail(error);
    }
    if (high != 0 || size > kMaxImageFile)
    {
        CloseHandle(file);
        return plat::Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    data.resize(size);
    DWORD done = 0;
    const BOOL ok = size == 0 || ReadFile(file, data.data(), size, &done, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok)
        return plat::Fail(error);
    data.resize(done);
    return true;
}

HANDLE LoadBitmapFile(const Bytes &b, int cx, int cy, UINT flags)
{
    Dib dib;
    if (DWORD error = plat::dib::ReadBitmapFile(b, dib))
        return plat::FailNull(error);

    const LONG width = cx ? cx : dib.Width();
    const LONG height = cy ? cy : dib.Height();
    if (!SizeAllowed(width, height)) // one side asked for, the other the file's
        return plat::FailNull(ERROR_INVALID_PARAMETER);
    auto bitmap = std::make_shared<plat::BitmapObject>();
    bitmap->width = width;
    bitmap->height = height;
    if (flags & LR_CREATEDIBSECTION)
    {
        bitmap->isDibSection = true;
        if (width == dib.Width() && height == dib.Height())
            bitmap->dib = std::move(dib);
        else
            bitmap->dib =
                DibOfPixels(Stretch(Decode(dib), dib.Width(), dib.Height(), width, height), width, height);
        bitmap->bitsPixel = bitmap->dib.header.biBitCount;
    }
    else
        bitmap->pixels = Stretch(Decode(dib), dib.Width(), dib.Height(), width, height);
    return plat::InsertHandle(std::move(bitmap));
}

HANDLE LoadIconFile(const Bytes &b, UINT type, int cx, int cy, UINT flags)
{
    WORD fileType = 0;
    std::vector<IconEntry> entries;
    bool sawPng = false;
    if (DWORD error = ReadIconDirectory(b, fileType, entries, sawPng))
        return plat::FailNull(error);

    const int systemSize = GetSystemMetrics(type == IMAGE_CURSOR ? SM_CXCURSOR : SM_CXICON);
    const LONG width = cx ? cx : (flags & LR_DEFAULTSIZE) ? systemSize : entries.front().width;
    const LONG height = cy ? cy : (flags & LR_DEFAULTSIZE) ? systemSize : entries.front().height;
    if (!SizeAllowed(width, height))
        return plat::FailNull(ERROR_INVALID_PARAMETER);
    const IconEntry &entry = BestEntry(entries, width, height);

    IconImage image;
    if (DWORD error = plat::dib::ReadIconImage(b, entry, image))
        return plat::FailNull(error);

    auto icon = std::make_shared<IconObject>();
    icon->isIcon = type == IMAGE_ICON;
    icon->width = width;
    icon->height = height;
    icon->color = Stretch(image.color, entry.width, entry.height, width, height);
    icon->mask = Stretch(image.mask, entry.width, entry.height, width, height);
    if (type == IMAGE_CURSOR && fileType == 2)
    {
        icon->hotX = static_cast<DWORD>(int64_t{entry.hotX} * width / entry.width);
        icon->hotY = static_cast<DWORD>(int64_t{entry.hotY} * height / entry.height);
    }
    else
    {
        icon->hotX = static_cast<DWORD>(width / 2);
        icon->hotY = static_cast<DWORD>(height / 2);
    }
    return plat::InsertHandle(std::move(icon));
}

BOOL DestroyIconObject(HICON icon)
{
    if (!plat::GetHandleObject<IconObject>(icon, plat::ObjectKind::Icon) || !plat::RemoveHandle(icon))
        return plat::Fail(ERROR_INVALID_CURSOR_HANDLE);
    return TRUE;
}

} // namespace

// LoadImageA: a bitmap, icon or cursor from a file (LR_LOADFROMFILE). Bitmaps: uncompressed
// .bmp files of 1, 4, 8, 16, 24 or 32 bits per pixel (BI_RGB or BI_BITFIELDS), rows bottom-up or
// top-down, core or info headers; a device-dependent bitmap at the screen's depth, or with
// LR_CREATEDIBSECTION a DIB section keeping the file's format; cx/cy stretch it (nearest pixel).
// Icons and cursors: the .ico/.cur image closest to the size asked for (cx/cy, or with 0 the
// system size under LR_DEFAULTSIZE, else the first image's size), deepest colour first, stretched
// to that size. Differs: RLE, JPEG and PNG images fail with ERROR_CALL_NOT_IMPLEMENTED, as do
// LR_MONOCHROME, LR_LOADTRANSPARENT, LR_LOADMAP3DCOLORS, LR_VGACOLOR, LR_SHARED and the copy flags;
// images from a module's resources fail with ERROR_RESOURCE_TYPE_NOT_FOUND (the kit's libraries
// carry no Windows resources); damaged files fail with ERROR_INVALID_DATA; pictures over 16384
// pixels a side or 16M pixels, and files over 64 MB, are refused.
HANDLE WINAPI LoadImageA(HINSTANCE, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    if (type == IMAGE_ENHMETAFILE || (fuLoad & ~kSupportedLoadFlags))
        return plat::FailNull(ERROR_CALL_NOT_IMPLEMENTED);
    if (type != IMAGE_BITMAP && type != IMAGE_ICON && type != IMAGE_CURSOR)
        return plat::FailNull(ERROR_INVALID_PARAMETER);
    if (!(fuLoad & LR_LOADFROMFILE))
        return plat::FailNull(ERROR_RESOURCE_TYPE_NOT_FOUND);
    if (!name || IS_INTRESOURCE(name) || cx < 0 || cy < 0 || cx > kMaxDimension || cy > kMaxDimension ||
        static_cast<uint64_t>(std::max(cx, 1)) * static_cast<uint64_t>(std::max(cy, 1)) > kMaxPixels)
        return plat::FailNull(ERROR_INVALID_PARAMETER);
    std::vector<BYTE> data;
    if (!ReadWholeFile(name, data))
        return nullptr;
    const Bytes bytes(data);
    return type == IMAGE_BITMAP ? LoadBitmapFile(bytes, cx, cy, fuLoad)
                                : LoadIconFile(bytes, type, cx, cy, fuLoad);
}

// DestroyIcon: frees an icon (or a cursor); other handles give ERROR_INVALID_CURSOR_HANDLE.
BOOL WINAPI DestroyIcon(HICON hIcon)
{
    return DestroyIconObject(hIcon);
}

// DestroyCursor: frees a cursor (or an icon); other handles give ERROR_INVALID_CURSOR_HANDLE.
BOOL WINAPI DestroyCursor(HCURSOR hCursor)
{
    return DestroyIconObject(hCursor);
}

// GetIconInfo: the hotspot (an icon's centre) and two new bitmaps the caller deletes: the
// monochrome AND mask (white = transparent) and the 32-bit colour image, alpha included.
BOOL WINAPI GetIconInfo(HICON hIcon, PICONINFO piconinfo)
{
    auto icon = plat::GetHandleObject<IconObject>(hIcon, plat::ObjectKind::Icon);
    if (!icon)
        return plat::Fail(ERROR_INVALID_CURSOR_HANDLE);
    if (!piconinfo)
        return plat::Fail(ERROR_NOACCESS);
    plat::dib::Pixels maskPixels(icon->mask.size());
    std::transform(icon->mask.begin(), icon->mask.end(), maskPixels.begin(),
                   [](BYTE m) { return m ? 0x00FFFFFFu : 0u; });
    HANDLE mask = plat::InsertHandle(plat::DdbOf(maskPixels, icon->width, icon->height, 1));
    if (!mask)
        return FALSE;
    HANDLE color =
        plat::InsertHandle(plat::DdbOf(icon->color, icon->width, icon->height, plat::kScreenBitsPixel));
    if (!color)
    {
        plat::RemoveHandle(mask);
        return FALSE;
    }
    piconinfo->fIcon = icon->isIcon;
    piconinfo->xHotspot = icon->hotX;
    piconinfo->yHotspot = icon->hotY;
    piconinfo->hbmMask = static_cast<HBITMAP>(mask);
    piconinfo->hbmColor = static_cast<HBITMAP>(color);
    return TRUE;
}
