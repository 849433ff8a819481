// GDI's objects as the handle table keeps them (internal): bitmaps and device contexts, which
// user32 makes too (LoadImageA, GetIconInfo, GetDC), and the screen they belong to.
#pragma once

#include "platform/core/handles.h"
#include "platform/gdi32/dib.h"

#include <cstddef>
#include <memory>

namespace plat
{
// The screen: 1024 x 768 at 32 bits per pixel.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr WORD kScreenBitsPixel = 32;

class BitmapObject : public KernelObject
{
  public:
    BitmapObject() : KernelObject(ObjectKind::Bitmap) {}
    bool ClosableByCloseHandle() const override { return false; }

    LONG width = 0;
    LONG height = 0;
    WORD bitsPixel = kScreenBitsPixel;
    bool isDibSection = false;
    dib::Dib dib;       // a DIB section's own bits (bmBits points into them)
    dib::Pixels pixels; // a device-dependent bitmap's pixels
};

class DcObject : public KernelObject
{
  public:
    explicit DcObject(HWND window) : KernelObject(ObjectKind::DeviceContext), window(window) {}
    bool ClosableByCloseHandle() const override { return false; }
    HWND window;
};

// The result of a failing function that hands out an object: NULL, with the last error set.
inline std::nullptr_t FailNull(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

// A device-dependent bitmap of the pixels.
std::shared_ptr<BitmapObject> DdbOf(const dib::Pixels &pixels, LONG width, LONG height, WORD bitsPixel);
} // namespace plat
