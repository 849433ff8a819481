// System metrics: the sizes of the screen, icons and cursors programs lay themselves out by.
#include "platform/gdi32/gdiobj.h"

namespace
{
constexpr int kIconSize = 32;      // SM_CXICON / SM_CYICON
constexpr int kSmallIconSize = 16; // SM_CXSMICON / SM_CYSMICON
constexpr int kCursorSize = 32;    // SM_CXCURSOR / SM_CYCURSOR
} // namespace

// GetSystemMetrics: the screen size and the icon and cursor sizes; 0 for other indexes.
int WINAPI GetSystemMetrics(int nIndex)
{
    switch (nIndex)
    {
    case SM_CXSCREEN:
        return plat::kScreenWidth;
    case SM_CYSCREEN:
        return plat::kScreenHeight;
    case SM_CXICON:
    case SM_CYICON:
        return kIconSize;
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return kCursorSize;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return kSmallIconSize;
    default:
        return 0;
    }
}
