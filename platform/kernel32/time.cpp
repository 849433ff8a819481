// The time of day and the time since start-up.
#include "platform/windows.h"

#include <ctime>

namespace
{
SYSTEMTIME FromBrokenDown(const std::tm &tm, long nanoseconds)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec > 59 ? 59 : tm.tm_sec); // no leap second in SYSTEMTIME
    st.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
    return st;
}

timespec Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return ts;
}
} // namespace

// GetLocalTime: the current date and time in the host's local time zone.
void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    if (!lpSystemTime)
        return;
    const timespec ts = Now();
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    *lpSystemTime = FromBrokenDown(tm, ts.tv_nsec);
}

// GetSystemTime: the current date and time in UTC.
void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    if (!lpSystemTime)
        return;
    const timespec ts = Now();
    std::tm tm{};
    ::gmtime_r(&ts.tv_sec, &tm);
    *lpSystemTime = FromBrokenDown(tm, ts.tv_nsec);
}

// GetTickCount: milliseconds since the host started (time asleep included), wrapping at 2^32
// as on Windows (after 49.7 days).
DWORD WINAPI GetTickCount()
{
    timespec ts{};
    ::clock_gettime(CLOCK_BOOTTIME, &ts);
    const unsigned long long ms = static_cast<unsigned long long>(ts.tv_sec) * 1000ull +
                                  static_cast<unsigned long long>(ts.tv_nsec) / 1000000ull;
    return static_cast<DWORD>(ms);
}
