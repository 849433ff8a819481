// MessageBoxA: the box belongs to the user interface of the process, which installs a provider
// (kitwindow.h); the platform checks the arguments Windows checks and hands the box over.
#include "platform/core/lasterror.h"
#include "platform/kit/kitwindow.h"

#include <mutex>

namespace
{
struct Provider
{
    kitwin::MessageBoxProvider function = nullptr;
    void *context = nullptr;
};

std::mutex g_lock;
Provider g_provider;

Provider Current()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_provider;
}

// The button sets Windows offers: MB_OK .. MB_RETRYCANCEL, and MB_CANCELTRYCONTINUE (6).
bool KnownButtons(UINT type)
{
    return (type & MB_TYPEMASK) <= 6;
}
} // namespace

namespace kitwin
{
void SetMessageBoxProvider(MessageBoxProvider provider, void *context)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_provider = {provider, context};
}
} // namespace kitwin

// MessageBoxA: shows a box through the user interface's provider and returns its answer. A
// null text or caption is shown as an empty text and "Error", as Windows does. Differs from
// Windows: without a provider nothing is shown (0, ERROR_CALL_NOT_IMPLEMENTED); an owner that
// is not a window is ERROR_INVALID_WINDOW_HANDLE; unknown button sets ERROR_INVALID_PARAMETER.
int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    if (hWnd && !IsWindow(hWnd))
    {
        plat::Fail(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!KnownButtons(uType))
    {
        plat::Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const Provider provider = Current();
    if (!provider.function)
    {
        plat::Fail(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    return provider.function(provider.context, hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "Error",
                             uType);
}
