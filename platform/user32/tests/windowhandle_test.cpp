// Window functions given a handle that is no window: each refuses it as Windows does.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>

namespace
{
const HWND kNotAWindow = reinterpret_cast<HWND>(0x12344);
} // namespace

TEST(WindowHandles, NoWindowIsRefused)
{
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(IsWindow(kNotAWindow));
    EXPECT_FALSE(IsIconic(kNotAWindow));
    EXPECT_FALSE(IsZoomed(kNotAWindow));
    EXPECT_FALSE(IsWindowVisible(kNotAWindow));
    DWORD process = 0xdeadbeef;
    EXPECT_EQ(GetWindowThreadProcessId(kNotAWindow, &process), 0u);

    char buffer[8] = "x";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetWindowTextA(kNotAWindow, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetWindowTextLengthA(kNotAWindow), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetWindowTextA(kNotAWindow, "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ShowWindow(kNotAWindow, SW_SHOW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetParent(kNotAWindow), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(DestroyWindow(kNotAWindow)); // why is not documented (Wine: ERROR_ACCESS_DENIED)
    EXPECT_FALSE(SetForegroundWindow(kNotAWindow));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetDC(kNotAWindow), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}
