// Device contexts of the screen and of windows, which user32 hands out and takes back; what
// they can do is GDI's (gdi32/gdi.cpp).
#include "platform/gdi32/gdiobj.h"

#include <memory>

// GetDC: a device context of the screen (hWnd NULL) or of a window; ReleaseDC gives it back.
// Differs: a window's device context has the screen's capabilities and draws nothing.
HDC WINAPI GetDC(HWND hWnd)
{
    if (hWnd && !IsWindow(hWnd))
        return plat::FailNull(ERROR_INVALID_WINDOW_HANDLE);
    return static_cast<HDC>(plat::InsertHandle(std::make_shared<plat::DcObject>(hWnd)));
}

// ReleaseDC: 1 when the device context was the window's (or the screen's) and is released, else 0.
int WINAPI ReleaseDC(HWND hWnd, HDC hDC)
{
    auto dc = plat::GetHandleObject<plat::DcObject>(hDC, plat::ObjectKind::DeviceContext);
    if (!dc || dc->window != hWnd)
        return 0;
    return plat::RemoveHandle(hDC) ? 1 : 0;
}
